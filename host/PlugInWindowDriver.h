#pragma once
// A window of the plug-in, driven as the host may drive it: as an automation client does.
// Its components are found by the names its form resource gives them, their properties are
// read and written and their slots invoked through Qt's meta-object system, by name. The
// host never casts to a class of the plug-in, nor calls its code directly: the plug-in has
// its own copy of every class, meta-object and global (docs/decisions.md).
#include <QString>
#include <QVariant>

#include "platform/Classes.h"

class PlugInWindowDriver {
public:
    // The open window of that class, among the components of the host's application object
    // (which owns the plug-in's windows); null when there is none.
    static TComponent* Find(const QString& className);

    explicit PlugInWindowDriver(TComponent* window) : m_window(window) {}

    // The window's component of that name; raises, naming it, when there is none.
    QObject* component(const QString& name) const;
    // A property of a component, or of the window itself for an empty name. Raises when
    // there is no such property or it cannot be written.
    QVariant read(const QString& name, const char* property) const;
    void write(const QString& name, const char* property, const QVariant& value);
    // Fires the window's event handler as the control `sender` fires it (the form resource
    // binds controls to handlers by name).
    void handle(const char* handler, const QString& sender);
    // Clicks the control as the user does.
    void click(const QString& name);
    // Invokes a slot of the window that takes one text and answers true or false.
    bool ask(const char* slot, const QString& argument);

private:
    QObject* target(const QString& name) const;
    TComponent* m_window;
};
