#include "print/bwnTallyleaf.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <exception>
#include <memory>

#include "common/AppDataStorage.h"
#include "print/bwnPrintExpSet.h"
#include "common/gunFolder.h"
#include "print/gunSelectList.h"
#include "common/untSqlDialect.h"
#include "platform/FormResource.h"
#include "platform/Forms.h"
#include "common/PlugInGlobals.h"
#include "plugin/untDefConnection.h"
#include "print/CELL50Lib_TLB.h"
#include "print/untReportFill.h"
#include "print/untReportJob.h"
#include "sheet/WorkbookExport.h"
#include "trees/untCheckTree.h"
#include "trees/untDynamicTree.h"

namespace {

[[maybe_unused]] const bool GRegistered = (RegisterComponentClass(&TCell5::staticMetaObject),
                                           RegisterComponentClass(&TbfrmTallyleaf::staticMetaObject), true);

const QString MessageCaption = QStringLiteral("Corvalind 7.1-提示信息");
const QString PageText = QStringLiteral("共&S页第&P页");
const QString FolderTitle = QStringLiteral("请选择保存路径");
// The window's own section of the settings file (INI file) and what it keeps there
// besides its placement.
const QString SettingsSection = QStringLiteral("TbfrmTallyleaf");
const QString SPrintFolder = QStringLiteral("PrintFolder");
constexpr uint8_t IniFileChoice = 1;

int DataYear()
{
    return PubVariable() ? PubVariable()->Year : 0;
}

// The code less its last three characters; empty when it has three or fewer.
QString ParentCode(const QString& code)
{
    return code.size() > 3 ? code.left(code.size() - 3) : QString();
}

// Unit name and report name, the unit name shortened when the whole would pass the file
// system's limit of 255 bytes for one name.
QString JoinFileName(QString unitName, const QString& reportName)
{
    constexpr qsizetype NameMax = 255;
    while (!unitName.isEmpty() && QFile::encodeName(unitName + reportName).size() > NameMax)
        unitName.chop(unitName.size() > 1 && unitName.back().isLowSurrogate() ? 2 : 1);
    return unitName + reportName;
}

// A continuous run stopped by the user ends with what was already done.
[[noreturn]] void ThrowRunCancelled(const QString& verb, const QStringList& done)
{
    throw TExceptReportCancelled(verb + "已取消。已" + verb + "：" +
                                 (done.isEmpty() ? QStringLiteral("无") : done.join("、")));
}

// Reports longer than this are dropped from the control before the next one is built.
constexpr int LongReportRows = 10000;

} // namespace

// The panel of long work (a report built by a TReportJob, a file written) while the window
// keeps painting. It shows at once what is happening and the time so far; with a cancel,
// its "取消" button and Esc stop the work. Input to the window's other controls is held
// back meanwhile, and Run returns only when the work has ended, so a caller (a handler, the
// host's automation) sees the work done synchronously.
class TbfrmTallyleaf::TBusyPanel : public QObject {
public:
    static constexpr int TickMs = 100;

    struct TWork {
        std::function<QString()> Caption;                 // what is happening now
        std::function<std::pair<int, int>()> Progress;    // done, of (0: not known); none: no bar
        std::function<void()> Cancel;                     // none: no button, Esc ignored
    };

    // A report job: querying, then writing rows, while the statement's further rows are
    // still read (the bar busy until they are all counted); 取消 stops it.
    static TWork ForJob(TReportJob& job)
    {
        auto writing = [&job] { return job.Phase() == TReportJob::TPhase::Writing; };
        return {[writing] { return writing() ? QStringLiteral("生成报表…") : QStringLiteral("查询数据…"); },
                [writing, &job] {
                    return writing() ? std::pair{job.RowsWritten(), std::max(0, job.RowCount())} : std::pair{0, 1};
                },
                [&job] { job.Cancel(); }};
    }

    // A file being written; where the work may stop after it, 取消 sets stopAfter.
    static TWork ForFile(bool& stopAfter, bool mayStop)
    {
        TWork work{[&stopAfter] {
                       return stopAfter ? QStringLiteral("写入文件…（写完后停止）") : QStringLiteral("写入文件…");
                   },
                   {}, {}};
        if (mayStop)
            work.Cancel = [&stopAfter] { stopAfter = true; };
        return work;
    }

