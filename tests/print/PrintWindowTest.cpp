// The print window as a user drives it: show, tree, types, fund natures, print, export.
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>
#include <memory>

#include "common/AppDataStorage.h"
#include "common/gunFolder.h"
#include "common/untDataBase.h"
#include "plugin/untDefConnection.h"
#include "common/untDemoDatabase.h"
#include "common/PlugInGlobals.h"
#include "print/CELL50Lib_TLB.h"
#include "print/bwnTallyleaf.h"
#include "print/gunSelectList.h"
#include "tests/TestSupport.h"
#include "tests/support/DbTestSupport.h"
#include "tests/support/FormsTestSupport.h"
#include "tests/print/ReportFixture.h"
#include "tests/support/PdfText.h"
#include "trees/untCheckTree.h"
#include "trees/untDynamicTree.h"

namespace {

using reporttest::TReportHost;

constexpr int DemoYear = 2024;

// A fresh demo database per test: every test starts from the same data and context.
std::unique_ptr<TReportHost> DemoHost(const QString& backend)
{
    auto host = std::make_unique<TReportHost>(backend, DemoYear);
    QString error;
    if (host->Database().Ready() && !CreateDemoDatabase(host->Def(), &error))
        throw Exception("demo database not made: " + error);
    return host;
}

QString FundLabelOf(const QString& fund)
{
    // The demo's fund natures by name, and the labels the titles give them.
    static const std::map<QString, QString> labels{{"一般预算资金", "一般预算资金"},
                                                   {"政府性基金", "政府性基金"},
                                                   {"财政专户管理资金", "财政专户管理资金"},
                                                   {"国有资本经营预算资金", "国有资本经营预算资金"}};
    auto it = labels.find(fund);
    return it == labels.end() ? QString() : it->second;
}

class PrintWindowTest : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override
    {
        FOwnedHost = DemoHost(GetParam());
        FHost = FOwnedHost.get();
        DBTEST_REQUIRE_READY(FHost->Database());
        FHost->SetLogin("105001", "0");
        FSettings.Values = QStringList{"11=" + testsupport::SourceDir() + "/data/templates/",
                                       "13=" + FSettingsDir.filePath("host.INI")};
        PubVariable()->HostSettings = &FSettings;
        PubVariable()->HostOptions->IndicatorType = 1;
        PubVariable()->Year = DemoYear;
        Application->MessageBoxHook = [this](const QString& text, const QString&, int) {
            FBoxes << text;
            return FAnswer;
        };
    }

    void TearDown() override
    {
        if (FForm)
            FForm->Free();
        FForm = nullptr;
        if (FHost && PubVariable())
            PubVariable()->HostSettings = nullptr;
        Application->DialogHook = nullptr;
        Application->MessageBoxHook = nullptr;
    }

    TbfrmTallyleaf* ShowWindow()
    {
        FForm = new TbfrmTallyleaf(Application);
        FForm->Show();
        return FForm;
    }

    QString ExpectedTitle(const QString& unitName, const QString& fund) const
    {
        return unitName + QString::number(DemoYear) + "年国库集中支付改革" + FundLabelOf(fund) + "指标表";
    }

    // Runs `answer` on the modal dialog that `action` opens (a print or preview dialog).
    template <class Dialog>
    static int WithDialog(const std::function<void()>& action, const std::function<void(Dialog*)>& answer)
    {
        int seen = 0;
        std::function<void()> poll;
        poll = [&] {
            if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
                ++seen;
                answer(dialog);
            } else {
                QTimer::singleShot(10, poll);
            }
        };
        QTimer::singleShot(0, poll);
        action();
        return seen;
    }

    static bool AnyOutputEnabled(const TbfrmTallyleaf* w)
    {
        return w->tbtnExcel->Enabled() || w->tbnPrintView->Enabled() || w->tbnPrint->Enabled() ||
               w->EXCEL1->Enabled() || w->N4->Enabled() || w->N5->Enabled();
    }

    // The folder picker answers with FFolder and counts the questions; other dialogs are
    // cancelled.
    void AnswerFolders(const QString& folder)
    {
        FFolder = folder;
        Application->DialogHook = [this](TCommonDialog* d) {
            auto* picker = dynamic_cast<TFolderDialog*>(d);
            if (!picker)
                return false;
            ++FFolderAsks;
            picker->SetFolder(FFolder);
            return true;
        };
    }

    QTemporaryDir FSettingsDir;
    QString FFolder;
    int FFolderAsks = 0;
    QStringList FBoxes;   // message box texts, answered with FAnswer
    int FAnswer = IDOK;
    std::unique_ptr<TReportHost> FOwnedHost;
    TReportHost* FHost = nullptr;
    THostSettings FSettings;
    formstest::MdiHost FMdi;
    TbfrmTallyleaf* FForm = nullptr;
};

