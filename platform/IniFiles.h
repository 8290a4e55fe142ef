#pragma once
// INI files with the platform's semantics, and the interface that every settings back
// end offers (the INI file itself and the registry's stand-in, platform/Registry.h).
//
// The four operations: the names of all sections, the names of the keys of one section,
// one string with a default, and writing one string.
//
// File format:
//     [section]
//     key=value
// - The file may be shared with the host and its tools, so a write changes only the lines
//   of the keys it writes and keeps every other byte: the encoding, the byte-order mark,
//   the line ends (new lines take those of the first line), comments and lines the reader
//   does not understand. The encoding is found once for the whole file: UTF-8 when the
//   whole text is UTF-8, otherwise GB18030 (the legacy code page, a superset of GB2312).
//   A new file is UTF-8 without a mark. A file that is not text in one encoding (a NUL
//   byte, a line in neither encoding, UTF-8 Chinese beside legacy lines, a UTF-8 mark
//   before other text) raises EInOutError naming the file and the line, and is neither
//   read nor written.
// - Section and key names are compared without regard to letter case. A write to a key
//   that exists keeps the spelling already on disk; a new name is written as given.
// - When a name occurs twice (a hand-edited file), the first occurrence is the one read
//   and written.
// - Blanks around names and values are not significant. A value that would lose blanks
//   at its ends, or that begins and ends with the same quote character, is written
//   inside double quotes; reading removes one pair of surrounding quotes (" or ').
//   So every value without a line break round-trips exactly.
// - Lines starting with ';' are comments.
// - A section header runs from the first '[' to the last ']' of its line, so a section
//   name may itself contain ']'. Names that could not be read back as written are
//   rejected with EIniFileError before anything is written: empty names, names with a
//   line break or with blanks at either end, key names containing '=' or starting with
//   ';' or '['. Values may not contain line breaks. There is no length limit.
//
// Reading a file that does not exist yields nothing (no sections, the default value).
// What a write may replace follows files/WriteTarget.h: a symbolic link is written
// through to the regular file it leads to; folders, devices, FIFOs, sockets, read-only
// files and another user's file in a sticky folder are refused. The file is replaced
// atomically (files/StagedFile.h: a crash never leaves a torn file), keeping its mode,
// owner and group; a file with other hard links, or one whose owner or group this user
// could not give a new file, is written over in place instead. Writes are serialised
// within the process and, through an advisory lock on the file's folder, between
// processes (the system drops that lock when its holder dies, so a crashed writer blocks
// nobody). A file that cannot be read or written raises EInOutError naming the file.
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
