#include "tests/plugin/SpineForms.h"

#include "common/untClassRegist.h"

TfrmSpineChild::TfrmSpineChild(TComponent* AOwner) : TfrmBase(AOwner)
{
    SetShowModalFlag(false);
    OnClose = [](TObject*, TCloseAction& action) { action = caFree; };
}

TfrmSpineDialog::TfrmSpineDialog(TComponent* AOwner) : TfrmBase(AOwner) {}

TfrmSpineBroken::TfrmSpineBroken(TComponent* AOwner) : TfrmBase(AOwner)
{
    throw Exception(QStringLiteral("构造失败"));
}

TfrmSpineShowFails::TfrmSpineShowFails(TComponent* AOwner) : TfrmBase(AOwner)
{
    SetShowModalFlag(false);
    OnShow = [](TObject*) { throw Exception(QStringLiteral("显示失败")); };
}

void RegisterSpineClasses()
{
    RegClass(&TfrmSpineChild::staticMetaObject);
    RegClass(&TfrmSpineDialog::staticMetaObject);
    RegClass(&TfrmSpineBroken::staticMetaObject);
    RegClass(&TfrmSpineShowFails::staticMetaObject);
}
