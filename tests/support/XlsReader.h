#pragma once
// Reads Excel 97-2003 workbooks (BIFF8 in an OLE2 compound file): the worksheets'
// names, cell values (shared and inline texts, numbers, RK and MULRK numbers), merged
// ranges, column widths and hidden columns, row heights. Enough to read back what
// XlsWriter writes and the plain workbooks other programs write; formulas, formats
// and charts are passed over.
//
// The file comes from outside: every count, offset and length in it is checked, and a
// damaged or foreign file ends in SheetError naming it, never in a read out of bounds.
#include <QByteArray>
#include <QString>
#include <map>
#include <utility>
#include <vector>

#include "sheet/Sheet.h"

namespace sheet {

struct XlsValue {
    CellKind kind = CellKind::Empty; // BLANK cells keep their format only: Empty
    QString text;
    double number = 0;
};

struct XlsWorksheet {
    QString name;
    std::map<std::pair<int, int>, XlsValue> cells; // (row, column), both from 1
    std::vector<CellRange> merges;
    std::map<int, int> columnWidths; // column from 1 → width in sheet units (0 = hidden)
    std::map<int, int> rowHeights;   // row from 1 → height in sheet units (0 = hidden)

    const XlsValue* value(int col, int row) const;
};

class XlsReader {
public:
    // The most cells one file may hold; more means a foreign or hostile file.
    static constexpr std::size_t MaxCells = 16u * 1024 * 1024;

    // The worksheets of the workbook in `bytes`; `name` stands for the file in messages.
    static std::vector<XlsWorksheet> read(const QByteArray& bytes, const QString& name);
    static std::vector<XlsWorksheet> readFile(const QString& path);

    // Excel's column width (1/256 of a digit) and row height (twips) in sheet units,
    // the inverse of what XlsWriter writes.
    static int pixelsOfWidthUnits(unsigned units);
    static int pixelsOfTwips(unsigned twips);
};

} // namespace sheet
