#include "platform/Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString KeyFileSuffix = QStringLiteral(".ini");

// The parts of a key path; "\" and "/" both separate, empty parts are skipped.
QStringList KeyParts(const QString& key)
{
    QString normal = key;
    normal.replace(u'/', u'\\');
    const QStringList parts = normal.split(u'\\', Qt::SkipEmptyParts);
    for (const QString& part : parts)
        if (part == QStringLiteral(".") || part == QStringLiteral(".."))
            throw ERegistryException(Format(QStringLiteral("注册表键“%s”无效：键名不能是“.”或“..”"), key));
    return parts;
}

// The entry of `folder` whose name equals `name` without regard to letter case, or
// `name` itself when there is none.
QString ExistingSpelling(const QString& folder, const QString& name, QDir::Filters filter)
{
    const QStringList entries = QDir(folder).entryList(filter | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    return name;
}

} // namespace

QString TRegistry::TreeFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/tallyleaf/registry");
}

QString TRegistry::RootKeyName(HKEY Key)
{
    switch (Key) {
    case HKEY_CLASSES_ROOT: return QStringLiteral("HKEY_CLASSES_ROOT");
    case HKEY_CURRENT_USER: return QStringLiteral("HKEY_CURRENT_USER");
    case HKEY_LOCAL_MACHINE: return QStringLiteral("HKEY_LOCAL_MACHINE");
    case HKEY_USERS: return QStringLiteral("HKEY_USERS");
    case HKEY_PERFORMANCE_DATA: return QStringLiteral("HKEY_PERFORMANCE_DATA");
    case HKEY_CURRENT_CONFIG: return QStringLiteral("HKEY_CURRENT_CONFIG");
    case HKEY_DYN_DATA: return QStringLiteral("HKEY_DYN_DATA");
    default:
        throw ERegistryException(
            Format(QStringLiteral("注册表根键%s无效"), QStringLiteral("0x") + QString::number(Key, 16)));
    }
}

QString TRegistry::FullKeyName(HKEY Root, const QString& Key)
{
    QStringList parts = KeyParts(Key);
    parts.prepend(RootKeyName(Root));
    return parts.join(u'\\');
}

void TRegistry::SetRootKey(HKEY Value)
{
    if (Value == FRootKey)
        return;
    CloseKey();
    FRootKey = Value;
}

QString TRegistry::ResolveKeyFile(const QString& Key, bool& exists) const
{
    QStringList parts = KeyParts(Key);
    parts.prepend(RootKeyName(FRootKey));
    QString folder = TreeFolder();
    for (qsizetype i = 0; i + 1 < parts.size(); ++i)
        folder += u'/' + ExistingSpelling(folder, parts.at(i), QDir::Dirs);
    const QString file = folder + u'/' + ExistingSpelling(folder, parts.last() + KeyFileSuffix, QDir::Files);
    exists = QFileInfo(file).isFile();
    return file;
}

bool TRegistry::KeyExists(const QString& Key) const
{
    bool exists = false;
    ResolveKeyFile(Key, exists);
    return exists;
}

bool TRegistry::OpenKey(const QString& Key, bool CanCreate)
{
    CloseKey();
    bool exists = false;
    const QString file = ResolveKeyFile(Key, exists);
    const QString fullName = FullKeyName(FRootKey, Key);
    if (!exists) {
        if (!CanCreate)
            return false;
        const QString folder = QFileInfo(file).absolutePath();
        if (!QDir().mkpath(folder))
            throw ERegistryException(
                Format(QStringLiteral("不能创建注册表键“%s”：不能创建文件夹“%s”"), {fullName, folder}));
        try {
            CreateEmptyIniFile(file);
        } catch (const EInOutError& e) {
            throw ERegistryException(Format(QStringLiteral("不能创建注册表键“%s”：%s"), {fullName, e.Message()}));
        }
    }
    FCurrentPath = fullName;
    FCurrentFile = file;
    return true;
}

void TRegistry::CloseKey()
{
    FCurrentPath.clear();
    FCurrentFile.clear();
}

// -------------------------------------------------------------------------------------

TRegistryIniFile::TRegistryIniFile(HKEY RootKey, const QString& KeyPath)
    : TCustomIniFile(TRegistry::FullKeyName(RootKey, KeyPath))
{
    TRegistry registry;
    registry.SetRootKey(RootKey);
    registry.OpenKey(KeyPath, true);
    FFile = std::make_unique<TIniFile>(registry.CurrentKeyFile());
}

void TRegistryIniFile::ReadSections(QStringList& Strings) { FFile->ReadSections(Strings); }

void TRegistryIniFile::ReadSection(const QString& Section, QStringList& Strings)
{
    FFile->ReadSection(Section, Strings);
}

QString TRegistryIniFile::ReadString(const QString& Section, const QString& Ident, const QString& Default)
{
    return FFile->ReadString(Section, Ident, Default);
}

void TRegistryIniFile::WriteString(const QString& Section, const QString& Ident, const QString& Value)
{
    FFile->WriteString(Section, Ident, Value);
}
