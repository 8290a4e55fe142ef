#include "sheet/CellFit.h"

#include <QFontMetricsF>
#include <cmath>

#include "sheet/SheetFonts.h"

namespace sheet {

namespace {

// Shrunk texts keep this much of the cell free: a face's advances on screen, in a
// preview and in a PDF may differ by a little.
constexpr double ShrinkMargin = 0.98;
// Below this a wrapped text is no longer worth shrinking further.
constexpr double SmallestScale = 0.05;

int alignFlags(const CellFormat& f, bool numberCell)
{
    int flags = 0;
    if (f.align & AlignLeft)
        flags |= Qt::AlignLeft;
    else if (f.align & AlignRight)
        flags |= Qt::AlignRight;
    else if (f.align & AlignCenter)
        flags |= Qt::AlignHCenter;
    else
        flags |= numberCell ? Qt::AlignRight : Qt::AlignLeft;
    if (f.align & AlignTop)
        flags |= Qt::AlignTop;
    else if (f.align & AlignBottom)
        flags |= Qt::AlignBottom;
    else
        flags |= Qt::AlignVCenter;
    return flags;
}

CellFit hashes(SheetFonts& fonts, const CellFormat& format, int align, double width)
{
    const QFontMetricsF& fm = fonts.metrics(format);
    // A cell too narrow for one '#' (a column all but hidden) shows nothing.
    const int count = std::max(0, static_cast<int>(std::floor(width / fm.horizontalAdvance(QLatin1Char('#')))));
    const QString text(count, QLatin1Char('#'));
    return {text, 1.0, align, QSizeF(fm.horizontalAdvance(text), fm.height())};
}

CellFit scaled(SheetFonts& fonts, const CellFormat& format, const QString& text, int flags, double scale,
               double width)
{
    const int wrap = flags & (Qt::TextWordWrap | Qt::TextWrapAnywhere);
    return {text, scale, flags, fonts.textSize(format, text, wrap, width / scale) * scale};
}

} // namespace

CellFit layoutCellText(SheetFonts& fonts, const CellFormat& format, const QString& text, bool figure,
                       bool numberCell, double width)
{
    const int align = alignFlags(format, numberCell);
    const int wrap = figure || !format.wrap ? 0 : Qt::TextWordWrap;
    const QSizeF size = fonts.textSize(format, text, wrap, width);
    if (size.width() <= width)
        return {text, 1.0, align | wrap, size};
    // Too wide: a number or a line that may not wrap, or a word longer than the line.
    const double scale = ShrinkMargin * width / size.width();
    const bool readable = fonts.font(format).pixelSize() * scale >= MinReadablePixels;
    if (readable || (wrap == 0 && !figure))
        return scaled(fonts, format, text, align | wrap, scale, width);
    if (figure)
        return hashes(fonts, format, align, width);
    const int anywhere = Qt::TextWordWrap | Qt::TextWrapAnywhere;
    return {text, 1.0, align | anywhere, fonts.textSize(format, text, anywhere, width)};
}

CellFit fitCellText(SheetFonts& fonts, const CellFormat& format, const QString& text, bool figure, bool numberCell,
                    QSizeF room)
{
    CellFit fit = layoutCellText(fonts, format, text, figure, numberCell, room.width());
    if (!(fit.flags & Qt::TextWordWrap) || fit.size.height() <= room.height())
        return fit;
    // Wrapped lines taller than the cell: the largest size whose lines fit.
    double scale = fit.scale;
    while (scale > SmallestScale) {
        scale *= 0.9;
        fit = scaled(fonts, format, text, fit.flags, scale, room.width());
        if (fit.size.width() <= room.width() && fit.size.height() <= room.height())
            break;
    }
    return fit;
}

} // namespace sheet