TEST_P(PrintWindowTest, ShowFillsTypesAndChoosesTheFirstLeaf)
{
    formstest::ExceptionRecorder errors;
    TbfrmTallyleaf* w = ShowWindow();
    EXPECT_EQ(w->cobBType->Items(), (QStringList{"控制数", "预算数", "临时指标"}));
    EXPECT_EQ(w->cobBType->ItemIndex(), 1);
    EXPECT_EQ(w->BType(), "1");
    ASSERT_NE(w->trvList->Selected(), nullptr);
    const auto* info = static_cast<TItemInfo*>(w->trvList->Selected()->Data());
    EXPECT_TRUE(info->IsLeaf);
    EXPECT_EQ(info->Id, "105001");
    EXPECT_EQ(w->EidPrefix(), "105001");
    EXPECT_EQ(w->UnitName(), "市财政局本级");
    ASSERT_GT(w->cobMid->Count(), 0);
    EXPECT_EQ(w->cobMid->ItemIndex(), 0);
    EXPECT_EQ(w->cllBudget->Sheet().text(2, 1), ExpectedTitle("市财政局本级", w->cobMid->Text()));
    EXPECT_TRUE(w->tbtnExcel->Enabled());
    ASSERT_NE(w->ctrvList, nullptr);
    EXPECT_FALSE(w->ctrvList->Active());
    EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join('\n').toStdString();
}

TEST_P(PrintWindowTest, TypeWithoutFundsDisablesEveryOutputCommand)
{
    formstest::ExceptionRecorder errors;
    TbfrmTallyleaf* w = ShowWindow();
    ASSERT_GT(w->cobMid->Count(), 0);
    // A year without budget rows: the next type change finds no fund nature.
    PubVariable()->Year = 1999;
    w->cobBType->SetItemIndex(0);
    w->cobBTypeChange(w->cobBType);
    EXPECT_EQ(w->BType(), "0");
    EXPECT_EQ(w->cobMid->Count(), 0);
    EXPECT_FALSE(AnyOutputEnabled(w));
    PubVariable()->Year = DemoYear;
    w->cobBType->SetItemIndex(1);
    w->cobBTypeChange(w->cobBType);
    EXPECT_GT(w->cobMid->Count(), 0);
    EXPECT_TRUE(w->tbnPrint->Enabled() && w->N4->Enabled() && w->EXCEL1->Enabled());
    EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join('\n').toStdString();
}

TEST_P(PrintWindowTest, ContinuousPrintRunsEveryFundInListOrder)
{
    formstest::ExceptionRecorder errors;
    FHost->SetLogin("113001", "0");   // the health commission has three fund natures
    TbfrmTallyleaf* w = ShowWindow();
    ASSERT_EQ(w->UnitName(), "市卫生健康委员会本级");
    ASSERT_GE(w->cobMid->Count(), 3);
    QTemporaryDir dir;
    w->SetPdfFolder(dir.path());
    w->cobMid->SetItemIndex(w->cobMid->Count() - 1);   // starts from the first whatever is chosen
    w->cbNum->SetChecked(true);
    w->tbnPrint->Click();
    QStringList expected;
    for (const QString& fund : w->cobMid->Items())
        expected << dir.filePath("2024年国库集中支付改革预算数" + fund + "指标表.pdf");
    EXPECT_EQ(w->PrintedFiles(), expected);
    // Each file holds its own fund nature's report, not the one on screen when the run began.
    for (const QString& fund : w->cobMid->Items())
        EXPECT_TRUE(testsupport::PdfText(dir.filePath("2024年国库集中支付改革预算数" + fund + "指标表.pdf"))
                        .contains(ExpectedTitle("市卫生健康委员会本级", fund)))
            << fund.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), w->cobMid->Count());
    EXPECT_EQ(w->cobMid->ItemIndex(), w->cobMid->Count() - 1);
    EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join('\n').toStdString();
}

TEST_P(PrintWindowTest, CancelWritesNothingAndSaysNothing)
{
    formstest::ExceptionRecorder errors;
    TbfrmTallyleaf* w = ShowWindow();
    QTemporaryDir dir;
    int boxes = 0;
    Application->MessageBoxHook = [&](const QString&, const QString&, int) { ++boxes; return IDOK; };
    QString proposed;
    QString filters;
    int filterIndex = 0;
    Application->DialogHook = [&](TCommonDialog* d) {
        const auto* save = static_cast<TSaveDialog*>(d);
        proposed = save->FileName();
        filters = save->Filter();
        filterIndex = save->FilterIndex();
        return false;
    };
    w->tbtnExcel->Click();
    // Both workbook formats are offered; a report that fits .xls is proposed as .xls.
    EXPECT_EQ(proposed, "市财政局本级2024年国库集中支付改革预算数" + w->cobMid->Text() + "指标表.xls");
    EXPECT_EQ(filters, "Excel 97-2003 工作簿 (*.xls)|*.xls|Excel 工作簿 (*.xlsx)|*.xlsx");
    EXPECT_EQ(filterIndex, 1);
    w->cbNum->SetChecked(true);
    Application->DialogHook = [&](TCommonDialog* d) {
        EXPECT_TRUE(d->inherits("TFolderDialog"));
        EXPECT_EQ(d->Title(), "请选择保存路径");
        return false;
    };
    w->EXCEL1->Click();
    EXPECT_EQ(boxes, 0);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join('\n').toStdString();
}

