// The connection registry, the dialect builders on a connection, the reference-counted
// query and the value-to-text helper.
#include "common/untDataBase.h"

#include <QThread>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "tests/support/DbTestSupport.h"

using namespace Qt::StringLiterals;

namespace {

// Counts the free notices of the components it watches.
class FreeWatcher : public TComponent {
public:
    FreeWatcher() : TComponent(nullptr) {}
    void Watch(TComponent* c) { c->FreeNotification(this); }
    void Notification(TComponent* AComponent, TOperation Operation) override
    {
        TComponent::Notification(AComponent, Operation);
        if (Operation == opRemove) {
            ++Freed;
            if (OnFree)
                OnFree(AComponent);
        }
    }
    std::atomic<int> Freed{0};
    std::function<void(TComponent*)> OnFree;
};

struct WatcherDeleter {
    void operator()(FreeWatcher* w) const { w->Free(); }
};
using WatcherPtr = std::unique_ptr<FreeWatcher, WatcherDeleter>;

class DbManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        manager = new TDbManager(nullptr);
        manager->SetConnectionString(u"sqlite:/tmp/registry.db"_s);
        manager->SetLoginPrompt(true);
    }
    void TearDown() override
    {
        manager->FreeConnections();
        TComponent::FreeAndNil(manager);
    }
    TDbManager* manager = nullptr;
};

TEST_F(DbManagerTest, SameDefTwiceIsOneRegisteredObject)
{
    TAdoConn* first = manager->GetConnection(u"Def"_s);
    TAdoConn* second = manager->GetConnection(u"Def"_s);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(manager->GetConnection(u"DEF"_s), first) << "names ignore letter case";
    EXPECT_EQ(manager->Connections()->Count(), 1);
    EXPECT_EQ(manager->IndexOfConnection(u"def"_s), 0);
    EXPECT_FALSE(first->Connected()) << "nothing is opened on look-up";
    EXPECT_EQ(first->Owner(), nullptr);
}

TEST_F(DbManagerTest, CreatedConnectionsCarryTheRegistrySettings)
{
    FreeWatcher owner;
    TAdoConn* conn = manager->CreateConnection(&owner);
    EXPECT_EQ(conn->Owner(), &owner);
    EXPECT_EQ(conn->ConnectionString(), u"sqlite:/tmp/registry.db"_s);
    EXPECT_TRUE(conn->LoginPrompt());
    EXPECT_FALSE(conn->Connected());
    EXPECT_EQ(manager->Connections()->Count(), 0) << "creating does not register";
}

TEST_F(DbManagerTest, DuplicateNameIsRefusedAndTheRegistryUnchanged)
{
    TAdoConn* def = manager->GetConnection(u"Def"_s);
    TAdoConn* other = manager->CreateConnection(nullptr);
    try {
        manager->AddConnection(other, u"Def"_s);
        FAIL() << "a second Def was registered";
    } catch (const TExceptDbManager& e) {
        EXPECT_EQ(e.Message(), u"一个名为Def的TAdoConn对象已经存在！"_s);
    }
    EXPECT_EQ(manager->Connections()->Count(), 1);
    EXPECT_EQ(manager->GetConnection(u"Def"_s), def);
    other->Free();
}

TEST_F(DbManagerTest, AFreedConnectionLeavesTheRegistry)
{
    TAdoConn* a = manager->GetConnection(u"A"_s);
    manager->GetConnection(u"B"_s);
    ASSERT_EQ(manager->Connections()->Count(), 2);
    a->Free();
    EXPECT_EQ(manager->IndexOfConnection(u"A"_s), -1);
    EXPECT_EQ(manager->IndexOfConnection(u"B"_s), 0);
    TAdoConn* again = manager->GetConnection(u"A"_s);
    EXPECT_EQ(manager->Connections()->Count(), 2);
    EXPECT_EQ(manager->IndexOfConnection(u"A"_s), 1);
    EXPECT_NE(again, nullptr);
}

TEST_F(DbManagerTest, FreeConnectionsFreesOnlyUnownedOnes)
{
    FreeWatcher owner;
    TAdoConn* owned = manager->CreateConnection(&owner);
    manager->AddConnection(owned, u"Owned"_s);
    manager->GetConnection(u"Def"_s);
    manager->FreeConnections();
    EXPECT_EQ(manager->Connections()->Count(), 1);
    EXPECT_EQ(manager->IndexOfConnection(u"Owned"_s), 0);
}

// ---------------------------------------------------------------- dialect on a connection

