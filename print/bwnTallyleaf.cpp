#include "print/bwnTallyleaf.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "common/AppDataStorage.h"
#include "common/bwnPrintExpSet.h"
#include "common/gunFolder.h"
#include "common/gunSelectList.h"
#include "common/untSqlDialect.h"
#include "platform/FormResource.h"
#include "platform/Forms.h"
#include "plugin/PlugInGlobals.h"
#include "plugin/untDefConnection.h"
#include "print/CELL50Lib_TLB.h"
#include "print/untReportFill.h"
#include "trees/untCheckTree.h"
#include "trees/untDynamicTree.h"

namespace {

[[maybe_unused]] const bool GRegistered = (RegisterComponentClass(&TCell5::staticMetaObject),
                                           RegisterComponentClass(&TbfrmTallyleaf::staticMetaObject), true);

const QString MessageCaption = QStringLiteral("Corvalind 7.1-提示信息");
const QString PageText = QStringLiteral("共&S页第&P页");

int DataYear()
{
    return PubVariable() ? PubVariable()->Year : 0;
}

// The code less its last three characters; empty when it has three or fewer.
QString ParentCode(const QString& code)
{
    return code.size() > 3 ? code.left(code.size() - 3) : QString();
}

// The save dialog's proposal: unit name and report name, the unit name shortened when
// the whole would pass the file system's limit of 255 bytes for one name.
QString ProposedFileName(QString unitName, const QString& reportName)
{
    constexpr qsizetype NameMax = 255;
    while (!unitName.isEmpty() && QFile::encodeName(unitName + reportName).size() > NameMax)
        unitName.chop(unitName.size() > 1 && unitName.back().isLowSurrogate() ? 2 : 1);
    return unitName + reportName;
}

} // namespace

// The panel with the progress bar, centred on the window while the rows of a report are
// written; the hourglass shows meanwhile and the default cursor comes back in every case.
class TbfrmTallyleaf::TProgressPanel : public TReportProgress {
public:
    explicit TProgressPanel(TbfrmTallyleaf& form) : FForm(form) {}

    void Start(int max) override
    {
        TPanel* panel = FForm.pnprocess;
        panel->SetLeft((FForm.ClientWidth() - panel->Width()) / 2);
        panel->SetTop((FForm.ClientHeight() - panel->Height()) / 2);
        panel->SetVisible(true);
        panel->BringToFront();
        FForm.Refresh();
        FForm.ProgressBar1->SetPosition(0);
        FForm.ProgressBar1->SetMax(max);
        FForm.ProgressBar1->Refresh();
        Screen->SetCursor(crHourGlass);
    }

    void Step() override
    {
        FForm.ProgressBar1->SetPosition(FForm.ProgressBar1->Position() + 1);
        FForm.ProgressBar1->Refresh();
    }

    void Finish() override
    {
        Screen->SetCursor(crDefault);
        FForm.pnprocess->SetVisible(false);
    }

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
            QString name;
            SelectFirstValue("pubdept", "ename", "eid='" + SqlEscape(FEidPrefix) + "'", name);
            FUnitName = name;
        } else {
            FEidPrefix = info->Id;
            FUnitName = info->Caption;
        }
        FTreeLoaded = true;
        RefreshFundList();
    });
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
    CallHandlerSafely(Sender, [this] { ShowReport(); });
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

void TbfrmTallyleaf::RefreshFundList()
{
    const int count = FillFundKindCombo(cobMid, false, 0, false, FundListCondition());
    EnableOutput(!cobMid->Text().isEmpty());
    if (count == 0 && !LastDefQueryError().isEmpty())
        throw TExceptReport("提取资金性质失败：" + LastDefQueryError());
    ShowReport();
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

void TbfrmTallyleaf::FillReport(TCell5& sheet, bool asNumbers)
{
    CheckUnitTree();
    const TReportSelection selection = Selection();
    TProgressPanel progress(*this);
    FillSheet(sheet, selection, selection.FundCode, asNumbers, &progress);
}

bool TbfrmTallyleaf::ShowReport()
{
    FillReport(*cllBudget, false);
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
    if (PrintHook) {
        PrintHook(*cllBudget, ReportFileName(QString()));
        return;
    }
    if (cllBudget->PrintSheet(0, 0) == 0 && !cllBudget->LastError().isEmpty())
        throw TExceptReport("打印" + FTitle + "失败：" + cllBudget->LastError());
}

void TbfrmTallyleaf::tbnPrintClick(TObject* Sender)
{
    CallHandlerSafely(Sender, [this] {
        if (!cbNum->Checked()) {
            PrintCurrentSheet();
            return;
        }
        for (int i = 0; i < cobMid->Count(); ++i) {
            cobMid->SetItemIndex(i);
            ShowReport();
            PrintCurrentSheet();
        }
    });
}

// ------------------------------------------------------------------ export

QString TbfrmTallyleaf::ReportFileName(const QString& extension) const
{
    return QString::number(DataYear()) + "年国库集中支付改革" + cobBType->Text() + cobMid->Text() + "指标表" + extension;
}

bool TbfrmTallyleaf::PrepareExportSheet()
{
    FillReport(*cllExpExcel, true);
    return true;
}

void TbfrmTallyleaf::WriteWorkbook(TCell5& sheet, const QString& path)
{
    sheet.SetWorkbookReadonly(false);
    if (sheet.ExportXlsFile(path) != 1)
        throw TExceptReport("导出文件" + path + "失败：" + sheet.LastError());
}

bool TbfrmTallyleaf::ExportAllFunds()
{
    CheckUnitTree();
    QString folder;
    const QString title = "请选择保存路径";
    const bool chosen = FolderPicker ? FolderPicker(title, folder) : BrowseForFolder(title, QString(), folder);
    if (!chosen)
        return false;
    QStringList written;
    QStringList failed;
    for (int i = 0; i < cobMid->Count(); ++i) {
        cobMid->SetItemIndex(i);
        try {
            PrepareExportSheet();
            WriteWorkbook(*cllExpExcel, QDir(folder).filePath(ReportFileName(".xls")));
            written << cobMid->Text();
        } catch (const std::exception& e) {
            failed << cobMid->Text() + "：" + ExceptionMessage(e);
        }
    }
    if (!failed.isEmpty())
        throw TExceptReport("以下资金性质未能导出：\n" + failed.join('\n') + "\n已导出：" +
                            (written.isEmpty() ? QStringLiteral("无") : written.join("、")));
    return !written.isEmpty();
}

bool TbfrmTallyleaf::ExportCurrentFund()
{
    PrepareExportSheet();
    sd->SetFilter("文件类型 (*.xls)|*.xls");
    sd->SetFileName(ProposedFileName(FUnitName, ReportFileName(".xls")));
    if (!sd->Execute())
        return false;
    const QString path = sd->FileName();
    if (QFileInfo::exists(path) &&
        Application->MessageBox("文件" + path + "已存在，是否替换？", MessageCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    WriteWorkbook(*cllExpExcel, path);
    return true;
}

bool TbfrmTallyleaf::ExportToExcel()
{
    return cbNum->Checked() ? ExportAllFunds() : ExportCurrentFund();
}

void TbfrmTallyleaf::EXCEL1Click(TObject* Sender)
{
    CallHandlerSafely(Sender, [this] {
        if (ExportToExcel())
            Application->MessageBox("数据导出成功。", MessageCaption, MB_ICONINFORMATION);
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
