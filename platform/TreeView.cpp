#include "platform/TreeView.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QTreeWidget>
#include <algorithm>
#include <utility>

#include "platform/FormResource.h"
#include "platform/ImgList.h"

namespace {

// Items of this type are TTreeNode objects; the view holds no other kind.
constexpr int kNodeItemType = QTreeWidgetItem::UserType + 0x7A1;
// Room around the text of a label, as the platform's tree left it.
constexpr int kLabelPadding = 2;

// Calls an event's handler through a copy: a handler may replace or clear the event
// it runs from (a component that takes the event over and gives it back).
template <class Event, class... Args>
void Fire(const Event& event, Args&&... args)
{
    const typename Event::Handler handler = event.handler();
    if (handler)
        handler(std::forward<Args>(args)...);
}

int SubtreeSize(const QTreeWidgetItem* item)
{
    int n = 1;
    for (int i = 0; i < item->childCount(); ++i)
        n += SubtreeSize(item->child(i));
    return n;
}

// Pointers to nodes that code holds across a call-out to an event handler; a node
// that goes meanwhile clears them (nodes live on the user-interface thread only).
QList<TTreeNode**>& NodeGuards()
{
    static QList<TTreeNode**> guards;
    return guards;
}

// Holds a node across a handler that may delete it: Get() is nil once it has gone.
class TNodeGuard {
public:
    explicit TNodeGuard(TTreeNode* node) : FNode(node) { NodeGuards().append(&FNode); }
    ~TNodeGuard() { NodeGuards().removeOne(&FNode); }
    TNodeGuard(const TNodeGuard&) = delete;
    TNodeGuard& operator=(const TNodeGuard&) = delete;
    TTreeNode* Get() const { return FNode; }

private:
    TTreeNode* FNode;
};

} // namespace

// The Qt widget behind a TCustomTreeView; it only opens up what the view needs.
class TTreeViewWidget : public QTreeWidget {
public:
    explicit TTreeViewWidget(TCustomTreeView* view) : FView(view)
    {
        setColumnCount(1);
        setHeaderHidden(true);
        setUniformRowHeights(true);
        setIndentation(19);
        setSelectionMode(QAbstractItemView::SingleSelection);
        setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
        setExpandsOnDoubleClick(true);
        // Keys go to the viewport first, so that key and mouse messages of the
        // application's message hook name the same window.
        viewport()->setFocusProxy(nullptr);
        viewport()->setFocusPolicy(Qt::StrongFocus);
        setFocusProxy(viewport());
    }

    TCustomTreeView* View() const { return FView; }
    void Detach() { FView = nullptr; }
    QTreeWidgetItem* ItemOf(const QModelIndex& index) const { return itemFromIndex(index); }
    void Relayout() { scheduleDelayedItemsLayout(); }

private:
    TCustomTreeView* FView;
};

// Paints a node as the platform did: state image, icon, then the label, with only
// the label highlighted when the node is selected.
class TTreeNodeDelegate : public QStyledItemDelegate {
public:
    TTreeNodeDelegate(TCustomTreeView* view, TTreeViewWidget* tree) : QStyledItemDelegate(tree), FView(view), FTree(tree) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const TTreeNode* node = TTreeNode::FromItem(FTree->ItemOf(index));
        if (!node || !FTree->View())
            return;
        const TCustomTreeView::TNodeGeometry g = FView->NodeGeometry(node, option.rect);
        if (TCustomImageList* states = FView->StateImages(); states && node->StateIndex() > 0)
            states->Icon(node->StateIndex()).paint(painter, g.State);
        if (TCustomImageList* images = FView->Images()) {
            const int imageIndex = node->Selected() ? node->SelectedIndex() : node->ImageIndex();
            images->Icon(imageIndex).paint(painter, g.Icon);
        }
        const bool focused = FTree->hasFocus();
        const bool highlighted = (option.state & QStyle::State_Selected) && (focused || !FView->HideSelection());
        const QPalette& pal = option.palette;
        if (highlighted)
            painter->fillRect(g.Label, pal.brush(focused ? QPalette::Active : QPalette::Inactive, QPalette::Highlight));
        painter->save();
        painter->setFont(option.font);
        painter->setPen(pal.color(highlighted ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(g.Label.adjusted(kLabelPadding, 0, -kLabelPadding, 0), Qt::AlignVCenter | Qt::AlignLeft,
                          node->Text());
        painter->restore();
        if (focused && (option.state & QStyle::State_HasFocus)) {
            QStyleOptionFocusRect frame;
            frame.initFrom(FTree);
            frame.rect = g.Label;
            frame.backgroundColor = pal.color(highlighted ? QPalette::Highlight : QPalette::Base);
            FTree->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, painter, FTree);
        }
    }

