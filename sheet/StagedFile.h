#pragma once
// Writes a file so that it appears whole or not at all: the content goes to a file in
// a private folder (mode 0700, made with mkdtemp) beside the target, and is renamed
// into place once it has been written and flushed to disk. Nothing can be planted at
// the staging name, the target is replaced in one step, a failure removes what was
// staged and leaves an earlier file at the target untouched. New files get the
// default permissions (0666 less the umask).
#include <QByteArray>
#include <QString>

namespace sheet {

class StagedFile {
public:
    explicit StagedFile(QString target);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Makes the private folder; the writer then creates stagingPath() itself.
    bool prepare(QString* error);
    QString stagingPath() const { return m_stagingPath; }
    // Syncs the staged file and renames it to the target.
    bool commit(QString* error);

    // prepare, write `bytes` (checking every write), commit.
    static bool writeAll(const QString& target, const QByteArray& bytes, QString* error);

private:
    void discard();

    QString m_target;
    QString m_folder;
    QString m_stagingPath;
    bool m_committed = false;
};

} // namespace sheet
