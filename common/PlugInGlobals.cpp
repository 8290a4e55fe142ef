#include "common/PlugInGlobals.h"

namespace {
TPlugInContext* GContext = nullptr;
TPubVariable* GPubVariable = nullptr;
} // namespace

TPlugInContext* PlugInContext() { return GContext; }
TPubVariable* PubVariable() { return GPubVariable; }

void SetPlugInContext(TPlugInContext* context)
{
    GContext = context;
    GPubVariable = context ? context->PubVariable : nullptr;
}
