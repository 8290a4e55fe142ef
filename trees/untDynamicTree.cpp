#include "trees/untDynamicTree.h"

#include <QCoreApplication>
#include <QPointer>
#include <memory>
#include <optional>

#include "platform/ADODB.h"
#include "platform/FormResource.h"
#include "platform/Forms.h"
#include "trees/untQueryThread.h"

namespace {

const QString SNotAssigned = QStringLiteral("没有指定%S属性值！");
const QString SAdoConnNotOpen = QStringLiteral("指定的AdoConnection没有打开！");
const QString SNodeInfoLost = QStringLiteral("节点信息丢失！");
const QString SBadItemInfoClass = QStringLiteral("节点信息类%s不是TItemInfo或它的派生类！");
const QString SItemInfoNotCreated = QStringLiteral("节点信息类%s无法创建！");
const QString SDummyText = QStringLiteral("【】");
const QString STopPid = QStringLiteral("★");
const QString STopCaption = QStringLiteral("^_^");

// Frees a query (closing it) however the block is left.
struct TQueryFree {
    void operator()(TDataSet* q) const
    {
        q->Close();
        q->Free();
    }
};
using TQueryHolder = std::unique_ptr<TDataSet, TQueryFree>;

void ProcessPendingMessages()
{
    if (Application)
        Application->ProcessMessages();
    else
        QCoreApplication::processEvents();
}

QString ErrorText(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return ExceptionMessage(e);
    } catch (...) {
        return QStringLiteral("未知错误");
    }
}

// A synchronous load adds many nodes with nothing painted in between: the view hands
// them to its widget together when the load ends (see TTreeNodes::BeginUpdate), or
// earlier when the load selects or opens a node.
class TViewUpdate {
public:
    explicit TViewUpdate(TCustomTreeView* view) : FView(view)
    {
        if (FView)
            FView->Items()->BeginUpdate();
    }
    ~TViewUpdate()
    {
        if (FView)   // a handler may have freed the view meanwhile
            FView->Items()->EndUpdate();
    }
    TViewUpdate(const TViewUpdate&) = delete;
    TViewUpdate& operator=(const TViewUpdate&) = delete;

private:
    QPointer<TCustomTreeView> FView;
};

} // namespace

// Keeps the rows read ahead while the outermost synchronous LoadAll load runs, and lets
// them go with it; a new build starts afresh.
class TDynamicTree::TPrefetchScope {
public:
    explicit TPrefetchScope(TDynamicTree& tree) : FTree(tree)
    {
        if (FTree.FPrefetchDepth++ == 0 || FTree.FPrefetchBuild != FTree.FBuild) {
            FTree.FPrefetch.Clear();
            FTree.FPrefetchBuild = FTree.FBuild;
        }
    }
    ~TPrefetchScope()
    {
        if (--FTree.FPrefetchDepth == 0)
            FTree.FPrefetch.Clear();
    }
    TPrefetchScope(const TPrefetchScope&) = delete;
    TPrefetchScope& operator=(const TPrefetchScope&) = delete;

private:
    TDynamicTree& FTree;
};

// --- TNodeItem ----------------------------------------------------------------------

TNodeItem::~TNodeItem()
{
    if (LoadingThread) {
        LoadingThread->Terminate();
        LoadingThread->Node = nullptr;
    }
    if (TItemInfo* info = ItemInfo()) {
        if (info->Kind == ikDummyNode && DummyList)
            DummyList->removeOne(this);
        delete info;
        SetData(nullptr);
    }
}

// --- TDynamicTree: properties -------------------------------------------------------

TDynamicTree::TDynamicTree(TComponent* AOwner) : TComponent(AOwner)
{
    RegisterEvent("OnBeforAddNode", &OnBeforAddNode);
    RegisterEvent("OnAfterAddNode", &OnAfterAddNode);
}

TDynamicTree::~TDynamicTree()
{
    Deactivate();
}

void TDynamicTree::BeforeDestruction()
{
    Deactivate();
    TComponent::BeforeDestruction();
}

