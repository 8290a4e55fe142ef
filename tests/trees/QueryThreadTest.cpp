// The query thread: opens on a worker over the worker's own connection, hands the
// opened query to the user-interface thread and waits meanwhile, and ends quietly
// when terminated, when nobody listens or when the open fails.
#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

#include "platform/ADODB.h"
#include "tests/trees/UnitTreeFixture.h"
#include "trees/untQueryThread.h"

using namespace unittree;

namespace {

// Records where and how the run went.
class TWatchedQueryThread : public TQueryThread {
public:
    // With `probe`, the run reads the query's state after the open; only for runs whose
    // query no receiver frees meanwhile.
    TWatchedQueryThread(TADOQuery* query, QThread** runOn, bool* opened, bool probe = false)
        : TQueryThread(true, query), FRunOn(runOn), FOpened(opened), FProbe(probe)
    {
    }

protected:
    void Execute() override
    {
        *FRunOn = QThread::currentThread();
        *FOpened = false;
        TQueryThread::Execute();
        // Without a probe: reached only when the open and the hand-over succeeded.
        *FOpened = FProbe ? Query()->Active() : true;
    }

private:
    QThread** FRunOn;
    bool* FOpened;
    bool FProbe;
};

const char* const kSlowCount =
    "with recursive n(i) as (select 1 union all select i+1 from n where i < 300000) select count(*) as c from n";

class QueryThreadTest : public UnitTableTest {
protected:
    TADOQuery* NewQuery(const QString& sql)
    {
        auto* q = new TADOQuery(nullptr);
        q->SetConnection(conn);
        q->SetSQLText(sql);
        return q;
    }

    struct Outcome {
        int callbacks = 0;
        int terminates = 0;
        int rowsSeen = -1;
        bool callbackOnUiThread = false;
        bool terminateOnUiThread = false;
        QString errorAtTerminate;
    };

