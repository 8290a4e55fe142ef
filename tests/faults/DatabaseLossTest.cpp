// The database going away under the print window: the PostgreSQL backend terminated
// between two reports and in the middle of one, the SQLite file overwritten or emptied.
// Each ends in one message naming the connection, no false success, the earlier export
// byte for byte as it was, and a window that works again once the database is back.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "common/untDataBase.h"
#include "common/PlugInGlobals.h"
#include "plugin/untDefConnection.h"
#include "print/CELL50Lib_TLB.h"
#include "print/bwnTallyleaf.h"
#include "tests/TestSupport.h"
#include "tests/support/DbTestSupport.h"
#include "tests/faults/FaultFixture.h"

namespace faulttest {
namespace {

const QString ReportTitle = QStringLiteral("市财政局本级2024年国库集中支付改革一般预算资金指标表");

class DatabaseLossTest : public WindowFixture {
protected:
    // Shows the window and exports its first report to `Previous`.
    void ShowAndExport()
    {
        const Seen shown = Run([this] { ShowWindow(); });
        ASSERT_TRUE(shown.All().isEmpty()) << shown.All().toStdString();
        ASSERT_EQ(FForm->cllBudget->Sheet().text(2, 1), ReportTitle);
        Previous = FDir.filePath("report.xls");
        const Seen exported = ExportTo(Previous);
        ASSERT_TRUE(exported.Succeeded()) << exported.All().toStdString();
        PreviousBytes = FileBytes(Previous);
        ASSERT_FALSE(PreviousBytes.isEmpty());
    }

    // With the database gone: a report and an export each end in one message naming the
    // connection, and neither touches the earlier file.
    void ExpectCleanFailures(const QString& connectionName)
    {
        const Seen report = Run([this] { FForm->cobMidChange(FForm->cobMid); });
        ASSERT_EQ(report.errors.size(), 1) << report.All().toStdString();
        EXPECT_TRUE(report.errors[0].contains("数据库连接")) << report.errors[0].toStdString();
        EXPECT_TRUE(report.errors[0].contains(connectionName)) << report.errors[0].toStdString();
        EXPECT_TRUE(report.boxes.isEmpty());

        const Seen exported = ExportTo(Previous);
        EXPECT_FALSE(exported.Succeeded()) << exported.All().toStdString();
        ASSERT_EQ(exported.errors.size(), 1) << exported.All().toStdString();
        EXPECT_TRUE(exported.errors[0].contains(connectionName)) << exported.errors[0].toStdString();
        EXPECT_EQ(FileBytes(Previous), PreviousBytes);
        EXPECT_TRUE(StagingLeftovers(FDir.path()).isEmpty());
    }

    // With the database back: the next report and export work in the same window.
    void ExpectRecovered()
    {
        const Seen report = Run([this] { FForm->cobMidChange(FForm->cobMid); });
        EXPECT_TRUE(report.All().isEmpty()) << report.All().toStdString();
        EXPECT_EQ(FForm->cllBudget->Sheet().text(2, 1), ReportTitle);
        EXPECT_GT(FForm->cllBudget->Sheet().rowCount(), 7);
        const QString again = FDir.filePath("again.xls");
        const Seen exported = ExportTo(again);
        EXPECT_TRUE(exported.Succeeded()) << exported.All().toStdString();
        EXPECT_EQ(CellText(ReadWorkbook(again), 0, 1), ReportTitle);
    }

    // Terminates every other session on the scratch database, waiting until they are gone.
    int TerminateOtherSessions()
    {
        return CountAside("select count(*) from (select pg_terminate_backend(pid, 5000) from pg_stat_activity "
                          "where datname=current_database() and pid<>pg_backend_pid()) t");
    }

    QString ConnectionName() const { return HidePassword(Host()->Database().ConnectionString()); }

