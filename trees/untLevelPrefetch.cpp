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
    // Per parent of the batch: its rows, and the ids of those that have children.
    struct TParentRows {
        QList<int> RecNos;
        QStringList Waiting;
    };
    QHash<QString, TParentRows> byParent;
    byParent.reserve(batch.size());
    for (const QString& id : batch)
        byParent.insert(id, {});
    TField* pid = query->FindField(columns.Pid);
    TField* id = query->FindField(columns.Id);
    TField* leaf = query->FindField(columns.IsLeaf);
    const bool single = batch.size() == 1;
    if (!single && !pid && query->RecordCount() > 0)
        return false;
    // The node's own statement: every row is its child, whatever the column reads as.
    TParentRows* current = single ? &byParent[batch.first()] : nullptr;
    QString currentPid;
    const int count = query->RecordCount();
    for (int r = 1; r <= count; ++r) {
        query->SetRecNo(r);
        if (!single) {
            // Sorted rows come parent after parent: most rows need no look-up.
            const QString rowPid = pid->AsString();
            if (!current || rowPid != currentPid) {
                const auto it = byParent.find(rowPid);
                if (it == byParent.end())
                    return false;
                current = &it.value();
                currentPid = rowPid;
            }
        }
        current->RecNos.append(r);
        // A row whose columns cannot be read is dropped by the tree: nothing to queue.
        if (id && leaf && leaf->AsString() != columns.LeafValue)
            current->Waiting.append(id->AsString());
    }
    for (const QString& parent : batch) {
        TParentRows rows = byParent.take(parent);
        FQueue.append(rows.Waiting);
        FRows.insert(parent, TRows{query, std::move(rows.RecNos)});
    }
    return true;
}

void TLevelPrefetch::Clear()
{
    FRows.clear();
    FQueue.clear();
    FBatching = true;
}