TEST_P(PrintWindowTest, ExportWritesOnceAndAsksBeforeReplacing)
{
    formstest::ExceptionRecorder errors;
    TbfrmTallyleaf* w = ShowWindow();
    QTemporaryDir dir;
    const QString file = dir.filePath("out.xls");
    QStringList boxes;
    int answer = IDNO;
    Application->MessageBoxHook = [&](const QString& text, const QString& caption, int flags) {
        boxes << text + "|" + caption + "|" + QString::number(flags);
        return answer;
    };
    Application->DialogHook = [&](TCommonDialog* d) {
        static_cast<TSaveDialog*>(d)->SetFileName(file);
        return true;
    };
    w->tbtnExcel->Click();
    EXPECT_EQ(boxes, QStringList{"数据导出成功。|Corvalind 7.1-提示信息|64"});
    ASSERT_TRUE(QFileInfo(file).size() > 0);
    const QDateTime written = QFileInfo(file).lastModified();
    boxes.clear();
    w->tbtnExcel->Click();   // the file is there now: answering no keeps it
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].contains(file) && boxes[0].endsWith("|" + QString::number(MB_YESNO | MB_ICONQUESTION)));
    EXPECT_EQ(QFileInfo(file).lastModified(), written);
    EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join('\n').toStdString();
}

TEST_P(PrintWindowTest, ContinuousExportWritesOneWorkbookPerFundOrSaysWhichFailed)
{
    FHost->SetLogin("113001", "0");
    TbfrmTallyleaf* w = ShowWindow();
    ASSERT_GE(w->cobMid->Count(), 3);
    QTemporaryDir dir;
    AnswerFolders(dir.path());
    w->cbNum->SetChecked(true);
    {
        formstest::ExceptionRecorder errors;
        w->tbtnExcel->Click();
        EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join('\n').toStdString();
    }
    QStringList expectedFiles;
    for (const QString& fund : w->cobMid->Items())
        expectedFiles << "2024年国库集中支付改革预算数" + fund + "指标表.xls";
    QStringList written = QDir(dir.path()).entryList(QDir::Files);
    written.sort();
    expectedFiles.sort();
    EXPECT_EQ(written, expectedFiles);
    EXPECT_EQ(FBoxes, QStringList{"数据导出成功。"});

    // A folder that cannot be written: no success, and the message names every fund nature.
    FBoxes.clear();
    FFolder = dir.filePath("missing/folder");
    formstest::ExceptionRecorder errors;
    w->tbtnExcel->Click();
    EXPECT_TRUE(FBoxes.isEmpty());
    ASSERT_EQ(errors.messages.size(), 1);
    for (const QString& fund : w->cobMid->Items())
        EXPECT_TRUE(errors.messages[0].contains(fund + "：")) << errors.messages[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")));
}

// A fund nature whose report is longer than .xls holds is exported as .xlsx in a continuous
// export, and the summary says so; the others stay .xls.
TEST_P(PrintWindowTest, ContinuousExportWritesXlsxForAReportTooLongForXls)
{
    // 65,600 items of one unit under fund "11": as many report rows, with the totals.
    FHost->Exec("insert into busibudget (id,datayear,eid,status,BType,mid,bid,bname,iid,iname,issecret,bkid,ipid,"
                "BudgMoney) with recursive n(i) as (select 1 union all select i+1 from n where i<65600) "
                "select 5000000+i,2024,'113001','1','1','11','2050101','教育','X'||i,'项目','1','21','11',1 from n");
    FHost->SetLogin("113001", "0");
    TbfrmTallyleaf* w = ShowWindow();
    QTemporaryDir dir;
    AnswerFolders(dir.path());
    w->cbNum->SetChecked(true);
    formstest::ExceptionRecorder errors;
    QSet<QString> shown;   // what the panel said while the window went on painting
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (w->pnprocess->Visible())
            shown << w->Label8->Caption().section(' ', 0, 0);
    });
    watch.start(5);
    w->tbtnExcel->Click();
    watch.stop();
    EXPECT_TRUE(shown.contains("写入文件…")) << QStringList(shown.values()).join(',').toStdString();
    EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join('\n').toStdString();
    QStringList expectedFiles;
    for (const QString& fund : w->cobMid->Items())
        expectedFiles << "2024年国库集中支付改革预算数" + fund + (fund == "一般预算资金" ? "指标表.xlsx" : "指标表.xls");
    QStringList written = QDir(dir.path()).entryList(QDir::Files);
    written.sort();
    expectedFiles.sort();
    EXPECT_EQ(written, expectedFiles);
    EXPECT_EQ(FBoxes, QStringList{"数据导出成功。\n以下资金性质的报表超过65,536行，已导出为Excel工作簿（.xlsx）：一般预算资金"});

    // Esc while that fund nature's workbook is written stops the run once the file is whole.
    const QStringList funds = w->cobMid->Items();
    const int big = funds.indexOf("一般预算资金");
    ASSERT_LT(big, funds.size() - 1);
    QTemporaryDir stopped;
    AnswerFolders(stopped.path());
    FBoxes.clear();
    QTimer esc;
    QObject::connect(&esc, &QTimer::timeout, [&] {
        if (w->pnprocess->Visible() && w->cobMid->ItemIndex() == big && w->Label8->Caption().startsWith("写入文件"))
            QTest::keyClick(w->cllBudget->Widget(), Qt::Key_Escape);
    });
    esc.start(5);
    w->tbtnExcel->Click();
    esc.stop();
    const QStringList done = funds.mid(0, big + 1);
    EXPECT_EQ(errors.messages, QStringList{"导出已取消。已导出：" + done.join("、")});
    EXPECT_EQ(QDir(stopped.path()).entryList(QDir::Files).size(), done.size());
    EXPECT_TRUE(QFileInfo::exists(stopped.filePath("2024年国库集中支付改革预算数一般预算资金指标表.xlsx")));
    EXPECT_TRUE(FBoxes.isEmpty());
    errors.messages.clear();

    // A single export of that report proposes .xlsx.
    w->cbNum->SetChecked(false);
    w->cobMid->SetText("一般预算资金");
    w->cobMidChange(w->cobMid);
    QString proposed;
    int filterIndex = 0;
    Application->DialogHook = [&](TCommonDialog* d) {
        proposed = static_cast<TSaveDialog*>(d)->FileName();
        filterIndex = static_cast<TSaveDialog*>(d)->FilterIndex();
        return false;
    };
    w->tbtnExcel->Click();
    EXPECT_TRUE(proposed.endsWith("一般预算资金指标表.xlsx")) << proposed.toStdString();
    EXPECT_EQ(filterIndex, 2);

    // Named as .xls, by a host or in the dialog: refused once the rows are counted, before
    // the export sheet is filled; a cancelled dialog builds nothing.
    const QString xls = dir.filePath("one.xls");
    const std::pair<const char*, std::function<void()>> namings[] = {
        {"host", [&] { w->SetExportFile(xls); }},
        {"dialog", [&] {
             w->SetExportFile(QString());
             Application->DialogHook = [&](TCommonDialog* d) {
                 static_cast<TSaveDialog*>(d)->SetFileName(xls);
                 return true;
             };
         }},
        {"cancelled", [&] { Application->DialogHook = [](TCommonDialog*) { return false; }; }},
    };
    for (const auto& [name, naming] : namings) {
        SCOPED_TRACE(name);
        naming();
        w->cllExpExcel->SetSheet(sheet::Sheet());
        errors.messages.clear();
        w->tbtnExcel->Click();
        EXPECT_LT(w->cllExpExcel->Sheet().rowCount(), 65536);
        EXPECT_FALSE(QFileInfo::exists(xls));
        if (std::string(name) == "cancelled") {
            EXPECT_TRUE(errors.messages.isEmpty());
            EXPECT_EQ(w->cllExpExcel->Sheet().rowCount(), 0);
            continue;
        }
        ASSERT_EQ(errors.messages.size(), 1);
        EXPECT_TRUE(errors.messages[0].startsWith("无法导出“" + xls + "”")) << errors.messages[0].toStdString();
    }
}

