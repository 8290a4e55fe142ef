#pragma once
// The files a scenario leaves behind, read back with real readers: PDFs with pdfinfo and
// pdftotext (poppler-utils), workbooks with xlrd (tests/sheet/read_workbook.py).
#include <QJsonObject>
#include <QSizeF>
#include <QStringList>

#include "tests/support/WorkbookReadBack.h"

namespace scenario {

struct PdfDocument {
    int pages = 0;
    QSizeF pageSize;       // of the first page, in points
    QStringList pageTexts; // the text of each page
};

// Throws ScenarioFailure when a reader fails.
PdfDocument ReadPdf(const QString& path);
// Workbooks are read back with the test support's reader.
using testsupport::CellText;
using testsupport::ReadWorkbook;

// The page size in points of the template's "paper" line (A4 or A3, portrait or landscape).
QSizeF TemplatePaperSize(const QString& templateFile);
// The report template the demo's fund natures print with.
QString DemoTemplateFile();

} // namespace scenario
