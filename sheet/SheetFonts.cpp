#include "sheet/SheetFonts.h"

#include <QStringList>
#include <cmath>

#include "sheet/CellFit.h"

namespace sheet {

QFont SheetFonts::toQFont(const FontSpec& font)
{
    QFont f;
    // The template names a Windows face (宋体); Linux machines have the Noto CJK faces.
    f.setFamilies({font.family, QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"),
                   QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Serif"), QStringLiteral("DejaVu Serif")});
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(font.pointSize * 96.0 / 72.0))));
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setUnderline(font.underline);
    // No cosmetic shaping: with it, digits after Latin letters ("ZB2026003") take glyphs
    // that the font's character map does not reach, and a PDF's text map loses them.
    f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::PreferNoShaping));
    return f;
}

SheetFonts::Entry& SheetFonts::entry(const CellFormat& format)
{
    const FontSpec font = m_sheet.effectiveFont(format);
    auto it = m_entries.find(font);
    if (it == m_entries.end()) {
        auto e = std::make_shared<Entry>();
        e->font = toQFont(font);
        e->metrics = m_device ? std::make_unique<QFontMetricsF>(e->font, m_device)
                              : std::make_unique<QFontMetricsF>(e->font);
        it = m_entries.insert(font, e);
    }
    return *it.value();
}

const QFont& SheetFonts::font(const CellFormat& format)
{
    return entry(format).font;
}

const QFontMetricsF& SheetFonts::metrics(const CellFormat& format)
{
    return *entry(format).metrics;
}

double SheetFonts::advance(Entry& entry, const QString& text)
{
    const auto known = entry.advances.constFind(text);
    if (known != entry.advances.cend())
        return known.value();
    if (entry.advances.size() >= MaxMeasuredTexts)
        entry.advances.clear();
    const double measured = entry.metrics->horizontalAdvance(text);
    entry.advances.insert(text, measured);
    return measured;
}

QSizeF SheetFonts::textSize(const CellFormat& format, const QString& text, int flags, double width)
{
    Entry& e = entry(format);
    // Most cells hold one short line: measure its advance before laying out paragraphs.
    if (!text.contains(QLatin1Char('\n'))) {
        const double a = advance(e, text);
        if (flags == 0 || a <= width)
            return {a, e.metrics->height()};
    }
    const QRectF room(0, 0, flags == 0 ? 1e6 : std::max(1.0, width), 1e6);
    return e.metrics->boundingRect(room, flags | Qt::AlignLeft | Qt::AlignTop, text).size();
}

double SheetFonts::cellHeight(int col, int row, double width)
{
    const CellFormat& f = m_sheet.cellFormat(col, row);
    const QString text = m_sheet.displayText(col, row);
    const bool oneLine = !text.contains(QLatin1Char('\n'));
    // One line is one line high whatever its width (a shrunk line is lower): a large
    // report's amounts need no shaping here, nor the test whether they read as numbers.
    if (oneLine && !f.wrap)
        return metrics(f).height();
    const bool figure = m_sheet.isFigure(col, row);
    if (oneLine && figure)
        return metrics(f).height();
    return layoutCellText(*this, f, text, figure, m_sheet.kind(col, row) == CellKind::Number, width).size.height();
}

double SheetFonts::cellFitHeight(int col, int row)
{
    if (m_sheet.kind(col, row) == CellKind::Empty)
        return 0;
    double width = m_sheet.columnWidth(col);
    if (const CellRange* m = m_sheet.mergeAt(col, row)) {
        // A text merged over several rows shares their height; it sets none alone.
        if (m->firstRow != m->lastRow || m->firstCol != col)
            return 0;
        width = 0;
        for (int mc = m->firstCol; mc <= m->lastCol; ++mc)
            width += m_sheet.columnWidth(mc);
    }
    if (width <= 0)
        return 0;
    return cellHeight(col, row, width - 2 * CellPaddingX) + 2 * CellPaddingY;
}

int SheetFonts::fitRowHeight(int row)
{
    m_sheet.checkRow(row);
    double height = Sheet::DefaultRowHeight;
    for (int c = 1; c <= m_sheet.columnCount(); ++c)
        height = std::max(height, cellFitHeight(c, row));
    return static_cast<int>(std::ceil(height));
}

} // namespace sheet
