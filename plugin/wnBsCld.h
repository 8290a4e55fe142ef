#pragma once
// wnBsCld: the MDI child of the plug-in, with a cool bar holding a tool bar and a main
// menu whose two menus merge into the host's menu (group index 1). It is shown
// modeless and frees itself when closed.
#include "platform/ComCtrls.h"
#include "platform/Menus.h"
#include "plugin/wnBase.h"

class TfrmBsCld : public TfrmBase {
    Q_OBJECT
    Q_CLASSINFO("FormResource", "wnBsCld.form")
public:
    Q_INVOKABLE explicit TfrmBsCld(TComponent* AOwner) : TfrmBsCld(AOwner, TFormChain{}) { FinishCreate(); }

    Q_INVOKABLE void FormCreate(TObject* Sender);
    Q_INVOKABLE void FormClose(TObject* Sender, TCloseAction* Action);

    // Published fields.
    TMainMenu* mnuChildMain = nullptr;
    TMenuItem* mitemOption = nullptr;
    TMenuItem* mitemDataVind = nullptr;
    TCoolBar* ctblChild = nullptr;
    TToolBar* tblChildMain = nullptr;

protected:
    TfrmBsCld(TComponent* AOwner, TFormChain chain) : TfrmBase(AOwner, chain) {}
    void BindFields() override;
};
