#pragma once
// bwnPrintExpSet: the export settings dialog. The user chooses the scope of an export
// (the selected unit, or it and its subordinate units) and whether the choice is offered
// before every export. Both values live in section "bwnHarrowSlate" of the INI file:
// "ShowSaveExpSet" ("1" or "0") and "expType" (the entry index in decimal).
#include "platform/ExtCtrls.h"
#include "platform/StdCtrls.h"
#include "plugin/wnBsDialog.h"

class TfrmPrintExpSet : public TfrmBsDialog {
    Q_OBJECT
    Q_CLASSINFO("FormResource", "bwnPrintExpSet.form")
public:
    Q_INVOKABLE explicit TfrmPrintExpSet(TComponent* AOwner) : TfrmPrintExpSet(AOwner, TFormChain{}) { FinishCreate(); }

    // Saves the two values and closes the dialog with mrOk.
    Q_INVOKABLE void btnOKClick(TObject* Sender);
    // Centres the dialog and loads the stored values into the controls. With no stored
    // "expType", "0" is stored at once. A stored "expType" that is no whole number or is
    // negative selects entry 0; one past the last entry selects the last.
    Q_INVOKABLE void FormShow(TObject* Sender);
    // Stores the two values shown in the controls; always true.
    bool SaveExportSettings();

    // The last values read or written.
    QString ShowSaveExpSetText() const { return FShowSaveExpSet; }
    QString ExpTypeText() const { return FExpType; }

    // Published fields.
    TRadioGroup* rgExpSet = nullptr;
    TCheckBox* chkbShowDlg = nullptr;
    TButton* btnOK = nullptr;

protected:
    TfrmPrintExpSet(TComponent* AOwner, TFormChain chain) : TfrmBsDialog(AOwner, chain) {}
    void BindFields() override;

private:
    QString FShowSaveExpSet;
    QString FExpType;
};
