#include "platform/Forms.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolTip>
#include <algorithm>

#include "platform/Dialogs.h"
#include "platform/FormResource.h"

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {

const char* const kFormProperty = "tallyleafForm";

} // namespace

void CallHandlerSafely(TObject* Sender, const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        if (Application)
            Application->HandleException(Sender, e);
    } catch (...) {
        if (Application)
            Application->HandleException(Sender, Exception(QStringLiteral("未知错误")));
    }
}

// The window of a form: hands the window system's close request and size changes to
// the form instead of acting on them itself.
class TFormWindow : public QWidget {
public:
    explicit TFormWindow(TCustomForm* form) : FForm(form)
    {
        setProperty(kFormProperty, QVariant::fromValue(static_cast<void*>(form)));
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        if (FForm)
            FForm->WindowCloseRequested();
    }
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        if (FForm)
            FForm->WindowMovedOrResized();
    }
    void moveEvent(QMoveEvent* event) override
    {
        QWidget::moveEvent(event);
        if (FForm)
            FForm->WindowMovedOrResized();
    }

private:
    friend class TCustomForm;
    TCustomForm* FForm;
};

// ---------------------------------------------------------------------------------

TCustomForm::TCustomForm(TComponent* AOwner) : TCustomForm(AOwner, TFormChain{})
{
    FinishCreate();
}

TCustomForm::TCustomForm(TComponent* AOwner, TFormChain) : TWinControl(AOwner, nullptr)
{
    InitForm();
}

void TCustomForm::InitForm()
{
    auto* window = new TFormWindow(this);
    FClient = new QWidget(window);
    FClient->setProperty("tallyleafClient", true);
    SetWidget(window);
    FClient->installEventFilter(this);
    SetVisibleFlag(false);
    SetBounds(0, 0, 320, 240);
    RegisterEvent("OnCreate", &OnCreate);
    RegisterEvent("OnShow", &OnShow);
    RegisterEvent("OnHide", &OnHide);
    RegisterEvent("OnDestroy", &OnDestroy);
    RegisterEvent("OnActivate", &OnActivate);
    RegisterEvent("OnDeactivate", &OnDeactivate);
    RegisterEvent("OnClose", &OnClose);
    RegisterEvent("OnCloseQuery", &OnCloseQuery);
    RegisterEvent("OnKeyPress", &OnKeyPress);
    RegisterEvent("OnKeyDown", &OnKeyDown);
    RegisterEvent("OnKeyUp", &OnKeyUp);
}

TCustomForm::~TCustomForm()
{
    // A form deleted without Free (a constructor that throws) frees its components only
    // in ~TComponent, after this: its own menu must not call back into what is left of
    // it. A menu freed earlier has cleared FMenu through Notification.
    if (FMenu)
        FMenu->OnChange = nullptr;
    if (auto* window = static_cast<TFormWindow*>(Widget()))
        window->FForm = nullptr;
    if (FModalLoop)
        FModalLoop->quit();
    DetachChildren();
    if (FSubWindow) {
        QMdiSubWindow* sub = FSubWindow;
        FSubWindow = nullptr;
        sub->setWidget(nullptr);
        delete sub;
    }
}

void TCustomForm::FinishCreate()
{
    IncludeFormState(fsCreating);
    ReadFormResources(this);
    BindFields();
    ExcludeFormState(fsCreating);
    OnCreate(this);
    // A resource that leaves the form visible shows it once it is created.
    if (FFormState & fsVisible) {
        ExcludeFormState(fsVisible);
        Show();
    }
}

void TCustomForm::ThrowMissingField(const QString& name, const char* className) const
{
    throw EFilerError(QStringLiteral("窗体%1中没有%2类型的组件%3").arg(ClassName(), QString::fromLatin1(className), name));
}

void TCustomForm::BeforeDestruction()
{
    // Take the merged menu out of the main form before the items go.
    if (FFormStyle == fsMDIChild && FMenu && Application) {
        if (TCustomForm* main = Application->MainForm(); main && main != this)
            main->MergeChildMenu(nullptr);
    }
    OnDestroy(this);
}

