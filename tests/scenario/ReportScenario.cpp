// The report as a person reads it in the print window: picked by type, unit and fund
// nature, scrolled to its amounts, previewed page by page, stopped while it takes long; and
// the frame around it (the window menu, cascading, the unit tree's tooltips).
#include <QProcess>
#include <algorithm>
#include <cstring>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "tests/scenario/PersonSteps.h"

namespace scenario {
namespace {

const QString DemoYear = QStringLiteral("2024");

// The demo database's total of budget lines for a unit prefix, type and fund, as the
// report's total row shows it ("1,234,567.80").
QString DemoTotal(Host& host, const QString& prefix, const QString& type, const QString& fund)
{
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"),
                 {host.scratch() + QStringLiteral("/data/tallyleaf/demo-budget.db"),
                  QStringLiteral("select sum(BudgMoney) from busibudget where datayear=%1 and status='1' and BType='%2' "
                                 "and mid='%3' and eid like '%4%'")
                      .arg(DemoYear, type, fund, prefix)});
    sqlite.waitForFinished(30000);
    const double total = QString::fromUtf8(sqlite.readAllStandardOutput()).trimmed().toDouble();
    return QLocale(QLocale::English).toString(total, 'f', 2);
}

const Widget* ReportSheet(const Screen& s)
{
    const Widget* window = Person::printWindow(s);
    return window ? s.find([&](const Widget& w) { return w.is("sheet::SheetView") && window->rect.contains(w.center()); })
                  : nullptr;
}

std::optional<Item> Cell(const Widget& sheet, int row, int col)
{
    for (const Item& cell : sheet.items)
        if (cell.row == row && cell.col == col)
            return cell;
    return std::nullopt;
}

const QString PreviewTitle = QStringLiteral("打印预览");

// The preview's page field and its "/ N" label.
QString PreviewPage(const Screen& s)
{
    const Widget* preview = s.window(PreviewTitle);
    const Widget* field = preview ? s.find([&](const Widget& w) {
        return w.window == preview->id && w.is("QLineEdit") && !w.text.contains(QLatin1Char('%'));
    })
                                  : nullptr;
    return field ? field->text : QString();
}

int PreviewPageCount(Host& host)
{
    const Widget label = host.waitFor(QStringLiteral("the preview's page count"), [](const Screen& s) {
        const Widget* preview = s.window(PreviewTitle);
        return preview ? s.find([&](const Widget& w) {
            return w.window == preview->id && w.is("QLabel") && w.text.startsWith(QStringLiteral("/ "));
        })
                       : nullptr;
    });
    return label.text.mid(2).toInt();
}

TEST(ReportScenario, PickTypeUnitAndFundThenScrollToTheAmounts)
{
    Host host;
    Person person(host);
    person.openPrintWindow();
    person.pickUnit(QStringLiteral("105 市财政局"));
    person.pick(QStringLiteral("cobBType"), QStringLiteral("控制数"));
    person.pick(QStringLiteral("cobMid"), QStringLiteral("财政专户管理资金"));
    const QString title = QStringLiteral("市财政局%1年国库集中支付改革财政专户管理资金指标表").arg(DemoYear);
    host.waitFor(QStringLiteral("the report titled “%1”").arg(title), [&](const Screen& s) {
        const Widget* w = ReportSheet(s);
        const std::optional<Item> subtitle = w ? Cell(*w, 2, 6) : std::nullopt;
        return w && Cell(*w, 1, 2) && Cell(*w, 1, 2)->text == title && subtitle
                       && subtitle->text == QStringLiteral("（按部门控制数核定）")
                   ? w
                   : nullptr;
    });

    // The window opens filling the frame, where the whole report may fit; a person who
    // widens the tree to read long unit names finds the amounts right of the sheet's first
    // screen, and pages right through the scroll bar until it ends. The total row (the
    // first below the headings) then shows the budget's total whole, inside the view.
    const Widget splitter = host.waitFor(QStringLiteral("the splitter beside the unit tree"), [](const Screen& s) {
        return s.named(QStringLiteral("Splitter1"));
    });
    host.drag(splitter.center(), splitter.center() + QPoint(700, 0));
    const QString total = DemoTotal(host, QStringLiteral("105"), QStringLiteral("0"), QStringLiteral("21"));
    for (int page = 0; page < 20; ++page) {
        const Widget bar = host.waitFor(QStringLiteral("the sheet's scroll bar"), [&](const Screen& s) {
            const Widget* view = ReportSheet(s);
            return view ? s.find([&](const Widget& w) {
                return w.is("QScrollBar") && view->rect.contains(w.center()) && w.rect.width() > w.rect.height();
            })
                        : nullptr;
        });
        if (bar.value == bar.maximum)
            break;
        host.click(QPoint(bar.rect.right() - bar.rect.height() - 4, bar.center().y()));
        host.waitUntil(QStringLiteral("the sheet scrolled"), [&](const Screen& s) {
            const Widget* b = s.find([&](const Widget& w) { return w.is("QScrollBar") && w.rect == bar.rect; });
            return b && b->value > bar.value;
        });
    }
    host.waitFor(QStringLiteral("the total %1 in sight").arg(total), [&](const Screen& s) -> const Widget* {
        const Widget* w = ReportSheet(s);
        if (!w)
            return nullptr;
        for (const Item& cell : w->items)
            if (cell.row == 7 && cell.text == total && w->rect.contains(cell.rect))
                return w;
        return nullptr;
    });
}

// 预览 shows the report's pages; a person pages through them and closes the preview.
TEST(ReportScenario, PreviewPageThroughAndClose)
{
    Host host({QStringLiteral("--login"), QStringLiteral("107001")});
    Person person(host);
    person.openPrintWindow();
    person.pickUnit(QStringLiteral("107 市教育局"));
    person.waitForReport();
    person.clickTool(QStringLiteral("tbnPrintView"));
    const int pages = PreviewPageCount(host);
    ASSERT_GE(pages, 2) << "the education bureau's report fills more than one page";
    for (const char* button : {"下一页", "最后一页", "第一页"}) {
        const Widget b = host.waitFor(QString::fromUtf8(button), [&](const Screen& s) {
            const Widget* preview = s.window(PreviewTitle);
            return preview ? s.find([&](const Widget& w) {
                return w.window == preview->id && w.is("QToolButton") && w.text == QString::fromUtf8(button);
            })
                           : nullptr;
        });
        host.click(b);
        const QString expected = QString::number(std::strcmp(button, "下一页") == 0 ? 2 : std::strcmp(button, "最后一页") == 0 ? pages : 1);
        host.waitUntil(QStringLiteral("page %1 shown").arg(expected), [&](const Screen& s) { return PreviewPage(s) == expected; });
    }
    host.key(QStringLiteral("Escape"));
    host.waitUntil(QStringLiteral("the preview closed"), [](const Screen& s) { return !s.window(PreviewTitle); });
    EXPECT_TRUE(Person::printWindow(host.screen()));
}

// Runs SQL on the scratch demo database with the sqlite3 shell, as an administrator would.
QString DemoSql(Host& host, const QString& sql)
{
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"), {host.scratch() + QStringLiteral("/data/tallyleaf/demo-budget.db"), sql});
    if (!sqlite.waitForFinished(30000) || sqlite.exitCode() != 0)
        host.fail(QStringLiteral("sqlite3 “%1”: %2").arg(sql, QString::fromUtf8(sqlite.readAllStandardError())));
    return QString::fromUtf8(sqlite.readAllStandardOutput()).trimmed();
}

// The stored definition of the demo's view `from`, made to create `to` instead.
QString ViewDefinitionAs(Host& host, const QString& from, const QString& to)
{
    QString view = DemoSql(host, QStringLiteral("select sql from sqlite_master where name='%1'").arg(from));
    view.replace(QRegularExpression(QStringLiteral("^create view ") + from, QRegularExpression::CaseInsensitiveOption),
                 QStringLiteral("create view ") + to);
    return view;
}

// The demo's view made endless on the lines of one fund (the real one kept aside), and back.
void MakeFundEndless(Host& host, const QString& fund)
{
    const QString base = ViewDefinitionAs(host, QStringLiteral("vwbudget"), QStringLiteral("vwbudget_base"));
    DemoSql(host, QStringLiteral("drop view vwbudget; ") + base +
                      QStringLiteral("; create view vwbudget as select * from vwbudget_base where mid<>'%1' or "
                                     "(with recursive r(n) as (select 1 union all select n+1 from r) "
                                     "select count(*) from r) < 0")
                          .arg(fund));
}

void RestoreView(Host& host)
{
    const QString view = ViewDefinitionAs(host, QStringLiteral("vwbudget_base"), QStringLiteral("vwbudget"));
    DemoSql(host, QStringLiteral("drop view vwbudget; drop view vwbudget_base; ") + view);
}

// A report that takes long: the panel says what is happening and counts the seconds while
// the window goes on answering; Esc stops it, leaving an empty sheet and 导出excel off until
// the next whole report.
TEST(ReportScenario, EscStopsALongReportWhileTheWindowGoesOn)
{
    Host host;
    Person person(host);
    person.openPrintWindow();
    person.pickUnit(QStringLiteral("105 市财政局"));
    person.pick(QStringLiteral("cobBType"), QStringLiteral("控制数"));
    person.waitForReport();
    MakeFundEndless(host, QStringLiteral("21"));
    person.pick(QStringLiteral("cobMid"), QStringLiteral("财政专户管理资金"));
    const auto panelText = [](const Screen& s) -> const Widget* {
        const Widget* label = s.named(QStringLiteral("Label8"));
        return label && label->text.startsWith(QStringLiteral("查询数据…")) ? label : nullptr;
    };
    const Widget first = host.waitFor(QStringLiteral("the panel saying 查询数据…"), panelText);
    host.waitUntil(QStringLiteral("the panel's seconds going on"), [&](const Screen& s) {
        const Widget* label = panelText(s);
        return label && label->text != first.text;
    });
    host.key(QStringLiteral("Escape"));
    person.answer(person.waitForMessage(QStringLiteral("报表已取消，未显示任何数据。")), QStringLiteral("确定"));
    host.waitUntil(QStringLiteral("an empty sheet and 导出excel off"), [](const Screen& s) {
        const Widget* sheet = ReportSheet(s);
        const Widget* excel = s.named(QStringLiteral("tbtnExcel"));
        return sheet && excel && !excel->enabled &&
               std::none_of(sheet->items.begin(), sheet->items.end(),
                            [](const Item& cell) { return cell.text.contains(QStringLiteral("年国库集中支付改革")); });
    });

    RestoreView(host);
    const Widget funds = host.waitFor(QStringLiteral("the fund natures"), [](const Screen& s) {
        return s.named(QStringLiteral("cobMid"));
    });
    const auto other = std::find_if(funds.entries.begin(), funds.entries.end(),
                                    [](const QString& e) { return e != QStringLiteral("财政专户管理资金"); });
    ASSERT_NE(other, funds.entries.end());
    person.pick(QStringLiteral("cobMid"), *other);
    person.waitForReport();
    host.waitUntil(QStringLiteral("导出excel on again"), [](const Screen& s) {
        const Widget* excel = s.named(QStringLiteral("tbtnExcel"));
        return excel && excel->enabled;
    });
}

// A cut unit name shows whole in a tooltip; 窗口 lists the print window; 层叠 leaves it
// its size.
TEST(ReportScenario, TooltipWindowMenuAndCascade)
{
    Host host;
    Person person(host);
    person.openPrintWindow();
    const QString unit = QStringLiteral("105001 市财政局本级");
    const Widget tree = host.waitFor(QStringLiteral("the unit tree"), [&](const Screen& s) {
        const Widget* w = s.named(QStringLiteral("trvList"));
        return w && w->item(unit) ? w : nullptr;
    });
    const Item item = *tree.item(unit);
    host.hover(QPoint(item.rect.intersected(tree.rect).center().x(), item.rect.center().y()));
    host.waitFor(QStringLiteral("a tooltip “%1”").arg(unit), [&](const Screen& s) {
        return s.find([&](const Widget& w) { return w.window == w.id && w.is("QLabel") && w.text == unit; });
    });

    const Widget windows = person.openMenu(QStringLiteral("窗口(&W)"));
    const std::optional<Item> listed = windows.item(QStringLiteral("&1 指标打印"));
    ASSERT_TRUE(listed.has_value());
    EXPECT_EQ(listed->checked, std::optional<bool>(true));
    person.closeMenu();

    const QSize before = host.waitFor(PrintTitle, [](const Screen& s) { return Person::printWindow(s); }).rect.size();
    person.chooseMenu(QStringLiteral("窗口(&W)"), QStringLiteral("层叠(&C)"));
    const Widget after = host.waitFor(PrintTitle, [](const Screen& s) { return Person::printWindow(s); });
    EXPECT_EQ(after.rect.size(), before);
}

} // namespace
} // namespace scenario
