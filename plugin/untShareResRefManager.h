#pragma once
// Keeps the plug-in's shared resources, in practice its windows, by class name: hands
// out the live instance of a class, creates it through the class registry and the
// object factory when there is none, and counts the registered components. Each
// registered component holds one counted reference; when the last one goes, the
// owner hears of it through OnAllReleased.
#include <QList>
#include <QPointer>
#include <atomic>
#include <memory>

#include "common/untObjectStringList.h"
#include "plugin/untIShareResRefManager.h"

TALLYLEAF_DECLARE_EXCEPTION(TExceptResRefManager, Exception);

class TResRefManager;

// One per registered component; holding it keeps the manager's count up by one.
struct TObjRefInfo {
    IResRefManagerRef ResRef;
};

using TAllReleasedProc = void (*)(TResRefManager* manager);
using TBeforeCreateProc = void (*)(TResRefManager* manager, const QString& className, bool& allow);
using TObjectProc = void (*)(TResRefManager* manager, TObject* object);

class TResRefManager : public TComponent, public IResRefManager {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TResRefManager(TComponent* AOwner = nullptr);
    ~TResRefManager() override;

    // IInterface: the count never frees the manager. QueryInterface answers for
    // IResRefManager and IInterface.
    int32_t QueryInterface(const QUuid& iid, void** out) override;
    int32_t _AddRef() override;
    int32_t _Release() override;

    void AddResource(TComponent* component) override;
    void RemoveResource(const QString& className) override;
    TObject* RequestResource(const QString& className, bool notify) override;
    TObject* LookupResource(const QString& className) override;

    void Notification(TComponent* AComponent, TOperation Operation) override;

    int32_t RefCount() const { return FRefCount.load(); }
    int ResourceCount() const { return FObjList.Count(); }

    TAllReleasedProc OnAllReleased = nullptr;
    TBeforeCreateProc OnBeforeCreate = nullptr;
    TObjectProc OnCreated = nullptr;
    TObjectProc OnExisting = nullptr;

private:
    TObject* DoRequestResource(const QString& className, bool notify, QPointer<TComponent>& made);

    std::atomic<int32_t> FRefCount{0};
    QList<TObjRefInfo*> FRefInfos;
    TObjectStringList FObjList;
};

// The library's one manager (unit initialisation creates it, finalisation frees it).
TResRefManager* ResRefManager();
void InitializeResRefManager();
void FinalizeResRefManager();
