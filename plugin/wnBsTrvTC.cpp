#include "plugin/wnBsTrvTC.h"

void TfrmBsTrvTC::BindFields()
{
    TfrmBsCld::BindFields();
    pnlBottom = FindChild<TPanel>(QStringLiteral("pnlBottom"));
    Splitter1 = FindChild<TSplitter>(QStringLiteral("Splitter1"));
    pnlLeft = FindChild<TPanel>(QStringLiteral("pnlLeft"));
    trvList = FindChild<TTreeView>(QStringLiteral("trvList"));
    pnlNo = FindChild<TPanel>(QStringLiteral("pnlNo"));
    Splitter2 = FindChild<TSplitter>(QStringLiteral("Splitter2"));
    pnlBTop = FindChild<TPanel>(QStringLiteral("pnlBTop"));
    pnlRightTop = FindChild<TPanel>(QStringLiteral("pnlRightTop"));
    pnlTopMessage = FindChild<TPanel>(QStringLiteral("pnlTopMessage"));
    pnlBBotton = FindChild<TPanel>(QStringLiteral("pnlBBotton"));
    pnlRightBottom = FindChild<TPanel>(QStringLiteral("pnlRightBottom"));
    pnlBottonMessage = FindChild<TPanel>(QStringLiteral("pnlBottonMessage"));
}
