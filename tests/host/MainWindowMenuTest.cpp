// The host's main window as the user sees its menus: the menu bar and, for each menu,
// its items in order; 窗口 with the open windows listed below its own items, and what
// 层叠 does to them. A separator must show as a line only: Qt's styles draw the text
// of a separator action beside the line, so a separator that kept its caption "-" showed
// a stray "-" item in the "系统" menu.
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

#include "host/HostEnvironment.h"
#include "host/MainWindow.h"
#include "host/PlugInLoader.h"
#include "tests/QuietRuntime.h"

namespace {

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new testsupport::QuietRuntime);

const QString kLine = QStringLiteral("————");

// What a menu shows, item by item: a separator as a line (followed by the text that a
// style would draw on it, if it has any), any other item by its caption.
QStringList ShownItems(const QMenu* menu)
{
    QStringList shown;
    for (const QAction* action : menu->actions()) {
        if (!action->isVisible())
            continue;
        if (action->isSeparator())
            shown << (action->text().isEmpty() ? kLine : kLine + action->text());
        else
            shown << action->text();
    }
    return shown;
}

class MainWindowMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_window = new MainWindow(Application, m_environment, m_loader);
        Application->SetMainForm(m_window);
        m_window->SetBounds(0, 0, 1200, 900);
        m_window->Show();
        m_bar = m_window->Widget()->findChild<QMenuBar*>();
        ASSERT_NE(m_bar, nullptr);
    }
    void TearDown() override
    {
        Application->SetMainForm(nullptr);
        while (Application->ComponentCount() > 0)
            Application->Components(Application->ComponentCount() - 1)->Free();
    }

    QMenu* menuOf(const QString& caption) const
    {
        for (QAction* action : m_bar->actions())
            if (action->text() == caption)
                return action->menu();
        return nullptr;
    }

    // An MDI child of the given caption and size, shown in the main window.
    TForm* openChild(const QString& caption, int width, int height)
    {
        auto* child = new TForm(Application);
        child->SetFormStyle(fsMDIChild);
        child->SetCaption(caption);
        child->SetBounds(0, 0, width, height);
        child->Show();
        return child;
    }
    // The 窗口 menu as it opens: the items shown and which of them are checked.
    std::pair<QStringList, QStringList> openWindowMenu() const
    {
        QMenu* menu = menuOf(QStringLiteral("窗口(&W)"));
        menu->popup(QPoint(0, 0));
        std::pair<QStringList, QStringList> shown{ShownItems(menu), {}};
        for (const QAction* a : menu->actions())
            if (a->isChecked())
                shown.second << a->text();
        menu->hide();
        return shown;
    }
    QAction* windowMenuEntry(const QString& text) const
    {
        for (QAction* a : menuOf(QStringLiteral("窗口(&W)"))->actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }

    HostEnvironment m_environment;
    PlugInLoader m_loader;
    MainWindow* m_window = nullptr;
    QMenuBar* m_bar = nullptr;
};

TEST_F(MainWindowMenuTest, MenusShowTheirCaptionsAndSeparatorsAsLines)
{
    EXPECT_EQ(MenuBarCaptions(m_bar->actions()),
              (QStringList{QStringLiteral("系统(&X)"), QStringLiteral("窗口(&W)"), QStringLiteral("帮助(&H)")}));

    const QMenu* system = menuOf(QStringLiteral("系统(&X)"));
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(ShownItems(system), (QStringList{QStringLiteral("指标打印"), kLine, QStringLiteral("退出(&X)")}))
        << ShownItems(system).join(QLatin1Char('|')).toStdString();

    const QMenu* window = menuOf(QStringLiteral("窗口(&W)"));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(ShownItems(window),
              (QStringList{QStringLiteral("层叠(&C)"), QStringLiteral("平铺(&T)"), QStringLiteral("关闭全部(&A)")}))
        << ShownItems(window).join(QLatin1Char('|')).toStdString();

    const QMenu* help = menuOf(QStringLiteral("帮助(&H)"));
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(ShownItems(help), QStringList{QStringLiteral("关于(&A)")});
}

TEST_F(MainWindowMenuTest, WindowMenuListsTheOpenWindowsAndBringsTheChosenOneToTheFront)
{
    const QStringList own{QStringLiteral("层叠(&C)"), QStringLiteral("平铺(&T)"), QStringLiteral("关闭全部(&A)")};
    EXPECT_EQ(openWindowMenu().first, own) << "no window open, none listed";

    TForm* first = openChild(QStringLiteral("指标打印"), 400, 300);
    TForm* second = openChild(QStringLiteral("单位树示例"), 400, 300);
    auto [items, checked] = openWindowMenu();
    EXPECT_EQ(items, (own + QStringList{kLine, QStringLiteral("&1 指标打印"), QStringLiteral("&2 单位树示例")}));
    EXPECT_EQ(checked, QStringList{QStringLiteral("&2 单位树示例")}) << "the active window is checked";

    ASSERT_NE(windowMenuEntry(QStringLiteral("&1 指标打印")), nullptr);
    windowMenuEntry(QStringLiteral("&1 指标打印"))->trigger();
    EXPECT_EQ(m_window->ActiveMDIChild(), first);
    EXPECT_EQ(openWindowMenu().second, QStringList{QStringLiteral("&1 指标打印")});

    first->Free();
    EXPECT_EQ(openWindowMenu().first, (own + QStringList{kLine, QStringLiteral("&1 单位树示例")}));
    second->Free();
    EXPECT_EQ(openWindowMenu().first, own);
}

// 层叠 moves the windows apart and leaves each its size (Qt's own cascade shrank a window
// laid out by Align rules to its tiny size hint); a window larger than the area is cut
// to the area, never below it.
TEST_F(MainWindowMenuTest, CascadeKeepsEachWindowsSizeWithinTheArea)
{
    const QSize area = m_window->MDIArea()->viewport()->size();
    struct Case {
        const char* caption;
        QSize size;
        QSize expected;
    };
    const Case cases[] = {
        {"指标打印", {829, 613}, {829, 613}},
        {"小窗口", {300, 200}, {300, 200}},
        {"大窗口", {4000, 3000}, area},
    };
    QList<TForm*> children;
    for (const Case& c : cases)
        children << openChild(QString::fromUtf8(c.caption), c.size.width(), c.size.height());
    children.first()->Show();   // the active one
    ASSERT_NE(windowMenuEntry(QStringLiteral("层叠(&C)")), nullptr);
    windowMenuEntry(QStringLiteral("层叠(&C)"))->trigger();
    for (int i = 0; i < children.size(); ++i) {
        SCOPED_TRACE(cases[i].caption);
        const QRect shown = children[i]->WindowWidget()->geometry();
        EXPECT_EQ(shown.size(), cases[i].expected);
        EXPECT_TRUE(QRect(QPoint(0, 0), area).contains(shown));
    }
    EXPECT_NE(children[0]->WindowWidget()->pos(), children[1]->WindowWidget()->pos()) << "moved apart";
    EXPECT_EQ(m_window->ActiveMDIChild(), children.first()) << "the active window stays active, in front";
}

} // namespace
