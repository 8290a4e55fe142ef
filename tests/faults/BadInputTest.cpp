// Bad input through the real print window on the demo database (SQLite and PostgreSQL):
// quotes and very long names, a year without data, a login unit that does not exist,
// missing and truncated templates, export targets that cannot be written, and a settings
// file that cannot be saved. Each ends in a clear message or a right report, never in a
// false success, a half-written file or a changed database.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>
#include <QTest>
#include <unistd.h>

#include "print/bwnPrintExpSet.h"
#include "platform/IniFiles.h"
#include "common/PlugInGlobals.h"
#include "print/CELL50Lib_TLB.h"
#include "print/bwnTallyleaf.h"
#include "tests/TestSupport.h"
#include "tests/support/DbTestSupport.h"
#include "tests/faults/FaultFixture.h"

namespace faulttest {
namespace {

const QString FinanceBureau = QStringLiteral("105001");

// The texts in column 5 (unit name) of the visible sheet.
QStringList UnitColumn(const TCell5& sheet)
{
    QStringList texts;
    for (int r = 1; r <= sheet.Sheet().rowCount(); ++r)
        texts << sheet.Sheet().text(5, r);
    return texts;
}

QString Title(const QString& unitName)
{
    return unitName + QString::number(DemoYear) + "年国库集中支付改革一般预算资金指标表";
}

class BadInputTest : public WindowFixture {};

struct NameCase {
    const char* name;
    QString unitName;
    QString fundName;
};

QList<NameCase> NameCases()
{
    QString longName;
    while (longName.size() < 200)
        longName += QStringLiteral("市财政局国库集中支付中心");
    longName.truncate(200);
    return {
        {"apostrophe", "O'Brien", "'; drop table pubdept; --"},
        {"injection", "'; drop table pubdept; --", "O'Brien基金"},
        {"doubled_quotes", "''O''Brien''", "资金'性质'"},
        {"two_hundred_characters", longName, "一般预算资金"},
    };
}

// A unit and a fund nature renamed in the database: the report, its titles and total rows,
// the fund list and the exported workbook carry the names exactly, and every table is
// still there afterwards.
TEST_P(BadInputTest, QuotedAndLongNamesReachTheReportAndTheExport)
{
    WidenUnitNames();
    const int units = CountAside("select count(*) from pubdept");
    const int budgetRows = CountAside("select count(*) from busibudget");
    for (const NameCase& c : NameCases()) {
        SCOPED_TRACE(c.name);
        ExecAside("update pubdept set ename=" + QuotedStr(c.unitName) + " where eid='105001'");
        ExecAside("update pubmoneykind set mname=" + QuotedStr(c.fundName) + " where mid='11'");
        if (FForm)
            FForm->Free();
        FForm = nullptr;
        const Seen shown = Run([this] { ShowWindow(); });
        EXPECT_TRUE(shown.All().isEmpty()) << shown.All().toStdString();
        ASSERT_EQ(FForm->EidPrefix(), FinanceBureau);
        EXPECT_EQ(FForm->UnitName(), c.unitName);
        EXPECT_EQ(FForm->cobMid->Text(), c.fundName);
        EXPECT_EQ(FForm->cllBudget->Sheet().text(2, 1), Title(c.unitName));
        const QStringList names = UnitColumn(*FForm->cllBudget);
        EXPECT_TRUE(names.contains(c.unitName + "合计")) << names.join('|').toStdString();
        EXPECT_TRUE(names.contains(c.unitName + "本级合计")) << names.join('|').toStdString();
        EXPECT_TRUE(names.contains(c.unitName)) << names.join('|').toStdString();

        // The save dialog proposes a name the file system takes, whatever the unit's name.
        QString proposed;
        Application->DialogHook = nullptr;
        const QString folder = FDir.filePath(c.name);
        ASSERT_TRUE(QDir().mkpath(folder));
        const Seen exported = Run([&] {
            Application->DialogHook = [&](TCommonDialog* d) {
                auto* save = static_cast<TSaveDialog*>(d);
                proposed = save->FileName();
                save->SetFileName(QDir(folder).filePath(proposed));
                return true;
            };
            FForm->tbtnExcel->Click();
        });
        EXPECT_TRUE(proposed.startsWith(c.unitName.left(20))) << proposed.toStdString();
        EXPECT_TRUE(proposed.endsWith("指标表.xls")) << proposed.toStdString();
        EXPECT_LE(QFile::encodeName(proposed).size(), 255);
        ASSERT_TRUE(exported.Succeeded()) << exported.All().toStdString();
        const QJsonObject book = ReadWorkbook(QDir(folder).filePath(proposed));
        EXPECT_EQ(CellText(book, 0, 1), Title(c.unitName));
        QStringList bookNames;
        for (int r = 0; r < book.value("rows").toInt(); ++r)
            bookNames << CellText(book, r, 4);
        EXPECT_TRUE(bookNames.contains(c.unitName + "合计"));
        EXPECT_TRUE(bookNames.contains(c.unitName));

        EXPECT_EQ(CountAside("select count(*) from pubdept"), units);
        EXPECT_EQ(CountAside("select count(*) from busibudget"), budgetRows);
        EXPECT_EQ(CountAside("select count(*) from pubmoneykind where mname=" + QuotedStr(c.fundName)), 1);
    }
}

// A year without budget rows: no fund nature, every output command off, the titles of
// that year over an empty report, and no message (nothing failed).
TEST_P(BadInputTest, YearWithoutDataShowsAnEmptyReportAndOffersNoOutput)
{
    PubVariable()->Year = 1999;
    const Seen shown = Run([this] { ShowWindow(); });
    EXPECT_TRUE(shown.All().isEmpty()) << shown.All().toStdString();
    EXPECT_EQ(FForm->cobMid->Count(), 0);
    for (TControl* c : std::initializer_list<TControl*>{FForm->tbtnExcel, FForm->tbnPrintView, FForm->tbnPrint})
        EXPECT_FALSE(c->Enabled()) << c->Name().toStdString();
    EXPECT_FALSE(FForm->EXCEL1->Enabled());
    EXPECT_TRUE(FForm->cllBudget->Sheet().text(2, 1).startsWith("市财政局本级1999年"));
    EXPECT_EQ(FForm->cllBudget->Sheet().text(6, 3), "1999年预算构成");
    EXPECT_LE(FForm->cllBudget->Sheet().rowCount(), 7);   // the template's rows only
}

// A login unit that is not in the database: one message naming it, no report (it would
// otherwise cover units beyond the login's scope), nothing to export.
TEST_P(BadInputTest, LoginUnitThatDoesNotExistIsSaidOnceAndNothingIsReported)
{
    Host()->SetLogin("999001", "0");
    const Seen shown = Run([this] { ShowWindow(); });
    ASSERT_EQ(shown.errors.size(), 1) << shown.All().toStdString();
    EXPECT_TRUE(shown.errors[0].contains("999001")) << shown.errors[0].toStdString();
    EXPECT_TRUE(shown.boxes.isEmpty());
    EXPECT_FALSE(FForm->tbtnExcel->Enabled());
    EXPECT_FALSE(FForm->tbnPrint->Enabled());
    const sheet::Sheet& visible = FForm->cllBudget->Sheet();
    EXPECT_TRUE(visible.rowCount() < 1 || visible.text(2, 1).isEmpty());
    // The report commands themselves refuse too, should anything call them.
    const QString file = FDir.filePath("scope.xls");
    const Seen exported = ExportTo(file);
    EXPECT_FALSE(exported.Succeeded());
    EXPECT_FALSE(QFileInfo::exists(file));
    ASSERT_EQ(exported.errors.size(), 1);
    EXPECT_TRUE(exported.errors[0].contains("999001"));
}

// Template folders without usable templates: the message names the file (and the line
// of a damaged one) once when the window opens; no report is shown and an export writes
// nothing and claims nothing.
struct TemplateCase {
    const char* name;
    // Fills `folder` from the shipped templates.
    std::function<void(const QString& source, const QString& folder)> prepare;
    bool namesLine;
};

void CopyCut(const QString& source, const QString& folder, const std::function<QByteArray(const QByteArray&)>& cut)
{
    for (const QString& name : QDir(source).entryList({"*.cll"}, QDir::Files)) {
        QFile out(QDir(folder).filePath(name));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(cut(FileBytes(QDir(source).filePath(name))));
    }
}

QList<TemplateCase> TemplateCases()
{
    return {
        {"missing", [](const QString&, const QString&) {}, false},
        {"half_the_bytes",
         [](const QString& source, const QString& folder) {
             CopyCut(source, folder, [](const QByteArray& b) { return b.left(b.size() / 2); });
         },
         true},
        {"half_the_lines",
         [](const QString& source, const QString& folder) {
             CopyCut(source, folder, [](const QByteArray& b) {
                 const QList<QByteArray> lines = b.split('\n');
                 return lines.mid(0, lines.size() / 2).join('\n') + '\n';
             });
         },
         true},
        {"whole_without_amount_formats",
         [](const QString& source, const QString& folder) {
             CopyCut(source, folder, [](QByteArray b) { return b.replace(" number=amount", ""); });
         },
         true},
        {"cut_inside_a_character",
         [](const QString& source, const QString& folder) {
             CopyCut(source, folder, [](const QByteArray& b) {
                 const qsizetype at = b.indexOf("指标明细表\"");
                 return b.left(at + 1);   // the first byte of a three-byte character
             });
         },
         true},
    };
}

TEST_P(BadInputTest, UnusableTemplatesAreNamedOnceAndNothingIsExported)
{
    for (const TemplateCase& c : TemplateCases()) {
        SCOPED_TRACE(c.name);
        const QString folder = FDir.filePath(c.name);
        ASSERT_TRUE(QDir().mkpath(folder));
        c.prepare(TemplateFolder(), folder);
        FSettings.Values = QStringList{"11=" + folder + "/"};
        if (FForm)
            FForm->Free();
        FForm = nullptr;
        const Seen shown = Run([this] { ShowWindow(); });
        ASSERT_EQ(shown.errors.size(), 1) << shown.All().toStdString();
        const QString templateFile = folder + "/指标明细表_非国有资本cll5.cll";
        EXPECT_TRUE(shown.errors[0].contains(templateFile)) << shown.errors[0].toStdString();
        if (c.namesLine) {
            EXPECT_TRUE(shown.errors[0].contains(QRegularExpression("cll:\\d+:|第\\d+行"))) << shown.errors[0].toStdString();
        }
        // The message names what is missing; it does not guess that the file was cut short.
        EXPECT_FALSE(shown.errors[0].contains("截断")) << shown.errors[0].toStdString();
        const sheet::Sheet& visible = FForm->cllBudget->Sheet();
        EXPECT_TRUE(visible.rowCount() < 1 || !visible.text(2, 1).contains("指标")) << "a report or half a template shown";

        const QString file = QDir(folder).filePath("out.xls");
        const Seen exported = ExportTo(file);
        EXPECT_FALSE(exported.Succeeded());
        EXPECT_FALSE(QFileInfo::exists(file));
        ASSERT_EQ(exported.errors.size(), 1) << exported.All().toStdString();
        EXPECT_TRUE(exported.errors[0].contains(templateFile));
    }
}

// Export targets that cannot be written, even by root: the message names the file once, no
// success is claimed, nothing is left behind, and an earlier export stays as it was.
struct TargetCase {
    const char* name;
    std::function<QString(const QString& folder)> target;
};

TEST_P(BadInputTest, UnwritableExportTargetsAreNamedOnceAndLeaveNothing)
{
    const Seen shown = Run([this] { ShowWindow(); });
    ASSERT_TRUE(shown.All().isEmpty()) << shown.All().toStdString();
    QFile plain(FDir.filePath("plain.txt"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    QList<TargetCase> cases{
        {"parent_is_a_file", [](const QString& folder) { return folder + "/plain.txt/out.xls"; }},
        {"missing_folder", [](const QString& folder) { return folder + "/no/such/folder/out.xls"; }},
        {"kernel_folder", [](const QString&) { return QStringLiteral("/proc/tallyleaf-out.xls"); }},
        {"name_too_long", [](const QString& folder) { return folder + "/" + QString(300, 'x') + ".xls"; }},
        {"folder_name_as_file", [](const QString& folder) { return folder; }},
    };
    const QString readOnly = FDir.filePath("readonly");
    if (geteuid() != 0) {
        // Root writes into a folder without write permission; only others can be stopped so.
        ASSERT_TRUE(QDir().mkpath(readOnly));
        QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ExeOwner);
        cases.append({"read_only_folder", [readOnly](const QString&) { return readOnly + "/out.xls"; }});
    }
    const QString previous = FDir.filePath("previous.xls");
    ASSERT_TRUE(ExportTo(previous).Succeeded());
    const QByteArray previousBytes = FileBytes(previous);
    for (const TargetCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString target = c.target(FDir.path());
        const Seen exported = ExportTo(target);
        EXPECT_FALSE(exported.Succeeded());
        ASSERT_EQ(exported.errors.size(), 1) << exported.All().toStdString();
        EXPECT_EQ(exported.errors[0].count(target), 1) << exported.errors[0].toStdString();
        EXPECT_FALSE(QFileInfo(target).isFile());
        EXPECT_TRUE(StagingLeftovers(FDir.path()).isEmpty());
    }
    EXPECT_EQ(FileBytes(previous), previousBytes);

    // The continuous export into a folder nobody can write: each fund nature is named.
    FForm->cbNum->SetChecked(true);
    const Seen continuous = Run([this] { FForm->tbtnExcel->Click(); }, QString(), QStringLiteral("/proc"));
    EXPECT_FALSE(continuous.Succeeded());
    ASSERT_EQ(continuous.errors.size(), 1);
    for (const QString& fund : FForm->cobMid->Items())
        EXPECT_TRUE(continuous.errors[0].contains(fund + "：")) << continuous.errors[0].toStdString();
    if (geteuid() != 0)
        QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A settings file without write permission: saving the export settings says which file
// could not be saved, the file keeps its text, the dialog keeps the user's choice, and
// the same choice is saved once the file can be written again.
TEST_P(BadInputTest, ReadOnlySettingsFileIsReportedAndTheChoiceKept)
{
    const QString ini = FDir.filePath("host.INI");
    {
        QFile file(ini);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[bwnHarrowSlate]\nShowSaveExpSet=1\nexpType=1\n");
    }
    const QByteArray before = FileBytes(ini);
    ASSERT_TRUE(QFile::setPermissions(ini, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    FSettings.Values << "13=" + ini;

    auto* dialog = new TfrmPrintExpSet(nullptr);
    Seen seen;
    int step = 0;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!dialog->Widget()->isVisible() || ++step > 1000) {
            if (step > 1000)
                dialog->SetModalResult(mrCancel);
            return;
        }
        if (step == 1) {
            dialog->rgExpSet->SetItemIndex(0);
            dialog->chkbShowDlg->SetChecked(false);
            QTest::mouseClick(dialog->btnOK->Widget(), Qt::LeftButton);
        } else if (step == 2) {
            EXPECT_EQ(dialog->ModalResult(), mrNone);   // still open: nothing was saved
            EXPECT_EQ(dialog->rgExpSet->ItemIndex(), 0);
            EXPECT_FALSE(dialog->chkbShowDlg->Checked());
            EXPECT_EQ(FileBytes(ini), before);
            QFile::setPermissions(ini, QFile::ReadOwner | QFile::WriteOwner);
            QTest::mouseClick(dialog->btnOK->Widget(), Qt::LeftButton);
        }
    });
    int result = mrNone;
    seen = Run([&] {
        timer.start();
        result = dialog->ShowModal();
    });
    dialog->Free();
    ASSERT_GE(seen.errors.size(), 1) << seen.All().toStdString();
    EXPECT_TRUE(seen.errors[0].contains(ini)) << seen.errors[0].toStdString();
    EXPECT_EQ(seen.errors.size(), 1) << seen.All().toStdString();
    EXPECT_EQ(result, mrOk);
    TIniFile saved(ini);
    EXPECT_EQ(saved.ReadString("bwnHarrowSlate", "ShowSaveExpSet", "?"), "0");
    EXPECT_EQ(saved.ReadString("bwnHarrowSlate", "expType", "?"), "0");
    EXPECT_NE(FileBytes(ini), before);
}

INSTANTIATE_TEST_SUITE_P(Backends, BadInputTest, ::testing::ValuesIn(testsupport::Backends()), dbtest::BackendName);

} // namespace
} // namespace faulttest
