// The disk filling during an export: the headless host writes the workbook under a
// file-size limit (RLIMIT_FSIZE, with SIGXFSZ ignored so that a write fails with EFBIG
// instead of killing the process), as a full disk would stop it half-way. The run must
// fail with the file named and the system's reason (as "写入文件“…”失败：<reason>", the
// same for both writers, not a library's own code), leave the earlier workbook byte for byte, and leave no
// staging file behind.
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

#include "common/untDemoDatabase.h"
#include "tests/TestSupport.h"
#include "tests/db/DbTestSupport.h"
#include "tests/faults/FaultFixture.h"

namespace faulttest {
namespace {

struct HostRun {
    int status = -1;
    QString out;
    QString err;
};

// Runs the headless host; `fileSizeLimit` > 0 caps the size of every file it writes.
HostRun RunHost(const QStringList& args, rlim_t fileSizeLimit)
{
    QProcess host;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_DATA_HOME", QDir::tempPath() + "/tallyleaf-faults-data");
    host.setProcessEnvironment(env);
    host.setChildProcessModifier([fileSizeLimit] {
        if (fileSizeLimit == 0)
            return;
        // In the child between fork and exec: an ignored signal stays ignored after exec.
        ::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit{fileSizeLimit, fileSizeLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    host.start(TALLYLEAF_HOST_EXE, args);
    host.waitForFinished(240000);
    HostRun run;
    run.status = host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
    run.out = QString::fromUtf8(host.readAllStandardOutput());
    run.err = QString::fromUtf8(host.readAllStandardError());
    return run;
}

class DiskFullTest : public ::testing::TestWithParam<QString> {};

TEST_P(DiskFullTest, ExportStoppedByAFullDiskKeepsTheEarlierFile)
{
    dbtest::ScratchDatabase db(GetParam());
    DBTEST_REQUIRE_READY(db);
    QString error;
    ASSERT_TRUE(CreateDemoDatabase(db.ConnectionString(), &error)) << error.toStdString();
    QTemporaryDir out;
    for (const QString extension : {".xls", ".xlsx"}) {
        SCOPED_TRACE(extension.toStdString());
        const QString file = out.filePath("report" + extension);
        const QStringList args{"--db", db.ConnectionString(), "--provider", db.Provider(), "--year", "2024",
                               "--login", "113001", "--dept-mode", "0", "--export", file};
        const HostRun first = RunHost(args, 0);
        ASSERT_EQ(first.status, 0) << first.err.toStdString();
        ASSERT_TRUE(first.out.contains("数据导出成功。"));
        const QByteArray earlier = FileBytes(file);
        ASSERT_GT(earlier.size(), 2048);

        const HostRun full = RunHost(args, rlim_t(earlier.size() / 2));
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
