#pragma once
// The tree view: a windowed control that shows nodes in a hierarchy, with a state
// image (a check box picture, say) and an icon left of each node's text.
//
// Nodes are objects of TTreeNode or of a class derived from it. A caller may create a
// node itself and attach it (TTreeNodes::AddNode), so that a derived node can carry
// and free its own data: deleting a node, deleting a node's children or clearing the
// collection deletes the node objects, children first-to-last after their parent's own
// destructor has run. The view never frees a node's Data pointer itself.
//
// Bulk loads: between TTreeNodes::BeginUpdate and EndUpdate, a node added as the last
// child of a node that the view shows (or as the last root node) is held back from the
// widget and handed over with its held siblings in one insertion when the update ends,
// or as soon as something needs the widget (expanding, selecting, geometry, deleting,
// counting). Nodes added below a held node go straight into it: the widget hears of a
// whole branch once, not of every node. The nodes answer as attached nodes meanwhile
// (view, parent, children, siblings, level, index), so that code which walks the tree
// during the load sees the same tree; a held node is neither expanded nor selected.
//
// Expansion: OnExpanding is asked before a node opens, whether code sets Expanded or
// the user clicks the expand button; a handler may refuse (AllowExpansion = false).
// It is a TEvent, so a component that takes it over can keep the previous handler and
// call it first. An exception of a handler during a user's click goes to the
// application's HandleException; during Expanded := true it goes to the caller.
//
// Coordinates of GetNodeAt and GetHitTestInfoAt are client coordinates of Handle(),
// the widget that receives the view's mouse and key input (and so the window that the
// application's message hook names for them).
//
// Free the view with Free(): components that hold it hear opRemove before any node or
// widget goes.
#include <QList>
#include <QRect>
#include <QString>
#include <QTreeWidgetItem>

#include "platform/Controls.h"

TALLYLEAF_DECLARE_EXCEPTION(ETreeViewError, Exception);

class TCustomImageList;
class TCustomTreeView;
class TTreeNodes;
class TTreeViewWidget;

// Where a point lies relative to a tree view's nodes.
enum THitTest {
    htAbove,        // above the client area
    htBelow,        // below the client area or below the last node
    htNowhere,      // in the client area but on no node
    htOnItem,       // on the state image, the icon or the label of a node
    htOnButton,     // on the expand button of a node
    htOnIcon,       // on the icon of a node
    htOnIndent,     // in the indentation left of a node
    htOnLabel,      // on the text of a node
    htOnRight,      // right of the text of a node
    htOnStateIcon,  // on the state image of a node
    htToLeft,       // left of the client area
    htToRight,      // right of the client area
};