    QSize sizeHint(const QStyleOptionViewItem& /*option*/, const QModelIndex& index) const override
    {
        const TTreeNode* node = TTreeNode::FromItem(FTree->ItemOf(index));
        return node && FTree->View() ? FView->NodeSizeHint(node) : QSize();
    }

    // A label cut by the view's edge shows its whole text as a tooltip; a label in full
    // sight needs none.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override
    {
        const TTreeNode* node = TTreeNode::FromItem(FTree->ItemOf(index));
        if (event->type() != QEvent::ToolTip || !node || !FTree->View())
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        const QRect label = FView->NodeGeometry(node, option.rect).Label;
        const QRect sight = view->viewport()->rect();
        if (label.left() >= sight.left() && label.right() <= sight.right()) {
            QToolTip::hideText();
            return false;
        }
        QToolTip::showText(event->globalPos(), node->Text(), view->viewport(), label);
        return true;
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const TTreeNode* node = TTreeNode::FromItem(FTree->ItemOf(index));
        if (!node || !FTree->View())
            return QStyledItemDelegate::updateEditorGeometry(editor, option, index);
        QRect r = FView->NodeGeometry(node, option.rect).Label;
        r.setRight(std::max(r.right(), option.rect.right()));
        editor->setGeometry(r);
    }

private:
    TCustomTreeView* FView;
    TTreeViewWidget* FTree;
};

// --- TTreeNode ----------------------------------------------------------------------

TTreeNode::TTreeNode() : QTreeWidgetItem(kNodeItemType)
{
    setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
}

TTreeNode::~TTreeNode()
{
    for (TTreeNode** guard : NodeGuards())
        if (*guard == this)
            *guard = nullptr;
    if (FHeldBy) {
        FHeldBy->Items()->Unhold(this);
    } else if (treeWidget()) {
        // Held nodes below this one become the widget's children first, so that they go
        // with it (the widget deletes a node's children, it knows nothing of held ones).
        ReleaseHeldNodes();
    }
}

TTreeNode* TTreeNode::FromItem(QTreeWidgetItem* item)
{
    return item && item->type() == kNodeItemType ? static_cast<TTreeNode*>(item) : nullptr;
}

TCustomTreeView* TTreeNode::TreeView() const
{
    if (auto* tree = static_cast<TTreeViewWidget*>(treeWidget()))
        return tree->View();
    // Not in the widget: a held node, or a node of a held branch, or unattached.
    const QTreeWidgetItem* top = this;
    while (top->parent())
        top = top->parent();
    return static_cast<const TTreeNode*>(top)->FHeldBy;
}

void TTreeNode::ReleaseHeldNodes() const
{
    if (TCustomTreeView* view = TreeView())
        view->Items()->Release();
}

TTreeNodes* TTreeNode::Owner() const
{
    TCustomTreeView* view = TreeView();
    return view ? view->Items() : nullptr;
}

void TTreeNode::SetText(const QString& text)
{
    if (text == FText)
        return;
    FText = text;
    Changed();
}

QVariant TTreeNode::data(int column, int role) const
{
    if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole))
        return FText;
    return QTreeWidgetItem::data(column, role);
}

void TTreeNode::setData(int column, int role, const QVariant& value)
{
    if (column == 0 && (role == Qt::DisplayRole || role == Qt::EditRole))
        SetText(value.toString());
    else
        QTreeWidgetItem::setData(column, role, value);
}

TTreeNode* TTreeNode::Parent() const { return FHeldBy ? FHeldParent : FromItem(parent()); }

TTreeNode* TTreeNode::getFirstChild() const
{
    if (childCount() > 0)
        return FromItem(child(0));
    return FHeldChildren.isEmpty() ? nullptr : FHeldChildren.first();
}