// Renames a SQLite view by making it again under the new name from its stored definition.
void RenameSqliteView(TReportHost& host, const QString& from, const QString& to)
{
    IARQueryPtr q;
    ASSERT_TRUE(OpenDefQuery("select sql from sqlite_master where name='" + from + "'", q));
    QString definition = q->Query()->FieldByName("sql")->AsString();
    q = nullptr;
    definition.replace(QRegularExpression("^create view " + from, QRegularExpression::CaseInsensitiveOption),
                       "create view " + to);
    host.Exec("drop view " + from);
    host.Exec(definition);
}

// vwbudget as a view whose statements run until they are stopped when they reach a row of
// `endlessRows` (a condition on the view's own columns); an empty condition puts it back.
void MakeReportEndless(TReportHost& host, const QString& endlessRows)
{
    const bool pg = host.Database().Backend() == "postgresql";
    if (endlessRows.isEmpty()) {
        host.Exec("drop view vwbudget");
        if (pg)
            host.Exec("alter view vwbudget_base rename to vwbudget");
        else
            RenameSqliteView(host, "vwbudget_base", "vwbudget");
        return;
    }
    if (pg)
        host.Exec("alter view vwbudget rename to vwbudget_base");
    else
        RenameSqliteView(host, "vwbudget", "vwbudget_base");
    const QString never = pg ? "(select count(*) from pg_sleep(100000)) < 0"
                             : "(with recursive r(n) as (select 1 union all select n+1 from r) select count(*) from r) < 0";
    host.Exec("create view vwbudget as select b.* from vwbudget_base b where not (" + endlessRows + ") or " + never);
}

// Does what a person does to stop the report (Esc by default) whenever the panel is up over
// the report of the fund nature at `fund` in the list.
struct StopWhileBuilding {
    explicit StopWhileBuilding(TbfrmTallyleaf* w, int fund = -1, std::function<void()> stop = {})
    {
        if (!stop)
            stop = [w] { QTest::keyClick(w->cllBudget->Widget(), Qt::Key_Escape); };
        QObject::connect(&timer, &QTimer::timeout, [w, fund, stop] {
            if (w->pnprocess->Visible() && (fund < 0 || w->cobMid->ItemIndex() == fund))
                stop();
        });
        timer.start(50);
    }
    QTimer timer;
};

