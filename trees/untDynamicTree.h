#pragma once
// TDynamicTree: fills a tree view from a self-referencing SQL row source under one
// virtual top node.
//
// Each row of the row source (SqlTable) has an id, a parent id, a leaf flag, a caption
// and a display text column. The tree puts the top node into the view, lists the rows
// whose parent id is the top node's id, and goes on downwards: all levels at once
// (LoadAll) or one level when the user first opens a node. A level is one statement
// around the row source:
//     select a.* from (<SqlTable>) a where a.<FieldPid>='<id>'[ Order by a.<FieldOrderBy>]
// A level loads on the user-interface thread (SyncDataLoad) or is opened by a
// TQueryThread whose rows are added back on the user-interface thread.
//
// LoadAll on the user-interface thread reads the whole row source with one statement,
// or where its rows can't be filed by their parent ids exactly, the children of many
// nodes with one statement ("a.<FieldPid> in (...)", see untLevelPrefetch.h), so a tree
// of thousands of nodes costs one statement, or one per level, not one per node. The
// nodes, their order and the events are those of one statement per node: the nodes are
// still added depth first, one row at a time, with the fields of their own row.
//
// Every node the tree makes is a TNodeItem that owns a TItemInfo record (its node
// data). A node whose children are not loaded yet carries one dummy child "【】", so
// the view shows its expand button without a query.
//
// Record classes: TItemInfoClass is the class's meta-object. A descendant of TItemInfo
// declares Q_OBJECT and a Q_INVOKABLE constructor without arguments; OnBeforAddNode
// may hand such a class back so that a node carries more columns.
//
// Errors while loading are quiet, as designed (the view stays empty, or a row or a
// branch is dropped); LastLoadError() keeps the text of the last one for a window that
// wants to say why its tree is empty. Property checks on activation raise
// TExceptDynamicTree.
//
// Load guard: every step of a load re-checks that the tree is still active, the
// connection open, the view assigned and the application not shutting down; when that
// fails the tree deactivates itself, which clears the view. Handlers and message
// processing may deactivate or rebuild the tree at any point: nothing touches a node of
// an earlier build afterwards.
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "platform/ADODB.h"
#include "platform/Classes.h"
#include "platform/TreeView.h"
#include "trees/untLevelPrefetch.h"

class TNodeItem;
class TQueryThread;

TALLYLEAF_DECLARE_EXCEPTION(TExceptDynamicTree, Exception);

enum TAutoExpandKind : quint8 { aekNone = 0, aekTitleNode = 1, aekFirstLeaf = 2 };
enum TItemKind : quint8 { ikTopVirNode = 0, ikDataNode = 1, ikDummyNode = 2 };

// The record of one node of a dynamic tree.
class TItemInfo : public TObject {
    Q_OBJECT
public:
    Q_INVOKABLE TItemInfo() = default;

    QString Caption;            // the FieldCaption column; "^_^" for the top node
    QString Id;                 // the FieldId column; TopVirNodeIdValue for the top node
    QString Pid;                // the FieldPid column; "★" for the top node
    qint32 Reserved = 0;        // kept for the record's layout; never read or written
    TNodeItem* Node = nullptr;  // the node that carries the record (nil for a dummy's)
    TItemKind Kind = ikTopVirNode;
    bool IsLeaf = false;        // the FieldIsLeaf column equals ValueIsLeaf
};

// The class reference of TItemInfo: &TItemInfo::staticMetaObject or a descendant's.
using TItemInfoClass = const QMetaObject*;

// The node class of every node that a dynamic tree makes. It owns its record.
class TNodeItem : public TTreeNode {
public:
    TNodeItem() = default;
    // Frees the record; a dummy leaves its tree's dummy list; a node whose level is
    // still loading in the background tells its query thread to deliver nothing.
    ~TNodeItem() override;

    TItemInfo* ItemInfo() const { return static_cast<TItemInfo*>(Data()); }

    QList<TNodeItem*>* DummyList = nullptr;   // a dummy's registration list
    bool ExpandAfterLoad = false;   // a user expansion started the load of the children
    bool ChildrenLoaded = false;    // the load was started (or the node is a leaf)
    bool AutoExpanded = false;      // the auto-expansion chose this node once
    TQueryThread* LoadingThread = nullptr;   // the pending background level of this node
};

// (Sender, Fields (nil for the top node), Node, var ItemInfoClass)
using TOnBeforAddNode = TEvent<TObject*, TFields*, TTreeNode*, TItemInfoClass&>;
// (Sender, Fields (nil for the top node), Node, ItemInfo)
using TOnAfterAddNode = TEvent<TObject*, TFields*, TTreeNode*, TItemInfo*>;