TTreeNode* TTreeNode::GetLastChild() const
{
    if (!FHeldChildren.isEmpty())
        return FHeldChildren.last();
    return childCount() > 0 ? FromItem(child(childCount() - 1)) : nullptr;
}

TTreeNode* TTreeNode::getNextSibling() const
{
    if (FHeldBy)
        return FHeldBy->Items()->HeldChildren(FHeldParent).value(FHeldIndex + 1);
    auto* self = const_cast<TTreeNode*>(this);
    if (QTreeWidgetItem* p = parent()) {
        const int next = p->indexOfChild(self) + 1;
        if (next < p->childCount())
            return FromItem(p->child(next));
        const TTreeNode* parentNode = FromItem(p);
        return parentNode ? parentNode->FHeldChildren.value(0) : nullptr;   // held ones follow
    }
    if (QTreeWidget* tree = treeWidget()) {
        const int next = tree->indexOfTopLevelItem(self) + 1;
        if (next < tree->topLevelItemCount())
            return FromItem(tree->topLevelItem(next));
        TCustomTreeView* view = TreeView();
        return view ? view->Items()->HeldChildren(nullptr).value(0) : nullptr;
    }
    return nullptr;
}

TTreeNode* TTreeNode::getPrevSibling() const
{
    const int index = Index();
    if (index <= 0)
        return nullptr;
    if (TTreeNode* p = Parent())
        return p->Item(index - 1);
    TCustomTreeView* view = TreeView();
    if (!view)
        return nullptr;
    QTreeWidget* tree = view->FTree;
    if (index - 1 < tree->topLevelItemCount())
        return FromItem(tree->topLevelItem(index - 1));
    return view->Items()->HeldChildren(nullptr).value(index - 1 - tree->topLevelItemCount());
}

TTreeNode* TTreeNode::GetNext() const
{
    if (TTreeNode* first = getFirstChild())
        return first;
    for (const TTreeNode* n = this; n; n = n->Parent()) {
        if (TTreeNode* next = n->getNextSibling())
            return next;
    }
    return nullptr;
}

bool TTreeNode::HasChildren() const { return childCount() > 0 || !FHeldChildren.isEmpty(); }

int TTreeNode::Count() const { return childCount() + static_cast<int>(FHeldChildren.size()); }

TTreeNode* TTreeNode::Item(int index) const
{
    if (index < 0)
        return nullptr;
    if (index < childCount())
        return FromItem(child(index));
    return FHeldChildren.value(index - childCount());
}

int TTreeNode::Index() const
{
    if (FHeldBy) {
        const int shown = FHeldParent ? FHeldParent->childCount() : FHeldBy->FTree->topLevelItemCount();
        return shown + FHeldIndex;
    }
    auto* self = const_cast<TTreeNode*>(this);
    if (QTreeWidgetItem* p = parent())
        return p->indexOfChild(self);
    if (QTreeWidget* tree = treeWidget())
        return tree->indexOfTopLevelItem(self);
    return -1;
}

int TTreeNode::Level() const
{
    int level = 0;
    for (const TTreeNode* p = Parent(); p; p = p->Parent())
        ++level;
    return level;
}

int TTreeNode::AbsoluteIndex() const
{
    ReleaseHeldNodes();
    QTreeWidget* tree = treeWidget();
    if (!tree)
        return -1;
    int index = 0;
    const QTreeWidgetItem* item = this;
    while (item) {
        QTreeWidgetItem* p = item->parent();
        const int position = p ? p->indexOfChild(const_cast<QTreeWidgetItem*>(item))
                               : tree->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
        for (int i = 0; i < position; ++i)
            index += SubtreeSize(p ? p->child(i) : tree->topLevelItem(i));
        if (p)
            ++index;   // the parent comes before its children
        item = p;
    }
    return index;
}

bool TTreeNode::HasAsParent(const TTreeNode* ancestor) const
{
    for (const TTreeNode* p = Parent(); p; p = p->Parent())
        if (p == ancestor)
            return true;
    return false;
}

void TTreeNode::DeleteChildren()
{
    ReleaseHeldNodes();
    TCustomTreeView* view = TreeView();
    if (view)
        ++view->FQuietChange;
    const QList<QTreeWidgetItem*> children = takeChildren();
    for (QTreeWidgetItem* c : children)
        delete c;
    if (view)
        --view->FQuietChange;
}

