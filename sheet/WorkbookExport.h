#pragma once
// Picks the workbook format from the file name: ".xlsx" (any letter case) writes
// Office Open XML, every other name an Excel 97-2003 workbook.
#include <QString>

#include "sheet/Sheet.h"

namespace sheet {

class WorkbookExport {
public:
    static bool isXlsx(const QString& path);

    // Whether a report of `rows` sheet rows can be written at `path`: any number as
    // .xlsx, at most XlsWriter::MaxRows as .xls. Costs nothing, so it can be asked as
    // soon as the report's rows are counted, before the sheet is filled.
    static bool fits(const QString& path, qint64 rows);
    // The refusal of such a report, naming the file, its rows and the way out; empty
    // when it fits.
    static QString rowLimitError(const QString& path, qint64 rows);

    // Refuses a sheet that does not fit before anything is built or written.
    static bool write(const Sheet& sheet, const QString& path, QString* error);
};

} // namespace sheet
