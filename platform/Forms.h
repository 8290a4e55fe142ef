#pragma once
// Forms, the application object and the screen object.
//
// Each module that links this library (the host, the plug-in) has its own
// `Application` and `Screen` globals; the plug-in adopts the host's objects, so code
// here reaches the host's application and main form only through virtual functions
// and never compares meta-objects across modules.
//
// A form class reads its form resources when it is constructed: the resource of its
// root form class first, then each derived class's changes (FormResource.h). Form
// classes follow one constructor pattern so that this happens once, after the most
// derived class is complete:
//
//   class TfrmX : public TfrmBase {
//       Q_OBJECT
//       Q_CLASSINFO("FormResource", "wnX.form")
//   public:
//       Q_INVOKABLE explicit TfrmX(TComponent* AOwner) : TfrmX(AOwner, TFormChain{}) { FinishCreate(); }
//   protected:
//       TfrmX(TComponent* AOwner, TFormChain chain) : TfrmBase(AOwner, chain) {}
//       void BindFields() override;   // FindChild<T>("name") for the published fields
//   };
//
// FinishCreate() loads the resources, calls BindFields() and fires OnCreate; an
// exception there unwinds the constructor (the form is destroyed).
#include <QMdiArea>
#include <QPointer>
#include <QString>
#include <functional>

#include "platform/Controls.h"
#include "platform/Dialogs.h"
#include "platform/Menus.h"
#include "platform/MessageHook.h"

class QMdiSubWindow;
class QMenuBar;
class QEventLoop;
class TCustomForm;

enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter, poMainFormCenter, poOwnerFormCenter };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
// Border icons, a set: bit (1 << biSystemMenu) etc.
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = unsigned;

enum TFormStateFlag : unsigned {
    fsCreating = 0x01,
    fsVisible = 0x02,
    fsShowing = 0x04,
    fsModal = 0x08,
    fsCreatedMDIChild = 0x10,
    fsActivated = 0x20,
};
using TFormState = unsigned;

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = 1;
constexpr TModalResult mrCancel = 2;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = 6;
constexpr TModalResult mrNo = 7;

// Tag for the constructor chain of form classes (see the header comment).
struct TFormChain {};

class TCustomForm : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(TFormStyle FormStyle READ FormStyle WRITE SetFormStyle)
    Q_PROPERTY(TPosition Position READ Position WRITE SetPosition)
    Q_PROPERTY(TWindowState WindowState READ WindowState WRITE SetWindowState)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
    Q_PROPERTY(unsigned BorderIcons READ BorderIcons WRITE SetBorderIcons)
    Q_PROPERTY(bool KeyPreview READ KeyPreview WRITE SetKeyPreview)
    Q_PROPERTY(TMainMenu* Menu READ Menu WRITE SetMenu)
    Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)
    Q_PROPERTY(int ClientWidth READ ClientWidth WRITE SetClientWidth)
    Q_PROPERTY(int ClientHeight READ ClientHeight WRITE SetClientHeight)
    Q_PROPERTY(bool OldCreateOrder READ OldCreateOrder WRITE SetOldCreateOrder)
    Q_PROPERTY(int PixelsPerInch READ PixelsPerInch WRITE SetPixelsPerInch)
    Q_PROPERTY(int TextHeight READ TextHeight WRITE SetTextHeight)
    Q_PROPERTY(bool Scaled READ Scaled WRITE SetScaled)
