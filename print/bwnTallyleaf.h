#pragma once
// bwnTallyleaf: the indicator print window ("指标打印"). The user picks an indicator type,
// a unit in the unit tree and a fund nature; the window shows the indicator report of that
// choice and previews, prints or exports it, once or for every fund nature in a row.
//
// Every unit or type change refills the fund natures and rebuilds the report; a fund change
// rebuilds the report. Failures (template, queries, writing files) are shown through the
// application object, never as an empty report or a false success.
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "platform/ComCtrls.h"
#include "platform/Dialogs.h"
#include "platform/ExtCtrls.h"
#include "platform/ImgList.h"
#include "platform/Menus.h"
#include "platform/StdCtrls.h"
#include "plugin/wnBsTrvTC.h"
#include "print/untDetailSql.h"
#include "print/untWindowPlacement.h"

class TCell5;
class TCheckTree;
class TDynamicTree;

class TbfrmTallyleaf : public TfrmBsTrvTC {
    Q_OBJECT
    Q_CLASSINFO("FormResource", "bwnTallyleaf.form")
    // For a host that prints with nobody at the machine (its headless mode): "打印" writes
    // the report to the PDF file PdfFile instead of printing it, and a continuous print
    // writes each fund nature's report into the folder PdfFolder, named as the continuous
    // export names its workbooks (with ".pdf"). Both empty (as designed): the printer, or
    // the print dialog's PDF file where the machine has none.
    Q_PROPERTY(QString PdfFile READ PdfFile WRITE SetPdfFile)
    Q_PROPERTY(QString PdfFolder READ PdfFolder WRITE SetPdfFolder)
    // The PDF files that the last "打印" wrote, in order (none after printing on paper).
    Q_PROPERTY(QStringList PrintedFiles READ PrintedFiles)
    // For the same host: "导出excel" of one report writes ExportFile without the save dialog
    // (its extension picks the format), and refuses a report longer than that format holds
    // as soon as its rows are counted. Empty (as designed): the save dialog.
    Q_PROPERTY(QString ExportFile READ ExportFile WRITE SetExportFile)
public:
    Q_INVOKABLE explicit TbfrmTallyleaf(TComponent* AOwner) : TbfrmTallyleaf(AOwner, TFormChain{}) { FinishCreate(); }

    Q_INVOKABLE void FormShow(TObject* Sender);
    Q_INVOKABLE void trvListChange(TObject* Sender, TTreeNode* Node);
    Q_INVOKABLE void cobBTypeChange(TObject* Sender);
    Q_INVOKABLE void cobMidChange(TObject* Sender);
    Q_INVOKABLE void tbnExitClick(TObject* Sender);
    Q_INVOKABLE void btnPrintViewClick(TObject* Sender);
    Q_INVOKABLE void tbnPrintClick(TObject* Sender);
    Q_INVOKABLE void EXCEL1Click(TObject* Sender);
    Q_INVOKABLE void mitemExpSetClick(TObject* Sender);
    // Keeps the window's size, maximised state and tree width for the next session.
    Q_INVOKABLE void FormDestroy(TObject* Sender);

    // The selection as the report reads it.
    QString BType() const { return FBType; }
    QString EidPrefix() const { return FEidPrefix; }
    QString UnitName() const { return FUnitName; }
    QString Title() const { return FTitle; }

    // Chooses the unit of that code in the unit tree as a click on it does (the virtual top
    // node's code is dtrvEid's TopVirNodeIdValue); false when the tree has no such unit.
    // Invokable by name, for a host that drives the window (its headless mode).
    Q_INVOKABLE bool SelectUnit(const QString& code);
    QString PdfFile() const { return FPdfFile; }
    void SetPdfFile(const QString& file) { FPdfFile = file; }
    QString PdfFolder() const { return FPdfFolder; }
    void SetPdfFolder(const QString& folder) { FPdfFolder = folder; }
    QStringList PrintedFiles() const { return FPrintedFiles; }
    QString ExportFile() const { return FExportFile; }
    void SetExportFile(const QString& file) { FExportFile = file; }
    // The file names of the continuous export and print (the report file name without
    // unit name): year + "年国库集中支付改革" + type + fund + "指标表" + extension, made safe
    // as one file name (SafeFileName).
    QString ReportFileName(const QString& extension) const;
    // The condition that keeps the fund natures with budget rows for the year, unit prefix,
    // status '1' and indicator type (appended to the fund nature select).
    QString FundListCondition() const;