// --- visibility -------------------------------------------------------------------

QWidget* TCustomForm::WindowWidget() const
{
    return FSubWindow ? static_cast<QWidget*>(FSubWindow.data()) : Widget();
}

void TCustomForm::SetVisible(bool visible)
{
    if (HasState(csLoading)) {
        // Recorded now, acted on when the form is complete.
        if (visible) {
            IncludeFormState(fsVisible);
            if (FFormStyle == fsMDIChild && Application && Application->MainForm()
                && Application->MainForm()->MDIArea()) {
                AttachToMDIArea();
                IncludeFormState(fsCreatedMDIChild);
            }
        } else {
            ExcludeFormState(fsVisible);
        }
        return;
    }
    if (visible)
        Show();
    else
        Hide();
}

void TCustomForm::UpdateWidgetVisibility()
{
    // Forms show and hide through Show and Hide only.
}

void TCustomForm::Show()
{
    if (FFormStyle == fsMDIChild)
        AttachToMDIArea();
    QWidget* window = WindowWidget();
    if (!window)
        return;
    const bool wasShown = Visible() && window->isVisible();
    if (!wasShown) {
        ApplyPosition();
        IncludeFormState(fsShowing);
        try {
            DoShow();
        } catch (...) {
            ExcludeFormState(fsShowing);
            throw;
        }
        ExcludeFormState(fsShowing);
        SetFormVisible(true);
    }
    // A window just shown is in front already; raising a top-level window asks the
    // window system, and platforms without stacking (offscreen) warn at every request.
    if (FSubWindow || wasShown)
        window->raise();
    if (FSubWindow && FSubWindow->mdiArea())
        FSubWindow->mdiArea()->setActiveSubWindow(FSubWindow);
    else
        window->activateWindow();
}

void TCustomForm::SetFormVisible(bool visible)
{
    SetVisibleFlag(visible);
    if (visible)
        IncludeFormState(fsVisible);
    else
        ExcludeFormState(fsVisible);
    QWidget* window = WindowWidget();
    if (!visible) {
        window->hide();
        return;
    }
    if (FSubWindow) {
        Widget()->show();
        FChangingState = true;
        if (FWindowState == wsMaximized)
            FSubWindow->showMaximized();
        else if (FWindowState == wsMinimized)
            FSubWindow->showMinimized();
        else
            FSubWindow->showNormal();
        FChangingState = false;
    } else if (FWindowState == wsMaximized) {
        window->showMaximized();
    } else {
        window->show();
    }
    LayoutWindow();
}

void TCustomForm::Hide()
{
    if (!Visible())
        return;
    SetFormVisible(false);
    CallHandlerSafely(this, [this] { DoHide(); });
    if ((FFormState & fsModal) && FModalResult == mrNone)
        SetModalResult(mrCancel);
}

void TCustomForm::DoShow()
{
    OnShow(this);
}

void TCustomForm::DoHide()
{
    OnHide(this);
}

void TCustomForm::ApplyPosition()
{
    if (FPositioned)
        return;
    FPositioned = true;
    int w = Width(), h = Height();
    switch (FPosition) {
    case poScreenCenter:
    case poDesktopCenter:
        if (Screen)
            SetBounds((Screen->Width() - w) / 2, (Screen->Height() - h) / 2, w, h);
        break;
    case poMainFormCenter:
    case poOwnerFormCenter:
        if (TCustomForm* main = Application ? Application->MainForm() : nullptr; main && main != this)
            SetBounds(main->Left() + (main->Width() - w) / 2, main->Top() + (main->Height() - h) / 2, w, h);
        break;
    case poDefault:
    case poDefaultPosOnly:
        if (FSubWindow && FSubWindow->mdiArea()) {
            // The MDI area's cascade: each new child a little further down.
            const int n = static_cast<int>(FSubWindow->mdiArea()->subWindowList().size()) - 1;
            SetBounds(24 * (n % 8), 24 * (n % 8), w, h);
        }
        break;
    default:
        break;
    }
}