void TTreeNode::Delete()
{
    ReleaseHeldNodes();
    TCustomTreeView* view = TreeView();
    if (view)
        ++view->FQuietChange;
    delete this;
    if (view)
        --view->FQuietChange;
}

bool TTreeNode::Expanded() const { return treeWidget() && isExpanded(); }

void TTreeNode::SetExpanded(bool value)
{
    TCustomTreeView* view = TreeView();
    if (!view || value == Expanded())
        return;
    ReleaseHeldNodes();
    // The handler may delete this node (a component that reloads its tree).
    TNodeGuard self(this);
    const bool allowed = value ? view->CanExpand(this) : view->CanCollapse(this);
    if (!allowed || !self.Get())
        return;
    if (value)
        view->ExpandNode(this);
    else
        view->CollapseNode(this);
}

void TTreeNode::Expand(bool recurse)
{
    TNodeGuard self(this);
    SetExpanded(true);
    if (!recurse || !self.Get())
        return;
    for (int i = 0; self.Get() && i < Count(); ++i) {
        TNodeGuard child(Item(i));
        child.Get()->Expand(true);
    }
}

void TTreeNode::Collapse(bool recurse)
{
    TNodeGuard self(this);
    if (recurse) {
        for (int i = 0; self.Get() && i < Count(); ++i)
            Item(i)->Collapse(true);
    }
    if (self.Get())
        SetExpanded(false);
}

bool TTreeNode::Selected() const
{
    TCustomTreeView* view = TreeView();
    return isSelected() || (view && !view->MultiSelect() && view->Selected() == this);
}

void TTreeNode::SetSelected(bool value)
{
    TCustomTreeView* view = TreeView();
    if (!view)
        return;
    if (value)
        view->SetSelected(this);
    else
        setSelected(false);
}

bool TTreeNode::Focused() const
{
    QTreeWidget* tree = treeWidget();
    return tree && tree->currentItem() == this;
}

void TTreeNode::SetStateIndex(int value)
{
    if (value == FStateIndex)
        return;
    FStateIndex = value;
    Changed();
}

void TTreeNode::SetImageIndex(int value)
{
    if (value == FImageIndex)
        return;
    FImageIndex = value;
    Changed();
}

void TTreeNode::SetSelectedIndex(int value)
{
    if (value == FSelectedIndex)
        return;
    FSelectedIndex = value;
    Changed();
}

void TTreeNode::Changed()
{
    if (treeWidget())
        emitDataChanged();
}

QRect TTreeNode::DisplayRect(bool TextOnly) const
{
    TCustomTreeView* view = TreeView();
    if (!view)
        return {};
    ReleaseHeldNodes();
    const QRect cell = view->FTree->visualItemRect(this);
    if (cell.isEmpty())
        return {};
    if (TextOnly)
        return view->NodeGeometry(this, cell).Label;
    return QRect(0, cell.top(), view->FTree->viewport()->width(), cell.height());
}

QRect TTreeNode::StateIconRect() const
{
    TCustomTreeView* view = TreeView();
    if (!view)
        return {};
    ReleaseHeldNodes();
    const QRect cell = view->FTree->visualItemRect(this);
    return cell.isEmpty() ? QRect() : view->NodeGeometry(this, cell).State;
}

QRect TTreeNode::IconRect() const
{
    TCustomTreeView* view = TreeView();
    if (!view)
        return {};
    ReleaseHeldNodes();
    const QRect cell = view->FTree->visualItemRect(this);
    return cell.isEmpty() ? QRect() : view->NodeGeometry(this, cell).Icon;
}

void TTreeNode::MakeVisible()
{
    ReleaseHeldNodes();
    TNodeGuard self(this);
    QList<TTreeNode*> ancestors;
    for (TTreeNode* p = Parent(); p; p = p->Parent())
        ancestors.prepend(p);
    for (TTreeNode* p : ancestors) {
        p->SetExpanded(true);
        if (!self.Get())
            return;
    }
    if (QTreeWidget* tree = treeWidget())
        tree->scrollToItem(this);
}

