// The host's main window as the user sees its menus: the menu bar and, for each menu,
// its items in order. A separator must show as a line only: Qt's styles draw the text
// of a separator action beside the line, so a separator that kept its caption "-" showed
// a stray "-" item in the "系统" menu.
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
        m_window->Show();
        m_bar = m_window->Widget()->findChild<QMenuBar*>();
        ASSERT_NE(m_bar, nullptr);
    }
    void TearDown() override { m_window->Free(); }

    QMenu* menuOf(const QString& caption) const
    {
        for (QAction* action : m_bar->actions())
            if (action->text() == caption)
                return action->menu();
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

} // namespace
