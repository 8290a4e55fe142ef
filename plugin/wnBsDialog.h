#pragma once
// wnBsDialog: the modal dialog of the plug-in. Enter moves to the next field (the
// focused field gets a line feed instead of the carriage return), Escape cancels.
#include "plugin/wnBase.h"

class TfrmBsDialog : public TfrmBase {
    Q_OBJECT
    Q_CLASSINFO("FormResource", "wnBsDialog.form")
public:
    Q_INVOKABLE explicit TfrmBsDialog(TComponent* AOwner) : TfrmBsDialog(AOwner, TFormChain{}) { FinishCreate(); }

    bool EnterAsTab() const { return FEnterAsTab; }
    void SetEnterAsTab(bool value) { FEnterAsTab = value; }

    Q_INVOKABLE void FormKeyPress(TObject* Sender, QChar* Key);
    Q_INVOKABLE void FormCreate(TObject* Sender);
    Q_INVOKABLE void FormKeyDown(TObject* Sender, quint16* Key, TShiftState Shift);

protected:
    TfrmBsDialog(TComponent* AOwner, TFormChain chain) : TfrmBase(AOwner, chain) {}

private:
    bool FEnterAsTab = false;
};
