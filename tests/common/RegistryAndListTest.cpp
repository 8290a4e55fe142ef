// The locked object string list and the class registry.
#include <gtest/gtest.h>

#include "common/untClassRegist.h"
#include "common/untObjectStringList.h"
#include "tests/common/DuplicateName.h"

namespace {

class TRegBase : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TRegBase(TComponent* AOwner) : TComponent(AOwner) {}
};

class TRegLeaf : public TRegBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TRegLeaf(TComponent* AOwner) : TRegBase(AOwner) {}
};

class ClassRegistry : public ::testing::Test {
protected:
    void SetUp() override { InitializeClassRegistry(); }
    void TearDown() override { FinalizeClassRegistry(); }
};

} // namespace

TEST(ObjectStringList, NamesIgnoreCaseAndTheFirstDuplicateWins)
{
    TObjectStringList list;
    QObject a, b, c;
    EXPECT_EQ(list.AddObject(QStringLiteral("TbfrmTallyleaf"), &a), 0);
    EXPECT_EQ(list.AddObject(QStringLiteral("Other"), &b), 1);
    EXPECT_EQ(list.AddObject(QStringLiteral("TBFRMTALLYLEAF"), &c), 2);
    EXPECT_EQ(list.IndexOf(QStringLiteral("tbfrmtallyleaf")), 0);
    EXPECT_EQ(list.IndexOf(QStringLiteral("absent")), -1);
    list.Delete(0);
    EXPECT_EQ(list.IndexOf(QStringLiteral("TbfrmTallyleaf")), 1);
    EXPECT_EQ(list.GetObject(1), &c);
    EXPECT_THROW(list.GetObject(2), EStringListError);
    EXPECT_THROW(list.Delete(-1), EStringListError);
    EXPECT_EQ(list.Count(), 2);   // a failed operation leaves the list and its lock usable
}

TEST_F(ClassRegistry, RegisteringAClassRegistersItsAncestorsUpToTPersistent)
{
    RegClass(&TRegLeaf::staticMetaObject);
    EXPECT_EQ(FindRegClass(QStringLiteral("TRegLeaf")), &TRegLeaf::staticMetaObject);
    EXPECT_EQ(FindRegClass(QStringLiteral("TRegBase")), &TRegBase::staticMetaObject);
    EXPECT_EQ(FindRegClass(QStringLiteral("TComponent")), &TComponent::staticMetaObject);
    EXPECT_EQ(FindRegClass(QStringLiteral("TPersistent")), &TPersistent::staticMetaObject);
    EXPECT_EQ(FindRegClass(QStringLiteral("QObject")), nullptr);   // registration stops at TPersistent
    EXPECT_EQ(FindRegClass(QStringLiteral("tregleaf")), &TRegLeaf::staticMetaObject);
    EXPECT_EQ(FindRegClass(QStringLiteral("TNeverRegistered")), nullptr);
    EXPECT_EQ(FindRegClass(QString()), nullptr);
}

TEST_F(ClassRegistry, RegisteringTwiceAddsNothingAndRaisesNothing)
{
    RegClass(&TRegBase::staticMetaObject);
    EXPECT_NO_THROW(RegClass(&TRegBase::staticMetaObject));
    // Registration stops at the first registered ancestor: the leaf goes in alone.
    EXPECT_NO_THROW(RegClass(&TRegLeaf::staticMetaObject));
    EXPECT_EQ(FindRegClass(QStringLiteral("TRegLeaf")), &TRegLeaf::staticMetaObject);
}

TEST_F(ClassRegistry, AnotherClassOfARegisteredNameIsADuplicate)
{
    RegClass(DuplicateNameClassA());
    ASSERT_EQ(ClassNameOf(DuplicateNameClassA()), ClassNameOf(DuplicateNameClassB()));
    try {
        RegClass(DuplicateNameClassB());
        FAIL() << "a second class of the same name was registered";
    } catch (const EFilerError& e) {
        EXPECT_TRUE(e.Message().contains(ClassNameOf(DuplicateNameClassB())));
    }
    EXPECT_EQ(FindRegClass(ClassNameOf(DuplicateNameClassA())), DuplicateNameClassA());
}

TEST_F(ClassRegistry, BestGroupPrefersTheMoreDerivedRoot)
{
    TRegGroup persistent(&TPersistent::staticMetaObject);
    TRegGroup components(&TComponent::staticMetaObject);
    TClass leaf = &TRegLeaf::staticMetaObject;
    EXPECT_EQ(BestGroup(&components, &persistent, leaf), &components);
    EXPECT_EQ(BestGroup(&persistent, &components, leaf), &components);
    EXPECT_EQ(BestGroup(&persistent, nullptr, leaf), &persistent);
    EXPECT_EQ(BestGroup(nullptr, nullptr, leaf), nullptr);
    EXPECT_EQ(BestGroup(&components, nullptr, &QObject::staticMetaObject), nullptr);
}

#include "RegistryAndListTest.moc"
