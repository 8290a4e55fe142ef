#include "sheet/Paginator.h"

#include <algorithm>
#include <numeric>

namespace sheet {

Paginator::Paginator(PaginatorInput input) : m_input(std::move(input))
{
    m_input.minScale = std::clamp(m_input.minScale, 0.05, 1.0);
    const auto bands = columnBands();
    const auto rows = rowPages();
    for (const auto& [firstCol, lastCol] : bands) {
        for (const auto& [heading, body] : rows) {
            PrintPage p;
            p.heading = heading;
            p.body = body;
            p.firstColumn = firstCol;
            p.lastColumn = lastCol;
            m_pages.push_back(p);
        }
    }
}

double Paginator::bandHeight(const RowBand& band) const
{
    if (band.isEmpty())
        return 0;
    double h = 0;
    for (int r = band.firstRow; r <= band.lastRow; ++r)
        h += m_input.rowHeights[static_cast<std::size_t>(r) - 1];
    return h;
}

double Paginator::columnsWidth(int firstColumn, int lastColumn) const
{
    double w = 0;
    for (int c = firstColumn; c <= lastColumn; ++c)
        w += m_input.columnWidths[static_cast<std::size_t>(c) - 1];
    return w;
}

std::vector<std::pair<int, int>> Paginator::columnBands()
{
    const int columns = static_cast<int>(m_input.columnWidths.size());
    const double total = std::accumulate(m_input.columnWidths.begin(), m_input.columnWidths.end(), 0.0);
    if (columns == 0 || total <= 0 || m_input.pageWidth <= 0) {
        m_scale = 1.0;
        return {{1, columns}};
    }
    const double fit = m_input.pageWidth / total;
    if (fit >= 1.0) {
        m_scale = 1.0;
        return {{1, columns}};
    }
    if (fit >= m_input.minScale) {
        m_scale = fit;
        return {{1, columns}};
    }
    m_scale = m_input.minScale;
    const double room = m_input.pageWidth / m_scale;
    std::vector<std::pair<int, int>> bands;
    int first = 1;
    double used = 0;
    for (int c = 1; c <= columns; ++c) {
        const int w = m_input.columnWidths[static_cast<std::size_t>(c) - 1];
        if (used > 0 && used + w > room) {
            bands.emplace_back(first, c - 1);
            first = c;
            used = 0;
        }
        used += w;
    }
    bands.emplace_back(first, columns);
    return bands;
}

std::vector<std::pair<RowBand, RowBand>> Paginator::rowPages() const
{
    const int rows = static_cast<int>(m_input.rowHeights.size());
    const double room = m_input.pageHeight > 0 ? m_input.pageHeight / m_scale : 1e300;
    RowBand heading;
    if (m_input.headingFirstRow > 0 && m_input.headingLastRow >= m_input.headingFirstRow
        && m_input.headingLastRow <= rows) {
        heading = {m_input.headingFirstRow, m_input.headingLastRow};
    }
    const double headingHeight = bandHeight(heading);
    // Headings that fill the page are not repeated: the rows below could never print.
    const bool repeat = !heading.isEmpty() && headingHeight < room / 2;

    std::vector<std::pair<RowBand, RowBand>> pages;
    int row = 1;
    while (row <= rows || pages.empty()) {
        const bool withHeading = repeat && row > heading.lastRow;
        double left = room - (withHeading ? headingHeight : 0);
        RowBand body{row, row - 1};
        while (row <= rows) {
            const double h = m_input.rowHeights[static_cast<std::size_t>(row) - 1];
            if (h > left && body.lastRow >= body.firstRow)
                break;
            left -= h;
            body.lastRow = row++;
        }
        if (body.lastRow < body.firstRow)
            body = RowBand{};
        pages.emplace_back(withHeading ? heading : RowBand{}, body);
        if (rows == 0)
            break;
    }
    return pages;
}

} // namespace sheet
