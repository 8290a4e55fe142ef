#include "plugin/wnBsCld.h"

void TfrmBsCld::BindFields()
{
    TfrmBase::BindFields();
    mnuChildMain = FindChild<TMainMenu>(QStringLiteral("mnuChildMain"));
    mitemOption = FindChild<TMenuItem>(QStringLiteral("mitemOption"));
    mitemDataVind = FindChild<TMenuItem>(QStringLiteral("mitemDataVind"));
    ctblChild = FindChild<TCoolBar>(QStringLiteral("ctblChild"));
    tblChildMain = FindChild<TToolBar>(QStringLiteral("tblChildMain"));
}

void TfrmBsCld::FormCreate(TObject* Sender)
{
    // The resource's Visible True made the child's window during construction; the
    // launcher shows it, so the recorded visible state goes.
    if (FormState() & fsCreatedMDIChild)
        ExcludeFormState(fsVisible);
    TfrmBase::FormCreate(Sender);
    SetShowModalFlag(false);
}

void TfrmBsCld::FormClose(TObject* Sender, TCloseAction* Action)
{
    Q_UNUSED(Sender);
    *Action = caFree;
}
