// The headless modes run the shipped plug-in: a copy of the host without libbTallyleaf.so
// beside it (nor in ../lib/tallyleaf) exports and prints nothing, and says which file it
// looked for where.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/support/HostRun.h"

TEST(HeadlessPlugIn, AHostWithoutItsPlugInWritesNothingAndNamesThePlugIn)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(QDir().mkpath(prefix.filePath("bin")));
    const QString host = prefix.filePath("bin/tallyleaf-host");
    ASSERT_TRUE(QFile::copy(testsupport::InstalledHost(), host));
    for (const QString output : {"--export=$DIR/a.xls", "--export-dir=$DIR", "--pdf=$DIR/a.pdf", "--pdf-dir=$DIR"}) {
        QTemporaryDir out;
        const testsupport::HostRun run
            = testsupport::RunProgram(host, {QString(output).replace("$DIR", out.path())}, prefix.filePath("home"));
        EXPECT_EQ(run.status, 1) << output.toStdString();
        EXPECT_TRUE(run.err.contains("找不到插件libbTallyleaf.so")) << run.err.toStdString();
        EXPECT_TRUE(QDir(out.path()).isEmpty()) << output.toStdString();
    }
}
