// The print window's life in the host: opened from the menu, closed every way a person
// closes it, the host's menus used in between, opened again; and the host quit.
#include <gtest/gtest.h>

#include "tests/scenario/PersonSteps.h"

namespace scenario {
namespace {

struct MenuContent {
    QString caption;
    QStringList items;   // shown texts, separators left out
};

QStringList ShownItems(const Widget& menu)
{
    QStringList shown;
    for (const Item& i : menu.items)
        if (!i.separator)
            shown << i.text;
    return shown;
}

// Every menu of the bar opens with its items (what the host's own menus hold while no
// plug-in window is open) and closes again; 系统 also opens from the keyboard.
void OpenEveryMenu(Host& host, Person& person)
{
    const MenuContent menus[] = {
        {QStringLiteral("系统(&X)"), {QStringLiteral("指标打印"), QStringLiteral("退出(&X)")}},
        {QStringLiteral("窗口(&W)"), {QStringLiteral("层叠(&C)"), QStringLiteral("平铺(&T)"), QStringLiteral("关闭全部(&A)")}},
        {QStringLiteral("帮助(&H)"), {QStringLiteral("关于(&A)")}},
    };
    for (const MenuContent& m : menus) {
        const Widget menu = person.openMenu(m.caption);
        EXPECT_EQ(ShownItems(menu), m.items) << m.caption.toStdString();
        person.closeMenu();
    }
    host.key(QStringLiteral("alt+x"));
    const Widget system = host.waitFor(QStringLiteral("系统 opened with Alt+X"), [](const Screen& s) {
        const Widget* m = s.openMenu();
        return m && m->item(PrintTitle) ? m : nullptr;
    });
    person.closeMenu();
    const Widget about = [&] {
        person.chooseMenu(QStringLiteral("帮助(&H)"), QStringLiteral("关于(&A)"));
        return person.waitForMessage(QStringLiteral("宿主程序"));
    }();
    person.answer(about, QStringLiteral("确定"));
}

TEST(WindowLifeScenario, CloseEveryWayOpenEveryMenuAndReopen)
{
    Host host;
    Person person(host);
    person.openPrintWindow();
    for (CloseWay way : {CloseWay::ToolbarExit, CloseWay::OptionMenuExit, CloseWay::TitleBarClose,
                         CloseWay::WindowMenuCloseAll}) {
        SCOPED_TRACE(CloseWayName(way));
        person.closePrintWindow(way);
        OpenEveryMenu(host, person);
        person.openPrintWindow();
    }
    const Widget system = person.openMenu(QStringLiteral("系统(&X)"));
    host.click(*system.item(QStringLiteral("退出(&X)")));
    EXPECT_EQ(host.waitForExit(), 0);
}

} // namespace
} // namespace scenario
