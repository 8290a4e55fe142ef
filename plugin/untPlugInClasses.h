#pragma once
// The classes that the library registers by name when it loads: the windows a host may
// open with ShowPlugInWindow. Defined beside the windows themselves (print/).
void RegisterPlugInClasses();
