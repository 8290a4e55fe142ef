#include "host/PlugInLoader.h"

#include "host/HostInstallLayout.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <dlfcn.h>

PlugInLoader::PlugInLoader(QString fileName) : m_fileName(std::move(fileName)) {}

PlugInLoader::~PlugInLoader()
{
    // The host's objects are going; a module still loaded keeps its windows' code, so
    // it is left loaded (the process ends right after).
}

QStringList PlugInLoader::searchPaths() const
{
    return HostInstallLayout::PlugInFolders();
}

bool PlugInLoader::load()
{
    if (m_handle)
        return true;
    QStringList tried;
    for (const QString& dir : searchPaths()) {
        const QString path = QDir(dir).absoluteFilePath(m_fileName);
        tried << path;
        if (!QFileInfo::exists(path))
            continue;
        m_handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!m_handle) {
            m_lastError = QStringLiteral("不能装入插件%1：%2").arg(path, QString::fromLocal8Bit(dlerror()));
            return false;
        }
        m_show = reinterpret_cast<TShowPlugInWindowProc>(dlsym(m_handle, "ShowPlugInWindow"));
        if (!m_show) {
            m_lastError = QStringLiteral("插件%1没有导出ShowPlugInWindow").arg(path);
            dlclose(m_handle);
            m_handle = nullptr;
            return false;
        }
        return true;
    }
    m_lastError = QStringLiteral("找不到插件%1（查找过：%2）").arg(m_fileName, tried.join(QStringLiteral("；")));
    return false;
}

bool PlugInLoader::showWindow(const QString& windowName, TPlugInContext* context)
{
    m_unloadPending = false;   // a new window keeps the module
    if (!load())
        return false;
    context->PlugInManager = this;
    const QByteArray name = windowName.toLatin1();
    m_show(name.constData(), context);
    return true;
}

void PlugInLoader::ReleasePlugIn(int32_t PlugInId)
{
    Q_UNUSED(PlugInId);
    ++m_releaseCount;
    m_unloadPending = true;
    // We are inside the plug-in's code (its window is being freed): let go afterwards.
    QTimer::singleShot(0, [this] {
        if (m_unloadPending)
            unload();
    });
}

void PlugInLoader::unload()
{
    m_unloadPending = false;
    if (!m_handle)
        return;
    dlclose(m_handle);
    m_handle = nullptr;
    m_show = nullptr;
    if (onUnloaded)
        onUnloaded();
}
