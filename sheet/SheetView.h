#pragma once
// Shows a sheet as its printed page looks: fonts, alignment, borders, merges, hidden
// columns, with a light grid where cells have no border. Only the rows in sight are
// painted, found by binary search in the rows' running heights, so scrolling stays
// smooth through tens of thousands of rows. The titles and column headings (rows 1 to
// the last heading row) stay at the top while the rows below scroll, as a frozen pane.
// While the sheet is read-only it cannot be edited; otherwise a double click edits a
// cell's text.
#include <QAbstractScrollArea>
#include <QPointer>
#include <QVariantList>
#include <cstdint>
#include <memory>
#include <vector>

#include "sheet/Sheet.h"

class QLineEdit;
class QPainter;

namespace sheet {

class SheetFonts;

class SheetView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int PageMargin = 12;

    explicit SheetView(QWidget* parent = nullptr);
    ~SheetView() override;

    // The sheet shown; the view does not own it. Null shows nothing.
    void setSheet(const Sheet* sheet, Sheet* editable = nullptr);
    const Sheet* sheet() const { return m_sheet; }

    // Call after changing the sheet; the view refreshes once control returns to the
    // event loop, however many changes came before.
    void sheetChanged();

    // The cell at a viewport position (column, row), or (0, 0) outside the cells.
    QPoint cellAt(const QPoint& pos);
    // The rectangle of a cell in viewport coordinates.
    QRect cellRect(int col, int row);
    // Scrolls so that the row is in sight, just below the frozen rows.
    void scrollToRow(int row);
    // The first and last scrolling row in sight, below the frozen rows (0, −1 when none).
    std::pair<int, int> visibleRows();
    // The cells in sight that show text (the frozen heading rows, then the scrolling rows),
    // as a person reads them: one map per cell,
    // {col, row, text, rect} with the rectangle in viewport coordinates. Invokable by name,
    // so that a tool of another module (the host's widget inspector) reads it without a copy
    // of the sheet engine of its own.
    Q_INVOKABLE QVariantList cellsInSight();
    // The rows held at the top: the sheet's frozen rows, unless they would take more
    // than half the view (the rows below could then hardly be seen).
    int frozenRows();

signals:
    void cellEdited(int col, int row, const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void ensureLayout();
    void updateScrollBars();
    int rowAtY(double y) const; // y in sheet coordinates
    double frozenHeight();
    void paintFrozenRows(QPainter& painter, int frozen, double originX);
    void finishEditing(bool commit);

    const Sheet* m_sheet = nullptr;
    Sheet* m_editable = nullptr;
    std::unique_ptr<SheetFonts> m_fonts;
    std::uint64_t m_revision = ~std::uint64_t(0);
    std::vector<double> m_rowTops; // rowTops[r-1] = top of row r; one more entry for the end
    std::vector<double> m_colLefts;
    QPointer<QLineEdit> m_editor;
    int m_editCol = 0;
    int m_editRow = 0;
};

} // namespace sheet
