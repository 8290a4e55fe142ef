#pragma once
// Tool bars, cool bars, progress bars and status bars.
//
// A tool bar places its controls left to right in the order of their Left: tool
// buttons are ButtonHeight high and ButtonWidth wide (as wide as their caption and
// picture need when AutoSize is on), separators as wide as their Width, other
// controls (a panel, say) keep their size. A cool bar shows its bands side by side,
// each band holding one control.
#include <QList>
#include <QPointer>
#include <QStringList>

#include "platform/Controls.h"
#include "platform/ImgList.h"

class QProgressBar;
class QToolButton;
class TToolBar;

enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };
enum TEdgeStyle { esNone, esRaised, esLowered };

class TToolButton : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
    Q_PROPERTY(TToolButtonStyle Style READ Style WRITE SetStyle)
    Q_PROPERTY(bool Down READ Down WRITE SetDown)
    Q_PROPERTY(bool Grouped READ Grouped WRITE SetGrouped)
public:
    Q_INVOKABLE explicit TToolButton(TComponent* AOwner);

    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int index);
    TToolButtonStyle Style() const { return FStyle; }
    void SetStyle(TToolButtonStyle style);
    bool IsSeparator() const { return FStyle == tbsSeparator || FStyle == tbsDivider; }
    bool Down() const;
    void SetDown(bool value);
    bool Grouped() const { return FGrouped; }
    void SetGrouped(bool value) { FGrouped = value; }
    TToolBar* ToolBar() const;
    // As a click by the user. Invokable by name, so that a host drives a plug-in's tool bar
    // as an automation client does.
    Q_INVOKABLE virtual void Click();
    // Re-reads caption display and picture from the tool bar.
    void UpdateLook();
    // Width the button needs for its caption and picture.
    int NeededWidth() const;

    void SetParent(TWinControl* parent) override;

protected:
    void CaptionChanged() override { UpdateLook(); }

private:
    QToolButton* Button() const;
    int FImageIndex = -1;
    TToolButtonStyle FStyle = tbsButton;
    bool FGrouped = false;
};

class TToolBar : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(int ButtonHeight READ ButtonHeight WRITE SetButtonHeight)
    Q_PROPERTY(int ButtonWidth READ ButtonWidth WRITE SetButtonWidth)
    Q_PROPERTY(bool ShowCaptions READ ShowCaptions WRITE SetShowCaptions)
    Q_PROPERTY(bool Flat READ Flat WRITE SetFlat)
    Q_PROPERTY(bool List READ List WRITE SetList)
    Q_PROPERTY(bool Wrapable READ Wrapable WRITE SetWrapable)
    Q_PROPERTY(bool DockSite READ DockSite WRITE SetDockSite)
    Q_PROPERTY(int Indent READ Indent WRITE SetIndent)
    Q_PROPERTY(TEdgeStyle EdgeInner READ EdgeInner WRITE SetEdgeInner)
    Q_PROPERTY(TEdgeStyle EdgeOuter READ EdgeOuter WRITE SetEdgeOuter)
    Q_PROPERTY(TCustomImageList* Images READ Images WRITE SetImages)
public:
    Q_INVOKABLE explicit TToolBar(TComponent* AOwner);

    int ButtonHeight() const { return FButtonHeight; }
    void SetButtonHeight(int value);
    int ButtonWidth() const { return FButtonWidth; }
    void SetButtonWidth(int value);
    bool ShowCaptions() const { return FShowCaptions; }
    void SetShowCaptions(bool value);
    bool Flat() const { return FFlat; }
    void SetFlat(bool value) { FFlat = value; }
    bool List() const { return FList; }
    void SetList(bool value);
    bool Wrapable() const { return FWrapable; }
    void SetWrapable(bool value) { FWrapable = value; }
    bool DockSite() const { return FDockSite; }
    void SetDockSite(bool value) { FDockSite = value; }
    int Indent() const { return FIndent; }
    void SetIndent(int value);
    TEdgeStyle EdgeInner() const { return FEdgeInner; }
    void SetEdgeInner(TEdgeStyle value) { FEdgeInner = value; }
    TEdgeStyle EdgeOuter() const { return FEdgeOuter; }
    void SetEdgeOuter(TEdgeStyle value) { FEdgeOuter = value; }
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* images);

    // The tool buttons in display order.
    QList<TToolButton*> Buttons() const;
    int ButtonCount() const { return static_cast<int>(Buttons().size()); }

    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void AlignControls(QRect& rect) override;
    QSize AutoSizeExtent() const override;

private:
    void UpdateButtons();
    int FButtonHeight = 22;
    int FButtonWidth = 23;
    bool FShowCaptions = false;
    bool FFlat = false;
    bool FList = false;
    bool FWrapable = true;
    bool FDockSite = false;
    int FIndent = 0;
    TEdgeStyle FEdgeInner = esRaised;
    TEdgeStyle FEdgeOuter = esLowered;
    TCustomImageList* FImages = nullptr;
};

