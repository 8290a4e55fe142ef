// The resource reference manager: one live object per class name, counted references,
// and the callbacks around creation and release.
#include <gtest/gtest.h>

#include "common/untClassRegist.h"
#include "platform/Forms.h"
#include "plugin/untShareResRefManager.h"

namespace {

class TResourceA : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TResourceA(TComponent* AOwner) : TComponent(AOwner) {}
};

class TResourceB : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TResourceB(TComponent* AOwner) : TComponent(AOwner) {}
};

// Asks the manager for its own class while it is being destroyed.
class TReentrant : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TReentrant(TComponent* AOwner) : TComponent(AOwner) {}
    static inline TResRefManager* manager = nullptr;
    static inline TObject* madeWhileDying = nullptr;

protected:
    void BeforeDestruction() override
    {
        if (manager)
            madeWhileDying = manager->RequestResource(QStringLiteral("TReentrant"), false);
    }
};

struct TCalls {
    int allReleased = 0, beforeCreate = 0, created = 0, existing = 0;
    bool allow = true;
    bool throwInCreated = false;
    bool freeInCreated = false;
};
TCalls GCalls;

class ResRefManager_ : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitRuntimeObjects();
        InitializeClassRegistry();
        RegClass(&TResourceA::staticMetaObject);
        RegClass(&TResourceB::staticMetaObject);
        RegClass(&TReentrant::staticMetaObject);
        Application->OnException = [this](TObject* sender, const QString& message) {
            messages << message;
            senders << sender;
        };
        GCalls = {};
        manager = new TResRefManager(nullptr);
        manager->OnAllReleased = [](TResRefManager*) { ++GCalls.allReleased; };
        manager->OnBeforeCreate = [](TResRefManager*, const QString&, bool& allow) {
            ++GCalls.beforeCreate;
            allow = GCalls.allow;
        };
        manager->OnCreated = [](TResRefManager*, TObject* object) {
            ++GCalls.created;
            if (GCalls.freeInCreated)
                dynamic_cast<TComponent*>(object)->Free();
            if (GCalls.throwInCreated)
                throw Exception(QStringLiteral("回调失败"));
        };
        manager->OnExisting = [](TResRefManager*, TObject*) { ++GCalls.existing; };
    }
    void TearDown() override
    {
        TComponent::FreeAndNil(manager);
        while (Application->ComponentCount() > 0)
            Application->Components(0)->Free();
        Application->OnException = nullptr;
        FinalizeClassRegistry();
    }

    TResRefManager* manager = nullptr;
    QStringList messages;
    QList<TObject*> senders;
};

TComponent* AsComponent(TObject* o) { return dynamic_cast<TComponent*>(o); }

} // namespace

TEST_F(ResRefManager_, ALiveObjectIsHandedOutAgain)
{
    TObject* first = manager->RequestResource(QStringLiteral("TResourceA"), true);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(AsComponent(first)->Owner(), Application);
    TObject* second = manager->RequestResource(QStringLiteral("tresourcea"), true);
    EXPECT_EQ(second, first);
    EXPECT_EQ(GCalls.beforeCreate, 1);
    EXPECT_EQ(GCalls.created, 1);
    EXPECT_EQ(GCalls.existing, 1);
    EXPECT_EQ(manager->RefCount(), 1);
}

TEST_F(ResRefManager_, WithoutNotifyNoCallbackRuns)
{
    TObject* made = manager->RequestResource(QStringLiteral("TResourceA"), false);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(manager->RequestResource(QStringLiteral("TResourceA"), false), made);
    EXPECT_EQ(GCalls.beforeCreate + GCalls.created + GCalls.existing, 0);
}

TEST_F(ResRefManager_, FreeingTheLastComponentReleasesOnce)
{
    TObject* a = manager->RequestResource(QStringLiteral("TResourceA"), true);
    TObject* b = manager->RequestResource(QStringLiteral("TResourceB"), true);
    EXPECT_EQ(manager->RefCount(), 2);
    AsComponent(a)->Free();
    EXPECT_EQ(GCalls.allReleased, 0);
    EXPECT_EQ(manager->LookupResource(QStringLiteral("TResourceA")), nullptr);
    AsComponent(b)->Free();
    EXPECT_EQ(GCalls.allReleased, 1);
    EXPECT_EQ(manager->RefCount(), 0);
    EXPECT_EQ(manager->ResourceCount(), 0);
    // It counts again from zero.
    TObject* again = manager->RequestResource(QStringLiteral("TResourceA"), true);
    EXPECT_EQ(manager->RefCount(), 1);
    AsComponent(again)->Free();
    EXPECT_EQ(GCalls.allReleased, 2);
}