    TBusyPanel(TbfrmTallyleaf& form, TWork work) : FForm(form), FWork(std::move(work))
    {
        TPanel* panel = FForm.pnprocess;
        panel->SetLeft((FForm.ClientWidth() - panel->Width()) / 2);
        panel->SetTop((FForm.ClientHeight() - panel->Height()) / 2);
        FForm.ProgressBar1->SetPosition(0);
        FForm.ProgressBar1->SetMax(1);
        if (FWork.Cancel) {
            FCancel = new QPushButton(QStringLiteral("取消"), panel->Widget());
            FCancel->setGeometry(panel->Width() - 86, 4, 72, 24);
            QObject::connect(FCancel, &QPushButton::clicked, this, [this] { FWork.Cancel(); });
            FCancel->show();
        }
        Tick();
        panel->SetVisible(true);
        panel->BringToFront();
        Screen->SetCursor(crHourGlass);
        qApp->installEventFilter(this);
    }
    ~TBusyPanel() override
    {
        qApp->removeEventFilter(this);
        delete FCancel;
        Screen->SetCursor(crDefault);
        FForm.pnprocess->SetVisible(false);
        FForm.Label8->SetCaption(QStringLiteral("正在提取数据："));
    }
    TBusyPanel(const TBusyPanel&) = delete;
    TBusyPanel& operator=(const TBusyPanel&) = delete;

    // Starts the work and keeps the window going until `finished` is emitted by `sender`
    // (or has been already: `ended` says so).
    template <class Sender, class Signal>
    void Run(const std::function<void()>& start, const Sender* sender, Signal finished,
             const std::function<bool()>& ended)
    {
        QEventLoop loop;
        QObject::connect(sender, finished, &loop, &QEventLoop::quit);
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, this, [this] { Tick(); });
        tick.start(TickMs);
        start();
        if (!ended())
            loop.exec();
        // Told to stop from outside (the program quitting): the work goes too, where it can.
        if (!ended())
            Cancel();
    }

protected:
    // The whole frame the window lives in takes no input meanwhile (its menus could close
    // the window or the program under the work); a request to close the window or the frame
    // is refused and stops the work instead, so the user may close it again once it ends.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        QWidget* form = FForm.Widget();
        if (!widget || !form)
            return false;
        if (event->type() == QEvent::Close && (widget == form || widget->isAncestorOf(form))) {
            event->ignore();
            Cancel();
            return true;
        }
        QWidget* frame = form->window();
        if (!IsInput(event->type()) || !(widget == frame || frame->isAncestorOf(widget)))
            return false;
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            Cancel();
            return true;
        }
        return widget != FCancel;
    }

private:
    void Cancel()
    {
        if (FWork.Cancel)
            FWork.Cancel();
    }

    static bool IsInput(QEvent::Type type)
    {
        switch (type) {
        case QEvent::KeyPress: case QEvent::KeyRelease: case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease: case QEvent::MouseButtonDblClick: case QEvent::Wheel:
        case QEvent::Shortcut: case QEvent::ShortcutOverride:
            return true;
        default:
            return false;
        }
    }

    void Tick()
    {
        const QString seconds = QString::number(double(FClock.elapsed()) / 1000.0, 'f', 1);
        FForm.Label8->SetCaption(FWork.Caption() + "  已用" + seconds + "秒");
        if (FWork.Progress) {
            const auto [done, of] = FWork.Progress();
            FForm.ProgressBar1->SetMax(of);   // 0: busy, the amount of work not known yet
            FForm.ProgressBar1->SetPosition(done);
        }
    }

    TbfrmTallyleaf& FForm;
    TWork FWork;
    QPushButton* FCancel = nullptr;
    QElapsedTimer FClock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
};

// A run over every fund nature of the list (continuous print and export). However it
// ends, the list afterwards shows the fund nature whose report is on screen, so that the
// next command acts on what the user sees.
class TbfrmTallyleaf::TFundRun {
public:
    explicit TFundRun(TbfrmTallyleaf& form) : FForm(form)
    {
        FForm.FInFundRun = true;
        FForm.FStopAfterFile = false;
    }
    ~TFundRun()
    {
        FForm.FInFundRun = false;
        const int shown = FForm.FShownFund;
        if (shown >= 0 && shown < FForm.cobMid->Count() && FForm.cobMid->ItemIndex() != shown)
            FForm.cobMid->SetItemIndex(shown);
    }
    TFundRun(const TFundRun&) = delete;
    TFundRun& operator=(const TFundRun&) = delete;

private:
    TbfrmTallyleaf& FForm;
};