// Esc, or closing the window, while the statement runs stops the report: an empty sheet, a
// short note, no output commands, the window still open; the next pick builds the whole
// report on the same connection.
TEST_P(PrintWindowTest, EscOrCloseStopsTheReportAndLeavesNothingThatLooksComplete)
{
    TbfrmTallyleaf* w = ShowWindow();
    const int shownRows = w->cllBudget->Sheet().rowCount();
    ASSERT_GT(shownRows, 7);
    const std::pair<const char*, std::function<void()>> stops[] = {
        {"Esc", {}},
        {"close", [w] { w->Widget()->close(); }},
    };
    for (const auto& [name, stop] : stops) {
        SCOPED_TRACE(name);
        MakeReportEndless(*FHost, "1=1");
        {
            StopWhileBuilding stopping(w, -1, stop);
            formstest::ExceptionRecorder errors;
            w->cobMidChange(w->cobMid);
            EXPECT_EQ(errors.messages, QStringList{"报表已取消，未显示任何数据。"});
        }
        EXPECT_TRUE(w->Widget()->isVisible());
        EXPECT_EQ(w->cllBudget->Sheet().rowCount(), 0);
        EXPECT_FALSE(AnyOutputEnabled(w));
        EXPECT_FALSE(w->pnprocess->Visible());
        MakeReportEndless(*FHost, QString());   // through the user-interface thread's own connection
        formstest::ExceptionRecorder errors;
        w->cobMidChange(w->cobMid);
        EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join('\n').toStdString();
        EXPECT_EQ(w->cllBudget->Sheet().rowCount(), shownRows);
        EXPECT_TRUE(AnyOutputEnabled(w));
    }
}

// A continuous run stopped in its second fund nature ends with what was written before it,
// and writes nothing after; the window builds whole reports again afterwards.
TEST_P(PrintWindowTest, ContinuousRunsStopWhenCancelled)
{
    struct Case {
        const char* name;
        const char* summary;
        const char* extension;
        void (*start)(TbfrmTallyleaf* w, const QString& folder);
    };
    const Case cases[] = {
        {"export", "导出已取消。已导出：", ".xls", [](TbfrmTallyleaf* w, const QString&) { w->tbtnExcel->Click(); }},
        {"print", "打印已取消。已打印：", ".pdf",
         [](TbfrmTallyleaf* w, const QString& folder) {
             w->SetPdfFolder(folder);
             w->tbnPrint->Click();
         }},
    };
    FHost->SetLogin("113001", "0");
    TbfrmTallyleaf* w = ShowWindow();
    ASSERT_GE(w->cobMid->Count(), 2);
    const QString first = w->cobMid->Items()[0];
    QString second;
    ASSERT_TRUE(FundKindCodeByName(w->cobMid->Items()[1], second));
    MakeReportEndless(*FHost, "mid='" + second + "'");
    w->cbNum->SetChecked(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        AnswerFolders(dir.path());
        formstest::ExceptionRecorder errors;
        {
            StopWhileBuilding esc(w, 1);
            c.start(w, dir.path());
        }
        EXPECT_EQ(errors.messages, QStringList{c.summary + first});
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"2024年国库集中支付改革预算数" + first + "指标表" + c.extension});
        EXPECT_TRUE(FBoxes.isEmpty()) << FBoxes.join('\n').toStdString();
    }
    MakeReportEndless(*FHost, QString());
    w->cbNum->SetChecked(false);
    w->cobMid->SetItemIndex(0);
    formstest::ExceptionRecorder errors;
    w->cobMidChange(w->cobMid);
    EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join('\n').toStdString();
    EXPECT_TRUE(AnyOutputEnabled(w));
}

// The top node names the unit of the login unit's first three characters; with nobody logged
// in it reports every unit under no unit's name, and says nothing.
TEST_P(PrintWindowTest, TopNodeNamesTheUnitOfThePrefix)
{
    for (auto [login, prefix, name] : {std::tuple{"105001", "105", "市财政局"}, std::tuple{"", "", ""}}) {
        SCOPED_TRACE(login);
        FHost->SetLogin(login, "0");
        formstest::ExceptionRecorder errors;
        TbfrmTallyleaf* w = ShowWindow();
        TTreeNode* top = w->trvList->Items()->GetFirstNode();
        ASSERT_NE(top, nullptr);
        ASSERT_EQ(top->AbsoluteIndex(), 0);
        w->trvList->SetSelected(top);
        EXPECT_EQ(w->EidPrefix(), prefix);
        EXPECT_EQ(w->UnitName(), name);
        EXPECT_TRUE(w->Title().startsWith(QString(name) + "2024年")) << w->Title().toStdString();
        EXPECT_FALSE(w->cllBudget->Sheet().text(2, 1).contains("^_^"));
        EXPECT_TRUE(AnyOutputEnabled(w));
        EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join('\n').toStdString();
        FForm->Free();
        FForm = nullptr;
    }
}

TEST_P(PrintWindowTest, FundListConditionText)
{
    TbfrmTallyleaf* w = ShowWindow();
    EXPECT_EQ(w->FundListCondition(),
              " and mid in (select distinct mid from busibudget  where datayear=2024   and eid like '105001%' "
              "   and status='1'    and  BType='1' )");
}

TEST_P(PrintWindowTest, MissingTemplateIsReportedAndNothingExported)
{
    QTemporaryDir empty;
    FSettings.Values = QStringList{"11=" + empty.path() + "/"};
    formstest::ExceptionRecorder errors;
    TbfrmTallyleaf* w = ShowWindow();
    ASSERT_FALSE(errors.messages.isEmpty());
    EXPECT_TRUE(errors.messages.first().contains(empty.path() + "/指标明细表_非国有资本cll5.cll"))
        << errors.messages.first().toStdString();
    int boxes = 0;
    Application->MessageBoxHook = [&](const QString&, const QString&, int) { ++boxes; return IDOK; };
    Application->DialogHook = [&](TCommonDialog* d) {
        static_cast<TSaveDialog*>(d)->SetFileName(empty.filePath("x.xls"));
        return true;
    };
    w->tbtnExcel->Click();
    EXPECT_EQ(boxes, 0);
    EXPECT_FALSE(QFileInfo::exists(empty.filePath("x.xls")));
}

