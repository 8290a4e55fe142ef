#include "platform/Menus.h"

#include <QKeySequence>

#include "platform/Controls.h"
#include "platform/ImgList.h"

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner)
{
    FAction = new QAction;
    FSubMenu = new QMenu;
    QObject::connect(FAction, &QAction::triggered, this, [this] { Click(); });
    RegisterEvent("OnClick", &OnClick);
}

TMenuItem::~TMenuItem()
{
    if (FParent)
        FParent->Remove(this);
    for (TMenuItem* item : FItems)
        item->FParent = nullptr;
    FItems.clear();
    delete FSubMenu;
    delete FAction;
}

void TMenuItem::SetCaption(const QString& caption)
{
    FCaption = caption;
    SyncActions();
}

void TMenuItem::SetShortCut(const QString& shortCut)
{
    FShortCut = shortCut;
    FAction->setShortcut(QKeySequence(shortCut));
    // A command of a hidden sub-menu still answers its shortcut (as on the platform).
    FAction->setShortcutContext(Qt::ApplicationShortcut);
}

void TMenuItem::SetImageIndex(int index)
{
    FImageIndex = index;
    UpdateImage();
}

void TMenuItem::SetVisible(bool visible)
{
    FVisible = visible;
    SyncActions();
    if (FParent && !FParent->FParent && FParent->FMainMenu)
        FParent->FMainMenu->Changed();
}

void TMenuItem::SetEnabled(bool enabled)
{
    FEnabled = enabled;
    SyncActions();
}

void TMenuItem::SetChecked(bool checked)
{
    FChecked = checked;
    SyncActions();
}

void TMenuItem::SetHint(const QString& hint)
{
    FHint = hint;
    FAction->setStatusTip(hint);
}

void TMenuItem::SyncActions()
{
    // A line has no text: the styles draw a separator's text beside the line (as a
    // section title), which would show the caption "-" as an item of its own.
    FAction->setText(IsLine() ? QString() : FCaption);
    FAction->setSeparator(IsLine());
    FAction->setVisible(FVisible);
    FAction->setEnabled(FEnabled);
    FAction->setCheckable(FChecked);
    FAction->setChecked(FChecked);
    FSubMenu->setTitle(FCaption);
    QAction* menuAction = FSubMenu->menuAction();
    menuAction->setVisible(FVisible);
    menuAction->setEnabled(FEnabled);
}

void TMenuItem::UpdateImage()
{
    QIcon icon;
    TMainMenu* menu = GetParentMenu();
    if (menu && menu->Images())
        icon = menu->Images()->Icon(FImageIndex);
    FAction->setIcon(icon);
    FSubMenu->setIcon(icon);
}

void TMenuItem::Add(TMenuItem* item)
{
    Insert(Count(), item);
}

void TMenuItem::Insert(int index, TMenuItem* item)
{
    if (!item || item == this)
        return;
    if (item->FParent)
        item->FParent->Remove(item);
    FItems.insert(qBound(0, index, Count()), item);
    item->FParent = this;
    item->UpdateImage();
    RebuildSubMenu();
    if (FParent)
        FParent->RebuildSubMenu();   // this item may have turned from command into sub-menu
    if (FMainMenu)
        FMainMenu->Changed();
}

void TMenuItem::Remove(TMenuItem* item)
{
    if (!FItems.removeOne(item))
        return;
    item->FParent = nullptr;
    RebuildSubMenu();
    if (FParent)
        FParent->RebuildSubMenu();
    if (FMainMenu)
        FMainMenu->Changed();
}

TMainMenu* TMenuItem::GetParentMenu() const
{
    const TMenuItem* item = this;
    while (item->FParent)
        item = item->FParent;
    return item->FMainMenu;
}

QAction* TMenuItem::MenuAction() const
{
    const bool topLevel = FParent && !FParent->FParent && FParent->FMainMenu;
    return (topLevel || !FItems.isEmpty()) ? FSubMenu->menuAction() : FAction;
}

void TMenuItem::RebuildSubMenu()
{
    for (QAction* a : FSubMenu->actions())
        FSubMenu->removeAction(a);
    for (TMenuItem* item : FItems)
        FSubMenu->addAction(item->MenuAction());
}

void TMenuItem::Click()
{
    CallHandlerSafely(this, [this] { OnClick(this); });
}

// ---------------------------------------------------------------------------------

TMainMenu::TMainMenu(TComponent* AOwner) : TComponent(AOwner)
{
    FItems = new TMenuItem(nullptr);
    FItems->FMainMenu = this;
}

TMainMenu::~TMainMenu()
{
    TMenuItem* root = FItems;
    FItems = nullptr;
    root->FMainMenu = nullptr;
    root->Free();
}

void TMainMenu::SetImages(TCustomImageList* images)
{
    if (FImages)
        FImages->RemoveFreeNotification(this);
    FImages = images;
    if (images)
        images->FreeNotification(this);
    Loaded();
}

QList<TMenuItem*> TMainMenu::TopLevelItems() const
{
    QList<TMenuItem*> list;
    for (int i = 0; FItems && i < FItems->Count(); ++i)
        list.append(FItems->Items(i));
    return list;
}

void TMainMenu::Loaded()
{
    TComponent::Loaded();
    // Pictures are known once the image list reference has been resolved.
    std::function<void(TMenuItem*)> update = [&](TMenuItem* item) {
        item->UpdateImage();
        for (int i = 0; i < item->Count(); ++i)
            update(item->Items(i));
    };
    if (FItems)
        update(FItems);
}

void TMainMenu::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FImages) {
        FImages = nullptr;
        Loaded();
    }
}

void TMainMenu::Changed()
{
    if (OnChange)
        OnChange();
}

QStringList MenuBarCaptions(const QList<QAction*>& actions)
{
    QStringList captions;
    for (QAction* a : actions)
        if (a->isVisible())
            captions << a->text();
    return captions;
}