void TDynamicTree::SetTopVirNodeTitle(const QString& value)
{
    if (value == FTopVirNodeTitle)
        return;
    const bool wasActive = FActive;
    SetActive(false);
    FTopVirNodeTitle = value;
    SetActive(wasActive);
}

void TDynamicTree::SetFieldId(const QString& value)
{
    FFieldId = value;
    FFieldOrderBy = value;
}

void TDynamicTree::SetAdoConn(TADOConnection* value)
{
    if (value == FAdoConn)
        return;
    SetActive(false);
    if (FAdoConn)
        FAdoConn->RemoveFreeNotification(this);
    if (value)
        value->FreeNotification(this);
    FAdoConn = value;
}

void TDynamicTree::SetTreeView(TCustomTreeView* value)
{
    if (value == FTreeView)
        return;
    const bool wasActive = FActive;
    SetActive(false);
    if (FTreeView)
        FTreeView->RemoveFreeNotification(this);
    if (value)
        value->FreeNotification(this);
    FTreeView = value;
    if (value)
        SetActive(wasActive);
}

void TDynamicTree::SetActive(bool value)
{
    if (HasState(csLoading)) {
        FStreamedActive = value;   // a form resource: the references are not all set yet
        return;
    }
    if (value == FActive)
        return;
    if (!value) {
        Deactivate();
        return;
    }
    CheckProperties();
    FOldOnExpanding = FTreeView->OnExpanding.handler();
    FTreeView->OnExpanding = [this](TObject* Sender, TTreeNode* Node, bool& AllowExpansion) {
        TreeViewExpanding(Sender, Node, AllowExpansion);
    };
    FActive = true;
    BuildTree();
}

void TDynamicTree::Loaded()
{
    TComponent::Loaded();
    if (FStreamedActive)
        SetActive(true);
}

void TDynamicTree::SetLoadAll(bool value)
{
    if (value == FLoadAll)
        return;
    FLoadAll = value;
    if (!value)
        return;
    // On the user-interface thread the waiting levels are read together.
    std::optional<TPrefetchScope> scope;
    if (FSyncDataLoad) {
        scope.emplace(*this);
        for (TNodeItem* dummy : std::as_const(FDummyNodes))
            if (auto* parent = static_cast<TNodeItem*>(dummy->Parent()); parent && parent->ItemInfo())
                FPrefetch.Queue(parent->ItemInfo()->Id);
    }
    while (!FDummyNodes.isEmpty()) {
        TNodeItem* dummy = FDummyNodes.first();
        auto* parent = static_cast<TNodeItem*>(dummy->Parent());
        LoadChildren(parent);
        // A level that could not start (no record on its node) keeps its dummy: leave
        // it for the user's expansion rather than trying it again for ever.
        if (!FDummyNodes.isEmpty() && FDummyNodes.first() == dummy)
            break;
    }
}

void TDynamicTree::SetAutoExpandKind(TAutoExpandKind value)
{
    if (value == FAutoExpandKind)
        return;
    FAutoExpandKind = value;
    if (FActive)
        ApplyAutoExpand();
}

void TDynamicTree::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FTreeView)
        SetTreeView(nullptr);
    if (AComponent == FAdoConn)
        SetAdoConn(nullptr);
}

// --- activation and the load guard --------------------------------------------------

QString TDynamicTree::SqlTableText() const
{
    QString text;
    for (const QString& line : FSqlTable)
        text += line + QLatin1Char('\n');
    return text;
}

