#include "plugin/wnBase.h"

TfrmBase::~TfrmBase()
{
    // FormDestroy normally freed the flag; a form whose construction failed did not run it.
    delete FShowModalFlag;
}

void TfrmBase::SetShowModalFlag(bool value)
{
    if (!FShowModalFlag)
        FShowModalFlag = new bool(false);
    *FShowModalFlag = value;
}

void TfrmBase::FormCreate(TObject* Sender)
{
    Q_UNUSED(Sender);
    delete FShowModalFlag;
    FShowModalFlag = new bool(true);
}

void TfrmBase::FormDestroy(TObject* Sender)
{
    Q_UNUSED(Sender);
    delete FShowModalFlag;
    FShowModalFlag = nullptr;
}

void TfrmBase::FormShow(TObject* Sender)
{
    Q_UNUSED(Sender);
    CenterForm(this);
}

void CenterForm(TCustomForm* form)
{
    if (!form || !Screen)
        return;
    // C++ integer division truncates toward zero, as the platform's div did.
    form->SetTop((Screen->Height() - form->Height()) / 2);
    form->SetLeft((Screen->Width() - form->Width()) / 2);
}
