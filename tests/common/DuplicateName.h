#pragma once
// Two different classes that answer the same class name (each lives in an unnamed
// namespace of its own file), for the registry's duplicate-class check.
#include "platform/Classes.h"

TClass DuplicateNameClassA();
TClass DuplicateNameClassB();
