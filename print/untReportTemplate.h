#pragma once
// What the indicator report needs of its template, checked in one place for the report
// filling and for template authors (`tallyleaf-sheet check`). The filling writes titles
// into rows 1-3, appends one row per result row that takes the formats of the sheet's last
// row, writes amounts into columns 12-18 and then deletes row 7, the spare row. So a
// report template has at least 18 columns and 7 rows, and the spare row's columns 12-18
// show numbers as amounts or whole numbers (number=amount or number=integer), or every
// amount of the report would lose its pattern. docs/templates.md states the same.
//
// This unit depends on the sheet engine only, so the template tool compiles it in.
#include <QString>

namespace sheet {
class Sheet;
}

constexpr int ReportColumns = 18;
constexpr int ReportSpareRow = 7;
constexpr int ReportFirstAmountColumn = 12;

// Empty when the sheet has what the report needs; otherwise the first requirement it
// misses, in the user's words ("报表模板至少要有18列，这个模板只有12列").
QString ReportTemplateShortfall(const sheet::Sheet& sheet);