void TbfrmTallyleaf::BindFields()
{
    TfrmBsTrvTC::BindFields();
    tbtnExcel = FindChild<TToolButton>(QStringLiteral("tbtnExcel"));
    ToolButton1 = FindChild<TToolButton>(QStringLiteral("ToolButton1"));
    tbnPrintView = FindChild<TToolButton>(QStringLiteral("tbnPrintView"));
    tbnPrint = FindChild<TToolButton>(QStringLiteral("tbnPrint"));
    ToolButton4 = FindChild<TToolButton>(QStringLiteral("ToolButton4"));
    tbnExit = FindChild<TToolButton>(QStringLiteral("tbnExit"));
    pnlType = FindChild<TPanel>(QStringLiteral("pnlType"));
    Panel1 = FindChild<TPanel>(QStringLiteral("Panel1"));
    Label2 = FindChild<TLabel>(QStringLiteral("Label2"));
    cobBType = FindChild<TComboBox>(QStringLiteral("cobBType"));
    Label1 = FindChild<TLabel>(QStringLiteral("Label1"));
    cobMid = FindChild<TComboBox>(QStringLiteral("cobMid"));
    Panel2 = FindChild<TPanel>(QStringLiteral("Panel2"));
    cbNum = FindChild<TCheckBox>(QStringLiteral("cbNum"));
    cllBudget = FindChild<TCell5>(QStringLiteral("cllBudget"));
    cllExpExcel = FindChild<TCell5>(QStringLiteral("cllExpExcel"));
    pnprocess = FindChild<TPanel>(QStringLiteral("pnprocess"));
    Label8 = FindChild<TLabel>(QStringLiteral("Label8"));
    Label6 = FindChild<TLabel>(QStringLiteral("Label6"));
    ProgressBar1 = FindChild<TProgressBar>(QStringLiteral("ProgressBar1"));
    dtrvEid = FindChild<TDynamicTree>(QStringLiteral("dtrvEid"));
    ctrvList = FindChild<TCheckTree>(QStringLiteral("ctrvList"));
    sd = FindChild<TSaveDialog>(QStringLiteral("sd"));
    ImageList1 = FindChild<TImageList>(QStringLiteral("ImageList1"));
    imgList = FindChild<TImageList>(QStringLiteral("imgList"));
    N6 = FindChild<TMenuItem>(QStringLiteral("N6"));
    N7 = FindChild<TMenuItem>(QStringLiteral("N7"));
    N8 = FindChild<TMenuItem>(QStringLiteral("N8"));
    N4 = FindChild<TMenuItem>(QStringLiteral("N4"));
    N5 = FindChild<TMenuItem>(QStringLiteral("N5"));
    N1 = FindChild<TMenuItem>(QStringLiteral("N1"));
    EXCEL1 = FindChild<TMenuItem>(QStringLiteral("EXCEL1"));
    mitemExpSet = FindChild<TMenuItem>(QStringLiteral("mitemExpSet"));
}

// ------------------------------------------------------------------ selection

void TbfrmTallyleaf::FormShow(TObject* Sender)
{
    // A settings file that cannot be read is said, and the window opens all the same.
    CallHandlerSafely(Sender, [this] {
        ApplyPlacement(*this, *pnlLeft, ReadPlacement(SettingsSection));
        FOpenedAt = CurrentPlacement(*this, *pnlLeft);
    });
    SetUpKeyboard();
    CallHandlerSafely(Sender, [this] {
        FillIndicatorTypeCombo(cobBType, false, true);
        FBType = QString::number(cobBType->ItemIndex());
        LoadUnitTree();
        cllBudget->SetWorkbookReadonly(true);
        if (!FTreeLoaded) {
            EnableOutput(false);
            CheckUnitTree();
        }
        // The tree's selection of its first leaf has already refilled the fund natures
        // and built the report: building it again would only repeat its messages.
    });
}