public:
    Q_INVOKABLE explicit TCustomForm(TComponent* AOwner);
    ~TCustomForm() override;

    // Shows the form (an MDI child inside the main form's MDI area) and brings it to
    // the front; OnShow fires when it becomes visible.
    virtual void Show();
    // Shows the form modally and returns its ModalResult once that is set.
    virtual int ShowModal();
    // Closes through OnCloseQuery and OnClose; a modal form gets mrCancel.
    void Close();
    // Frees the form once the events being handled have returned.
    void Release();
    void Hide();

    TModalResult ModalResult() const { return FModalResult; }
    void SetModalResult(TModalResult value);
    TFormState FormState() const { return FFormState; }
    TFormStyle FormStyle() const { return FFormStyle; }
    void SetFormStyle(TFormStyle style);
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition position);
    TWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TWindowState state);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle style);
    TBorderIcons BorderIcons() const { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons icons);
    bool KeyPreview() const { return FKeyPreview; }
    void SetKeyPreview(bool value) { FKeyPreview = value; }
    TMainMenu* Menu() const { return FMenu; }
    void SetMenu(TMainMenu* menu);
    void SetClientWidth(int value);
    void SetClientHeight(int value);
    QRect ClientRect() const override;
    QWidget* ClientWidget() const override;
    bool OldCreateOrder() const { return FOldCreateOrder; }
    void SetOldCreateOrder(bool value) { FOldCreateOrder = value; }
    int PixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int value) { FPixelsPerInch = value; }
    int TextHeight() const { return FTextHeight; }
    void SetTextHeight(int value) { FTextHeight = value; }
    bool Scaled() const { return FScaled; }
    void SetScaled(bool value) { FScaled = value; }
    void SetVisible(bool visible) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

    TWinControl* ActiveControl() const;
    void SetActiveControl(TWinControl* control);
    bool Active() const;
    // The platform's messages sent to the form; WM_NEXTDLGCTL (wParam 0: next control,
    // 1: previous) moves the focus in tab order.
    virtual LPARAM Perform(unsigned message, WPARAM wParam, LPARAM lParam);

    // The published fields: the form's component of that name and class, or an
    // exception naming the form and the component.
    template <class T>
    T* FindChild(const QString& name) const
    {
        TComponent* c = FindComponent(name);
        T* typed = c ? dynamic_cast<T*>(c) : nullptr;
        if (!typed)
            ThrowMissingField(name, T::staticMetaObject.className());
        return typed;
    }

    // --- MDI (the main form's side; virtual: the caller may be another module) ---
    // The MDI area of an fsMDIForm (null for other forms).
    virtual QMdiArea* MDIArea() const { return FMdiArea; }
    // The active MDI child (null when none).
    virtual TCustomForm* ActiveMDIChild() const;
    virtual int MDIChildCount() const;
    virtual TCustomForm* MDIChildren(int index) const;
    // Merges the items of an MDI child's main menu into this form's main menu (null
    // takes the merged items out again).
    virtual void MergeChildMenu(TMainMenu* childMenu);
    // The menu item under which the main form lists its open MDI children ("&1 指标打印"),
    // below the item's own sub-items, the active child checked; choosing one brings it
    // to the front. Null lists them nowhere.
    void SetWindowMenu(TMenuItem* item);
    TMenuItem* WindowMenu() const { return FWindowMenu; }
    // Arranges the MDI children that are not minimised one title bar apart, each keeping
    // its size as far as the MDI area allows, the active child in front.
    void Cascade();
    // The key handling of the form for an event addressed to one of its widgets (the
    // application's event filter asks; true when the key was consumed).
    virtual bool PreviewKeyEvent(QWidget* receiver, QEvent* event);
    // The form whose window shows `widget` (any module's form), or null.
    static TCustomForm* FormOf(QWidget* widget);
    // The window widget: the QMdiSubWindow for an MDI child, else the form's widget.
    QWidget* WindowWidget() const;

    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TEvent<TObject*, TCloseAction&> OnClose;
    TEvent<TObject*, bool&> OnCloseQuery;
    TEvent<TObject*, QChar&> OnKeyPress;
    TEvent<TObject*, quint16&, TShiftState> OnKeyDown;
    TEvent<TObject*, quint16&, TShiftState> OnKeyUp;

protected:
    TCustomForm(TComponent* AOwner, TFormChain chain);
    // Reads the form resources of the class chain, binds the fields, fires OnCreate.
    void FinishCreate();
    // Override to fetch typed pointers to the published fields (call the base first).
    virtual void BindFields() {}
    void BeforeDestruction() override;
    void UpdateWidgetGeometry() override;
    void UpdateWidgetVisibility() override;
    void CaptionChanged() override;
    void ExcludeFormState(TFormStateFlag flag) { FFormState &= ~static_cast<unsigned>(flag); }
    void IncludeFormState(TFormStateFlag flag) { FFormState |= flag; }
    virtual bool CloseQuery();
    virtual void DoClose(TCloseAction& action);
    virtual void DoShow();
    virtual void DoHide();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void AlignControls(QRect& rect) override;
    // Forgets the form's menu, or the merged child menu, when it is freed.
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TFormWindow;
    friend class TApplication;
    void InitForm();
    [[noreturn]] void ThrowMissingField(const QString& name, const char* className) const;
    void ApplyPosition();
    void AttachToMDIArea();
    void WindowCloseRequested();
    void WindowMovedOrResized();
    void SetFormVisible(bool visible);
    void LayoutWindow();
    void ChildActivated();
    void RebuildMenuBar();
    void ListChildWindows();
    QList<QMdiSubWindow*> ChildWindowsInSight() const;
    bool HandleKeyPress(QWidget* receiver, QKeyEvent* event);
    bool HandleKeyDown(QWidget* receiver, QKeyEvent* event, bool release);

    QWidget* FClient = nullptr;
    QMenuBar* FMenuBar = nullptr;
    QMdiArea* FMdiArea = nullptr;
    QPointer<QMdiSubWindow> FSubWindow;
    QEventLoop* FModalLoop = nullptr;
    TMainMenu* FMenu = nullptr;
    TMainMenu* FMergedMenu = nullptr;
    TMenuItem* FWindowMenu = nullptr;
    QList<QPointer<QAction>> FWindowListActions;
    TModalResult FModalResult = mrNone;
    TFormState FFormState = 0;
    TFormStyle FFormStyle = fsNormal;
    TPosition FPosition = poDesigned;
    TWindowState FWindowState = wsNormal;
    TBorderStyle FBorderStyle = bsSizeable;
    TBorderIcons FBorderIcons = (1u << biSystemMenu) | (1u << biMinimize) | (1u << biMaximize);
    bool FKeyPreview = false;
    bool FOldCreateOrder = false;
    int FPixelsPerInch = 96;
    int FTextHeight = 12;
    bool FScaled = true;
    bool FPositioned = false;
    bool FClosing = false;
    bool FInKeyPreview = false;
    bool FChangingState = false;
};

