#include "trees/untQueryThread.h"

#include <QCoreApplication>
#include <QThread>
#include <exception>

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
    try {
        Execute();
    } catch (const std::exception& e) {
        FErrorText = ExceptionMessage(e);
    } catch (...) {
        FErrorText = QStringLiteral("查询线程发生未知错误");
    }
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

void TQueryThread::Synchronize(const std::function<void()>& method)
{
    std::exception_ptr error;
    QMetaObject::invokeMethod(
        this,
        [&] {
            try {
                method();
            } catch (...) {
                error = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (error)
        std::rethrow_exception(error);
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
    if (!FQueryDelivered && FQuery)
        FQuery->Free();
    FQuery = nullptr;
    const TNotifyEvent::Handler handler = OnTerminate.handler();
    if (handler)
        CallHandlerSafely(this, [&] { handler(this); });
    if (FreeOnTerminate)
        deleteLater();
}
