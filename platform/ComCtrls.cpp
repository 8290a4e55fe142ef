#include "platform/ComCtrls.h"

#include <QPainter>
#include <QProgressBar>
#include <QToolButton>
#include <algorithm>

#include "platform/ImgList.h"

// --- TToolButton --------------------------------------------------------------------------

TToolButton::TToolButton(TComponent* AOwner) : TWinControl(AOwner, new QToolButton)
{
    Button()->setFocusPolicy(Qt::NoFocus);
    Button()->setAutoRaise(true);
    SetBounds(0, 0, 23, 22);
    QObject::connect(Button(), &QToolButton::clicked, this, [this] { Click(); });
}

QToolButton* TToolButton::Button() const
{
    return static_cast<QToolButton*>(Widget());
}

TToolBar* TToolButton::ToolBar() const
{
    // The tool bar is the parent; a tool bar says so through its meta-object name.
    TWinControl* p = Parent();
    return (p && ClassInheritsFromName(p->metaObject(), "TToolBar")) ? static_cast<TToolBar*>(p) : nullptr;
}

void TToolButton::SetParent(TWinControl* parent)
{
    TWinControl::SetParent(parent);
    UpdateLook();
}

void TToolButton::SetImageIndex(int index)
{
    FImageIndex = index;
    UpdateLook();
}

void TToolButton::SetStyle(TToolButtonStyle style)
{
    FStyle = style;
    if (Button()) {
        Button()->setCheckable(style == tbsCheck);
        Button()->setEnabled(!IsSeparator() && Enabled());
    }
    UpdateLook();
}

bool TToolButton::Down() const
{
    return Button() && Button()->isChecked();
}

void TToolButton::SetDown(bool value)
{
    if (Button()) {
        Button()->setCheckable(true);
        Button()->setChecked(value);
    }
}

void TToolButton::Click()
{
    if (IsSeparator())
        return;
    TControl::Click();
}

void TToolButton::UpdateLook()
{
    QToolButton* b = Button();
    if (!b)
        return;
    TToolBar* bar = ToolBar();
    if (IsSeparator()) {
        b->setText(QString());
        b->setIcon(QIcon());
        b->setEnabled(false);
    } else {
        const bool captions = bar && bar->ShowCaptions();
        b->setText(Caption());
        QIcon icon;
        if (bar && bar->Images()) {
            icon = bar->Images()->Icon(FImageIndex);
            b->setIconSize(QSize(bar->Images()->Width(), bar->Images()->Height()));
        }
        b->setIcon(icon);
        b->setToolButtonStyle(captions ? (icon.isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonTextUnderIcon)
                                       : Qt::ToolButtonIconOnly);
        b->setAutoRaise(!bar || bar->Flat());
    }
    if (bar && !HasState(csLoading))
        bar->Realign();
}

int TToolButton::NeededWidth() const
{
    return Button() ? Button()->sizeHint().width() : Width();
}

// --- TToolBar -----------------------------------------------------------------------------

TToolBar::TToolBar(TComponent* AOwner) : TWinControl(AOwner, new QWidget)
{
    SetBounds(0, 0, 150, 29);
    SetAlign(alTop);
}

void TToolBar::SetButtonHeight(int value)
{
    FButtonHeight = value;
    Realign();
}

void TToolBar::SetButtonWidth(int value)
{
    FButtonWidth = value;
    Realign();
}

void TToolBar::SetShowCaptions(bool value)
{
    FShowCaptions = value;
    UpdateButtons();
}

void TToolBar::SetList(bool value)
{
    FList = value;
    UpdateButtons();
}

void TToolBar::SetIndent(int value)
{
    FIndent = value;
    Realign();
}

void TToolBar::SetImages(TCustomImageList* images)
{
    if (FImages)
        FImages->RemoveFreeNotification(this);
    FImages = images;
    if (images)
        images->FreeNotification(this);
    UpdateButtons();
}

void TToolBar::Notification(TComponent* AComponent, TOperation Operation)
{
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages) {
        FImages = nullptr;
        UpdateButtons();
    }
}

void TToolBar::Loaded()
{
    TWinControl::Loaded();
    UpdateButtons();
}

QList<TToolButton*> TToolBar::Buttons() const
{
    QList<TControl*> controls;
    for (int i = 0; i < ControlCount(); ++i)
        controls.append(Controls(i));
    std::stable_sort(controls.begin(), controls.end(), [](TControl* a, TControl* b) { return a->Left() < b->Left(); });
    QList<TToolButton*> buttons;
    for (TControl* c : controls)
        if (ClassInheritsFromName(c->metaObject(), "TToolButton"))
            buttons.append(static_cast<TToolButton*>(c));
    return buttons;
}

void TToolBar::UpdateButtons()
{
    for (TToolButton* b : Buttons())
        b->UpdateLook();
    Realign();
}

