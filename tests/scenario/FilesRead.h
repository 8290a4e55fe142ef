#pragma once
// The files a scenario leaves behind, read back with real readers: PDFs with pdfinfo and
// pdftotext (poppler-utils), workbooks with xlrd (tests/sheet/read_workbook.py).
#include <QJsonObject>
#include <QSizeF>
#include <QStringList>

namespace scenario {

struct PdfDocument {
    int pages = 0;
    QSizeF pageSize;       // of the first page, in points
    QStringList pageTexts; // the text of each page
};

// Throws ScenarioFailure when a reader fails.
PdfDocument ReadPdf(const QString& path);
// The cells of a workbook as read_workbook.py gives them ("cells": {"R,C": [type, value]}).
QJsonObject ReadWorkbook(const QString& path);
// The text of a workbook's cell (row and column counted from 0), empty when none.
QString CellText(const QJsonObject& workbook, int row, int col);

// The page size in points of the template's "paper" line (A4 or A3, portrait or landscape).
QSizeF TemplatePaperSize(const QString& templateFile);
// The report template the demo's fund natures print with.
QString DemoTemplateFile();

} // namespace scenario
