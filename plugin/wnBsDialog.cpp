#include "plugin/wnBsDialog.h"

void TfrmBsDialog::FormCreate(TObject* Sender)
{
    TfrmBase::FormCreate(Sender);
    FEnterAsTab = true;
}

void TfrmBsDialog::FormKeyPress(TObject* Sender, QChar* Key)
{
    Q_UNUSED(Sender);
    if (*Key == QChar(13) && FEnterAsTab) {
        *Key = QChar(10);
        Perform(WM_NEXTDLGCTL, 0, 0);
    }
}

void TfrmBsDialog::FormKeyDown(TObject* Sender, quint16* Key, TShiftState Shift)
{
    Q_UNUSED(Sender);
    Q_UNUSED(Shift);
    if (*Key == VK_ESCAPE)
        SetModalResult(mrCancel);
}
