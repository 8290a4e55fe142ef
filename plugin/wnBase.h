#pragma once
// wnBase: the root of the plug-in's windows. Fixes the font, keeps the show-modal flag
// that the launcher reads, and centres the window when it is shown.
#include "platform/Forms.h"

class TfrmBase : public TForm {
    Q_OBJECT
    Q_CLASSINFO("FormResource", "wnBase.form")
public:
    Q_INVOKABLE explicit TfrmBase(TComponent* AOwner) : TfrmBase(AOwner, TFormChain{}) { FinishCreate(); }
    ~TfrmBase() override;

    // True: the launcher shows the window with ShowModal; false: with Show.
    bool ShowModalFlag() const { return FShowModalFlag && *FShowModalFlag; }
    void SetShowModalFlag(bool value);

    Q_INVOKABLE void FormDestroy(TObject* Sender);
    Q_INVOKABLE void FormCreate(TObject* Sender);
    Q_INVOKABLE void FormShow(TObject* Sender);

protected:
    TfrmBase(TComponent* AOwner, TFormChain chain) : TForm(AOwner, chain) {}

private:
    // One byte of storage that FormCreate allocates and FormDestroy frees.
    bool* FShowModalFlag = nullptr;
};

// Centres a form on the screen: Top first, then Left, each (screen − form) / 2 with
// the division truncating toward zero (a form larger than the screen gets a negative
// position).
void CenterForm(TCustomForm* form);
