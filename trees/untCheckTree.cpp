#include "trees/untCheckTree.h"

#include <QList>
#include <QPoint>
#include <exception>

#include "platform/FormResource.h"
#include "platform/Forms.h"
#include "platform/ImgList.h"

namespace {

const QString SIndexMustBePositive = QStringLiteral("%s属性的值必须大于0");

} // namespace

// --- the hook chain --------------------------------------------------------------------

using TMessageHandler = TEvent<TMsg&, bool&>::Handler;

// One member of the chain of hooks on the application's OnMessage. The hook and the
// tree share it, so the hook keeps working (passing messages on) after its tree is gone.
struct TCheckTreeLink {
    TCheckTree* Tree = nullptr;           // nil once the tree has been destroyed
    QPointer<TApplication> Application;   // the application object the hook went into
    TMessageHandler FOldOnMessage;        // the handler that was installed before the hook
};

// The callable installed as OnMessage. A named type so that the chain can recognise
// its own members among the handlers (std::function::target).
struct TCheckTreeHook {
    std::shared_ptr<TCheckTreeLink> Link;
    void operator()(TMsg& msg, bool& handled) const;
};

namespace {

// Every check tree alive in this module, oldest first.
QList<std::shared_ptr<TCheckTreeLink>>& LiveLinks()
{
    static QList<std::shared_ptr<TCheckTreeLink>> links;
    return links;
}

// The link of a handler that is a check tree's hook, else nil.
const TCheckTreeLink* LinkOfHandler(const TMessageHandler& handler)
{
    const auto* hook = handler.target<TCheckTreeHook>();
    return hook ? hook->Link.get() : nullptr;
}

void PassOn(const TCheckTreeLink& link, TMsg& msg, bool& handled)
{
    if (handled || !link.FOldOnMessage)
        return;
    // A copy: the handler may unlink this link (and so replace FOldOnMessage) meanwhile.
    const TMessageHandler previous = link.FOldOnMessage;
    previous(msg, handled);
}

} // namespace

void TCheckTreeHook::operator()(TMsg& msg, bool& handled) const
{
    // A copy: freeing a check tree may replace the application's handler, this object
    // included, while the message is still on its way.
    const std::shared_ptr<TCheckTreeLink> link = Link;
    if (link->Tree) {
        link->Tree->AppMessage(msg, handled);
        return;
    }
    handled = false;
    PassOn(*link, msg, handled);
}

void TCheckTree::InstallHook()
{
    FLink = std::make_shared<TCheckTreeLink>();
    FLink->Tree = this;
    FLink->Application = Application;
    LiveLinks().append(FLink);
    if (!Application)
        return;   // no application object (yet): nothing to watch
    FLink->FOldOnMessage = Application->OnMessage.handler();
    Application->OnMessage = TCheckTreeHook{FLink};
}

void TCheckTree::RemoveHook()
{
    FLink->Tree = nullptr;
    LiveLinks().removeOne(FLink);
    TApplication* app = FLink->Application;
    if (app && LinkOfHandler(app->OnMessage.handler()) == FLink.get()) {
        app->OnMessage = FLink->FOldOnMessage;
        return;
    }
    for (const std::shared_ptr<TCheckTreeLink>& above : LiveLinks()) {
        if (LinkOfHandler(above->FOldOnMessage) == FLink.get()) {
            above->FOldOnMessage = FLink->FOldOnMessage;
            return;
        }
    }
    // Another handler holds this hook as its previous one: the link stays in its chain
    // and passes every message on.
}

// --- construction and properties -------------------------------------------------------

TCheckTree::TCheckTree(TComponent* AOwner) : TComponent(AOwner)
{
    RegisterEvent("OnChangeStateIndex", &OnChangeStateIndex);
    RegisterEvent("OnBeforClickTreeNode", &OnBeforClickTreeNode);
    InstallHook();
}

TCheckTree::~TCheckTree()
{
    RemoveHook();
}

void TCheckTree::SetTreeViewWindow(TCustomTreeView* value)
{
    if (value == FTreeViewWindow)
        return;
    if (FTreeViewWindow)
        FTreeViewWindow->RemoveFreeNotification(this);
    if (value)
        value->FreeNotification(this);
    FTreeViewWindow = value;
    FMessageControl = nullptr;
}

namespace {

void CheckStateIdx(const char* propertyName, int value)
{
    if (value < 1)
        throw TExceptCheckTree(Format(SIndexMustBePositive, QString::fromLatin1(propertyName)));
}

} // namespace

