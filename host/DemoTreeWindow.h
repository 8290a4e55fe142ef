#pragma once
// A demonstration window on the tree frame: the tool bar with its buttons and menus,
// a small unit tree on the left and the two right-hand areas, filled with sample text.
// It needs no plug-in and no database (the host's --demo-window).
#include "plugin/wnBsTrvTC.h"

class DemoTreeWindow : public TfrmBsTrvTC {
    Q_OBJECT
public:
    Q_INVOKABLE explicit DemoTreeWindow(TComponent* AOwner);

    Q_INVOKABLE void tbnExitClick(TObject* Sender);

private:
    void addToolButtons();
    void addMenuItems();
    void fillTree();
    TImageList* m_images = nullptr;
};