// --- TTreeNodes ---------------------------------------------------------------------

void TTreeNodes::Clear() { FOwner->ClearNodes(); }

TTreeNode* TTreeNodes::GetFirstNode() const
{
    if (QTreeWidgetItem* first = FOwner->FTree->topLevelItem(0))
        return TTreeNode::FromItem(first);
    return FHeldRoots.value(0);
}

int TTreeNodes::Count() const
{
    const_cast<TTreeNodes*>(this)->Release();
    int n = 0;
    QTreeWidget* tree = FOwner->FTree;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        n += SubtreeSize(tree->topLevelItem(i));
    return n;
}

TTreeNode* TTreeNodes::Item(int index) const
{
    if (index < 0)
        return nullptr;
    TTreeNode* node = GetFirstNode();
    for (int i = 0; node && i < index; ++i)
        node = node->GetNext();
    return node;
}

TTreeNode* TTreeNodes::AddNode(TTreeNode* Node, TTreeNode* Relative, const QString& S, void* Ptr, TNodeAttachMode Method)
{
    if (!Node)
        throw ETreeViewError(QStringLiteral("树视图%1：要加入的节点为空").arg(FOwner->Name()));
    if (Node->treeWidget() || Node->parent() || Node->FHeldBy)
        throw ETreeViewError(QStringLiteral("树视图%1：节点“%2”已经在树中").arg(FOwner->Name(), Node->Text()));
    if (Relative && Relative->TreeView() != FOwner)
        throw ETreeViewError(QStringLiteral("树视图%1：节点“%2”不属于这个树视图").arg(FOwner->Name(), Relative->Text()));
    Node->SetText(S);
    Node->SetData(Ptr);
    const bool asChild = Method == naAddChild || Method == naAddChildFirst;
    const bool first = Method == naAddFirst || Method == naAddChildFirst;
    TTreeNode* parent = asChild ? Relative : (Relative ? Relative->Parent() : nullptr);
    if (!first)
        Append(Node, parent);
    else if (parent)
        parent->AsItem()->insertChild(0, Node->AsItem());   // before any held child too
    else
        FOwner->FTree->insertTopLevelItem(0, Node->AsItem());
    return Node;
}

void TTreeNodes::Append(TTreeNode* node, TTreeNode* parent)
{
    if (parent && !parent->treeWidget()) {
        parent->AsItem()->addChild(node->AsItem());   // a held branch: nothing to tell the widget
        return;
    }
    if (FUpdateCount > 0) {
        Hold(node, parent);
        return;
    }
    Release();   // none are held outside an update; kept so that the order stays right
    if (parent)
        parent->AsItem()->addChild(node->AsItem());
    else
        FOwner->FTree->addTopLevelItem(node->AsItem());
}

const QList<TTreeNode*>& TTreeNodes::HeldChildren(const TTreeNode* parent) const
{
    return parent ? parent->FHeldChildren : FHeldRoots;
}

void TTreeNodes::Hold(TTreeNode* node, TTreeNode* parent)
{
    QList<TTreeNode*>& held = parent ? parent->FHeldChildren : FHeldRoots;
    if (held.isEmpty())
        FHeldParents.append(parent);
    node->FHeldBy = FOwner;
    node->FHeldParent = parent;
    node->FHeldIndex = static_cast<int>(held.size());
    held.append(node);
}

void TTreeNodes::Unhold(TTreeNode* node)
{
    QList<TTreeNode*>& held = node->FHeldParent ? node->FHeldParent->FHeldChildren : FHeldRoots;
    held.removeAt(node->FHeldIndex);
    for (qsizetype i = node->FHeldIndex; i < held.size(); ++i)
        held[i]->FHeldIndex = static_cast<int>(i);
    if (held.isEmpty())
        FHeldParents.removeOne(node->FHeldParent);
    node->FHeldBy = nullptr;
    node->FHeldParent = nullptr;
    node->FHeldIndex = -1;
}

