#include "print/untReportJob.h"

#include "common/untDataBase.h"
#include "plugin/untDefConnection.h"
#include "print/untReportFill.h"
#include "sheet/WorkbookExport.h"

#include <QSqlDriver>
#include <QThread>
#include <QTimer>
#include <libpq-fe.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sqlite3.h>

namespace {

// Raised on the worker where a cancel is noticed; never leaves the job.
struct TJobCancelled {};

// SQLite asks this between steps of a statement; a non-zero answer stops the statement
// as sqlite3_interrupt does.
int StopWhenCancelled(void* cancelled)
{
    return static_cast<const std::atomic<bool>*>(cancelled)->load() ? 1 : 0;
}

constexpr int SqliteStepsBetweenChecks = 1000;

} // namespace

// What stops the worker's statement from another thread. On SQLite the worker's own
// connection checks the cancel flag while a statement runs (no other thread ever touches a
// SQLite handle, which the data layer may close after a failed statement); on PostgreSQL
// the cancel request goes over a separate channel that outlives the connection.
struct TStatementInterrupt {
    explicit TStatementInterrupt(const QSqlDatabase& db, std::atomic<bool>& cancelled)
    {
        const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();

        if (!handle.isValid())
            return;
        if (qstrcmp(handle.typeName(), "sqlite3*") == 0) {
            if (sqlite3* sqlite = *static_cast<sqlite3* const*>(handle.constData()))
                sqlite3_progress_handler(sqlite, SqliteStepsBetweenChecks, StopWhenCancelled, &cancelled);
        } else if (qstrcmp(handle.typeName(), "PGconn*") == 0 || qstrcmp(handle.typeName(), "pg_conn*") == 0) {
            if (PGconn* pg = *static_cast<PGconn* const*>(handle.constData()))
                Pg = PQgetCancel(pg);
        }
    }
    ~TStatementInterrupt()
    {
        if (Pg)
            PQfreeCancel(Pg);
    }
    TStatementInterrupt(const TStatementInterrupt&) = delete;
    TStatementInterrupt& operator=(const TStatementInterrupt&) = delete;

    void Send() const
    {
        if (Pg) {
            char error[256];
            PQcancel(Pg, error, int(sizeof error));   // an idle session ignores it

        }
    }

    PGcancel* Pg = nullptr;
};

// Counts the rows for the watcher and stops the reading and the writing once cancelled.
// Counted comes on the worker, which reads the statement; the rest on the thread that writes
// the rows.
class TReportJob::TJobProgress : public TReportProgress {
public:
    explicit TJobProgress(TReportJob& job) : FJob(job) {}
    QString Counted(const TRowCount& count) override
    {
        FJob.CheckCancelled();
        if (count.All)
            FJob.FRowCount = count.Records;
        return FJob.FWorkbookTarget.isEmpty() ? QString()
                                              : sheet::WorkbookExport::rowLimitError(FJob.FWorkbookTarget, count.SheetRows);
    }
    void Start(int max) override
    {
        if (max >= 0)
            FJob.FRowCount = max;
        FJob.FPhase = TPhase::Writing;
        FJob.CheckCancelled();
        if (FJob.FWorkerProgress)
            FJob.FWorkerProgress->Start(max);
    }
    void Step() override
    {
        FJob.CheckCancelled();
        if (FJob.FWorkerProgress)
            FJob.FWorkerProgress->Step();
        ++FJob.FRowsWritten;
    }
    void Finish() override
    {
        if (FJob.FWorkerProgress)
            FJob.FWorkerProgress->Finish();
    }

private:
    TReportJob& FJob;
};

TReportJob::TReportJob(const TReportSelection& selection, const QString& fundCode, bool asNumbers, QObject* parent)
    : QObject(parent), FSelection(selection), FFundCode(fundCode), FAsNumbers(asNumbers)
{
    // Registered here, on the user-interface thread, before any worker looks for it.
    GetDefConnection();
}

TReportJob::~TReportJob()
{
    if (FThread) {
        Cancel();
        Wait();
    }
}

void TReportJob::Start()
{
    if (FThread)
        return;
    FThread = QThread::create([this] { Run(); });
    FThread->setParent(this);
    connect(FThread, &QThread::finished, this, [this] {
        if (FRepeat)
            FRepeat->stop();
        emit Finished();
    });
    FThread->start();
}

void TReportJob::Cancel()
{
    FCancelled = true;
    Interrupt();
    // The timer belongs to the job's thread; a cancel from the worker itself needs none.
    if (!FRepeat && FThread && !Ended() && QThread::currentThread() == thread()) {
        FRepeat = new QTimer(this);
        connect(FRepeat, &QTimer::timeout, this, [this] { Interrupt(); });
        FRepeat->start(CancelRepeatMs);
    }
}

void TReportJob::Wait()
{
    if (!FThread)
        return;
    while (!FThread->wait(CancelRepeatMs))
        if (FCancelled)
            Interrupt();
}

bool TReportJob::Ended() const
{
    const TPhase phase = FPhase.load();
    return phase == TPhase::Done || phase == TPhase::Cancelled || phase == TPhase::Failed;
}

QString TReportJob::ErrorText() const
{
    std::lock_guard lock(FLock);
    return FError;
}

std::optional<sheet::Sheet> TReportJob::TakeSheet()
{
    std::lock_guard lock(FLock);
    std::optional<sheet::Sheet> sheet = std::move(FSheet);
    FSheet.reset();
    return sheet;
}

void TReportJob::ReturnFreedMemory()
{
#if defined(__GLIBC__)
    // glibc keeps freed heap for later allocations, in every thread's arena; a report's
    // rows are millions of small blocks that leave it large and mostly empty.
    malloc_trim(0);
#endif
}

void TReportJob::Register(TStatementInterrupt* interrupt)
{
    std::lock_guard lock(FLock);
    FInterrupt = interrupt;
}

void TReportJob::Interrupt()
{
    std::lock_guard lock(FLock);
    if (FInterrupt)
        FInterrupt->Send();
}

void TReportJob::CheckCancelled() const
{
    if (FCancelled)
        throw TJobCancelled();
}

void TReportJob::Run()
{
    FPhase = TPhase::Querying;
    TPhase outcome = TPhase::Failed;
    std::optional<sheet::Sheet> sheet;
    QString error;
    try {
        TAdoConn* conn = GetDefConnection();
        if (!conn)
            throw TExceptReport("没有可用的数据库连接Def！");
        TStatementInterrupt interrupt(conn->Database(), FCancelled);
        Register(&interrupt);
        try {
            CheckCancelled();
            TJobProgress progress(*this);
            sheet = BuildReportSheet(FSelection, FFundCode, FAsNumbers, &progress);
            CheckCancelled();
            outcome = TPhase::Done;
        } catch (...) {
            Register(nullptr);
            throw;
        }
        Register(nullptr);
    } catch (const TJobCancelled&) {
        outcome = TPhase::Cancelled;
    } catch (const std::exception& e) {
        // A statement stopped by the cancel fails with the database's own words.
        outcome = FCancelled ? TPhase::Cancelled : TPhase::Failed;
        error = ExceptionMessage(e);
    }
    {
        std::lock_guard lock(FLock);
        if (outcome == TPhase::Done)
            FSheet = std::move(sheet);
        else if (outcome == TPhase::Failed)
            FError = error;
    }
    FPhase = outcome;
}
