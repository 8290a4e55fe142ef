// The disk filling during an export: the headless host writes the workbook under a
// file-size limit (RLIMIT_FSIZE, with SIGXFSZ ignored so that a write fails with EFBIG
// instead of killing the process), as a full disk would stop it half-way. The run must
// fail with the file named and the system's reason (as "写入文件“…”失败：<reason>", the
// same for both writers, not a library's own code), leave the earlier workbook byte for byte, and leave no
// staging file behind.
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cerrno>
#include <cstring>

#include "common/untDemoDatabase.h"
#include "tests/TestSupport.h"
#include "tests/support/DbTestSupport.h"
#include "tests/faults/FaultFixture.h"
#include "tests/support/HostRun.h"

namespace faulttest {
namespace {

using testsupport::HostRun;

class DiskFullTest : public ::testing::TestWithParam<QString> {};

TEST_P(DiskFullTest, ExportStoppedByAFullDiskKeepsTheEarlierFile)
{
    dbtest::ScratchDatabase db(GetParam());
    DBTEST_REQUIRE_READY(db);
    QString error;
    ASSERT_TRUE(CreateDemoDatabase(db.ConnectionString(), &error)) << error.toStdString();
    QTemporaryDir out, home;
    for (const QString extension : {".xls", ".xlsx"}) {
        SCOPED_TRACE(extension.toStdString());
        const QString file = out.filePath("report" + extension);
        const QStringList args{"--db", db.ConnectionString(), "--provider", db.Provider(), "--year", "2024",
                               "--login", "113001", "--dept-mode", "0", "--export", file};
        const HostRun first = testsupport::RunHost(args, home.path());
        ASSERT_EQ(first.status, 0) << first.err.toStdString();
        ASSERT_TRUE(first.out.contains("数据导出成功。"));
        const QByteArray earlier = FileBytes(file);
        ASSERT_GT(earlier.size(), 2048);

        const HostRun full = testsupport::RunHost(args, home.path(), rlim_t(earlier.size() / 2));
        EXPECT_NE(full.status, 0);
        const QString reason = QStringLiteral("写入文件“%1”失败：%2").arg(file, QString::fromLocal8Bit(std::strerror(EFBIG)));
        EXPECT_TRUE(full.err.contains(reason)) << full.err.toStdString();
        EXPECT_FALSE(full.out.contains("数据导出成功。")) << full.out.toStdString();
        EXPECT_EQ(FileBytes(file), earlier);
        EXPECT_TRUE(StagingLeftovers(out.path()).isEmpty()) << StagingLeftovers(out.path()).join(' ').toStdString();
        EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), extension == ".xls" ? 1 : 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, DiskFullTest, ::testing::ValuesIn(testsupport::Backends()), dbtest::BackendName);

} // namespace
} // namespace faulttest
