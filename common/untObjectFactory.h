#pragma once
// Creates an instance of a component class chosen at run time, with an owner, and
// places it: forms keep their designed position, controls get the owner as parent.
// An instance of the factory is also a reference-counted lifetime keeper: variables
// registered with it are cleared (objects freed first, then references, last
// registered first) when its last reference goes.
#include <QList>
#include <QMutex>
#include <QObject>
#include <atomic>
#include <cstdint>
#include <memory>

#include "common/untInterface.h"
#include "platform/Classes.h"

TALLYLEAF_DECLARE_EXCEPTION(TObjectFactionError, Exception);

// Kinds of registered reference variables.
enum : uint8_t {
    rkPointer = 0,     // a plain pointer variable: set to null
    rkInterface = 1,   // an interface reference variable (IInterface*): released, then null
};

class IObjectFactory : public IInterface {
public:
    static const QUuid IID;
    virtual void RegisterReference(void* variableAddress, uint8_t kind) = 0;
    virtual void RegisterObject(QObject** variableAddress) = 0;

protected:
    ~IObjectFactory() = default;
};

class TObjectFactory final : public IObjectFactory {
public:
    TObjectFactory() = default;
    TObjectFactory(const TObjectFactory&) = delete;
    TObjectFactory& operator=(const TObjectFactory&) = delete;

    // Creates an instance of `cls` owned by `owner`. Raises TObjectFactionError when the
    // class is not a component class or when creating or placing it fails (the half-made
    // instance is freed first).
    static TComponent* CreateObject(TComponent* owner, TClass cls);

    // Answers for IObjectFactory and IInterface.
    int32_t QueryInterface(const QUuid& iid, void** out) override;
    int32_t _AddRef() override;
    // At zero the factory clears its variables and frees itself. A failure while
    // clearing ("释放资源失败！", "指针操作失败！") goes to the application object's
    // HandleException: the release runs in destructors, which must not throw.
    int32_t _Release() override;

    void RegisterReference(void* variableAddress, uint8_t kind) override;
    void RegisterObject(QObject** variableAddress) override;

private:
    friend struct std::default_delete<TObjectFactory>;
    ~TObjectFactory() = default;
    void ClearObjects();
    void ClearReferences();

    struct TReference {
        void* Address;
        uint8_t Kind;
    };
    std::atomic<int32_t> FRefCount{0};
    QMutex FReferenceLock;
    QList<TReference> FReferences;
    QMutex FObjectLock;
    QList<QObject**> FObjects;
};

using IObjectFactoryRef = TInterfaceRef<IObjectFactory>;
