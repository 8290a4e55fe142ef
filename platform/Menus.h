#pragma once
// Main menus and menu items.
//
// Each item owns a QAction (a command) and a QMenu (its sub-items); a parent shows a
// child as its sub-menu when the child has items of its own or is a top-level item,
// and as a command otherwise. A caption "-" makes a separator; "&" marks the
// accelerator as on the platform. While an MDI child is active its main menu merges
// into the main form's menu by GroupIndex (TCustomForm::MergeChildMenu).
#include <QAction>
#include <QList>
#include <QMenu>
#include <QPointer>
#include <functional>

#include "platform/Classes.h"
#include "platform/ImgList.h"

class TMainMenu;

class TMenuItem : public TComponent {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString ShortCut READ ShortCut WRITE SetShortCut)
    Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
    Q_PROPERTY(int GroupIndex READ GroupIndex WRITE SetGroupIndex)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
public:
    Q_INVOKABLE explicit TMenuItem(TComponent* AOwner);
    ~TMenuItem() override;

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& caption);
    // Key sequence text such as "Ctrl+P" (empty: none).
    QString ShortCut() const { return FShortCut; }
    void SetShortCut(const QString& shortCut);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int index);
    bool Visible() const { return FVisible; }
    void SetVisible(bool visible);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    bool Checked() const { return FChecked; }
    void SetChecked(bool checked);
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int index) { FGroupIndex = index; }
    QString Hint() const { return FHint; }
    void SetHint(const QString& hint);
    bool IsLine() const { return FCaption == QLatin1String("-"); }

    int Count() const { return static_cast<int>(FItems.size()); }
    TMenuItem* Items(int index) const { return FItems.at(index); }
    TMenuItem* Parent() const { return FParent; }
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    void Remove(TMenuItem* item);
    int IndexOf(TMenuItem* item) const { return static_cast<int>(FItems.indexOf(item)); }
    // The main menu this item belongs to (through its parents), or null.
    TMainMenu* GetParentMenu() const;

    // Runs OnClick (as a click by the user does).
    virtual void Click();
    // The action that stands for this item in its parent's menu or the menu bar.
    QAction* MenuAction() const;
    QAction* Action() const { return FAction; }
    QMenu* SubMenu() const { return FSubMenu; }
    // Re-reads the picture from the main menu's image list.
    void UpdateImage();

    TNotifyEvent OnClick;

private:
    friend class TMainMenu;
    void RebuildSubMenu();
    void SyncActions();

    QString FCaption;
    QString FShortCut;
    QString FHint;
    int FImageIndex = -1;
    int FGroupIndex = 0;
    bool FVisible = true;
    bool FEnabled = true;
    bool FChecked = false;
    TMenuItem* FParent = nullptr;
    TMainMenu* FMainMenu = nullptr;   // set on top-level items
    QList<TMenuItem*> FItems;
    QAction* FAction = nullptr;
    QMenu* FSubMenu = nullptr;
};

class TMainMenu : public TComponent {
    Q_OBJECT
    Q_PROPERTY(TCustomImageList* Images READ Images WRITE SetImages)
    Q_PROPERTY(bool AutoMerge READ AutoMerge WRITE SetAutoMerge)
public:
    Q_INVOKABLE explicit TMainMenu(TComponent* AOwner);
    ~TMainMenu() override;

    // The invisible root item whose sub-items are the top-level menus.
    TMenuItem* Items() const { return FItems; }
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* images);
    bool AutoMerge() const { return FAutoMerge; }
    void SetAutoMerge(bool value) { FAutoMerge = value; }
    // The top-level items in order.
    QList<TMenuItem*> TopLevelItems() const;
    // The menu's look changed (items added, shown, hidden): tells the form showing it.
    std::function<void()> OnChange;

    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    friend class TMenuItem;
    void Changed();

    TMenuItem* FItems = nullptr;
    TCustomImageList* FImages = nullptr;
    bool FAutoMerge = false;
};

// The texts of the top-level items that a menu bar shows, in order (for tests and
// the main form's menu).
QStringList MenuBarCaptions(const QList<QAction*>& actions);
