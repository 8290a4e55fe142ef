#pragma once
// The installed tallyleaf-host run as a script runs it: offscreen, with its data and settings
// folders under a folder of the test's own. It is the copy that `cmake --install` put into
// the build's test prefix (the test fixture InstalledTree): it loads the installed
// libbTallyleaf.so from lib/tallyleaf and reads the installed report templates, as a user's
// copy does.
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <sys/resource.h>

class QProcess;

namespace testsupport {

struct HostRun {
    int status = -1;   // the exit status; -1 when the host crashed or had to be killed
    QString out;
    QString err;
};

// Runs the host with `args`; $XDG_DATA_HOME is `home`, $XDG_CONFIG_HOME `home`/config.
// `fileSizeLimit` > 0 caps the size of every file it writes (a full disk). A host still
// running after four minutes (waiting for ever, or a window opened) is killed.
HostRun RunHost(const QStringList& args, const QString& home, rlim_t fileSizeLimit = 0);
// The same for another copy of the host (`program`).
HostRun RunProgram(const QString& program, const QStringList& args, const QString& home, rlim_t fileSizeLimit = 0);
// The same in two steps, for hosts that must run side by side.
void StartHost(QProcess& host, const QStringList& args, const QString& home);
HostRun Finish(QProcess& host);

// The installed host's path.
QString InstalledHost();

// Lines that only an unclean shutdown prints (Qt's teardown warnings, sanitizer reports).
const QRegularExpression& TeardownTrouble();

} // namespace testsupport
