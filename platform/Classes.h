#pragma once
// The component model: persistent objects with class metadata, components with an
// owner that frees them, free notifications and a component state, and events that a
// form resource can bind to a handler by name.
//
// Class metadata is Qt's meta-object system. A class reference (TClass) is the class's
// QMetaObject; a component class that can be made from its reference declares
//     Q_INVOKABLE explicit TSomething(TComponent* AOwner);
// and CreateComponent(cls, owner) calls that constructor virtually.
//
// Destruction protocol. A C++ destructor loses the dynamic type: while a base
// destructor runs, ClassName() answers the base's name. Whoever looks a component up by
// its class name when it goes (the resource manager does) must hear of it before any
// destructor runs. So components are freed through one entry, Free(), which
//   1. marks csDestroying and calls BeforeDestruction() (forms fire OnDestroy there),
//   2. tells every component that asked for a free notification (opRemove),
//   3. frees the owned components, last first,
//   4. leaves its owner (the owner and its components hear opRemove),
// (opInsert goes out from the base constructor, before the derived class is complete:
// its receiver may keep the pointer but must not ask the new component for its class.)
// and only then deletes the object. A destructor therefore never sees owned components.
// Deleting a component directly runs the same steps from ~TComponent, where the class
// name is already the base's: use Free().
//
// Objects that cross the module boundary (the host's application object used by the
// plug-in, plug-in windows owned by it) come from another copy of this code: reach
// them through virtual functions or dynamic_cast, never qobject_cast, whose
// meta-objects differ per module.
#include <QList>
#include <QMetaMethod>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <functional>
#include <tuple>
#include <type_traits>
#include <utility>

#include "platform/SysUtils.h"

using TObject = QObject;
using TClass = const QMetaObject*;

class TComponent;

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned {
    csLoading = 0x01,
    csReading = 0x02,
    csWriting = 0x04,
    csDestroying = 0x08,
    csDesigning = 0x10,
    csFreeNotification = 0x20,
};
using TComponentState = unsigned;

// The class name of an object's class reference ("TbfrmTallyleaf").
inline QString ClassNameOf(TClass cls) { return cls ? QString::fromLatin1(cls->className()) : QString(); }
// True when cls is ancestor or cls itself.
bool ClassInheritsFrom(TClass cls, TClass ancestor);
// True when cls is a class named `name` or derives from one (works across modules).
bool ClassInheritsFromName(TClass cls, const char* name);

// ---------------------------------------------------------------------------------
// Events. An event holds at most one handler. Code assigns a callable; a form
// resource binds a handler method of the form by name (a Q_INVOKABLE member whose
// parameters match the event's, with a var parameter T& taken as T*).

class TEventBase {
public:
    virtual ~TEventBase() = default;
    virtual bool Assigned() const = 0;
    virtual void Clear() = 0;
    // Binds `method` of `target`; false with *error set when the signature differs.
    virtual bool BindMethod(QObject* target, const QMetaMethod& method, QString* error) = 0;
};

namespace detail {
template <class A>
struct EventArg {
    using Stored = std::remove_cvref_t<A>;
    static QMetaType Type() { return QMetaType::fromType<Stored>(); }
};
template <class T>
struct EventArg<T&> {
    using Stored = T*;
    static QMetaType Type() { return QMetaType::fromType<T*>(); }
};
} // namespace detail

template <class... Args>
class TEvent final : public TEventBase {
public:
    using Handler = std::function<void(Args...)>;

    TEvent() = default;
    TEvent& operator=(Handler h)
    {
        FHandler = std::move(h);
        return *this;
    }
    TEvent& operator=(std::nullptr_t)
    {
        FHandler = nullptr;
        return *this;
    }
    explicit operator bool() const { return static_cast<bool>(FHandler); }
    bool Assigned() const override { return static_cast<bool>(FHandler); }
    void Clear() override { FHandler = nullptr; }
    const Handler& handler() const { return FHandler; }

    void operator()(Args... args) const
    {
        if (FHandler)
            FHandler(std::forward<Args>(args)...);
    }

