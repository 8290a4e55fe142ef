#include "platform/ExtCtrls.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>

namespace {

class TPanelWidget : public QWidget {
public:
    explicit TPanelWidget(TPanel* panel) : FPanel(panel) {}
    TPanel* FPanel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        if (FPanel)
            FPanel->PaintPanel(painter);
    }
};

void DrawBevel(QPainter& p, QRect& r, TBevelCut cut, int width)
{
    if (cut == bvNone)
        return;
    const QColor light = QColor(255, 255, 255);
    const QColor dark = QColor(128, 128, 128);
    for (int i = 0; i < width; ++i) {
        const QColor topLeft = cut == bvLowered ? dark : light;
        const QColor bottomRight = cut == bvLowered ? light : dark;
        if (cut != bvSpace) {
            p.setPen(topLeft);
            p.drawLine(r.left(), r.top(), r.right(), r.top());
            p.drawLine(r.left(), r.top(), r.left(), r.bottom());
            p.setPen(bottomRight);
            p.drawLine(r.right(), r.top(), r.right(), r.bottom());
            p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        }
        r.adjust(1, 1, -1, -1);
    }
}

} // namespace

// --- TPanel -----------------------------------------------------------------------------

TPanel::TPanel(TComponent* AOwner) : TCustomControl(AOwner, new TPanelWidget(this))
{
    Widget()->setFocusPolicy(Qt::NoFocus);
    SetBounds(0, 0, 185, 41);
}

void TPanel::SetBevelOuter(TBevelCut value)
{
    FBevelOuter = value;
    Changed();
}

void TPanel::SetBevelInner(TBevelCut value)
{
    FBevelInner = value;
    Changed();
}

void TPanel::SetBevelWidth(int value)
{
    FBevelWidth = std::max(1, value);
    Changed();
}

void TPanel::SetBorderWidth(int value)
{
    FBorderWidth = std::max(0, value);
    Changed();
}

void TPanel::SetAlignment(TAlignment value)
{
    FAlignment = value;
    Changed();
}

void TPanel::CaptionChanged()
{
    Refresh();
}

void TPanel::Changed()
{
    Realign();
    Refresh();
}

QRect TPanel::ClientRect() const
{
    int inset = FBorderWidth;
    if (FBevelOuter != bvNone)
        inset += FBevelWidth;
    if (FBevelInner != bvNone)
        inset += FBevelWidth;
    return QRect(0, 0, Width(), Height()).adjusted(inset, inset, -inset, -inset);
}

void TPanel::PaintPanel(QPainter& painter)
{
    QRect r(0, 0, Width(), Height());
    const TColor color = Color();
    painter.fillRect(r, ColorToQColor(color == clDefault ? clBtnFace : color));
    DrawBevel(painter, r, FBevelOuter, FBevelWidth);
    r.adjust(FBorderWidth, FBorderWidth, -FBorderWidth, -FBorderWidth);
    DrawBevel(painter, r, FBevelInner, FBevelWidth);
    if (Caption().isEmpty())
        return;
    painter.setPen(Widget()->palette().color(QPalette::WindowText));
    painter.setFont(Widget()->font());
    const Qt::Alignment h = FAlignment == taLeftJustify ? Qt::AlignLeft : FAlignment == taRightJustify ? Qt::AlignRight : Qt::AlignHCenter;
    painter.drawText(r, static_cast<int>(h | Qt::AlignVCenter), Caption());
}

// --- TSplitter --------------------------------------------------------------------------

class TSplitterWidget : public QWidget {
public:
    explicit TSplitterWidget(TSplitter* splitter) : FSplitter(splitter) {}
    TSplitter* FSplitter;

protected:
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton)
            FLast = e->globalPosition().toPoint();
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (!(e->buttons() & Qt::LeftButton) || !FSplitter)
            return;
        const QPoint p = e->globalPosition().toPoint();
        const bool horizontal = FSplitter->Align() == alTop || FSplitter->Align() == alBottom;
        const int delta = horizontal ? p.y() - FLast.y() : p.x() - FLast.x();
        FLast = p;
        if (delta != 0)
            FSplitter->MoveBy(delta);
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton && FSplitter)
            CallHandlerSafely(FSplitter, [this] { FSplitter->OnMoved(FSplitter); });
    }

private:
    QPoint FLast;
};

TSplitter::TSplitter(TComponent* AOwner) : TControl(AOwner, new TSplitterWidget(this))
{
    SetBounds(0, 0, 3, 100);
    SetAlign(alLeft);
    SetCursor(crHSplit);
    RegisterEvent("OnMoved", &OnMoved);
}

