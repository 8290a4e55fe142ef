#pragma once
// Helpers of the sheet tests: the shipped templates, a sheet filled with demo rows,
// and the workbook reader (tests/sheet/read_workbook.py, run by the system python).
#include <QJsonObject>
#include <QString>

#include "sheet/Sheet.h"

namespace sheettest {

QString templatePath(bool stateCapital);
// The non-state-capital template filled with `rows` demo rows.
sheet::Sheet demoSheet(int rows, bool amountsAsNumbers);
// What the workbook at `path` holds, as read_workbook.py prints it.
// With lastRowOnly, just the row count and the last row's values (large .xls files).
QJsonObject readWorkbook(const QString& path, bool lastRowOnly = false);
// Runs a program; its standard output, or a failed test when it does not exit 0.
QString runProgram(const QString& program, const QStringList& args);

} // namespace sheettest
