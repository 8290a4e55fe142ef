#pragma once
// The plug-in's own registry of classes by name, apart from any registry of the
// platform. The main window's unit registers its class when the library loads; the
// resource manager looks classes up here by the name the host asks for.
//
// Classes are grouped: a group answers for the classes that derive from its root
// classes. One group exists, rooted at TPersistent and active from the start.
#include <QList>
#include <QMutex>
#include <QString>
#include <memory>

#include "platform/Classes.h"

class TRegGroup {
public:
    explicit TRegGroup(TClass rootClass);

    TClass BestClass(TClass cls) const;
    void AddClass(TClass cls);
    TClass GetClassByName(const QString& name) const;
    bool InGroup(TClass cls) const;

    bool Active() const { return FActive; }
    void SetActive(bool active) { FActive = active; }

private:
    QList<TClass> FClassList;
    QList<TClass> FGroupClasses;
    bool FActive = false;
};

class TRegGroups {
public:
    TRegGroups();

    TRegGroup* FindGroup(TClass cls) const;
    void AddClass(TClass cls);
    bool Registered(TClass cls) const;
    TClass GetClassByName(const QString& name) const;

    QMutex& Lock() { return FLock; }

private:
    QList<std::shared_ptr<TRegGroup>> FGroups;
    QMutex FLock;
};

// The group whose best root class is the more derived; either group may be null.
TRegGroup* BestGroup(TRegGroup* group1, TRegGroup* group2, TClass cls);

// Registers a class and those of its ancestors up to TPersistent that are not yet
// registered. Raises EFilerError when another class of the same name is registered.
void RegClass(TClass cls);
// The first registered class of that name (letter case ignored) in an active group.
TClass FindRegClass(const QString& name);

// Unit initialisation and finalisation: the registry exists between the two.
void InitializeClassRegistry();
void FinalizeClassRegistry();
