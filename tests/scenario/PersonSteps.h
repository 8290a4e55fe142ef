#pragma once
// What a budget officer does in the program, one step at a time, on top of the driver:
// open menus, open and close the print window, pick a type, a unit and a fund nature,
// answer message boxes. Every step waits until the screen shows its outcome.
#include "tests/scenario/ScenarioDriver.h"

namespace scenario {

inline const QString PrintTitle = QStringLiteral("指标打印");

// The four ways a person closes the print window.
enum class CloseWay { ToolbarExit, OptionMenuExit, TitleBarClose, WindowMenuCloseAll };
const char* CloseWayName(CloseWay way);

class Person {
public:
    explicit Person(Host& host) : m_host(host) {}

    // Clicks a menu of the main window's menu bar and returns the menu once it is open.
    Widget openMenu(const QString& caption);
    // Clicks a menu of the menu bar, then one of its items.
    void chooseMenu(const QString& caption, const QString& item);
    // Closes an open menu with Escape and waits until it is gone.
    void closeMenu();

    // 系统 → 指标打印; waits for the window and its report.
    Widget openPrintWindow();
    // Waits until the print window's sheet shows a report; returns the sheet.
    Widget waitForReport();
    // The print window as it is now (null when it is not open).
    static const Widget* printWindow(const Screen& screen);
    void closePrintWindow(CloseWay way);

    // A tool button or menu item of the print window, clicked once it is enabled.
    void clickTool(const QString& name);
    // Picks an entry of a drop-down list (cobBType, cobMid) by clicking it open and
    // clicking the entry; waits until the list shows it.
    void pick(const QString& comboName, const QString& entry);
    // Clicks a unit in the unit tree; waits until it is the selected one.
    void pickUnit(const QString& unitText);

    // Waits for a modal message box that says `text` (a part of it).
    Widget waitForMessage(const QString& text, int seconds = 60);
    // Clicks a button of a window (its shown text, "&" left out) and waits until the
    // window has gone.
    void answer(const Widget& window, const QString& button);

private:
    Host& m_host;
};

} // namespace scenario