    QString Previous;
    QByteArray PreviousBytes;
};

class PostgresLossTest : public DatabaseLossTest {};
class SqliteLossTest : public DatabaseLossTest {};

TEST_P(PostgresLossTest, BackendTerminatedBetweenTwoReports)
{
    ShowAndExport();
    ASSERT_GE(TerminateOtherSessions(), 1);
    // The first use after the loss fails; the window reconnects on the next report.
    const Seen report = Run([this] { FForm->cobMidChange(FForm->cobMid); });
    ASSERT_EQ(report.errors.size(), 1) << report.All().toStdString();
    EXPECT_TRUE(report.errors[0].contains(ConnectionName())) << report.errors[0].toStdString();
    ExpectRecovered();

    // Terminated again right before an export: the export fails cleanly, then works.
    ASSERT_GE(TerminateOtherSessions(), 1);
    const Seen exported = ExportTo(Previous);
    EXPECT_FALSE(exported.Succeeded());
    ASSERT_EQ(exported.errors.size(), 1) << exported.All().toStdString();
    EXPECT_TRUE(exported.errors[0].contains(ConnectionName())) << exported.errors[0].toStdString();
    EXPECT_EQ(FileBytes(Previous), PreviousBytes);
    EXPECT_TRUE(StagingLeftovers(FDir.path()).isEmpty());
    ExpectRecovered();
}

// The detail statement reads the view; a gate in the view ends the session that runs it
// while the flag is set, so the loss comes after the report's first queries succeeded.
TEST_P(PostgresLossTest, BackendTerminatedInTheMiddleOfAReport)
{
    ExecAside("create table fault_gate (armed integer not null)");
    ExecAside("insert into fault_gate values (0)");
    ExecAside("create function fault_pass() returns boolean language plpgsql volatile as $$ "
              "begin if exists (select 1 from fault_gate where armed=1) then "
              "perform pg_terminate_backend(pg_backend_pid()); perform pg_sleep(5); end if; return true; end $$");
    ExecAside("create or replace view vwbudget as "
              "select b.datayear, b.eid, d.ename, b.status, b.BType, b.mid, b.bid, b.bname, "
              "b.iid, b.iname, b.issecret, b.bkid, b.ipid, b.BudgMoney "
              "from busibudget b join pubdept d on d.eid = b.eid where fault_pass()");
    ShowAndExport();
    ExecAside("update fault_gate set armed=1");
    ExpectCleanFailures(ConnectionName());
    ExecAside("update fault_gate set armed=0");
    ExpectRecovered();
}

// The database file changed under the open connection (same file, other content), and
// put back afterwards.
struct FileDamage {
    const char* name;
    std::function<void(QFile& file)> damage;
};

TEST_P(SqliteLossTest, DatabaseFileDamagedBetweenTwoReports)
{
    ShowAndExport();
    const QString path = Host()->Database().ConnectionString().mid(QStringLiteral("sqlite:").size());
    ASSERT_TRUE(QFileInfo(path).isFile()) << path.toStdString();
    const QByteArray original = FileBytes(path);
    const QList<FileDamage> damages{
        {"overwritten", [](QFile& f) { f.write(QByteArray(4096, 'x')); }},
        {"emptied", [](QFile& f) { f.resize(0); }},
    };
    for (const FileDamage& d : damages) {
        SCOPED_TRACE(d.name);
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));   // the same file: the open connection sees it
            d.damage(file);
        }
        ExpectCleanFailures(path);
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.resize(0);
            file.write(original);
        }
        ExpectRecovered();
    }
}

// The file removed, then another file put at its name. Every report reads through a
// connection of its own, which finds no database there: the report and the export each say
// so, naming the file; no empty database is made at the name, and the earlier export stays
// as it was. With the file back, the window works again.
TEST_P(SqliteLossTest, DatabaseFileRemovedOrReplacedWhileOpen)
{
    GetDefConnection()->SetCreateMissingFile(false);   // as the host opens its database
    ShowAndExport();
    const QString path = Host()->Database().ConnectionString().mid(QStringLiteral("sqlite:").size());
    const QByteArray original = FileBytes(path);
    const QList<FileDamage> changes{
        {"removed", [](QFile& f) { ASSERT_TRUE(f.remove()); }},
        {"replaced", [](QFile& f) {
             ASSERT_TRUE(f.remove());
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));   // a new file at the name
             f.write(QByteArray(4096, 'x'));
         }},
    };
    for (const FileDamage& c : changes) {
        SCOPED_TRACE(c.name);
        QFile file(path);
        c.damage(file);
        file.close();
        const bool removed = !QFileInfo::exists(path);
        ExpectCleanFailures(path);
        EXPECT_EQ(QFileInfo::exists(path), !removed);
        QFile back(path);
        ASSERT_TRUE(back.open(QIODevice::WriteOnly | QIODevice::Truncate));
        back.write(original);
        back.close();
        ExpectRecovered();
    }
}

QStringList Only(const QString& backend)
{
    return testsupport::Backends().contains(backend) ? QStringList{backend} : QStringList{};
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(PostgresLossTest);
INSTANTIATE_TEST_SUITE_P(Backends, PostgresLossTest, ::testing::ValuesIn(Only("postgresql")), dbtest::BackendName);
INSTANTIATE_TEST_SUITE_P(Backends, SqliteLossTest, ::testing::ValuesIn(Only("sqlite")), dbtest::BackendName);

} // namespace
} // namespace faulttest
