#include "tools/tallyleaf-sheet/DemoRows.h"

#include <QLocale>
#include <array>
#include <vector>

#include "sheet/Sheet.h"
#include "sheet/SheetFonts.h"

namespace demo {

namespace {

struct Unit {
    const char* eid;
    const char* name;
};

const std::array<Unit, 8> Units{{
    {"101001", "市财政局"},
    {"101002", "市教育局"},
    {"101003", "市卫生健康委员会"},
    {"101004", "市交通运输局"},
    {"102001", "市第一中学"},
    {"102002", "市人民医院"},
    {"103001", "市城市管理综合执法局"},
    {"103002", "市农业农村局"},
}};

struct Item {
    const char* lei;
    const char* kuan;
    const char* xiang;
    const char* bname;
    const char* iname;
};

const std::array<Item, 6> Items{{
    {"201", "06", "01", "财政事务行政运行", "在职人员工资福利支出"},
    {"205", "02", "03", "初中教育", "义务教育阶段公用经费补助"},
    {"210", "03", "02", "乡镇卫生院", "基本公共卫生服务项目资金"},
    {"214", "01", "04", "公路建设", "农村公路养护及危桥改造专项资金"},
    {"212", "03", "99", "其他城乡社区公共设施支出", "城区道路照明设施维护"},
    {"213", "01", "26", "农村道路建设", "高标准农田建设配套资金（含以前年度结转）"},
}};

// Amounts are whole cents, so every figure has two exact decimals and every total is
// the exact sum of the lines it totals.
using Cents = qint64;
constexpr int SplitCount = 6;

struct Amounts {
    std::array<Cents, SplitCount> split{};
    Cents sum() const
    {
        Cents total = 0;
        for (Cents c : split)
            total += c;
        return total;
    }
    void add(const Amounts& other)
    {
        for (int k = 0; k < SplitCount; ++k)
            split[static_cast<std::size_t>(k)] += other.split[static_cast<std::size_t>(k)];
    }
};

// Row 0 is the grand total, and a level total opens every run of 16 indicator lines.
bool isTotal(int i)
{
    return i == 0 || i % 17 == 1;
}

Amounts lineAmounts(int i)
{
    const Cents base = 1200000 + Cents(i * 7919 % 500000) * 100 + (i % 4) * 25;
    return {{base / 2, base * 3 / 10, i % 5 == 0 ? 0 : base / 10, base * 6 / 100, base * 4 / 100, 0}};
}

// Every row's amounts: the lines' own, the level totals over the lines below them up
// to the next total, the grand total over every line.
std::vector<Amounts> reportAmounts(int rows)
{
    std::vector<Amounts> amounts(static_cast<std::size_t>(std::max(rows, 0)));
    Amounts level, grand;
    for (int i = rows - 1; i >= 0; --i) {
        Amounts& row = amounts[static_cast<std::size_t>(i)];
        if (!isTotal(i)) {
            row = lineAmounts(i);
            level.add(row);
            grand.add(row);
        } else if (i > 0) {
            row = level;
            level = {};
        } else {
            row = grand;
        }
    }
    return amounts;
}

void put(sheet::Sheet& s, int col, int row, const QString& text)
{
    s.setText(col, row, text);
}

void putAmount(sheet::Sheet& s, int col, int row, Cents cents, bool asNumber)
{
    const double value = static_cast<double>(cents) / 100.0;
    s.setAlign(col, row, 34);
    if (asNumber)
        s.setNumber(col, row, value);
    else
        s.setText(col, row, amountText(value));
}

} // namespace

QString amountText(double value)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(value, 'f', 2);
}

void fillDemoRows(sheet::Sheet& s, const DemoOptions& o)
{
    sheet::SheetFonts fonts(s);
    s.setText(2, 1, o.title);
    s.setText(6, 2, o.subtitle);
    s.setText(6, 3, QStringLiteral("%1年预算构成").arg(o.year));
    int counter = 1;
    QString previous;
    const std::vector<Amounts> amounts = reportAmounts(o.rows);
    for (int i = 0; i < o.rows; ++i) {
        s.setRowCount(s.rowCount() + 1);
        const int r = s.rowCount();
        const bool total = isTotal(i);
        const Unit& unit = Units[static_cast<std::size_t>((i / 3) % Units.size())];
        const Item& item = Items[static_cast<std::size_t>(i % Items.size())];
        put(s, 3, r, total ? QString() : (i % 9 == 0 ? QStringLiteral("是") : QStringLiteral("否")));
        const QString eid = total ? QString() : QString::fromUtf8(unit.eid);
        if (eid != previous || eid.isEmpty()) {
            previous = eid;
            if (!eid.isEmpty()) {
                put(s, 2, r, QString::number(counter++));
                put(s, 4, r, (i % 11 == 5 ? QStringLiteral("*") : QString()) + eid);
            } else {
                put(s, 4, r, QString());
            }
            put(s, 5, r, total ? (i == 0 ? QStringLiteral("合计") : QStringLiteral("一级预算单位小计"))
                               : QString::fromUtf8(unit.name));
        }
        if (!total) {
            put(s, 6, r, QString::fromUtf8(item.lei));
            put(s, 7, r, QString::fromUtf8(item.kuan));
            put(s, 8, r, QString::fromUtf8(item.xiang));
            put(s, 9, r, QString::fromUtf8(item.bname));
            put(s, 10, r, QStringLiteral("ZB%1").arg(2026000 + i, 7, 10, QLatin1Char('0')));
            put(s, 11, r, QString::fromUtf8(item.iname));
        }
        const Amounts& row = amounts[static_cast<std::size_t>(i)];
        putAmount(s, 12, r, row.sum(), o.amountsAsNumbers);
        for (int k = 0; k < SplitCount; ++k)
            if (const Cents v = row.split[static_cast<std::size_t>(k)]; v > 0)
                putAmount(s, 13 + k, r, v, o.amountsAsNumbers);
        for (int c = 1; c <= 18; ++c)
            s.setStyle(c, r, total ? 2 : 0);
        s.setAlign(5, r, total ? 36 : 32);
        s.setRowHeight(r, fonts.fitRowHeight(r));
    }
    if (s.rowCount() >= 7)
        s.deleteRows(7, 1);
}

} // namespace demo