void TbfrmTallyleaf::LoadUnitTree()
{
    FTreeLoaded = false;
    const QString parent = ParentCode(LoginUnitCode());
    TAdoConn* conn = GetDefConnection();
    if (!conn)
        return; // no host database: CheckUnitTree says so
    if (!conn->Connected()) {
        try {
            conn->Open();
        } catch (const std::exception& e) {
            throw TExceptReport("单位列表未能加载（" + ExceptionMessage(e) + "），不能生成报表。");
        }
    }
    const TSqlDialect& dialect = conn->Dialect();
    dtrvEid->SetAdoConn(conn);
    dtrvEid->SetSqlTable({"select eid,peid,leafflag,ename," + dialect.Concat(dialect.Concat("eid", "' '"), "ename") +
                          " as tname from pubdept where replaceflag='0' and useflag='0' and eid like '" +
                          SqlEscape(parent) + "%'"});
    dtrvEid->SetFieldId("eid");
    dtrvEid->SetFieldPid("peid");
    dtrvEid->SetFieldIsLeaf("leafflag");
    dtrvEid->SetFieldCaption("ename");
    dtrvEid->SetFieldText("tname");
    dtrvEid->SetTopVirNodeIdValue(ParentCode(parent));
    dtrvEid->SetValueIsLeaf("0");
    dtrvEid->SetTopVirNodeTitle("预算单位列表");
    dtrvEid->SetActive(true);
    // The first leaf was chosen while loading; a failure later in the load still leaves
    // a tree whose scope cannot be trusted.
    if (!dtrvEid->LastLoadError().isEmpty())
        FTreeLoaded = false;
}

void TbfrmTallyleaf::CheckUnitTree() const
{
    // A report whose title and totals would carry no unit name is not built either.
    if (!FUnitNameFailure.isEmpty())
        throw TExceptReport(FUnitNameFailure);
    if (FTreeLoaded)
        return;
    QString why = dtrvEid->LastLoadError();
    if (!GetDefConnection())
        why = "没有数据库连接Def";
    else if (why.isEmpty())
        why = "登录单位" + LoginUnitCode() + "下没有可选的预算单位";
    throw TExceptReport("单位列表未能加载（" + why + "），不能生成报表。");
}

void TbfrmTallyleaf::trvListChange(TObject* Sender, TTreeNode* Node)
{
    CallHandlerSafely(Sender, [this, Node] {
        TTreeNode* node = Node ? Node : trvList->Selected();
        if (!node || !node->Data())
            return;
        // Only the virtual top node: the login unit has no units (CheckUnitTree says so),
        // and its prefix would report whatever codes happen to share it.
        if (trvList->Items()->Count() <= 1)
            return;
        const auto* info = static_cast<const TItemInfo*>(node->Data());
        if (node->AbsoluteIndex() == 0) {
            // The virtual top node stands for the login unit's top-level unit: the
            // report names that unit, not the node's internal caption.
            FEidPrefix = LoginUnitCode().left(3);
            LookUpTopUnitName();
        } else {
            FEidPrefix = info->Id;
            FUnitName = info->Caption;
            FUnitNameFailure.clear();
        }
        FTreeLoaded = true;
        RefreshFundList();
    });
}

void TbfrmTallyleaf::LookUpTopUnitName()
{
    FUnitNameFailure.clear();
    // Nobody logged in: the top node reports every unit, and there is no one unit to name.
    if (FEidPrefix.isEmpty()) {
        FUnitName.clear();
        return;
    }
    if (SelectFirstValue("pubdept", "ename", "eid='" + SqlEscape(FEidPrefix) + "'", FUnitName))
        return;
    FUnitNameFailure = LastDefQueryError().isEmpty()
                           ? "单位表pubdept中没有编码为" + FEidPrefix + "的单位，报表标题和合计行缺少单位名称，不能生成报表。"
                           : "查询单位" + FEidPrefix + "的名称失败：" + LastDefQueryError();
}

bool TbfrmTallyleaf::SelectUnit(const QString& code)
{
    TTreeNodes* nodes = trvList->Items();
    for (int i = 0; i < nodes->Count(); ++i) {
        TTreeNode* node = nodes->Item(i);
        if (!node->Data() || static_cast<const TItemInfo*>(node->Data())->Id != code)
            continue;
        // Choosing the node already chosen changes nothing in the view: the report is
        // rebuilt all the same, as for a new choice.
        if (trvList->Selected() == node)
            trvListChange(trvList, node);
        else
            trvList->SetSelected(node);
        return true;
    }
    return false;
}

