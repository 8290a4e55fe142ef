// placeholder replaced by the plug-in entry
extern "C" __attribute__((visibility("default"))) int ShowPlugInWindow(const char*, void*) { return 0; }
