#include "sheet/SheetPainter.h"

#include <QPainter>
#include <algorithm>
#include <map>
#include <tuple>

#include "sheet/CellFit.h"
#include "sheet/PageText.h"

namespace sheet {

namespace {

const QColor GridColour(0xD8, 0xD8, 0xD8);

FontSpec footerFont()
{
    FontSpec font;
    font.pointSize = 9;
    return font;
}

// The borders of a band, collected before they are drawn: an edge two cells share is
// drawn once, and edges of one weight along one line join into one stroke. A printed
// page of a report then holds a few dozen strokes rather than four per cell, which
// keeps the PDF small and quick to write, and looks the same (lines of one weight
// that meet or overlap cover what their parts covered, square caps included).
class BorderLines {
public:
    void add(const QLineF& line, BorderLine weight)
    {
        const bool vertical = line.x1() == line.x2();
        const double across = vertical ? line.x1() : line.y1();
        const double from = vertical ? line.y1() : line.x1();
        const double to = vertical ? line.y2() : line.x2();
        m_segments[{static_cast<int>(weight), vertical, across}].push_back({std::min(from, to), std::max(from, to)});
    }

    void draw(QPainter& painter, bool screen)
    {
        int penWeight = 0;
        std::vector<QLineF> lines;
        for (auto& [key, segments] : m_segments) {
            const auto [weight, vertical, across] = key;
            if (weight != penWeight) {
                flush(painter, lines);
                painter.setPen(pen(weight, screen));
                penWeight = weight;
            }
            std::sort(segments.begin(), segments.end());
            auto run = segments.front();
            for (const auto& s : segments) {
                if (s.first > run.second) {
                    lines.push_back(line(vertical, across, run));
                    run = s;
                }
                run.second = std::max(run.second, s.second);
            }
            lines.push_back(line(vertical, across, run));
        }
        flush(painter, lines);
    }

private:
    using Segment = std::pair<double, double>;

    static QLineF line(bool vertical, double across, const Segment& s)
    {
        return vertical ? QLineF(across, s.first, across, s.second) : QLineF(s.first, across, s.second, across);
    }

    static QPen pen(int weight, bool screen)
    {
        QPen pen(Qt::black);
        if (screen) {
            pen.setWidth(weight);
            pen.setCosmetic(true);
        } else {
            pen.setWidthF(0.75 * weight);
        }
        return pen;
    }

    static void flush(QPainter& painter, std::vector<QLineF>& lines)
    {
        if (!lines.empty())
            painter.drawLines(lines.data(), static_cast<int>(lines.size()));
        lines.clear();
    }

