#pragma once
// Settings that survive between runs: named text values in named sections, kept in an
// INI file or in the registry's stand-in (platform/IniFiles.h, platform/Registry.h).
//
// TAppDataStorage holds a copy of every section of its back end in memory, one
// TDataSection each, and writes every change through at once. A storage holds sections
// only after a Reload, and a Reload happens when a setter changes something that matters
// for the back end in force. Back-end objects are not cached: every single read or write
// opens the back end and closes it again.
//
// Locks: the section list has a re-entrant lock of its own, and each section a lock over
// its names and values. When both are held the list lock is taken first (WriteValue and
// Reload call into sections while holding it); no path takes them the other way round.
// The four back-end properties sit behind a third lock that is only ever taken last and
// never held while calling out.
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/Classes.h"
#include "platform/IniFiles.h"
#include "common/PlugInContext.h"

TALLYLEAF_DECLARE_EXCEPTION(TDataSecExcept, Exception);
TALLYLEAF_DECLARE_EXCEPTION(TExceptppDataStorage, Exception);

class TAppDataStorage;

class TDataSection : public TComponent {
    Q_OBJECT
    Q_PROPERTY(QString SectionName READ SectionName WRITE SetSectionName)
public:
    Q_INVOKABLE explicit TDataSection(TComponent* AOwner);
    ~TDataSection() override;

    // Sets the value in memory and writes it through to the back end. A failed write
    // leaves the new value in memory.
    void WriteValue(const QString& Ident, const QString& Value);
    // From memory only; empty when the section holds no value of that name.
    QString ReadValue(const QString& Ident) const;
    // Reads the section's names and values from the back end.
    void Load();

    TAppDataStorage* Storage() const { return FStorage; }
    void SetStorage(TAppDataStorage* Value);
    QString SectionName() const { return FSectionName; }
    void SetSectionName(const QString& Value) { FSectionName = Value; }

    // Copies, taken under the section lock; entry i of ValueList belongs to name i.
    QStringList IdentList() const;
    QStringList ValueList() const;

    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    // Value names are found without regard to letter case.
    qsizetype IndexOfIdent(const QString& Ident) const;
    TAppDataStorage* CheckedStorage() const;

    mutable std::mutex FLock;
    QStringList FIdentList;
    QStringList FValueList;
    TAppDataStorage* FStorage = nullptr;
    QString FSectionName;
};

class TAppDataStorage : public TComponent {
    Q_OBJECT
public:
    enum TStorageType : uint8_t { stIniFile, stRegistry };
    Q_ENUM(TStorageType)
    enum TRegRoot : uint8_t {
        Reg_Current_User,
        Reg_Local_Machine,
        Reg_Current_Config,
        Reg_Classes_Root,
        Reg_Users,
        Reg_Dyn_Data
    };
    Q_ENUM(TRegRoot)

private:
    Q_PROPERTY(QList<TDataSection*> DataSectionS READ DataSectionS)
    Q_PROPERTY(QString IniFileName READ IniFileName WRITE SetIniFileName)
    Q_PROPERTY(QString RegSectionPath READ RegSectionPath WRITE SetRegSectionPath)
    Q_PROPERTY(TRegRoot RegistryRoot READ RegistryRoot WRITE SetRegistryRoot)
    Q_PROPERTY(TStorageType StorageType READ StorageType WRITE SetStorageType)

public:
    Q_INVOKABLE explicit TAppDataStorage(TComponent* AOwner = nullptr);
    ~TAppDataStorage() override;

    // Takes and releases the list lock, then hands out the list itself, which the caller
    // reads without the lock.
    const QList<TDataSection*>& DataSectionS() const;

    QString IniFileName() const;
    QString RegSectionPath() const;
    TRegRoot RegistryRoot() const;
    TStorageType StorageType() const;
    // Each setter does nothing when the value is unchanged; otherwise it stores the value
    // and reloads when the value matters for the back end in force.
    void SetIniFileName(const QString& Value);
    void SetRegSectionPath(const QString& Value);
    void SetRegistryRoot(TRegRoot Value);
    // stRegistry with a blank RegSectionPath raises TExceptppDataStorage and changes nothing.
    void SetStorageType(TStorageType Value);

    // Sets one value and writes it through; the section is made in memory when it is new.
    void WriteValue(const QString& Section, const QString& Ident, const QString& Value);
    // Section names are compared exactly (letter case counts).
    TDataSection* FindSection(const QString& Section) const;
    // A new, empty section already in the list.
    TDataSection* AddSection();
    // Drops all sections and reads them all again from the back end.
    void Reload();
    // A back-end object for one use. The INI back end sets IniFileName to the default
    // name when it is empty and creates a missing file empty.
    std::unique_ptr<TCustomIniFile> OpenStore();

    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void FreeAllSections();

    mutable std::mutex FConfigLock;
    QString FIniFileName;
    QString FRegSectionPath;
    TRegRoot FRegistryRoot = Reg_Current_User;
    TStorageType FStorageType = stIniFile;

    mutable std::recursive_mutex FSectionsLock;
    QList<TDataSection*> FSections;
};

using TStorageType = TAppDataStorage::TStorageType;
using TRegRoot = TAppDataStorage::TRegRoot;
using enum TAppDataStorage::TStorageType;
using enum TAppDataStorage::TRegRoot;

// Frees a component through the component model's one entry.
struct TAppDataStorageFree {
    void operator()(TAppDataStorage* storage) const { storage->Free(); }
};
using TAppDataStoragePtr = std::unique_ptr<TAppDataStorage, TAppDataStorageFree>;

// The host executable's path with its extension replaced by ".INI".
QString DefaultIniFileName();

// The value of the pair in Settings->Values whose name is Number in decimal; empty when
// there is none (or no settings object).
QString GetHostParam(const THostSettings* Settings, int Number);

// A storage built from the host settings. Choice 0 takes the host's storage type,
// 1 the INI file, 2 the registry. The sections of the chosen back end are loaded.
TAppDataStoragePtr CreateSettingsStorage(uint8_t Choice);

// One value in one call; each builds and frees its own storage.
QString ReadSetting(const QString& Section, const QString& Ident, uint8_t Choice);
bool WriteSetting(const QString& Section, const QString& Ident, const QString& Value, uint8_t Choice);
