// The single-scan report statement against the level blocks, executed on SQLite and
// PostgreSQL: row for row the same order and exactly the same values, over many random data
// sets (levels, three-character codes, negative and cancelling lines, amounts in cents that
// cancel only as decimals) and selections (empty and "001" prefixes, units with lines of
// their own, small branches, no fund nature), in plain tables and in the budget database's
// own schema.
#include "print/untDetailSql.h"
#include "tests/print/ReportCompare.h"
#include "tests/print/ReportFixture.h"

#include <gtest/gtest.h>
#include <random>

#include "common/untDataBase.h"
#include "plugin/untDefConnection.h"

using namespace reportref;
using namespace reporttest;

namespace {

// Amounts in cents, and on some lines a group of three that cancels exactly as decimals
// (0.10 + 0.20 - 0.30) but not as binary fractions.
TBudgetData WithCents(TBudgetData data, std::uint32_t seed)
{
    std::mt19937 rnd(seed);
    QList<TBudgetLine> cancelling;
    for (TBudgetLine& line : data.Lines) {
        line.Money = (int(rnd() % 200001) - 20000) / 100.0;
        if (rnd() % 6 == 0)
            for (double money : {0.10, 0.20, -0.30}) {
                TBudgetLine extra = line;
                extra.Money = money;
                cancelling << extra;
            }
    }
    data.Lines << cancelling;
    return data;
}

// Selections drawn from the data, and the ones whose level range is special: every unit
// reported from the empty prefix, with and without a fund nature, and each root with no fund.
QList<TSelectionCase> Selections(const TBudgetData& data, std::uint32_t seed)
{
    QList<TSelectionCase> cases = RandomSelections(data, seed * 7919u, 10);
    cases << TSelectionCase{"", "1", "", "", "", "0"} << TSelectionCase{"", "1", "11", "", "", "0"};
    for (const TDeptLine& d : data.Depts)
        if (d.Eid.size() == 3)
            cases << TSelectionCase{d.Eid, "1", "", d.Ename, d.Eid + "001", "0"};
    return cases;
}

QString Label(std::uint32_t seed, const TSelectionCase& c)
{
    return QString("seed %1, prefix '%2', type %3, fund '%4', login %5 mode %6")
        .arg(seed)
        .arg(c.Prefix, c.BType, c.Fund, c.LoginCode, c.DeptMode);
}

struct TSeen {
    int Rows = 0;
    int Small = 0;
};

// Both statements for every selection of the loaded data set; false after the first difference.
bool SameForEverySelection(TReportHost& host, const TBudgetData& data, std::uint32_t seed, TSeen& seen)
{
    const TSqlDialect dialect = host.Def()->Dialect();
    for (const TSelectionCase& c : Selections(data, seed)) {
        host.SetLogin(c.LoginCode, c.DeptMode);
        const TReportSelection s = CaseSelection(host, c);
        const TDetailSqlInputs in = DetailSqlInputs(s);
        seen.Small += in.Small ? 1 : 0;
        QString error;
        const QList<TReportLine> blocks = RunDetailQuery(BuildLevelBlockSql(dialect, in), &error);
        const QList<TReportLine> single = error.isEmpty() ? RunDetailQuery(BuildSingleScanSql(dialect, in), &error)
                                                          : QList<TReportLine>();
        const QString difference = error.isEmpty() ? CompareExactly(single, blocks) : error;
        if (!difference.isEmpty()) {
            ADD_FAILURE() << Label(seed, c).toStdString() << "\n" << difference.toStdString();
            return false;
        }
        seen.Rows += int(blocks.size());
    }
    return true;
}

class SingleScanTest : public ::testing::TestWithParam<QString> {};

TEST_P(SingleScanTest, SameRowsAsTheLevelBlocks)
{
    const std::uint32_t seeds = GetParam() == "sqlite" ? 48 : 16;
    TSeen seen;
    // The report's columns in plain tables, then the budget database's own tables and view.
    for (const bool budgetSchema : {false, true}) {
        TReportHost host(GetParam());
        DBTEST_REQUIRE_READY(host.Database());
        ASSERT_TRUE(HasSingleScanForm(host.Def()->Dialect()));
        for (std::uint32_t seed = budgetSchema ? 1 : 2; seed <= seeds; seed += 2) {
            TBudgetData data = RandomBudgetData(seed + 1000, host.Year());
            if (seed % 4 < 2)
                data = WithCents(data, seed);
            if (budgetSchema) {
                host.LoadBudgetSchema(data);
            } else {
                host.CreateReportTables();
                host.LoadData(data);
            }
            if (!SameForEverySelection(host, data, seed, seen))
                return;
        }
    }
    EXPECT_GT(seen.Rows, int(seeds) * 50) << "the data sets should give reports with rows";
    EXPECT_GT(seen.Small, 0) << "some selections should be small branches";
}

INSTANTIATE_TEST_SUITE_P(Backends, SingleScanTest, ::testing::ValuesIn(dbtest::SqlBackends()),
                         [](const auto& backend) { return backend.param.toStdString(); });

} // namespace