    // Published fields.
    TToolButton* tbtnExcel = nullptr;
    TToolButton* ToolButton1 = nullptr;
    TToolButton* tbnPrintView = nullptr;
    TToolButton* tbnPrint = nullptr;
    TToolButton* ToolButton4 = nullptr;
    TToolButton* tbnExit = nullptr;
    TPanel* pnlType = nullptr;
    TPanel* Panel1 = nullptr;
    TLabel* Label2 = nullptr;
    TComboBox* cobBType = nullptr;
    TLabel* Label1 = nullptr;
    TComboBox* cobMid = nullptr;
    TPanel* Panel2 = nullptr;
    TCheckBox* cbNum = nullptr;
    TCell5* cllBudget = nullptr;
    TCell5* cllExpExcel = nullptr;
    TPanel* pnprocess = nullptr;
    TLabel* Label8 = nullptr;
    TLabel* Label6 = nullptr;
    TProgressBar* ProgressBar1 = nullptr;
    TDynamicTree* dtrvEid = nullptr;
    TCheckTree* ctrvList = nullptr;   // never activated: the tree shows no check boxes
    TSaveDialog* sd = nullptr;
    TImageList* ImageList1 = nullptr;
    TImageList* imgList = nullptr;
    TMenuItem* N6 = nullptr;
    TMenuItem* N7 = nullptr;
    TMenuItem* N8 = nullptr;
    TMenuItem* N4 = nullptr;
    TMenuItem* N5 = nullptr;
    TMenuItem* N1 = nullptr;
    TMenuItem* EXCEL1 = nullptr;
    TMenuItem* mitemExpSet = nullptr;

protected:
    TbfrmTallyleaf(TComponent* AOwner, TFormChain chain) : TfrmBsTrvTC(AOwner, chain) {}
    void BindFields() override;

private:
    class TBusyPanel;
    class TFundRun;

    void LoadUnitTree();
    void RefreshFundList();
    // The name of the unit the virtual top node stands for (FEidPrefix), into FUnitName; a
    // look-up that fails or finds nothing leaves its message in FUnitNameFailure.
    void LookUpTopUnitName();
    bool ShowReport();
    // Builds the export sheet; with a workbook target, a report too long for it is refused
    // before its rows are written.
    bool PrepareExportSheet(const QString& workbookTarget = QString());
    bool ExportToExcel();
    bool ExportAllFunds();
    bool ExportCurrentFund();
    QString AskWorkbookFile();
    void PrintCurrentSheet();
    // Writes the report on screen to the PDF file PdfFile or into PdfFolder.
    void PrintToPdfTarget();
    bool PrintsToPdfTarget() const { return !FPdfFile.isEmpty() || !FPdfFolder.isEmpty(); }
    // Printing where the machine has no printer: to a PDF file, or one per fund nature.
    void PrintToPdfFile();
    void PrintAllFundsToFolder();
    QString FundFileName(const QString& fund, const QString& extension) const;
    // The proposal of the save and print dialogs: unit name and report file name.
    QString ProposedFileName(const QString& extension) const;
    // True when none of the files exists or the user agrees to replace them.
    bool MayReplace(const QStringList& paths) const;
    QString LastPrintFolder() const;
    void RememberPrintFolder(const QString& folder) const;
    void SetUpKeyboard();
    // The selection with titles for the fund nature now in cobMid.
    TReportSelection Selection();
    // Builds the report on a worker while the window keeps painting; raises
    // TExceptReportCancelled when the user stopped it (the sheet is then empty).
    void FillReport(TCell5& sheet, bool asNumbers, const QString& workbookTarget = QString());
    // Raises when the unit tree could not load (a report would then cover every unit) or the
    // chosen unit's name could not be found.
    void CheckUnitTree() const;
    void WriteWorkbook(TCell5& sheet, const QString& path);
    // Runs write (a file writer that touches no widget) on a thread of its own while the
    // window keeps painting under the panel; rethrows what it raised. In a continuous run
    // the panel's 取消 (or Esc) sets FStopAfterFile.
    void WriteOffTheWindow(const std::function<void()>& write);
    void EnableOutput(bool enabled);

    QString FBType;
    QString FEidPrefix;
    QString FUnitName;
    QString FTitle;
    // What the last export's success message adds (the fund natures written as .xlsx).
    QString FExportNote;
    QString FSubTitle;
    bool FTreeLoaded = false;
    QString FUnitNameFailure;
    // The item of cobMid whose report the visible sheet shows; -1: none known.
    int FShownFund = -1;
    // Where the window opened; kept at the end only when the user changed it, so that
    // a window nobody touched (a headless run) writes nothing.
    std::optional<TWindowPlacement> FOpenedAt;
    QString FPdfFile;
    QString FPdfFolder;
    QStringList FPrintedFiles;
    QString FExportFile;
    // A continuous run is going on; the user asked it to stop once the file being written
    // is done.
    bool FInFundRun = false;
    bool FStopAfterFile = false;
};