void TCheckTree::SetStateIdxEmpty(int value)
{
    CheckStateIdx("StateIdxEmpty", value);
    FStateIdxEmpty = value;
}

void TCheckTree::SetStateIdxChecked(int value)
{
    CheckStateIdx("StateIdxChecked", value);
    FStateIdxChecked = value;
}

void TCheckTree::SetStateIdxGrayed(int value)
{
    CheckStateIdx("StateIdxGrayed", value);
    FStateIdxGrayed = value;
}

void TCheckTree::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FTreeViewWindow)
        SetTreeViewWindow(nullptr);
}

// --- messages --------------------------------------------------------------------------

void TCheckTree::AppMessage(TMsg& Msg, bool& Handled)
{
    // The link outlives this tree should a handler free it while it acts.
    const std::shared_ptr<TCheckTreeLink> link = FLink;
    Handled = false;
    std::exception_ptr failure;
    if (FActive && FTreeViewWindow) {
        try {
            FMessageControl = FindMessageControl(Msg.hwnd);
            if (FMessageControl)
                TreeViewMessage(Msg);
        } catch (...) {
            // The rest of the chain still gets the message; the failure is raised after.
            failure = std::current_exception();
        }
    }
    PassOn(*link, Msg, Handled);
    if (failure)
        std::rethrow_exception(failure);
}

TWinControl* TCheckTree::FindMessageControl(HWND Wnd) const
{
    if (!FTreeViewWindow || !Wnd)
        return nullptr;
    if (FTreeViewWindow->Handle() == Wnd)
        return FTreeViewWindow;
    for (int i = 0; i < FTreeViewWindow->ControlCount(); ++i) {
        TWinControl* child = FTreeViewWindow->Controls(i)->AsWinControl();
        if (child && child->Handle() == Wnd)
            return child;
    }
    return nullptr;
}

void TCheckTree::TreeViewMessage(TMsg& Msg)
{
    // Messages for the view's child windows (an in-place editor) are not ours.
    if (FMessageControl != FTreeViewWindow)
        return;
    switch (Msg.message) {
    case WM_KEYUP:
        TreeKeyUp(Msg);
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        TreeMouseMessage(Msg);
        break;
    default:
        break;
    }
}

void TCheckTree::TreeKeyUp(const TMsg& Msg)
{
    if (Msg.wParam != static_cast<WPARAM>(VK_SPACE))
        return;
    const bool modifierDown = GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0 || GetKeyState(VK_SHIFT) < 0;
    if (!modifierDown)
        ClickTreeNode(FTreeViewWindow->Selected());
}

void TCheckTree::TreeMouseMessage(const TMsg& Msg)
{
    // Client coordinates as unsigned 16-bit values.
    const int x = LoWord(Msg.lParam);
    const int y = HiWord(Msg.lParam);
    if (Msg.message == WM_LBUTTONDOWN) {
        TTreeNode* node = FTreeViewWindow->GetNodeAt(x, y);
        if (node && FTreeViewWindow->GetHitTestInfoAt(x, y).Contains(htOnStateIcon)) {
            const QPointer<TCheckTree> self(this);
            ClickTreeNode(node);
            if (!self)
                return;   // a handler freed the check tree
        }
    }
    if (FTreeViewWindow)
        ShowNodeHint(x, y);
}

// --- flipping and propagation ----------------------------------------------------------

void TCheckTree::ClickTreeNode(TTreeNode* Node)
{
    const QPointer<TCheckTree> self(this);
    const QPointer<TCustomTreeView> view(FTreeViewWindow);
    bool handled = false;
    OnBeforClickTreeNode(this, Node, handled);
    // A handler that freed the check tree or its view took the flip with it.
    if (handled || !self || !view || FTreeViewWindow != view)
        return;
    ToggleNode(Node);
}

void TCheckTree::ToggleNode(TTreeNode* Node)
{
    if (!Node)
        return;
    TCheckKind newKind = ckEmpty;
    switch (CheckKindOf(Node)) {
    case ckEmpty:
    case ckGrayed:
        newKind = ckChecked;
        break;
    case ckChecked:
    case ckNone:   // refused by ChangeStateIndex
        newKind = ckEmpty;
        break;
    }
    if (!ChangeStateIndex(Node, rkClkNode, IndexOfKind(newKind)))
        return;
    UpdateChildrenState(Node);
    UpdateParentState(Node);
}