void TToolBar::AlignControls(QRect& rect)
{
    QList<TControl*> controls;
    for (int i = 0; i < ControlCount(); ++i)
        controls.append(Controls(i));
    std::stable_sort(controls.begin(), controls.end(), [](TControl* a, TControl* b) { return a->Left() < b->Left(); });
    int x = rect.left() + FIndent;
    for (TControl* c : controls) {
        if (!c->Visible())
            continue;
        int w = c->Width();
        int h = c->Height();
        if (ClassInheritsFromName(c->metaObject(), "TToolButton")) {
            auto* b = static_cast<TToolButton*>(c);
            h = FButtonHeight;
            if (!b->IsSeparator())
                w = b->AutoSize() ? std::max(b->NeededWidth(), 8) : FButtonWidth;
        }
        c->SetBounds(x, rect.top(), w, h);
        x += w;
    }
    if (AutoSize() && !HasState(csLoading))
        AdjustAutoSize();
}

QSize TToolBar::AutoSizeExtent() const
{
    // An empty tool bar keeps its size (descendant forms add the buttons).
    if (ControlCount() == 0)
        return QSize(Width(), Height());
    int h = FButtonHeight;
    for (int i = 0; i < ControlCount(); ++i)
        if (Controls(i)->Visible())
            h = std::max(h, Controls(i)->Height());
    return QSize(Width(), h);
}

// --- TCoolBar -----------------------------------------------------------------------------

namespace {

class TCoolBarWidget : public QWidget {
public:
    explicit TCoolBarWidget(TCoolBar* bar) : FBar(bar) {}
    TCoolBar* FBar;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (FBar)
            FBar->PaintBands(painter);
    }
};

constexpr int kBandGrip = 9;
constexpr int kBandRightMargin = 4;
constexpr int kBandVerticalMargin = 4;

} // namespace

TCoolBand::TCoolBand(TCoolBar* coolBar) : QObject(coolBar->Bands()), FCoolBar(coolBar) {}

void TCoolBand::SetControl(TWinControl* control)
{
    FControl = control;
    if (control) {
        // Told while the control is still whole: its destructors realign the bar, which
        // must no longer reach it through the band.
        control->FreeNotification(FCoolBar);
        if (control->Parent() != FCoolBar)
            control->SetParent(FCoolBar);
    }
    FCoolBar->BandsChanged();
}

void TCoolBand::SetMinHeight(int value)
{
    FMinHeight = value;
    FCoolBar->BandsChanged();
}

void TCoolBand::SetWidth(int value)
{
    FWidth = value;
    FCoolBar->BandsChanged();
}

void TCoolBand::SetVisible(bool value)
{
    FVisible = value;
    FCoolBar->BandsChanged();
}

QObject* TCoolBands::Add()
{
    auto* band = new TCoolBand(FCoolBar);
    FItems.append(band);
    FCoolBar->BandsChanged();
    return band;
}

TCoolBar::TCoolBar(TComponent* AOwner) : TWinControl(AOwner, new TCoolBarWidget(this))
{
    FBands = new TCoolBands(this);
    FBands->setParent(this);
    SetBounds(0, 0, 150, 75);
    SetAlign(alTop);
}

TCoolBand* TCoolBar::FindBand(TControl* control) const
{
    for (int i = 0; i < FBands->Count(); ++i)
        if (FBands->Items(i)->Control() == control)
            return FBands->Items(i);
    return nullptr;
}

void TCoolBar::BandsChanged()
{
    if (HasState(csLoading) || HasState(csDestroying))
        return;
    Realign();
    if (AutoSize())
        AdjustAutoSize();
    Refresh();
}

void TCoolBar::Loaded()
{
    TWinControl::Loaded();
    BandsChanged();
}

void TCoolBar::Notification(TComponent* AComponent, TOperation Operation)
{
    TWinControl::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    for (int i = 0; i < FBands->Count(); ++i)
        if (FBands->Items(i)->Control() == AComponent)
            FBands->Items(i)->SetControl(nullptr);
}

void TCoolBar::AlignControls(QRect& rect)
{
    // Bands side by side; the last one takes the rest of the width.
    QList<TCoolBand*> bands;
    for (int i = 0; i < FBands->Count(); ++i)
        if (FBands->Items(i)->Visible())
            bands.append(FBands->Items(i));
    int x = rect.left();
    for (int i = 0; i < bands.size(); ++i) {
        TCoolBand* band = bands.at(i);
        const bool last = i == bands.size() - 1;
        const int w = last ? std::max(band->Width(), rect.right() + 1 - x) : band->Width();
        if (TWinControl* c = band->Control())
            c->SetBounds(x + kBandGrip, rect.top(), std::max(0, w - kBandGrip - kBandRightMargin),
                         std::max(band->MinHeight(), c->Height()));
        x += w;
    }
}

