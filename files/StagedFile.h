#pragma once
// Writes a file so that it appears whole or not at all: the content goes to a file in
// a private folder (mode 0700, made with mkdtemp) beside the target, and is renamed
// into place once it has been written and flushed to disk. Nothing can be planted at
// the staging name, the target is replaced in one step, a failure removes what was
// staged and leaves an earlier file at the target untouched.
//
// What may be replaced follows files/WriteTarget.h: a link is written through to the
// regular file it leads to; folders, devices, FIFOs, sockets and files the user could not
// write in place are refused before anything is written. A replaced file keeps its
// permission bits, and its owner and group where the system lets this user give them;
// a new file gets the default permissions (0666 less the umask). A replaced file with
// other hard links loses them: the name gets the new file.
#include <QByteArray>
#include <QString>

#include "files/WriteTarget.h"

namespace sheet {

class StagedFile {
public:
    explicit StagedFile(QString target);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Checks the target and makes the private folder; the writer then creates
    // stagingPath() itself.
    bool prepare(QString* error);
    QString stagingPath() const { return m_stagingPath; }
    // Gives the staged file the replaced file's mode and owner, syncs it and renames it to
    // the target.
    bool commit(QString* error);

    // prepare, write `bytes` (checking every write), commit.
    static bool writeAll(const QString& target, const QByteArray& bytes, QString* error);

private:
    void discard();

    QString m_target;
    WriteTarget m_write;
    QString m_folder;
    QString m_stagingPath;
    bool m_committed = false;
};

} // namespace sheet
