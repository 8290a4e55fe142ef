#include "host/PlugInWindowDriver.h"

#include <QMetaObject>

#include "platform/Forms.h"
#include "platform/SysUtils.h"

namespace {

[[noreturn]] void Refuse(const QString& what)
{
    // Only a plug-in of another version can fail these: the names are those of its form resource.
    throw Exception(QStringLiteral("插件窗口不支持%1（插件与宿主的版本不一致？）").arg(what));
}

QString PropertyName(const QString& component, const char* property)
{
    return component.isEmpty() ? QLatin1String(property) : component + '.' + QLatin1String(property);
}

} // namespace

TComponent* PlugInWindowDriver::Find(const QString& className)
{
    for (int i = Application->ComponentCount() - 1; i >= 0; --i) {
        TComponent* c = Application->Components(i);
        if (c->ClassName() == className && !c->HasState(csDestroying))
            return c;
    }
    return nullptr;
}

QObject* PlugInWindowDriver::component(const QString& name) const
{
    TComponent* c = m_window->FindComponent(name);
    if (!c)
        Refuse(QStringLiteral("组件%1").arg(name));
    return c;
}

QObject* PlugInWindowDriver::target(const QString& name) const
{
    return name.isEmpty() ? m_window : component(name);
}

QVariant PlugInWindowDriver::read(const QString& name, const char* property) const
{
    const QVariant value = target(name)->property(property);
    if (!value.isValid())
        Refuse(QStringLiteral("属性%1").arg(PropertyName(name, property)));
    return value;
}

void PlugInWindowDriver::write(const QString& name, const char* property, const QVariant& value)
{
    if (!target(name)->setProperty(property, value))
        Refuse(QStringLiteral("属性%1").arg(PropertyName(name, property)));
}

void PlugInWindowDriver::handle(const char* handler, const QString& sender)
{
    if (!QMetaObject::invokeMethod(m_window, handler, Qt::DirectConnection, Q_ARG(TObject*, component(sender))))
        Refuse(QStringLiteral("事件处理%1").arg(QLatin1String(handler)));
}

void PlugInWindowDriver::click(const QString& name)
{
    if (!QMetaObject::invokeMethod(component(name), "Click", Qt::DirectConnection))
        Refuse(QStringLiteral("点击%1").arg(name));
}

bool PlugInWindowDriver::ask(const char* slot, const QString& argument)
{
    bool answer = false;
    if (!QMetaObject::invokeMethod(m_window, slot, Qt::DirectConnection, Q_RETURN_ARG(bool, answer),
                                   Q_ARG(QString, argument)))
        Refuse(QStringLiteral("方法%1").arg(QLatin1String(slot)));
    return answer;
}