int TCustomForm::ShowModal()
{
    QWidget* window = WindowWidget();
    if (FFormStyle == fsMDIChild || (Visible() && window && window->isVisible()) || (FFormState & fsModal))
        throw Exception(QStringLiteral("不能把可见窗口或MDI子窗口设为模态窗口：%1").arg(Name()));
    FModalResult = mrNone;
    IncludeFormState(fsModal);
    Widget()->setWindowModality(Qt::ApplicationModal);
    try {
        Show();
        for (;;) {
            if (FModalResult == mrNone) {
                QEventLoop loop;
                FModalLoop = &loop;
                loop.exec();
                FModalLoop = nullptr;
                if (HasState(csDestroying))
                    return mrCancel;
                if (FModalResult == mrNone)
                    FModalResult = mrCancel;   // the application is quitting
            }
            TCloseAction action = caHide;
            if (!CloseQuery())
                action = caNone;
            else
                DoClose(action);
            if (action == caNone && !Application->Terminated()) {
                FModalResult = mrNone;
                continue;
            }
            if (action == caFree)
                Release();
            break;
        }
    } catch (...) {
        FModalLoop = nullptr;
        ExcludeFormState(fsModal);
        Widget()->setWindowModality(Qt::NonModal);
        if (Visible())
            SetFormVisible(false);
        throw;
    }
    ExcludeFormState(fsModal);
    const TModalResult result = FModalResult;
    if (Visible()) {
        SetFormVisible(false);
        CallHandlerSafely(this, [this] { DoHide(); });
    }
    Widget()->setWindowModality(Qt::NonModal);
    return result;
}

void TCustomForm::SetModalResult(TModalResult value)
{
    FModalResult = value;
    if (FModalLoop && value != mrNone)
        FModalLoop->quit();
}

bool TCustomForm::CloseQuery()
{
    bool canClose = true;
    OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::DoClose(TCloseAction& action)
{
    OnClose(this, action);
}

void TCustomForm::Close()
{
    if (FFormState & fsModal) {
        SetModalResult(mrCancel);
        return;
    }
    if (!CloseQuery())
        return;
    TCloseAction action = caHide;
    if (FFormStyle == fsMDIChild)
        action = (FBorderIcons & (1u << biMinimize)) ? caMinimize : caNone;
    DoClose(action);
    // Closing the main form ends the application.
    if (action != caNone && Application && Application->MainForm() == this) {
        Application->Terminate();
        return;
    }
    switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    case caNone: break;
    }
}

void TCustomForm::WindowCloseRequested()
{
    if (FClosing)
        return;
    FClosing = true;
    CallHandlerSafely(this, [this] { Close(); });
    FClosing = false;
}

void TCustomForm::Release()
{
    // Freed from the event loop, after the handler that asked for it has returned.
    if (FSubWindow)
        FSubWindow->hide();
    QTimer::singleShot(0, this, [this] { Free(); });
}

// --- bounds and layout ------------------------------------------------------------

void TCustomForm::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    TWinControl::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TCustomForm::UpdateWidgetGeometry()
{
    QWidget* window = WindowWidget();
    if (!window)
        return;
    if (FSubWindow) {
        if (FWindowState == wsNormal)
            FSubWindow->setGeometry(Left(), Top(), Width(), Height());
    } else {
        window->move(Left(), Top());
        window->resize(Width(), Height());
    }
    LayoutWindow();
}

void TCustomForm::WindowMovedOrResized()
{
    QWidget* window = WindowWidget();
    if (!window)
        return;
    if (!FSubWindow && FWindowState == wsNormal)
        StoreBounds(QRect(window->pos(), window->size()));
    LayoutWindow();
}

void TCustomForm::LayoutWindow()
{
    QWidget* window = Widget();
    if (!window || !FClient)
        return;
    int menuHeight = 0;
    if (FMenuBar && !FMenuBar->isHidden()) {
        menuHeight = FMenuBar->sizeHint().height();
        FMenuBar->setGeometry(0, 0, window->width(), menuHeight);
    }
    FClient->setGeometry(0, menuHeight, window->width(), std::max(0, window->height() - menuHeight));
    Realign();
}

