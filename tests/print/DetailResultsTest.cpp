// The report statement executed on SQLite and PostgreSQL, row by row against the independent
// computation: randomly generated budget data sets and selections, and cases chosen by hand
// (quotes in codes and names, a unit with a three-character code, empty levels).
#include "print/untDetailSql.h"
#include "tests/print/ReportCompare.h"
#include "tests/print/ReportFixture.h"

#include <gtest/gtest.h>
#include <map>

#include "common/untDataBase.h"
#include "common/untDemoDatabase.h"
#include "plugin/untDefConnection.h"
#include "tests/TestSupport.h"

using namespace reportref;
using namespace reporttest;

namespace {

QString Label(std::uint32_t seed, const TSelectionCase& c)
{
    return QString("seed %1, prefix '%2', type %3, fund '%4', login %5 mode %6")
        .arg(seed)
        .arg(c.Prefix, c.BType, c.Fund, c.LoginCode, c.DeptMode);
}

// Runs one selection on the host's data and compares it with the computation; the number of
// rows the statement returned.
int CheckSelection(TReportHost& host, const TBudgetData& data, const TSelectionCase& c, const QString& label)
{
    host.SetLogin(c.LoginCode, c.DeptMode);
    const TReportQuery query{host.Year(), c.Prefix, c.BType, c.Fund, c.UnitName,
                             SmallBranch(data.Depts, c.LoginCode, c.DeptMode)};
    const QList<TReportLine> expected = ExpectedReport(data.Lines, data.Depts, query);
    QString error;
    const QList<TReportLine> actual = RunDetailQuery(BuildDetailSql(CaseSelection(host, c)), &error);
    if (!error.isEmpty()) {
        ADD_FAILURE() << label.toStdString() << ": " << error.toStdString();
        return 0;
    }
    const QString difference = CompareReports(actual, expected);
    EXPECT_TRUE(difference.isEmpty()) << label.toStdString() << "\n" << difference.toStdString();
    return int(actual.size());
}

class DetailResultsTest : public ::testing::TestWithParam<QString> {};

TEST_P(DetailResultsTest, RandomDataSetsMatchTheComputation)
{
    TReportHost host(GetParam());
    DBTEST_REQUIRE_READY(host.Database());
    const std::uint32_t seeds = GetParam() == "sqlite" ? 40 : 16;
    int rowsSeen = 0;
    std::map<qsizetype, int> ownLevelsSeen;   // by prefix length: units whose own level starts the range
    for (std::uint32_t seed = 1; seed <= seeds; ++seed) {
        const TBudgetData data = RandomBudgetData(seed, host.Year());
        host.CreateReportTables();
        host.LoadData(data);
        for (const TSelectionCase& c : RandomSelections(data, seed * 7919u, 12)) {
            rowsSeen += CheckSelection(host, data, c, Label(seed, c));
            if (OwnLevelMaySkip(c.Prefix) && HasOwnLines(data.Lines, {host.Year(), c.Prefix, c.BType, c.Fund, c.UnitName, false}))
                ++ownLevelsSeen[c.Prefix.size()];
        }
        if (HasFailure())
            return;
    }
    EXPECT_GT(rowsSeen, int(seeds) * 20) << "the generated data sets should give reports with rows";
    EXPECT_GT(ownLevelsSeen[6], 2);
    EXPECT_GT(ownLevelsSeen[9], 2);
}

// A data set small enough to state every case of the rules by hand.
TBudgetData HandData(int year)
{
    TBudgetData data;
    data.Year = year;
    data.Funds = {"11", "12"};
    data.Depts = {{"1'1", "引号'单位", "0", 0, "否"},     {"1'1001", "下级'单位", "1", 1, "是"},
                  {"101", "市财政局", "0", 0, "否"},     {"101001", "教育局", "0", 1, "是"},
                  {"101001001", "一中", "1", 2, "否"},   {"101002", "卫生局", "0", 1, "否"},
                  {"101002001", "一院", "1", 2, "否"},   {"101002002", "二院", "1", 2, "是"},
                  {"101002002001", "分院", "1", 3, "否"}, {"102", "空单位", "1", 0, "否"},
                  {"101003", "文化局", "0", 1, "否"},    {"101003002", "剧院", "0", 2, "是"},
                  {"101003002001", "售票处", "1", 3, "否"}};
    auto line = [&](const char* eid, const char* ename, const char* bkid, const char* ipid, double money,
                    const char* bid = "2050101", const char* iid = "0001") {
        data.Lines << BudgetLine(year, eid, ename, bkid, ipid, money, bid, iid);
    };
    line("1'1", "引号'单位", "21", "11", 10);
    line("1'1001", "下级'单位", "22", "19", 20);
    line("101", "市财政局", "21", "12", 30, "2010101");
    line("101001", "教育局", "21", "17", 40);
    line("101001", "教育局", "22", "22", 5, "2050101", "0002");
    line("101001001", "一中", "21", "18", 60);
    line("101002001", "一院", "21", "11", 70);
    line("101002001", "一院", "21", "11", -70, "2050101", "0002");   // cancels nothing: other iid
    line("101002002", "二院", "21", "11", -25);                     // negative sum: no row
    line("101002002001", "分院", "23", "11", 15);                   // no split column
    line("101003", "文化局", "21", "12", 50);                       // own lines of units not ending in 001
    line("101003002", "剧院", "22", "17", 35);
    line("101003002001", "售票处", "21", "19", 12);
    data.Lines << BudgetLine(year, "101003002", "剧院", "21", "11", 8, "2050101", "0001", "12");
    return data;
}

TEST_P(DetailResultsTest, HandPickedCases)
{
    TReportHost host(GetParam());
    DBTEST_REQUIRE_READY(host.Database());
    const TBudgetData data = HandData(host.Year());
    host.CreateReportTables();
    host.LoadData(data);
    const QList<TSelectionCase> cases{
        {"1'1", "1", "11", "引号'单位", "1'1001", "0"},      // quotes in prefix and name
        {"1'1001", "1", "", "下级'单位", "1'1001", "1"},
        {"101", "1", "11", "市财政局", "101001", "0"},       // the three-character unit at level 1
        {"101001", "1", "11", "教育局", "101001", "1"},       // department: its own level first
        {"101002", "1", "11", "卫生局", "101002001", "0"},
        {"101002002", "1", "11", "二院", "101002002001", "0"}, // small branch, negative unit sum
        {"", "1", "11", "", "101", "0"},                     // everything from level 0
        {"", "1", "", "", "", "0"},                          // nobody logged in
        {"102", "1", "11", "空单位", "102", "0"},             // no rows at all
        {"101", "0", "11", "市财政局", "101001", "0"},        // another indicator type: nothing
        {"101003", "1", "11", "文化局", "101003", "0"},       // own lines: its own level first
        {"101003002", "1", "", "剧院", "101003002", "0"},
        {"101003", "1", "12", "文化局", "101003", "0"},       // no own lines of that fund nature
    };
    int rowsSeen = 0;
    for (const TSelectionCase& c : cases)
        rowsSeen += CheckSelection(host, data, c, Label(0, c));
    EXPECT_GT(rowsSeen, 20);
}

// Decimal amounts whose lines cancel: a database with decimal columns sums them to exactly
// zero, so the unit row and the level total that they make up are dropped. Added as binary
// fractions they leave a residue of about 1e-16 above zero, and the rows would show 0.00.
TBudgetData CancellingDecimalData(int year)
{
    TBudgetData data;
    data.Year = year;
    data.Funds = {"11"};
    data.Depts = {{"501", "市级", "1", 1, "否"},
                  {"501001", "民政局", "1", 2, "否"},
                  {"501001001", "救助站", "0", 2, "否"},
                  {"501001002", "福利院", "0", 2, "是"}};
    auto line = [&](const char* eid, const char* ename, const char* iid, const char* bkid, double money) {
        data.Lines << BudgetLine(year, eid, ename, bkid, "11", money, "2080201", iid);
    };
    for (double money : {0.10, 0.20, -0.30})   // the level-1 unit: nothing left, no level total
        line("501001", "民政局", "0001", "21", money);
    for (double money : {1.10, 2.20, -3.30})
        line("501001001", "救助站", "0001", "21", money);
    for (double money : {0.70, 0.10, -0.80})
        line("501001002", "福利院", "0001", "22", money);
    for (double money : {0.10, 0.20, -0.30, 12.34})   // split column sums to zero, the row stays
        line("501001002", "福利院", "0002", money > 1 ? "23" : "21", money);
    return data;
}

TEST_P(DetailResultsTest, DecimalAmountsThatCancelLeaveNoRow)
{
    TReportHost host(GetParam());
    DBTEST_REQUIRE_READY(host.Database());
    const TBudgetData data = CancellingDecimalData(host.Year());
    host.CreateReportTables();
    host.LoadData(data);
    const QList<TSelectionCase> cases{{"501001", "1", "11", "民政局", "501001", "1"},
                                      {"501", "1", "", "市级", "501001", "0"}};
    for (const TSelectionCase& c : cases) {
        const int rows = CheckSelection(host, data, c, Label(0, c));
        EXPECT_EQ(rows, 3) << "grand total, level total and the one remaining unit row, for " << c.Prefix.toStdString();
    }
}

// Codes with letters and hyphens: the report orders units, bid and iid by character code on
// every back end. On PostgreSQL the code columns get a language collation, as on a server
// initialised with a language locale, under which "501a02" would come before "501B03".
TBudgetData LetterCodeData(int year)
{
    TBudgetData data;
    data.Year = year;
    data.Funds = {"11"};
    data.Depts = {{"501", "市级", "1", 1, "否"},
                  {"501A01", "甲单位", "0", 1, "否"},
                  {"501a02", "乙单位", "0", 1, "否"},
                  {"501B03", "丙单位", "0", 1, "是"}};
    int n = 0;
    for (const TDeptLine& d : std::as_const(data.Depts))
        for (const char* iid : {"b1", "A2", "1-3", "12", "a-4"}) {
            ++n;
            data.Lines << BudgetLine(year, d.Eid, d.Ename, "21", "11", 10 + n, n % 2 ? "2080201" : "208020A", iid);
        }
    return data;
}

TEST_P(DetailResultsTest, CodesSortByCharacterCode)
{
    TReportHost host(GetParam());
    DBTEST_REQUIRE_READY(host.Database());
    const TBudgetData data = LetterCodeData(host.Year());
    host.CreateReportTables();
    host.LoadData(data);
    if (host.Database().Backend() == "postgresql") {
        IARQueryPtr found;
        ASSERT_TRUE(OpenDefQuery("select collname from pg_collation where collname in ('und-x-icu', 'en_US.utf8') "
                                 "order by collname desc",
                                 found));
        if (found->Query()->RecordCount() == 0)
            GTEST_SKIP() << "the server has no language collation";
        const QString collation = found->Query()->FieldByName("collname")->AsString();
        for (const char* column : {"eid", "bid", "iid"})
            host.Exec(QString("alter table vwbudget alter column %1 type varchar(40) collate \"%2\"")
                          .arg(column, collation));
    }
    const QList<TSelectionCase> cases{{"501", "1", "11", "市级", "501A01", "0"},
                                      {"", "1", "", "", "501A01", "0"}};
    int rowsSeen = 0;
    for (const TSelectionCase& c : cases)
        rowsSeen += CheckSelection(host, data, c, Label(0, c));
    EXPECT_GT(rowsSeen, 30);
}

// The demo city's data, taken from the demo generator's own lists (before they reach the
// database), for every unit with the host's type and no fund, and for the top-level codes
// with every type and fund nature.
TBudgetData DemoData(int year)
{
    TDemoCatalog catalog;
    QString error;
    if (!TDemoCatalog::Load(catalog, &error))
        throw Exception("demo catalog: " + error);
    TBudgetData data;
    data.Year = year;
    QHash<QString, QString> names;
    for (const TDemoUnit& u : catalog.Units) {
        data.Depts << TDeptLine{u.Eid, u.Ename, u.Leaf ? "0" : "1", u.Class, u.Special ? "是" : "否"};
        names.insert(u.Eid, u.Ename);
    }
    for (const TDemoFund& f : catalog.Funds)
        data.Funds << f.Mid;
    for (const TBudgetRow& r : DemoBudgetRows(catalog)) {
        if (!names.contains(r.Eid))
            continue;   // the view joins the unit list
        data.Lines << TBudgetLine{r.DataYear, r.Eid, names.value(r.Eid), r.Status, r.BType, r.Mid, r.Bid, r.BName,
                                  r.Iid, r.IName, r.IsSecret, r.BkId, r.IpId, double(r.Cents) / 100.0};
    }
    return data;
}

TEST_P(DetailResultsTest, DemoDatabaseMatchesTheComputation)
{
    TReportHost host(GetParam(), 2024);
    DBTEST_REQUIRE_READY(host.Database());
    QString error;
    ASSERT_TRUE(CreateDemoDatabase(host.Def(), &error)) << error.toStdString();
    const TBudgetData data = DemoData(host.Year());
    ASSERT_GT(data.Lines.size(), 1000);
    QList<TSelectionCase> cases;
    for (const TDeptLine& d : data.Depts)
        cases << TSelectionCase{d.Eid, "1", "", d.Ename, d.Eid, d.Eid.size() == 6 ? "1" : "0"};
    for (const TDeptLine& d : data.Depts) {
        if (d.Eid.size() != 3)
            continue;
        for (const char* type : {"0", "1", "2"})
            for (const QString& fund : data.Funds)
                cases << TSelectionCase{d.Eid, type, fund, d.Ename, d.Eid + "001", "1"};
    }
    int rowsSeen = 0;
    for (const TSelectionCase& c : cases) {
        rowsSeen += CheckSelection(host, data, c, Label(0, c));
        if (HasFailure())
            return;
    }
    EXPECT_GT(rowsSeen, 1000);
}

TEST_P(DetailResultsTest, DeepestLeafClassIsReadFromTheUnits)
{
    TReportHost host(GetParam());
    DBTEST_REQUIRE_READY(host.Database());
    const TBudgetData data = HandData(host.Year());
    host.CreateReportTables();
    host.LoadData(data);
    for (const char* prefix : {"", "1'1", "101", "101001", "101002", "101002002001", "9"})
        EXPECT_EQ(MaxLeafClass(prefix), DeepestLeafClass(data.Depts, prefix)) << prefix;
}

TEST_P(DetailResultsTest, FailedLevelQueryIsAnError)
{
    TReportHost host(GetParam());
    DBTEST_REQUIRE_READY(host.Database());
    // No pubdept table: the level query fails, and the report says so instead of cutting
    // itself down to one level.
    try {
        MaxLeafClass("101");
        FAIL() << "no error";
    } catch (const TExceptReport& e) {
        EXPECT_TRUE(e.Message().contains("pubdept")) << e.Message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, DetailResultsTest, ::testing::ValuesIn(dbtest::SqlBackends()),
                         [](const auto& backend) { return backend.param.toStdString(); });

} // namespace
