#pragma once
// INI files with the platform's semantics, and the interface that every settings back
// end offers (the INI file itself and the registry's stand-in, platform/Registry.h).
//
// The four operations: the names of all sections, the names of the keys of one section,
// one string with a default, and writing one string.
//
// File format (UTF-8, no byte-order mark written; one read with a mark is accepted, and
// a file that is not valid UTF-8 is read as GB18030, the legacy code page of the settings):
//     [section]
//     key=value
// - Section and key names are compared without regard to letter case. A write to a key
//   that exists keeps the spelling already on disk; a new name is written as given.
// - When a name occurs twice (a hand-edited file), the first occurrence is the one read
//   and written.
// - Blanks around names and values are not significant. A value that would lose blanks
//   at its ends, or that begins and ends with the same quote character, is written
//   inside double quotes; reading removes one pair of surrounding quotes (" or ').
//   So every value without a line break round-trips exactly.
// - Lines starting with ';' are comments; they and every other line the reader does not
//   understand are kept when the file is rewritten.
// - A section header runs from the first '[' to the last ']' of its line, so a section
//   name may itself contain ']'. Names that could not be read back as written are
//   rejected with EIniFileError before anything is written: empty names, names with a
//   line break or with blanks at either end, key names containing '=' or starting with
//   ';' or '['. Values may not contain line breaks. There is no length limit.
//
// Reading a file that does not exist yields nothing (no sections, the default value).
// Every write rewrites the whole file atomically: the new text goes to a temporary file
// in the same folder, is flushed and synced, and is renamed over the old file, so a
// crash never leaves a torn file. Writes are serialised within the process and, through
// an advisory lock on the file's folder, between processes (the system drops that lock
// when its holder dies, so a crashed writer blocks nobody). A file that cannot be read, a
// read-only file (no write permission bit, or no write access) and a folder that cannot
// take the new file raise EInOutError naming the file.
#include <QString>
#include <QStringList>

#include "platform/SysUtils.h"

TALLYLEAF_DECLARE_EXCEPTION(EIniFileError, Exception);

// The common interface of the settings back ends.
class TCustomIniFile {
public:
    explicit TCustomIniFile(QString FileName) : FFileName(std::move(FileName)) {}
    virtual ~TCustomIniFile() = default;
    TCustomIniFile(const TCustomIniFile&) = delete;
    TCustomIniFile& operator=(const TCustomIniFile&) = delete;

    // The file's path, or for the registry's stand-in the key's full name.
    const QString& FileName() const { return FFileName; }

    // Clears Strings and fills it with the names of all sections, in file order.
    virtual void ReadSections(QStringList& Strings) = 0;
    // Clears Strings and fills it with the key names of Section, in file order.
    virtual void ReadSection(const QString& Section, QStringList& Strings) = 0;
    virtual QString ReadString(const QString& Section, const QString& Ident, const QString& Default) = 0;
    virtual void WriteString(const QString& Section, const QString& Ident, const QString& Value) = 0;

private:
    QString FFileName;
};

class TIniFile : public TCustomIniFile {
public:
    explicit TIniFile(const QString& FileName);

    void ReadSections(QStringList& Strings) override;
    void ReadSection(const QString& Section, QStringList& Strings) override;
    QString ReadString(const QString& Section, const QString& Ident, const QString& Default) override;
    void WriteString(const QString& Section, const QString& Ident, const QString& Value) override;
};

// Creates FileName as an empty file when no file of that name exists (an existing file
// is left alone). Raises EInOutError naming the file when it cannot be created.
void CreateEmptyIniFile(const QString& FileName);
