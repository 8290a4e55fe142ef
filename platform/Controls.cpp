#include "platform/Controls.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>
#include <algorithm>

namespace {

const char* const kControlProperty = "tallyleafControl";

// The platform's family names have no font file here; the CJK families stand in.
QStringList FontFamilies(const QString& name)
{
    if (name == QStringLiteral("宋体") || name.compare(QLatin1String("SimSun"), Qt::CaseInsensitive) == 0)
        return {name, QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC")};
    if (name == QStringLiteral("黑体") || name == QStringLiteral("微软雅黑"))
        return {name, QStringLiteral("Noto Sans CJK SC")};
    return {name, QStringLiteral("Noto Sans CJK SC")};
}

} // namespace

QColor ColorToQColor(TColor color)
{
    if (color == clDefault || color == clNone)
        return {};
    if ((color & clSystemColor) == clSystemColor) {
        const QPalette pal = QApplication::palette();
        switch (color & 0xFF) {
        case 5: return pal.color(QPalette::Base);
        case 8: return pal.color(QPalette::Text);
        case 15: return pal.color(QPalette::Button);
        case 18: return pal.color(QPalette::ButtonText);
        case 24: return pal.color(QPalette::ToolTipBase);
        default: return pal.color(QPalette::Window);
        }
    }
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

Qt::CursorShape CursorToShape(TCursor cursor)
{
    switch (cursor) {
    case crNone: return Qt::BlankCursor;
    case crCross: return Qt::CrossCursor;
    case crIBeam: return Qt::IBeamCursor;
    case crHourGlass: return Qt::WaitCursor;
    case crVSplit: return Qt::SplitVCursor;
    case crHSplit: return Qt::SplitHCursor;
    case crHandPoint: return Qt::PointingHandCursor;
    default: return Qt::ArrowCursor;
    }
}

TShiftState ShiftStateOf(Qt::KeyboardModifiers modifiers)
{
    TShiftState s = 0;
    if (modifiers & Qt::ShiftModifier)
        s |= ssShift;
    if (modifiers & Qt::AltModifier)
        s |= ssAlt;
    if (modifiers & Qt::ControlModifier)
        s |= ssCtrl;
    return s;
}

// ---------------------------------------------------------------------------------

void TFont::SetName(const QString& name)
{
    FName = name;
    Changed();
}

void TFont::SetHeight(int height)
{
    FHeight = height;
    Changed();
}

void TFont::SetSize(int points)
{
    FHeight = -(points * 96 + 36) / 72;
    Changed();
}

void TFont::SetColor(TColor color)
{
    FColor = color;
    Changed();
}

void TFont::SetCharset(int charset)
{
    FCharset = charset;
    Changed();
}

void TFont::SetStyle(TFontStyles style)
{
    FStyle = style;
    Changed();
}

void TFont::Assign(const TFont& other)
{
    FName = other.FName;
    FHeight = other.FHeight;
    FColor = other.FColor;
    FCharset = other.FCharset;
    FStyle = other.FStyle;
    Changed();
}

QFont TFont::ToQFont() const
{
    QFont f;
    f.setFamilies(FontFamilies(FName));
    f.setPixelSize(std::max(1, FHeight < 0 ? -FHeight : FHeight * 3 / 4));
    f.setBold(FStyle & (1u << fsBold));
    f.setItalic(FStyle & (1u << fsItalic));
    f.setUnderline(FStyle & (1u << fsUnderline));
    f.setStrikeOut(FStyle & (1u << fsStrikeOut));
    return f;
}

void TFont::Changed()
{
    if (OnChange)
        OnChange();
}

// ---------------------------------------------------------------------------------

TControl::TControl(TComponent* AOwner) : TControl(AOwner, new QWidget) {}

TControl::TControl(TComponent* AOwner, QWidget* widget) : TComponent(AOwner)
{
    InitControl();
    SetWidget(widget);
    RegisterEvent("OnClick", &OnClick);
    RegisterEvent("OnResize", &OnResize);
}

void TControl::InitControl()
{
    FFont = new TFont;
    FFont->setParent(this);
    FFont->OnChange = [this] {
        FParentFont = false;
        FontChanged();
    };
}

TControl::~TControl()
{
    if (FParent)
        FParent->RemoveControl(this);
    FParent = nullptr;
    delete FWidget.data();
}

void TControl::SetWidget(QWidget* widget)
{
    if (FWidget == widget)
        return;
    delete FWidget.data();
    FWidget = widget;
    if (!widget)
        return;
    widget->setProperty(kControlProperty, QVariant::fromValue(static_cast<void*>(this)));
    if (FWidth == 0 && FHeight == 0) {
        const QSize s = widget->size();
        FWidth = s.width();
        FHeight = s.height();
    }
    UpdateWidgetGeometry();
}

void TControl::SetParent(TWinControl* parent)
{
    if (parent == FParent)
        return;
    if (FParent)
        FParent->RemoveControl(this);
    FParent = parent;
    if (FWidget) {
        const bool shown = FVisible;
        FWidget->setParent(parent ? parent->ClientWidget() : nullptr);
        UpdateWidgetGeometry();
        if (parent)
            FWidget->setVisible(shown);
    }
    if (parent)
        parent->InsertControl(this);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    AWidth = std::max(0, AWidth);
    AHeight = std::max(0, AHeight);
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight)
        return;
    const bool resized = AWidth != FWidth || AHeight != FHeight;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    UpdateWidgetGeometry();
    BoundsChanged();
    if (resized && !HasState(csLoading))
        CallHandlerSafely(this, [this] { OnResize(this); });
    if (FAlign != alNone)
        RequestParentRealign();
}

void TControl::StoreBounds(const QRect& r)
{
    FLeft = r.left();
    FTop = r.top();
    FWidth = r.width();
    FHeight = r.height();
}

void TControl::UpdateWidgetGeometry()
{
    if (FWidget && FWidget->parentWidget())
        FWidget->setGeometry(FLeft, FTop, FWidth, FHeight);
    else if (FWidget)
        FWidget->resize(FWidth, FHeight);
}

void TControl::RequestParentRealign()
{
    if (FParent)
        FParent->Realign();
}

void TControl::SetAlign(TAlign align)
{
    if (align == FAlign)
        return;
    FAlign = align;
    RequestParentRealign();
}

void TControl::SetVisible(bool visible)
{
    if (visible == FVisible)
        return;
    FVisible = visible;
    UpdateWidgetVisibility();
    RequestParentRealign();
}

void TControl::UpdateWidgetVisibility()
{
    // A control without a parent never becomes a window of its own.
    if (FWidget && FParent)
        FWidget->setVisible(FVisible);
}

bool TControl::Showing() const
{
    if (!FVisible)
        return false;
    return FParent ? FParent->Showing() : (FWidget && FWidget->isVisible());
}

void TControl::SetEnabled(bool enabled)
{
    FEnabled = enabled;
    if (FWidget)
        FWidget->setEnabled(enabled);
}

void TControl::SetCaption(const QString& caption)
{
    if (caption == FCaption)
        return;
    FCaption = caption;
    CaptionChanged();
}

void TControl::SetHint(const QString& hint)
{
    FHint = hint;
    if (FWidget)
        FWidget->setToolTip(hint);
}

void TControl::SetCursor(TCursor cursor)
{
    FCursor = cursor;
    if (!FWidget)
        return;
    if (cursor == crDefault)
        FWidget->unsetCursor();
    else
        FWidget->setCursor(CursorToShape(cursor));
}

void TControl::SetColor(TColor color)
{
    FColor = color;
    FParentColor = false;
    ColorChanged();
}

void TControl::ColorChanged()
{
    if (!FWidget || FColor == clBtnFace || FColor == clDefault)
        return;
    QPalette pal = FWidget->palette();
    pal.setColor(QPalette::Window, ColorToQColor(FColor));
    FWidget->setPalette(pal);
    FWidget->setAutoFillBackground(true);
}

void TControl::SetParentFont(bool value)
{
    FParentFont = value;
    if (value && FWidget)
        FWidget->setFont(QFont());
}

void TControl::FontChanged()
{
    if (!FWidget)
        return;
    FWidget->setFont(FFont->ToQFont());
    if (FFont->Color() != clWindowText) {
        QPalette pal = FWidget->palette();
        const QColor c = ColorToQColor(FFont->Color());
        pal.setColor(QPalette::WindowText, c);
        pal.setColor(QPalette::ButtonText, c);
        pal.setColor(QPalette::Text, c);
        FWidget->setPalette(pal);
    }
}

void TControl::SetAutoSize(bool value)
{
    FAutoSize = value;
    if (value && !HasState(csLoading))
        AdjustAutoSize();
}

void TControl::AdjustAutoSize()
{
    if (!FAutoSize)
        return;
    const QSize s = AutoSizeExtent();
    SetBounds(FLeft, FTop, s.width(), s.height());
}

void TControl::Loaded()
{
    TComponent::Loaded();
    AdjustAutoSize();
}

void TControl::BringToFront()
{
    if (FWidget)
        FWidget->raise();
}

void TControl::Refresh()
{
    if (FWidget)
        FWidget->update();
}

QPoint TControl::ClientToScreen(const QPoint& p) const
{
    return FWidget ? FWidget->mapToGlobal(p) : p;
}

QPoint TControl::ScreenToClient(const QPoint& p) const
{
    return FWidget ? FWidget->mapFromGlobal(p) : p;
}

void TControl::Click()
{
    CallHandlerSafely(this, [this] { OnClick(this); });
}

TControl* FindControl(QWidget* widget)
{
    for (QWidget* w = widget; w; w = w->parentWidget()) {
        const QVariant v = w->property(kControlProperty);
        if (v.isValid())
            return static_cast<TControl*>(v.value<void*>());
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* AOwner) : TWinControl(AOwner, new QWidget) {}

TWinControl::TWinControl(TComponent* AOwner, QWidget* widget) : TControl(AOwner, widget)
{
    InitWinControl();
}

void TWinControl::InitWinControl()
{
    if (ClientWidget())
        ClientWidget()->installEventFilter(this);
}

TWinControl::~TWinControl()
{
    DetachChildren();
}

void TWinControl::DetachChildren()
{
    // Children that outlive this control (they belong to their owner, not to us) lose
    // their parent: their widgets leave ours so that deleting ours spares them.
    const QList<TControl*> children = FControls;
    FControls.clear();
    for (TControl* c : children) {
        c->FParent = nullptr;
        if (c->FWidget) {
            c->FWidget->hide();
            c->FWidget->setParent(nullptr);
        }
    }
}

void TWinControl::InsertControl(TControl* control)
{
    if (!FControls.contains(control))
        FControls.append(control);
    Realign();
}

void TWinControl::RemoveControl(TControl* control)
{
    FControls.removeAll(control);
    if (!HasState(csDestroying))
        Realign();
}

void TWinControl::Loaded()
{
    TControl::Loaded();
    Realign();
}

void TWinControl::EnableAlign()
{
    if (FAlignLock > 0 && --FAlignLock == 0)
        Realign();
}

bool TWinControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ClientWidget() && event->type() == QEvent::Resize)
        Realign();
    return TControl::eventFilter(watched, event);
}

