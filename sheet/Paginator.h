#pragma once
// Cuts a sheet into printed pages. Pure arithmetic on row heights and column widths
// (sheet units), so every page is known, and so the page count, before the first page
// is painted.
//
// Columns: the visible columns are scaled down to fit the page width; when that
// would take them below minScale, they print at minScale in bands of columns, each
// band a run of pages (down, then across). Rows: the first page starts at row 1; every
// later page whose first row lies below the heading rows repeats them at its top. A
// page holds at least one row, so a row taller than a page gets a page of its own.
#include <vector>

namespace sheet {

struct PaginatorInput {
    std::vector<int> columnWidths; // column 1 first; 0 hides a column
    std::vector<int> rowHeights;   // row 1 first
    int headingFirstRow = 0;       // rows repeated on every page; 0 = none
    int headingLastRow = 0;
    double pageWidth = 0;          // printable width and height in sheet units,
    double pageHeight = 0;         // the page text's line already taken off
    double minScale = 0.5;
};

struct RowBand {
    int firstRow = 0; // 0 = no rows
    int lastRow = -1;
    bool isEmpty() const { return firstRow <= 0 || lastRow < firstRow; }
};

struct PrintPage {
    RowBand heading; // the repeated heading rows, when the page has them
    RowBand body;
    int firstColumn = 1;
    int lastColumn = 0;
};

class Paginator {
public:
    explicit Paginator(PaginatorInput input);

    int pageCount() const { return static_cast<int>(m_pages.size()); }
    // Pages counted from 0.
    const PrintPage& page(int index) const { return m_pages.at(static_cast<std::size_t>(index)); }
    const std::vector<PrintPage>& pages() const { return m_pages; }
    // Sheet units to printed units: 1 when the sheet fits, less when it was shrunk.
    double scale() const { return m_scale; }
    const PaginatorInput& input() const { return m_input; }

    // Widths and heights of a page's parts in sheet units (unscaled).
    double bandHeight(const RowBand& band) const;
    double columnsWidth(int firstColumn, int lastColumn) const;

private:
    std::vector<std::pair<int, int>> columnBands();
    std::vector<std::pair<RowBand, RowBand>> rowPages() const;

    PaginatorInput m_input;
    double m_scale = 1.0;
    std::vector<PrintPage> m_pages;
};

} // namespace sheet