void TbfrmTallyleaf::cobBTypeChange(TObject* Sender)
{
    CallHandlerSafely(Sender, [this] {
        FBType = QString::number(cobBType->ItemIndex());
        RefreshFundList();
    });
}

void TbfrmTallyleaf::cobMidChange(TObject* Sender)
{
    // The commands follow the list, as after its refill; a run without a fund nature
    // chosen (a headless one) still reports every fund nature.
    CallHandlerSafely(Sender, [this] {
        EnableOutput(false);
        ShowReport();
        EnableOutput(cobMid->Count() > 0);
    });
}

void TbfrmTallyleaf::tbnExitClick(TObject* Sender)
{
    Q_UNUSED(Sender);
    Close();
}

QString TbfrmTallyleaf::FundListCondition() const
{
    const QString cond = " where datayear=" + QString::number(DataYear()) + "   and eid like '" + SqlEscape(FEidPrefix) +
                         "%' " + "   and status='1' " + "   and  BType='" + SqlEscape(FBType) + "' ";
    return " and mid in (select distinct mid from busibudget " + cond + ")";
}

// The output commands come back only once the report of the new selection is on screen:
// a unit tree that failed to load, or a report that failed, leaves them disabled.
void TbfrmTallyleaf::RefreshFundList()
{
    EnableOutput(false);
    FShownFund = -1;
    const int count = FillFundKindCombo(cobMid, false, 0, false, FundListCondition());
    if (count == 0 && !LastDefQueryError().isEmpty())
        throw TExceptReport("提取资金性质失败：" + LastDefQueryError());
    ShowReport();
    EnableOutput(!cobMid->Text().isEmpty());
}

void TbfrmTallyleaf::EnableOutput(bool enabled)
{
    tbtnExcel->SetEnabled(enabled);
    tbnPrintView->SetEnabled(enabled);
    tbnPrint->SetEnabled(enabled);
    EXCEL1->SetEnabled(enabled);
    N4->SetEnabled(enabled);
    N5->SetEnabled(enabled);
}

// ------------------------------------------------------------------ report

TReportSelection TbfrmTallyleaf::Selection()
{
    TReportSelection selection;
    selection.Year = DataYear();
    selection.FEidPrefix = FEidPrefix;
    selection.FBType = FBType;
    selection.FundName = cobMid->Text();
    // Without its code the report would cover every fund nature under this one's title.
    if (!FundKindCodeByName(selection.FundName, selection.FundCode) && !LastDefQueryError().isEmpty())
        throw TExceptReport("查询资金性质" + selection.FundName + "的编码失败：" + LastDefQueryError());
    selection.FUnitName = FUnitName;
    selection.BTypeText = cobBType->Text();
    selection.TemplateFolder = GetHostParam(PubVariable() ? PubVariable()->HostSettings : nullptr, 11);
    BuildTitles(selection);
    FTitle = selection.FTitle;
    FSubTitle = selection.FSubTitle;
    return selection;
}

void TbfrmTallyleaf::FillReport(TCell5& sheet, bool asNumbers, const QString& workbookTarget)
{
    CheckUnitTree();
    const TReportSelection selection = Selection();
    // A long last report goes before the new one is built, so that the two never take room
    // at once; a short one stays on screen meanwhile rather than flash away.
    if (sheet.Sheet().rowCount() > LongReportRows) {
        sheet.SetSheet(sheet::Sheet());
        TReportJob::ReturnFreedMemory();
    }
    TReportJob job(selection, selection.FundCode, asNumbers);
    job.SetWorkbookTarget(workbookTarget);
    {
        TBusyPanel panel(*this, TBusyPanel::ForJob(job));
        panel.Run([&job] { job.Start(); }, &job, &TReportJob::Finished, [&job] { return job.Ended(); });
        job.Wait();
    }
    // Whatever the outcome, the heap of the report's peak goes back once the control holds
    // what it shows.
    struct TReturnMemory {
        ~TReturnMemory() { TReportJob::ReturnFreedMemory(); }
    } returnMemory;
    switch (job.Phase()) {
    case TReportJob::TPhase::Done:
        sheet.SetSheet(std::move(*job.TakeSheet()));
        return;
    case TReportJob::TPhase::Cancelled:
        sheet.SetSheet(sheet::Sheet());   // nothing of it, nor of the last report
        throw TExceptReportCancelled("报表已取消，未显示任何数据。");
    default:
        ShowNoReportRows(sheet, selection, selection.FundCode);
        throw TExceptReport(job.ErrorText());
    }
}