QRect TCustomForm::ClientRect() const
{
    return FClient ? QRect(QPoint(0, 0), FClient->size()) : QRect();
}

QWidget* TCustomForm::ClientWidget() const
{
    return FClient;
}

void TCustomForm::SetClientWidth(int value)
{
    SetWidth(Width() - ClientWidth() + value);
}

void TCustomForm::SetClientHeight(int value)
{
    SetHeight(Height() - ClientHeight() + value);
}

bool TCustomForm::eventFilter(QObject* watched, QEvent* event)
{
    if (FSubWindow && watched == FSubWindow.data()) {
        if ((event->type() == QEvent::Move || event->type() == QEvent::Resize) && FWindowState == wsNormal
            && !FSubWindow->isMaximized() && !FSubWindow->isMinimized())
            StoreBounds(FSubWindow->geometry());
        if (event->type() == QEvent::WindowStateChange && !FChangingState) {
            // Only the user's maximize and minimize count; activation changes the state too.
            const Qt::WindowStates mask = Qt::WindowMaximized | Qt::WindowMinimized;
            const auto* change = static_cast<QWindowStateChangeEvent*>(event);
            if ((change->oldState() & mask) != (FSubWindow->windowState() & mask))
                FWindowState = FSubWindow->isMaximized() ? wsMaximized
                               : FSubWindow->isMinimized() ? wsMinimized
                                                           : wsNormal;
        }
        return false;
    }
    return TWinControl::eventFilter(watched, event);
}

// --- style and appearance ---------------------------------------------------------

void TCustomForm::SetFormStyle(TFormStyle style)
{
    if (style == FFormStyle)
        return;
    FFormStyle = style;
    if (style == fsMDIForm && !FMdiArea) {
        FMdiArea = new QMdiArea(FClient);
        FMdiArea->setObjectName(QStringLiteral("MDIClient"));
        FMdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        FMdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        FMdiArea->show();
        QObject::connect(FMdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow*) { ChildActivated(); });
        Realign();
    }
    if (style == fsMDIChild && FMenuBar)
        FMenuBar->hide();
}

void TCustomForm::SetPosition(TPosition position)
{
    FPosition = position;
}

void TCustomForm::SetWindowState(TWindowState state)
{
    FWindowState = state;
    if (!Visible())
        return;
    QWidget* window = WindowWidget();
    switch (state) {
    case wsMaximized: window->showMaximized(); break;
    case wsMinimized: window->showMinimized(); break;
    case wsNormal: window->showNormal(); break;
    }
}

void TCustomForm::SetBorderStyle(TBorderStyle style)
{
    FBorderStyle = style;
}

void TCustomForm::SetBorderIcons(TBorderIcons icons)
{
    FBorderIcons = icons;
    if (FFormStyle == fsMDIChild || !Widget())
        return;
    Qt::WindowFlags flags = Qt::Window | Qt::WindowTitleHint;
    if (icons & (1u << biSystemMenu))
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (icons & (1u << biMinimize))
        flags |= Qt::WindowMinimizeButtonHint;
    if (icons & (1u << biMaximize))
        flags |= Qt::WindowMaximizeButtonHint;
    Widget()->setWindowFlags(flags);
}

void TCustomForm::CaptionChanged()
{
    if (Widget())
        Widget()->setWindowTitle(Caption());
}

void TCustomForm::SetMenu(TMainMenu* menu)
{
    if (FMenu == menu)
        return;
    if (FMenu) {
        FMenu->OnChange = nullptr;
        FMenu->RemoveFreeNotification(this);
    }
    FMenu = menu;
    if (menu) {
        menu->FreeNotification(this);
        menu->OnChange = [this] {
            if (FFormStyle != fsMDIChild) {
                RebuildMenuBar();
            } else if (Application && Application->MainForm() && Active()) {
                Application->MainForm()->MergeChildMenu(FMenu);
            }
        };
    }
    if (FFormStyle != fsMDIChild) {
        if (!FMenuBar && menu) {
            FMenuBar = new QMenuBar(Widget());
            FMenuBar->setNativeMenuBar(false);
        }
        if (FMenuBar)
            FMenuBar->setVisible(menu != nullptr);
        RebuildMenuBar();
        LayoutWindow();
    } else if (Application && Application->MainForm() && Active()) {
        Application->MainForm()->MergeChildMenu(FMenu);
    }
}

