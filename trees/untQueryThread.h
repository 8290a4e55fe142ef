#pragma once
// TQueryThread: opens one prepared query on a worker thread and hands the opened query
// to a callback on the user-interface thread.
//
// The worker only opens the query (over its own clone of the query's connection: a Qt
// SQL connection belongs to the thread that opened it, and TADOConnection keeps one
// per thread). The query reads all its rows when it opens, so the callback can read
// them on the user-interface thread while the worker waits in the synchronised call.
//
// Lifetime: created suspended or running; with FreeOnTerminate (set by the
// constructor) the object frees itself on the user-interface thread once the run has
// ended and OnTerminate has fired. Nobody waits for the thread: a creator that no
// longer wants the result calls Terminate() and clears OnQueryOpened and OnTerminate.
// The query belongs to whoever receives OnQueryOpened (it closes and frees it); when no
// callback happens (terminated, callback cleared, open failed) the thread frees the
// query itself when it ends.
//
// Errors of the open or of the callback end the run quietly: OnTerminate still fires,
// and ErrorText() tells what happened. Never wait for a running TQueryThread on the
// user-interface thread: the worker may be blocked handing its query over to it.
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>

#include "platform/Classes.h"

class QThread;
class TADOQuery;
class TDataSet;
class TTreeNode;
class TQueryThread;

// (Thread, DataSet): the opened query, on the user-interface thread.
using TQueryOpenedEvent = TEvent<TQueryThread*, TDataSet*>;

class TQueryThread : public QObject {
    Q_OBJECT
public:
    // Created on the user-interface thread. The query keeps its connection and SQL.
    TQueryThread(bool CreateSuspended, TADOQuery* AQuery);
    ~TQueryThread() override;
    TQueryThread(const TQueryThread&) = delete;
    TQueryThread& operator=(const TQueryThread&) = delete;

    // Starts a suspended thread (once; later calls do nothing).
    void Resume();
    // Asks the thread to deliver nothing; an open already running is not interrupted.
    void Terminate() { FTerminated = true; }
    bool IsTerminated() const { return FTerminated.load(); }

    TADOQuery* Query() const { return FQuery; }
    // The message of the error that ended the run, empty when none (read it in
    // OnTerminate).
    QString ErrorText() const { return FErrorText; }

    // Frees the object after OnTerminate (true from the constructor). A thread with
    // FreeOnTerminate false is freed by its creator, after OnTerminate.
    bool FreeOnTerminate = true;
    TQueryOpenedEvent OnQueryOpened;
    // Fired on the user-interface thread when the run has ended (Sender: the thread).
    TNotifyEvent OnTerminate;
    // The tree node whose children the query lists: the receiver's, never used here.
    TTreeNode* Node = nullptr;

    // Threads created and not yet ended (started or not), for shutdown and tests.
    static int LiveCount();

protected:
    // Runs on the worker: opens the query and hands it over.
    virtual void Execute();
    // Runs `method` on the user-interface thread and waits until it has returned; an
    // exception of `method` is raised again here, on the worker.
    void Synchronize(const std::function<void()>& method);

private:
    void Run();
    void DoQueryOpened();
    void RunEnded();
    // Runs the call that Synchronize posted, on the user-interface thread.
    Q_INVOKABLE void RunSynchronizedCall();

    TADOQuery* FQuery;
    QThread* FThread;
    std::atomic<bool> FTerminated{false};
    bool FStarted = false;
    bool FQueryDelivered = false;   // written on the user-interface thread only
    std::mutex FEndLock;            // orders the worker's last writes before RunEnded
    QString FErrorText;             // written by the worker as it ends
    // The call Synchronize hands over. Members made with the object (before the worker
    // starts) and guarded by FCallLock: nothing the worker allocates is read by the
    // user-interface thread before it has taken the lock.
    std::mutex FCallLock;
    std::condition_variable FCallDone;
    const std::function<void()>* FCall = nullptr;
    bool FCallFinished = false;
    std::exception_ptr FCallError;
};