TEST(AdoConnDialectTest, BuildersFollowTheProvider)
{
    auto* conn = new TAdoConn(nullptr);
    const QStringList values{u"'3'"_s, u"x"_s, u"y"_s};
    for (const QString& provider : {u"SQLOLEDB"_s, u"Microsoft.Jet.OLEDB.4.0"_s, u"OraOLEDB.Oracle"_s, u"MSDASQL"_s,
                                    u"SQLite"_s, u"PostgreSQL"_s}) {
        conn->SetProvider(provider);
        const TSqlDialect d(provider);
        EXPECT_EQ(conn->IsAccess(), d.IsAccess());
        EXPECT_EQ(conn->IsSqlServer(), d.IsSqlServer());
        EXPECT_EQ(conn->IsOracle(), d.IsOracle());
        EXPECT_EQ(conn->IsSQLite(), d.IsSQLite());
        EXPECT_EQ(conn->IsPostgres(), d.IsPostgres());
        EXPECT_EQ(conn->SubstringFunctionName(), d.SubstringFunctionName());
        EXPECT_EQ(conn->NullReplace(u"a"_s, u"0"_s), d.NullReplace(u"a"_s, u"0"_s));
        EXPECT_EQ(conn->ValueMap(u"e"_s, values), d.ValueMap(u"e"_s, values));
        EXPECT_EQ(conn->LengthFunction(u"eid"_s), d.LengthFunction(u"eid"_s));
        EXPECT_EQ(conn->Concat(u"a"_s, u"b"_s), d.Concat(u"a"_s, u"b"_s));
        EXPECT_EQ(conn->Dialect().DialectKind(), d.DialectKind()) << provider.toStdString();
    }
    conn->Free();
}

TEST(AdoConnDialectTest, ProviderImpliedByTheConnectionString)
{
    auto* conn = new TAdoConn(nullptr);
    conn->SetConnectionString(u"postgresql://u@h/db"_s);
    EXPECT_TRUE(conn->IsPostgres());
    EXPECT_EQ(conn->Concat(u"eid"_s, u"'001'"_s), u"eid||'001'"_s);
    conn->SetConnectionString(u"DRIVER={ODBC Driver 18 for SQL Server};Server=h"_s);
    EXPECT_TRUE(conn->IsSqlServer());
    EXPECT_EQ(conn->LengthFunction(u"eid"_s), u"len(eid)"_s);
    conn->Free();
}

// ---------------------------------------------------------------- reference counting

class RefCountTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        watcher.reset(new FreeWatcher);
        query = new TARQuery(nullptr);
        watcher->Watch(query);
    }
    WatcherPtr watcher;
    TARQuery* query = nullptr;
};

TEST_F(RefCountTest, TheLastReferenceFreesTheQueryOnce)
{
    IARQueryPtr a(static_cast<IARQuery*>(query));
    EXPECT_EQ(query->RefCount(), 1);
    {
        IARQueryPtr b = a;
        EXPECT_EQ(query->RefCount(), 2);
        IARQueryPtr c = std::move(b);
        EXPECT_EQ(query->RefCount(), 2);
    }
    EXPECT_EQ(query->RefCount(), 1);
    EXPECT_EQ(watcher->Freed, 0);
    EXPECT_EQ(a->Query(), query);
    a.Clear();
    EXPECT_EQ(watcher->Freed, 1);
}

TEST_F(RefCountTest, ReleaseQueryFreesOnlyAnUnreferencedQuery)
{
    IARQueryPtr held(static_cast<IARQuery*>(query));
    ReleaseQuery(query);
    EXPECT_EQ(watcher->Freed, 0);
    EXPECT_EQ(query->RefCount(), 1);
    held.Clear();
    EXPECT_EQ(watcher->Freed, 1);

    auto* loose = new TARQuery(nullptr);
    watcher->Watch(loose);
    ReleaseQuery(loose);
    EXPECT_EQ(watcher->Freed, 2);
    ReleaseQuery(nullptr);
}

TEST_F(RefCountTest, AReferenceTakenDuringDestructionFreesNothingAgain)
{
    watcher->OnFree = [](TComponent* c) {
        // Someone looks at the query while it goes: the count passes 1 and 0 again.
        auto* q = static_cast<TARQuery*>(c);
        EXPECT_TRUE(q->Destroying());
        IARQueryPtr during(static_cast<IARQuery*>(q));
    };
    IARQueryPtr only(static_cast<IARQuery*>(query));
    only.Clear();
    EXPECT_EQ(watcher->Freed, 1);
}

