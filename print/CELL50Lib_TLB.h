#pragma once
// TCell5: the report sheet control of the print window. Every operation goes through
// one dispatch table by operation id, as the control was driven; the typed methods
// below are thin calls of Invoke with the same arguments.
//
// Rows and columns count from 1 and sheet 0 is the (only) sheet. The row count
// counts one more than the rows the sheet holds, so that the last row's index is the
// row count less 1: a template of 7 rows has GetRowCount = 8, SetRowCount(9) appends
// row 8, and SetRowCount(n) leaves n − 1 rows (0 and 1 both leave none).
//
// Errors: a cell, row or column out of range, a negative count or an unknown sheet
// raise TExceptCell5 naming it, and the sheet stays as it was. OpenSheetFile,
// ExportXlsFile, ExportPdfFile and PrintSheet report failure by their result 0 and
// keep the message in LastError().
#include <QHash>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

#include "platform/Controls.h"
#include "platform/SysUtils.h"
#include "sheet/Sheet.h"

namespace sheet {
class SheetFonts;
class SheetView;
} // namespace sheet

TALLYLEAF_DECLARE_EXCEPTION(TExceptCell5, Exception);

class TCell5 : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(bool WorkbookReadonly READ WorkbookReadonly WRITE SetWorkbookReadonly)
public:
    enum DispId {
        dispWorkbookReadonly = 3,
        dispSetRowCount = 39,
        dispGetRowCount = 40,
        dispDeleteRows = 44,
        dispSetCellText = 47,
        dispSetCellNumber = 48,
        dispSetCellAlign = 52,
        dispSetCellStyle = 80,
        dispSetRowHeight = 97,
        dispSetColumnWidth = 98,
        dispGetRowFitHeight = 102,
        dispExportXlsFile = 129,
        dispOpenSheetFile = 130,
        dispPrintSheet = 132,
        dispPrintPreview = 133,
        dispSetPageText = 142,
        dispExportPdfFile = 1000, // ours: the headless print to a PDF file
    };

    Q_INVOKABLE explicit TCell5(TComponent* AOwner);
    ~TCell5() override;

    // Runs operation `dispId` with `args` in the operation's order. The property
    // WorkbookReadonly (3) is read with no argument and written with one.
    QVariant Invoke(int dispId, const QVariantList& args);
    static bool HasOperation(int dispId);

    int OpenSheetFile(const QString& path, const QString& second);
    int GetRowCount(int sheet);
    void SetRowCount(int count, int sheet);
    void DeleteRows(int firstRow, int count, int sheet);
    void SetCellText(int col, int row, int sheet, const QString& text);
    void SetCellNumber(int col, int row, int sheet, double value);
    void SetCellAlign(int col, int row, int sheet, int code);
    void SetCellStyle(int col, int row, int sheet, int style);
    int GetRowFitHeight(int row);
    void SetRowHeight(int one, int height, int row, int sheet);
    void SetColumnWidth(int one, int width, int col, int sheet);
    void SetPageText(const QString& left, const QString& middle, const QString& right);
    int PrintPreview(int a, int b);
    int PrintSheet(int askUser, int b);
    int ExportXlsFile(const QString& path);
    int ExportPdfFile(const QString& path);

    bool WorkbookReadonly() const;
    void SetWorkbookReadonly(bool value);

    // The message of the last failed OpenSheetFile, export or print (empty after a success).
    QString LastError() const { return FLastError; }

    // Where PrintSheet goes on a machine without a printer, a PDF file: the name its print
    // dialog proposes, and the question asked before the chosen file is written (false:
    // nothing is printed). Kept for the following prints.
    void SetPrintFile(const QString& proposed, std::function<bool(const QString& path)> mayWrite);
    // The PDF file the last PrintSheet wrote; empty when it printed on paper or not at all.
    QString PrintedFile() const { return FPrintedFile; }
    // True when the machine has a printer installed.
    static bool PrinterInstalled();

    // Shows a sheet filled elsewhere (a report built away from the control, or off the
    // user-interface thread) in place of the current one; nothing of the old sheet stays.
    void SetSheet(sheet::Sheet&& filled);

    // The engine underneath, for tests and tools.
    const sheet::Sheet& Sheet() const { return FSheet; }
    sheet::SheetView* View() const;

private:
    // An operation's arguments with the operation's name, for the messages of bad values.
    struct Args;
    using Handler = QVariant (*)(TCell5&, const Args&);
    struct Operation {
        const char* name;
        int argCount; // −1: the property (0 or 1 argument)
        Handler handler;
    };
    static const QHash<int, Operation>& Operations();

    void CheckSheet(int sheet) const;
    int Succeeded();
    int Failed(const QString& message);
    void Changed();

    sheet::Sheet FSheet;
    std::unique_ptr<sheet::SheetFonts> FFonts;
    QString FLastError;
    QString FPrintProposal;
    std::function<bool(const QString&)> FPrintMayWrite;
    QString FPrintedFile;
};
