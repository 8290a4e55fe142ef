#pragma once
// The built tallyleaf-host run as a script runs it: offscreen, with its data and settings
// folders under a folder of the test's own.
#include <QRegularExpression>
#include <QString>
#include <QStringList>

class QProcess;

namespace hostcli {

struct HostRun {
    int status = -1;   // the exit status; -1 when the host crashed or had to be killed
    QString out;
    QString err;
};

// Runs the host with `args`; $XDG_DATA_HOME is `home`, $XDG_CONFIG_HOME `home`/config. A
// host still running after two minutes (waiting for ever, or a window opened) is killed.
HostRun RunHost(const QStringList& args, const QString& home);
// The same in two steps, for hosts that must run side by side.
void StartHost(QProcess& host, const QStringList& args, const QString& home);
HostRun Finish(QProcess& host);

// Lines that only an unclean shutdown prints (Qt's teardown warnings, sanitizer reports).
const QRegularExpression& TeardownTrouble();

} // namespace hostcli