class TDynamicTree : public TComponent {
    Q_OBJECT
    Q_PROPERTY(QString TopVirNodeIdValue READ TopVirNodeIdValue WRITE SetTopVirNodeIdValue)
    Q_PROPERTY(QString TopVirNodeTitle READ TopVirNodeTitle WRITE SetTopVirNodeTitle)
    Q_PROPERTY(QStringList SqlTable READ SqlTable WRITE SetSqlTable)
    Q_PROPERTY(QString FieldId READ FieldId WRITE SetFieldId)
    Q_PROPERTY(QString FieldPid READ FieldPid WRITE SetFieldPid)
    Q_PROPERTY(QString FieldIsLeaf READ FieldIsLeaf WRITE SetFieldIsLeaf)
    Q_PROPERTY(QString ValueIsLeaf READ ValueIsLeaf WRITE SetValueIsLeaf)
    Q_PROPERTY(QString FieldCaption READ FieldCaption WRITE SetFieldCaption)
    Q_PROPERTY(QString FieldText READ FieldText WRITE SetFieldText)
    Q_PROPERTY(QString FieldOrderBy READ FieldOrderBy WRITE SetFieldOrderBy)
    Q_PROPERTY(TADOConnection* AdoConn READ AdoConn WRITE SetAdoConn)
    Q_PROPERTY(TCustomTreeView* TreeView READ TreeView WRITE SetTreeView)
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(bool LoadAll READ LoadAll WRITE SetLoadAll)
    Q_PROPERTY(TAutoExpandKind AutoExpandKind READ AutoExpandKind WRITE SetAutoExpandKind)
    Q_PROPERTY(bool SyncDataLoad READ SyncDataLoad WRITE SetSyncDataLoad)
public:
    Q_INVOKABLE explicit TDynamicTree(TComponent* AOwner = nullptr);
    ~TDynamicTree() override;

    QString TopVirNodeIdValue() const { return FTopVirNodeIdValue; }
    void SetTopVirNodeIdValue(const QString& value) { FTopVirNodeIdValue = value; }
    QString TopVirNodeTitle() const { return FTopVirNodeTitle; }
    // A different title rebuilds an active tree.
    void SetTopVirNodeTitle(const QString& value);
    QStringList SqlTable() const { return FSqlTable; }
    void SetSqlTable(const QStringList& lines) { FSqlTable = lines; }
    QString FieldId() const { return FFieldId; }
    // Sets FieldOrderBy too: set FieldOrderBy afterwards for another sort column.
    void SetFieldId(const QString& value);
    QString FieldPid() const { return FFieldPid; }
    void SetFieldPid(const QString& value) { FFieldPid = value; }
    QString FieldIsLeaf() const { return FFieldIsLeaf; }
    void SetFieldIsLeaf(const QString& value) { FFieldIsLeaf = value; }
    QString ValueIsLeaf() const { return FValueIsLeaf; }
    void SetValueIsLeaf(const QString& value) { FValueIsLeaf = value; }
    QString FieldCaption() const { return FFieldCaption; }
    void SetFieldCaption(const QString& value) { FFieldCaption = value; }
    QString FieldText() const { return FFieldText; }
    void SetFieldText(const QString& value) { FFieldText = value; }
    QString FieldOrderBy() const { return FFieldOrderBy; }
    void SetFieldOrderBy(const QString& value) { FFieldOrderBy = value; }
    TADOConnection* AdoConn() const { return FAdoConn; }
    // A different connection deactivates the tree (it stays inactive).
    void SetAdoConn(TADOConnection* value);
    TCustomTreeView* TreeView() const { return FTreeView; }
    // A different view deactivates the tree and rebuilds it on the new view when it
    // was active.
    void SetTreeView(TCustomTreeView* value);
    bool Active() const { return FActive; }
    // True checks the properties (TExceptDynamicTree, the tree stays inactive) and
    // builds the tree; false clears the view. Writing the current value does nothing.
    void SetActive(bool value);
    bool LoadAll() const { return FLoadAll; }
    // Switched on, loads every level that still waits behind a dummy node.
    void SetLoadAll(bool value);
    TAutoExpandKind AutoExpandKind() const { return FAutoExpandKind; }
    void SetAutoExpandKind(TAutoExpandKind value);
    bool SyncDataLoad() const { return FSyncDataLoad; }
    void SetSyncDataLoad(bool value) { FSyncDataLoad = value; }

    // The statement that lists the children of the node with id `Id`.
    QString ChildrenStatement(const QString& Id) const;
    // The statement that lists the children of every node of `Ids` (for one id, the
    // statement above).
    QString LevelStatement(const QStringList& Ids) const;
    // The text of the last error that a load swallowed; empty after a clean build.
    QString LastLoadError() const { return FLastLoadError; }
    // Dummy nodes in the view and background levels still pending.
    int DummyNodeCount() const { return static_cast<int>(FDummyNodes.size()); }
    int PendingLevelCount() const { return static_cast<int>(FThreads.size()); }