    // Wires a thread to `out`; the callback reads every row and frees the data set.
    void Watch(TQueryThread* thread, Outcome& out)
    {
        thread->OnQueryOpened = [&out](TQueryThread*, TDataSet* ds) {
            ++out.callbacks;
            out.callbackOnUiThread = QThread::currentThread() == qApp->thread();
            out.rowsSeen = 0;
            for (ds->First(); !ds->Eof(); ds->Next())
                ++out.rowsSeen;
            ds->Close();
            ds->Free();
        };
        thread->OnTerminate = [&out](TObject* sender) {
            ++out.terminates;
            out.terminateOnUiThread = QThread::currentThread() == qApp->thread();
            out.errorAtTerminate = static_cast<TQueryThread*>(sender)->ErrorText();
        };
    }
};

TEST_P(QueryThreadTest, OpensOnTheWorkerAndHandsTheRowsToTheUserInterfaceThread)
{
    QThread* runOn = nullptr;
    bool opened = false;
    Outcome out;
    auto* thread = new TWatchedQueryThread(NewQuery(QStringLiteral("select eid from pubdept")), &runOn, &opened);
    Watch(thread, out);
    EXPECT_TRUE(thread->FreeOnTerminate);
    EXPECT_EQ(TQueryThread::LiveCount(), 1);
    thread->Resume();
    ASSERT_TRUE(WaitForQueryThreads());
    EXPECT_NE(runOn, qApp->thread());
    EXPECT_TRUE(opened);
    EXPECT_EQ(out.callbacks, 1);
    EXPECT_TRUE(out.callbackOnUiThread);
    EXPECT_EQ(out.rowsSeen, StandardUnits().size());
    EXPECT_EQ(out.terminates, 1);
    EXPECT_TRUE(out.terminateOnUiThread);
    EXPECT_TRUE(out.errorAtTerminate.isEmpty());
}

TEST_P(QueryThreadTest, ANotSuspendedThreadStartsAtOnce)
{
    Outcome out;
    auto* thread = new TQueryThread(false, NewQuery(QStringLiteral("select eid from pubdept")));
    Watch(thread, out);   // on this thread: the hand-over waits for the event loop
    ASSERT_TRUE(WaitForQueryThreads());
    EXPECT_EQ(out.callbacks, 1);
    EXPECT_EQ(out.terminates, 1);
}

// Every way of ending without a callback: the thread still ends, fires OnTerminate,
// frees itself and releases the query (the leak checker sees the last part).
TEST_P(QueryThreadTest, EndsWithoutCallbackWhenNobodyWantsTheRows)
{
    enum How { TerminatedBeforeResume, TerminatedWhileOpening, CallbackCleared, OpenFails };
    struct Case {
        const char* name;
        How how;
        const char* sql;
        bool expectError;
    };
    const Case cases[] = {
        {"terminated before resume", TerminatedBeforeResume, "select eid from pubdept", false},
        {"terminated while opening", TerminatedWhileOpening, kSlowCount, false},
        {"callback cleared", CallbackCleared, "select eid from pubdept", false},
        {"open fails", OpenFails, "select eid from pubdept where", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QThread* runOn = nullptr;
        bool opened = false;
        Outcome out;
        const bool probe = c.how == TerminatedBeforeResume || c.how == CallbackCleared;
        auto* thread = new TWatchedQueryThread(NewQuery(QString::fromLatin1(c.sql)), &runOn, &opened, probe);
        Watch(thread, out);
        if (c.how == TerminatedBeforeResume)
            thread->Terminate();
        if (c.how == CallbackCleared)
            thread->OnQueryOpened = nullptr;
        thread->Resume();
        if (c.how == TerminatedWhileOpening)
            thread->Terminate();
        ASSERT_TRUE(WaitForQueryThreads());
        EXPECT_EQ(out.callbacks, 0);
        EXPECT_EQ(out.terminates, 1);
        EXPECT_TRUE(out.terminateOnUiThread);
        EXPECT_EQ(!out.errorAtTerminate.isEmpty(), c.expectError) << out.errorAtTerminate.toStdString();
        if (c.how == CallbackCleared) {
            EXPECT_TRUE(opened);   // the open ran; only the hand-over found nobody
        }
        if (c.how == TerminatedBeforeResume) {
            EXPECT_FALSE(opened);
        }
    }
}

TEST_P(QueryThreadTest, AnErrorOfTheCallbackEndsTheRunQuietly)
{
    Outcome out;
    auto* thread = new TQueryThread(true, NewQuery(QStringLiteral("select eid from pubdept")));
    Watch(thread, out);
    thread->OnQueryOpened = [](TQueryThread*, TDataSet* ds) {
        ds->Free();
        throw EDatabaseError(QStringLiteral("读取单位失败"));
    };
    thread->Resume();
    ASSERT_TRUE(WaitForQueryThreads());
    EXPECT_EQ(out.terminates, 1);
    EXPECT_EQ(out.errorAtTerminate, QStringLiteral("读取单位失败"));
}

TEST_P(QueryThreadTest, AClosedConnectionIsNotOpenedAgainByTheWorker)
{
    Outcome out;
    auto* thread = new TQueryThread(true, NewQuery(QStringLiteral("select eid from pubdept")));
    Watch(thread, out);
    conn->Close();
    thread->Resume();
    ASSERT_TRUE(WaitForQueryThreads());
    EXPECT_EQ(out.callbacks, 0);
    EXPECT_EQ(out.terminates, 1);
    EXPECT_FALSE(conn->Connected());
    EXPECT_FALSE(out.errorAtTerminate.isEmpty());
}

TEST_P(QueryThreadTest, SeveralThreadsDeliverEachTheirOwnRows)
{
    const QStringList parents = {"101", "101001", "102", "103"};
    const auto children = ChildrenByParent(StandardUnits());
    QList<Outcome> outs(parents.size());
    for (int i = 0; i < parents.size(); ++i) {
        auto* thread = new TQueryThread(
            true, NewQuery(QStringLiteral("select eid from pubdept where peid=%1").arg(QuotedStr(parents[i]))));
        Watch(thread, outs[i]);
        thread->Resume();
    }
    ASSERT_TRUE(WaitForQueryThreads());
    for (int i = 0; i < parents.size(); ++i) {
        SCOPED_TRACE(parents[i].toStdString());
        EXPECT_EQ(outs[i].callbacks, 1);
        EXPECT_EQ(outs[i].rowsSeen, children.value(parents[i]).size());
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, QueryThreadTest, ::testing::ValuesIn(testsupport::Backends()), BackendName);

} // namespace
