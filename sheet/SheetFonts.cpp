#include "sheet/SheetFonts.h"

#include <QStringList>
#include <cmath>

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
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

SheetFonts::Entry& SheetFonts::entry(const CellFormat& format)
{
    const FontSpec font = m_sheet.effectiveFont(format);
    auto it = m_entries.find(font);
    if (it == m_entries.end()) {
        auto e = std::make_shared<Entry>();
        e->font = toQFont(font);
        e->metrics = std::make_unique<QFontMetricsF>(e->font);
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

double SheetFonts::textHeight(const QString& text, const CellFormat& format, double width)
{
    Entry& e = entry(format);
    const QFontMetricsF& fm = *e.metrics;
    // Most cells hold one short line: measure its advance before laying out paragraphs.
    if (!format.wrap || (!text.contains(QLatin1Char('\n')) && advance(e, text) <= width))
        return fm.height();
    const QRectF r = fm.boundingRect(QRectF(0, 0, std::max(1.0, width), 1e6),
                                     Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    return r.height();
}

int SheetFonts::fitRowHeight(int row)
{
    m_sheet.checkRow(row);
    double height = Sheet::DefaultRowHeight;
    for (int c = 1; c <= m_sheet.columnCount(); ++c) {
        if (m_sheet.kind(c, row) == CellKind::Empty)
            continue;
        double width = m_sheet.columnWidth(c);
        if (const CellRange* m = m_sheet.mergeAt(c, row)) {
            // A text merged over several rows shares their height; it sets none alone.
            if (m->firstRow != m->lastRow || m->firstCol != c)
                continue;
            width = 0;
            for (int mc = m->firstCol; mc <= m->lastCol; ++mc)
                width += m_sheet.columnWidth(mc);
        }
        if (width <= 0)
            continue;
        const CellFormat& f = m_sheet.cellFormat(c, row);
        const double h = textHeight(m_sheet.displayText(c, row), f, width - 2 * CellPaddingX) + 2 * CellPaddingY;
        height = std::max(height, h);
    }
    return static_cast<int>(std::ceil(height));
}

} // namespace sheet
