// A plug-in module like libbTallyleaf.so whose registered windows are the test windows;
// it also exports two probes that let the launch tests look at its runtime globals.
#include "platform/Forms.h"
#include "common/PlugInContext.h"
#include "plugin/untPlugInEntry.h"
#include "tests/spine/SpineForms.h"

namespace {
__attribute__((constructor)) void LibraryLoad()
{
    PlugInLibraryLoad(RegisterSpineClasses);
}

__attribute__((destructor)) void LibraryUnload()
{
    PlugInLibraryUnload();
}
} // namespace

extern "C" __attribute__((visibility("default"))) int ShowPlugInWindow(const char* windowName, TPlugInContext* context)
{
    return PlugInShowWindow(windowName, context);
}

extern "C" __attribute__((visibility("default"))) void* SpineProbeApplication()
{
    return Application;
}

extern "C" __attribute__((visibility("default"))) void* SpineProbeScreen()
{
    return Screen;
}

extern "C" __attribute__((visibility("default"))) void SpineProbeDetach()
{
    PlugInDllProc(DLL_PROCESS_DETACH);
}