// However a continuous run ends, the list shows the fund nature whose report is on screen:
// the next single export or print writes what the user sees.
TEST_P(PrintWindowTest, ContinuousRunsLeaveListAndSheetAgreeing)
{
    formstest::ExceptionRecorder errors;
    FHost->SetLogin("113001", "0");
    TbfrmTallyleaf* w = ShowWindow();
    ASSERT_GE(w->cobMid->Count(), 3);
    QTemporaryDir dir;
    AnswerFolders(dir.path());
    w->SetPdfFolder(dir.path());
    w->cbNum->SetChecked(true);
    // The export leaves the chosen fund nature on screen, the print the last one it printed.
    for (auto [button, item] : {std::pair{w->tbtnExcel, 1}, std::pair{w->tbnPrint, w->cobMid->Count() - 1}}) {
        w->cobMid->SetItemIndex(1);
        w->cobMidChange(w->cobMid);
        button->Click();
        EXPECT_EQ(w->cobMid->ItemIndex(), item);
        EXPECT_EQ(w->cllBudget->Sheet().text(2, 1), ExpectedTitle("市卫生健康委员会本级", w->cobMid->Text()));
    }
    EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join('\n').toStdString();
}

// Output commands stay off while there is no tree, or no report without a unit name, to act on.
TEST_P(PrintWindowTest, OutputStaysDisabledWithoutTreeOrReport)
{
    formstest::ExceptionRecorder errors;
    FHost->SetLogin("999001", "0");   // no unit below the login unit's parent
    TbfrmTallyleaf* w = ShowWindow();
    ASSERT_EQ(errors.messages.size(), 1);
    w->cobBType->SetItemIndex(0);
    w->cobBTypeChange(w->cobBType);
    EXPECT_FALSE(AnyOutputEnabled(w));
}

// The top node's unit name is looked up; a look-up that fails or finds nothing is said, for
// this report and the next of that selection, and nothing nameless can be printed.
TEST_P(PrintWindowTest, FailedTopNodeNameIsSaid)
{
    for (auto [sql, said] : {std::pair{"delete from pubdept where eid='105'", "105"},
                             std::pair{"alter table pubdept rename to pubdept_gone", "pubdept"}}) {
        SCOPED_TRACE(sql);
        TearDown();
        FOwnedHost.reset();   // a fresh demo database for each case
        SetUp();
        TbfrmTallyleaf* w = ShowWindow();
        FHost->Exec(sql);
        formstest::ExceptionRecorder errors;
        w->trvList->SetSelected(w->trvList->Items()->GetFirstNode());
        w->cobBTypeChange(w->cobBType);
        ASSERT_EQ(errors.messages.size(), 2);
        EXPECT_TRUE(errors.messages[0].contains(said) && errors.messages[1] == errors.messages[0])
            << errors.messages.join('\n').toStdString();
        EXPECT_FALSE(AnyOutputEnabled(w));
    }
}

