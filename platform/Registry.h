#pragma once
// The registry's stand-in: a per-user tree of INI files under the XDG config folder.
//
//     <GenericConfigLocation>/tallyleaf/registry/<ROOT KEY>/<key path>.ini
//
// One file per root key and key path: the key "Software\Tallyleaf\Print" below
// HKEY_CURRENT_USER is the file
//     ~/.config/tallyleaf/registry/HKEY_CURRENT_USER/Software/Tallyleaf/Print.ini
// The subkeys of that key are the sections of the file, and the string values of a
// subkey are the keys of its section. Every root key lives in the user's own folder,
// HKEY_LOCAL_MACHINE included: there is no machine-wide store.
//
// Key paths take "\" (and "/") as separators; empty parts are skipped. Key names are
// compared without regard to letter case, as in the registry: an existing folder or
// file whose name differs only in case is the same key. A part "." or ".." is refused
// (ERegistryException), so a key never reaches outside the tree.
#include <QString>
#include <cstdint>
#include <memory>

#include "platform/IniFiles.h"

TALLYLEAF_DECLARE_EXCEPTION(ERegistryException, Exception);

using HKEY = uint32_t;
constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr HKEY HKEY_USERS = 0x80000003u;
constexpr HKEY HKEY_PERFORMANCE_DATA = 0x80000004u;
constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;
constexpr HKEY HKEY_DYN_DATA = 0x80000006u;

class TRegistry {
public:
    TRegistry() = default;

    HKEY RootKey() const { return FRootKey; }
    // Closes an open key, as the platform's registry object does.
    void SetRootKey(HKEY Value);

    // Opens Key below the root key. A missing key is created when CanCreate (its folders
    // and an empty file), else the result is false. Raises ERegistryException for a
    // path with "." or ".." parts, an unknown root key, or a key that cannot be created.
    bool OpenKey(const QString& Key, bool CanCreate);
    void CloseKey();
    bool KeyExists(const QString& Key) const;

    // "HKEY_CURRENT_USER\Software\Tallyleaf" of the open key; empty when none is open.
    QString CurrentPath() const { return FCurrentPath; }
    // The INI file that holds the open key's subkeys; empty when none is open.
    QString CurrentKeyFile() const { return FCurrentFile; }

    // The folder that holds every root key's tree.
    static QString TreeFolder();
    // "HKEY_CURRENT_USER" and so on; raises ERegistryException for an unknown key.
    static QString RootKeyName(HKEY Key);
    // "HKEY_CURRENT_USER\Software\Tallyleaf": the key's full name, separators made "\".
    static QString FullKeyName(HKEY Root, const QString& Key);

private:
    // The file of Key, spelt as on disk where it exists, and whether it exists.
    QString ResolveKeyFile(const QString& Key, bool& exists) const;

    HKEY FRootKey = HKEY_CURRENT_USER;
    QString FCurrentPath;
    QString FCurrentFile;
};

// The settings interface over one registry key: sections are its subkeys, keys are the
// string values of a subkey. The key is opened, created if missing, on construction.
class TRegistryIniFile : public TCustomIniFile {
public:
    TRegistryIniFile(HKEY RootKey, const QString& KeyPath);

    void ReadSections(QStringList& Strings) override;
    void ReadSection(const QString& Section, QStringList& Strings) override;
    QString ReadString(const QString& Section, const QString& Ident, const QString& Default) override;
    void WriteString(const QString& Section, const QString& Ident, const QString& Value) override;

    // The file behind the key.
    QString KeyFile() const { return FFile->FileName(); }

private:
    std::unique_ptr<TIniFile> FFile;
};
