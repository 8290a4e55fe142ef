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
// has run it. The call, its result and its error pass through members guarded by
// FCallLock, so the order of the worker's writes (the opened query) before the call,
// and of the call's effects before the worker goes on, is one that thread checkers see
// too (Qt's event queue, which carries the post, is invisible to them).
void TQueryThread::Synchronize(const std::function<void()>& method)
{
    std::unique_lock<std::mutex> lock(FCallLock);
    FCall = &method;
    FCallFinished = false;
    FCallError = nullptr;
    // By name: the queued call carries no object made on this thread for the receiver
    // to read.
    QMetaObject::invokeMethod(this, "RunSynchronizedCall", Qt::QueuedConnection);
    FCallDone.wait(lock, [this] { return FCallFinished; });
    FCall = nullptr;
    std::exception_ptr error = std::move(FCallError);
    FCallError = nullptr;
    lock.unlock();
    if (error)
        std::rethrow_exception(error);
}

void TQueryThread::RunSynchronizedCall()
{
    const std::function<void()>* method = nullptr;
    {
        const std::lock_guard<std::mutex> receive(FCallLock);
        method = FCall;
    }
    std::exception_ptr error;
    try {
        if (method)
            (*method)();
    } catch (...) {
        error = std::current_exception();
    }
    {
        const std::lock_guard<std::mutex> finish(FCallLock);
        FCallError = std::move(error);
        FCallFinished = true;
    }
    FCallDone.notify_one();
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
