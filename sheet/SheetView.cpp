#include "sheet/SheetView.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "sheet/SheetFonts.h"
#include "sheet/SheetPainter.h"

namespace sheet {

SheetView::SheetView(QWidget* parent) : QAbstractScrollArea(parent)
{
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setSingleStep(Sheet::DefaultRowHeight);
    horizontalScrollBar()->setSingleStep(20);
    setFocusPolicy(Qt::StrongFocus);
}

SheetView::~SheetView() = default;

void SheetView::setSheet(const Sheet* sheet, Sheet* editable)
{
    finishEditing(false);
    m_sheet = sheet;
    m_editable = editable;
    m_fonts = sheet ? std::make_unique<SheetFonts>(*sheet) : nullptr;
    m_revision = ~std::uint64_t(0);
    sheetChanged();
}

void SheetView::sheetChanged()
{
    viewport()->update();
}

void SheetView::ensureLayout()
{
    if (!m_sheet) {
        m_rowTops.assign(1, 0);
        m_colLefts.assign(1, 0);
        return;
    }
    if (m_revision == m_sheet->revision())
        return;
    m_revision = m_sheet->revision();
    const int rows = m_sheet->rowCount();
    m_rowTops.resize(static_cast<std::size_t>(rows) + 1);
    double y = 0;
    for (int r = 1; r <= rows; ++r) {
        m_rowTops[static_cast<std::size_t>(r) - 1] = y;
        y += m_sheet->rowHeight(r);
    }
    m_rowTops[static_cast<std::size_t>(rows)] = y;
    const int cols = m_sheet->columnCount();
    m_colLefts.resize(static_cast<std::size_t>(cols) + 1);
    double x = 0;
    for (int c = 1; c <= cols; ++c) {
        m_colLefts[static_cast<std::size_t>(c) - 1] = x;
        x += m_sheet->columnWidth(c);
    }
    m_colLefts[static_cast<std::size_t>(cols)] = x;
    updateScrollBars();
}

void SheetView::updateScrollBars()
{
    const int width = static_cast<int>(m_colLefts.back()) + 2 * PageMargin;
    const int height = static_cast<int>(m_rowTops.back()) + 2 * PageMargin;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    verticalScrollBar()->setRange(0, std::max(0, height - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
}

int SheetView::rowAtY(double y) const
{
    // m_rowTops is sorted; the row whose band holds y.
    const auto it = std::upper_bound(m_rowTops.begin(), m_rowTops.end() - 1, y);
    return static_cast<int>(it - m_rowTops.begin());
}

int SheetView::frozenRows()
{
    ensureLayout();
    if (!m_sheet)
        return 0;
    const int rows = std::min(m_sheet->frozenRows(), m_sheet->rowCount());
    return rows > 0 && m_rowTops[static_cast<std::size_t>(rows)] <= viewport()->height() / 2.0 ? rows : 0;
}

double SheetView::frozenHeight()
{
    return m_rowTops[static_cast<std::size_t>(frozenRows())];
}

std::pair<int, int> SheetView::visibleRows()
{
    ensureLayout();
    if (!m_sheet || m_sheet->rowCount() == 0)
        return {0, -1};
    // Below frozen rows the scrolling rows start at the frozen rows' foot.
    const double scrolled = verticalScrollBar()->value() - PageMargin;
    const double top = frozenRows() > 0 ? scrolled + PageMargin + frozenHeight() : scrolled;
    const double bottom = scrolled + viewport()->height();
    const int first = std::clamp(rowAtY(std::max(0.0, top)), 1, m_sheet->rowCount());
    const int last = std::clamp(rowAtY(std::max(0.0, bottom)), first, m_sheet->rowCount());
    return {first, last};
}

QVariantList SheetView::cellsInSight()
{
    QVariantList cells;
    if (!m_sheet)
        return cells;
    const QRect sight = viewport()->rect();
    const auto addRow = [&](int row) {
        for (int col = 1; col <= m_sheet->columnCount(); ++col) {
            const QString text = m_sheet->displayText(col, row);
            const QRect r = cellRect(col, row);
            if (!text.isEmpty() && r.intersects(sight))
                cells.append(QVariantMap{{"col", col}, {"row", row}, {"text", text}, {"rect", r}});
        }
    };
    // The frozen heading rows stay in sight above the scrolling ones.
    for (int row = 1; row <= frozenRows(); ++row)
        addRow(row);
    const auto [first, last] = visibleRows();
    for (int row = first; row >= 1 && row <= last; ++row)
        addRow(row);
    return cells;
}

void SheetView::paintEvent(QPaintEvent*)
{
    ensureLayout();
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), QColor(0xE6, 0xE6, 0xE6));
    if (!m_sheet)
        return;
    const double originX = PageMargin - horizontalScrollBar()->value();
    const double originY = PageMargin - verticalScrollBar()->value();
    painter.fillRect(QRectF(originX - PageMargin / 2.0, originY - PageMargin / 2.0, m_colLefts.back() + PageMargin,
                            m_rowTops.back() + PageMargin),
                     Qt::white);
    const auto [first, last] = visibleRows();
    if (last < first || m_sheet->columnCount() == 0)
        return;
    const int frozen = frozenRows();
    painter.save();
    if (frozen > 0)
        painter.setClipRect(QRectF(0, PageMargin + frozenHeight(), viewport()->width(), viewport()->height()));
    SheetPainter paint(*m_sheet, *m_fonts, PaintOptions{true, true});
    paint.paintBand(painter, RowBand{first, last}, 1, m_sheet->columnCount(),
                    QPointF(originX, originY + m_rowTops[static_cast<std::size_t>(first) - 1]));
    painter.restore();
    if (frozen > 0)
        paintFrozenRows(painter, frozen, originX);
}

// The frozen rows over whatever scrolled beneath them, where they stand unscrolled.
void SheetView::paintFrozenRows(QPainter& painter, int frozen, double originX)
{
    const double height = frozenHeight();
    painter.fillRect(QRectF(0, 0, viewport()->width(), PageMargin + height), QColor(0xE6, 0xE6, 0xE6));
    painter.fillRect(QRectF(originX - PageMargin / 2.0, PageMargin / 2.0, m_colLefts.back() + PageMargin,
                            height + PageMargin / 2.0),
                     Qt::white);
    SheetPainter paint(*m_sheet, *m_fonts, PaintOptions{true, true});
    paint.paintBand(painter, RowBand{1, frozen}, 1, m_sheet->columnCount(), QPointF(originX, PageMargin));
}

void SheetView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    ensureLayout();
    updateScrollBars();
}