bool TCheckTree::ChangeStateIndex(TTreeNode* Node, TRelationKind RelationKind, int NewIndex)
{
    const TCheckKind current = CheckKindOf(Node);
    if (current == ckNone)
        return false;
    bool boolToChange = true;
    OnChangeStateIndex(this, Node, RelationKind, current, CheckKindOfIndex(NewIndex), boolToChange);
    if (boolToChange)
        Node->SetStateIndex(NewIndex);
    return boolToChange;
}

void TCheckTree::UpdateChildrenState(TTreeNode* Node)
{
    const TCheckKind kind = CheckKindOf(Node);
    if (kind != ckEmpty && kind != ckChecked)
        return;   // a grayed node has nothing to push down
    const int index = Node->StateIndex();
    for (int i = 0; i < Node->Count(); ++i) {
        TTreeNode* child = Node->Item(i);
        if (child && ChangeStateIndex(child, rkCldNode, index))
            UpdateChildrenState(child);
    }
}

void TCheckTree::UpdateParentState(TTreeNode* Node)
{
    for (TTreeNode* node = Node; TTreeNode* parent = node->Parent(); node = parent) {
        if (node->StateIndex() == parent->StateIndex())
            return;
        const int index = ChildrenStateIdx(parent);
        if (index == parent->StateIndex())
            return;
        if (!ChangeStateIndex(parent, rkParNode, index))
            return;
    }
}

int TCheckTree::ChildrenStateIdx(TTreeNode* Node) const
{
    bool anyEmpty = false;
    bool anyChecked = false;
    bool anyGrayed = false;
    for (int i = 0; i < Node->Count(); ++i) {
        switch (CheckKindOf(Node->Item(i))) {
        case ckEmpty: anyEmpty = true; break;
        case ckChecked: anyChecked = true; break;
        case ckGrayed: anyGrayed = true; break;
        case ckNone: break;
        }
        if (anyGrayed || (anyEmpty && anyChecked))
            break;   // the answer is grayed whatever follows
    }
    if (anyGrayed || (anyEmpty && anyChecked))
        return FStateIdxGrayed;
    if (anyEmpty)
        return FStateIdxEmpty;
    if (anyChecked)
        return FStateIdxChecked;
    return FStateIdxEmpty;
}

TCheckKind TCheckTree::CheckKindOfIndex(int index) const
{
    // When indices coincide the later test wins: grayed over checked over empty.
    if (index == FStateIdxGrayed)
        return ckGrayed;
    if (index == FStateIdxChecked)
        return ckChecked;
    if (index == FStateIdxEmpty)
        return ckEmpty;
    return ckNone;
}

int TCheckTree::IndexOfKind(TCheckKind kind) const
{
    switch (kind) {
    case ckChecked: return FStateIdxChecked;
    case ckGrayed: return FStateIdxGrayed;
    case ckEmpty:
    case ckNone: break;
    }
    return FStateIdxEmpty;
}

// --- hint ------------------------------------------------------------------------------

void TCheckTree::ShowNodeHint(int X, int Y)
{
    TCustomTreeView* view = FTreeViewWindow;
    TTreeNode* node = view->GetNodeAt(X, Y);
    const QString savedHint = view->Hint();
    TApplication* app = FLink->Application ? FLink->Application.data() : Application;
    if (FNodeTextAsHint && node && app) {
        // The view's own hint comes back even if showing the hint fails.
        struct TRestoreHint {
            QPointer<TCustomTreeView> View;
            QString Hint;
            ~TRestoreHint()
            {
                if (View)
                    View->SetHint(Hint);
            }
        } restore{view, savedHint};
        view->SetHint(node->Text());
        app->ActivateHint(view->Handle()->mapToGlobal(QPoint(X, Y)), view->Hint());
    }
}

// --- state pictures and registration ---------------------------------------------------

TImageList* CreateCheckBoxImages(TComponent* AOwner)
{
    auto* images = new TImageList(AOwner);
    try {
        images->SetImageNames({QStringLiteral("checkbox-none.svg"), QStringLiteral("checkbox-empty.svg"),
                               QStringLiteral("checkbox-checked.svg"), QStringLiteral("checkbox-grayed.svg")});
    } catch (...) {
        images->Free();
        throw;
    }
    return images;
}

void RegisterCheckTreeClasses()
{
    RegisterComponentClass(&TCheckTree::staticMetaObject);
}

namespace {
[[maybe_unused]] const bool kCheckTreeClassesRegistered = (RegisterCheckTreeClasses(), true);
} // namespace
