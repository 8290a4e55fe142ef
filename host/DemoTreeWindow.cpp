#include "host/DemoTreeWindow.h"

#include "platform/StdCtrls.h"

DemoTreeWindow::DemoTreeWindow(TComponent* AOwner) : TfrmBsTrvTC(AOwner, TFormChain{})
{
    FinishCreate();
    SetCaption(QStringLiteral("树形框架示例"));
    SetBounds(Left(), Top(), 829, 613);
    m_images = new TImageList(this);
    m_images->SetWidth(16);
    m_images->SetHeight(16);
    m_images->SetImageNames({QStringLiteral("tbExit.png"), QStringLiteral("tbPrint.png"),
                             QStringLiteral("tbPreview.png"), QStringLiteral("tbPrintSetup.png"),
                             QStringLiteral("tbFolder.png"), QStringLiteral("tbExcel.png")});
    addToolButtons();
    addMenuItems();
    fillTree();
    pnlTopMessage->SetCaption(QStringLiteral("上方区域的提示栏"));
    pnlBottonMessage->SetCaption(QStringLiteral("下方区域的提示栏"));
    pnlRightTop->SetCaption(QStringLiteral("上方区域"));
    pnlRightBottom->SetCaption(QStringLiteral("下方区域"));
}

void DemoTreeWindow::addToolButtons()
{
    tblChildMain->SetImages(m_images);
    tblChildMain->SetButtonHeight(35);
    tblChildMain->SetButtonWidth(61);
    struct ButtonDesign {
        const char* name;
        const char* caption;
        int image;
        bool separator;
    };
    const ButtonDesign buttons[] = {{"tbtnExcel", "导出excel", 5, false}, {"ToolButton1", "", -1, true},
                            {"tbnPrintView", " 预览 ", 2, false},  {"tbnPrint", " 打印 ", 1, false},
                          {"ToolButton4", "", -1, true},         {"tbnExit", " 退出 ", 0, false}};
    int left = 0;
    for (const ButtonDesign& s : buttons) {
        auto* b = new TToolButton(this);
        b->SetName(QString::fromLatin1(s.name));
        b->SetBounds(left, 0, s.separator ? 8 : 61, 35);
        b->SetStyle(s.separator ? tbsSeparator : tbsButton);
        b->SetCaption(QString::fromUtf8(s.caption));
        b->SetImageIndex(s.image);
        b->SetAutoSize(!s.separator);
        b->SetParent(tblChildMain);
        left += b->Width();
        if (QLatin1String(s.name) == QLatin1String("tbnExit"))
            b->OnClick = [this](TObject* sender) { tbnExitClick(sender); };
    }
}

void DemoTreeWindow::addMenuItems()
{
    mnuChildMain->SetImages(m_images);
    auto add = [this](TMenuItem* parent, const QString& caption, int image) {
        auto* item = new TMenuItem(this);
        item->SetCaption(caption);
        item->SetImageIndex(image);
        parent->Add(item);
        return item;
    };
    add(mitemOption, QStringLiteral("退出"), 0)->OnClick = [this](TObject* sender) { tbnExitClick(sender); };
    add(mitemDataVind, QStringLiteral("打印"), 1)->SetShortCut(QStringLiteral("Ctrl+P"));
    add(mitemDataVind, QStringLiteral("打印预览"), 2);
    add(mitemDataVind, QStringLiteral("-"), -1);
    add(mitemDataVind, QStringLiteral("导出EXCEL"), 5);
}

void DemoTreeWindow::fillTree()
{
    TTreeNode* top = trvList->Items()->Add(nullptr, QStringLiteral("预算单位列表"));
    TTreeNode* bureau = trvList->Items()->AddChild(top, QStringLiteral("001 市财政局"));
    trvList->Items()->AddChild(bureau, QStringLiteral("001001 局机关"));
    trvList->Items()->AddChild(bureau, QStringLiteral("001002 国库支付中心"));
    TTreeNode* education = trvList->Items()->AddChild(top, QStringLiteral("002 市教育局"));
    trvList->Items()->AddChild(education, QStringLiteral("002001 第一中学"));
    trvList->Items()->AddChild(education, QStringLiteral("002002 实验小学"));
    trvList->FullExpand();
}

void DemoTreeWindow::tbnExitClick(TObject* Sender)
{
    Q_UNUSED(Sender);
    Close();
}
