#pragma once
// How a cell's text fits its cell. Nothing is ever cut: a text shows whole on one
// line, smaller, or wrapped within the cell; a number that would have to shrink below
// a readable size shows "###" across the cell, as spreadsheets do, never part of its
// digits. A word too long for its line (a long code) shrinks while it stays readable
// and otherwise breaks inside. The view, the preview, the printer and PDFs all paint
// what this decides, and the fitted row height makes room for it.
#include <QSizeF>
#include <QString>

#include "sheet/SheetTypes.h"

namespace sheet {

class SheetFonts;

struct CellFit {
    QString text;       // what is drawn: the cell's text, or a run of '#'
    double scale = 1.0; // the cell's font scaled by this
    int flags = 0;      // Qt alignment and wrapping flags for the text's rectangle
    QSizeF size;        // the drawn text's size, in sheet units
};

// The smallest size a shrunk number or word keeps, in sheet units (6 points).
constexpr double MinReadablePixels = 8;

// How the text lays out within `width` when its cell may be as tall as it needs.
// `figure`: the text is a number (Sheet::isFigure); `numberCell`: the cell holds a
// number, aligned right unless its format says otherwise.
CellFit layoutCellText(SheetFonts& fonts, const CellFormat& format, const QString& text, bool figure,
                       bool numberCell, double width);

// The same within `room`, the cell's rectangle less its padding: a wrapped text
// taller than the cell shrinks until its lines fit.
CellFit fitCellText(SheetFonts& fonts, const CellFormat& format, const QString& text, bool figure, bool numberCell,
                    QSizeF room);

} // namespace sheet
