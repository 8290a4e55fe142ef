#include "plugin/untPlugInClasses.h"

#include "common/untClassRegist.h"
#include "print/bwnTallyleaf.h"

void RegisterPlugInClasses()
{
    RegClass(&TbfrmTallyleaf::staticMetaObject);
}
