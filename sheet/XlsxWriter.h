#pragma once
// Writes a sheet as an Office Open XML workbook (.xlsx) through libxlsxwriter, with
// the same cells, formats, merges, widths, heights, page set-up and footer as the
// .xls writer.
#include <QString>

#include "sheet/Sheet.h"

namespace sheet {

class XlsxWriter {
public:
    // Writes through StagedFile; false with *error set on failure, and then no file.
    static bool write(const Sheet& sheet, const QString& path, QString* error);
};

} // namespace sheet