// One band of a cool bar.
class TCoolBand : public QObject {
    Q_OBJECT
    Q_PROPERTY(TWinControl* Control READ Control WRITE SetControl)
    Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
    Q_PROPERTY(int MinHeight READ MinHeight WRITE SetMinHeight)
    Q_PROPERTY(int MinWidth READ MinWidth WRITE SetMinWidth)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(bool Break READ Break WRITE SetBreak)
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
public:
    explicit TCoolBand(class TCoolBar* coolBar);

    TWinControl* Control() const { return FControl; }
    void SetControl(TWinControl* control);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value) { FImageIndex = value; }
    int MinHeight() const { return FMinHeight; }
    void SetMinHeight(int value);
    int MinWidth() const { return FMinWidth; }
    void SetMinWidth(int value) { FMinWidth = value; }
    int Width() const { return FWidth; }
    void SetWidth(int value);
    bool Break() const { return FBreak; }
    void SetBreak(bool value) { FBreak = value; }
    QString Text() const { return FText; }
    void SetText(const QString& text) { FText = text; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);

private:
    TCoolBar* FCoolBar;
    QPointer<TWinControl> FControl;
    int FImageIndex = -1;
    int FMinHeight = 25;
    int FMinWidth = 0;
    int FWidth = 0;
    bool FBreak = true;
    bool FVisible = true;
    QString FText;
};

// The bands of a cool bar; a resource adds them with `Bands = < item ... end >`.
class TCoolBands : public QObject {
    Q_OBJECT
public:
    explicit TCoolBands(TCoolBar* coolBar) : FCoolBar(coolBar) {}
    Q_INVOKABLE QObject* Add();
    int Count() const { return static_cast<int>(FItems.size()); }
    TCoolBand* Items(int index) const { return FItems.at(index); }

private:
    TCoolBar* FCoolBar;
    QList<TCoolBand*> FItems;
};

class TCoolBar : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(TCoolBands* Bands READ Bands)
    Q_PROPERTY(bool BandBorderStyle READ BandBorderStyle WRITE SetBandBorderStyle)
    Q_PROPERTY(bool FixedSize READ FixedSize WRITE SetFixedSize)
public:
    Q_INVOKABLE explicit TCoolBar(TComponent* AOwner);

    TCoolBands* Bands() const { return FBands; }
    bool BandBorderStyle() const { return FBandBorderStyle; }
    void SetBandBorderStyle(bool value) { FBandBorderStyle = value; }
    bool FixedSize() const { return FFixedSize; }
    void SetFixedSize(bool value) { FFixedSize = value; }
    // The band holding `control` (null when none).
    TCoolBand* FindBand(TControl* control) const;
    void BandsChanged();
    void PaintBands(class QPainter& painter);

    void Loaded() override;
    // A band's control that is freed leaves its band first.
    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void AlignControls(QRect& rect) override;
    QSize AutoSizeExtent() const override;

private:
    TCoolBands* FBands;
    bool FBandBorderStyle = true;
    bool FFixedSize = false;
};

class TProgressBar : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(int Min READ Min WRITE SetMin)
    Q_PROPERTY(int Max READ Max WRITE SetMax)
    Q_PROPERTY(int Position READ Position WRITE SetPosition)
    Q_PROPERTY(int Step READ Step WRITE SetStep)
    Q_PROPERTY(bool Smooth READ Smooth WRITE SetSmooth)
public:
    Q_INVOKABLE explicit TProgressBar(TComponent* AOwner);

    int Min() const { return FMin; }
    void SetMin(int value);
    int Max() const { return FMax; }
    void SetMax(int value);
    // Kept within Min..Max.
    int Position() const { return FPosition; }
    void SetPosition(int value);
    int Step() const { return FStep; }
    void SetStep(int value) { FStep = value; }
    void StepIt() { SetPosition(FPosition + FStep); }
    void StepBy(int delta) { SetPosition(FPosition + delta); }
    bool Smooth() const { return FSmooth; }
    void SetSmooth(bool value) { FSmooth = value; }

private:
    void Sync();
    QProgressBar* Bar() const;
    int FMin = 0;
    int FMax = 100;
    int FPosition = 0;
    int FStep = 10;
    bool FSmooth = false;
};

// A status bar of panels (texts with widths); the last panel takes the rest.
class TStatusBar : public TWinControl {
    Q_OBJECT
    Q_PROPERTY(QString SimpleText READ SimpleText WRITE SetSimpleText)
    Q_PROPERTY(bool SimplePanel READ SimplePanel WRITE SetSimplePanel)
public:
    Q_INVOKABLE explicit TStatusBar(TComponent* AOwner);

    QString SimpleText() const { return FSimpleText; }
    void SetSimpleText(const QString& text);
    bool SimplePanel() const { return FSimplePanel; }
    void SetSimplePanel(bool value);
    int PanelCount() const { return static_cast<int>(FTexts.size()); }
    void AddPanel(const QString& text, int width);
    QString PanelText(int index) const { return FTexts.value(index); }
    void SetPanelText(int index, const QString& text);
    void PaintPanels(class QPainter& painter);

private:
    QString FSimpleText;
    bool FSimplePanel = false;
    QStringList FTexts;
    QList<int> FWidths;
};