void TDynamicTree::CheckProperties() const
{
    if (!FTreeView)
        throw TExceptDynamicTree(Format(SNotAssigned, QStringLiteral("TreeView")));
    if (!FAdoConn)
        throw TExceptDynamicTree(Format(SNotAssigned, QStringLiteral("AdoConn")));
    if (!FAdoConn->Connected())
        throw TExceptDynamicTree(SAdoConnNotOpen);
    if (Trim(SqlTableText()).isEmpty())
        throw TExceptDynamicTree(Format(SNotAssigned, QStringLiteral("SqlTable")));
    const std::pair<const char*, const QString*> fields[] = {
        {"FieldId", &FFieldId},         {"FieldPid", &FFieldPid},   {"FieldIsLeaf", &FFieldIsLeaf},
        {"FieldCaption", &FFieldCaption}, {"FieldText", &FFieldText},
    };
    for (const auto& [name, value] : fields)
        if (Trim(*value).isEmpty())
            throw TExceptDynamicTree(Format(SNotAssigned, QString::fromLatin1(name)));
}

bool TDynamicTree::CanLoad()
{
    const bool designing = HasState(csDesigning) || (Owner() && Owner()->HasState(csDesigning));
    const bool shuttingDown = Application && Application->Terminated();
    const bool ok = FActive && FAdoConn && FAdoConn->Connected() && FTreeView && !shuttingDown && !designing;
    if (!ok && FActive)
        Deactivate();
    return ok;
}

bool TDynamicTree::StillLoading(quint64 build)
{
    return CanLoad() && build == FBuild;
}

void TDynamicTree::Deactivate()
{
    if (!FActive)
        return;
    FActive = false;
    DetachThreads();
    if (!FTreeView)
        return;
    FTreeView->OnExpanding = FOldOnExpanding;
    FOldOnExpanding = nullptr;
    ++FBuild;
    FTreeView->Items()->Clear();
}

// Pending levels deliver nothing: their threads run out by themselves.
void TDynamicTree::DetachThreads()
{
    while (!FThreads.isEmpty()) {
        TQueryThread* thread = FThreads.takeLast();
        thread->Terminate();
        thread->OnQueryOpened = nullptr;
        thread->OnTerminate = nullptr;
        if (auto* node = static_cast<TNodeItem*>(thread->Node))
            node->LoadingThread = nullptr;
        thread->Node = nullptr;
    }
}

// --- building and loading -----------------------------------------------------------

TItemInfo* TDynamicTree::CreateItemInfo(TItemInfoClass cls)
{
    if (cls == &TItemInfo::staticMetaObject)
        return new TItemInfo;   // the usual record, without a look-up by meta-object
    const QString name = ClassNameOf(cls);
    if (!cls || !ClassInheritsFrom(cls, &TItemInfo::staticMetaObject))
        throw TExceptDynamicTree(Format(SBadItemInfoClass, name));
    QObject* object = cls->newInstance();
    auto* info = dynamic_cast<TItemInfo*>(object);
    if (!info) {
        delete object;
        throw TExceptDynamicTree(Format(SItemInfoNotCreated, name));
    }
    return info;
}

void TDynamicTree::BuildTree()
{
    FTreeView->Items()->Clear();
    const TViewUpdate update(FTreeView);
    const quint64 build = ++FBuild;
    FLastLoadError.clear();
    auto top = std::make_unique<TNodeItem>();
    TItemInfoClass cls = &TItemInfo::staticMetaObject;
    OnBeforAddNode(this, nullptr, top.get(), cls);   // its errors go to the writer of Active
    TNodeItem* attached = nullptr;
    try {
        TItemInfo* info = CreateItemInfo(cls);
        top->SetData(info);
        info->Kind = ikTopVirNode;
        info->Node = top.get();
        info->Id = FTopVirNodeIdValue;
        info->Pid = STopPid;
        info->Caption = STopCaption;
        info->IsLeaf = false;
        if (Trim(top->Text()).isEmpty())
            top->SetText(FTopVirNodeTitle);
        if (!StillLoading(build))
            return;
        attached = top.release();
        FTreeView->Items()->AddNode(attached, nullptr, attached->Text(), info, naAdd);
        OnAfterAddNode(this, nullptr, attached, info);
        if (!StillLoading(build))
            return;
        LoadChildren(attached);
        if (!StillLoading(build))
            return;
        ApplyAutoExpand();
    } catch (...) {
        // Not reported, as designed: the view stays empty. The text stays readable.
        FLastLoadError = ErrorText(std::current_exception());
        if (attached && build == FBuild && FTreeView)
            attached->Delete();
    }
}

