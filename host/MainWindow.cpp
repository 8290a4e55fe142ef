#include "host/MainWindow.h"

#include "host/HostEnvironment.h"
#include "host/PlugInLoader.h"
#include "host/WidgetInspector.h"

#include <algorithm>

MainWindow::MainWindow(TComponent* owner, HostEnvironment& environment, PlugInLoader& loader)
    : TForm(owner, TFormChain{}), m_environment(environment), m_loader(loader)
{
    FinishCreate();
    SetName(QStringLiteral("frmHostMain"));
    SetCaption(QStringLiteral("预算管理系统"));
    SetFormStyle(fsMDIForm);
    // The whole screen, as a maximized frame would have it (screens larger than
    // 1600 × 1000 get a window of that size).
    SetBounds(0, 0, std::min(Screen->Width(), 1600), std::min(Screen->Height(), 1000));
    buildMenu();
    buildStatusBar();
    WidgetInspector::StartFromEnvironment(this);
}

TMenuItem* MainWindow::addMenu(TMainMenu* menu, const QString& caption, int groupIndex)
{
    auto* item = new TMenuItem(this);
    item->SetCaption(caption);
    item->SetGroupIndex(groupIndex);
    menu->Items()->Add(item);
    return item;
}

TMenuItem* MainWindow::addItem(TMenuItem* parent, const QString& caption, std::function<void()> action,
                               const QString& shortCut)
{
    auto* item = new TMenuItem(this);
    item->SetCaption(caption);
    if (!shortCut.isEmpty())
        item->SetShortCut(shortCut);
    if (action)
        item->OnClick = [action](TObject*) { action(); };
    parent->Add(item);
    return item;
}

void MainWindow::buildMenu()
{
    auto* menu = new TMainMenu(this);
    menu->SetName(QStringLiteral("mnuHostMain"));
    TMenuItem* system = addMenu(menu, QStringLiteral("系统(&X)"), 0);
    addItem(system, QStringLiteral("指标打印"), [this] { showPlugInWindow(QStringLiteral("TbfrmTallyleaf")); });
    addItem(system, QStringLiteral("-"), nullptr);
    addItem(system, QStringLiteral("退出(&X)"), [this] { Close(); }, QStringLiteral("Alt+F4"));

    TMenuItem* window = addMenu(menu, QStringLiteral("窗口(&W)"), 5);
    addItem(window, QStringLiteral("层叠(&C)"), [this] { Cascade(); });
    addItem(window, QStringLiteral("平铺(&T)"), [this] { MDIArea()->tileSubWindows(); });
    addItem(window, QStringLiteral("关闭全部(&A)"), [this] {
        for (int i = MDIChildCount() - 1; i >= 0; --i)
            if (TCustomForm* child = MDIChildren(i))
                child->Close();
    });

    SetWindowMenu(window);

    TMenuItem* help = addMenu(menu, QStringLiteral("帮助(&H)"), 9);
    addItem(help, QStringLiteral("关于(&A)"), [this] {
        Application->MessageBox(QStringLiteral("预算管理系统 — 指标打印插件的宿主程序"), Caption(), 0x40);
    });
    SetMenu(menu);
}

void MainWindow::buildStatusBar()
{
    auto* statusBar = new TStatusBar(this);
    statusBar->SetName(QStringLiteral("sbHost"));
    statusBar->AddPanel(m_environment.yearText(), 120);
    statusBar->AddPanel(m_environment.loginUnitText(), 0);
    statusBar->SetParent(this);
}

void MainWindow::showPlugInWindow(const QString& windowName)
{
    TPlugInContext* context = m_environment.context();
    context->HostApplication = Application;
    context->HostScreen = Screen;
    if (!m_loader.showWindow(windowName, context))
        Application->HandleException(this, Exception(m_loader.lastError()));
}