TEST_F(ResRefManager_, AnUnregisteredNameIsReportedWithTheManagerAsSender)
{
    EXPECT_EQ(manager->RequestResource(QStringLiteral("TMissing"), true), nullptr);
    EXPECT_EQ(messages, QStringList{QStringLiteral("类TMissing没有进行注册或不存在！")});
    EXPECT_EQ(senders, QList<TObject*>{manager});
    EXPECT_EQ(manager->ResourceCount(), 0);
    EXPECT_EQ(GCalls.beforeCreate, 0);
}

TEST_F(ResRefManager_, ARefusedCreationMakesNothingAndSaysNothing)
{
    GCalls.allow = false;
    EXPECT_EQ(manager->RequestResource(QStringLiteral("TResourceA"), true), nullptr);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(Application->ComponentCount(), 0);
    EXPECT_EQ(GCalls.created, 0);
}

TEST_F(ResRefManager_, AFailingCallbackAfterCreationStillReturnsTheObject)
{
    GCalls.throwInCreated = true;
    TObject* made = manager->RequestResource(QStringLiteral("TResourceA"), true);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(messages, QStringList{QStringLiteral("回调失败")});
    EXPECT_EQ(manager->LookupResource(QStringLiteral("TResourceA")), made);
}

TEST_F(ResRefManager_, ACallbackThatFreesTheNewObjectGetsNoPointerBack)
{
    GCalls.freeInCreated = true;
    for (const bool failing : {false, true}) {
        GCalls.throwInCreated = failing;
        EXPECT_EQ(manager->RequestResource(QStringLiteral("TResourceA"), true), nullptr) << failing;
        EXPECT_EQ(manager->ResourceCount(), 0) << failing;
        EXPECT_EQ(Application->ComponentCount(), 0) << failing;
    }
    EXPECT_EQ(messages, QStringList{QStringLiteral("回调失败")});
}

TEST_F(ResRefManager_, RemovingAnAbsentNameChangesNothing)
{
    TObject* a = manager->RequestResource(QStringLiteral("TResourceA"), false);
    manager->RemoveResource(QStringLiteral("TNotThere"));
    EXPECT_EQ(manager->ResourceCount(), 1);
    EXPECT_EQ(manager->RefCount(), 1);
    EXPECT_EQ(manager->LookupResource(QStringLiteral("TResourceA")), a);
}

TEST_F(ResRefManager_, DestroyingTheManagerCallsNoCallback)
{
    TObject* a = manager->RequestResource(QStringLiteral("TResourceA"), true);
    TComponent::FreeAndNil(manager);
    EXPECT_EQ(GCalls.allReleased, 0);
    AsComponent(a)->Free();   // the component no longer points at the manager
    EXPECT_EQ(GCalls.allReleased, 0);
}

TEST_F(ResRefManager_, ADyingComponentIsNeverHandedOut)
{
    TReentrant::manager = manager;
    TReentrant::madeWhileDying = nullptr;
    TObject* first = manager->RequestResource(QStringLiteral("TReentrant"), false);
    AsComponent(first)->Free();
    ASSERT_NE(TReentrant::madeWhileDying, nullptr);
    EXPECT_NE(TReentrant::madeWhileDying, first);
    // The dying one's notice removed its own (first) entry; the new one stays.
    EXPECT_EQ(manager->ResourceCount(), 1);
    EXPECT_EQ(manager->LookupResource(QStringLiteral("TReentrant")), TReentrant::madeWhileDying);
    EXPECT_EQ(manager->RefCount(), 1);
    EXPECT_EQ(GCalls.allReleased, 0);
    TReentrant::manager = nullptr;   // the survivor goes quietly at tear-down
}

TEST_F(ResRefManager_, QueryInterfaceAnswersForTheManagerInterfaceAndIInterface)
{
    for (const QUuid& iid : {IResRefManager::IID, IID_IInterface}) {
        void* out = nullptr;
        EXPECT_EQ(manager->QueryInterface(iid, &out), S_OK);
        EXPECT_EQ(out, static_cast<void*>(static_cast<IResRefManager*>(manager)));
        EXPECT_EQ(manager->RefCount(), 1);
        manager->_Release();
    }
    EXPECT_EQ(GCalls.allReleased, 2);   // the count reached zero again each time
    void* out = manager;
    EXPECT_EQ(manager->QueryInterface(QUuid::createUuid(), &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

#include "ResRefManagerTest.moc"
