#include "tests/hostcli/HostRun.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace hostcli {

void StartHost(QProcess& host, const QStringList& args, const QString& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    host.setProcessEnvironment(env);
    host.start(TALLYLEAF_HOST_EXE, args);
}

HostRun Finish(QProcess& host)
{
    const bool ended = host.waitForFinished(120000);
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

HostRun RunHost(const QStringList& args, const QString& home)
{
    QProcess host;
    StartHost(host, args, home);
    return Finish(host);
}

const QRegularExpression& TeardownTrouble()
{
    static const QRegularExpression trouble(
        QStringLiteral("QMutex|QThread|still in use|QObject::|QBasicTimer|runtime error|Sanitizer|"
                       "destroyed while|Destroyed while"));
    return trouble;
}

} // namespace hostcli
