#include "tests/scenario/PersonSteps.h"

namespace scenario {

namespace {

// The main window (a message box may carry the same title).
const Widget* MainWindow(const Screen& s)
{
    return s.find([](const Widget& w) { return w.window == w.id && w.name == QLatin1String("frmHostMain"); });
}

const Widget* MenuBar(const Screen& s)
{
    const Widget* main = MainWindow(s);
    return main ? s.find([&](const Widget& w) { return w.window == main->id && w.is("QMenuBar"); }) : nullptr;
}

bool SameText(const QString& shown, const QString& wanted)
{
    QString a = shown, b = wanted;
    return a.remove(QLatin1Char('&')).trimmed() == b.remove(QLatin1Char('&')).trimmed();
}

} // namespace

const char* CloseWayName(CloseWay way)
{
    switch (way) {
    case CloseWay::ToolbarExit: return "tool bar 退出";
    case CloseWay::OptionMenuExit: return "辅助功能 → 退出";
    case CloseWay::TitleBarClose: return "title bar ✕";
    case CloseWay::WindowMenuCloseAll: return "窗口 → 关闭全部";
    }
    return "?";
}

Widget Person::openMenu(const QString& caption)
{
    const Widget bar = m_host.waitFor(QStringLiteral("the menu bar with “%1”").arg(caption), [&](const Screen& s) {
        const Widget* b = MenuBar(s);
        return b && b->item(caption) ? b : nullptr;
    });
    m_host.click(*bar.item(caption));
    return m_host.waitFor(QStringLiteral("the menu “%1” open").arg(caption), [](const Screen& s) { return s.openMenu(); });
}

void Person::chooseMenu(const QString& caption, const QString& item)
{
    const Widget menu = openMenu(caption);
    const std::optional<Item> entry = menu.item(item);
    if (!entry)
        m_host.fail(QStringLiteral("the menu “%1” has no item “%2”").arg(caption, item));
    if (!entry->enabled)
        m_host.fail(QStringLiteral("the item “%1” of “%2” is disabled").arg(item, caption));
    m_host.click(*entry);
    m_host.waitUntil(QStringLiteral("the menu “%1” closed").arg(caption), [](const Screen& s) { return !s.openMenu(); });
}

void Person::closeMenu()
{
    m_host.key(QStringLiteral("Escape"));
    m_host.waitUntil(QStringLiteral("the menu closed"), [](const Screen& s) { return !s.openMenu(); });
}

const Widget* Person::printWindow(const Screen& screen)
{
    return screen.window(PrintTitle);
}

Widget Person::openPrintWindow()
{
    chooseMenu(QStringLiteral("系统(&X)"), PrintTitle);
    return waitForReport();
}

Widget Person::waitForReport()
{
    // The report's title row names the year's centralised treasury payment reform.
    return m_host.waitFor(QStringLiteral("the report in the print window"), [](const Screen& s) -> const Widget* {
        const Widget* window = printWindow(s);
        if (!window)
            return nullptr;
        return s.find([&](const Widget& w) {
            if (!w.is("sheet::SheetView") || !window->rect.contains(w.rect.center()))
                return false;
            for (const Item& cell : w.items)
                if (cell.text.contains(QStringLiteral("年国库集中支付改革")))
                    return true;
            return false;
        });
    });
}

void Person::closePrintWindow(CloseWay way)
{
    switch (way) {
    case CloseWay::ToolbarExit:
        clickTool(QStringLiteral("tbnExit"));
        break;
    case CloseWay::OptionMenuExit:
        chooseMenu(QStringLiteral("辅助功能(&S)"), QStringLiteral("退出"));
        break;
    case CloseWay::TitleBarClose: {
        const Widget window = m_host.waitFor(PrintTitle, [](const Screen& s) { return printWindow(s); });
        if (window.closeButton.isEmpty())
            m_host.fail(QStringLiteral("the print window shows no close button"));
        m_host.click(window.closeButton.center());
        break;
    }
    case CloseWay::WindowMenuCloseAll:
        chooseMenu(QStringLiteral("窗口(&W)"), QStringLiteral("关闭全部(&A)"));
        break;
    }
    m_host.waitUntil(QStringLiteral("the print window gone after %1").arg(QString::fromUtf8(CloseWayName(way))),
                     [](const Screen& s) { return !printWindow(s); });
}

void Person::clickTool(const QString& name)
{
    const Widget tool = m_host.waitFor(QStringLiteral("“%1” enabled").arg(name), [&](const Screen& s) {
        const Widget* w = s.named(name);
        return w && w->enabled ? w : nullptr;
    });
    m_host.click(tool);
}

void Person::pick(const QString& comboName, const QString& entry)
{
    const Widget combo = m_host.waitFor(QStringLiteral("the list %1 offering “%2”").arg(comboName, entry),
                                        [&](const Screen& s) {
                                            const Widget* w = s.named(comboName);
                                            return w && w->enabled && w->entries.contains(entry) ? w : nullptr;
                                        });
    if (combo.text == entry)
        return;
    m_host.click(combo);
    const Widget list = m_host.waitFor(QStringLiteral("the open list of %1").arg(comboName), [&](const Screen& s) {
        // The open list is a window of its own, outside the main window.
        const Widget* main = MainWindow(s);
        return s.find([&](const Widget& w) { return w.is("QListView") && w.item(entry) && main && w.window != main->id; });
    });
    m_host.click(*list.item(entry));
    m_host.waitFor(QStringLiteral("%1 showing “%2”").arg(comboName, entry), [&](const Screen& s) {
        const Widget* w = s.named(comboName);
        return w && w->text == entry ? w : nullptr;
    });
}

void Person::pickUnit(const QString& unitText)
{
    const Widget tree = m_host.waitFor(QStringLiteral("the unit tree showing “%1”").arg(unitText), [&](const Screen& s) {
        const Widget* w = s.named(QStringLiteral("trvList"));
        return w && w->item(unitText) ? w : nullptr;
    });
    // The item's text may run past the tree's edge: click its visible start.
    const Item item = *tree.item(unitText);
    const QRect shown = item.rect.intersected(tree.rect);
    m_host.click(QPoint(shown.left() + std::min(40, shown.width() / 2), shown.center().y()));
    m_host.waitFor(QStringLiteral("“%1” selected").arg(unitText), [&](const Screen& s) {
        const Widget* w = s.named(QStringLiteral("trvList"));
        const std::optional<Item> i = w ? w->item(unitText) : std::nullopt;
        return i && i->selected ? w : nullptr;
    });
}

Widget Person::waitForMessage(const QString& text, int seconds)
{
    return m_host.waitFor(QStringLiteral("a message saying “%1”").arg(text), [&](const Screen& s) -> const Widget* {
        const Widget* box = s.modal();
        return box && box->is("QMessageBox") && s.textsInside(box->id).contains(text) ? box : nullptr;
    }, seconds);
}

void Person::answer(const Widget& window, const QString& button)
{
    // Message boxes share their caption: the one answered is known by what it says.
    QString said;
    const Widget b = m_host.waitFor(QStringLiteral("the button “%1”").arg(button), [&](const Screen& s) -> const Widget* {
        // Known by title and kind: a message box may carry the main window's title.
        const Widget* current = s.find([&](const Widget& w) {
            return w.window == w.id && w.title == window.title && w.classes == window.classes;
        });
        if (!current)
            return nullptr;
        said = s.textsInside(current->id);
        return s.find([&](const Widget& w) {
            return w.window == current->id && w.is("QAbstractButton") && w.enabled && SameText(w.text, button);
        });
    });
    m_host.click(b);
    m_host.waitUntil(QStringLiteral("“%1” closed").arg(window.title), [&](const Screen& s) {
        return !s.find([&](const Widget& w) {
            return w.window == w.id && w.title == window.title && w.classes == window.classes && s.textsInside(w.id) == said;
        });
    });
}

} // namespace scenario