TControl* TSplitter::FindResizeControl() const
{
    TWinControl* parent = Parent();
    if (!parent)
        return nullptr;
    // The nearest visible control with the same alignment that touches the splitter on
    // the side it grows from.
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (c == this || !c->Visible() || c->Align() != Align())
            continue;
        switch (Align()) {
        case alLeft: if (c->Left() + c->Width() == Left()) return c; break;
        case alRight: if (c->Left() == Left() + Width()) return c; break;
        case alTop: if (c->Top() + c->Height() == Top()) return c; break;
        case alBottom: if (c->Top() == Top() + Height()) return c; break;
        default: break;
        }
    }
    return nullptr;
}

void TSplitter::MoveBy(int delta)
{
    TControl* c = FindResizeControl();
    if (!c)
        return;
    switch (Align()) {
    case alLeft: c->SetWidth(std::max(FMinSize, c->Width() + delta)); break;
    case alRight: c->SetWidth(std::max(FMinSize, c->Width() - delta)); break;
    case alTop: c->SetHeight(std::max(FMinSize, c->Height() + delta)); break;
    case alBottom: c->SetHeight(std::max(FMinSize, c->Height() - delta)); break;
    default: break;
    }
}

void TSplitter::UpdateCursor()
{
    SetCursor(Align() == alTop || Align() == alBottom ? crVSplit : crHSplit);
}

// --- TRadioGroup ------------------------------------------------------------------------

TRadioGroup::TRadioGroup(TComponent* AOwner) : TWinControl(AOwner, new QGroupBox)
{
    FGroup = new QButtonGroup(this);
    FGroup->setExclusive(true);
    SetTabStop(true);
    SetBounds(0, 0, 185, 105);
    QObject::connect(FGroup, &QButtonGroup::idClicked, this, [this](int id) {
        FItemIndex = id;
        TControl::Click();
    });
}

QGroupBox* TRadioGroup::Box() const
{
    return static_cast<QGroupBox*>(Widget());
}

void TRadioGroup::CaptionChanged()
{
    if (Box())
        Box()->setTitle(Caption());
}

void TRadioGroup::SetItems(const QStringList& items)
{
    FItems = items;
    RebuildButtons();
    SetItemIndex(FItemIndex);
}

void TRadioGroup::SetItemIndex(int index)
{
    const int count = static_cast<int>(FItems.size());
    if (index >= count)
        index = count - 1;
    if (index < 0)
        index = -1;
    FItemIndex = index;
    if (!FGroup)
        return;
    if (index < 0) {
        // An exclusive group keeps one button on; let go for a moment to clear it.
        FGroup->setExclusive(false);
        for (QAbstractButton* b : FGroup->buttons())
            b->setChecked(false);
        FGroup->setExclusive(true);
    } else if (QAbstractButton* b = FGroup->button(index)) {
        b->setChecked(true);
    }
}

void TRadioGroup::SetColumns(int value)
{
    FColumns = std::max(1, value);
    LayoutButtons();
}

QWidget* TRadioGroup::Button(int index) const
{
    return FGroup ? FGroup->button(index) : nullptr;
}

void TRadioGroup::RebuildButtons()
{
    for (QAbstractButton* b : FGroup->buttons()) {
        FGroup->removeButton(b);
        delete b;
    }
    for (int i = 0; i < FItems.size(); ++i) {
        auto* b = new QRadioButton(FItems.at(i), Box());
        FGroup->addButton(b, i);
        b->show();
    }
    LayoutButtons();
}

void TRadioGroup::BoundsChanged()
{
    LayoutButtons();
}

void TRadioGroup::LayoutButtons()
{
    if (!FGroup || FItems.isEmpty())
        return;
    // As the platform: entries fill the columns top to bottom, evenly spaced in the
    // area below the caption.
    const int count = static_cast<int>(FItems.size());
    const int rows = (count + FColumns - 1) / FColumns;
    const int top = 14;
    const int areaHeight = std::max(1, Height() - top - 4);
    const int columnWidth = std::max(1, (Width() - 10) / FColumns);
    for (int i = 0; i < count; ++i) {
        QAbstractButton* b = FGroup->button(i);
        const int column = i / rows;
        const int row = i % rows;
        const int y = top + row * areaHeight / rows + (areaHeight / rows - 17) / 2;
        b->setGeometry(8 + column * columnWidth, y, columnWidth - 4, 17);
    }
}
