#pragma once
// The library's view of its host: the context and the environment that the last
// ShowPlugInWindow handed over. Every database access, setting and report title reads
// through these. Null until the first call.
#include "common/PlugInContext.h"

TPlugInContext* PlugInContext();
TPubVariable* PubVariable();

// Adopts a context (ShowPlugInWindow step 1; tests that drive units directly use it too).
void SetPlugInContext(TPlugInContext* context);
