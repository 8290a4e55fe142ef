#include "common/AppDataStorage.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "platform/Forms.h"
#include "platform/Registry.h"
#include "common/PlugInGlobals.h"

namespace {

const QString SNoStorage = QStringLiteral("没有指定存储节的父对象！");
const QString SNoSectionName = QStringLiteral("没有指定存储节的名称！");
const QString SNoSectionPath = QStringLiteral("没有指定存储节的路径,不能变更数据存储方式！");

constexpr int HostParamIniFile = 13;
constexpr int HostParamRegistryPath = 14;

HKEY RootKeyOf(TRegRoot root)
{
    switch (root) {
    case Reg_Current_User: return HKEY_CURRENT_USER;
    case Reg_Local_Machine: return HKEY_LOCAL_MACHINE;
    case Reg_Current_Config: return HKEY_CURRENT_CONFIG;
    case Reg_Classes_Root: return HKEY_CLASSES_ROOT;
    case Reg_Users: return HKEY_USERS;
    case Reg_Dyn_Data: return HKEY_DYN_DATA;
    }
    throw TExceptppDataStorage(
        Format(QStringLiteral("注册表根键%s无效！"), QString::number(static_cast<int>(root))));
}

TStorageType CheckedStorageType(int value)
{
    if (value != stIniFile && value != stRegistry)
        throw TExceptppDataStorage(Format(QStringLiteral("数据存储方式%s无效！"), QString::number(value)));
    return static_cast<TStorageType>(value);
}

TRegRoot CheckedRegRoot(int value)
{
    if (value < Reg_Current_User || value > Reg_Dyn_Data)
        throw TExceptppDataStorage(Format(QStringLiteral("注册表根键%s无效！"), QString::number(value)));
    return static_cast<TRegRoot>(value);
}

const THostSettings* HostSettings()
{
    const TPubVariable* env = PubVariable();
    return env ? env->HostSettings : nullptr;
}

} // namespace

// -------------------------------------------------------------------------------------
// TDataSection

TDataSection::TDataSection(TComponent* AOwner) : TComponent(AOwner) {}

TDataSection::~TDataSection() = default;

void TDataSection::SetStorage(TAppDataStorage* Value)
{
    if (Value == FStorage)
        return;
    if (FStorage)
        FStorage->RemoveFreeNotification(this);
    FStorage = Value;
    if (FStorage)
        FStorage->FreeNotification(this);
}

void TDataSection::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FStorage)
        FStorage = nullptr;
}

TAppDataStorage* TDataSection::CheckedStorage() const
{
    if (!FStorage)
        throw EStringListError(SNoStorage);
    return FStorage;
}