// Without a printer the print dialog prints to a PDF file: it proposes the export's name in
// the folder last printed to, asks (once, in the window's words) before replacing a file,
// whether a person clicks its OK button or a program accepts it, and remembers the folder.
TEST_P(PrintWindowTest, PrintWithoutPrinterProposesTheReportNameAndAsksBeforeReplacing)
{
    if (TCell5::PrinterInstalled())
        GTEST_SKIP() << "this machine has a printer";
    formstest::ExceptionRecorder errors;
    QTemporaryDir dir;
    WriteSetting("TbfrmTallyleaf", "PrintFolder", dir.path(), 1);
    TbfrmTallyleaf* w = ShowWindow();
    const QString expected = dir.filePath("市财政局本级2024年国库集中支付改革预算数" + w->cobMid->Text() + "指标表.pdf");
    QString proposed;
    auto print = [&](bool clickOk, const QString& file = QString()) {
        return WithDialog<QPrintDialog>([&] { w->tbnPrint->Click(); }, [&](QPrintDialog* d) {
            proposed = d->printer()->outputFileName();
            if (!file.isEmpty())
                d->findChild<QLineEdit*>("filename")->setText(file);
            if (!clickOk)
                return d->accept();
            QTimer::singleShot(100, d, [d] { d->reject(); });   // still open after a "no"
            d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
    };
    ASSERT_EQ(print(true), 1);
    EXPECT_EQ(proposed, expected);
    ASSERT_GT(QFileInfo(expected).size(), 0);
    EXPECT_TRUE(FBoxes.isEmpty());
    QFile(expected).resize(0);
    FAnswer = IDNO;
    for (bool clickOk : {true, false}) {
        FBoxes.clear();
        ASSERT_EQ(print(clickOk), 1);
        EXPECT_EQ(FBoxes, QStringList{"文件" + expected + "已存在，是否替换？"}) << clickOk;
        EXPECT_EQ(QFileInfo(expected).size(), 0) << clickOk;
    }
    FAnswer = IDYES;
    ASSERT_EQ(print(false), 1);
    EXPECT_GT(QFileInfo(expected).size(), 0);
    QTemporaryDir other;
    ASSERT_EQ(print(false, other.filePath("别的名字.pdf")), 1);
    EXPECT_TRUE(QFileInfo::exists(other.filePath("别的名字.pdf")));
    EXPECT_EQ(ReadSetting("TbfrmTallyleaf", "PrintFolder", 1), other.path());
    EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join('\n').toStdString();
}

// Without a printer a continuous print asks for a folder once and writes one PDF file per
// fund nature, named as the continuous export names its workbooks; fund nature names that
// are no file names are made safe for both.
TEST_P(PrintWindowTest, ContinuousPrintWithoutPrinterWritesOneFilePerFundIntoOneFolder)
{
    if (TCell5::PrinterInstalled())
        GTEST_SKIP() << "this machine has a printer";
    FHost->Exec("update pubmoneykind set mname='一般预算/专项资金' where mid='11'");
    FHost->Exec("update pubmoneykind set mname='财政专户\\管理资金' where mid='21'");
    FHost->SetLogin("113001", "0");
    formstest::ExceptionRecorder errors;
    TbfrmTallyleaf* w = ShowWindow();
    QTemporaryDir pdfs, workbooks;
    AnswerFolders(pdfs.path());
    w->cbNum->SetChecked(true);
    w->tbnPrint->Click();
    QStringList expected;
    for (const QString& fund : w->cobMid->Items())
        expected << "2024年国库集中支付改革预算数" + QString(fund).replace(QRegularExpression("[/\\\\]"), "_") + "指标表";
    const auto written = [&](const QTemporaryDir& dir, const QString& ext) {
        QStringList names;
        for (const QString& name : expected)
            if (QFileInfo::exists(dir.filePath(name + ext)))
                names << name;
        return names;
    };
    EXPECT_EQ(written(pdfs, ".pdf"), expected);
    EXPECT_EQ(QDir(pdfs.path()).entryList(QDir::Files).size(), expected.size());
    EXPECT_EQ(FFolderAsks, 1);
    EXPECT_TRUE(FBoxes.isEmpty());
    // Again: one question for the files there, and "no" writes nothing.
    FAnswer = IDNO;
    const QDateTime first = QFileInfo(pdfs.filePath(expected[0] + ".pdf")).lastModified();
    w->tbnPrint->Click();
    ASSERT_EQ(FBoxes.size(), 1);
    EXPECT_TRUE(FBoxes[0].contains(pdfs.filePath(expected[0] + ".pdf")) && FBoxes[0].endsWith("已存在，是否替换？"));
    EXPECT_EQ(QFileInfo(pdfs.filePath(expected[0] + ".pdf")).lastModified(), first);
    FFolder = workbooks.path();
    w->tbtnExcel->Click();
    EXPECT_EQ(written(workbooks, ".xls"), expected);
    EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join('\n').toStdString();
}

// The page text "共&S页第&P页" is the window's, whatever the template holds; the preview shows
// the sheet on screen only, with "连续打印" ticked too.
TEST_P(PrintWindowTest, PrintAndPreviewCarryThePageTextAndPreviewShowsTheSheetOnScreen)
{
    QTemporaryDir templates;
    const QString source = testsupport::SourceDir() + "/data/templates/";
    for (const QString& name : QDir(source).entryList({"*.cll"})) {
        QFile in(source + name), out(templates.filePath(name));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly));
        out.write(in.readAll().replace("page-text", "# page-text"));
    }
    FSettings.Values[0] = "11=" + templates.path() + "/";
    FHost->SetLogin("113001", "0");
    formstest::ExceptionRecorder errors;
    TbfrmTallyleaf* w = ShowWindow();
    ASSERT_TRUE(w->cllBudget->Sheet().pageSetup().textMiddle.isEmpty()) << "the template copy has no page text";
    w->cobMid->SetItemIndex(1);
    w->cobMidChange(w->cobMid);
    const QString title = w->cllBudget->Sheet().text(2, 1);
    w->cbNum->SetChecked(true);
    QStringList pageTexts;
    const int previews = WithDialog<QPrintPreviewDialog>([&] { w->tbnPrintView->Click(); }, [&](QPrintPreviewDialog* d) {
        pageTexts << w->cllBudget->Sheet().pageSetup().textMiddle;
        d->reject();
    });
    EXPECT_EQ(previews, 1);
    EXPECT_EQ(w->cobMid->ItemIndex(), 1);
    EXPECT_EQ(w->cllBudget->Sheet().text(2, 1), title);
    EXPECT_EQ(pageTexts, QStringList{"共&S页第&P页"});
    QTemporaryDir pdfs;
    w->SetPdfFolder(pdfs.path());
    w->tbnPrint->Click();
    ASSERT_EQ(w->PrintedFiles().size(), w->cobMid->Count());
    for (const QString& file : w->PrintedFiles())
        EXPECT_TRUE(testsupport::PdfText(file).contains(QRegularExpression("共\\d+页第1页"))) << file.toStdString();
    EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join('\n').toStdString();
}

