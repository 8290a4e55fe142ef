#pragma once
// TReportJob: one report built away from the user-interface thread.
//
// The worker runs BuildReportSheet (the look-ups, the detail statement, the template and
// every row, in bulk into a sheet model) on a thread of its own, and so on a Qt connection
// of its own: the "Def" connection keeps one per thread, and the worker's goes when the
// worker ends. The worker reads the statement; its rows are written meanwhile on a second
// thread (TPartWriter). Whoever started the job watches its phase and rows, and may cancel
// it at any time from the user-interface thread:
//   - a statement that runs is stopped: sqlite3_interrupt on SQLite, a cancel request on
//     PostgreSQL; other databases finish the statement first;
//   - the reading stops at the next part of rows, the writing at the next row.
// A cancel request may reach the database just before a statement starts and be lost; it is
// therefore sent again every CancelRepeatMs until the worker has ended.
//
// A job that is cancelled or fails hands over no sheet at all: nothing part-built can be
// shown. The next job opens a new connection on its own worker; the connections of other
// threads are never touched.
#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "print/untDetailSql.h"
#include "sheet/Sheet.h"

class QThread;
class QTimer;
class TReportProgress;
struct TStatementInterrupt;

class TReportJob : public QObject {
    Q_OBJECT
public:
    enum class TPhase { Waiting, Querying, Writing, Done, Cancelled, Failed };
    static constexpr int CancelRepeatMs = 50;

    // Made on the user-interface thread; nothing runs before Start.
    TReportJob(const TReportSelection& selection, const QString& fundCode, bool asNumbers,
               QObject* parent = nullptr);
    // Cancels a job still running and waits for its worker.
    ~TReportJob() override;
    TReportJob(const TReportJob&) = delete;
    TReportJob& operator=(const TReportJob&) = delete;

    // Starts the worker (once).
    void Start();
    // Asks the job to stop; returns at once. Ended follows when the worker has stopped.
    void Cancel();
    bool CancelRequested() const { return FCancelled.load(); }
    // Blocks until the worker has ended (sending the cancel again meanwhile, when one was
    // asked for). For tests and for a caller with no event loop.
    void Wait();

    TPhase Phase() const { return FPhase.load(); }
    bool Ended() const;
    // The statement's rows once all are counted (-1 before), and the rows written so far.
    int RowCount() const { return FRowCount.load(); }
    int RowsWritten() const { return FRowsWritten.load(); }
    // Why the job failed (after Failed), in the report's own words.
    QString ErrorText() const;
    // The whole report, once, after Done; nothing otherwise.
    std::optional<sheet::Sheet> TakeSheet();

    // The workbook the report is written to: once the rows counted pass what its format
    // holds, no further row is written, and the job fails with the whole count (the rest of
    // the statement's rows only counted), before the file is opened.
    void SetWorkbookTarget(const QString& path) { FWorkbookTarget = path; }

    // Hands the heap that a finished report freed (its statement's rows, the sheet it
    // replaced) back to the system, so that the process does not stay at the size of the
    // report's peak. Call it on the user-interface thread once the report has been taken.
    static void ReturnFreedMemory();

    // Called on the worker as rows are counted and written, after the job's own checks
    // (tests stop a job part-way through it).
    void SetWorkerProgress(TReportProgress* progress) { FWorkerProgress = progress; }

signals:
    // The worker has ended (Done, Cancelled or Failed); on the thread that made the job.
    void Finished();

private:
    class TJobProgress;
    void Run();
    void Register(TStatementInterrupt* interrupt);
    void Interrupt();
    void CheckCancelled() const;

    const TReportSelection FSelection;
    const QString FFundCode;
    const bool FAsNumbers;
    QString FWorkbookTarget;
    QThread* FThread = nullptr;
    QTimer* FRepeat = nullptr;
    TReportProgress* FWorkerProgress = nullptr;
    std::atomic<TPhase> FPhase{TPhase::Waiting};
    std::atomic<bool> FCancelled{false};
    std::atomic<int> FRowCount{-1};
    std::atomic<int> FRowsWritten{0};
    // Guards the worker's statement handle against its going while a cancel uses it, and
    // the result the worker leaves.
    mutable std::mutex FLock;
    TStatementInterrupt* FInterrupt = nullptr;
    std::optional<sheet::Sheet> FSheet;
    QString FError;
};
