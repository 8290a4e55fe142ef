// The headless host on a demo budget database of each back end, in two situations a
// script must not hang or fail in: another session holding a lock on the budget rows
// (--timeout), and a unit name far longer than any row can show.
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

#include "common/untDemoDatabase.h"
#include "platform/ADODB.h"
#include "tests/TestSupport.h"
#include "tests/db/DbTestSupport.h"
#include "tests/hostcli/HostRun.h"

namespace {

using hostcli::HostRun;

struct FreeConnection {
    void operator()(TADOConnection* conn) const { conn->Free(); }
};
using ConnectionPtr = std::unique_ptr<TADOConnection, FreeConnection>;

// A demo budget database on one back end, a session of the test's own on it, and the
// host's export of one unit's report.
class BudgetDatabase {
public:
    explicit BudgetDatabase(const QString& backend) : db(backend)
    {
        if (db.Ready())
            ready = CreateDemoDatabase(db.ConnectionString(), &error);
        aside.reset(new TADOConnection(nullptr));
        aside->SetConnectionString(db.ConnectionString());
    }
    HostRun Export(const QString& file, const QStringList& more = {}) const
    {
        return hostcli::RunHost(QStringList{"--db", db.ConnectionString(), "--provider", db.Provider(), "--year", "2024",
                                            "--login", "105001", "--unit", "105001", "--export", file}
                                    + more,
                                dir.filePath("data"));
    }

    dbtest::ScratchDatabase db;
    bool ready = false;
    QString error;
    ConnectionPtr aside;   // a session of its own, beside the host's
    QTemporaryDir dir;
};

#define REQUIRE_DEMO(b)                                          \
    do {                                                         \
        DBTEST_REQUIRE_READY((b).db);                            \
        ASSERT_TRUE((b).ready) << (b).error.toStdString();       \
    } while (false)

class HostOnALockedDatabase : public ::testing::TestWithParam<QString> {};

} // namespace

// The lock is real: a second session holds busibudget (PostgreSQL) or the whole file
// (SQLite) in an open transaction while the host runs.
TEST_P(HostOnALockedDatabase, EndsAfterTheTimeoutNamingWhatWasWaitedFor)
{
    BudgetDatabase b(GetParam());
    REQUIRE_DEMO(b);
    TADOConnection* aside = b.aside.get();
    if (GetParam() == QStringLiteral("postgresql")) {
        aside->Execute(QStringLiteral("begin"));
        aside->Execute(QStringLiteral("lock table busibudget in access exclusive mode"));
    } else {
        aside->Execute(QStringLiteral("begin exclusive"));
    }
    const QString file = b.dir.filePath("locked.xls");
    const HostRun run = b.Export(file, {"--timeout", "2"});
    aside->Execute(QStringLiteral("rollback"));

    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("等待了2秒仍未完成（锁或语句超时）"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(aside->DisplayName())) << "the database waited for: " << run.err.toStdString();
    EXPECT_FALSE(run.out.contains(QStringLiteral("数据导出成功。")));
    EXPECT_FALSE(QFileInfo::exists(file));
    // Once the lock has gone the same run works.
    const HostRun again = b.Export(file, {"--timeout", "2"});
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(file));
}

// A unit name of 40,000 characters wraps to a title row some 72,000 pixels high: the row
// is capped and the report exported, instead of failing on the row height.
INSTANTIATE_TEST_SUITE_P(Backends, HostOnALockedDatabase, ::testing::ValuesIn(testsupport::Backends()),
                         dbtest::BackendName);

// A unit name of 40,000 characters wraps to a title row some 72,000 pixels high: the row
// is capped and the report exported, instead of failing on the row height. (SQLite keeps
// a name of any length; the demo schema of PostgreSQL allows 100 characters.)
TEST(HostOnABudgetDatabase, AUnitNameLongerThanAnyRowStillExports)
{
    BudgetDatabase b(QStringLiteral("sqlite"));
    REQUIRE_DEMO(b);
    b.aside->Execute(QStringLiteral("update pubdept set ename = '%1' where eid = '105001'").arg(QString(40000, QChar(0x8D22))));
    const QString file = b.dir.filePath("long.xls");
    const HostRun run = b.Export(file);
    EXPECT_EQ(run.status, 0) << run.err.left(2000).toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("数据导出成功。"))) << run.out.left(2000).toStdString();
    EXPECT_GT(QFileInfo(file).size(), 2048);
}
