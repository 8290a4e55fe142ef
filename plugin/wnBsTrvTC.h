#pragma once
// wnBsTrvTC: an MDI child laid out as a tree on the left and two stacked areas on the
// right, each over a message strip, below the tool bar.
#include "platform/ExtCtrls.h"
#include "platform/TreeView.h"
#include "plugin/wnBsCld.h"

class TfrmBsTrvTC : public TfrmBsCld {
    Q_OBJECT
    Q_CLASSINFO("FormResource", "wnBsTrvTC.form")
public:
    Q_INVOKABLE explicit TfrmBsTrvTC(TComponent* AOwner) : TfrmBsTrvTC(AOwner, TFormChain{}) { FinishCreate(); }

    // Published fields.
    TPanel* pnlBottom = nullptr;
    TSplitter* Splitter1 = nullptr;
    TPanel* pnlLeft = nullptr;
    TTreeView* trvList = nullptr;
    TPanel* pnlNo = nullptr;
    TSplitter* Splitter2 = nullptr;
    TPanel* pnlBTop = nullptr;
    TPanel* pnlRightTop = nullptr;
    TPanel* pnlTopMessage = nullptr;
    TPanel* pnlBBotton = nullptr;
    TPanel* pnlRightBottom = nullptr;
    TPanel* pnlBottonMessage = nullptr;

protected:
    TfrmBsTrvTC(TComponent* AOwner, TFormChain chain) : TfrmBsCld(AOwner, chain) {}
    void BindFields() override;
};
