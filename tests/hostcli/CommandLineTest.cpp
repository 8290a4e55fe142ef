// Command lines a script gets wrong: each ends at once with status 2 and a message that
// says what is wrong, before a window or a database is opened, instead of opening the
// main window (and waiting for ever), doing half of what was asked, or writing a file
// under a name that says something else.
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/support/HostRun.h"

namespace {

using testsupport::HostRun;

struct Refusal {
    QStringList args;   // "$DIR" stands for the test's folder
    QString says;       // a part of the message on standard error
};

QStringList Expanded(QStringList args, const QString& dir)
{
    for (QString& arg : args)
        arg.replace("$DIR", dir);
    return args;
}

} // namespace

TEST(HostCommandLine, MistakesEndWithStatusTwoBeforeAnythingIsOpened)
{
    const QList<Refusal> cases{
        {{"--export", ""}, "选项--export的值为空"},
        {{"--export-dir", ""}, "选项--export-dir的值为空"},
        {{"--pdf", ""}, "选项--pdf的值为空"},
        {{"--pdf-dir", ""}, "选项--pdf-dir的值为空"},
        {{"--db", "", "--export", "$DIR/a.xls"}, "选项--db的值为空"},
        {{"--export", "$DIR/a.xls", "--pdf", "$DIR/a.pdf"}, "选项--export和--pdf不能同时给出"},
        {{"--export-dir", "$DIR", "--pdf-dir", "$DIR"}, "选项--export-dir和--pdf-dir不能同时给出"},
        {{"--export", "$DIR/o.csv"}, "文件名应以.xls或.xlsx结尾"},
        {{"--export", "$DIR/report"}, "文件名应以.xls或.xlsx结尾"},
        {{"--pdf", "$DIR/o.xls"}, "文件名应以.pdf结尾"},
        {{"--type", "-1", "--export", "$DIR/a.xls"}, "选项--type的值“-1”无效：指标类型只有0"},
        {{"--type", "7", "--export", "$DIR/a.xls"}, "选项--type的值“7”无效：指标类型只有0"},
        {{"--indicator-type", "3"}, "选项--indicator-type的值“3”无效"},
        {{"--timeout", "0", "--export", "$DIR/a.xls"}, "选项--timeout的值“0”无效"},
        {{"--timeout", "soon", "--export", "$DIR/a.xls"}, "选项--timeout的值soon不是整数"},
        {{"--db", "sqlite:$DIR/new.db", "--export", "$DIR/a.xls"}, "数据库文件$DIR/new.db不存在"},
        {{"--db", "sqlite:$DIR/new.db"}, "数据库文件$DIR/new.db不存在"},   // the window would have opened
        {{"--db", "sqlite:", "--export", "$DIR/a.xls"}, "SQLite连接字符串没有指定数据库文件"},
    };
    for (const Refusal& c : cases) {
        QTemporaryDir dir;
        const QStringList args = Expanded(c.args, dir.path());
        SCOPED_TRACE(args.join(' ').toStdString());
        const HostRun run = testsupport::RunHost(args, dir.filePath("data"));
        EXPECT_EQ(run.status, 2) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("tallyleaf-host: ")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString(c.says).replace("$DIR", dir.path()))) << run.err.toStdString();
        EXPECT_TRUE(QDir(dir.path()).isEmpty()) << "written: " << QDir(dir.path()).entryList().join(' ').toStdString()
                                                << " (no demo database, export, PDF or database file)";
    }
}

// One rule for login codes: the unit or its parent must be in the unit table (the tree
// shows the parent's branch); codes of no unit are refused alike, "" is nobody.
TEST(HostCommandLine, LoginCodesOfNoUnitAreRefusedAlike)
{
    QTemporaryDir dir;
    const QString data = dir.filePath("data");
    for (const char* code : {"1", "10", "999001", "999"}) {
        SCOPED_TRACE(code);
        const HostRun run = testsupport::RunHost({"--login", code, "--export", dir.filePath("a.xls")}, data);
        EXPECT_EQ(run.status, 2) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("登录单位%1不是预算单位").arg(code))) << run.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("a.xls")));
    }
    // A code the table lacks under a parent it holds (the demo's 125 has no 125001).
    for (const char* code : {"", "125001"}) {
        SCOPED_TRACE(code);
        const QString file = dir.filePath(QStringLiteral("login%1.xls").arg(code));
        const HostRun run = testsupport::RunHost({"--login", code, "--export", file}, data);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_TRUE(QFileInfo(file).size() > 0);
    }
}
