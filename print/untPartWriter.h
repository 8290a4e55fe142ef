#pragma once
// TPartWriter: a statement's rows written on a thread of their own while its further rows
// are still being read.
//
// The reading thread (the one whose connection runs the statement) hands each part over as
// it is read; the writer takes the parts in order from a short queue and shows each to its
// TPartSink. Writing a large report's rows costs a fifth of its statement, and so is done on
// the second core meanwhile instead of after it.
//
// Either side stops the other. When the writer fails (a cancel raised from its progress
// included), Give answers false and the reading may stop; Finish raises the writer's
// failure on the reading thread. When the reading fails or stops, the writer goes away
// with the writer object and the parts not yet written stay unwritten.
#include <QList>
#include <QMetaType>
#include <QStringList>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/ADODataSet.h"

class QThread;

// What is done with the parts, on the writer's thread.
class TPartSink {
public:
    virtual ~TPartSink() = default;
    // One part's rows: first for the statement's first part, last when none comes after it.
    virtual void Write(TDataSet& rows, bool first, bool last) = 0;
    // The writer stops: after the last part, after a failure, or when the reading stopped.
    virtual void Stopped() noexcept {}
};

class TPartWriter {
public:
    // Parts waiting to be written at most; beyond them the reading waits for room, so that
    // a slow writer does not make the statement's rows pile up.
    static constexpr size_t MaxWaitingParts = 8;

    // The sink outlives the writer.
    explicit TPartWriter(TPartSink& sink);
    // Stops the writer after the part it is writing and waits for it.
    ~TPartWriter();
    TPartWriter(const TPartWriter&) = delete;
    TPartWriter& operator=(const TPartWriter&) = delete;

    // On the reading thread: hands over a part of the statement whose fields `fields` has,
    // starting the writer with the first. False once the writer has stopped.
    bool Give(const TDataSet& fields, TRowPart&& part);
    // On the reading thread, after the last part: waits until every part is written, and
    // raises what the writer raised.
    void Finish();

private:
    void Start(const TDataSet& fields);
    void Run(const QStringList& names, const QList<QMetaType>& types);
    std::optional<TRowPart> Take();
    void Join();

    TPartSink& FSink;
    std::unique_ptr<QThread> FThread;
    std::mutex FLock;
    std::condition_variable FChanged;
    std::deque<TRowPart> FParts;
    // The values of parts written, freed by the reading thread, which has time to spare
    // while it waits for the statement's next rows.
    std::vector<QList<QVariant>> FSpent;
    bool FNoMore = false;      // the reading has ended: no part comes after those waiting
    bool FAbandoned = false;   // the reading stopped early: no further part is written
    bool FStopped = false;     // the writer has stopped
    std::exception_ptr FFailure;
};