QString TDynamicTree::WrappedStatement(const QString& condition) const
{
    QString sql = QStringLiteral("select a.* from (") + Trim(SqlTableText()) + QStringLiteral(") a") + condition;
    const QString orderBy = Trim(FFieldOrderBy);
    if (!orderBy.isEmpty())
        sql += QStringLiteral(" Order by a.") + orderBy;
    return sql;
}

QString TDynamicTree::ChildrenStatement(const QString& Id) const
{
    return WrappedStatement(QStringLiteral(" where a.") + Trim(FFieldPid) + QStringLiteral("='") + SqlEscape(Id)
                            + QStringLiteral("'"));
}

QString TDynamicTree::LevelStatement(const QStringList& Ids) const
{
    if (Ids.size() == 1)
        return ChildrenStatement(Ids.first());
    QStringList quoted;
    quoted.reserve(Ids.size());
    for (const QString& id : Ids)
        quoted << QStringLiteral("'") + SqlEscape(id) + QStringLiteral("'");
    return WrappedStatement(QStringLiteral(" where a.") + Trim(FFieldPid) + QStringLiteral(" in (")
                            + quoted.join(QLatin1Char(',')) + QStringLiteral(")"));
}

void TDynamicTree::LoadChildren(TNodeItem* node)
{
    if (!CanLoad() || !node || !node->ItemInfo())
        return;
    if (node->HasChildren())
        node->DeleteChildren();
    std::optional<TViewUpdate> update;
    if (FSyncDataLoad)
        update.emplace(FTreeView);
    if (FLoadAll && FSyncDataLoad) {
        node->ChildrenLoaded = true;
        LoadLevelPrefetched(node);
        return;
    }
    const QString sql = ChildrenStatement(node->ItemInfo()->Id);
    auto* query = new TADOQuery(nullptr);
    query->SetConnection(FAdoConn);
    query->SetSQLText(sql);
    node->ChildrenLoaded = true;
    try {
        OnLevelQuery(this, sql);
    } catch (...) {
        query->Free();
        throw;
    }
    if (FSyncDataLoad)
        LoadLevelNow(node, query);
    else
        LoadLevelInBackground(node, query);
}

void TDynamicTree::LoadLevelNow(TNodeItem* node, TADOQuery* query)
{
    TQueryHolder holder(query);
    const quint64 build = FBuild;
    query->Open();
    query->First();
    while (!query->Eof() && StillLoading(build)) {
        AddNodeFromFields(node, nullptr, query->Fields());
        query->Next();
    }
}

void TDynamicTree::LoadLevelPrefetched(TNodeItem* node)
{
    TPrefetchScope scope(*this);
    const QString id = node->ItemInfo()->Id;
    TLevelPrefetch::TRows rows;
    if (!FPrefetch.Take(id, rows)) {
        ReadLevel(id);
        FPrefetch.Take(id, rows);
    }
    const quint64 build = FBuild;
    for (int recNo : std::as_const(rows.RecNos)) {
        if (!StillLoading(build))
            break;
        // Deeper levels may read the same query meanwhile: the row is set each time.
        rows.Query->SetRecNo(recNo);
        AddNodeFromFields(node, nullptr, rows.Query->Fields());
    }
}

// Reads the children of `id`, with those of the nodes that wait for theirs. A statement
// of several ids that fails is not reported: the node reads its own statement, whose
// error goes on as it always did.
void TDynamicTree::ReadLevel(const QString& id)
{
    if (FPrefetch.TryWholeFirst() && ReadWholeSource())
        return;
    const QStringList batch = FPrefetch.NextBatch(id);
    if (batch.size() == 1) {
        ReadStatement(batch);
        return;
    }
    try {
        ReadStatement(batch);
        return;
    } catch (...) {
        FPrefetch.StopBatching();
    }
    ReadStatement({id});
}