void TWinControl::Realign()
{
    // While a resource is being read the children's designed places decide their order,
    // so nothing moves until Loaded.
    if (FAlignLock > 0 || FAligning || HasState(csDestroying) || HasState(csLoading))
        return;
    FAligning = true;
    QRect rect = ClientRect();
    if (ClientWidget() && ClientWidget() != Widget())
        rect = QRect(QPoint(0, 0), ClientWidget()->size());
    AlignControls(rect);
    FAligning = false;
}

void TWinControl::AlignControls(QRect& rect)
{
    auto ofAlign = [this](TAlign a) {
        QList<TControl*> list;
        for (TControl* c : FControls)
            if (c->FAlign == a && c->FVisible)
                list.append(c);
        return list;
    };
    auto place = [](TControl* c, int l, int t, int w, int h) {
        c->SetBounds(l, t, w, h);
        c->UpdateWidgetGeometry();
    };

    QList<TControl*> tops = ofAlign(alTop);
    std::stable_sort(tops.begin(), tops.end(), [](TControl* a, TControl* b) { return a->FTop < b->FTop; });
    for (TControl* c : tops) {
        place(c, rect.left(), rect.top(), rect.width(), c->FHeight);
        rect.setTop(rect.top() + c->FHeight);
    }
    QList<TControl*> bottoms = ofAlign(alBottom);
    std::stable_sort(bottoms.begin(), bottoms.end(),
                     [](TControl* a, TControl* b) { return a->FTop + a->FHeight > b->FTop + b->FHeight; });
    for (TControl* c : bottoms) {
        place(c, rect.left(), rect.bottom() + 1 - c->FHeight, rect.width(), c->FHeight);
        rect.setBottom(rect.bottom() - c->FHeight);
    }
    QList<TControl*> lefts = ofAlign(alLeft);
    std::stable_sort(lefts.begin(), lefts.end(), [](TControl* a, TControl* b) { return a->FLeft < b->FLeft; });
    for (TControl* c : lefts) {
        place(c, rect.left(), rect.top(), c->FWidth, rect.height());
        rect.setLeft(rect.left() + c->FWidth);
    }
    QList<TControl*> rights = ofAlign(alRight);
    std::stable_sort(rights.begin(), rights.end(),
                     [](TControl* a, TControl* b) { return a->FLeft + a->FWidth > b->FLeft + b->FWidth; });
    for (TControl* c : rights) {
        place(c, rect.right() + 1 - c->FWidth, rect.top(), c->FWidth, rect.height());
        rect.setRight(rect.right() - c->FWidth);
    }
    for (TControl* c : ofAlign(alClient))
        place(c, rect.left(), rect.top(), rect.width(), rect.height());
}

