// The object factory: creation by class with placement, and the lifetime keeper that
// clears registered variables when its last reference goes.
#include <gtest/gtest.h>

#include "common/untObjectFactory.h"
#include "platform/ExtCtrls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"
#include "tests/plugin/SpineForms.h"

namespace {

QStringList GFreed;

class TFreeRecorder : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TFreeRecorder(TComponent* AOwner) : TComponent(AOwner) {}
    ~TFreeRecorder() override { GFreed << Name(); }
};

class TCountedThing final : public IInterface {
public:
    int32_t QueryInterface(const QUuid&, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    int32_t _AddRef() override { return ++count; }
    int32_t _Release() override
    {
        if (failRelease)
            throw Exception(QStringLiteral("不能释放"));
        return --count;
    }
    int count = 1;
    bool failRelease = false;
    virtual ~TCountedThing() = default;
};

} // namespace

TEST(ObjectFactory, AFormKeepsItsDesignedPositionAndHasNoParent)
{
    TComponent owner(nullptr);
    TComponent* made = TObjectFactory::CreateObject(&owner, &TfrmSpineDialog::staticMetaObject);
    auto* form = dynamic_cast<TCustomForm*>(made);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Owner(), &owner);
    EXPECT_EQ(form->Position(), poDesigned);
    EXPECT_EQ(form->Parent(), nullptr);
    form->Free();
}

TEST(ObjectFactory, AControlGetsItsWindowedOwnerAsParent)
{
    auto* panel = new TPanel(nullptr);
    TComponent* made = TObjectFactory::CreateObject(panel, &TButton::staticMetaObject);
    auto* button = dynamic_cast<TControl*>(made);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->Parent(), panel);
    EXPECT_EQ(button->Owner(), panel);
    // A non-windowed owner gives no parent.
    TComponent plainOwner(nullptr);
    auto* orphan = dynamic_cast<TControl*>(TObjectFactory::CreateObject(&plainOwner, &TButton::staticMetaObject));
    ASSERT_NE(orphan, nullptr);
    EXPECT_EQ(orphan->Parent(), nullptr);
    panel->Free();
}

TEST(ObjectFactory, OnlyComponentClassesAreMade)
{
    TComponent owner(nullptr);
    try {
        TObjectFactory::CreateObject(&owner, &TPersistent::staticMetaObject);
        FAIL() << "a class that is not a component was made";
    } catch (const TObjectFactionError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("只能创建从TComponent继承过来的类的实例！"));
    }
    EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(ObjectFactory, AFailedCreationLeavesNothingBehind)
{
    TComponent owner(nullptr);
    try {
        TObjectFactory::CreateObject(&owner, &TfrmSpineBroken::staticMetaObject);
        FAIL() << "the broken window was made";
    } catch (const TObjectFactionError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("创建对象失败！"));
    }
    EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(ObjectFactory, RegisteredVariablesAreClearedObjectsFirstLastRegisteredFirst)
{
    GFreed.clear();
    QObject* first = new TFreeRecorder(nullptr);
    first->setProperty("Name", QStringLiteral("first"));
    QObject* second = new TFreeRecorder(nullptr);
    second->setProperty("Name", QStringLiteral("second"));
    void* plain = &GFreed;
    TCountedThing thing;
    IInterface* reference = &thing;
    int untouched = 7;
    void* other = &untouched;
    {
        IObjectFactoryRef factory(new TObjectFactory);
        factory->RegisterObject(&first);
        factory->RegisterObject(&second);
        factory->RegisterReference(&plain, rkPointer);
        factory->RegisterReference(&reference, rkInterface);
        factory->RegisterReference(&other, 9);   // an unknown kind is left alone
    }
    EXPECT_EQ(GFreed, (QStringList{QStringLiteral("second"), QStringLiteral("first")}));
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(plain, nullptr);
    EXPECT_EQ(reference, nullptr);
    EXPECT_EQ(thing.count, 0);
    EXPECT_EQ(other, &untouched);
}

// The last release runs in a reference's destructor: a failure to clear (here a registered
// interface that cannot be released) must reach the application, not end the process.
TEST(ObjectFactory, AFailedReleaseIsReportedThroughTheApplicationNotTheProcessEnd)
{
    InitRuntimeObjects();
    QStringList messages;
    Application->OnException = [&messages](TObject*, const QString& message) { messages << message; };
    {
        TCountedThing failing;
        failing.failRelease = true;
        IInterface* reference = &failing;
        IObjectFactoryRef factory(new TObjectFactory);
        factory->RegisterReference(&reference, rkInterface);
    }
    Application->OnException = nullptr;
    EXPECT_EQ(messages, QStringList{QStringLiteral("指针操作失败！")});
}

TEST(ObjectFactory, AnswersForItsOwnInterfaceAndIInterface)
{
    IObjectFactoryRef factory(new TObjectFactory);
    for (const QUuid& iid : {IObjectFactory::IID, IID_IInterface}) {
        void* out = nullptr;
        EXPECT_EQ(factory->QueryInterface(iid, &out), S_OK);
        ASSERT_EQ(out, static_cast<void*>(factory.get()));
        static_cast<IObjectFactory*>(out)->_Release();
    }
    void* out = nullptr;
    EXPECT_EQ(factory->QueryInterface(QUuid::createUuid(), &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

#include "ObjectFactoryTest.moc"