void TTreeNodes::Release()
{
    const QList<TTreeNode*> parents = std::exchange(FHeldParents, {});
    for (TTreeNode* parent : parents) {
        const QList<TTreeNode*> held = std::exchange(parent ? parent->FHeldChildren : FHeldRoots, {});
        QList<QTreeWidgetItem*> items;
        items.reserve(held.size());
        for (TTreeNode* node : held) {
            node->FHeldBy = nullptr;
            node->FHeldParent = nullptr;
            node->FHeldIndex = -1;
            items.append(node->AsItem());
        }
        if (parent)
            parent->AsItem()->insertChildren(parent->childCount(), items);
        else
            FOwner->FTree->insertTopLevelItems(FOwner->FTree->topLevelItemCount(), items);
    }
}

TTreeNode* TTreeNodes::AddObject(TTreeNode* Sibling, const QString& S, void* Ptr)
{
    return AddNode(new TTreeNode, Sibling, S, Ptr, naAdd);
}

TTreeNode* TTreeNodes::AddChildObject(TTreeNode* Parent, const QString& S, void* Ptr)
{
    return AddNode(new TTreeNode, Parent, S, Ptr, naAddChild);
}

void TTreeNodes::BeginUpdate()
{
    if (FUpdateCount++ == 0)
        FOwner->FTree->setUpdatesEnabled(false);
}

void TTreeNodes::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0) {
        Release();
        FOwner->FTree->setUpdatesEnabled(true);
    }
}

// --- TCustomTreeView ------------------------------------------------------------------

TCustomTreeView::TCustomTreeView(TComponent* AOwner)
    : TWinControl(AOwner, new TTreeViewWidget(this)),
      FTree(static_cast<TTreeViewWidget*>(Widget())),
      FItems(new TTreeNodes(this))
{
    FTree->setItemDelegate(new TTreeNodeDelegate(this, FTree));
    SetReadOnly(false);
    RegisterEvent("OnExpanding", &OnExpanding);
    RegisterEvent("OnExpanded", &OnExpanded);
    RegisterEvent("OnCollapsing", &OnCollapsing);
    RegisterEvent("OnChange", &OnChange);
    QObject::connect(FTree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { UserExpanded(item); });
    QObject::connect(FTree, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) { UserCollapsed(item); });
    QObject::connect(FTree, &QTreeWidget::currentItemChanged, this,
                     [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) { CurrentChanged(current, previous); });
}

TCustomTreeView::~TCustomTreeView()
{
    // The nodes go while this object is whole; the widget itself goes with TControl.
    ClearNodes();
    QObject::disconnect(FTree, nullptr, this, nullptr);
    FTree->Detach();
    delete FItems;
}

void TCustomTreeView::ClearNodes()
{
    FItems->Release();   // the widget deletes what it holds, in order
    ++FQuietChange;
    FTree->clear();
    --FQuietChange;
}

QWidget* TCustomTreeView::Handle() const { return FTree ? FTree->viewport() : nullptr; }

// The node with the focus: Qt makes a clicked node current before it selects it, and
// the change event must already see the new node.
TTreeNode* TCustomTreeView::Selected() const
{
    if (QTreeWidgetItem* current = FTree->currentItem())
        return TTreeNode::FromItem(current);
    const QList<QTreeWidgetItem*> selected = FTree->selectedItems();
    return selected.isEmpty() ? nullptr : TTreeNode::FromItem(selected.first());
}

void TCustomTreeView::SetSelected(TTreeNode* node)
{
    if (node && node->TreeView() != this)
        throw ETreeViewError(QStringLiteral("树视图%1：节点“%2”不属于这个树视图").arg(Name(), node->Text()));
    FItems->Release();
    TNodeGuard previous(Selected());
    TNodeGuard current(node);
    ++FQuietChange;
    if (node) {
        FTree->setCurrentItem(node->AsItem());
    } else {
        FTree->setCurrentItem(nullptr);
        FTree->clearSelection();
    }
    --FQuietChange;
    // Called from code: the change event runs here, so that its exceptions reach the
    // caller instead of unwinding through Qt.
    if (node && node != previous.Get()) {
        Fire(OnChange, this, node);
        ApplyAutoExpand(current.Get(), previous.Get());
    }
}

QList<TTreeNode*> TCustomTreeView::SelectedNodes() const
{
    QList<TTreeNode*> nodes;
    for (TTreeNode* n = Items()->GetFirstNode(); n; n = n->GetNext())
        if (n->Selected())
            nodes.append(n);
    return nodes;
}

