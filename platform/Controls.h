#pragma once
// Controls: components that own a Qt widget and lay themselves out by the platform's
// Align rules.
//
// A TControl owns its widget (deleting the control deletes the widget). Its bounds
// (Left, Top, Width, Height) are kept in the control and pushed to the widget, so a
// form resource can set them before the control has a parent. A TWinControl holds
// child controls and places the aligned ones whenever its client area or a child
// changes: top-aligned children first (ordered by Top), then bottom (nearest the
// bottom edge first), left (by Left), right (nearest the right edge first), and the
// client-aligned ones fill what is left. Children that are not visible take no room.
//
// Every property that a form resource sets is a Q_PROPERTY; enumerations are plain
// enums whose value names the resource reader knows (see FormResource.h).
#include <QColor>
#include <QFont>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>

#include "platform/Classes.h"

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

// Colours: 0x00BBGGRR as on the platform; system colours have the high bit set.
using TColor = int;
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clNavy = 0x800000;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clSystemColor = static_cast<int>(0xFF000000u);
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clInfoBk = clSystemColor | 24;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clNone = 0x1FFFFFFF;
// The Qt colour of a platform colour (system colours from the application palette).
QColor ColorToQColor(TColor color);

using TCursor = int;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crVSplit = -12;
constexpr TCursor crHSplit = -14;
constexpr TCursor crHandPoint = -21;
Qt::CursorShape CursorToShape(TCursor cursor);

enum TShiftStateFlag : unsigned {
    ssShift = 0x01,
    ssAlt = 0x02,
    ssCtrl = 0x04,
    ssLeft = 0x08,
    ssRight = 0x10,
    ssMiddle = 0x20,
    ssDouble = 0x40,
};
using TShiftState = unsigned;
TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers);

// Font styles, a set: bit (1 << fsBold) etc.
enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = unsigned;
constexpr int DEFAULT_CHARSET = 1;
constexpr int GB2312_CHARSET = 134;

// Runs an event handler that Qt called; an exception goes to Application's
// HandleException instead of unwinding through Qt.
void CallHandlerSafely(TObject* Sender, const std::function<void()>& handler);

class TFont : public TPersistent {
    Q_OBJECT
    Q_PROPERTY(QString Name READ Name WRITE SetName)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(int Size READ Size WRITE SetSize)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(int Charset READ Charset WRITE SetCharset)
    Q_PROPERTY(unsigned Style READ Style WRITE SetStyle)
public:
    Q_INVOKABLE TFont() = default;

    QString Name() const { return FName; }
    void SetName(const QString& name);
    // Negative: character height in pixels; positive: cell height.
    int Height() const { return FHeight; }
    void SetHeight(int height);
    int Size() const { return -FHeight * 72 / 96; }
    void SetSize(int points);
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    int Charset() const { return FCharset; }
    void SetCharset(int charset);
    TFontStyles Style() const { return FStyle; }
    void SetStyle(TFontStyles style);

    void Assign(const TFont& other);
    QFont ToQFont() const;

    std::function<void()> OnChange;

private:
    void Changed();

    QString FName = QStringLiteral("宋体");
    int FHeight = -12;
    TColor FColor = clWindowText;
    int FCharset = DEFAULT_CHARSET;
    TFontStyles FStyle = 0;
};

class TWinControl;

class TControl : public TComponent {
    Q_OBJECT
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(TAlign Align READ Align WRITE SetAlign)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)
    Q_PROPERTY(int Cursor READ Cursor WRITE SetCursor)
    Q_PROPERTY(int Color READ Color WRITE SetColor)
    Q_PROPERTY(TFont* Font READ Font)
    Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
    Q_PROPERTY(bool ParentColor READ ParentColor WRITE SetParentColor)
    Q_PROPERTY(bool ParentShowHint READ ParentShowHint WRITE SetParentShowHint)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