// --- MDI ----------------------------------------------------------------------------

void TCustomForm::AttachToMDIArea()
{
    if (FSubWindow)
        return;
    TCustomForm* main = Application ? Application->MainForm() : nullptr;
    QMdiArea* area = main ? main->MDIArea() : nullptr;
    if (!area)
        throw Exception(QStringLiteral("不能创建MDI子窗口%1：当前没有MDI主窗口").arg(Name()));
    const bool wasMaximizedChild = area->activeSubWindow() && area->activeSubWindow()->isMaximized();
    FSubWindow = area->addSubWindow(Widget());
    FSubWindow->setAttribute(Qt::WA_DeleteOnClose, false);
    // No icon of its own (Qt would show its logo).
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    FSubWindow->setWindowIcon(QIcon(blank));
    FSubWindow->installEventFilter(this);
    FSubWindow->hide();
    if (FWindowState == wsNormal && !wasMaximizedChild)
        FSubWindow->setGeometry(Left(), Top(), Width(), Height());
}

TCustomForm* TCustomForm::FormOf(QWidget* widget)
{
    for (QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant v = w->property(kFormProperty);
        if (v.isValid()) {
            auto* form = static_cast<TCustomForm*>(v.value<void*>());
            return (form && !form->HasState(csDestroying)) ? form : nullptr;
        }
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w); sub && sub->widget() && sub->widget() != widget)
            return FormOf(sub->widget());
    }
    return nullptr;
}

TCustomForm* TCustomForm::ActiveMDIChild() const
{
    if (!FMdiArea)
        return nullptr;
    QMdiSubWindow* sub = FMdiArea->activeSubWindow();
    return sub ? FormOf(sub->widget()) : nullptr;
}

int TCustomForm::MDIChildCount() const
{
    if (!FMdiArea)
        return 0;
    int n = 0;
    for (QMdiSubWindow* sub : FMdiArea->subWindowList())
        if (FormOf(sub->widget()))
            ++n;
    return n;
}

TCustomForm* TCustomForm::MDIChildren(int index) const
{
    int n = 0;
    for (QMdiSubWindow* sub : FMdiArea ? FMdiArea->subWindowList() : QList<QMdiSubWindow*>())
        if (TCustomForm* f = FormOf(sub->widget()); f && n++ == index)
            return f;
    return nullptr;
}

QList<QMdiSubWindow*> TCustomForm::ChildWindowsInSight() const
{
    // A child being freed is hidden first (Release): it is no longer the user's window.
    QList<QMdiSubWindow*> children;
    for (QMdiSubWindow* sub : FMdiArea ? FMdiArea->subWindowList(QMdiArea::CreationOrder) : QList<QMdiSubWindow*>())
        if (sub->isVisible() && FormOf(sub->widget()))
            children << sub;
    return children;
}

void TCustomForm::SetWindowMenu(TMenuItem* item)
{
    if (FWindowMenu)
        FWindowMenu->RemoveFreeNotification(this);
    FWindowMenu = item;
    if (!item)
        return;
    item->FreeNotification(this);
    QObject::connect(item->SubMenu(), &QMenu::aboutToShow, this, [this, item] {
        if (item == FWindowMenu)
            ListChildWindows();
    });
}

void TCustomForm::ListChildWindows()
{
    for (const QPointer<QAction>& a : std::as_const(FWindowListActions))
        delete a.data();
    FWindowListActions.clear();
    const QList<QMdiSubWindow*> children = ChildWindowsInSight();
    if (children.isEmpty())
        return;
    QMenu* menu = FWindowMenu->SubMenu();
    FWindowListActions << menu->addSeparator();
    QMdiSubWindow* active = FMdiArea->activeSubWindow();
    for (int i = 0; i < children.size(); ++i) {
        QMdiSubWindow* sub = children.at(i);
        QAction* entry = menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(sub->windowTitle()));
        entry->setCheckable(true);
        entry->setChecked(sub == active);
        QObject::connect(entry, &QAction::triggered, this, [this, sub = QPointer<QMdiSubWindow>(sub)] {
            if (!sub || !FMdiArea)
                return;
            if (sub->isMinimized())
                sub->showNormal();
            FMdiArea->setActiveSubWindow(sub);
        });
        FWindowListActions << entry;
    }
}

