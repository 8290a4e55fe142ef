#include "trees/untLevelPrefetch.h"

#include "platform/ADODB.h"

namespace {

// Ids that a database may compare as equal: trailing blanks (char columns) and letter
// case (case-blind collations) set aside.
QString ComparisonKey(const QString& id)
{
    qsizetype end = id.size();
    while (end > 0 && id.at(end - 1) == QLatin1Char(' '))
        --end;
    return id.left(end).toCaseFolded();
}

} // namespace

bool TLevelPrefetch::Take(const QString& id, TRows& rows)
{
    const auto it = FRows.find(id);
    if (it == FRows.end())
        return false;
    rows = std::move(it.value());
    FRows.erase(it);
    return true;
}

QStringList TLevelPrefetch::NextBatch(const QString& id)
{
    QStringList batch{id};
    if (!FBatching)
        return batch;
    QSet<QString> keys{ComparisonKey(id)};
    FQueue.removeAll(id);
    while (batch.size() < MaxIdsPerStatement && !FQueue.isEmpty()) {
        const QString next = FQueue.takeFirst();
        if (FRows.contains(next))
            continue;   // read already
        const QString key = ComparisonKey(next);
        if (keys.contains(key))
            continue;   // a twin of an id in the batch: it reads its own statement
        keys.insert(key);
        batch << next;
    }
    return batch;
}

bool TLevelPrefetch::File(const std::shared_ptr<TADOQuery>& query, const QStringList& batch, const TColumns& columns)
{
    QHash<QString, QList<int>> byParent;
    for (const QString& id : batch)
        byParent.insert(id, {});
    const int count = query->RecordCount();
    if (batch.size() == 1) {
        // The node's own statement: every row is its child, whatever the column reads as.
        QList<int>& all = byParent[batch.first()];
        for (int r = 1; r <= count; ++r)
            all << r;
    } else if (count > 0) {
        TField* pid = query->FindField(columns.Pid);
        if (!pid)
            return false;
        for (int r = 1; r <= count; ++r) {
            query->SetRecNo(r);
            const auto it = byParent.find(pid->AsString());
            if (it == byParent.end())
                return false;
            it->append(r);
        }
    }
    TField* id = query->FindField(columns.Id);
    TField* leaf = query->FindField(columns.IsLeaf);
    for (const QString& parent : batch) {
        QList<int> recNos = byParent.take(parent);
        for (int r : recNos) {
            query->SetRecNo(r);
            // A row whose columns cannot be read is dropped by the tree: nothing to queue.
            if (id && leaf && leaf->AsString() != columns.LeafValue)
                FQueue << id->AsString();
        }
        FRows.insert(parent, TRows{query, std::move(recNos)});
    }
    return true;
}

void TLevelPrefetch::Clear()
{
    FRows.clear();
    FQueue.clear();
    FBatching = true;
}
