#pragma once
// Writes a sheet as an Excel 97-2003 workbook: a BIFF8 workbook stream in an OLE2
// compound file. Texts go to the shared string table as UTF-16, numbers as NUMBER
// records (they stay numbers), formatted empty cells as BLANK records; fonts, borders,
// fills and alignment become FONT and XF records; merges, column widths and hidden
// columns, row heights, the page set-up, the repeated heading rows and the page text
// (as the footer, in Excel's codes) go with the sheet.
#include <QByteArray>
#include <QString>

#include "sheet/Sheet.h"

namespace sheet {

class XlsWriter {
public:
    static constexpr int MaxRows = 65536;

    static bool fits(qint64 rows) { return rows <= MaxRows; }
    // Why a sheet of `rows` rows cannot be written, and what to do instead.
    static QString tooManyRows(qint64 rows);

    // The whole file in memory; throws SheetError when the sheet does not fit the
    // format (more than MaxRows rows).
    static QByteArray build(const Sheet& sheet, const QString& sheetName = QStringLiteral("Sheet1"));
    // Builds and writes through StagedFile; false with *error set on failure, and then
    // no file (an earlier file at `path` stays as it was).
    static bool write(const Sheet& sheet, const QString& path, QString* error);
};

} // namespace sheet