void TCustomForm::Cascade()
{
    if (!FMdiArea)
        return;
    // Qt's own cascade sizes each window by its size hint, which for a form laid out by
    // Align rules is next to nothing. Here each window keeps its size; one that does not
    // fit from its place starts the cascade again at the corner, as big as the area.
    const int step = FMdiArea->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, FMdiArea);
    const QSize area = FMdiArea->viewport()->size();
    QMdiSubWindow* active = FMdiArea->activeSubWindow();
    QList<QMdiSubWindow*> children = ChildWindowsInSight();
    children.removeIf([](QMdiSubWindow* sub) { return sub->isMinimized(); });
    // The active window last, so that it ends in front.
    if (children.removeOne(active))
        children << active;
    QPoint at(0, 0);
    for (QMdiSubWindow* sub : children) {
        if (sub->isMaximized())
            sub->showNormal();
        const QSize size = sub->size();
        if (at.x() + size.width() > area.width() || at.y() + size.height() > area.height())
            at = QPoint(0, 0);
        sub->setGeometry(QRect(at, size.boundedTo(area)));
        sub->raise();
        at += QPoint(step, step);
    }
    if (active)
        FMdiArea->setActiveSubWindow(active);
}

void TCustomForm::ChildActivated()
{
    TCustomForm* child = ActiveMDIChild();
    MergeChildMenu(child ? child->Menu() : nullptr);
}

void TCustomForm::MergeChildMenu(TMainMenu* childMenu)
{
    if (FMergedMenu && FMergedMenu != FMenu)
        FMergedMenu->RemoveFreeNotification(this);
    FMergedMenu = childMenu;
    if (FMergedMenu && FMergedMenu != FMenu)
        FMergedMenu->FreeNotification(this);
    RebuildMenuBar();
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation)
{
    TWinControl::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    bool changed = false;
    if (AComponent == FMenu) {
        FMenu = nullptr;
        changed = true;
    }
    if (AComponent == FMergedMenu) {
        FMergedMenu = nullptr;
        changed = true;
    }
    if (AComponent == FWindowMenu)
        FWindowMenu = nullptr;
    // While the form itself is going, its menu bar is not rebuilt from half-freed items.
    if (changed && !HasState(csDestroying))
        RebuildMenuBar();
}

void TCustomForm::RebuildMenuBar()
{
    if (!FMenuBar)
        return;
    for (QAction* a : FMenuBar->actions())
        FMenuBar->removeAction(a);
    QList<TMenuItem*> items = FMenu ? FMenu->TopLevelItems() : QList<TMenuItem*>();
    if (FMergedMenu && FMergedMenu != FMenu) {
        // The child's items replace ours of the same group index, and all stand in
        // group-index order.
        const QList<TMenuItem*> childItems = FMergedMenu->TopLevelItems();
        QList<int> groups;
        for (TMenuItem* c : childItems)
            groups.append(c->GroupIndex());
        items.erase(std::remove_if(items.begin(), items.end(),
                                   [&](TMenuItem* i) { return groups.contains(i->GroupIndex()); }),
                    items.end());
        items.append(childItems);
        std::stable_sort(items.begin(), items.end(),
                         [](TMenuItem* a, TMenuItem* b) { return a->GroupIndex() < b->GroupIndex(); });
    }
    for (TMenuItem* item : items)
        FMenuBar->addAction(item->MenuAction());
}

void TCustomForm::AlignControls(QRect& rect)
{
    TWinControl::AlignControls(rect);
    if (FMdiArea)
        FMdiArea->setGeometry(rect);
}

