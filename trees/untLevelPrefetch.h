#pragma once
// TLevelPrefetch: the rows of the levels that a synchronous LoadAll load is about to add,
// read with one statement for the whole load, or one per level, instead of one per node.
//
// First the whole row source is read once:
//     select a.* from (<SqlTable>) a[ Order by ...]
// and every row is filed under the text of its parent id; each parent keeps the
// statement's order among its own rows. A database compares ids by its own rules (a
// number column with a text, a case-blind or width-blind collation, trailing blanks),
// which text alone cannot follow; so the whole read is used only when no two different
// texts among the top id, the ids and the parent ids could be taken as equal by any of
// those rules. Otherwise, or when the statement fails, the load goes on level by level.
//
// When a node's children are wanted and not read yet, its id goes into one statement
// together with the ids of the nodes that wait for theirs (non-leaf rows read earlier, in
// the order the tree will reach them), at most MaxIdsPerStatement ids:
//     select a.* from (<SqlTable>) a where a.<FieldPid> in ('<id>','<id>',...)[ Order by ...]
// The rows are filed under the parent id that their FieldPid column reads as; each
// parent keeps the statement's order among its own rows, which is the order its own
// statement would give. A statement with one id is the tree's usual level statement.
//
// Exactness over speed: a row whose parent column reads as none of the statement's ids
// exactly (a number column compared with a text id, a case-blind collation), or a
// statement that fails, stops the batching for the rest of the load, and every node
// then reads its own statement as before. Ids that the database might take as equal
// although their texts differ (letter case, trailing blanks) never share a statement.
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <utility>

class TADOQuery;

class TLevelPrefetch {
public:
    static constexpr int MaxIdsPerStatement = 1000;   // Oracle's limit for an in-list

    // The columns that the grouping reads, as the tree names them.
    struct TColumns {
        QString Id;        // FieldId, untrimmed (as the rows are read)
        QString Pid;       // FieldPid, trimmed (as the statement names it)
        QString IsLeaf;    // FieldIsLeaf, untrimmed
        QString LeafValue; // ValueIsLeaf
    };

    // The rows of one parent: a shared query and its row numbers, in order.
    struct TRows {
        std::shared_ptr<TADOQuery> Query;
        QList<int> RecNos;
    };

    // Takes the rows read for `id`; false when none were read for it. From the whole row
    // source: the rows of any id that the check saw (none for an id without children),
    // and again for a second node with the same id.
    bool Take(const QString& id, TRows& rows);
    // True for the first read of a load, which tries the whole row source; false after.
    bool TryWholeFirst() { return !std::exchange(FWholeTried, true); }
    // Files every row of the opened whole row source under its parent id. False (nothing
    // filed) without an id, parent or leaf column, or when two different texts among
    // `topId`, the ids of the rows that are no leaves and the parent ids could be taken
    // as equal by the database.
    bool FileWhole(const std::shared_ptr<TADOQuery>& query, const QString& topId, const TColumns& columns);
    // The ids of the next statement: `id` first, then waiting ids in their order.
    QStringList NextBatch(const QString& id);
    // Files the rows of the opened `query` under the ids of `batch` and queues the ids of
    // its non-leaf rows. False (nothing filed) when a row of a batch of several ids has
    // a parent that is none of them.
    bool File(const std::shared_ptr<TADOQuery>& query, const QStringList& batch, const TColumns& columns);
    // Every later node reads its own statement.
    void StopBatching() { FBatching = false; }
    bool Batching() const { return FBatching; }
    // Queues ids whose children are wanted soon (the nodes that still wait behind a dummy).
    void Queue(const QString& id) { FQueue << id; }
    void Clear();

private:
    QHash<QString, TRows> FRows;
    QList<QString> FQueue;
    bool FBatching = true;
    bool FWholeTried = false;
    QHash<QString, QString> FWholeTexts;   // comparison key -> the one text with it
};
