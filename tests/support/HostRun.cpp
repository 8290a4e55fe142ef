#include "tests/support/HostRun.h"

#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>

namespace testsupport {

QString InstalledHost()
{
    return QStringLiteral(TALLYLEAF_TEST_PREFIX "/bin/tallyleaf-host");
}

void StartProgram(QProcess& host, const QString& program, const QStringList& args, const QString& home,
                  rlim_t fileSizeLimit)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    host.setProcessEnvironment(env);
    host.setChildProcessModifier([fileSizeLimit] {
        if (fileSizeLimit == 0)
            return;
        // In the child between fork and exec: an ignored signal stays ignored after exec.
        ::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit{fileSizeLimit, fileSizeLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    host.start(program, args);
}

void StartHost(QProcess& host, const QStringList& args, const QString& home)
{
    StartProgram(host, InstalledHost(), args, home, 0);
}

HostRun Finish(QProcess& host)
{
    const bool ended = host.waitForFinished(240000);
    EXPECT_TRUE(ended) << "the host did not end: " << host.arguments().join(' ').toStdString();
    if (!ended) {
        host.kill();
        host.waitForFinished();
    }
    HostRun run;
    run.status = ended && host.exitStatus() == QProcess::NormalExit ? host.exitCode() : -1;
    run.err = QString::fromUtf8(host.readAllStandardError());
    run.out = QString::fromUtf8(host.readAllStandardOutput());
    return run;
}

HostRun RunProgram(const QString& program, const QStringList& args, const QString& home, rlim_t fileSizeLimit)
{
    QProcess host;
    StartProgram(host, program, args, home, fileSizeLimit);
    return Finish(host);
}

HostRun RunHost(const QStringList& args, const QString& home, rlim_t fileSizeLimit)
{
    return RunProgram(InstalledHost(), args, home, fileSizeLimit);
}

const QRegularExpression& TeardownTrouble()
{
    static const QRegularExpression trouble(
        QStringLiteral("QMutex|QThread|still in use|QObject::|QBasicTimer|runtime error|Sanitizer|"
                       "destroyed while|Destroyed while"));
    return trouble;
}

} // namespace testsupport