bool TbfrmTallyleaf::ShowReport()
{
    try {
        FillReport(*cllBudget, false);
    } catch (const TExceptReportCancelled&) {
        // The sheet is empty: nothing to print or export until a whole report is back.
        FShownFund = -1;
        EnableOutput(false);
        throw;
    }
    FShownFund = cobMid->ItemIndex();
    return true;
}

// ------------------------------------------------------------------ print and preview

void TbfrmTallyleaf::btnPrintViewClick(TObject* Sender)
{
    CallHandlerSafely(Sender, [this] {
        cllBudget->SetPageText(QString(), PageText, QString());
        cllBudget->PrintPreview(0, 0);
    });
}

void TbfrmTallyleaf::PrintCurrentSheet()
{
    cllBudget->SetPageText(QString(), PageText, QString());
    if (PrintsToPdfTarget()) {
        PrintToPdfTarget();
        return;
    }
    if (!TCell5::PrinterInstalled()) {
        PrintToPdfFile();
        return;
    }
    if (cllBudget->PrintSheet(0, 0) == 0 && !cllBudget->LastError().isEmpty())
        throw TExceptReport("打印" + FTitle + "失败：" + cllBudget->LastError());
}

void TbfrmTallyleaf::PrintToPdfTarget()
{
    const QString path = FPdfFile.isEmpty() ? QDir(FPdfFolder).filePath(ReportFileName(".pdf")) : FPdfFile;
    int written = 0;
    WriteOffTheWindow([&] { written = cllBudget->ExportPdfFile(path); });
    if (written != 1)
        throw TExceptReport("打印到" + path + "失败：" + cllBudget->LastError());
    FPrintedFiles << path;
}

// The print dialog offers printing to a PDF file: it proposes the export's name in the
// folder last printed to, and an existing file is replaced only when the user agrees.
void TbfrmTallyleaf::PrintToPdfFile()
{
    cllBudget->SetPrintFile(QDir(LastPrintFolder()).filePath(ProposedFileName(".pdf")),
                            [this](const QString& path) { return MayReplace({path}); });
    const int printed = cllBudget->PrintSheet(0, 0);
    if (printed == 0 && !cllBudget->LastError().isEmpty())
        throw TExceptReport("打印" + FTitle + "失败：" + cllBudget->LastError());
    if (printed != 0 && !cllBudget->PrintedFile().isEmpty()) {
        FPrintedFiles << cllBudget->PrintedFile();
        RememberPrintFolder(QFileInfo(cllBudget->PrintedFile()).absolutePath());
    }
}

// One PDF file per fund nature, named as the continuous export names its workbooks, in a
// folder asked for once.
void TbfrmTallyleaf::PrintAllFundsToFolder()
{
    CheckUnitTree();
    QString folder = LastPrintFolder();
    if (!BrowseForFolder(FolderTitle, QString(), folder))
        return;
    QStringList paths;
    for (const QString& fund : cobMid->Items())
        paths << QDir(folder).filePath(FundFileName(fund, ".pdf"));
    if (!MayReplace(paths))
        return;
    RememberPrintFolder(folder);
    TFundRun run(*this);
    QStringList printed;
    for (int i = 0; i < cobMid->Count(); ++i) {
        cobMid->SetItemIndex(i);
        try {
            ShowReport();
        } catch (const TExceptReportCancelled&) {
            ThrowRunCancelled("打印", printed);
        }
        cllBudget->SetPageText(QString(), PageText, QString());
        int written = 0;
        WriteOffTheWindow([&] { written = cllBudget->ExportPdfFile(paths[i]); });
        if (written != 1)
            throw TExceptReport("打印" + FTitle + "到" + paths[i] + "失败：" + cllBudget->LastError());
        FPrintedFiles << paths[i];
        printed << cobMid->Text();
        if (FStopAfterFile && i + 1 < cobMid->Count())
            ThrowRunCancelled("打印", printed);
    }
}