// The first read of a load takes the whole row source in one statement, when its rows
// can be filed under their parents exactly. A failure is not reported: the load goes on
// level by level, whose statements report their own errors.
bool TDynamicTree::ReadWholeSource()
{
    const std::shared_ptr<TADOQuery> query = LevelQuery(WrappedStatement(QString()));
    try {
        query->Open();
    } catch (...) {
        return false;
    }
    return FPrefetch.FileWhole(query, FTopVirNodeIdValue, LevelColumns());
}

// A query of `sql` on the tree's connection, announced and not opened yet; it closes and
// goes with its last holder.
std::shared_ptr<TADOQuery> TDynamicTree::LevelQuery(const QString& sql)
{
    std::shared_ptr<TADOQuery> query(new TADOQuery(nullptr), [](TADOQuery* q) {
        q->Close();
        q->Free();
    });
    query->SetConnection(FAdoConn);
    query->SetSQLText(sql);
    OnLevelQuery(this, sql);
    return query;
}

TLevelPrefetch::TColumns TDynamicTree::LevelColumns() const
{
    return {FFieldId, Trim(FFieldPid), FFieldIsLeaf, FValueIsLeaf};
}

void TDynamicTree::ReadStatement(const QStringList& ids)
{
    const std::shared_ptr<TADOQuery> query = LevelQuery(LevelStatement(ids));
    query->Open();
    if (FPrefetch.File(query, ids, LevelColumns()))
        return;
    // A parent column that does not read as the ids: node by node from here on.
    FPrefetch.StopBatching();
    ReadStatement({ids.first()});
}

void TDynamicTree::LoadLevelInBackground(TNodeItem* node, TADOQuery* query)
{
    auto* thread = new TQueryThread(true, query);
    FThreads.append(thread);
    thread->OnTerminate = [this](TObject* Sender) { QueryThreadTerminated(Sender); };
    thread->OnQueryOpened = [this](TQueryThread* Thread, TDataSet* DataSet) { LoadFromThread(Thread, DataSet); };
    thread->Node = node;
    node->LoadingThread = thread;
    if (!CanLoad())
        thread->Terminate();
    thread->Resume();
}

void TDynamicTree::AddNodeFromFields(TNodeItem* parent, TQueryThread* thread, TFields* fields)
{
    // The thread's Node goes nil when that node is deleted while its level loads.
    auto mayGoOn = [&] { return CanLoad() && (!thread || (!thread->IsTerminated() && thread->Node)); };
    if (!mayGoOn())
        return;
    if (thread)
        parent = static_cast<TNodeItem*>(thread->Node);
    const quint64 build = FBuild;
    auto node = std::make_unique<TNodeItem>();
    TItemInfoClass cls = &TItemInfo::staticMetaObject;
    OnBeforAddNode(this, fields, node.get(), cls);
    TItemInfo* info = CreateItemInfo(cls);
    node->SetData(info);
    if (build != FBuild || !mayGoOn())
        return;   // the handler ended this load: the row is dropped
    if (!parent->ItemInfo())
        throw TExceptDynamicTree(SNodeInfoLost);

    TNodeItem* attached = nullptr;
    try {
        const QString text = FillRecord(node.get(), info, fields);
        if (!CanLoad())
            return;
        // Only a first child can change which leaf the first children lead to.
        const bool firstChild = !parent->HasChildren();
        attached = node.release();
        FTreeView->Items()->AddNode(attached, parent, text, info, naAddChild);
        if (parent->ExpandAfterLoad) {
            parent->ExpandAfterLoad = false;
            parent->SetExpanded(true);
            if (!StillLoading(build))
                return;
        }
        OnAfterAddNode(this, fields, attached, info);
        if (!StillLoading(build) || !AddChildrenOrDummy(attached, cls, build))
            return;
        if (firstChild)
            ApplyAutoExpand();
    } catch (...) {
        // Not reported, as designed: the row (and any branch under it) is dropped.
        FLastLoadError = ErrorText(std::current_exception());
        if (attached && build == FBuild && FTreeView)
            attached->Delete();
    }
}

