#include "platform/Classes.h"

#include <cstring>

bool ClassInheritsFrom(TClass cls, TClass ancestor)
{
    for (TClass c = cls; c; c = c->superClass())
        if (c == ancestor)
            return true;
    return false;
}

bool ClassInheritsFromName(TClass cls, const char* name)
{
    for (TClass c = cls; c; c = c->superClass())
        if (std::strcmp(c->className(), name) == 0)
            return true;
    return false;
}

QMetaMethod FindMethodByName(const QMetaObject* mo, const QString& name)
{
    const QByteArray wanted = name.toLatin1();
    for (int i = mo->methodCount() - 1; i >= 0; --i) {
        const QMetaMethod m = mo->method(i);
        if (m.name().compare(wanted, Qt::CaseInsensitive) == 0)
            return m;
    }
    return {};
}

TComponent* CreateComponent(TClass cls, TComponent* owner)
{
    if (!cls)
        return nullptr;
    QObject* obj = cls->newInstance(Q_ARG(TComponent*, owner));
    return static_cast<TComponent*>(obj);
}

// ---------------------------------------------------------------------------------

TComponent::TComponent(TComponent* AOwner)
{
    if (AOwner)
        AOwner->InsertComponent(this);
}

TComponent::~TComponent()
{
    // Reached directly only when someone deleted the component instead of calling Free();
    // the steps still run so that nobody keeps a dangling pointer.
    if (!FStepsDone) {
        FComponentState |= csDestroying;
        DestroySteps();
    }
}

void TComponent::Free()
{
    if (HasState(csDestroying))
        return;
    FComponentState |= csDestroying;
    BeforeDestruction();
    DestroySteps();
    delete this;
}

void TComponent::DestroySteps()
{
    FStepsDone = true;
    // Free notices first, while the class name is still right.
    while (!FFreeNotifies.isEmpty()) {
        TComponent* other = FFreeNotifies.takeLast();
        other->FFreeNotifies.removeAll(this);
        other->Notification(this, opRemove);
    }
    // Owned components, last first, each through its own Free().
    while (!FComponents.isEmpty()) {
        TComponent* c = FComponents.last();
        if (c->HasState(csDestroying)) {
            // Already on its way out (it freed itself from one of our notices).
            FComponents.removeLast();
            c->FOwner = nullptr;
            continue;
        }
        c->Free();
        // Free() removed it from our list through RemoveComponent.
        FComponents.removeAll(c);
    }
    if (FOwner)
        FOwner->RemoveComponent(this);
}

TComponent* TComponent::FindComponent(const QString& name) const
{
    if (name.isEmpty())
        return nullptr;
    for (TComponent* c : FComponents)
        if (c->FName.compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* component)
{
    if (!component || component->FOwner == this)
        return;
    if (component->FOwner)
        component->FOwner->RemoveComponent(component);
    FComponents.append(component);
    component->FOwner = this;
    NotifyOwnerChain(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component)
{
    if (!component || component->FOwner != this)
        return;
    NotifyOwnerChain(component, opRemove);
    FComponents.removeAll(component);
    component->FOwner = nullptr;
}

void TComponent::NotifyOwnerChain(TComponent* component, TOperation operation)
{
    // The owner hears of the change and passes it to its components (base Notification).
    Notification(component, operation);
}

void TComponent::SetDesigning(bool on)
{
    if (on)
        FComponentState |= csDesigning;
    else
        FComponentState &= ~static_cast<unsigned>(csDesigning);
}

void TComponent::SetLoading(bool on)
{
    if (on)
        FComponentState |= csLoading;
    else
        FComponentState &= ~static_cast<unsigned>(csLoading);
}

void TComponent::Loaded()
{
    SetLoading(false);
}

void TComponent::FreeNotification(TComponent* component)
{
    if (!component || component == this)
        return;
    if (!FFreeNotifies.contains(component)) {
        FFreeNotifies.append(component);
        component->FreeNotification(this);
    }
    FComponentState |= csFreeNotification;
}

void TComponent::RemoveFreeNotification(TComponent* component)
{
    if (!component)
        return;
    if (FFreeNotifies.removeAll(component) > 0)
        component->RemoveFreeNotification(this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation)
{
    if (Operation == opRemove && AComponent) {
        if (FFreeNotifies.removeAll(AComponent) > 0)
            AComponent->FFreeNotifies.removeAll(this);
    }
    // Pass the notice on to the owned components (copy: a handler may free one).
    const QList<TComponent*> owned = FComponents;
    for (TComponent* c : owned)
        if (c != AComponent && FComponents.contains(c))
            c->Notification(AComponent, Operation);
}

void TComponent::RegisterEvent(const char* name, TEventBase* event)
{
    FEvents.append({name, event});
}

TEventBase* TComponent::FindEvent(const QString& name) const
{
    for (const auto& [n, e] : FEvents)
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return e;
    return nullptr;
}

QStringList TComponent::EventNames() const
{
    QStringList names;
    for (const auto& entry : FEvents)
        names << QString::fromLatin1(entry.first);
    return names;
}
