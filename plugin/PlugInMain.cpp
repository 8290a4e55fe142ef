// libbTallyleaf.so: the module's load and unload hooks and its one export.
#include "common/PlugInContext.h"
#include "plugin/untPlugInClasses.h"
#include "plugin/untPlugInEntry.h"

namespace {
__attribute__((constructor)) void LibraryLoad()
{
    PlugInLibraryLoad(RegisterPlugInClasses);
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
