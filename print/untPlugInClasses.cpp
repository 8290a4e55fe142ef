#include "plugin/untPlugInClasses.h"

#include "common/untClassRegist.h"

void RegisterPlugInClasses()
{
    // The indicator print window registers here once it exists.
}