QString TDynamicTree::FillRecord(TNodeItem* node, TItemInfo* info, TFields* fields) const
{
    info->Kind = ikDataNode;
    info->Node = node;
    // Column names as stored, untrimmed.
    info->Id = RowField(fields, rcId, FFieldId)->AsString();
    info->Pid = RowField(fields, rcPid, FFieldPid)->AsString();
    info->Caption = RowField(fields, rcCaption, FFieldCaption)->AsString();
    info->IsLeaf = RowField(fields, rcIsLeaf, FFieldIsLeaf)->AsString() == FValueIsLeaf;
    QString text = node->Text();   // a text that OnBeforAddNode set stays
    if (Trim(text).isEmpty()) {
        text = !FFieldText.isEmpty() ? RowField(fields, rcText, FFieldText)->AsString()
                                     : info->Caption + QLatin1Char('(') + info->Id + QLatin1Char(')');
    }
    return text;
}

TField* TDynamicTree::RowField(TFields* fields, TRowColumn column, const QString& name) const
{
    const quint64 generation = fields->Generation();
    auto isFor = [&](const TRowFields& entry) { return entry.Fields == fields && entry.Generation == generation; };
    if (!isFor(FRowFields[FRowFieldsLast])) {
        int found = 0;
        while (found < RowFieldsKept && !isFor(FRowFields[found]))
            ++found;
        if (found == RowFieldsKept) {
            found = (FRowFieldsLast + 1) % RowFieldsKept;
            FRowFields[found] = TRowFields();
            FRowFields[found].Fields = fields;
            FRowFields[found].Generation = generation;
        }
        FRowFieldsLast = found;
    }
    TRowFields& known = FRowFields[FRowFieldsLast];
    // The names are the tree's own properties: the same text as last time, unless a
    // handler changed a property meanwhile.
    const QString& last = known.Names[column];
    const bool sameName = (last.constData() == name.constData() && last.size() == name.size()) || last == name;
    if (!known.Known[column] || !sameName) {
        known.Names[column] = name;
        known.Found[column] = fields->FindField(name);
        known.Known[column] = true;
    }
    return known.Found[column] ? known.Found[column] : fields->FieldByName(name);   // raises naming it
}

// A leaf never loads; with LoadAll the children load now, depth first; otherwise a
// dummy child shows the expand button. False when the load ended meanwhile.
bool TDynamicTree::AddChildrenOrDummy(TNodeItem* node, TItemInfoClass cls, quint64 build)
{
    if (node->ItemInfo()->IsLeaf) {
        node->ChildrenLoaded = true;
        return true;
    }
    if (FLoadAll) {
        LoadChildren(node);
        return StillLoading(build);
    }
    auto dummy = std::make_unique<TNodeItem>();
    TItemInfo* info = CreateItemInfo(cls);
    dummy->SetData(info);
    info->Kind = ikDummyNode;
    FDummyNodes.append(dummy.get());
    dummy->DummyList = &FDummyNodes;
    if (!CanLoad())
        return false;   // the dummy leaves FDummyNodes as it is freed
    TNodeItem* attached = dummy.release();
    FTreeView->Items()->AddNode(attached, node, SDummyText, info, naAddChild);
    ApplyAutoExpand();
    return StillLoading(build);
}

void TDynamicTree::LoadFromThread(TQueryThread* thread, TDataSet* dataSet)
{
    TQueryHolder holder(dataSet);
    if (thread->IsTerminated() || !CanLoad())
        return;
    dataSet->First();
    while (!dataSet->Eof() && !thread->IsTerminated() && thread->Node) {
        if (!CanLoad())
            break;
        AddNodeFromFields(nullptr, thread, dataSet->Fields());
        if (!CanLoad())
            break;
        ProcessPendingMessages();
        if (!CanLoad())
            break;
        dataSet->Next();
    }
}

