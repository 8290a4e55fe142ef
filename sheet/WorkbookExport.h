#pragma once
// Picks the workbook format from the file name: ".xlsx" (any letter case) writes
// Office Open XML, every other name an Excel 97-2003 workbook.
#include <QString>

#include "sheet/Sheet.h"

namespace sheet {

class WorkbookExport {
public:
    static bool isXlsx(const QString& path);
    static bool write(const Sheet& sheet, const QString& path, QString* error);
};

} // namespace sheet
