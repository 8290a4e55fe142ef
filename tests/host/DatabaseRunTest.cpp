// The headless host on a demo budget database of each back end while another session holds
// a lock on the budget rows: with --timeout the run ends, naming what it waited for, instead
// of waiting without a word until it is killed.
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "common/untDemoDatabase.h"
#include "platform/ADODB.h"
#include "tests/TestSupport.h"
#include "tests/support/DbTestSupport.h"
#include "tests/support/HostRun.h"

namespace {

using testsupport::HostRun;

class HostOnALockedDatabase : public ::testing::TestWithParam<QString> {};

} // namespace

// The lock is real: a second session holds busibudget (PostgreSQL) or the whole file
// (SQLite) in an open transaction while the host runs.
TEST_P(HostOnALockedDatabase, EndsAfterTheTimeoutNamingWhatWasWaitedFor)
{
    dbtest::ScratchDatabase db(GetParam());
    DBTEST_REQUIRE_READY(db);
    QString error;
    ASSERT_TRUE(CreateDemoDatabase(db.ConnectionString(), &error)) << error.toStdString();
    QTemporaryDir dir;
    const QString file = dir.filePath("locked.xls");
    const auto exportReport = [&] {
        return testsupport::RunHost({"--db", db.ConnectionString(), "--provider", db.Provider(), "--year", "2024", "--login",
                                 "105001", "--timeout", "2", "--export", file},
                                dir.filePath("data"));
    };
    auto* aside = new TADOConnection(nullptr);   // a session beside the host's
    aside->SetConnectionString(db.ConnectionString());
    if (GetParam() == QStringLiteral("postgresql")) {
        aside->Execute(QStringLiteral("begin"));
        aside->Execute(QStringLiteral("lock table busibudget in access exclusive mode"));
    } else {
        aside->Execute(QStringLiteral("begin exclusive"));
    }
    const HostRun run = exportReport();
    aside->Execute(QStringLiteral("rollback"));
    const QString name = aside->DisplayName();
    aside->Free();

    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("等待了2秒仍未完成（锁或语句超时）"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(name)) << "the database waited for: " << run.err.toStdString();
    EXPECT_FALSE(run.out.contains(QStringLiteral("数据导出成功。")));
    EXPECT_FALSE(QFileInfo::exists(file));
    // Once the lock has gone the same run works.
    const HostRun again = exportReport();
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(file));
}

INSTANTIATE_TEST_SUITE_P(Backends, HostOnALockedDatabase, ::testing::ValuesIn(testsupport::Backends()),
                         dbtest::BackendName);