void TDynamicTree::QueryThreadTerminated(TObject* Sender)
{
    auto* thread = static_cast<TQueryThread*>(Sender);
    if (!thread->ErrorText().isEmpty())
        FLastLoadError = thread->ErrorText();
    if (!CanLoad())
        return;   // deactivated: every thread was detached
    FThreads.removeAll(thread);
    if (auto* node = static_cast<TNodeItem*>(thread->Node))
        node->LoadingThread = nullptr;
    thread->Node = nullptr;
}

// --- auto-expansion and the expansion hook -------------------------------------------

void TDynamicTree::ApplyAutoExpand()
{
    if (!FTreeView)
        return;
    switch (FAutoExpandKind) {
    case aekNone: break;
    case aekTitleNode: ExpandTitleNode(); break;
    case aekFirstLeaf: ExpandFirstLeaf(); break;
    }
}

void TDynamicTree::ExpandTitleNode()
{
    auto* top = dynamic_cast<TNodeItem*>(FTreeView->Items()->GetFirstNode());
    if (!top || top->AutoExpanded || (top->Expanded() && top->Selected()))
        return;
    const quint64 build = FBuild;
    top->SetSelected(true);
    if (build != FBuild)
        return;   // the change event rebuilt or cleared the tree
    top->SetExpanded(true);
    if (build != FBuild)
        return;
    top->AutoExpanded = true;
}

TNodeItem* TDynamicTree::FindFirstLeaf() const
{
    TTreeNode* node = FTreeView->Items()->GetFirstNode();
    if (!node)
        return nullptr;
    while (TTreeNode* child = node->getFirstChild())
        node = child;
    return dynamic_cast<TNodeItem*>(node);
}

// Opens the first branch from the first leaf's parent down to a node without
// children and selects that node, once. While a level still loads in the background
// the walk stops early; a later call carries it on.
void TDynamicTree::ExpandFirstLeaf()
{
    TNodeItem* leaf = FindFirstLeaf();
    if (!leaf || leaf->AutoExpanded || leaf->Selected())
        return;
    const quint64 build = FBuild;
    TNodeItem* current = leaf;
    while (auto* parent = dynamic_cast<TNodeItem*>(current->Parent())) {
        parent->SetExpanded(true);
        if (build != FBuild)
            return;
        auto* child = dynamic_cast<TNodeItem*>(parent->getFirstChild());
        if (!child)
            return;
        current = child;
        current->SetExpanded(true);
        if (build != FBuild)
            return;
        auto* grandChild = dynamic_cast<TNodeItem*>(current->getFirstChild());
        if (!grandChild)
            break;
        current = grandChild;
    }
    current->SetSelected(true);
    if (build != FBuild)
        return;
    current->AutoExpanded = true;
}

void TDynamicTree::TreeViewExpanding(TObject* Sender, TTreeNode* Node, bool& AllowExpansion)
{
    if (FOldOnExpanding) {
        const auto previous = FOldOnExpanding;   // a copy: deactivation clears the member
        previous(Sender, Node, AllowExpansion);
    }
    auto* node = dynamic_cast<TNodeItem*>(Node);
    if (!AllowExpansion || !node || !node->ItemInfo() || node->ChildrenLoaded)
        return;
    node->ExpandAfterLoad = true;
    LoadChildren(node);
}

// --- registration ---------------------------------------------------------------------

void RegisterDynamicTreeClasses()
{
    RegisterComponentClass(&TDynamicTree::staticMetaObject);
    RegisterResourceIdent(QStringLiteral("aekNone"), aekNone);
    RegisterResourceIdent(QStringLiteral("aekTitleNode"), aekTitleNode);
    RegisterResourceIdent(QStringLiteral("aekFirstLeaf"), aekFirstLeaf);
}

namespace {
[[maybe_unused]] const bool kDynamicTreeClassesRegistered = (RegisterDynamicTreeClasses(), true);
} // namespace
