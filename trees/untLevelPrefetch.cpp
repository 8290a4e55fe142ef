#include "trees/untLevelPrefetch.h"

#include "platform/ADODB.h"

namespace {

bool IsAscii(QStringView text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// The key of a text that reads as a number, however it is written: "07", "7", "7.0"
// and "+7" alike, all "7". Empty for any other text. Keys of numbers are written with
// number characters only and texts that are no numbers keep some other character or
// don't parse: the two kinds never share a key.
QString NumberKey(const QString& text)
{
    if (text.isEmpty())
        return {};
    bool digitsOnly = true;
    for (const QChar c : text) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!digit && !QStringView(u"+-.eE").contains(c))
            return {};
        digitsOnly = digitsOnly && digit;
    }
    qsizetype zeros = 0;
    while (digitsOnly && zeros < text.size() - 1 && text.at(zeros) == QLatin1Char('0'))
        ++zeros;
    // Up to 15 digits every integer is exact; longer ones go by value, as a database
    // comparing them as floating point would.
    if (digitsOnly && text.size() - zeros <= 15)
        return zeros == 0 ? text : text.mid(zeros);
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok)
        return {};
    return value == 0 ? QStringLiteral("0") : QString::number(value, 'g', 17);   // -0 too
}

// Two ids with the same key may be taken as equal by a database: blanks around them,
// letter case (case-blind collations), width and accents (collations that ignore them),
// and the way a number is written (a number column compared with a text). Looser than
// any of those rules, so that different ids with different keys are never equal.
QString ComparisonKey(const QString& id)
{
    QString key = id.trimmed();
    if (!IsAscii(key)) {
        key = key.normalized(QString::NormalizationForm_KD);
        key.removeIf([](QChar c) { return c.category() == QChar::Mark_NonSpacing; });
    }
    key = std::move(key).toCaseFolded();
    const QString number = NumberKey(key);
    return number.isEmpty() ? key : number;
}

} // namespace

bool TLevelPrefetch::Take(const QString& id, TRows& rows)
{
    const auto it = FRows.find(id);
    if (!FWholeTexts.isEmpty()) {
        // Kept: a second node with the same id lists the same children.
        if (it != FRows.end()) {
            rows = it.value();
            return true;
        }
        if (FWholeTexts.value(ComparisonKey(id)) != id)
            return false;   // not an id that the check saw: its own statement decides
        rows = TRows{};
        return true;
    }
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

bool TLevelPrefetch::FileWhole(const std::shared_ptr<TADOQuery>& query, const QString& topId, const TColumns& columns)
{
    TField* pid = query->FindField(columns.Pid);
    TField* id = query->FindField(columns.Id);
    TField* leaf = query->FindField(columns.IsLeaf);
    if (!pid || !id || !leaf)
        return false;
    // The ids whose children are listed, and the parent ids: a leaf lists none.
    QHash<QString, QString> texts;   // comparison key -> the one text with it
    auto admit = [&texts](const QString& text) {
        const QString key = ComparisonKey(text);
        const auto it = texts.constFind(key);
        if (it == texts.cend()) {
            texts.insert(key, text);
            return true;
        }
        return it.value() == text;
    };
    if (!admit(topId))
        return false;
    QHash<QString, TRows> byParent;
    // Rows mostly come in runs of one parent (codes sort siblings together): filed a run
    // at a time.
    QString runPid;
    QList<int> run;
    auto fileRun = [&] {
        if (run.isEmpty())
            return;
        TRows& rows = byParent[runPid];
        rows.Query = query;
        rows.RecNos.append(run);
        run.clear();
    };
    const int count = query->RecordCount();
    for (int r = 1; r <= count; ++r) {
        query->SetRecNo(r);
        if (leaf->AsString() != columns.LeafValue && !admit(id->AsString()))
            return false;
        if (pid->IsNull())
            continue;   // equal to no id
        const QString rowPid = pid->AsString();
        if (run.isEmpty() || rowPid != runPid) {
            fileRun();
            if (!admit(rowPid))
                return false;
            runPid = rowPid;
        }
        run.append(r);
    }
    fileRun();
    FRows = std::move(byParent);
    FQueue.clear();
    FWholeTexts = std::move(texts);
    return true;
}

void TLevelPrefetch::Clear()
{
    FRows.clear();
    FQueue.clear();
    FBatching = true;
    FWholeTried = false;
    FWholeTexts.clear();
}
