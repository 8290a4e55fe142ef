#pragma once
// Qt fonts for the sheet's fonts, with the fit height of a row computed from them.
// Fonts are sized in pixels of the sheet's 96-per-inch units, so the same font
// measures and paints alike on screen, in the preview, on a printer and in a PDF;
// texts are measured for the device they are painted on.
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <memory>
#include <vector>

#include "sheet/Sheet.h"

class QPaintDevice;

namespace sheet {

class SheetFonts {
public:
    static constexpr int CellPaddingX = 3;
    static constexpr int CellPaddingY = 2;

    // The font with the Chinese serif faces as fallbacks for the named family.
    static QFont toQFont(const FontSpec& font);

    // Measures for `device`, or for the screen when it is null.
    explicit SheetFonts(const Sheet& sheet, QPaintDevice* device = nullptr) : m_sheet(sheet), m_device(device) {}

    const QFont& font(const CellFormat& format);
    const QFontMetricsF& metrics(const CellFormat& format);

    // The size of `text` in the format's font laid out within `width` by Qt's text
    // `flags`: 0 for one line (lines only at line breaks), Qt::TextWordWrap, or that
    // and Qt::TextWrapAnywhere.
    QSizeF textSize(const CellFormat& format, const QString& text, int flags, double width);

    // The height that shows every text of the row in full, laid out within its
    // column's width (or its merged width) as the cell paints it (layoutCellText); at
    // least the sheet's default height.
    int fitRowHeight(int row);
    // The height one cell asks of its row (its text laid out as fitRowHeight lays it out,
    // padding included); 0 for a cell that asks nothing: empty, in a hidden column, or
    // part of a range merged over several rows. fitRowHeight is the largest of these,
    // at least the default height, rounded up.
    double cellFitHeight(int col, int row);

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
    double cellHeight(int col, int row, double width);

    const Sheet& m_sheet;
    QPaintDevice* m_device;
    QHash<FontSpec, std::shared_ptr<Entry>> m_entries;
};

} // namespace sheet