    TOnBeforAddNode OnBeforAddNode;
    TOnAfterAddNode OnAfterAddNode;
    // (Sender, statement): a level's statement, just before it is opened or handed to
    // its query thread.
    TEvent<TObject*, const QString&> OnLevelQuery;

    void Notification(TComponent* AComponent, TOperation Operation) override;
    void Loaded() override;

protected:
    void BeforeDestruction() override;

private:
    void CheckProperties() const;
    bool CanLoad();
    void Deactivate();
    void BuildTree();
    void LoadChildren(TNodeItem* node);
    void LoadLevelNow(TNodeItem* node, TADOQuery* query);
    void LoadLevelInBackground(TNodeItem* node, TADOQuery* query);
    void LoadLevelPrefetched(TNodeItem* node);
    void ReadLevel(const QString& id);
    bool ReadWholeSource();
    std::shared_ptr<TADOQuery> LevelQuery(const QString& sql);
    TLevelPrefetch::TColumns LevelColumns() const;
    void ReadStatement(const QStringList& ids);
    // parent: the parent of a synchronous load's row; thread: the thread of a
    // background row (whose Node is the parent).
    void AddNodeFromFields(TNodeItem* parent, TQueryThread* thread, TFields* fields);
    // Fills the record of a data row; answers the node's text.
    QString FillRecord(TNodeItem* node, TItemInfo* info, TFields* fields) const;
    enum TRowColumn { rcId, rcPid, rcCaption, rcIsLeaf, rcText, rcCount };
    // The field of a row's column, found once per data set; raises as FieldByName.
    TField* RowField(TFields* fields, TRowColumn column, const QString& name) const;
    bool AddChildrenOrDummy(TNodeItem* node, TItemInfoClass cls, quint64 build);
    void LoadFromThread(TQueryThread* thread, TDataSet* dataSet);
    void QueryThreadTerminated(TObject* Sender);
    void ApplyAutoExpand();
    void ExpandTitleNode();
    void ExpandFirstLeaf();
    TNodeItem* FindFirstLeaf() const;
    void TreeViewExpanding(TObject* Sender, TTreeNode* Node, bool& AllowExpansion);
    // True while the build `build` is still the tree's and loading may go on.
    bool StillLoading(quint64 build);
    void DetachThreads();
    static TItemInfo* CreateItemInfo(TItemInfoClass cls);
    QString SqlTableText() const;
    // The row source wrapped as table "a", with `condition` and the sort column.
    QString WrappedStatement(const QString& condition) const;

    QString FTopVirNodeIdValue;
    QString FTopVirNodeTitle;
    QStringList FSqlTable;
    QString FFieldId;
    QString FFieldPid;
    QString FFieldIsLeaf;
    QString FValueIsLeaf;
    QString FFieldCaption;
    QString FFieldText;
    QString FFieldOrderBy;
    TADOConnection* FAdoConn = nullptr;
    TCustomTreeView* FTreeView = nullptr;
    bool FActive = false;
    bool FStreamedActive = false;
    bool FLoadAll = false;
    TAutoExpandKind FAutoExpandKind = aekTitleNode;
    bool FSyncDataLoad = true;

    QList<TNodeItem*> FDummyNodes;   // not owning: the view owns the nodes
    QList<TQueryThread*> FThreads;   // not owning: threads free themselves
    std::function<void(TObject*, TTreeNode*, bool&)> FOldOnExpanding;
    quint64 FBuild = 0;              // changes whenever the view's nodes are cleared
    QString FLastLoadError;

    // The fields found for the rows of one data set (by name for every row, they would
    // cost as much as the rest of adding a node). A load that goes depth first reads
    // the statements of several levels in turn: one entry per data set, a few kept.
    struct TRowFields {
        const TFields* Fields = nullptr;
        quint64 Generation = 0;
        QString Names[rcCount];
        TField* Found[rcCount] = {};
        bool Known[rcCount] = {};
    };
    static constexpr int RowFieldsKept = 8;
    mutable TRowFields FRowFields[RowFieldsKept];
    mutable int FRowFieldsLast = 0;   // the entry used last; the next one is replaced

    // Rows read ahead by a synchronous LoadAll load; kept while the outermost load runs.
    class TPrefetchScope;
    TLevelPrefetch FPrefetch;
    int FPrefetchDepth = 0;
    quint64 FPrefetchBuild = 0;
};

// Makes TDynamicTree and the TAutoExpandKind names known to form resources (also done
// when the program starts).
void RegisterDynamicTreeClasses();
