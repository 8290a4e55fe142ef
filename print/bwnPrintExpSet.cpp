#include "print/bwnPrintExpSet.h"

#include "common/AppDataStorage.h"
#include "platform/FormResource.h"

namespace {

const QString SSection = QStringLiteral("bwnHarrowSlate");
const QString SShowSaveExpSet = QStringLiteral("ShowSaveExpSet");
const QString SExpType = QStringLiteral("expType");
constexpr uint8_t IniFileChoice = 1;

// The dialog can be made from its class name, as the form resources require.
[[maybe_unused]] const bool GRegistered = (RegisterComponentClass(&TfrmPrintExpSet::staticMetaObject), true);

} // namespace

void TfrmPrintExpSet::BindFields()
{
    TfrmBsDialog::BindFields();
    rgExpSet = FindChild<TRadioGroup>(QStringLiteral("rgExpSet"));
    chkbShowDlg = FindChild<TCheckBox>(QStringLiteral("chkbShowDlg"));
    btnOK = FindChild<TButton>(QStringLiteral("btnOK"));
}

void TfrmPrintExpSet::FormShow(TObject* Sender)
{
    TfrmBase::FormShow(Sender);
    FShowSaveExpSet = ReadSetting(SSection, SShowSaveExpSet, IniFileChoice);
    FExpType = ReadSetting(SSection, SExpType, IniFileChoice);

    if (!FShowSaveExpSet.isEmpty())
        chkbShowDlg->SetChecked(FShowSaveExpSet == QStringLiteral("1"));

    if (FExpType.isEmpty()) {
        WriteSetting(SSection, SExpType, QStringLiteral("0"), IniFileChoice);
        FExpType = QStringLiteral("0");
        return;
    }
    // A stored text that is no whole number, or a negative one, must not lock the user
    // out of the dialog: it counts as the first entry until the next confirmation. A
    // number past the last entry selects the last, as the radio group brings it in range.
    int index = 0;
    if (!TryStrToInt(FExpType, index) || index < 0)
        index = 0;
    rgExpSet->SetItemIndex(index);
    FExpType = QString::number(rgExpSet->ItemIndex());
}

bool TfrmPrintExpSet::SaveExportSettings()
{
    FShowSaveExpSet = chkbShowDlg->Checked() ? QStringLiteral("1") : QStringLiteral("0");
    FExpType = QString::number(rgExpSet->ItemIndex());
    WriteSetting(SSection, SShowSaveExpSet, FShowSaveExpSet, IniFileChoice);
    WriteSetting(SSection, SExpType, FExpType, IniFileChoice);
    return true;
}

void TfrmPrintExpSet::btnOKClick(TObject* Sender)
{
    Q_UNUSED(Sender);
    if (SaveExportSettings())
        SetModalResult(mrOk);
}