// The window fills the frame's client area the first time, and opens again as it was left:
// size, maximised state and tree width, kept in its own section of the settings file.
TEST_P(PrintWindowTest, WindowOpensFillingTheFrameThenAsItWasLeft)
{
    FMdi.form()->SetBounds(0, 0, 1600, 1000);
    QCoreApplication::processEvents();
    TbfrmTallyleaf* w = ShowWindow();
    const auto* sub = qobject_cast<QMdiSubWindow*>(w->WindowWidget());
    EXPECT_EQ(sub->geometry(), sub->mdiArea()->viewport()->rect());
    for (auto [size, maximized, treeWidth] : {std::tuple{QSize(900, 640), false, 260}, {QSize(1000, 700), true, 300}}) {
        w->SetBounds(10, 10, size.width(), size.height());
        w->pnlLeft->SetWidth(treeWidth);
        w->SetWindowState(maximized ? wsMaximized : wsNormal);
        w->Free();
        w = ShowWindow();
        EXPECT_EQ(w->WindowState(), maximized ? wsMaximized : wsNormal);
        EXPECT_EQ(QSize(w->Width(), w->Height()), size);
        EXPECT_EQ(w->pnlLeft->Width(), treeWidth);
        w->SetWindowState(wsNormal);
    }
    EXPECT_EQ(ReadSetting("TbfrmTallyleaf", "TreeWidth", 1), "300");
}

// Tab follows the work (tree, type, fund nature, sheet, "连续打印"); Ctrl+E exports and
// Ctrl+P prints, the menus as designed.
TEST_P(PrintWindowTest, KeyboardFollowsTheWork)
{
    formstest::ExceptionRecorder errors;
    TbfrmTallyleaf* w = ShowWindow();
    FMdi.form()->Widget()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(FMdi.form()->Widget()));
    w->trvList->Handle()->setFocus();
    QList<QWidget*> visited;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget();
    }
    EXPECT_EQ(visited, (QList<QWidget*>{w->cobBType->Handle(), w->cobMid->Handle(), w->cllBudget->Handle(),
                                          w->cbNum->Handle()}));
    int exports = 0;
    Application->DialogHook = [&](TCommonDialog*) { ++exports; return false; };   // the save dialog, cancelled
    QTemporaryDir pdfs;
    w->SetPdfFolder(pdfs.path());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_E, Qt::ControlModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(exports, 1);
    EXPECT_EQ(w->PrintedFiles().size(), 1);
    EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join('\n').toStdString();
}

// File names made from data stay one name in the chosen folder.
TEST(SafeFileNameTest, SeparatorsControlsAndLeadingDotsAreReplaced)
{
    for (auto [name, safe] : {std::pair{"2024年一般预算/专项资金指标表.xls", "2024年一般预算_专项资金指标表.xls"},
                              {"a\\b", "a_b"}, {"..", "__"}, {"../x.pdf", "___x.pdf"}, {".隐藏.pdf", "_隐藏.pdf"},
                              {"行\t尾\n\x7f", "行_尾__"}, {"a..b.pdf", "a..b.pdf"}})
        EXPECT_EQ(SafeFileName(name), QString(safe)) << name;
}

// The designed layout as the form resource gives it: captions, pictures, shortcuts, what
// is hidden, and that the commands run the window's handlers.
TEST(PrintWindowResource, CommandsAsDesigned)
{
    formstest::MdiHost mdi;
    auto* w = new TbfrmTallyleaf(Application);
    EXPECT_EQ(w->Caption(), "指标打印");
    EXPECT_EQ(w->Width(), 829);
    EXPECT_EQ(w->Height(), 613);
    EXPECT_EQ(w->pnlLeft->Width(), 193);
    EXPECT_EQ(w->Panel1->Height(), 72);
    EXPECT_EQ(w->ProgressBar1->BoundsRect(), QRect(16, 44, 350, 21));
    EXPECT_FALSE(w->pnprocess->Visible());
    EXPECT_FALSE(w->cllExpExcel->Visible());
    EXPECT_EQ(w->cbNum->Caption(), "连续打印");
    struct Button {
        TToolButton* button;
        QString caption;
        int image;
    };
    for (const Button& b : {Button{w->tbtnExcel, "导出excel", 5}, Button{w->tbnPrintView, " 预览 ", 2},
                            Button{w->tbnPrint, " 打印 ", 1}, Button{w->tbnExit, " 退出 ", 0}}) {
        EXPECT_EQ(b.button->Caption(), b.caption);
        EXPECT_EQ(b.button->ImageIndex(), b.image) << b.caption.toStdString();
    }
    struct Item {
        TMenuItem* item;
        QString caption;
        int image;
        QString shortCut;
        bool visible;
    };
    for (const Item& i : {Item{w->N6, "打印设置", 3, "", false}, Item{w->N7, "-", -1, "", false},
                          Item{w->N8, "退出", 0, "", true}, Item{w->N4, "打印", 1, "Ctrl+P", true},
                          Item{w->N5, "打印预览", 2, "", true}, Item{w->N1, "-", -1, "", true},
                          Item{w->EXCEL1, "导出EXCEL", 5, "", true}, Item{w->mitemExpSet, "导出设置", -1, "", false}}) {
        EXPECT_EQ(i.item->Caption(), i.caption);
        EXPECT_EQ(i.item->ImageIndex(), i.image) << i.caption.toStdString();
        EXPECT_EQ(i.item->ShortCut(), i.shortCut) << i.caption.toStdString();
        EXPECT_EQ(i.item->Visible(), i.visible) << i.caption.toStdString();
    }
    for (TMenuItem* item : {w->N8, w->N4, w->N5, w->EXCEL1, w->mitemExpSet})
        EXPECT_TRUE(bool(item->OnClick)) << item->Name().toStdString();
    w->Free();
}

INSTANTIATE_TEST_SUITE_P(Backends, PrintWindowTest, ::testing::ValuesIn(testsupport::Backends()),
                         dbtest::BackendName);

} // namespace
