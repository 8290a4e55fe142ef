#pragma once
// TCheckTree: tri-state check boxes on an ordinary tree view.
//
// A node's check state is its state image index and nothing else: StateIdxEmpty,
// StateIdxChecked or StateIdxGrayed; any other index means the node has no check box
// and is left alone. A left click on a node's state image, or the space key on the
// selected node, flips the node; the new state is pushed down to its descendants and
// the ancestors are recomputed from their children. OnChangeStateIndex may refuse any
// single change, which also stops the propagation through that node.
//
// The component watches the application's message stream (Application->OnMessage)
// instead of subclassing the view, so it needs nothing of the view but its window, its
// nodes and its hit tests. The hook acts first and then passes every message on to the
// handler that was installed before it; it never sets Handled.
//
// The hook chain. Every check tree installs its hook at construction, so several check
// trees form a chain: application -> newest tree -> ... -> oldest tree -> the handler
// that was there first. Each hook is a small link object shared by the hook and the
// tree, holding the tree and the previous handler (FOldOnMessage). When a tree goes:
//   - if its hook is the application's handler, its previous handler takes its place;
//   - else if the hook is the previous handler of a live check tree above it, that
//     tree's previous handler becomes the leaving tree's previous handler (unlinked);
//   - else some other handler captured the hook: the link stays in the chain and only
//     passes messages on.
// So the chain stays whole whatever order check trees are freed in, and a tree freed
// by a handler while a message is on its way does not break that message's journey.
//
// TreeViewWindow watches its view through a free notification: when the view goes,
// the property becomes nil.
//
// State pictures: CreateCheckBoxImages() makes an image list with a blank picture at
// index 0 and the empty, checked and grayed boxes at 1, 2 and 3 (the default indices).
// They are SVG files embedded as :/images/checkbox-*.svg, drawn sharply at any screen
// scale; a form resource can name them in an image list's ImageNames as well.
#include <QPointer>
#include <QString>
#include <memory>

#include "platform/Classes.h"
#include "platform/MessageHook.h"
#include "platform/TreeView.h"

class TApplication;
class TImageList;
class TWinControl;
struct TCheckTreeLink;

TALLYLEAF_DECLARE_EXCEPTION(TExceptCheckTree, Exception);

// The check state a node's state index stands for.
enum TCheckKind : quint8 { ckEmpty = 0, ckChecked = 1, ckGrayed = 2, ckNone = 3 };
// Why a node's state is about to change: the user flipped it, it lies below a flipped
// node, or it is an ancestor recomputed from its children.
enum TRelationKind : quint8 { rkClkNode = 0, rkCldNode = 1, rkParNode = 2 };

// (Sender, Node, RelationKind, CurCheckKind, WillCheckKind, var boolToChange)
using TOnChangeStateIndex = TEvent<TObject*, TTreeNode*, TRelationKind, TCheckKind, TCheckKind, bool&>;
// (Sender, Node (nil for space without a selected node), var Handled)
using TOnBeforClickTreeNode = TEvent<TObject*, TTreeNode*, bool&>;

class TCheckTree : public TComponent {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(TCustomTreeView* TreeViewWindow READ TreeViewWindow WRITE SetTreeViewWindow)
    Q_PROPERTY(int StateIdxEmpty READ StateIdxEmpty WRITE SetStateIdxEmpty)
    Q_PROPERTY(int StateIdxChecked READ StateIdxChecked WRITE SetStateIdxChecked)
    Q_PROPERTY(int StateIdxGrayed READ StateIdxGrayed WRITE SetStateIdxGrayed)
    Q_PROPERTY(bool NodeTextAsHint READ NodeTextAsHint WRITE SetNodeTextAsHint)
public:
    Q_INVOKABLE explicit TCheckTree(TComponent* AOwner = nullptr);
    ~TCheckTree() override;

    // While false the component ignores every message (and still passes it on).
    bool Active() const { return FActive; }
    void SetActive(bool value) { FActive = value; }
    TCustomTreeView* TreeViewWindow() const { return FTreeViewWindow; }
    void SetTreeViewWindow(TCustomTreeView* value);
    // Indices below 1 raise TExceptCheckTree and keep the old value. Nodes keep the
    // indices they have.
    int StateIdxEmpty() const { return FStateIdxEmpty; }
    void SetStateIdxEmpty(int value);
    int StateIdxChecked() const { return FStateIdxChecked; }
    void SetStateIdxChecked(int value);
    int StateIdxGrayed() const { return FStateIdxGrayed; }
    void SetStateIdxGrayed(int value);
    bool NodeTextAsHint() const { return FNodeTextAsHint; }
    void SetNodeTextAsHint(bool value) { FNodeTextAsHint = value; }

    // Asked before every change of a node's state (also when the index stays the same).
    TOnChangeStateIndex OnChangeStateIndex;
    // Asked before a user's flip; Handled = true cancels it.
    TOnBeforClickTreeNode OnBeforClickTreeNode;

    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    // The application's message hook: acts on messages for the watched view, then
    // hands the message to the previous handler.
    void AppMessage(TMsg& Msg, bool& Handled);
    // The watched view when the message is addressed to it, else the first of its
    // windowed child controls whose window it is, else nil.
    TWinControl* FindMessageControl(HWND Wnd) const;
    void TreeViewMessage(TMsg& Msg);
    void TreeKeyUp(const TMsg& Msg);
    void TreeMouseMessage(const TMsg& Msg);
    // Fires OnBeforClickTreeNode and flips the node unless the handler took it over.
    void ClickTreeNode(TTreeNode* Node);
    void ToggleNode(TTreeNode* Node);
    // Sets the node's state index after asking OnChangeStateIndex; false when the node
    // has no check box or the handler refused.
    bool ChangeStateIndex(TTreeNode* Node, TRelationKind RelationKind, int NewIndex);
    void UpdateChildrenState(TTreeNode* Node);
    void UpdateParentState(TTreeNode* Node);
    int ChildrenStateIdx(TTreeNode* Node) const;
    void ShowNodeHint(int X, int Y);

    TCheckKind CheckKindOfIndex(int index) const;
    TCheckKind CheckKindOf(const TTreeNode* Node) const { return CheckKindOfIndex(Node->StateIndex()); }
    int IndexOfKind(TCheckKind kind) const;

private:
    friend struct TCheckTreeHook;
    void InstallHook();
    void RemoveHook();

    bool FActive = false;
    TCustomTreeView* FTreeViewWindow = nullptr;
    int FStateIdxEmpty = 1;
    int FStateIdxChecked = 2;
    int FStateIdxGrayed = 3;
    bool FNodeTextAsHint = true;
    // The hook's link: the tree and the handler saved at construction (FOldOnMessage).
    std::shared_ptr<TCheckTreeLink> FLink;
    // The control that the last watched message was addressed to.
    QPointer<TWinControl> FMessageControl;
};

// An image list with a blank picture at 0 and the empty, checked and grayed check
// boxes at 1, 2 and 3, owned by AOwner.
TImageList* CreateCheckBoxImages(TComponent* AOwner);

// Makes TCheckTree known to form resources (also done when the program starts).
void RegisterCheckTreeClasses();
