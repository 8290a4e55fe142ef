// The programs' --help against the guides: every option a guide names is one the programs
// take (and show in --help), every option --help shows is described in the admin guide,
// and the exit statuses are the ones both texts give.
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

#include "tests/TestSupport.h"
#include "tests/install/InstallTestSupport.h"

namespace {

using namespace installtest;

QString ReadDoc(const QString& name)
{
    QFile file(testsupport::SourceDir() + QStringLiteral("/docs/") + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QSet<QString> LongOptions(const QString& text)
{
    QSet<QString> options;
    const QRegularExpression option(QStringLiteral("(?<![\\w-])--[a-z][a-z0-9-]*"));
    for (auto it = option.globalMatch(text); it.hasNext();)
        options.insert(it.next().captured(0));
    return options;
}

// The options listed in a --help text: the lines that start with blanks and an option.
QSet<QString> HelpOptions(const QString& help)
{
    QSet<QString> options;
    const QRegularExpression line(QStringLiteral("^ {2}(?:-[a-z], )?(--[a-z][a-z0-9-]*)"),
                                  QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(help); it.hasNext();)
        options.insert(it.next().captured(1));
    return options;
}

struct Program {
    const char* name;
    QString exe;
};

class HelpConsistencyTest : public ::testing::Test {
protected:
    RunResult help(const QString& exe) const { return home.run(exe, {QStringLiteral("--help")}); }
    ScratchHome home;
    const QString hostExe = QStringLiteral(TALLYLEAF_HOST_EXE);
    const QString sheetExe = QStringLiteral(TALLYLEAF_SHEET_EXE);
};

TEST_F(HelpConsistencyTest, EveryOptionTheGuidesNameIsInTheProgramsHelp)
{
    const RunResult host = help(hostExe);
    const RunResult sheet = help(sheetExe);
    ASSERT_EQ(host.status, 0) << host.err.toStdString();
    ASSERT_EQ(sheet.status, 0) << sheet.err.toStdString();
    const QSet<QString> known = HelpOptions(host.out) + HelpOptions(sheet.out);
    ASSERT_GT(known.size(), 20);
    // Options of other commands the guides show (cmake, dpkg, apt, xvfb-run).
    const QSet<QString> others{"--install", "--prefix", "--build", "--target", "--config", "--auto-servernum",
                               "--server-args", "--no-install-recommends", "--fix-broken"};
    for (const char* guide : {"user-guide.md", "admin-guide.md"}) {
        const QString text = ReadDoc(QString::fromLatin1(guide));
        ASSERT_FALSE(text.isEmpty()) << guide;
        for (const QString& option : LongOptions(text)) {
            if (!others.contains(option)) {
                EXPECT_TRUE(known.contains(option)) << guide << " names " << option.toStdString()
                                                    << ", which no --help shows";
            }
        }
    }
}

TEST_F(HelpConsistencyTest, EveryOptionInHelpIsDescribedInTheAdminGuide)
{
    const QString guide = ReadDoc(QStringLiteral("admin-guide.md"));
    const QSet<QString> described = LongOptions(guide);
    for (const Program& program : {Program{"tallyleaf-host", hostExe}, Program{"tallyleaf-sheet", sheetExe}}) {
        SCOPED_TRACE(program.name);
        const RunResult r = help(program.exe);
        ASSERT_EQ(r.status, 0);
        const QSet<QString> options = HelpOptions(r.out);
        ASSERT_FALSE(options.isEmpty());
        for (const QString& option : options)
            EXPECT_TRUE(described.contains(option)) << option.toStdString() << " is not in admin-guide.md";
    }
    for (const char* variable : {"TALLYLEAF_SCREENSHOT", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "QT_QPA_PLATFORM"}) {
        EXPECT_TRUE(help(hostExe).out.contains(QString::fromLatin1(variable))) << variable << " not in --help";
        EXPECT_TRUE(guide.contains(QString::fromLatin1(variable))) << variable << " not in admin-guide.md";
    }
}

// The exit statuses --help promises, one case per status.
TEST_F(HelpConsistencyTest, ExitStatusesAreTheDocumentedOnes)
{
    const QString bad = home.path(QStringLiteral("work/bad.cll"));
    QFile badFile(bad);
    ASSERT_TRUE(badFile.open(QIODevice::WriteOnly));
    badFile.write("cll-template 1\nsize 2\n");
    badFile.close();
    const QString good = testsupport::SourceDir() + QStringLiteral("/data/templates/指标明细表_非国有资本cll5.cll");
    struct Case {
        const char* what;
        QString exe;
        QStringList arguments;
        int status;
        QString output;   // a text expected on stdout or stderr
    };
    const QList<Case> cases{
        {"host help", hostExe, {"--help"}, 0, "退出状态"},
        {"host version", hostExe, {"--version"}, 0, "tallyleaf-host " TALLYLEAF_VERSION},
        {"host unknown option", hostExe, {"--no-such-option"}, 1, "no-such-option"},
        {"host option without value", hostExe, {"--year"}, 2, "--year"},
        {"host value not a number", hostExe, {"--year", "abc"}, 2, "abc"},
        {"sheet help", sheetExe, {"--help"}, 0, "exit status"},
        {"sheet without command", sheetExe, {}, 2, "usage"},
        {"sheet good template", sheetExe, {"check", good}, 0, "OK"},
        {"sheet bad template", sheetExe, {"check", bad}, 1, "bad.cll:2"},
        {"sheet render without output", sheetExe, {"render", good}, 2, "usage"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const RunResult r = home.run(c.exe, c.arguments, 60000);
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        EXPECT_TRUE((r.out + r.err).contains(c.output)) << (r.out + r.err).toStdString();
    }
}

} // namespace
