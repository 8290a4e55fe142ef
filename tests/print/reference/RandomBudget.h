#pragma once
// Random budget data sets for the report tests: a small unit tree (three-character codes, codes
// ending in "001" and others, leaf flags and classes that do not always agree with the tree,
// special accounts) and budget lines of several years, statuses, indicator types and fund
// natures, with bkid/ipid pairs inside and outside the six split columns, negative amounts and
// lines that cancel out. Amounts are multiples of 0.25, so every sum is exact in binary.
#include "tests/print/reference/ReportReference.h"

#include <QStringList>
#include <cstdint>

namespace reportref {

struct TBudgetData {
    int Year = 0;
    QList<TDeptLine> Depts;
    QList<TBudgetLine> Lines;
    QStringList Funds;   // every mid used
};

TBudgetData RandomBudgetData(std::uint32_t seed, int year);

// Selections worth reporting on for a data set: the empty prefix, every unit's code, the
// first three characters of codes, with every indicator type and fund (or none); every third
// one a unit with a code of six or nine characters not ending in "001", with the type and
// fund of one of its own lines.
struct TSelectionCase {
    QString Prefix;
    QString BType;
    QString Fund;
    QString UnitName;
    QString LoginCode;
    QString DeptMode;
};
QList<TSelectionCase> RandomSelections(const TBudgetData& data, std::uint32_t seed, int count);

} // namespace reportref
