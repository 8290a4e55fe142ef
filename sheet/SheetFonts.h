#pragma once
// Qt fonts for the sheet's fonts, with the fit height of a row computed from them.
// Fonts are sized in pixels of the sheet's 96-per-inch units, so the same font
// measures and paints alike on screen, in the preview, on a printer and in a PDF.
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <memory>
#include <vector>

#include "sheet/Sheet.h"

namespace sheet {

class SheetFonts {
public:
    static constexpr int CellPaddingX = 3;
    static constexpr int CellPaddingY = 2;

    // The font with the Chinese serif faces as fallbacks for the named family.
    static QFont toQFont(const FontSpec& font);

    explicit SheetFonts(const Sheet& sheet) : m_sheet(sheet) {}

    const QFont& font(const CellFormat& format);
    const QFontMetricsF& metrics(const CellFormat& format);

    // The height that shows every text of the row in full, texts wrapped within their
    // column's width (or their merged width); at least the sheet's default height.
    int fitRowHeight(int row);

private:
    // Texts measured for one font, kept for the next rows: a large report repeats most
    // of its texts (classifications, item names, unit names), and shaping a text costs
    // more than writing its cell. Bounded: emptied when it reaches this many texts.
    static constexpr qsizetype MaxMeasuredTexts = 100000;

    struct Entry {
        QFont font;
        std::unique_ptr<QFontMetricsF> metrics;
        QHash<QString, double> advances;
    };
    Entry& entry(const CellFormat& format);
    static double advance(Entry& entry, const QString& text);
    double textHeight(const QString& text, const CellFormat& format, double width);

    const Sheet& m_sheet;
    QHash<FontSpec, std::shared_ptr<Entry>> m_entries;
};

} // namespace sheet