// A set of THitTest values.
class THitTests {
public:
    constexpr THitTests() = default;
    THitTests& Include(THitTest t)
    {
        FBits |= 1u << t;
        return *this;
    }
    constexpr bool Contains(THitTest t) const { return (FBits & (1u << t)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr unsigned Bits() const { return FBits; }
    friend constexpr bool operator==(THitTests a, THitTests b) { return a.FBits == b.FBits; }

private:
    unsigned FBits = 0;
};

// How TTreeNodes::AddNode places a node relative to `Relative`.
enum TNodeAttachMode {
    naAdd,          // last sibling of Relative (a last root node when Relative is nil)
    naAddFirst,     // first sibling of Relative (the first root node when nil)
    naAddChild,     // last child of Relative (a last root node when nil)
    naAddChildFirst // first child of Relative (the first root node when nil)
};

// One node. The node is the tree widget's item itself (privately), so the node object
// lives exactly as long as its row: the view deletes it when the row goes.
class TTreeNode : private QTreeWidgetItem {
public:
    TTreeNode();
    ~TTreeNode() override;
    TTreeNode(const TTreeNode&) = delete;
    TTreeNode& operator=(const TTreeNode&) = delete;

    // The collection and the view the node is attached to (nil while unattached).
    TTreeNodes* Owner() const;
    TCustomTreeView* TreeView() const;

    QString Text() const { return FText; }
    void SetText(const QString& text);
    void* Data() const { return FData; }
    void SetData(void* data) { FData = data; }

    TTreeNode* Parent() const;
    TTreeNode* getFirstChild() const;
    TTreeNode* GetLastChild() const;
    TTreeNode* getNextSibling() const;
    TTreeNode* getPrevSibling() const;
    // The next node in display order over the whole tree, expanded or not.
    TTreeNode* GetNext() const;
    bool HasChildren() const;
    int Count() const;
    // The child at `index` (from 0); nil outside the range.
    TTreeNode* Item(int index) const;
    // The position among its siblings, from 0.
    int Index() const;
    // The depth: 0 for a root node.
    int Level() const;
    // The position in the whole tree, counted from 0 in display order, over
    // collapsed branches too (the first root node is 0).
    int AbsoluteIndex() const;
    bool HasAsParent(const TTreeNode* ancestor) const;

    // Deletes the child node objects.
    void DeleteChildren();
    // Deletes this node object with its children (`node->Delete()` ends the node).
    void Delete();

    bool Expanded() const;
    // true asks OnExpanding first (unless the node is open already); false collapses.
    void SetExpanded(bool value);
    void Expand(bool recurse);
    void Collapse(bool recurse);
    bool Selected() const;
    // true makes the node the view's selected node (OnChange fires); false deselects it.
    void SetSelected(bool value);
    bool Focused() const;

    // Index in the view's StateImages; below 1 shows no state image (-1 at creation).
    int StateIndex() const { return FStateIndex; }
    void SetStateIndex(int value);
    // Index in the view's Images (0 at creation); out of range shows no icon.
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value);
    int SelectedIndex() const { return FSelectedIndex; }
    void SetSelectedIndex(int value);

    // Where the node is drawn, in client coordinates of the view's Handle(); empty
    // while the node is not visible (in a collapsed branch or unattached).
    QRect DisplayRect(bool TextOnly) const;
    QRect StateIconRect() const;
    QRect IconRect() const;
    void MakeVisible();

private:
    friend class TTreeNodes;
    friend class TCustomTreeView;
    friend class TTreeViewWidget;
    friend class TTreeNodeDelegate;
    static TTreeNode* FromItem(QTreeWidgetItem* item);
    // The label lives in FText: the widget reads and edits it through these.
    QVariant data(int column, int role) const override;
    void setData(int column, int role, const QVariant& value) override;
    QTreeWidgetItem* AsItem() { return this; }
    const QTreeWidgetItem* AsItem() const { return this; }
    void Changed();
    // Hands every held node of the node's view to the widget (geometry, selection,
    // expansion and deletion need the widget's own tree).
    void ReleaseHeldNodes() const;

    QString FText;
    void* FData = nullptr;
    int FStateIndex = -1;
    int FImageIndex = 0;
    int FSelectedIndex = 0;
    // A held node: the view that holds it, its parent (nil for a root node) and its
    // position among the held children of that parent.
    TCustomTreeView* FHeldBy = nullptr;
    TTreeNode* FHeldParent = nullptr;
    int FHeldIndex = -1;
    // Held children of a node that the widget shows, in order after its widget children.
    QList<TTreeNode*> FHeldChildren;
};

// The nodes of one tree view.
class TTreeNodes {
public:
    explicit TTreeNodes(TCustomTreeView* owner) : FOwner(owner) {}
    TTreeNodes(const TTreeNodes&) = delete;
    TTreeNodes& operator=(const TTreeNodes&) = delete;

    TCustomTreeView* Owner() const { return FOwner; }

    // Deletes every node object (no OnChange while doing so).
    void Clear();
    TTreeNode* GetFirstNode() const;
    // All nodes, over collapsed branches too.
    int Count() const;
    // The node at an absolute index (see TTreeNode::AbsoluteIndex); nil outside.
    TTreeNode* Item(int index) const;

    // Attaches a node object that the caller created (and that is not attached yet);
    // the collection owns it from now on. Answers Node.
    TTreeNode* AddNode(TTreeNode* Node, TTreeNode* Relative, const QString& S, void* Ptr, TNodeAttachMode Method);
    // Creates and attaches a plain TTreeNode.
    TTreeNode* Add(TTreeNode* Sibling, const QString& S) { return AddObject(Sibling, S, nullptr); }
    TTreeNode* AddObject(TTreeNode* Sibling, const QString& S, void* Ptr);
    TTreeNode* AddChild(TTreeNode* Parent, const QString& S) { return AddChildObject(Parent, S, nullptr); }
    TTreeNode* AddChildObject(TTreeNode* Parent, const QString& S, void* Ptr);

    // Paints nothing between BeginUpdate and the matching EndUpdate (bulk loads), and
    // holds nodes added at the end back until then (see the top of this file).
    void BeginUpdate();
    void EndUpdate();

private:
    friend class TTreeNode;
    friend class TCustomTreeView;
    // Appends `node` under `parent` (nil: a root node), held back while updating.
    void Append(TTreeNode* node, TTreeNode* parent);
    void Hold(TTreeNode* node, TTreeNode* parent);
    void Unhold(TTreeNode* node);
    // Hands the held nodes to the widget, one insertion per parent.
    void Release();
    bool Holds() const { return !FHeldParents.isEmpty(); }
    // The held children of `parent` (nil: the held root nodes).
    const QList<TTreeNode*>& HeldChildren(const TTreeNode* parent) const;