int TCustomTreeView::SelectionCount() const { return static_cast<int>(FTree->selectedItems().size()); }

TTreeNode* TCustomTreeView::GetNodeAt(int X, int Y) const
{
    FItems->Release();
    if (!FTree->viewport()->rect().contains(X, Y))
        return nullptr;
    return TTreeNode::FromItem(FTree->itemAt(X, Y));
}

THitTests TCustomTreeView::GetHitTestInfoAt(int X, int Y) const
{
    FItems->Release();
    THitTests result;
    const QRect client = FTree->viewport()->rect();
    if (Y < client.top())
        result.Include(htAbove);
    if (Y > client.bottom())
        result.Include(htBelow);
    if (X < client.left())
        result.Include(htToLeft);
    if (X > client.right())
        result.Include(htToRight);
    if (!result.Empty())
        return result;
    const TTreeNode* node = TTreeNode::FromItem(FTree->itemAt(X, Y));
    if (!node)
        return result.Include(htNowhere);
    const QRect cell = FTree->visualItemRect(node);
    if (X < cell.left()) {
        const bool onButton = node->HasChildren() && X >= cell.left() - FTree->indentation()
                              && (node->Parent() || FTree->rootIsDecorated());
        return result.Include(onButton ? htOnButton : htOnIndent);
    }
    const TNodeGeometry g = NodeGeometry(node, cell);
    // Columns decide, as on the platform: the whole row height of each part counts.
    auto within = [X](const QRect& r) { return !r.isEmpty() && X >= r.left() && X <= r.right(); };
    if (within(g.State))
        return result.Include(htOnStateIcon).Include(htOnItem);
    if (within(g.Icon))
        return result.Include(htOnIcon).Include(htOnItem);
    if (within(g.Label))
        return result.Include(htOnLabel).Include(htOnItem);
    return result.Include(X > g.Label.right() ? htOnRight : htOnIndent);
}

TCustomTreeView::TNodeGeometry TCustomTreeView::NodeGeometry(const TTreeNode* node, const QRect& cell) const
{
    TNodeGeometry g;
    int x = cell.left() + 1;
    auto place = [&](TCustomImageList* list, QRect& r, int gap) {
        if (!list)
            return;
        r = QRect(x, cell.top() + (cell.height() - list->Height()) / 2, list->Width(), list->Height());
        x += list->Width() + gap;
    };
    place(FStateImages, g.State, 0);
    place(FImages, g.Icon, 1);
    const int textWidth = QFontMetrics(FTree->font()).horizontalAdvance(node->Text());
    g.Label = QRect(x, cell.top(), textWidth + 2 * kLabelPadding, cell.height());
    return g;
}

QSize TCustomTreeView::NodeSizeHint(const TTreeNode* node) const
{
    const QFontMetrics fm(FTree->font());
    int height = fm.height() + 2;
    if (FStateImages)
        height = std::max(height, FStateImages->Height() + 2);
    if (FImages)
        height = std::max(height, FImages->Height() + 2);
    const TNodeGeometry g = NodeGeometry(node, QRect(0, 0, 0, height));
    return QSize(g.Label.right() + 2, height);
}

bool TCustomTreeView::CanExpand(TTreeNode* node)
{
    bool allow = true;
    Fire(OnExpanding, this, node, allow);
    return allow;
}

bool TCustomTreeView::CanCollapse(TTreeNode* node)
{
    bool allow = true;
    Fire(OnCollapsing, this, node, allow);
    return allow;
}

void TCustomTreeView::ExpandNode(TTreeNode* node)
{
    ++FQuietExpand;
    node->AsItem()->setExpanded(true);
    --FQuietExpand;
    Fire(OnExpanded, this, node);
}

void TCustomTreeView::CollapseNode(TTreeNode* node)
{
    ++FQuietExpand;
    node->AsItem()->setExpanded(false);
    --FQuietExpand;
}

// Qt opens a node before it tells; a refused expansion is closed again at once.
void TCustomTreeView::UserExpanded(QTreeWidgetItem* item)
{
    TTreeNode* node = TTreeNode::FromItem(item);
    if (FQuietExpand > 0 || !node)
        return;
    TNodeGuard guard(node);
    bool allow = true;
    CallHandlerSafely(this, [&] { Fire(OnExpanding, this, node, allow); });
    if (!guard.Get())
        return;
    if (!allow) {
        CollapseNode(node);
        return;
    }
    CallHandlerSafely(this, [&] { Fire(OnExpanded, this, node); });
}