    bool BindMethod(QObject* target, const QMetaMethod& method, QString* error) override
    {
        constexpr int count = sizeof...(Args);
        if (method.parameterCount() != count) {
            if (error)
                *error = QStringLiteral("handler %1 takes %2 parameters, the event passes %3")
                             .arg(QString::fromLatin1(method.name()))
                             .arg(method.parameterCount())
                             .arg(count);
            return false;
        }
        const QMetaType expected[] = {detail::EventArg<Args>::Type()..., QMetaType()};
        for (int i = 0; i < count; ++i) {
            if (method.parameterMetaType(i) != expected[i]) {
                if (error)
                    *error = QStringLiteral("handler %1: parameter %2 is %3, the event passes %4")
                                 .arg(QString::fromLatin1(method.name()))
                                 .arg(i + 1)
                                 .arg(QString::fromLatin1(method.parameterMetaType(i).name()),
                                      QString::fromLatin1(expected[i].name()));
                return false;
            }
        }
        const int index = method.methodIndex();
        FHandler = [target, index](Args... args) { Invoke(target, index, args...); };
        return true;
    }

private:
    template <class A>
    static typename detail::EventArg<A>::Stored ToSlot(std::add_lvalue_reference_t<A> a)
    {
        if constexpr (std::is_lvalue_reference_v<A>)
            return &a;
        else
            return a;
    }
    // Calls the bound method through the meta-object: argv holds the address of each
    // argument, and a var parameter travels as a pointer to the caller's variable.
    static void Invoke(QObject* target, int index, Args... args)
    {
        std::tuple<typename detail::EventArg<Args>::Stored...> values{ToSlot<Args>(args)...};
        std::apply(
            [&](auto&... s) {
                void* argv[] = {nullptr, static_cast<void*>(&s)..., nullptr};
                QMetaObject::metacall(target, QMetaObject::InvokeMetaMethod, index, argv);
            },
            values);
    }

    Handler FHandler;
};

using TNotifyEvent = TEvent<TObject*>;

// ---------------------------------------------------------------------------------

class TPersistent : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE TPersistent() = default;
    ~TPersistent() override = default;

    QString ClassName() const { return QString::fromLatin1(metaObject()->className()); }
    TClass ClassType() const { return metaObject(); }
    bool InheritsFrom(TClass cls) const { return ClassInheritsFrom(metaObject(), cls); }
};

class TComponent : public TPersistent {
    Q_OBJECT
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
public:
    Q_INVOKABLE explicit TComponent(TComponent* AOwner = nullptr);
    ~TComponent() override;

    // The one entry for destruction (see the header comment). Safe on nullptr through
    // FreeAndNil; a second Free during destruction does nothing.
    void Free();
    template <class T>
    static void FreeAndNil(T*& component)
    {
        T* c = component;
        component = nullptr;
        if (c)
            c->Free();
    }

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const { return FComponents.at(index); }
    TComponent* FindComponent(const QString& name) const;
    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);

    QString Name() const { return FName; }
    void SetName(const QString& name) { FName = name; }
    int Tag() const { return FTag; }
    void SetTag(int tag) { FTag = tag; }

    TComponentState ComponentState() const { return FComponentState; }
    bool HasState(TComponentStateFlag flag) const { return (FComponentState & flag) != 0; }
    void SetDesigning(bool on);
    void SetLoading(bool on);

    // Ask `component` to be told (Notification opRemove) when this one is freed, and
    // the other way round.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

    // Events by name, for the form resource reader.
    TEventBase* FindEvent(const QString& name) const;
    QStringList EventNames() const;

    // Called by the resource reader when a component's properties have all been read.
    virtual void Loaded();

    // The free notice of the component model. The base removes the component from the
    // free-notification list and passes the notice on to the owned components.
    virtual void Notification(TComponent* AComponent, TOperation Operation);

protected:
    // Runs at the start of Free(), while the object is still whole.
    virtual void BeforeDestruction() {}
    void RegisterEvent(const char* name, TEventBase* event);

private:
    void DestroySteps();
    void NotifyOwnerChain(TComponent* component, TOperation operation);

    TComponent* FOwner = nullptr;
    QList<TComponent*> FComponents;
    QList<TComponent*> FFreeNotifies;
    QList<std::pair<const char*, TEventBase*>> FEvents;
    QString FName;
    int FTag = 0;
    TComponentState FComponentState = 0;
    bool FStepsDone = false;
};

// The first invokable method of that name (handlers are looked up by name only).
QMetaMethod FindMethodByName(const QMetaObject* mo, const QString& name);

// Creates a component of class `cls` through its Q_INVOKABLE (TComponent*) constructor.
// Returns nullptr when the class has no such constructor.
TComponent* CreateComponent(TClass cls, TComponent* owner);