// --- focus and keys ---------------------------------------------------------------

TWinControl* TCustomForm::ActiveControl() const
{
    TControl* c = FindControl(QApplication::focusWidget());
    TWinControl* w = c ? c->AsWinControl() : nullptr;
    return (w && w != this && FormOf(w->Widget()) == this) ? w : nullptr;
}

void TCustomForm::SetActiveControl(TWinControl* control)
{
    if (control)
        control->SetFocus();
}

bool TCustomForm::Active() const
{
    if (FSubWindow)
        return FSubWindow->mdiArea() && FSubWindow->mdiArea()->activeSubWindow() == FSubWindow;
    return Widget() && Widget()->isActiveWindow();
}

LPARAM TCustomForm::Perform(unsigned message, WPARAM wParam, LPARAM lParam)
{
    Q_UNUSED(lParam);
    if (message == WM_NEXTDLGCTL)
        SelectNext(ActiveControl(), wParam == 0);
    return 0;
}

bool TCustomForm::PreviewKeyEvent(QWidget* receiver, QEvent* event)
{
    if (!FKeyPreview || FInKeyPreview)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (event->type() == QEvent::KeyPress)
        return HandleKeyDown(receiver, key, false) || HandleKeyPress(receiver, key);
    if (event->type() == QEvent::KeyRelease)
        return HandleKeyDown(receiver, key, true);
    return false;
}

bool TCustomForm::HandleKeyDown(QWidget* receiver, QKeyEvent* event, bool release)
{
    Q_UNUSED(receiver);
    const int vk = QtKeyToVirtualKey(event->key());
    if (vk == 0)
        return false;
    quint16 code = static_cast<quint16>(vk);
    const TShiftState shift = ShiftStateOf(event->modifiers());
    CallHandlerSafely(this, [&] {
        if (release)
            OnKeyUp(this, code, shift);
        else
            OnKeyDown(this, code, shift);
    });
    return code == 0;
}

bool TCustomForm::HandleKeyPress(QWidget* receiver, QKeyEvent* event)
{
    const QString text = event->text();
    if (text.size() != 1)
        return false;
    QChar ch = text.at(0);
    const QChar original = ch;
    QPointer<QWidget> target = receiver;
    CallHandlerSafely(this, [&] { OnKeyPress(this, ch); });
    if (ch == original)
        return false;
    // The handler changed the character: the control gets the new one instead.
    if (!ch.isNull() && target) {
        QKeyEvent changed(QEvent::KeyPress, event->key(), event->modifiers(), QString(ch));
        FInKeyPreview = true;
        QApplication::sendEvent(target, &changed);
        FInKeyPreview = false;
    }
    return true;
}

// ---------------------------------------------------------------------------------

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner)
{
    FTitle = QCoreApplication::applicationName();
    // One filter per process: a second module's application object (the plug-in's own,
    // which the host's replaces) stays quiet.
    if (qApp && !qApp->property("tallyleafMessageFilter").toBool()) {
        FFilter = new TMessageFilter([this](QWidget* widget, QEvent* event) {
            if (DispatchMessage(widget, event))
                return true;
            if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
                if (TCustomForm* form = TCustomForm::FormOf(widget))
                    return form->PreviewKeyEvent(widget, event);
            }
            return false;
        });
        qApp->installEventFilter(FFilter);
        qApp->setProperty("tallyleafMessageFilter", true);
    }
    if (qApp)
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { FTerminated = true; });
}

TApplication::~TApplication()
{
    if (FFilter) {
        if (qApp) {
            qApp->removeEventFilter(FFilter);
            qApp->setProperty("tallyleafMessageFilter", false);
        }
        delete FFilter;
    }
}

void TApplication::HandleException(TObject* Sender, const std::exception& e)
{
    const QString message = ExceptionMessage(e);
    if (OnException)
        OnException(Sender, message);
    else
        ShowException(message);
}

void TApplication::ShowException(const QString& message)
{
    MessageBox(message, Title(), MB_OK | MB_ICONERROR);
}