qsizetype TDataSection::IndexOfIdent(const QString& Ident) const
{
    for (qsizetype i = 0; i < FIdentList.size(); ++i)
        if (FIdentList.at(i).compare(Ident, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void TDataSection::WriteValue(const QString& Ident, const QString& Value)
{
    std::lock_guard<std::mutex> guard(FLock);
    const qsizetype index = IndexOfIdent(Ident);
    if (index < 0) {
        FIdentList.append(Ident);
        FValueList.append(Value);
    } else {
        FValueList[index] = Value;
    }
    CheckedStorage()->OpenStore()->WriteString(FSectionName, Ident, Value);
}

QString TDataSection::ReadValue(const QString& Ident) const
{
    std::lock_guard<std::mutex> guard(FLock);
    const qsizetype index = IndexOfIdent(Ident);
    return index < 0 ? QString() : FValueList.at(index);
}

void TDataSection::Load()
{
    if (Trim(FSectionName).isEmpty())
        throw TDataSecExcept(SNoSectionName);
    std::lock_guard<std::mutex> guard(FLock);
    QStringList names;
    CheckedStorage()->OpenStore()->ReadSection(FSectionName, names);
    FValueList.clear();
    FIdentList.clear();
    for (const QString& name : names) {
        FIdentList.append(name);
        FValueList.append(CheckedStorage()->OpenStore()->ReadString(FSectionName, name, QString()));
    }
}

QStringList TDataSection::IdentList() const
{
    std::lock_guard<std::mutex> guard(FLock);
    return FIdentList;
}

QStringList TDataSection::ValueList() const
{
    std::lock_guard<std::mutex> guard(FLock);
    return FValueList;
}

// -------------------------------------------------------------------------------------
// TAppDataStorage

TAppDataStorage::TAppDataStorage(TComponent* AOwner) : TComponent(AOwner) {}

TAppDataStorage::~TAppDataStorage()
{
    // The sections are owned components: Free() has already freed them, and each one
    // left the list through Notification.
    std::lock_guard<std::recursive_mutex> guard(FSectionsLock);
    FSections.clear();
}

const QList<TDataSection*>& TAppDataStorage::DataSectionS() const
{
    std::lock_guard<std::recursive_mutex> guard(FSectionsLock);
    return FSections;
}

QString TAppDataStorage::IniFileName() const
{
    std::lock_guard<std::mutex> guard(FConfigLock);
    return FIniFileName;
}

QString TAppDataStorage::RegSectionPath() const
{
    std::lock_guard<std::mutex> guard(FConfigLock);
    return FRegSectionPath;
}

TRegRoot TAppDataStorage::RegistryRoot() const
{
    std::lock_guard<std::mutex> guard(FConfigLock);
    return FRegistryRoot;
}

TStorageType TAppDataStorage::StorageType() const
{
    std::lock_guard<std::mutex> guard(FConfigLock);
    return FStorageType;
}

void TAppDataStorage::SetIniFileName(const QString& Value)
{
    {
        std::lock_guard<std::mutex> guard(FConfigLock);
        if (Value == FIniFileName)
            return;
        FIniFileName = Value;
    }
    if (StorageType() == stIniFile)
        Reload();
}

void TAppDataStorage::SetRegSectionPath(const QString& Value)
{
    {
        std::lock_guard<std::mutex> guard(FConfigLock);
        if (Value == FRegSectionPath)
            return;
        FRegSectionPath = Value;
    }
    if (StorageType() == stRegistry)
        Reload();
}

void TAppDataStorage::SetRegistryRoot(TRegRoot Value)
{
    {
        std::lock_guard<std::mutex> guard(FConfigLock);
        if (Value == FRegistryRoot)
            return;
        FRegistryRoot = CheckedRegRoot(Value);
    }
    if (StorageType() == stRegistry)
        Reload();
}

void TAppDataStorage::SetStorageType(TStorageType Value)
{
    {
        std::lock_guard<std::mutex> guard(FConfigLock);
        if (Value == FStorageType)
            return;
        CheckedStorageType(Value);
        if (Value == stRegistry && Trim(FRegSectionPath).isEmpty())
            throw TExceptppDataStorage(SNoSectionPath);
        FStorageType = Value;
    }
    Reload();
}

std::unique_ptr<TCustomIniFile> TAppDataStorage::OpenStore()
{
    TStorageType type;
    QString fileName, path;
    TRegRoot root;
    {
        std::lock_guard<std::mutex> guard(FConfigLock);
        if (FStorageType == stIniFile && FIniFileName.isEmpty())
            FIniFileName = DefaultIniFileName();
        type = FStorageType;
        fileName = FIniFileName;
        path = FRegSectionPath;
        root = FRegistryRoot;
    }
    if (type == stRegistry)
        return std::make_unique<TRegistryIniFile>(RootKeyOf(root), path);
    CreateEmptyIniFile(fileName);
    return std::make_unique<TIniFile>(fileName);
}

void TAppDataStorage::FreeAllSections()
{
    while (!FSections.isEmpty()) {
        TDataSection* section = FSections.takeLast();
        section->Free();
    }
    FSections.clear();
}

void TAppDataStorage::Reload()
{
    std::lock_guard<std::recursive_mutex> guard(FSectionsLock);
    FreeAllSections();
    QStringList names;
    OpenStore()->ReadSections(names);
    for (const QString& name : names) {
        auto* section = new TDataSection(this);
        section->SetStorage(this);
        FSections.append(section);
        section->SetSectionName(name);
        section->Load();
    }
}

void TAppDataStorage::WriteValue(const QString& Section, const QString& Ident, const QString& Value)
{
    std::lock_guard<std::recursive_mutex> guard(FSectionsLock);
    TDataSection* section = FindSection(Section);
    if (!section) {
        section = AddSection();
        section->SetSectionName(Section);
    }
    section->WriteValue(Ident, Value);
}

TDataSection* TAppDataStorage::FindSection(const QString& Section) const
{
    std::lock_guard<std::recursive_mutex> guard(FSectionsLock);
    for (TDataSection* section : FSections)
        if (section->SectionName() == Section)
            return section;
    return nullptr;
}

TDataSection* TAppDataStorage::AddSection()
{
    std::lock_guard<std::recursive_mutex> guard(FSectionsLock);
    auto* section = new TDataSection(this);
    section->SetStorage(this);
    FSections.append(section);
    return section;
}

void TAppDataStorage::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove || !AComponent)
        return;
    // A section freed by anyone leaves the list, so the list never holds a dead one.
    std::lock_guard<std::recursive_mutex> guard(FSectionsLock);
    FSections.removeIf([AComponent](TDataSection* section) { return section == AComponent; });
}

// -------------------------------------------------------------------------------------
// Free functions

QString DefaultIniFileName()
{
    // The application object is the host's once the plug-in has adopted it.
    const QFileInfo exe(Application ? Application->ExeName() : QCoreApplication::applicationFilePath());
    const QString base = exe.completeBaseName().isEmpty() ? exe.fileName() : exe.completeBaseName();
    return exe.absolutePath() + u'/' + base + QStringLiteral(".INI");
}

QString GetHostParam(const THostSettings* Settings, int Number)
{
    if (!Settings)
        return {};
    const QString name = QString::number(Number);
    for (const QString& pair : Settings->Values) {
        const qsizetype eq = pair.indexOf(u'=');
        if (eq >= 0 && pair.left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return pair.mid(eq + 1);
    }
    return {};
}

TAppDataStoragePtr CreateSettingsStorage(uint8_t Choice)
{
    const THostSettings* host = HostSettings();
    TAppDataStoragePtr storage(new TAppDataStorage(nullptr));
    const QString iniFileName = GetHostParam(host, HostParamIniFile);
    storage->SetIniFileName(iniFileName);
    storage->SetRegSectionPath(GetHostParam(host, HostParamRegistryPath));
    storage->SetRegistryRoot(CheckedRegRoot(host ? int(host->RegistryRoot) : int(Reg_Current_User)));
    const int type = Choice != 0 ? Choice - 1 : (host ? int(host->StorageType) : int(stIniFile));
    storage->SetStorageType(CheckedStorageType(type));
    // With no INI file named by the host no setter has reloaded, yet the writes go to the
    // default file: load that file too, so that what was written can be read back.
    if (storage->StorageType() == stIniFile && iniFileName.isEmpty())
        storage->Reload();
    return storage;
}

QString ReadSetting(const QString& Section, const QString& Ident, uint8_t Choice)
{
    const TAppDataStoragePtr storage = CreateSettingsStorage(Choice);
    QString result;
    if (TDataSection* section = storage->FindSection(Section))
        result = section->ReadValue(Ident);
    return result;
}

bool WriteSetting(const QString& Section, const QString& Ident, const QString& Value, uint8_t Choice)
{
    const TAppDataStoragePtr storage = CreateSettingsStorage(Choice);
    storage->WriteValue(Section, Ident, Value);
    return true;
}
