#pragma once
// Workbooks we wrote, read back by an independent reader: tests/sheet/read_workbook.py
// (xlrd for .xls, openpyxl for .xlsx), run by the system python. Rows and columns count
// from 0, as the reader gives them.
#include <QJsonObject>
#include <QString>

namespace testsupport {

// What the workbook at `path` holds: {"rows", "cols", "cells": {"R,C": [kind, value]}, ...}.
// With lastRowOnly, just the row count and the last row (large .xls files). A reader that
// fails fails the test and gives an empty object.
QJsonObject ReadWorkbook(const QString& path, bool lastRowOnly = false);
// The text of a cell, empty when the cell is empty or missing.
QString CellText(const QJsonObject& book, int row, int col);

} // namespace testsupport
