#pragma once
// Reading the report statement's result and comparing it with the independent computation.
#include "tests/print/reference/ReportReference.h"

#include <QList>
#include <QString>
#include <ostream>

class TDataSet;

namespace sheet {
class Sheet;
}

namespace reporttest {

// Every row of an open detail query, all columns.
QList<reportref::TReportLine> ReadReportLines(TDataSet& rows);

// Runs the report statement of the selection on "Def" and reads it; a failure to open is a
// test failure carrying the database's message.
QList<reportref::TReportLine> RunDetailQuery(const QString& sql, QString* error);

// Empty when equal: the rows come in report order (level, code, bid, iid; rows that tie on
// those may come in any order) and hold the expected values. Otherwise the first difference.
QString CompareReports(const QList<reportref::TReportLine>& actual, const QList<reportref::TReportLine>& expected);

// Empty when two results of the report are the same: row for row the same order keys (level,
// code, bid, iid), and the same rows with exactly the same values (rows that tie on the keys
// may come in any order). Otherwise the first difference.
QString CompareExactly(const QList<reportref::TReportLine>& actual, const QList<reportref::TReportLine>& expected);

QString Describe(const reportref::TReportLine& row);

// Empty when two sheets are the same cell for cell: values, formats (what they are, not
// their numbers), fonts, row heights, widths, merges and heading rows. Otherwise the first
// difference, `first` named as the expected sheet.
QString SheetDifference(const sheet::Sheet& first, const sheet::Sheet& second);

} // namespace reporttest

// Test names and failure messages show texts as text.
inline void PrintTo(const QString& text, std::ostream* os) { *os << text.toStdString(); }
