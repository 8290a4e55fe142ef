#include "common/untObjectFactory.h"

#include <memory>

#include "platform/Controls.h"
#include "platform/Forms.h"

const QUuid IObjectFactory::IID{QStringLiteral("{D9B7D17E-F1AD-4740-B4D6-33089BA3462E}")};

namespace {
const QString SNotComponentClass = QStringLiteral("只能创建从TComponent继承过来的类的实例！");
const QString SCreateFailed = QStringLiteral("创建对象失败！");
const QString SFreeFailed = QStringLiteral("释放资源失败！");
const QString SPointerFailed = QStringLiteral("指针操作失败！");

// Forms keep the position of their resource; controls sit inside a windowed owner.
void PlaceInstance(TComponent* instance, TComponent* owner)
{
    if (auto* form = dynamic_cast<TForm*>(instance)) {
        form->SetPosition(poDesigned);
        return;
    }
    auto* control = dynamic_cast<TControl*>(instance);
    auto* parent = dynamic_cast<TWinControl*>(owner);
    if (control && parent)
        control->SetParent(parent);
}
} // namespace

TComponent* TObjectFactory::CreateObject(TComponent* owner, TClass cls)
{
    // By name, so that classes of another module's copy of the component model count.
    if (!cls || !ClassInheritsFromName(cls, "TComponent"))
        throw TObjectFactionError(SNotComponentClass);
    TComponent* instance = nullptr;
    try {
        instance = CreateComponent(cls, owner);
        if (!instance)
            throw Exception(SCreateFailed);
        PlaceInstance(instance, owner);
    } catch (...) {
        // The first error is not passed on: callers see one message for every failure.
        if (instance)
            instance->Free();
        throw TObjectFactionError(SCreateFailed);
    }
    return instance;
}

int32_t TObjectFactory::QueryInterface(const QUuid& iid, void** out)
{
    if (!out)
        return E_NOINTERFACE;
    if (iid == IID || iid == IID_IInterface) {
        _AddRef();
        *out = static_cast<IObjectFactory*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

int32_t TObjectFactory::_AddRef()
{
    return ++FRefCount;
}

int32_t TObjectFactory::_Release()
{
    const int32_t count = --FRefCount;
    if (count != 0)
        return count;
    std::unique_ptr<TObjectFactory> self(this);   // the lists go in every case
    // The last release comes from a reference's destructor, where an exception would end
    // the process: a failure goes to the application's exception handler instead.
    try {
        ClearObjects();   // a failure here skips the reference pass, as the error says
        ClearReferences();
    } catch (const std::exception& e) {
        if (Application)
            Application->HandleException(nullptr, e);
    }
    return 0;
}

void TObjectFactory::RegisterReference(void* variableAddress, uint8_t kind)
{
    QMutexLocker lock(&FReferenceLock);
    FReferences.append({variableAddress, kind});
}

void TObjectFactory::RegisterObject(QObject** variableAddress)
{
    QMutexLocker lock(&FObjectLock);
    FObjects.append(variableAddress);
}

void TObjectFactory::ClearObjects()
{
    QMutexLocker lock(&FObjectLock);
    try {
        while (!FObjects.isEmpty()) {
            QObject** variable = FObjects.last();
            QObject* object = *variable;
            *variable = nullptr;
            if (auto* component = dynamic_cast<TComponent*>(object))
                component->Free();
            else
                delete object;
            FObjects.removeLast();
        }
    } catch (...) {
        throw TObjectFactionError(SFreeFailed);
    }
}

void TObjectFactory::ClearReferences()
{
    QMutexLocker lock(&FReferenceLock);
    try {
        while (!FReferences.isEmpty()) {
            const TReference ref = FReferences.takeLast();
            if (ref.Kind == rkPointer) {
                *static_cast<void**>(ref.Address) = nullptr;
            } else if (ref.Kind == rkInterface) {
                auto** variable = static_cast<IInterface**>(ref.Address);
                if (IInterface* intf = *variable) {
                    *variable = nullptr;
                    intf->_Release();
                }
            }
            // Other kinds are ignored: their variables are left alone.
        }
    } catch (...) {
        throw TObjectFactionError(SPointerFailed);
    }
}
