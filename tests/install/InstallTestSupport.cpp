#include "tests/install/InstallTestSupport.h"

#include <QDir>
#include <QProcess>

#include "tests/TestSupport.h"

namespace installtest {

namespace {

RunResult RunProcess(QProcess& process, const QString& program, const QStringList& arguments, int timeoutMs)
{
    RunResult result;
    process.start(program, arguments);
    if (!process.waitForStarted(30000)) {
        result.err = QStringLiteral("%1 did not start: %2").arg(program, process.errorString());
        return result;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
    }
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    if (process.exitStatus() == QProcess::NormalExit)
        result.status = process.exitCode();
    return result;
}

} // namespace

ScratchHome::ScratchHome() : m_dir(QDir::tempPath() + QStringLiteral("/tallyleaf-install-XXXXXX"))
{
    for (const char* folder : {"work", "data", "config"})
        QDir(m_dir.path()).mkpath(QString::fromLatin1(folder));
}

QString ScratchHome::path(const QString& relative) const
{
    return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
}

QProcessEnvironment ScratchHome::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const char* name : {"TALLYLEAF_SOURCE_DIR", "TALLYLEAF_BINARY_DIR", "LD_LIBRARY_PATH", "TALLYLEAF_SCREENSHOT"})
        env.remove(QString::fromLatin1(name));
    return env;
}

RunResult ScratchHome::run(const QString& program, const QStringList& arguments, int timeoutMs) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.setWorkingDirectory(path(QStringLiteral("work")));
    return RunProcess(process, program, arguments, timeoutMs);
}

QString PackageFile()
{
    const QDir dir(QStringLiteral(TALLYLEAF_PACKAGE_DIR));
    const QStringList found =
        dir.entryList({QStringLiteral("tallyleaf_%1_*.deb").arg(QStringLiteral(TALLYLEAF_VERSION))}, QDir::Files);
    return found.size() == 1 ? dir.filePath(found.first()) : QString();
}

RunResult DpkgDeb(const QStringList& arguments)
{
    QProcess process;
    return RunProcess(process, QStringLiteral("dpkg-deb"), arguments, 120000);
}

QString Unpack(const QString& package, const QString& root)
{
    const RunResult r = DpkgDeb({QStringLiteral("-x"), package, root});
    return r.status == 0 ? QString() : QStringLiteral("dpkg-deb -x %1: %2").arg(package, r.err);
}

} // namespace installtest