void TWinControl::SetTabOrder(int order)
{
    FTabOrder = order;
    FTabStop = true;
    if (Parent())
        Parent()->ChildTabOrderChanged(this);
}

void TWinControl::ChildTabOrderChanged(TWinControl* child)
{
    // Keep Qt's own focus chain (Tab key) in the same order as Enter moves.
    const QList<TWinControl*> order = TabOrderList();
    QWidget* previous = nullptr;
    for (TWinControl* c : order) {
        QWidget* w = c->Handle();
        if (!w)
            continue;
        if (previous && previous->window() == w->window())
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
    Q_UNUSED(child);
}

QList<TWinControl*> TWinControl::TabOrderList() const
{
    QList<TWinControl*> children;
    for (TControl* c : FControls)
        if (TWinControl* w = c->AsWinControl())
            children.append(w);
    std::stable_sort(children.begin(), children.end(), [](TWinControl* a, TWinControl* b) {
        const int ta = a->FTabOrder < 0 ? INT_MAX : a->FTabOrder;
        const int tb = b->FTabOrder < 0 ? INT_MAX : b->FTabOrder;
        return ta < tb;
    });
    QList<TWinControl*> result;
    for (TWinControl* c : children) {
        result.append(c);
        result.append(c->TabOrderList());
    }
    return result;
}

bool TWinControl::CanFocus() const
{
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled())
            return false;
    return Handle() != nullptr;
}

bool TWinControl::Focused() const
{
    QWidget* h = Handle();
    return h && h->hasFocus();
}

void TWinControl::SetFocus()
{
    if (QWidget* h = Handle()) {
        h->activateWindow();
        h->setFocus(Qt::OtherFocusReason);
    }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool forward) const
{
    const QList<TWinControl*> list = TabOrderList();
    if (list.isEmpty())
        return nullptr;
    const int n = static_cast<int>(list.size());
    int start = static_cast<int>(list.indexOf(current));
    if (start < 0)
        start = forward ? n - 1 : 0;
    for (int step = 1; step <= n; ++step) {
        const int i = ((start + (forward ? step : -step)) % n + n) % n;
        TWinControl* c = list.at(i);
        if (c != current && c->TabStop() && c->CanFocus() && c->Handle()
            && c->Handle()->focusPolicy() != Qt::NoFocus)
            return c;
    }
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool forward)
{
    if (TWinControl* next = FindNextControl(current, forward))
        next->SetFocus();
}

// ---------------------------------------------------------------------------------

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner, new QWidget)
{
    Widget()->setFocusPolicy(Qt::StrongFocus);
}