void TbfrmTallyleaf::tbnPrintClick(TObject* Sender)
{
    FPrintedFiles.clear();
    CallHandlerSafely(Sender, [this] {
        if (!cbNum->Checked()) {
            PrintCurrentSheet();
            return;
        }
        if (!PrintsToPdfTarget() && !TCell5::PrinterInstalled()) {
            PrintAllFundsToFolder();
            return;
        }
        TFundRun run(*this);
        QStringList printed;
        for (int i = 0; i < cobMid->Count(); ++i) {
            cobMid->SetItemIndex(i);
            try {
                ShowReport();
            } catch (const TExceptReportCancelled&) {
                ThrowRunCancelled("打印", printed);
            }
            PrintCurrentSheet();
            printed << cobMid->Text();
        }
    });
}

QString TbfrmTallyleaf::LastPrintFolder() const
{
    const QString folder = ReadSetting(SettingsSection, SPrintFolder, IniFileChoice);
    if (FolderExists(folder))
        return folder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return FolderExists(documents) ? documents : QDir::homePath();
}

void TbfrmTallyleaf::RememberPrintFolder(const QString& folder) const
{
    WriteSetting(SettingsSection, SPrintFolder, QDir::cleanPath(folder), IniFileChoice);
}

bool TbfrmTallyleaf::MayReplace(const QStringList& paths) const
{
    QStringList existing;
    for (const QString& path : paths)
        if (QFileInfo::exists(path))
            existing << path;
    return existing.isEmpty() || Application->MessageBox("文件" + existing.join("、") + "已存在，是否替换？",
                                                         MessageCaption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// ------------------------------------------------------------------ export

QString TbfrmTallyleaf::ReportFileName(const QString& extension) const
{
    return FundFileName(cobMid->Text(), extension);
}

QString TbfrmTallyleaf::FundFileName(const QString& fund, const QString& extension) const
{
    return SafeFileName(QString::number(DataYear()) + "年国库集中支付改革" + cobBType->Text() + fund + "指标表" +
                        extension);
}

QString TbfrmTallyleaf::ProposedFileName(const QString& extension) const
{
    return SafeFileName(JoinFileName(FUnitName, ReportFileName(extension)));
}

bool TbfrmTallyleaf::PrepareExportSheet(const QString& workbookTarget)
{
    FillReport(*cllExpExcel, true, workbookTarget);
    return true;
}

void TbfrmTallyleaf::WriteWorkbook(TCell5& sheet, const QString& path)
{
    sheet.SetWorkbookReadonly(false);
    int written = 0;
    WriteOffTheWindow([&] { written = sheet.ExportXlsFile(path); });
    // The writer's message already names the file.
    if (written != 1)
        throw TExceptReport("导出失败：" + sheet.LastError());
}

// The writers read only the sheet model, which nothing changes while the panel holds the
// input back; the screen's painter reads it meanwhile too.
void TbfrmTallyleaf::WriteOffTheWindow(const std::function<void()>& write)
{
    std::exception_ptr failure;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            write();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    {
        // A file is never cut short; in a continuous run, 取消 stops the run once it is written.
        TBusyPanel panel(*this, TBusyPanel::ForFile(FStopAfterFile, FInFundRun));
        panel.Run([&] { worker->start(); }, worker.get(), &QThread::finished, [&] { return worker->isFinished(); });
    }
    worker->wait();
    if (failure)
        std::rethrow_exception(failure);
}

bool TbfrmTallyleaf::ExportAllFunds()
{
    CheckUnitTree();
    QString folder;
    if (!BrowseForFolder(FolderTitle, QString(), folder))
        return false;
    QStringList written;
    QStringList asXlsx;   // reports longer than .xls holds
    QStringList failed;
    TFundRun run(*this);
    for (int i = 0; i < cobMid->Count(); ++i) {
        cobMid->SetItemIndex(i);
        try {
            PrepareExportSheet();
            const bool fitsXls = sheet::WorkbookExport::fits(QStringLiteral("report.xls"), cllExpExcel->Sheet().rowCount());
            WriteWorkbook(*cllExpExcel, QDir(folder).filePath(ReportFileName(fitsXls ? ".xls" : ".xlsx")));
            written << cobMid->Text();
            if (!fitsXls)
                asXlsx << cobMid->Text();
        } catch (const TExceptReportCancelled&) {
            ThrowRunCancelled("导出", written);
        } catch (const std::exception& e) {
            failed << cobMid->Text() + "：" + ExceptionMessage(e);
        }
        if (FStopAfterFile && i + 1 < cobMid->Count())
            ThrowRunCancelled("导出", written);
    }
    FExportNote = asXlsx.isEmpty() ? QString()
                                   : "\n以下资金性质的报表超过65,536行，已导出为Excel工作簿（.xlsx）：" + asXlsx.join("、");
    if (!failed.isEmpty())
        throw TExceptReport("以下资金性质未能导出：\n" + failed.join('\n') + "\n已导出：" +
                            (written.isEmpty() ? QStringLiteral("无") : written.join("、")) + FExportNote);
    return !written.isEmpty();
}

// The file is chosen before the export sheet is built, so that a report too long for the
// chosen format is refused as soon as its rows are counted, and a cancelled dialog builds
// nothing.
bool TbfrmTallyleaf::ExportCurrentFund()
{
    const QString path = FExportFile.isEmpty() ? AskWorkbookFile() : FExportFile;
    if (path.isEmpty() || !MayReplace({path}))
        return false;
    PrepareExportSheet(path);
    WriteWorkbook(*cllExpExcel, path);
    return true;
}

// The save dialog, proposing the format by the length of the report on screen (the one
// exported): .xls holds 65,536 rows, a longer report is proposed as .xlsx. Empty when the
// user cancels.
QString TbfrmTallyleaf::AskWorkbookFile()
{
    const bool fitsXls = sheet::WorkbookExport::fits(QStringLiteral("report.xls"), cllBudget->Sheet().rowCount());
    sd->SetFilter("Excel 97-2003 工作簿 (*.xls)|*.xls|Excel 工作簿 (*.xlsx)|*.xlsx");
    sd->SetFilterIndex(fitsXls ? 1 : 2);
    sd->SetFileName(ProposedFileName(fitsXls ? ".xls" : ".xlsx"));
    return sd->Execute() ? sd->FileName() : QString();
}

bool TbfrmTallyleaf::ExportToExcel()
{
    FExportNote.clear();
    return cbNum->Checked() ? ExportAllFunds() : ExportCurrentFund();
}

void TbfrmTallyleaf::EXCEL1Click(TObject* Sender)
{
    CallHandlerSafely(Sender, [this] {
        if (ExportToExcel())
            Application->MessageBox("数据导出成功。" + FExportNote, MessageCaption, MB_ICONINFORMATION);
    });
}

void TbfrmTallyleaf::mitemExpSetClick(TObject* Sender)
{
    CallHandlerSafely(Sender, [] {
        auto* dialog = new TfrmPrintExpSet(nullptr);
        try {
            dialog->ShowModal();
        } catch (...) {
            dialog->Free();
            throw;
        }
        dialog->Free();
    });
}

// ------------------------------------------------------------------ living in the window

// Tab follows the work: the tree, the indicator type, the fund nature, the sheet, then
// "连续打印". Ctrl+E exports as Ctrl+P prints (the menu item "打印" carries Ctrl+P; the
// export's shortcut belongs to the window, so the menus keep their captions).
void TbfrmTallyleaf::SetUpKeyboard()
{
    if (Widget()->findChild<QShortcut*>(QString(), Qt::FindDirectChildrenOnly))
        return;   // shown before
    QWidget* chain[] = {trvList->Handle(), cobBType->Handle(), cobMid->Handle(), cllBudget->Handle(), cbNum->Handle()};
    for (size_t i = 0; i + 1 < std::size(chain); ++i)
        if (chain[i] && chain[i + 1])
            QWidget::setTabOrder(chain[i], chain[i + 1]);
    auto* exportKey = new QShortcut(QKeySequence(QStringLiteral("Ctrl+E")), Widget());
    exportKey->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(exportKey, &QShortcut::activated, this, [this] {
        if (EXCEL1->Enabled())
            EXCEL1->Click();
    });
}

void TbfrmTallyleaf::FormDestroy(TObject* Sender)
{
    TfrmBsTrvTC::FormDestroy(Sender);
    const TWindowPlacement placement = CurrentPlacement(*this, *pnlLeft);
    if (FOpenedAt && placement != *FOpenedAt)
        CallHandlerSafely(Sender, [&] { WritePlacement(SettingsSection, placement); });
}
