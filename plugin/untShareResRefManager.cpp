#include "plugin/untShareResRefManager.h"

#include <QPointer>

#include "common/untClassRegist.h"
#include "common/untObjectFactory.h"
#include "platform/Forms.h"

const QUuid IResRefManager::IID{QStringLiteral("{20D5590E-F0A5-4F46-81F0-5C62D2F30F38}")};

namespace {
const QString SClassNotRegistered = QStringLiteral("类%s没有进行注册或不存在！");
TResRefManager* GResRefManager = nullptr;
} // namespace

TResRefManager::TResRefManager(TComponent* AOwner) : TComponent(AOwner) {}

TResRefManager::~TResRefManager()
{
    // Records still held are dropped without releasing their references, so no
    // callback fires while the manager goes.
    for (TObjRefInfo* info : FRefInfos) {
        info->ResRef.Detach();
        delete info;
    }
    FRefInfos.clear();
}

int32_t TResRefManager::QueryInterface(const QUuid& iid, void** out)
{
    if (!out)
        return E_NOINTERFACE;
    if (iid == IResRefManager::IID || iid == IID_IInterface) {
        _AddRef();
        *out = static_cast<IResRefManager*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

int32_t TResRefManager::_AddRef()
{
    return FRefCount.fetch_add(1) + 1;
}

int32_t TResRefManager::_Release()
{
    const int32_t count = FRefCount.fetch_sub(1) - 1;
    if (count == 0 && OnAllReleased)
        OnAllReleased(this);
    return count;
}

void TResRefManager::AddResource(TComponent* component)
{
    const QString name = component->ClassName();
    FObjList.AddObject(name, component);
    auto* info = new TObjRefInfo;
    info->ResRef = IResRefManagerRef(static_cast<IResRefManager*>(this));
    FRefInfos.append(info);
    component->FreeNotification(this);
}

void TResRefManager::RemoveResource(const QString& className)
{
    const int i = FObjList.IndexOf(className);
    if (i < 0)
        return;
    if (i < FRefInfos.size()) {
        TObjRefInfo* info = FRefInfos.takeAt(i);
        info->ResRef.Clear();   // may call OnAllReleased
        delete info;
    }
    FObjList.Delete(i);
}

TObject* TResRefManager::LookupResource(const QString& className)
{
    const int i = FObjList.IndexOf(className);
    return i < 0 ? nullptr : FObjList.GetObject(i);
}

TObject* TResRefManager::RequestResource(const QString& className, bool notify)
{
    // Watched, not held: a callback that frees the new object leaves nothing to hand out.
    QPointer<TComponent> made;
    try {
        return DoRequestResource(className, notify, made);
    } catch (const std::exception& e) {
        Application->HandleException(this, e);
    }
    return made.data();
}

TObject* TResRefManager::DoRequestResource(const QString& className, bool notify, QPointer<TComponent>& made)
{
    TObject* obj = LookupResource(className);
    if (auto* component = dynamic_cast<TComponent*>(obj); component && component->HasState(csDestroying))
        obj = nullptr;   // a dying window is never handed out; a new one is made instead
    if (obj) {
        if (notify && OnExisting)
            OnExisting(this, obj);
        return obj;
    }

    TClass cls = FindRegClass(className);
    if (!cls)
        throw TExceptResRefManager(Format(SClassNotRegistered, className));
    bool allow = true;
    if (notify && OnBeforeCreate)
        OnBeforeCreate(this, className, allow);
    if (!allow)
        return nullptr;

    TComponent* instance = TObjectFactory::CreateObject(Application, cls);
    made = instance;
    AddResource(instance);
    if (notify && OnCreated)
        OnCreated(this, instance);
    return made.data();
}

void TResRefManager::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove || !AComponent)
        return;
    // Found by class name, not by object: a dying window's entry is the first of its
    // name because entries are appended in registration order.
    const QString name = AComponent->ClassName();
    if (LookupResource(name))
        RemoveResource(name);
}

// ---------------------------------------------------------------------------------

TResRefManager* ResRefManager()
{
    return GResRefManager;
}

void InitializeResRefManager()
{
    if (!GResRefManager)
        GResRefManager = new TResRefManager(nullptr);
}

void FinalizeResRefManager()
{
    TComponent::FreeAndNil(GResRefManager);
}