void SheetView::scrollContentsBy(int, int)
{
    if (m_editor)
        finishEditing(true);
    viewport()->update();
}

QPoint SheetView::cellAt(const QPoint& pos)
{
    ensureLayout();
    if (!m_sheet)
        return {};
    const double x = pos.x() - PageMargin + horizontalScrollBar()->value();
    const bool inFrozen = frozenRows() > 0 && pos.y() < PageMargin + frozenHeight();
    const double y = pos.y() - PageMargin + (inFrozen ? 0 : verticalScrollBar()->value());
    if (x < 0 || y < 0 || x >= m_colLefts.back() || y >= m_rowTops.back())
        return {};
    const auto colIt = std::upper_bound(m_colLefts.begin(), m_colLefts.end() - 1, x);
    int col = static_cast<int>(colIt - m_colLefts.begin());
    int row = rowAtY(y);
    if (const CellRange* m = m_sheet->mergeAt(col, row)) {
        col = m->firstCol;
        row = m->firstRow;
    }
    return {col, row};
}

QRect SheetView::cellRect(int col, int row)
{
    ensureLayout();
    if (!m_sheet)
        return {};
    m_sheet->checkCell(col, row);
    int lastCol = col, lastRow = row;
    if (const CellRange* m = m_sheet->mergeAt(col, row)) {
        lastCol = m->lastCol;
        lastRow = m->lastRow;
    }
    const double x = PageMargin - horizontalScrollBar()->value() + m_colLefts[static_cast<std::size_t>(col) - 1];
    const int scrolled = row > frozenRows() ? verticalScrollBar()->value() : 0;
    const double y = PageMargin - scrolled + m_rowTops[static_cast<std::size_t>(row) - 1];
    const double w = m_colLefts[static_cast<std::size_t>(lastCol)] - m_colLefts[static_cast<std::size_t>(col) - 1];
    const double h = m_rowTops[static_cast<std::size_t>(lastRow)] - m_rowTops[static_cast<std::size_t>(row) - 1];
    return QRectF(x, y, w, h).toAlignedRect();
}

void SheetView::scrollToRow(int row)
{
    ensureLayout();
    if (!m_sheet)
        return;
    m_sheet->checkRow(row);
    const int frozen = frozenRows();
    if (row <= frozen)
        return; // always in sight
    verticalScrollBar()->setValue(static_cast<int>(m_rowTops[static_cast<std::size_t>(row) - 1] - frozenHeight()));
}

void SheetView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!m_editable || m_editable->isReadOnly())
        return;
    const QPoint cell = cellAt(event->position().toPoint());
    if (cell.x() == 0)
        return;
    finishEditing(true);
    m_editCol = cell.x();
    m_editRow = cell.y();
    m_editor = new QLineEdit(viewport());
    m_editor->setGeometry(cellRect(m_editCol, m_editRow));
    m_editor->setText(m_editable->displayText(m_editCol, m_editRow));
    m_editor->setFont(m_fonts->font(m_editable->cellFormat(m_editCol, m_editRow)));
    connect(m_editor, &QLineEdit::editingFinished, this, [this] { finishEditing(true); });
    m_editor->show();
    m_editor->setFocus();
    m_editor->selectAll();
}

void SheetView::finishEditing(bool commit)
{
    if (!m_editor)
        return;
    QLineEdit* editor = m_editor;
    m_editor = nullptr;
    if (commit && m_editable && !m_editable->isReadOnly()) {
        const QString text = editor->text();
        if (text != m_editable->displayText(m_editCol, m_editRow)) {
            m_editable->setText(m_editCol, m_editRow, text);
            emit cellEdited(m_editCol, m_editRow, text);
        }
    }
    editor->hide();
    editor->deleteLater();
    viewport()->update();
}

} // namespace sheet
