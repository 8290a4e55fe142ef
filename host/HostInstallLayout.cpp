#include "host/HostInstallLayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace HostInstallLayout {

namespace {

QString ExecutableFolder()
{
    return QCoreApplication::applicationDirPath();
}

// A path below the install prefix, given relative to the executable's folder (bin/).
QString BesideExecutable(const char* relative)
{
    return QDir::cleanPath(QDir(ExecutableFolder()).absoluteFilePath(QString::fromUtf8(relative)));
}

} // namespace

bool RunsFromBuildTree()
{
#ifdef TALLYLEAF_BUILD_HOST_DIR
    const QString built = QFileInfo(QStringLiteral(TALLYLEAF_BUILD_HOST_DIR)).canonicalFilePath();
    return !built.isEmpty() && QFileInfo(ExecutableFolder()).canonicalFilePath() == built;
#else
    return false;
#endif
}

QStringList PlugInFolders()
{
    QStringList folders{ExecutableFolder()};
#ifdef TALLYLEAF_BUILD_PLUGIN_DIR
    // Only the build's own host may take the build's plug-in: an installed copy must run
    // on what was installed with it.
    if (RunsFromBuildTree())
        folders << QStringLiteral(TALLYLEAF_BUILD_PLUGIN_DIR);
#endif
#ifdef TALLYLEAF_INSTALL_PLUGIN_RELDIR
    folders << BesideExecutable(TALLYLEAF_INSTALL_PLUGIN_RELDIR);
#endif
    const QString usual = BesideExecutable("../lib/tallyleaf");
    if (!folders.contains(usual))
        folders << usual;
    return folders;
}

QString InstalledDataFolder()
{
#ifdef TALLYLEAF_INSTALL_DATA_RELDIR
    return BesideExecutable(TALLYLEAF_INSTALL_DATA_RELDIR);
#else
    return BesideExecutable("../share/tallyleaf");
#endif
}

QString DefaultTemplateFolder()
{
#ifdef TALLYLEAF_SOURCE_DIR
    if (RunsFromBuildTree())
        return QStringLiteral(TALLYLEAF_SOURCE_DIR) + QStringLiteral("/data/templates/");
#endif
    return InstalledDataFolder() + QStringLiteral("/templates/");
}

QString DefaultSettingsFile()
{
    if (RunsFromBuildTree())
        return QString();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                           + QStringLiteral("/tallyleaf");
    // The settings back end refuses a file whose folder is missing; a folder that cannot be
    // made shows up as that error, naming the file, at the first write.
    QDir().mkpath(folder);
    return folder + QStringLiteral("/tallyleaf-host.INI");
}

} // namespace HostInstallLayout
