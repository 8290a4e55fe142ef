#pragma once
// Panels, splitters and radio groups.
#include <QStringList>

#include "platform/Controls.h"

class QButtonGroup;
class QGroupBox;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// A panel: a container with raised or lowered bevels and a centred caption. Its
// client area lies inside the bevels (a panel with the default raised outer bevel
// places an alClient child at 1, 1).
class TPanel : public TCustomControl {
    Q_OBJECT
    Q_PROPERTY(TBevelCut BevelOuter READ BevelOuter WRITE SetBevelOuter)
    Q_PROPERTY(TBevelCut BevelInner READ BevelInner WRITE SetBevelInner)
    Q_PROPERTY(int BevelWidth READ BevelWidth WRITE SetBevelWidth)
    Q_PROPERTY(int BorderWidth READ BorderWidth WRITE SetBorderWidth)
    Q_PROPERTY(TAlignment Alignment READ Alignment WRITE SetAlignment)
public:
    Q_INVOKABLE explicit TPanel(TComponent* AOwner);

    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut value);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut value);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int value);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);

    QRect ClientRect() const override;
    // Paints the bevels and the caption (the widget calls it).
    void PaintPanel(class QPainter& painter);

protected:
    void CaptionChanged() override;

private:
    void Changed();
    TBevelCut FBevelOuter = bvRaised;
    TBevelCut FBevelInner = bvNone;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    TAlignment FAlignment = taCenter;
};

// A splitter resizes the aligned control just before it (on the same side) when the
// user drags it; the aligned layout then moves everything else.
class TSplitter : public TControl {
    Q_OBJECT
    Q_PROPERTY(int MinSize READ MinSize WRITE SetMinSize)
    Q_PROPERTY(bool Beveled READ Beveled WRITE SetBeveled)
    Q_PROPERTY(int ResizeStyle READ ResizeStyle WRITE SetResizeStyle)
public:
    Q_INVOKABLE explicit TSplitter(TComponent* AOwner);

    int MinSize() const { return FMinSize; }
    void SetMinSize(int value) { FMinSize = value; }
    bool Beveled() const { return FBeveled; }
    void SetBeveled(bool value) { FBeveled = value; }
    int ResizeStyle() const { return FResizeStyle; }
    void SetResizeStyle(int value) { FResizeStyle = value; }

    // The control that the splitter resizes (null when none).
    TControl* FindResizeControl() const;
    // Moves the splitter by `delta` pixels (positive: right or down), as a drag does.
    void MoveBy(int delta);

    TNotifyEvent OnMoved;

private:
    friend class TSplitterWidget;
    void UpdateCursor();
    int FMinSize = 30;
    bool FBeveled = false;
    int FResizeStyle = 0;
};

// A group of radio buttons. ItemIndex out of range: above the last entry selects the
// last, below 0 selects none.
class TRadioGroup : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
    Q_PROPERTY(int Columns READ Columns WRITE SetColumns)
public:
    Q_INVOKABLE explicit TRadioGroup(TComponent* AOwner);

    QStringList Items() const { return FItems; }
    void SetItems(const QStringList& items);
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int index);
    int Columns() const { return FColumns; }
    void SetColumns(int value);
    // The radio button widget of an entry (for tests and focus).
    QWidget* Button(int index) const;

protected:
    void CaptionChanged() override;
    void BoundsChanged() override;

private:
    void RebuildButtons();
    void LayoutButtons();
    QGroupBox* Box() const;

    QStringList FItems;
    int FItemIndex = -1;
    int FColumns = 1;
    QButtonGroup* FGroup = nullptr;
};
