#pragma once
// Where the host finds its plug-in, its report templates and its settings file. A host run
// from its build folder uses the build's plug-in and the source tree's templates; any
// other copy is an installed one and finds everything relative to its own executable
// (bin/ → lib/tallyleaf/, share/tallyleaf/templates/), so an installed tree works from
// whatever prefix it was unpacked to. The settings of an installed host go to the user's
// configuration folder: the folder beside an installed executable is not the user's to
// write.
#include <QString>
#include <QStringList>

namespace HostInstallLayout {

// True when the executable is the one in the build folder it was built in.
bool RunsFromBuildTree();
// Folders searched for libbTallyleaf.so, in order.
QStringList PlugInFolders();
// The report template folder when none is given (host parameter 11), ending with "/".
QString DefaultTemplateFolder();
// The settings file when none is given (host parameter 13): empty for a build-tree host
// (the plug-in then uses the file beside the executable), else
// $XDG_CONFIG_HOME/tallyleaf/tallyleaf-host.INI (~/.config/... when the variable is unset),
// whose folder is made when missing.
QString DefaultSettingsFile();
// The installed data folder of this executable (<prefix>/share/tallyleaf).
QString InstalledDataFolder();

} // namespace HostInstallLayout
