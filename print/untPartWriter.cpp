#include "print/untPartWriter.h"

#include <QThread>

TPartWriter::TPartWriter(TPartSink& sink) : FSink(sink) {}

TPartWriter::~TPartWriter()
{
    {
        std::lock_guard lock(FLock);
        FAbandoned = true;
    }
    FChanged.notify_all();
    Join();
}

bool TPartWriter::Give(const TDataSet& fields, TRowPart&& part)
{
    if (!FThread)
        Start(fields);
    std::vector<QList<QVariant>> spent;   // freed once the lock is let go
    std::unique_lock lock(FLock);
    spent.swap(FSpent);
    FChanged.wait(lock, [this] { return FStopped || FParts.size() < MaxWaitingParts; });
    if (FStopped)
        return false;
    FParts.push_back(std::move(part));
    lock.unlock();
    FChanged.notify_all();
    return true;
}

void TPartWriter::Finish()
{
    {
        std::lock_guard lock(FLock);
        FNoMore = true;
    }
    FChanged.notify_all();
    Join();
    if (FFailure)
        std::rethrow_exception(FFailure);
}

void TPartWriter::Start(const TDataSet& fields)
{
    QStringList names;
    QList<QMetaType> types;
    for (int i = 0; i < fields.FieldCount(); ++i) {
        names << fields.Fields()->Field(i)->FieldName();
        types << fields.Fields()->Field(i)->DataType();
    }
    FThread.reset(QThread::create([this, names, types] { Run(names, types); }));
    FThread->start();
}

void TPartWriter::Run(const QStringList& names, const QList<QMetaType>& types)
{
    try {
        TPartDataSet rows(names, types);
        bool first = true;
        while (std::optional<TRowPart> part = Take()) {
            const bool last = part->Last;
            QList<QVariant> spent = rows.ShowPart(std::move(*part));
            if (!spent.isEmpty()) {
                std::lock_guard lock(FLock);
                FSpent.push_back(std::move(spent));
            }
            FSink.Write(rows, first, last);
            first = false;
        }
    } catch (...) {
        FFailure = std::current_exception();   // read by Finish once the thread has ended
    }
    FSink.Stopped();
    {
        std::lock_guard lock(FLock);
        FStopped = true;
    }
    FChanged.notify_all();
}

std::optional<TRowPart> TPartWriter::Take()
{
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [this] { return FAbandoned || FNoMore || !FParts.empty(); });
    if (FAbandoned || FParts.empty())
        return std::nullopt;
    TRowPart part = std::move(FParts.front());
    FParts.pop_front();
    lock.unlock();
    FChanged.notify_all();
    return part;
}

void TPartWriter::Join()
{
    if (FThread)
        FThread->wait();
}
