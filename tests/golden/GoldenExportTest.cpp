// Exported workbooks through the host's headless mode, cell by cell against the report as
// computed from the demo generator's own lists (not from the code that writes the sheet).
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>

#include "common/untDataBase.h"
#include "common/untDemoDatabase.h"
#include "platform/SysUtils.h"
#include "tests/TestSupport.h"
#include "tests/support/DbTestSupport.h"
#include "tests/support/HostRun.h"
#include "tests/support/WorkbookReadBack.h"
#include "tests/print/reference/ReportReference.h"

namespace {

using namespace reportref;
using testsupport::ReadWorkbook;

constexpr int Year = 2024;

struct DemoLists {
    QList<TDeptLine> Depts;
    QList<TBudgetLine> Lines;
    QHash<QString, QString> UnitNames;
    QHash<QString, QString> FundCodes;   // name → mid
};

const DemoLists& Demo()
{
    static const DemoLists lists = [] {
        TDemoCatalog catalog;
        QString error;
        if (!TDemoCatalog::Load(catalog, &error))
            throw Exception("demo catalog: " + error);
        DemoLists d;
        for (const TDemoUnit& u : catalog.Units) {
            d.Depts << TDeptLine{u.Eid, u.Ename, u.Leaf ? "0" : "1", u.Class, u.Special ? "是" : "否"};
            d.UnitNames.insert(u.Eid, u.Ename);
        }
        for (const TDemoFund& f : catalog.Funds)
            d.FundCodes.insert(f.Name, f.Mid);
        for (const TBudgetRow& r : DemoBudgetRows(catalog))
            if (d.UnitNames.contains(r.Eid))   // the view joins the unit list
                d.Lines << TBudgetLine{r.DataYear, r.Eid, d.UnitNames.value(r.Eid), r.Status, r.BType, r.Mid, r.Bid,
                                       r.BName, r.Iid, r.IName, r.IsSecret, r.BkId, r.IpId, double(r.Cents) / 100.0};
        return d;
    }();
    return lists;
}

struct GoldenCase {
    const char* name;
    QString login;
    QString deptMode;
    QString unit;        // a code or "top"
    bool fundGiven;
    QString fund;        // a name; empty with fundGiven: no fund nature
    bool widthsKept;     // columns 15 and 18 keep the template's widths
};

QString FundLabel(const QString& code)
{
    static const QHash<QString, QString> labels{
        {"11", "一般预算资金"}, {"12", "政府性基金"}, {"21", "财政专户管理资金"}, {"31", "国有资本经营预算资金"}};
    return labels.value(code);
}

// One cell as the reader gives it: kind and value; a missing cell is blank.
struct Cell {
    QString kind;
    QJsonValue value;
};

class Workbook {
public:
    explicit Workbook(const QJsonObject& json) : FJson(json) {}
    int Rows() const { return FJson.value("rows").toInt(); }
    Cell At(int row, int col) const
    {
        const QJsonArray a = FJson.value("cells").toObject().value(QString("%1,%2").arg(row).arg(col)).toArray();
        return a.isEmpty() ? Cell{"blank", {}} : Cell{a[0].toString(), a[1]};
    }
    bool Hidden(int col) const
    {
        const QJsonObject c = FJson.value("columns").toObject().value(QString::number(col)).toObject();
        return c.value("hidden").toBool() || c.value("width").toDouble(1) == 0;
    }

private:
    QJsonObject FJson;
};

// The installed host's standard error; its data and settings go to a scratch folder.
QString RunHost(const QStringList& args, int* status)
{
    QTemporaryDir home;
    const testsupport::HostRun run = testsupport::RunHost(args, home.path());
    *status = run.status;
    return run.err;
}

void ExpectText(const Workbook& book, int row, int col, const QString& expected, const std::string& where)
{
    const Cell c = book.At(row, col);
    if (expected.isEmpty())
        EXPECT_TRUE(c.kind == "blank" || (c.kind == "text" && c.value.toString().isEmpty()))
            << where << " col " << col << ": " << c.value.toString().toStdString();
    else
        EXPECT_EQ(c.value.toString(), expected) << where << " col " << col;
}

void ExpectNumber(const Workbook& book, int row, int col, double expected, const std::string& where)
{
    const Cell c = book.At(row, col);
    ASSERT_EQ(c.kind, "number") << where << " col " << col;
    EXPECT_NEAR(c.value.toDouble(), expected, 0.005) << where << " col " << col;
}

// The fund nature the window starts with: the lowest code among those with budget rows of
// the year, the unit prefix, status '1' and the host's type.
QString FirstFund(const QString& prefix)
{
    QStringList mids;
    for (const TBudgetLine& l : Demo().Lines)
        if (l.DataYear == Year && l.Status == "1" && l.BType == "1" && l.Eid.startsWith(prefix))
            mids << l.Mid;
    mids.sort();
    return mids.value(0);
}

class GoldenExportTest : public ::testing::TestWithParam<QString> {};

TEST_P(GoldenExportTest, WorkbooksMatchTheComputedReport)
{
    dbtest::ScratchDatabase db(GetParam());
    DBTEST_REQUIRE_READY(db);
    QString error;
    ASSERT_TRUE(CreateDemoDatabase(db.ConnectionString(), &error)) << error.toStdString();
    QTemporaryDir out;
    const QList<GoldenCase> cases{
        {"department", "105001", "1", "105001", true, "一般预算资金", true},
        {"non_department", "106001", "0", "106005", false, "", false},
        {"top_node", "106001", "0", "top", false, "", false},
        {"small_branch", "125001", "0", "", false, "", false},
        {"state_capital", "124001", "1", "top", true, "国有资本经营预算资金", true},
        {"no_fund", "105001", "0", "105001", true, "", false},
    };
    for (const GoldenCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = out.filePath(QString(c.name) + ".xls");
        QStringList args{"--db", db.ConnectionString(), "--provider", db.Provider(), "--year", QString::number(Year),
                         "--login", c.login, "--dept-mode", c.deptMode, "--export", file};
        if (!c.unit.isEmpty())
            args << "--unit" << c.unit;
        if (c.fundGiven)
            args << "--fund" << c.fund;
        int status = 0;
        const QString stderrText = RunHost(args, &status);
        ASSERT_EQ(status, 0) << stderrText.toStdString();
        const Workbook book(ReadWorkbook(file));
        ASSERT_GT(book.Rows(), 0);

        // The unit the window reports: the code given, the prefix unit for the top node,
        // the first leaf of the tree for none (the small branch's only unit).
        const QString parent = c.login.left(c.login.size() - 3);
        QString prefix = c.unit == "top" ? c.login.left(3) : c.unit.isEmpty() ? parent : c.unit;
        TReportQuery q;
        q.Year = Year;
        q.Prefix = prefix;
        q.BType = "1";
        q.Fund = c.fundGiven ? Demo().FundCodes.value(c.fund) : FirstFund(prefix);
        q.UnitName = Demo().UnitNames.value(prefix);
        q.Small = SmallBranch(Demo().Depts, c.login, c.deptMode);
        const QList<TReportLine> expected = ExpectedReport(Demo().Lines, Demo().Depts, q);
        ASSERT_GT(expected.size(), 1);
        ExpectText(book, 0, 1, q.UnitName + "2024年国库集中支付改革" + FundLabel(q.Fund) + "指标表", "title");
        EXPECT_EQ(book.Hidden(14), !c.widthsKept);

        const int first = book.Rows() - int(expected.size());
        int counter = 1;
        QString previous;
        for (int i = 0; i < expected.size(); ++i) {
            const TReportLine& e = expected[i];
            const int r = first + i;
            const std::string where = "row " + std::to_string(r);
            const bool head = e.Eid != previous || e.Eid.isEmpty();
            previous = e.Eid;
            ExpectText(book, r, 1, head && !e.Eid.isEmpty() ? QString::number(counter++) : QString(), where);
            ExpectText(book, r, 2, e.IsSecret, where);
            const QString mark = !e.Eid.isEmpty() && MarkedSpecial(Demo().Depts, e.Eid) ? "*" : "";
            ExpectText(book, r, 3, head ? mark + e.Eid : QString(), where);
            ExpectText(book, r, 4, head ? e.Ename : QString(), where);
            const QStringList texts{e.Lei, e.Kuan, e.Xiang, e.Bname, e.Iid, e.Iname};
            for (int k = 0; k < texts.size(); ++k)
                ExpectText(book, r, 5 + k, texts[k], where);
            ExpectNumber(book, r, 11, e.Summ, where);
            for (int k = 0; k < 6; ++k) {
                if (e.Split[size_t(k)] > 0.001)
                    ExpectNumber(book, r, 12 + k, e.Split[size_t(k)], where);
                else
                    EXPECT_EQ(book.At(r, 12 + k).kind == "number", false) << where << " split " << k;
            }
            if (HasFailure())
                return;
        }
    }
}

TEST(GoldenExportErrors, BadInputGivesAMessageAndNoFile)
{
    QTemporaryDir out;
    int status = 0;
    const QString file = out.filePath("x.xls");
    // A template folder without the templates.
    QString text = RunHost({"--templates", out.path(), "--export", file}, &status);
    EXPECT_NE(status, 0);
    EXPECT_TRUE(text.contains("指标明细表_")) << text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(file));
    // A unit that is not in the tree.
    text = RunHost({"--unit", "999999", "--export", file}, &status);
    EXPECT_NE(status, 0);
    EXPECT_TRUE(text.contains("999999")) << text.toStdString();
    EXPECT_FALSE(QFileInfo::exists(file));
}

INSTANTIATE_TEST_SUITE_P(Backends, GoldenExportTest, ::testing::ValuesIn(testsupport::Backends()),
                         dbtest::BackendName);

} // namespace