void TCustomTreeView::UserCollapsed(QTreeWidgetItem* item)
{
    TTreeNode* node = TTreeNode::FromItem(item);
    if (FQuietExpand > 0 || !node)
        return;
    TNodeGuard guard(node);
    bool allow = true;
    CallHandlerSafely(this, [&] { Fire(OnCollapsing, this, node, allow); });
    if (!allow && guard.Get()) {
        ++FQuietExpand;
        item->setExpanded(true);
        --FQuietExpand;
    }
}

void TCustomTreeView::CurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    TTreeNode* node = TTreeNode::FromItem(current);
    if (FQuietChange > 0 || !node)
        return;
    TNodeGuard selected(node);
    TNodeGuard left(TTreeNode::FromItem(previous));
    CallHandlerSafely(this, [&] {
        Fire(OnChange, this, node);
        ApplyAutoExpand(selected.Get(), left.Get());
    });
}

// AutoExpand: the newly selected node opens, the one left behind closes unless the
// new one lies inside it.
void TCustomTreeView::ApplyAutoExpand(TTreeNode* current, TTreeNode* previous)
{
    if (!FAutoExpand || !current || current->TreeView() != this)
        return;
    TNodeGuard guard(current);
    if (previous && previous != current && previous->TreeView() == this && !current->HasAsParent(previous))
        previous->SetExpanded(false);
    if (guard.Get())
        current->SetExpanded(true);
}

int TCustomTreeView::Indent() const { return FTree->indentation(); }

void TCustomTreeView::SetIndent(int value) { FTree->setIndentation(std::max(0, value)); }

void TCustomTreeView::SetMultiSelect(bool value)
{
    FMultiSelect = value;
    FTree->setSelectionMode(value ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
}

void TCustomTreeView::SetReadOnly(bool value)
{
    FReadOnly = value;
    FTree->setEditTriggers(value ? QAbstractItemView::NoEditTriggers
                                 : QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
}

void TCustomTreeView::SetHideSelection(bool value)
{
    FHideSelection = value;
    FTree->viewport()->update();
}

bool TCustomTreeView::ShowRoot() const { return FTree->rootIsDecorated(); }

void TCustomTreeView::SetShowRoot(bool value) { FTree->setRootIsDecorated(value); }

void TCustomTreeView::SetShowButtons(bool value)
{
    FShowButtons = value;
    FTree->setItemsExpandable(value);
}

void TCustomTreeView::SetImages(TCustomImageList* value)
{
    if (value == FImages)
        return;
    if (FImages)
        FImages->RemoveFreeNotification(this);
    FImages = value;
    if (FImages)
        FImages->FreeNotification(this);
    FTree->Relayout();
}

void TCustomTreeView::SetStateImages(TCustomImageList* value)
{
    if (value == FStateImages)
        return;
    if (FStateImages)
        FStateImages->RemoveFreeNotification(this);
    FStateImages = value;
    if (FStateImages)
        FStateImages->FreeNotification(this);
    FTree->Relayout();
}

void TCustomTreeView::FullExpand()
{
    for (TTreeNode* n = Items()->GetFirstNode(); n; n = n->getNextSibling())
        n->Expand(true);
}

void TCustomTreeView::FullCollapse()
{
    for (TTreeNode* n = Items()->GetFirstNode(); n; n = n->getNextSibling())
        n->Collapse(true);
}

void TCustomTreeView::Notification(TComponent* AComponent, TOperation Operation)
{
    TWinControl::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == FImages)
        SetImages(nullptr);
    if (AComponent == FStateImages)
        SetStateImages(nullptr);
}

// --- registration ---------------------------------------------------------------------

void RegisterTreeViewClasses()
{
    RegisterComponentClass(&TTreeView::staticMetaObject);
    RegisterComponentClass(&TCustomTreeView::staticMetaObject);
}

namespace {
[[maybe_unused]] const bool kTreeViewClassesRegistered = (RegisterTreeViewClasses(), true);
} // namespace
