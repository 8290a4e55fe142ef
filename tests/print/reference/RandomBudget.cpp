#include "tests/print/reference/RandomBudget.h"

#include <random>

namespace reportref {

namespace {

class TRandom {
public:
    explicit TRandom(std::uint32_t seed) : FEngine(seed) {}
    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(FEngine); }
    bool Chance(int percent) { return Between(1, 100) <= percent; }
    template <typename T>
    const T& Pick(const QList<T>& list) { return list[Between(0, int(list.size()) - 1)]; }

private:
    std::mt19937 FEngine;
};

QString Code3(int n) { return QString::number(n).rightJustified(3, '0'); }

void AddUnit(TRandom& rnd, TBudgetData& data, const QString& eid, int depth)
{
    const int index = int(data.Depts.size());
    TDeptLine dept;
    dept.Eid = eid;
    dept.Ename = (rnd.Chance(10) ? "O'" : "") + QString("单位") + eid;
    dept.Class = int(eid.size()) / 3;   // classes count from 1 at the three-character codes
    dept.SpecialAccount = rnd.Chance(25) ? "是" : rnd.Chance(90) ? "否" : "";
    data.Depts << dept;
    const int children = depth >= 3 ? 0 : rnd.Between(0, depth == 0 ? 4 : 3);
    const int start = rnd.Chance(70) ? 1 : rnd.Between(2, 5);   // not every branch begins with "001"
    for (int k = 0; k < children; ++k)
        AddUnit(rnd, data, eid + Code3(start + k), depth + 1);
    TDeptLine& self = data.Depts[index];
    self.LeafFlag = children == 0 ? "0" : "1";   // '1': units below it
    if (rnd.Chance(8))   // flags and classes that disagree with the tree
        self.LeafFlag = self.LeafFlag == "1" ? "0" : "1";
    if (rnd.Chance(5))
        self.Class += 1;
}

TBudgetLine RandomLine(TRandom& rnd, const TBudgetData& data, const TDeptLine& dept)
{
    static const QList<QString> bids{"2010101", "2010102", "2050201", "2080505", "2130126", "2290999"};
    static const QList<QString> iids{"0001", "0002", "0010", "0101", "1001"};
    static const QList<QString> bkids{"21", "21", "22", "22", "23", ""};
    static const QList<QString> ipids{"11", "12", "17", "18", "19", "22", "13", ""};
    TBudgetLine l;
    l.DataYear = rnd.Chance(85) ? data.Year : data.Year - 1;
    l.Eid = dept.Eid;
    l.Ename = dept.Ename;
    l.Status = rnd.Chance(85) ? "1" : rnd.Chance(50) ? "0" : "2";
    l.BType = QString::number(rnd.Between(0, 2));
    l.Mid = rnd.Pick(data.Funds);
    l.Bid = rnd.Pick(bids);
    l.Bname = "科目" + l.Bid;
    l.Iid = rnd.Pick(iids);
    l.Iname = "项目" + l.Iid;
    l.IsSecret = rnd.Chance(30) ? "0" : "1";
    l.Bkid = rnd.Pick(bkids);
    l.Ipid = rnd.Pick(ipids);
    l.Money = rnd.Between(-400, 4000) * 0.25;
    return l;
}

} // namespace

TBudgetData RandomBudgetData(std::uint32_t seed, int year)
{
    TRandom rnd(seed);
    TBudgetData data;
    data.Year = year;
    data.Funds = QStringList{"11", "12", "21", "31"};
    const int roots = rnd.Between(1, 3);
    for (int r = 0; r < roots; ++r)
        AddUnit(rnd, data, r == 0 && rnd.Chance(30) ? "001" : Code3(101 + r), 0);
    for (const TDeptLine& dept : std::as_const(data.Depts)) {
        if (rnd.Chance(15))
            continue;
        const int count = rnd.Between(1, 8);
        for (int k = 0; k < count; ++k) {
            TBudgetLine line = RandomLine(rnd, data, dept);
            data.Lines << line;
            if (rnd.Chance(15)) {   // a line that cancels it: the pair sums to zero
                line.Money = -line.Money;
                data.Lines << line;
            }
        }
    }
    return data;
}

QList<TSelectionCase> RandomSelections(const TBudgetData& data, std::uint32_t seed, int count)
{
    TRandom rnd(seed);
    // Lines of units whose codes of six or nine characters do not end in "001": chosen with
    // the type and fund of such a line, the unit has lines of its own (when the year and
    // status count too) whose level the report would otherwise skip.
    QList<TBudgetLine> ownLines;
    for (const TBudgetLine& line : data.Lines)
        if ((line.Eid.size() == 6 || line.Eid.size() == 9) && !line.Eid.endsWith("001"))
            ownLines << line;
    QList<TSelectionCase> cases;
    for (int k = 0; k < count; ++k) {
        TSelectionCase c;
        const TDeptLine& unit = rnd.Pick(data.Depts);
        const int kind = rnd.Between(0, 9);
        c.Prefix = kind == 0 ? QString() : kind == 1 ? unit.Eid.left(3) : unit.Eid;
        c.UnitName = kind == 0 ? QString() : unit.Ename;
        c.BType = QString::number(rnd.Between(0, 2));
        c.Fund = rnd.Chance(25) ? QString() : rnd.Pick(data.Funds);
        if (k % 3 == 2 && !ownLines.isEmpty()) {
            const TBudgetLine& own = rnd.Pick(ownLines);
            c.Prefix = own.Eid;
            c.UnitName = own.Ename;
            c.BType = own.BType;
            c.Fund = rnd.Chance(25) ? QString() : own.Mid;
        }
        // The login decides whether the branch is small: the unit itself, a department, or
        // another unit of the tree.
        const TDeptLine& login = rnd.Chance(50) ? unit : rnd.Pick(data.Depts);
        c.LoginCode = login.Eid;
        c.DeptMode = rnd.Chance(50) ? "1" : "0";
        cases << c;
    }
    return cases;
}

} // namespace reportref
