#pragma once
// Loads libbTallyleaf.so, calls its ShowPlugInWindow, and gives its handle back once the
// plug-in says that its last window has gone (ReleasePlugIn) — never before, since a live
// window of the plug-in runs the plug-in's code.
//
// The module itself stays mapped until the process ends (RTLD_NODELETE, as Qt does with
// its own plug-ins): Qt keeps what a module handed it for the life of the process (font
// families and other texts in its read-only data in the font cache, meta-objects in the
// type registry), and reads them again at the next paint. The next window reuses the
// mapped module as it is, with its class registry and resource manager; its unload hooks
// run at process exit.
#include <QString>
#include <QStringList>
#include <functional>

#include "common/PlugInContext.h"

class PlugInLoader : public IPlugInManager {
public:
    explicit PlugInLoader(QString fileName = QStringLiteral("libbTallyleaf.so"));
    ~PlugInLoader() override;
    PlugInLoader(const PlugInLoader&) = delete;
    PlugInLoader& operator=(const PlugInLoader&) = delete;

    // The folders searched, in order: beside the executable, the build's plug-in folder
    // (only for the build's own host), the install's lib/tallyleaf relative to the
    // executable (HostInstallLayout).
    QStringList searchPaths() const;
    // Loads the module if needed and calls ShowPlugInWindow; false (with the reason in
    // lastError()) when the module or its entry cannot be found.
    bool showWindow(const QString& windowName, TPlugInContext* context);
    // Whether the loader holds the module's handle (between a window's opening and the
    // release notice).
    bool isLoaded() const { return m_handle != nullptr; }
    QString lastError() const { return m_lastError; }
    int releaseCount() const { return m_releaseCount; }

    // IPlugInManager: the plug-in's last window has gone. The handle is given back once
    // the plug-in's call stack has returned.
    void ReleasePlugIn(int32_t PlugInId) override;

    // Told after the handle was given back.
    std::function<void()> onUnloaded;

private:
    bool load();
    void unload();

    QString m_fileName;
    void* m_handle = nullptr;
    TShowPlugInWindowProc m_show = nullptr;
    QString m_lastError;
    int m_releaseCount = 0;
    bool m_unloadPending = false;
};
