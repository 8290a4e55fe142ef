#pragma once
// The plug-in entry: adopts the host's context, installs the window callbacks in the
// resource manager and asks it for the window by class name; and the library's
// attach/detach handler, which saves and restores the runtime's own application and
// screen objects.
#include "common/PlugInContext.h"

// What ShowPlugInWindow does. Never lets an exception out; returns 0.
int PlugInShowWindow(const char* windowName, TPlugInContext* context);

enum TDllReason { DLL_PROCESS_DETACH = 0, DLL_PROCESS_ATTACH = 1, DLL_THREAD_ATTACH = 2, DLL_THREAD_DETACH = 3 };
void PlugInDllProc(int reason);

// Load and unload of the library, in the order of unit initialisation:
// the runtime's own objects, the class registry, the classes the library registers
// (registerClasses), the resource manager, then the attach handler. Unload runs
// the detach handler first and the finalisations in reverse.
void PlugInLibraryLoad(void (*registerClasses)());
void PlugInLibraryUnload();

// The three description texts, GB2312 bytes, valid while the library is loaded.
extern const char* const PlugInModuleName;
extern const char* const PlugInSubsystemName;
extern const char* const PlugInDescription;
