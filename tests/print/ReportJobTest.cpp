// The report built on a worker thread: the same sheet as on the user-interface thread, and a
// cancel at any point (before the first statement, inside a statement that would never end,
// between two rows) that hands over no sheet and leaves the database usable for the next
// report, on SQLite and PostgreSQL.
#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

#include "common/untDataBase.h"
#include "plugin/untDefConnection.h"
#include "print/untReportFill.h"
#include "print/untReportJob.h"
#include "sheet/Sheet.h"
#include "tests/TestSupport.h"
#include "tests/print/ReportCompare.h"
#include "tests/print/ReportFixture.h"

using namespace reportref;
using namespace reporttest;

namespace {

constexpr std::uint32_t Seed = 77;

// A generated data set loaded into the host, and its first case.
TSelectionCase LoadRandomCase(TReportHost& host)
{
    const TBudgetData data = RandomBudgetData(Seed, host.Year());
    host.CreateReportTables();
    host.LoadData(data);
    return RandomSelections(data, Seed, 1).value(0);
}

// The case's selection as the window hands it to a job: with its titles and templates.
TReportSelection Selection(const TReportHost& host, const TSelectionCase& c)
{
    TReportSelection s = CaseSelection(host, c);
    s.BTypeText = "预算数";
    s.TemplateFolder = testsupport::SourceDir() + "/data/templates/";
    BuildTitles(s);
    return s;
}

// Stops the job it watches when the given row is about to be written.
class TCancelAtRow : public TReportProgress {
public:
    TCancelAtRow(TReportJob& job, int row) : FJob(job), FRow(row) {}
    void Start(int) override {}
    void Step() override
    {
        if (++FSteps == FRow)
            FJob.Cancel();
    }
    void Finish() override {}

private:
    TReportJob& FJob;
    const int FRow;
    int FSteps = 0;
};

// vwbudget as a view whose every statement runs until it is stopped.
void MakeStatementsEndless(TReportHost& host)
{
    const bool pg = host.Database().Backend() == "postgresql";
    host.Exec("alter table vwbudget rename to budgetrows");
    host.Exec(pg ? "create view vwbudget as select b.* from budgetrows b, (select count(*) from pg_sleep(100000)) x"
                 : "create view vwbudget as select b.* from budgetrows b, (with recursive r(n) as "
                   "(select 1 union all select n+1 from r) select count(*) from r) x");
}

void MakeStatementsEnd(TReportHost& host)
{
    host.Exec("drop view vwbudget");
    host.Exec("alter table budgetrows rename to vwbudget");
}

// True once the report statement runs on the server (PostgreSQL shows it); on SQLite the
// job's own phase, with a moment for the statement to begin.
bool StatementRuns(TReportHost& host, const TReportJob& job)
{
    if (job.Phase() != TReportJob::TPhase::Querying)
        return false;
    if (host.Database().Backend() != "postgresql") {
        QThread::msleep(200);
        return true;
    }
    IARQueryPtr q;
    return OpenDefQuery("select count(*) as n from pg_stat_activity where state='active' and "
                        "pid<>pg_backend_pid() and query like '%from vwbudget%'",
                        q) &&
           q->Query()->FieldByName("n")->AsFloat() > 0;
}

enum class CancelAt { Never, BeforeStart, InStatement, AtRow };

class ReportJobTest : public ::testing::TestWithParam<QString> {};

TEST_P(ReportJobTest, CancelHandsOverNoSheetAndTheNextReportIsWhole)
{
    TReportHost host(GetParam());
    DBTEST_REQUIRE_READY(host.Database());
    const TSelectionCase c = LoadRandomCase(host);
    host.SetLogin(c.LoginCode, c.DeptMode);
    const TReportSelection s = Selection(host, c);
    const sheet::Sheet expected = BuildReportSheet(s, c.Fund, false);
    ASSERT_GT(expected.rowCount(), 10);

    for (const CancelAt at : {CancelAt::BeforeStart, CancelAt::InStatement, CancelAt::AtRow, CancelAt::Never}) {
        SCOPED_TRACE(int(at));
        if (at == CancelAt::InStatement)
            MakeStatementsEndless(host);
        TReportJob job(s, c.Fund, false);
        TCancelAtRow cancelAtRow(job, 3);
        if (at == CancelAt::AtRow)
            job.SetWorkerProgress(&cancelAtRow);
        if (at == CancelAt::BeforeStart)
            job.Cancel();
        job.Start();
        if (at == CancelAt::InStatement) {
            while (!StatementRuns(host, job))
                QThread::msleep(20);
            job.Cancel();
        }
        job.Wait();
        QCoreApplication::processEvents();
        if (at == CancelAt::InStatement)
            MakeStatementsEnd(host);   // through the user-interface thread's connection

        if (at == CancelAt::Never) {
            ASSERT_EQ(job.Phase(), TReportJob::TPhase::Done) << job.ErrorText().toStdString();
            std::optional<sheet::Sheet> sheet = job.TakeSheet();
            ASSERT_TRUE(sheet.has_value());
            EXPECT_EQ(SheetDifference(expected, *sheet), QString());
            EXPECT_EQ(job.RowsWritten(), job.RowCount());
            EXPECT_FALSE(job.TakeSheet().has_value());   // handed over once
        } else {
            EXPECT_EQ(job.Phase(), TReportJob::TPhase::Cancelled) << job.ErrorText().toStdString();
            EXPECT_FALSE(job.TakeSheet().has_value());
            EXPECT_EQ(job.RowsWritten(), at == CancelAt::AtRow ? 3 : 0);
        }
    }
}

TEST_P(ReportJobTest, FailureIsSaidAndHandsOverNoSheet)
{
    TReportHost host(GetParam());
    DBTEST_REQUIRE_READY(host.Database());
    const TSelectionCase c = LoadRandomCase(host);
    host.Exec("drop table vwbudget");
    TReportJob job(Selection(host, c), c.Fund, true);
    job.Start();
    job.Wait();
    EXPECT_EQ(job.Phase(), TReportJob::TPhase::Failed);
    EXPECT_TRUE(job.ErrorText().contains("vwbudget")) << job.ErrorText().toStdString();
    EXPECT_FALSE(job.TakeSheet().has_value());
}

INSTANTIATE_TEST_SUITE_P(Backends, ReportJobTest, ::testing::ValuesIn(dbtest::SqlBackends()),
                         [](const auto& backend) { return backend.param.toStdString(); });

} // namespace
