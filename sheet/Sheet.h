#pragma once
// One report sheet: rows × columns of cells counted from 1, each cell empty, a text or
// a number, with a shared format (font, alignment, style, borders, fill); row heights
// and column widths in sheet units (pixels at 96 per inch; width 0 hides a column),
// merged ranges, the page set-up and a read-only flag.
//
// Storage is compact: a cell is 8 bytes (a text id or the place of its number, and a
// format index); numbers live beside the cells, texts in a pool, formats and fonts in
// small tables. Cells and numbers are kept in blocks rather than one array, so a sheet
// that grows row by row never holds twice its size nor copies itself: a 50,000 × 18
// sheet of short texts needs some 12 MB.
//
// Every change checks its address first and throws SheetError naming the cell or
// row, so a failed call leaves the sheet as it was.
#include <QHash>
#include <QString>
#include <cstdint>
#include <deque>
#include <vector>

#include "sheet/SheetTypes.h"
#include "sheet/StringPool.h"

namespace sheet {

enum class CellKind : std::uint8_t { Empty = 0, Text = 1, Number = 2 };

class Sheet {
public:
    static constexpr int DefaultRowHeight = 22;
    // 409 points at 96 pixels per inch: the tallest row a workbook holds.
    static constexpr int MaxRowHeight = 545;
    static constexpr int DefaultColumnWidth = 72;
    static constexpr int MaxColumns = 256;

    Sheet();

    // Empties the sheet and gives it that size, default fonts and formats.
    void reset(int columns, int rows);

    int columnCount() const { return m_columns; }
    int rowCount() const { return static_cast<int>(m_rowHeights.size()); }

    // Grows by rows at the end, each taking the formats and height of the last row
    // (empty of values), or shrinks by dropping rows at the end.
    void setRowCount(int rows);
    // Removes rows first … first+count−1; later rows move up, merges and heading rows
    // follow them.
    void deleteRows(int firstRow, int count);
    void setColumnCount(int columns);

    // Values.
    CellKind kind(int col, int row) const { return cell(col, row).kind; }
    QString text(int col, int row) const;
    // The same without a copy: valid until the sheet next changes.
    QStringView textView(int col, int row) const;
    double number(int col, int row) const;
    QString displayText(int col, int row) const; // what a page shows for the cell
    // Whether the cell shows a number: a number cell, or a text in a number format that
    // reads as a number (the screen sheet holds its amounts as formatted texts). A
    // number is never wrapped or partly shown.
    bool isFigure(int col, int row) const;
    void setText(int col, int row, const QString& text);
    // A number for the cell's text: the same for two cells of the sheet exactly when they
    // hold the same text, 0 for a cell without one. Cheaper to compare and hash than the text.
    std::uint32_t textKey(int col, int row) const;
    void setNumber(int col, int row, double value);
    void clearValue(int col, int row);

    // Formats.
    int formatIndex(int col, int row) const { return cell(col, row).format; }
    const CellFormat& format(int index) const { return m_formats[static_cast<std::size_t>(index)]; }
    const CellFormat& cellFormat(int col, int row) const { return format(formatIndex(col, row)); }
    int formatCount() const { return static_cast<int>(m_formats.size()); }
    int addFormat(const CellFormat& format);
    void setFormatIndex(int col, int row, int index);
    void setCellFormat(int col, int row, const CellFormat& format) { setFormatIndex(col, row, addFormat(format)); }
    void setAlign(int col, int row, int code);
    void setStyle(int col, int row, int style);

    // Fonts; a cell's effective font is its format's font, bold under style 2.
    int addFont(const FontSpec& font);
    const FontSpec& font(int index) const { return m_fonts[static_cast<std::size_t>(index)]; }
    int fontCount() const { return static_cast<int>(m_fonts.size()); }
    FontSpec effectiveFont(const CellFormat& format) const;

    // Rows and columns.
    int rowHeight(int row) const;
    // A height above MaxRowHeight is taken as MaxRowHeight: a text too long for any row
    // (a unit name of many thousand characters) still makes a report, cut at that height.
    void setRowHeight(int row, int height);
    int columnWidth(int col) const;
    void setColumnWidth(int col, int width);

    // Merged ranges; a cell belongs to at most one.
    void addMerge(const CellRange& range);
    const std::vector<CellRange>& merges() const { return m_merges; }
    const CellRange* mergeAt(int col, int row) const;

    PageSetup& pageSetup() { return m_page; }
    const PageSetup& pageSetup() const { return m_page; }
    void setHeadingRows(int first, int last);
    // Rows 1 to the last heading row: the titles and column headings, which stay in view
    // while the rows below scroll (a frozen pane, in the view and in workbooks); 0 = none.
    int frozenRows() const { return m_page.headingFirstRow > 0 ? m_page.headingLastRow : 0; }

    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool on) { m_readOnly = on; }

    // Changes with every change, and no two sheets ever share a value (a sheet moved
    // into another one is noticed too), so views and caches know when to refresh.
    std::uint64_t revision() const { return m_revision; }
    // Bytes held by cells, texts, formats and rows.
    std::size_t memoryUsage() const;

    // Address checks shared with the callers' own validation.
    void checkCell(int col, int row) const;
    void checkRow(int row) const;
    void checkColumn(int col) const;

private:
    struct Cell {
        std::uint32_t value = 0; // the text's id, or the number's place in m_numbers
        std::uint16_t format = 0;
        CellKind kind = CellKind::Empty;
    };
    static_assert(sizeof(Cell) == 8, "cells stay small");

    const Cell& cell(int col, int row) const;
    Cell& cellRef(int col, int row);
    void touch();
    void modifyFormat(int col, int row, void (*change)(CellFormat&, int), int value);
    // The cells no longer hold their numbers: their places in m_numbers fall free
    // (compactNumbers, once the cells are gone, may then move the numbers together).
    void dropNumber(const Cell& c);
    void dropNumbers(std::size_t firstCell, std::size_t count);
    void compactNumbers();

    int m_columns = 0;
    std::deque<Cell> m_cells; // row-major, rowCount × columnCount
    std::deque<double> m_numbers; // the number cells' values, some places unused
    std::size_t m_numbersInUse = 0;
    std::vector<std::uint16_t> m_rowHeights;
    std::vector<std::uint16_t> m_columnWidths;
    std::vector<CellRange> m_merges;
    std::vector<CellFormat> m_formats;
    QHash<CellFormat, int> m_formatIds;
    std::vector<FontSpec> m_fonts;
    StringPool m_texts;
    PageSetup m_page;
    bool m_readOnly = false;
    std::uint64_t m_revision = 0;
};

} // namespace sheet