public:
    Q_INVOKABLE explicit TControl(TComponent* AOwner);
    ~TControl() override;

    // The widget that shows this control (null once the widget has gone).
    QWidget* Widget() const { return FWidget; }

    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* parent);

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int value) { SetBounds(value, FTop, FWidth, FHeight); }
    void SetTop(int value) { SetBounds(FLeft, value, FWidth, FHeight); }
    void SetWidth(int value) { SetBounds(FLeft, FTop, value, FHeight); }
    void SetHeight(int value) { SetBounds(FLeft, FTop, FWidth, value); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    QRect BoundsRect() const { return QRect(FLeft, FTop, FWidth, FHeight); }
    int ClientWidth() const { return ClientRect().width(); }
    int ClientHeight() const { return ClientRect().height(); }
    virtual QRect ClientRect() const { return QRect(0, 0, FWidth, FHeight); }

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign align);
    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible and every parent visible.
    bool Showing() const;
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool enabled);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    QString Text() const { return FCaption; }
    QString Hint() const { return FHint; }
    void SetHint(const QString& hint);
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool value) { FShowHint = value; }
    bool ParentShowHint() const { return FParentShowHint; }
    void SetParentShowHint(bool value) { FParentShowHint = value; }
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor cursor);
    TColor Color() const { return FColor; }
    void SetColor(TColor color);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool value) { FParentColor = value; }
    TFont* Font() const { return FFont; }
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);

    void BringToFront();
    void Refresh();
    // This control as a windowed control, or null (works on objects of any module).
    virtual TWinControl* AsWinControl() { return nullptr; }
    // Client coordinates of this control to screen and back.
    QPoint ClientToScreen(const QPoint& p) const;
    QPoint ScreenToClient(const QPoint& p) const;

    TNotifyEvent OnClick;
    TNotifyEvent OnResize;

    void Loaded() override;

protected:
    // For subclasses: the constructor creates the widget and hands it over here.
    TControl(TComponent* AOwner, QWidget* widget);
    void SetWidget(QWidget* widget);
    virtual void CaptionChanged() {}
    virtual void FontChanged();
    virtual void ColorChanged();
    virtual void BoundsChanged() {}
    // Width and height the control wants when AutoSize is on (the current size by default).
    virtual QSize AutoSizeExtent() const { return QSize(FWidth, FHeight); }
    void AdjustAutoSize();
    // Pushes the kept bounds to the widget.
    virtual void UpdateWidgetGeometry();
    virtual void UpdateWidgetVisibility();
    void Click();
    // Keeps the bounds without moving the widget (a form moved by the window system).
    void StoreBounds(const QRect& r);
    void RequestParentRealign();
    void SetVisibleFlag(bool visible) { FVisible = visible; }

private:
    friend class TWinControl;
    void InitControl();

    QPointer<QWidget> FWidget;
    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TAlign FAlign = alNone;
    bool FVisible = true;
    bool FEnabled = true;
    QString FCaption;
    QString FHint;
    bool FShowHint = false;
    bool FParentShowHint = true;
    TCursor FCursor = crDefault;
    TColor FColor = clBtnFace;
    bool FParentColor = true;
    TFont* FFont = nullptr;
    bool FParentFont = true;
    bool FAutoSize = false;
};

class TWinControl : public TControl {
    Q_OBJECT
    Q_PROPERTY(int TabOrder READ TabOrder WRITE SetTabOrder)
    Q_PROPERTY(bool TabStop READ TabStop WRITE SetTabStop)
public:
    Q_INVOKABLE explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    TWinControl* AsWinControl() override { return this; }
    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int index) const { return FControls.at(index); }
    // The widget that child widgets are placed in (the control's widget by default).
    virtual QWidget* ClientWidget() const { return Widget(); }
    // The widget that receives this control's input: its window handle for the
    // application's message hook.
    virtual QWidget* Handle() const { return Widget(); }

    int TabOrder() const { return FTabOrder; }
    void SetTabOrder(int order);
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool value) { FTabStop = value; }
    bool CanFocus() const;
    bool Focused() const;
    virtual void SetFocus();

    // Places the aligned children (see the header comment).
    void Realign();
    void DisableAlign() { ++FAlignLock; }
    void Loaded() override;
    void EnableAlign();
    // Children in tab order, depth first (the order in which Enter and Tab move).
    QList<TWinControl*> TabOrderList() const;
    // The next (or previous) focusable control after `current` within this control.
    TWinControl* FindNextControl(TWinControl* current, bool forward) const;
    void SelectNext(TWinControl* current, bool forward);

protected:
    TWinControl(TComponent* AOwner, QWidget* widget);
    bool eventFilter(QObject* watched, QEvent* event) override;
    virtual void AlignControls(QRect& rect);
    // Lets go of the child controls (their widgets leave ours); destructors call it
    // before they delete widgets that hold the children's widgets.
    void DetachChildren();

private:
    friend class TControl;
    void InitWinControl();
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    void ChildTabOrderChanged(TWinControl* child);

    QList<TControl*> FControls;
    int FTabOrder = -1;
    bool FTabStop = false;
    int FAlignLock = 0;
    bool FAligning = false;
};

// A plain windowed control with no look of its own (used as a base and in tests).
class TCustomControl : public TWinControl {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TCustomControl(TComponent* AOwner);

protected:
    TCustomControl(TComponent* AOwner, QWidget* widget) : TWinControl(AOwner, widget) {}
};

// The control that shows `widget`, or one of its parents (null when none).
TControl* FindControl(QWidget* widget);
