#pragma once
// Helpers of the installed-product tests: programs run as a user would run them, from a
// scratch folder outside the source and build trees, with their own data and
// configuration folders.
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "tests/support/WorkbookReadBack.h"

namespace installtest {

struct RunResult {
    int status = -1;        // exit status; -1 when the program crashed or did not finish
    QString out;
    QString err;
};

// A user's scratch home: work/ (the current folder), data/ (XDG_DATA_HOME) and
// config/ (XDG_CONFIG_HOME), all in one temporary folder that goes away at the end.
class ScratchHome {
public:
    ScratchHome();
    bool isValid() const { return m_dir.isValid(); }
    QString path(const QString& relative = QString()) const;
    // The environment of a run: the scratch folders, the offscreen platform, and none of
    // the variables that point the test binaries at the source or build trees.
    QProcessEnvironment environment() const;
    RunResult run(const QString& program, const QStringList& arguments, int timeoutMs = 240000) const;

private:
    QTemporaryDir m_dir;
};

// The .deb that install_build_package made (tallyleaf_<version>_<arch>.deb); empty when
// there is none.
QString PackageFile();
// dpkg-deb with its arguments; its output.
RunResult DpkgDeb(const QStringList& arguments);
// Unpacks the package into root (dpkg-deb -x); the error text, empty on success.
QString Unpack(const QString& package, const QString& root);
using testsupport::CellText;
using testsupport::ReadWorkbook;

} // namespace installtest