class TForm : public TCustomForm {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TForm(TComponent* AOwner) : TForm(AOwner, TFormChain{}) { FinishCreate(); }

protected:
    TForm(TComponent* AOwner, TFormChain chain) : TCustomForm(AOwner, chain) {}
};

// ---------------------------------------------------------------------------------

class TApplication : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TApplication(TComponent* AOwner = nullptr);
    ~TApplication() override;

    // Shows the message of an exception that reached an event handler. With
    // OnException assigned, the handler gets the message instead of a message box.
    virtual void HandleException(TObject* Sender, const std::exception& e);
    virtual void ShowException(const QString& message);
    // A message box with MB_ flags; the result is IDOK, IDCANCEL, IDYES or IDNO.
    // With MessageBoxHook set, the hook answers and nothing is shown.
    virtual int MessageBox(const QString& text, const QString& caption, int flags = MB_OK);
    virtual void ProcessMessages();
    virtual bool Terminated() const { return FTerminated; }
    virtual void Terminate();
    virtual TCustomForm* MainForm() const { return FMainForm; }
    virtual void SetMainForm(TCustomForm* form);
    // The path of the host executable.
    virtual QString ExeName() const;
    virtual QString Title() const { return FTitle; }
    virtual void SetTitle(const QString& title) { FTitle = title; }
    // Shows `text` as a hint at a screen point.
    virtual void ActivateHint(const QPoint& screenPos, const QString& text);
    virtual void CancelHint();
    // Runs a common dialog (save dialog): DialogHook answers when set (tests,
    // headless runs), else the dialog is shown. True when the user confirmed.
    virtual bool ExecuteDialog(TCommonDialog* dialog);

    // The platform's message hook: every key and mouse message before its window gets
    // it; set Handled to keep it from the window.
    TEvent<TMsg&, bool&> OnMessage;
    // Replaces the message box of HandleException (Sender, message).
    TEvent<TObject*, const QString&> OnException;
    std::function<int(const QString& text, const QString& caption, int flags)> MessageBoxHook;
    std::function<bool(TCommonDialog* dialog)> DialogHook;

    // Called by the event filter (may be another module's): turns a Qt event into a
    // message and runs OnMessage; true when a handler set Handled.
    virtual bool DispatchMessage(QObject* receiver, QEvent* event);

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TMessageFilter* FFilter = nullptr;
    TCustomForm* FMainForm = nullptr;
    QString FTitle;
    bool FTerminated = false;
};

class TScreen : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TScreen(TComponent* AOwner = nullptr);
    ~TScreen() override;

    virtual int Width() const;
    virtual int Height() const;
    virtual TCursor Cursor() const { return FCursor; }
    // crHourGlass shows the wait cursor everywhere until the cursor goes back to crDefault.
    virtual void SetCursor(TCursor cursor);
    virtual TCustomForm* ActiveForm() const;

private:
    TCursor FCursor = crDefault;
    bool FOverride = false;
};

// This module's runtime objects (the plug-in swaps in the host's).
extern TApplication* Application;
extern TScreen* Screen;
// Creates this module's own Application and Screen (once), and frees them again with
// every component the application owns.
void InitRuntimeObjects();
void FreeRuntimeObjects();