int TApplication::MessageBox(const QString& text, const QString& caption, int flags)
{
    if (MessageBoxHook)
        return MessageBoxHook(text, caption, flags);
    return ShowMessageBox(text, caption, flags);
}

void TApplication::ProcessMessages()
{
    QCoreApplication::processEvents();
}

void TApplication::Terminate()
{
    FTerminated = true;
    QCoreApplication::quit();
}

void TApplication::SetMainForm(TCustomForm* form)
{
    if (FMainForm)
        FMainForm->RemoveFreeNotification(this);
    FMainForm = form;
    if (form)
        form->FreeNotification(this);
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FMainForm)
        FMainForm = nullptr;
}

QString TApplication::ExeName() const
{
    return QCoreApplication::applicationFilePath();
}

void TApplication::ActivateHint(const QPoint& screenPos, const QString& text)
{
    QToolTip::showText(screenPos, text);
}

void TApplication::CancelHint()
{
    QToolTip::hideText();
}

// A dialog asks the application object, whose hook may answer for a person (Dialogs.h).
bool TCommonDialog::Execute()
{
    return Application ? Application->ExecuteDialog(this) : RunCommonDialog(this);
}

bool TApplication::ExecuteDialog(TCommonDialog* dialog)
{
    if (DialogHook)
        return DialogHook(dialog);
    return RunCommonDialog(dialog);
}

bool TApplication::DispatchMessage(QObject* receiver, QEvent* event)
{
    if (!OnMessage)
        return false;
    TMsg msg;
    msg.hwnd = qobject_cast<QWidget*>(receiver);
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        msg.message = event->type() == QEvent::KeyPress ? WM_KEYDOWN : WM_KEYUP;
        msg.wParam = static_cast<WPARAM>(QtKeyToVirtualKey(key->key()));
        msg.lParam = 0;
        break;
    }
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (event->type() != QEvent::MouseMove && mouse->button() != Qt::LeftButton)
            return false;
        msg.message = event->type() == QEvent::MouseMove ? WM_MOUSEMOVE
                      : event->type() == QEvent::MouseButtonPress ? WM_LBUTTONDOWN
                                                                   : WM_LBUTTONUP;
        unsigned keys = 0;
        if (mouse->buttons() & Qt::LeftButton)
            keys |= MK_LBUTTON;
        if (mouse->buttons() & Qt::RightButton)
            keys |= MK_RBUTTON;
        if (mouse->modifiers() & Qt::ShiftModifier)
            keys |= MK_SHIFT;
        if (mouse->modifiers() & Qt::ControlModifier)
            keys |= MK_CONTROL;
        msg.wParam = keys;
        const QPoint p = mouse->position().toPoint();
        msg.lParam = MakeLParam(p.x(), p.y());
        break;
    }
    default:
        return false;
    }
    bool handled = false;
    CallHandlerSafely(this, [&] { OnMessage(msg, handled); });
    return handled;
}

// ---------------------------------------------------------------------------------

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}

TScreen::~TScreen()
{
    if (FOverride)
        QApplication::restoreOverrideCursor();
}

int TScreen::Width() const
{
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().width() : 0;
}

int TScreen::Height() const
{
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().height() : 0;
}

void TScreen::SetCursor(TCursor cursor)
{
    FCursor = cursor;
    if (cursor == crDefault) {
        if (FOverride)
            QApplication::restoreOverrideCursor();
        FOverride = false;
        return;
    }
    if (FOverride) {
        QApplication::changeOverrideCursor(QCursor(CursorToShape(cursor)));
    } else {
        QApplication::setOverrideCursor(QCursor(CursorToShape(cursor)));
        FOverride = true;
    }
}

TCustomForm* TScreen::ActiveForm() const
{
    return TCustomForm::FormOf(QApplication::activeWindow());
}

// ---------------------------------------------------------------------------------

void InitRuntimeObjects()
{
    if (!Application)
        Application = new TApplication(nullptr);
    if (!Screen)
        Screen = new TScreen(nullptr);
}

void FreeRuntimeObjects()
{
    TComponent::FreeAndNil(Application);
    TComponent::FreeAndNil(Screen);
}
