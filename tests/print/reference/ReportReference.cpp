#include "tests/print/reference/ReportReference.h"

#include <QMap>
#include <algorithm>
#include <cmath>
#include <tuple>

namespace reportref {

namespace {

int LevelOf(const QString& eid) { return int(eid.size()) / 3 - 1; }

QString LevelTotalName(int level, const QString& unitName)
{
    static const char* const numerals[] = {"一", "二", "三", "四", "五", "六", "七", "八", "九"};
    if (level == 1)
        return unitName + "本级合计";
    const QString numeral = level >= 1 && level <= 9 ? QString::fromUtf8(numerals[level - 1]) : QString();
    return numeral + "级单位合计";
}

// Which of the six split columns a line adds to, or -1.
int SplitColumn(const TBudgetLine& line)
{
    int base;
    if (line.Bkid == "21")
        base = 0;
    else if (line.Bkid == "22")
        base = 3;
    else
        return -1;
    if (line.Ipid == "11" || line.Ipid == "17")
        return base;
    if (line.Ipid == "12" || line.Ipid == "18")
        return base + 1;
    if (line.Ipid == "22" || line.Ipid == "19")
        return base + 2;
    return -1;
}

// Amounts are decimal numbers with at most four places, so sums are kept exactly in
// ten-thousandths: 0.10 + 0.20 - 0.30 is zero, as on a database with decimal columns,
// not the 5.6e-17 that adding binary fractions gives.
constexpr double Units = 10000.0;

struct TExactSum {
    long long Summ = 0;
    std::array<long long, 6> Split{};
};

void Add(TExactSum& sum, const TBudgetLine& line)
{
    const long long units = std::llround(line.Money * Units);
    sum.Summ += units;
    const int k = SplitColumn(line);
    if (k >= 0)
        sum.Split[size_t(k)] += units;
}

void Store(TReportLine& row, const TExactSum& sum)
{
    row.Summ = double(sum.Summ) / Units;
    for (size_t k = 0; k < row.Split.size(); ++k)
        row.Split[k] = double(sum.Split[k]) / Units;
}

TReportLine Total(int orderId, const QString& name, const QList<TBudgetLine>& lines)
{
    TReportLine row;
    row.OrderId = orderId;
    row.Ename = name;
    TExactSum sum;
    for (const TBudgetLine& line : lines)
        Add(sum, line);
    Store(row, sum);
    return row;
}

QList<TReportLine> UnitRows(int level, const QList<TBudgetLine>& lines)
{
    using Key = std::tuple<QString, QString, QString, QString, QString, QString, QString>;
    QMap<Key, TReportLine> groups;
    QMap<Key, TExactSum> sums;
    for (const TBudgetLine& line : lines) {
        const Key key{line.Eid, line.Ename, line.Bid, line.Bname, line.Iid, line.Iname, line.IsSecret};
        auto it = groups.find(key);
        if (it == groups.end()) {
            TReportLine row;
            row.OrderId = level;
            row.IsSecret = line.IsSecret == "0" ? "是" : "否";
            row.Eid = line.Eid.size() == 3 ? line.Eid + "001" : line.Eid;
            row.Ename = line.Ename;
            row.Bid = line.Bid;
            row.Bname = line.Bname;
            row.Iid = line.Iid;
            row.Iname = line.Iname;
            row.Lei = line.Bid.mid(0, 3);
            row.Kuan = line.Bid.mid(3, 2);
            row.Xiang = line.Bid.mid(5, 2);
            it = groups.insert(key, row);
        }
        Add(sums[key], line);
    }
    for (auto it = groups.begin(); it != groups.end(); ++it)
        Store(*it, sums.value(it.key()));
    return groups.values();
}

} // namespace

int DeepestLeafClass(const QList<TDeptLine>& depts, const QString& prefix)
{
    int deepest = 0;
    bool any = false;
    for (const TDeptLine& d : depts)
        if (d.Eid.startsWith(prefix) && d.LeafFlag == "1") {
            deepest = any ? std::max(deepest, d.Class) : d.Class;
            any = true;
        }
    return deepest;
}

bool SmallBranch(const QList<TDeptLine>& depts, const QString& loginCode, const QString& deptMode)
{
    const bool department = loginCode.size() == 6 && loginCode.endsWith("001") && deptMode == "1";
    if (department || loginCode.isEmpty())   // no login unit: never a small branch
        return false;
    const QString parent = loginCode.size() > 3 ? loginCode.left(loginCode.size() - 3) : QString();
    const auto units = std::count_if(depts.begin(), depts.end(),
                                     [&](const TDeptLine& d) { return d.Eid.startsWith(parent); });
    return units <= 2;
}

namespace {

bool Counts(const TBudgetLine& line, const TReportQuery& query)
{
    return line.DataYear == query.Year && line.Eid.startsWith(query.Prefix) && line.Status == "1" &&
           line.BType == query.BType && (query.Fund.isEmpty() || line.Mid == query.Fund);
}

} // namespace

bool HasOwnLines(const QList<TBudgetLine>& lines, const TReportQuery& query)
{
    return std::any_of(lines.begin(), lines.end(),
                       [&](const TBudgetLine& line) { return line.Eid == query.Prefix && Counts(line, query); });
}

QList<TReportLine> ExpectedReport(const QList<TBudgetLine>& lines, const QList<TDeptLine>& depts,
                                  const TReportQuery& query)
{
    QList<TBudgetLine> chosen;
    for (const TBudgetLine& line : lines)
        if (Counts(line, query))
            chosen << line;

    QList<TReportLine> rows;
    if (!query.Small)
        rows << Total(0, query.UnitName + "合计", chosen);

    int first = int(query.Prefix.size()) / 3;
    if (query.Prefix.endsWith("001"))
        --first;
    const int last = std::max(first, DeepestLeafClass(depts, query.Prefix));
    // The chosen unit's own lines must land in a block: when it has any and the levels would
    // begin past level 1 below its own level, they begin at its own level (the end stays).
    if (HasOwnLines(lines, query) && first > 1 && first > LevelOf(query.Prefix))
        first = LevelOf(query.Prefix);
    for (int level = first; level <= last; ++level) {
        QList<TBudgetLine> members;
        for (const TBudgetLine& line : chosen)
            if (LevelOf(line.Eid) == level || (level == 1 && line.Eid == query.Prefix))
                members << line;
        QList<TReportLine> block = UnitRows(level, members);
        std::stable_sort(block.begin(), block.end(), [](const TReportLine& a, const TReportLine& b) {
            return std::tie(a.Eid, a.Bid, a.Iid) < std::tie(b.Eid, b.Bid, b.Iid);
        });
        rows << Total(level, LevelTotalName(level, query.UnitName), members);
        rows << block;
    }

    QList<TReportLine> positive;
    for (const TReportLine& row : rows)
        if (row.Summ > 0)
            positive << row;
    return positive;
}

bool MarkedSpecial(const QList<TDeptLine>& depts, const QString& shownEid)
{
    // The mark is looked up with the code as shown, so a three-character unit (shown with
    // "001" appended) takes the mark of the unit that carries that longer code.
    for (const TDeptLine& d : depts)
        if (d.Eid == shownEid)
            return d.SpecialAccount == "是";
    return false;
}

} // namespace reportref