TEST_F(RefCountTest, QueryInterfaceAnswersForItsInterfacesOnly)
{
    IARQueryPtr held(static_cast<IARQuery*>(query));
    void* out = nullptr;
    EXPECT_EQ(query->QueryInterface(IID_IARQuery, &out), S_OK);
    EXPECT_EQ(out, static_cast<void*>(static_cast<IARQuery*>(query)));
    EXPECT_EQ(query->RefCount(), 2);
    static_cast<IARQuery*>(out)->_Release();
    EXPECT_EQ(query->QueryInterface(IID_IInterface, &out), S_OK);
    static_cast<IARQuery*>(out)->_Release();
    out = &out;
    EXPECT_EQ(query->QueryInterface(QUuid::createUuid(), &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(query->RefCount(), 1);
}

TEST_F(RefCountTest, CountsStayExactUnderManyThreads)
{
    IARQueryPtr held(static_cast<IARQuery*>(query));
    std::vector<std::unique_ptr<QThread>> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back(QThread::create([held] {
            for (int i = 0; i < 20000; ++i) {
                IARQueryPtr copy = held;
                copy.Clear();
            }
        }));
        threads.back()->start();
    }
    for (auto& t : threads)
        ASSERT_TRUE(t->wait(60000));
    threads.clear();
    EXPECT_EQ(query->RefCount(), 1);
    EXPECT_EQ(watcher->Freed, 0);
    held.Clear();
    EXPECT_EQ(watcher->Freed, 1);
}

TEST_F(RefCountTest, TheLastReferenceMayGoOnAnotherThread)
{
    IARQueryPtr held(static_cast<IARQuery*>(query));
    std::unique_ptr<QThread> worker(QThread::create([ref = std::move(held)]() mutable { ref.Clear(); }));
    worker->start();
    ASSERT_TRUE(worker->wait(60000));
    EXPECT_EQ(watcher->Freed, 1);
}

// ---------------------------------------------------------------- OpenQuery on real databases

class OpenQueryTest : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override
    {
        db = std::make_unique<dbtest::ScratchDatabase>(GetParam());
        DBTEST_REQUIRE_READY(*db);
        conn = new TAdoConn(nullptr);
        conn->SetConnectionString(db->ConnectionString());
        conn->Execute(u"create table unit (eid varchar(12), ename varchar(40), note varchar(10))"_s);
        conn->Execute(u"insert into unit values ('101', '市教育局', null)"_s);
        conn->Execute(u"insert into unit values ('101001', '市教育局本级', 'x')"_s);
    }
    void TearDown() override
    {
        TComponent::FreeAndNil(conn);
        db.reset();
    }
    std::unique_ptr<dbtest::ScratchDatabase> db;
    TAdoConn* conn = nullptr;
};

TEST_P(OpenQueryTest, HandsBackTheOnlyReferenceToAnOpenQuery)
{
    const QString sql = u"select eid, ename, note\nfrom unit\norder by eid"_s;
    IARQueryPtr q = OpenQuery(conn, sql);
    ASSERT_TRUE(q);
    TARQuery* query = q->Query();
    EXPECT_EQ(query->RefCount(), 1);
    EXPECT_EQ(query->Owner(), nullptr);
    EXPECT_EQ(query->SQLText(), sql) << "line breaks kept";
    EXPECT_TRUE(query->Active());
    EXPECT_EQ(query->RecordCount(), 2);
    EXPECT_EQ(ValueToText(query->FieldByName(u"note"_s)->Value()), QString());
    EXPECT_EQ(query->FieldByName(u"ename"_s)->AsString(), u"市教育局"_s);
}

TEST_P(OpenQueryTest, FailuresRaiseNamingTheConnection)
{
    for (const QString& sql : {u"select * from no_such_table"_s, u"selec eid from unit"_s}) {
        try {
            IARQueryPtr q = OpenQuery(conn, sql);
            FAIL() << "opened " << sql.toStdString();
        } catch (const EADOError& e) {
            EXPECT_TRUE(e.Message().contains(conn->DisplayName())) << e.Message().toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, OpenQueryTest, ::testing::ValuesIn(dbtest::SqlBackends()), dbtest::BackendName);

// ---------------------------------------------------------------- value text

TEST(ValueToTextTest, NullIsEmptyAndOtherValuesTheirText)
{
    EXPECT_EQ(ValueToText(QVariant()), QString());
    EXPECT_EQ(ValueToText(QVariant(QMetaType::fromType<QString>())), QString());
    EXPECT_EQ(ValueToText(QVariant(QMetaType::fromType<double>())), QString());
    EXPECT_EQ(ValueToText(QVariant(u"101001"_s)), u"101001"_s);
    EXPECT_EQ(ValueToText(QVariant(42)), u"42"_s);
    EXPECT_EQ(ValueToText(QVariant(1250.5)), u"1250.5"_s);
    EXPECT_EQ(ValueToText(QVariant(u""_s)), QString());
}

} // namespace