QSize TCoolBar::AutoSizeExtent() const
{
    int h = 0;
    for (int i = 0; i < FBands->Count(); ++i) {
        TCoolBand* band = FBands->Items(i);
        if (!band->Visible())
            continue;
        const int controlHeight = band->Control() ? band->Control()->Height() : 0;
        h = std::max(h, std::max(band->MinHeight(), controlHeight));
    }
    return QSize(Width(), h + kBandVerticalMargin);
}

void TCoolBar::PaintBands(QPainter& painter)
{
    const QRect all(0, 0, Width(), Height());
    painter.fillRect(all, ColorToQColor(clBtnFace));
    painter.setPen(QColor(255, 255, 255));
    painter.drawLine(0, 0, Width() - 1, 0);
    painter.setPen(QColor(128, 128, 128));
    painter.drawLine(0, Height() - 1, Width() - 1, Height() - 1);
    int x = 0;
    for (int i = 0; i < FBands->Count(); ++i) {
        TCoolBand* band = FBands->Items(i);
        if (!band->Visible())
            continue;
        // The grip: two raised lines at the band's left edge.
        for (int g = 0; g < 2; ++g) {
            const int gx = x + 2 + g * 3;
            painter.setPen(QColor(255, 255, 255));
            painter.drawLine(gx, 3, gx, Height() - 4);
            painter.setPen(QColor(128, 128, 128));
            painter.drawLine(gx + 1, 3, gx + 1, Height() - 4);
        }
        x += band->Width();
    }
}

// --- TProgressBar -------------------------------------------------------------------------

TProgressBar::TProgressBar(TComponent* AOwner) : TWinControl(AOwner, new QProgressBar)
{
    Bar()->setTextVisible(false);
    SetBounds(0, 0, 150, 16);
    Sync();
}

QProgressBar* TProgressBar::Bar() const
{
    return static_cast<QProgressBar*>(Widget());
}

void TProgressBar::SetMin(int value)
{
    FMin = value;
    FPosition = std::max(FPosition, FMin);
    Sync();
}

void TProgressBar::SetMax(int value)
{
    FMax = value;
    FPosition = std::min(FPosition, FMax);
    Sync();
}

void TProgressBar::SetPosition(int value)
{
    FPosition = std::clamp(value, FMin, std::max(FMin, FMax));
    Sync();
}

void TProgressBar::Sync()
{
    if (!Bar())
        return;
    Bar()->setRange(FMin, std::max(FMin, FMax));
    Bar()->setValue(FPosition);
}

// --- TStatusBar ---------------------------------------------------------------------------

namespace {

class TStatusBarWidget : public QWidget {
public:
    explicit TStatusBarWidget(TStatusBar* bar) : FBar(bar) {}
    TStatusBar* FBar;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (FBar)
            FBar->PaintPanels(painter);
    }
};

} // namespace

TStatusBar::TStatusBar(TComponent* AOwner) : TWinControl(AOwner, new TStatusBarWidget(this))
{
    SetBounds(0, 0, 200, 19);
    SetAlign(alBottom);
}

void TStatusBar::SetSimpleText(const QString& text)
{
    FSimpleText = text;
    Refresh();
}

void TStatusBar::SetSimplePanel(bool value)
{
    FSimplePanel = value;
    Refresh();
}

void TStatusBar::AddPanel(const QString& text, int width)
{
    FTexts.append(text);
    FWidths.append(width);
    Refresh();
}

void TStatusBar::SetPanelText(int index, const QString& text)
{
    if (index < 0 || index >= FTexts.size())
        return;
    FTexts[index] = text;
    Refresh();
}

void TStatusBar::PaintPanels(QPainter& painter)
{
    painter.fillRect(QRect(0, 0, Width(), Height()), ColorToQColor(clBtnFace));
    painter.setFont(Widget()->font());
    painter.setPen(Widget()->palette().color(QPalette::WindowText));
    auto panel = [&](const QRect& r, const QString& text) {
        painter.setPen(QColor(128, 128, 128));
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(QColor(255, 255, 255));
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
        painter.setPen(Widget()->palette().color(QPalette::WindowText));
        painter.drawText(r.adjusted(4, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
    };
    if (FSimplePanel || FTexts.isEmpty()) {
        panel(QRect(0, 2, Width() - 1, Height() - 3), FSimpleText);
        return;
    }
    int x = 0;
    for (int i = 0; i < FTexts.size(); ++i) {
        const bool last = i == FTexts.size() - 1;
        const int w = last ? Width() - x - 1 : FWidths.at(i);
        panel(QRect(x, 2, w - 2, Height() - 3), FTexts.at(i));
        x += w;
    }
}