    std::map<std::tuple<int, bool, double>, std::vector<Segment>> m_segments; // weight, vertical, position across
};

void addCellBorders(BorderLines& borders, const QRectF& rect, const CellFormat& format)
{
    const QLineF edges[4] = {
        QLineF(rect.topLeft(), rect.bottomLeft()),
        QLineF(rect.topLeft(), rect.topRight()),
        QLineF(rect.topRight(), rect.bottomRight()),
        QLineF(rect.bottomLeft(), rect.bottomRight()),
    };
    for (int side = 0; side < 4; ++side)
        if (format.border[side] != BorderLine::None)
            borders.add(edges[side], format.border[side]);
}

} // namespace

SheetPainter::SheetPainter(const Sheet& sheet, SheetFonts& fonts, PaintOptions options)
    : m_sheet(sheet), m_fonts(fonts), m_options(options)
{
}

std::vector<const CellRange*> SheetPainter::mergesIn(const RowBand& band, int firstCol, int lastCol) const
{
    std::vector<const CellRange*> found;
    for (const CellRange& m : m_sheet.merges())
        if (m.intersectsRows(band.firstRow, band.lastRow) && m.firstCol <= lastCol && m.lastCol >= firstCol)
            found.push_back(&m);
    return found;
}

double SheetPainter::paintBand(QPainter& painter, const RowBand& band, int firstCol, int lastCol, QPointF origin)
{
    if (band.isEmpty() || lastCol < firstCol)
        return 0;
    std::vector<Span> xs(static_cast<std::size_t>(lastCol - firstCol + 2));
    double x = origin.x();
    for (int c = firstCol; c <= lastCol; ++c) {
        const double w = m_sheet.columnWidth(c);
        xs[static_cast<std::size_t>(c - firstCol)] = {x, w};
        x += w;
    }
    std::vector<Span> ys(static_cast<std::size_t>(band.lastRow - band.firstRow + 1));
    double y = origin.y();
    for (int r = band.firstRow; r <= band.lastRow; ++r) {
        const double h = m_sheet.rowHeight(r);
        ys[static_cast<std::size_t>(r - band.firstRow)] = {y, h};
        y += h;
    }
    auto spanX = [&](int c) { return xs[static_cast<std::size_t>(c - firstCol)]; };
    auto spanY = [&](int r) { return ys[static_cast<std::size_t>(r - band.firstRow)]; };
    const auto merges = mergesIn(band, firstCol, lastCol);
    auto inMerge = [&](int c, int r) {
        return std::any_of(merges.begin(), merges.end(), [c, r](const CellRange* m) { return m->contains(c, r); });
    };
    auto mergeRect = [&](const CellRange& m) {
        const int c1 = std::max(m.firstCol, firstCol), c2 = std::min(m.lastCol, lastCol);
        const int r1 = std::max(m.firstRow, band.firstRow), r2 = std::min(m.lastRow, band.lastRow);
        const double left = spanX(c1).pos, right = spanX(c2).pos + spanX(c2).size;
        const double top = spanY(r1).pos, bottom = spanY(r2).pos + spanY(r2).size;
        return QRectF(left, top, right - left, bottom - top);
    };

    // Fills and texts first, borders over them, so a neighbour's fill never hides a line.
    for (int r = band.firstRow; r <= band.lastRow; ++r) {
        if (spanY(r).size <= 0)
            continue;
        for (int c = firstCol; c <= lastCol; ++c)
            if (spanX(c).size > 0 && !inMerge(c, r))
                paintCellContent(painter, QRectF(spanX(c).pos, spanY(r).pos, spanX(c).size, spanY(r).size), c, r);
    }
    for (const CellRange* m : merges) {
        const QRectF rect = mergeRect(*m);
        if (rect.width() > 0 && rect.height() > 0)
            paintCellContent(painter, rect, m->firstCol, m->firstRow);
    }
    BorderLines borders;
    for (int r = band.firstRow; r <= band.lastRow; ++r) {
        if (spanY(r).size <= 0)
            continue;
        for (int c = firstCol; c <= lastCol; ++c)
            if (spanX(c).size > 0 && !inMerge(c, r))
                addCellBorders(borders, QRectF(spanX(c).pos, spanY(r).pos, spanX(c).size, spanY(r).size),
                               m_sheet.cellFormat(c, r));
    }
    for (const CellRange* m : merges) {
        const QRectF rect = mergeRect(*m);
        if (rect.width() > 0 && rect.height() > 0)
            addCellBorders(borders, rect, m_sheet.cellFormat(m->firstCol, m->firstRow));
    }
    borders.draw(painter, m_options.screen);
    return y - origin.y();
}

void SheetPainter::paintCellContent(QPainter& painter, const QRectF& rect, int col, int row)
{
    const CellFormat& f = m_sheet.cellFormat(col, row);
    const std::uint32_t fill = f.fill ? f.fill : (f.style == StyleEmphasis ? EmphasisFill : 0);
    if (fill)
        painter.fillRect(rect, QColor::fromRgba(fill));
    if (m_options.grid) {
        painter.setPen(QPen(GridColour, 0));
        painter.drawLine(rect.topRight(), rect.bottomRight());
        painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    }
    const CellKind kind = m_sheet.kind(col, row);
    if (kind == CellKind::Empty)
        return;
    const QRectF textRect = rect.adjusted(SheetFonts::CellPaddingX, SheetFonts::CellPaddingY,
                                          -SheetFonts::CellPaddingX, -SheetFonts::CellPaddingY);
    if (textRect.width() <= 0 || textRect.height() <= 0)
        return;
    const CellFit fit = fitCellText(m_fonts, f, m_sheet.displayText(col, row), m_sheet.isFigure(col, row),
                                    kind == CellKind::Number, textRect.size());
    painter.setFont(m_fonts.font(f));
    painter.setPen(Qt::black);
    // The fit keeps the text inside its cell; no clip, which would cut a glyph's edge.
    const int flags = fit.flags | Qt::TextDontClip;
    if (fit.scale == 1.0) {
        painter.drawText(textRect, flags, fit.text);
        return;
    }
    painter.save();
    painter.translate(textRect.topLeft());
    painter.scale(fit.scale, fit.scale);
    painter.drawText(QRectF(0, 0, textRect.width() / fit.scale, textRect.height() / fit.scale), flags, fit.text);
    painter.restore();
}

void SheetPainter::paintPage(QPainter& painter, const Paginator& pages, int index, const QRectF& target,
                             double devicePerUnit)
{
    const PrintPage& page = pages.page(index);
    const double pageWidth = target.width() / devicePerUnit;
    const double pageHeight = target.height() / devicePerUnit;
    const double scale = pages.scale();

    painter.save();
    painter.translate(target.topLeft());
    painter.scale(devicePerUnit, devicePerUnit);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    painter.save();
    const double tableWidth = pages.columnsWidth(page.firstColumn, page.lastColumn) * scale;
    painter.translate(std::max(0.0, (pageWidth - tableWidth) / 2), 0);
    painter.scale(scale, scale);
    double y = paintBand(painter, page.heading, page.firstColumn, page.lastColumn, QPointF(0, 0));
    paintBand(painter, page.body, page.firstColumn, page.lastColumn, QPointF(0, y));
    painter.restore();

    paintFooter(painter, QRectF(0, pageHeight - FooterHeight, pageWidth, FooterHeight), index + 1, pages.pageCount());
    painter.restore();
}

void SheetPainter::paintFooter(QPainter& painter, const QRectF& area, int number, int count)
{
    const PageSetup& p = m_sheet.pageSetup();
    painter.setFont(SheetFonts::toQFont(footerFont()));
    painter.setPen(Qt::black);
    const int v = Qt::AlignBottom;
    painter.drawText(area, Qt::AlignLeft | v, PageText::expand(p.textLeft, number, count));
    painter.drawText(area, Qt::AlignHCenter | v, PageText::expand(p.textMiddle, number, count));
    painter.drawText(area, Qt::AlignRight | v, PageText::expand(p.textRight, number, count));
}

QList<QFont> SheetPainter::fonts(const Sheet& sheet)
{
    QList<QFont> out{SheetFonts::toQFont(footerFont())};
    for (int i = 0; i < sheet.fontCount(); ++i) {
        FontSpec font = sheet.font(i);
        out << SheetFonts::toQFont(font);
        font.bold = true;
        out << SheetFonts::toQFont(font);
    }
    return out;
}

PaginatorInput SheetPainter::pageInput(const Sheet& sheet, QSizeF printable)
{
    PaginatorInput in;
    in.columnWidths.reserve(static_cast<std::size_t>(sheet.columnCount()));
    for (int c = 1; c <= sheet.columnCount(); ++c)
        in.columnWidths.push_back(sheet.columnWidth(c));
    in.rowHeights.reserve(static_cast<std::size_t>(sheet.rowCount()));
    for (int r = 1; r <= sheet.rowCount(); ++r)
        in.rowHeights.push_back(sheet.rowHeight(r));
    in.headingFirstRow = sheet.pageSetup().headingFirstRow;
    in.headingLastRow = sheet.pageSetup().headingLastRow;
    in.pageWidth = printable.width();
    in.pageHeight = printable.height() - FooterHeight;
    return in;
}

} // namespace sheet
