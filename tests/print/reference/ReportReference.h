#pragma once
// An independent computation of the indicator report, straight from the budget lines and the
// unit list, in plain C++: filter, group, total and order in code. The tests compare what the
// database returns for the report statement with this, row by row.
//
// The rules, as the report defines them:
// - lines count when their year, status '1', indicator type, fund nature (when one is chosen)
//   match and their unit code starts with the prefix;
// - a grand total named unit name + "合计" (not for a small branch);
// - levels from the prefix's level count (one less for a prefix ending in "001") to the
//   deepest leaf class under the prefix; the level of a code is its length / 3 − 1;
//   level 1 also takes the prefix unit itself; when the prefix unit has lines of its own and
//   the first level is above 1 and above the unit's own level, the levels start at its own
//   level instead (the last level stays);
// - each level: a total (unit name + "本级合计" for level 1, numeral + "级单位合计" otherwise),
//   then one row per unit, bid, iid (and name and secrecy); three-character codes are shown
//   with "001" appended, secrecy '0' as "是", anything else as "否";
// - six split sums by bkid ('21', '22') and ipid pairs ('11'/'17', '12'/'18', '22'/'19');
// - rows whose sum is not above zero are dropped; order: level, code, bid, iid.
#include <QList>
#include <QString>
#include <array>

namespace reportref {

struct TBudgetLine {
    int DataYear = 0;
    QString Eid, Ename, Status, BType, Mid, Bid, Bname, Iid, Iname, IsSecret, Bkid, Ipid;
    double Money = 0;
};

struct TDeptLine {
    QString Eid;
    QString Ename;
    QString LeafFlag;
    int Class = 0;
    QString SpecialAccount;
};

struct TReportQuery {
    int Year = 0;
    QString Prefix;
    QString BType;
    QString Fund;      // empty: every fund nature
    QString UnitName;
    bool Small = false;
};

struct TReportLine {
    int OrderId = 0;
    QString IsSecret, Eid, Ename, Bid, Bname, Iid, Iname, Lei, Kuan, Xiang;
    double Summ = 0;
    std::array<double, 6> Split{};   // dnjb, dnxm, dnqt, jyjb, jyxm, jyqt
};

// The highest class among the units flagged leafflag '1' under the prefix (in the budget
// database those are the units with units below them); 0 when there is none.
int DeepestLeafClass(const QList<TDeptLine>& depts, const QString& prefix);

// A non-department login whose parent code covers at most two units; an empty login code
// stands for no login unit at all, which is never a small branch.
bool SmallBranch(const QList<TDeptLine>& depts, const QString& loginCode, const QString& deptMode);

// Whether the unit of the prefix itself (eid equal to the prefix) has lines that count.
bool HasOwnLines(const QList<TBudgetLine>& lines, const TReportQuery& query);

// The report rows in report order; rows that tie on (level, code, bid, iid) come in any order.
QList<TReportLine> ExpectedReport(const QList<TBudgetLine>& lines, const QList<TDeptLine>& depts,
                                  const TReportQuery& query);

// Whether the unit shown with this code in the report carries the special-account mark.
bool MarkedSpecial(const QList<TDeptLine>& depts, const QString& shownEid);

} // namespace reportref
