#pragma once
// The records and objects that the host hands to the plug-in, compiled by both sides.
//
// The host owns every object reached from here and keeps it alive and unchanged while
// the library is loaded; the library only reads, except for the three description
// texts it writes into TPlugInInfo.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>

class TApplication;
class TScreen;
class TDbManager;

// Filled by the library on every ShowPlugInWindow: the three texts are GB2312 bytes,
// zero-terminated, valid while the library is loaded. PlugInId is the host's.
struct TPlugInInfo {
    int32_t PlugInId = 0;
    const char* ModuleName = nullptr;
    const char* SubsystemName = nullptr;
    const char* Description = nullptr;
};

// Host settings. Values holds "name=value" lines whose names are decimal numbers:
// 11 the template folder (a prefix, ends with a separator), 13 the INI file name,
// 14 the registry section path.
class THostSettings {
public:
    virtual ~THostSettings() = default;
    QStringList Values;
    uint8_t RegistryRoot = 0;   // TRegRoot order
    uint8_t StorageType = 0;    // TStorageType order: 0 INI file, 1 registry
};

// Host options: the current indicator type (0 控制数, 1 预算数, 2 临时指标) and the
// department mode (only "1" lets a login unit count as a department).
class THostOptions {
public:
    virtual ~THostOptions() = default;
    int32_t IndicatorType = 0;
    QString DeptMode;
};

// One item of the login unit: a variant value (Null when unset).
class TLoginItem {
public:
    virtual ~TLoginItem() = default;
    QVariant Value;
};

// The logged-in unit. Position 0 holds the unit code (eid).
class TLoginUnit {
public:
    virtual ~TLoginUnit() = default;
    virtual TLoginItem* GetValue(int position) = 0;
};

// The host's plug-in manager: told when the plug-in's last window has gone.
class IPlugInManager {
public:
    virtual ~IPlugInManager() = default;
    virtual void ReleasePlugIn(int32_t PlugInId) = 0;
};

// The host environment.
struct TPubVariable {
    int32_t Year = 0;                       // the budget data year
    TDbManager* DbManager = nullptr;        // named connections; the library uses "Def"
    THostSettings* HostSettings = nullptr;
    void* Reserved = nullptr;               // not read by the library
    THostOptions* HostOptions = nullptr;
    TLoginUnit* LoginUnit = nullptr;        // null when no unit is logged in
};

struct TPlugInContext {
    TPubVariable* PubVariable = nullptr;
    TPlugInInfo* PlugInInfo = nullptr;
    IPlugInManager* PlugInManager = nullptr;   // may be null
    TApplication* HostApplication = nullptr;   // becomes the library's Application
    TScreen* HostScreen = nullptr;             // becomes the library's Screen
};

// The library's one export. Returns 0.
extern "C" int ShowPlugInWindow(const char* windowName, TPlugInContext* context);
using TShowPlugInWindowProc = int (*)(const char* windowName, TPlugInContext* context);
