#include "trees/untQueryThread.h"

#include <QCoreApplication>
#include <QThread>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

#include "platform/ADODB.h"
#include "platform/Controls.h"

namespace {

std::atomic<int>& LiveThreads()
{
    static std::atomic<int> count{0};
    return count;
}

} // namespace

TQueryThread::TQueryThread(bool CreateSuspended, TADOQuery* AQuery) : FQuery(AQuery)
{
    ++LiveThreads();
    FThread = QThread::create([this] { Run(); });
    FThread->setParent(this);
    // The end of the run is handled on this object's thread, the user-interface thread.
    connect(FThread, &QThread::finished, this, &TQueryThread::RunEnded, Qt::QueuedConnection);
    if (!CreateSuspended)
        Resume();
}

TQueryThread::~TQueryThread()
{
    // A thread freed by its creator before it ran never opens its query either.
    if (!FStarted && FQuery)
        FQuery->Free();
    if (FThread->isRunning()) {
        FTerminated = true;
        FThread->wait();
    }
    --LiveThreads();
}

int TQueryThread::LiveCount() { return LiveThreads().load(); }

void TQueryThread::Resume()
{
    if (FStarted)
        return;
    FStarted = true;
    FThread->start();
}

void TQueryThread::Run()
{
    QString error;
    try {
        Execute();
    } catch (const std::exception& e) {
        error = ExceptionMessage(e);
    } catch (...) {
        error = QStringLiteral("查询线程发生未知错误");
    }
    // The last thing the worker does: everything it wrote is ordered before RunEnded.
    const std::lock_guard<std::mutex> end(FEndLock);
    FErrorText = error;
}

void TQueryThread::Execute()
{
    if (IsTerminated() || !FQuery)
        return;
    // A connection closed by the user-interface thread stays closed: the worker would
    // otherwise open it again through its own clone.
    TADOConnection* connection = FQuery->Connection();
    if (!connection || !connection->Connected())
        throw EADOError(QStringLiteral("查询线程：数据库连接没有打开"));
    FQuery->Open();
    Synchronize([this] { DoQueryOpened(); });
}

// The hand-over: the worker posts the call and sleeps until the user-interface thread
// has run it. The mutex orders the worker's writes (the opened query) before the
// call and the call's effects before the worker goes on, in terms that thread
// checkers can see too.
void TQueryThread::Synchronize(const std::function<void()>& method)
{
    struct TCall {
        std::mutex Lock;
        std::condition_variable Done;
        bool Finished = false;
        std::exception_ptr Error;
    };
    auto call = std::make_shared<TCall>();
    { const std::lock_guard<std::mutex> publish(call->Lock); }
    QMetaObject::invokeMethod(
        this,
        [call, &method] {
            { const std::lock_guard<std::mutex> receive(call->Lock); }
            std::exception_ptr error;
            try {
                method();
            } catch (...) {
                error = std::current_exception();
            }
            {
                const std::lock_guard<std::mutex> finish(call->Lock);
                call->Error = error;
                call->Finished = true;
            }
            call->Done.notify_one();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> wait(call->Lock);
    call->Done.wait(wait, [&] { return call->Finished; });
    if (call->Error)
        std::rethrow_exception(call->Error);
}

void TQueryThread::DoQueryOpened()
{
    if (IsTerminated())
        return;
    // A copy: the handler may clear OnQueryOpened (its receiver detaching) while it runs.
    const TQueryOpenedEvent::Handler handler = OnQueryOpened.handler();
    if (!handler)
        return;
    FQueryDelivered = true;
    handler(this, FQuery);
}

void TQueryThread::RunEnded()
{
    {
        const std::lock_guard<std::mutex> end(FEndLock);
    }
    if (!FQueryDelivered && FQuery)
        FQuery->Free();
    FQuery = nullptr;
    const TNotifyEvent::Handler handler = OnTerminate.handler();
    if (handler)
        CallHandlerSafely(this, [&] { handler(this); });
    if (FreeOnTerminate)
        deleteLater();
}