    TCustomTreeView* FOwner;
    int FUpdateCount = 0;
    QList<TTreeNode*> FHeldRoots;
    // The parents with held children, in the order they got their first (nil: roots).
    QList<TTreeNode*> FHeldParents;
};

class TCustomTreeView : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(int Indent READ Indent WRITE SetIndent)
    Q_PROPERTY(bool AutoExpand READ AutoExpand WRITE SetAutoExpand)
    Q_PROPERTY(bool MultiSelect READ MultiSelect WRITE SetMultiSelect)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool HideSelection READ HideSelection WRITE SetHideSelection)
    Q_PROPERTY(bool ShowRoot READ ShowRoot WRITE SetShowRoot)
    Q_PROPERTY(bool ShowButtons READ ShowButtons WRITE SetShowButtons)
    Q_PROPERTY(bool ShowLines READ ShowLines WRITE SetShowLines)
    Q_PROPERTY(TCustomImageList* Images READ Images WRITE SetImages)
    Q_PROPERTY(TCustomImageList* StateImages READ StateImages WRITE SetStateImages)
public:
    Q_INVOKABLE explicit TCustomTreeView(TComponent* AOwner);
    ~TCustomTreeView() override;

    TTreeNodes* Items() const { return FItems; }
    // The selected node: the one with the focus frame (when several are selected too).
    TTreeNode* Selected() const;
    void SetSelected(TTreeNode* node);
    // In MultiSelect mode: every selected node, in display order.
    QList<TTreeNode*> SelectedNodes() const;
    int SelectionCount() const;

    // The node on the row at a point (anywhere on the row), nil when none.
    TTreeNode* GetNodeAt(int X, int Y) const;
    THitTests GetHitTestInfoAt(int X, int Y) const;

    int Indent() const;
    void SetIndent(int value);
    bool AutoExpand() const { return FAutoExpand; }
    void SetAutoExpand(bool value) { FAutoExpand = value; }
    bool MultiSelect() const { return FMultiSelect; }
    void SetMultiSelect(bool value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool value);
    bool ShowRoot() const;
    void SetShowRoot(bool value);
    bool ShowButtons() const { return FShowButtons; }
    void SetShowButtons(bool value);
    bool ShowLines() const { return FShowLines; }
    void SetShowLines(bool value) { FShowLines = value; }
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* value);
    TCustomImageList* StateImages() const { return FStateImages; }
    void SetStateImages(TCustomImageList* value);

    void FullExpand();
    void FullCollapse();

    // Mouse and key input arrive at the view's viewport: it is the view's window.
    QWidget* Handle() const override;

    // (Sender, Node, var AllowExpansion) before a node opens.
    TEvent<TObject*, TTreeNode*, bool&> OnExpanding;
    // (Sender, Node) after a node opened.
    TEvent<TObject*, TTreeNode*> OnExpanded;
    // (Sender, Node, var AllowCollapse) before a node closes.
    TEvent<TObject*, TTreeNode*, bool&> OnCollapsing;
    // (Sender, Node) after the selected node changed to Node.
    TEvent<TObject*, TTreeNode*> OnChange;

    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TTreeNode;
    friend class TTreeNodes;
    friend class TTreeViewWidget;
    friend class TTreeNodeDelegate;

    // Node layout inside its row: state image, icon, label.
    struct TNodeGeometry {
        QRect State, Icon, Label;
    };
    TNodeGeometry NodeGeometry(const TTreeNode* node, const QRect& cell) const;
    QSize NodeSizeHint(const TTreeNode* node) const;
    // Asks OnExpanding; true when the node may open.
    bool CanExpand(TTreeNode* node);
    bool CanCollapse(TTreeNode* node);
    void ExpandNode(TTreeNode* node);
    void CollapseNode(TTreeNode* node);
    // Qt's notices of what the user did.
    void UserExpanded(QTreeWidgetItem* item);
    void UserCollapsed(QTreeWidgetItem* item);
    void CurrentChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void ApplyAutoExpand(TTreeNode* current, TTreeNode* previous);
    void ClearNodes();

    TTreeViewWidget* FTree;
    TTreeNodes* FItems;
    TCustomImageList* FImages = nullptr;
    TCustomImageList* FStateImages = nullptr;
    bool FAutoExpand = false;
    bool FMultiSelect = false;
    bool FReadOnly = false;
    bool FHideSelection = true;
    bool FShowButtons = true;
    bool FShowLines = true;
    int FQuietExpand = 0;   // expansions made by code, already asked
    int FQuietChange = 0;   // selection changes that fire no OnChange (clearing)
};

// The tree view that form resources create by class name.
class TTreeView : public TCustomTreeView {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TTreeView(TComponent* AOwner) : TCustomTreeView(AOwner) {}
};

// Makes the tree view classes and the hit-test names known to form resources (also
// done when the program starts; calling it again does no harm).
void RegisterTreeViewClasses();
