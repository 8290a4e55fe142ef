#pragma once
// The one paint path of the sheet: the view paints bands of rows with it, and every
// page of the preview, the printer and a PDF is painted by paintPage.
#include <QFont>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <vector>

#include "sheet/Paginator.h"
#include "sheet/Sheet.h"
#include "sheet/SheetFonts.h"

class QPainter;

namespace sheet {

struct PaintOptions {
    bool grid = false;   // light grid lines where cells have no border (screen)
    bool screen = false; // whole-pixel lines for a 1:1 screen
};

class SheetPainter {
public:
    // Height of the page text's line at the foot of a page, in sheet units.
    static constexpr double FooterHeight = 30;

    SheetPainter(const Sheet& sheet, SheetFonts& fonts, PaintOptions options = {});

    // Paints rows band.firstRow … band.lastRow, columns firstCol … lastCol, with the
    // top-left corner of the first cell at `origin` (sheet units); returns the height.
    double paintBand(QPainter& painter, const RowBand& band, int firstCol, int lastCol, QPointF origin);

    // Paints page `index` into `target` (the printable area in device pixels) where a
    // sheet unit is `devicePerUnit` device pixels, the page text at its foot.
    void paintPage(QPainter& painter, const Paginator& pages, int index, const QRectF& target, double devicePerUnit);

    // Every font the sheet's pages may be painted with: the cells' fonts, plain and
    // emphasised, and the page text's.
    static QList<QFont> fonts(const Sheet& sheet);

    // What the paginator needs to cut `sheet` for a printable area of `printable`
    // sheet units (the page text's line included).
    static PaginatorInput pageInput(const Sheet& sheet, QSizeF printable);

private:
    struct Span {
        double pos;
        double size;
    };
    void paintCellContent(QPainter& painter, const QRectF& rect, int col, int row);
    void paintFooter(QPainter& painter, const QRectF& area, int number, int count);
    std::vector<const CellRange*> mergesIn(const RowBand& band, int firstCol, int lastCol) const;

    const Sheet& m_sheet;
    SheetFonts& m_fonts;
    PaintOptions m_options;
};

} // namespace sheet
