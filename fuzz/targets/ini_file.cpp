// Fuzz target: the INI back end on arbitrary file contents. Every section and key that
// reads must read the same after a write elsewhere in the file, and a written value
// reads back as written; a bad file gives nothing or an error naming it, never a crash,
// and a file refused for reading is never written.
#include <cstddef>
#include <cstdint>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QString>
#include <QStringList>

#include "platform/IniFiles.h"

namespace {

// One folder for the whole run, on a memory file system when there is one; removed
// when the process ends.
class TWorkFolder {
public:
    TWorkFolder()
    {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        FFolder = base + QStringLiteral("/tallyleaf-fuzz-ini-%1").arg(::getpid());
        QDir().mkpath(FFolder);
    }
    ~TWorkFolder() { QDir(FFolder).removeRecursively(); }
    QString File() const { return FFolder + QStringLiteral("/settings.ini"); }

private:
    QString FFolder;
};

const QString& WorkFile()
{
    static const TWorkFolder folder;
    static const QString path = folder.File();
    return path;
}

using TValues = QHash<QString, QString>; // "section\nkey" → value

TValues ReadEverything(TIniFile& ini)
{
    TValues values;
    QStringList sections;
    ini.ReadSections(sections);
    for (const QString& section : sections) {
        QStringList keys;
        ini.ReadSection(section, keys);
        for (const QString& key : keys)
            values.insert(section.toLower() + u'\n' + key.toLower(), ini.ReadString(section, key, QStringLiteral("\x01")));
    }
    return values;
}

void CheckWrite(TIniFile& ini, const TValues& before, const QString& section, const QString& key, const QString& value)
{
    try {
        ini.WriteString(section, key, value);
    } catch (const EIniFileError&) {
        return; // a name the file could not read back; refused before writing
    }
    if (ini.ReadString(section, key, QStringLiteral("\x01")) != value)
        __builtin_trap(); // the value does not read back as written
    const TValues after = ReadEverything(ini);
    const QString written = section.toLower() + u'\n' + key.toLower();
    for (auto it = before.begin(); it != before.end(); ++it)
        if (it.key() != written && after.value(it.key(), QStringLiteral("\x02")) != it.value())
            __builtin_trap(); // a write changed another value
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString& path = WorkFile();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            __builtin_trap(); // the fuzzer's own folder
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    TIniFile ini(path);
    TValues before;
    try {
        before = ReadEverything(ini);
    } catch (const EInOutError&) {
        // Not text in one encoding: refused, and then never written.
        try {
            ini.WriteString(QStringLiteral("Fuzz"), QStringLiteral("Key"), QStringLiteral("v"));
        } catch (const EInOutError&) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly) || file.readAll() != QByteArray(reinterpret_cast<const char*>(data),
                                                                                 static_cast<qsizetype>(size)))
                __builtin_trap(); // a refused file was changed
            return 0;
        }
        __builtin_trap(); // written although it could not be read
    }
    QStringList sections;
    ini.ReadSections(sections);
    if (!sections.isEmpty()) {
        QStringList keys;
        ini.ReadSection(sections.first(), keys);
        // Overwrite a key already there (its spelling on disk stays), then add a new one.
        if (!keys.isEmpty())
            CheckWrite(ini, before, sections.first(), keys.first(), QStringLiteral(" 新值 'x' "));
        CheckWrite(ini, ReadEverything(ini), sections.first(), QStringLiteral("FuzzKey"), QStringLiteral("\"q\""));
    }
    CheckWrite(ini, ReadEverything(ini), QStringLiteral("Fuzz]Section"), QStringLiteral("Key"), QStringLiteral("v"));
    return 0;
}
