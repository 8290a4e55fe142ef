// The independent report computation against a small data set worked out by hand: the oracle
// of the database tests must itself be right.
#include "tests/print/reference/ReportReference.h"

#include <gtest/gtest.h>

using namespace reportref;

namespace {

TBudgetLine Line(const char* eid, const char* ename, const char* bid, const char* iid, const char* bkid,
                 const char* ipid, double money, const char* secret = "1")
{
    TBudgetLine l;
    l.DataYear = 2026;
    l.Eid = eid;
    l.Ename = ename;
    l.Status = "1";
    l.BType = "1";
    l.Mid = "11";
    l.Bid = bid;
    l.Bname = QString("功能") + bid;
    l.Iid = iid;
    l.Iname = QString("指标") + iid;
    l.IsSecret = secret;
    l.Bkid = bkid;
    l.Ipid = ipid;
    l.Money = money;
    return l;
}

QList<TDeptLine> Depts()
{
    return {{"101", "市财政局", "0", 0, "否"},
            {"101001", "教育局", "1", 1, "是"},
            {"101002", "卫生局", "0", 1, "否"},
            {"101002001", "一院", "1", 2, "否"},
            {"101002002", "二院", "1", 2, "是"}};
}

QList<TBudgetLine> Lines()
{
    QList<TBudgetLine> lines{
        Line("101001", "教育局", "2050101", "A1", "21", "11", 100),
        Line("101001", "教育局", "2050101", "A1", "22", "18", 50),
        Line("101002001", "一院", "2080202", "B1", "21", "19", 30),
        Line("101002001", "一院", "2080202", "B1", "21", "22", -30),
        Line("101002002", "二院", "2080202", "B2", "23", "11", 40),
        Line("101", "市财政局", "2010101", "C1", "21", "12", 20, "0"),
    };
    TBudgetLine other = Line("101002002", "二院", "2080202", "B2", "21", "11", 999);
    other.Status = "0";
    lines << other;
    other = Line("101002002", "二院", "2080202", "B2", "21", "11", 999);
    other.DataYear = 2025;
    lines << other;
    other = Line("101002002", "二院", "2080202", "B2", "21", "11", 999);
    other.BType = "0";
    lines << other;
    other = Line("101002002", "二院", "2080202", "B2", "22", "12", 7);
    other.Mid = "12";
    lines << other;
    return lines;
}

struct Expected {
    int orderId;
    const char* eid;
    const char* ename;
    const char* bid;
    double summ;
    std::array<double, 6> split;
};

void ExpectRows(const QList<TReportLine>& actual, const std::vector<Expected>& expected)
{
    ASSERT_EQ(actual.size(), qsizetype(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        const TReportLine& a = actual[qsizetype(i)];
        const Expected& e = expected[i];
        EXPECT_EQ(a.OrderId, e.orderId) << i;
        EXPECT_EQ(a.Eid, QString::fromUtf8(e.eid)) << i;
        EXPECT_EQ(a.Ename, QString::fromUtf8(e.ename)) << i;
        EXPECT_EQ(a.Bid, QString::fromUtf8(e.bid)) << i;
        EXPECT_DOUBLE_EQ(a.Summ, e.summ) << i;
        for (size_t k = 0; k < 6; ++k)
            EXPECT_DOUBLE_EQ(a.Split[k], e.split[k]) << i << " split " << k;
    }
}

TEST(ReportReference, ThreeCharacterPrefixWithFund)
{
    const auto rows = ExpectedReport(Lines(), Depts(), {2026, "101", "1", "11", "市", false});
    ExpectRows(rows, {{0, "", "市合计", "", 210, {100, 20, 0, 0, 50, 0}},
                      {1, "", "市本级合计", "", 170, {100, 20, 0, 0, 50, 0}},
                      {1, "101001", "市财政局", "2010101", 20, {0, 20, 0, 0, 0, 0}},
                      {1, "101001", "教育局", "2050101", 150, {100, 0, 0, 0, 50, 0}},
                      {2, "", "二级单位合计", "", 40, {0, 0, 0, 0, 0, 0}},
                      {2, "101002002", "二院", "2080202", 40, {0, 0, 0, 0, 0, 0}}});
    EXPECT_EQ(rows[2].IsSecret, "是");
    EXPECT_EQ(rows[3].IsSecret, "否");
    EXPECT_EQ(rows[2].Lei + "|" + rows[2].Kuan + "|" + rows[2].Xiang, "201|01|01");
}

TEST(ReportReference, NoFundSumsEveryFundNature)
{
    const auto rows = ExpectedReport(Lines(), Depts(), {2026, "101", "1", "", "市", false});
    ASSERT_EQ(rows.size(), 6);
    EXPECT_DOUBLE_EQ(rows[0].Summ, 217);
    EXPECT_DOUBLE_EQ(rows[4].Summ, 47);
    EXPECT_DOUBLE_EQ(rows[5].Summ, 47);
    EXPECT_DOUBLE_EQ(rows[5].Split[4], 7);
}

TEST(ReportReference, SmallBranchStartsAtItsLevel)
{
    const auto rows = ExpectedReport(Lines(), Depts(), {2026, "101002", "1", "11", "卫生局", true});
    ExpectRows(rows, {{2, "", "二级单位合计", "", 40, {0, 0, 0, 0, 0, 0}},
                      {2, "101002002", "二院", "2080202", 40, {0, 0, 0, 0, 0, 0}}});
}

// A unit chosen by a code not ending in "001" whose own lines would otherwise be counted
// in the grand total and shown in no block: the levels start at its own level.
TEST(ReportReference, OwnLinesOfAUnitOutsideTheDepartmentCodesGetTheirLevel)
{
    QList<TBudgetLine> lines = Lines();
    lines << Line("101002", "卫生局", "2080101", "D1", "21", "11", 25);
    ExpectRows(ExpectedReport(lines, Depts(), {2026, "101002", "1", "11", "卫生局", false}),
               {{0, "", "卫生局合计", "", 65, {25, 0, 0, 0, 0, 0}},
                {1, "", "卫生局本级合计", "", 25, {25, 0, 0, 0, 0, 0}},
                {1, "101002", "卫生局", "2080101", 25, {25, 0, 0, 0, 0, 0}},
                {2, "", "二级单位合计", "", 40, {0, 0, 0, 0, 0, 0}},
                {2, "101002002", "二院", "2080202", 40, {0, 0, 0, 0, 0, 0}}});
    // Nine characters: the second level takes the unit; the third stays in the range.
    ExpectRows(ExpectedReport(Lines(), Depts(), {2026, "101002002", "1", "11", "二院", false}),
               {{0, "", "二院合计", "", 40, {0, 0, 0, 0, 0, 0}},
                {2, "", "二级单位合计", "", 40, {0, 0, 0, 0, 0, 0}},
                {2, "101002002", "二院", "2080202", 40, {0, 0, 0, 0, 0, 0}}});
    // Without lines of its own the unit's levels start below it, as before.
    ExpectRows(ExpectedReport(Lines(), Depts(), {2026, "101002", "1", "11", "卫生局", false}),
               {{0, "", "卫生局合计", "", 40, {0, 0, 0, 0, 0, 0}},
                {2, "", "二级单位合计", "", 40, {0, 0, 0, 0, 0, 0}},
                {2, "101002002", "二院", "2080202", 40, {0, 0, 0, 0, 0, 0}}});
}

TEST(ReportReference, EmptyPrefixStartsAtLevelZero)
{
    const auto rows = ExpectedReport(Lines(), Depts(), {2026, "", "1", "11", "", false});
    ExpectRows(rows, {{0, "", "合计", "", 210, {100, 20, 0, 0, 50, 0}},
                      {0, "", "级单位合计", "", 20, {0, 20, 0, 0, 0, 0}},
                      {0, "101001", "市财政局", "2010101", 20, {0, 20, 0, 0, 0, 0}},
                      {1, "", "本级合计", "", 150, {100, 0, 0, 0, 50, 0}},
                      {1, "101001", "教育局", "2050101", 150, {100, 0, 0, 0, 50, 0}},
                      {2, "", "二级单位合计", "", 40, {0, 0, 0, 0, 0, 0}},
                      {2, "101002002", "二院", "2080202", 40, {0, 0, 0, 0, 0, 0}}});
}

TEST(ReportReference, LoginTestsAndMarks)
{
    EXPECT_EQ(DeepestLeafClass(Depts(), "101"), 2);
    EXPECT_EQ(DeepestLeafClass(Depts(), "101001"), 1);
    EXPECT_EQ(DeepestLeafClass(Depts(), "9"), 0);
    EXPECT_FALSE(SmallBranch(Depts(), "101002", "0"));          // parent "101" covers five units
    EXPECT_FALSE(SmallBranch(Depts(), "101002001", "0"));         // "101002" covers three
    EXPECT_FALSE(SmallBranch(Depts(), "101001", "1"));           // a department is never small
    EXPECT_TRUE(SmallBranch({{"201", "x", "0", 0, ""}, {"201001", "y", "1", 1, ""}}, "201001", "0"));
    EXPECT_FALSE(SmallBranch({{"201", "x", "0", 0, ""}, {"201001", "y", "1", 1, ""}}, "", "0"));   // nobody logged in
    EXPECT_TRUE(MarkedSpecial(Depts(), "101001"));
    EXPECT_FALSE(MarkedSpecial(Depts(), "101002"));
    EXPECT_FALSE(MarkedSpecial(Depts(), "999"));
}

} // namespace
