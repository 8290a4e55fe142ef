// The sheet view: paints only the rows in sight, holds the heading rows while the rest
// scrolls, finds cells under the mouse through merges and hidden columns, scrolls
// through 50,000 rows, shows large numbers and long codes whole, and edits only while
// the sheet is not read-only.
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include "sheet/SheetView.h"
#include "tests/sheet/SheetTestSupport.h"

using namespace sheet;

namespace {

struct ViewFixture {
    Sheet sheet = sheettest::demoSheet(50000, false);
    SheetView view;
    ViewFixture()
    {
        view.resize(900, 600);
        view.setSheet(&sheet, &sheet);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
};

} // namespace

TEST(SheetView, ShowsOnlyTheRowsInSightThroughFiftyThousandRows)
{
    ViewFixture f;
    auto [first, last] = f.view.visibleRows();
    EXPECT_EQ(first, f.view.frozenRows() + 1);
    EXPECT_LT(last, 40);
    f.view.verticalScrollBar()->setValue(f.view.verticalScrollBar()->maximum());
    std::tie(first, last) = f.view.visibleRows();
    EXPECT_EQ(last, f.sheet.rowCount());
    EXPECT_GT(first, f.sheet.rowCount() - 40);
    f.view.scrollToRow(25000);
    std::tie(first, last) = f.view.visibleRows();
    EXPECT_LE(first, 25000);
    EXPECT_GE(last, 25000);
    const QImage shot = f.view.viewport()->grab().toImage();
    EXPECT_FALSE(shot.isNull());
}

TEST(SheetView, CellUnderTheMouseHonoursMergesAndHiddenColumns)
{
    ViewFixture f;
    const QRect title = f.view.cellRect(2, 1);
    EXPECT_EQ(f.view.cellAt(title.center()), QPoint(2, 1)) << "the merged title";
    EXPECT_EQ(f.view.cellAt(QPoint(title.right() - 5, title.center().y())), QPoint(2, 1));
    const QRect before = f.view.cellRect(14, 9);
    f.sheet.setColumnWidth(15, 0);
    f.view.sheetChanged();
    const QRect after = f.view.cellRect(16, 9);
    EXPECT_EQ(after.left(), before.right() + 1) << "column 16 follows 14 once 15 is hidden";
    EXPECT_EQ(f.view.cellAt(after.center()), QPoint(16, 9));
}

TEST(SheetView, EditsOnlyWhileNotReadOnly)
{
    ViewFixture f;
    const QRect cell = f.view.cellRect(5, 9);
    f.sheet.setReadOnly(true);
    QTest::mouseDClick(f.view.viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(f.view.viewport()->findChild<QLineEdit*>(), nullptr);

    f.sheet.setReadOnly(false);
    QTest::mouseDClick(f.view.viewport(), Qt::LeftButton, {}, cell.center());
    auto* editor = f.view.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("改过的单位");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(f.sheet.text(5, 9), "改过的单位");
}

TEST(SheetView, HeadingRowsStayInViewWhileTheRestScrolls)
{
    ViewFixture f;
    ASSERT_EQ(f.view.frozenRows(), 6) << "the template's rows 1-6: titles and column headings";
    const QRect heading = f.view.cellRect(5, 4);
    const int bandBottom = f.view.cellRect(2, 6).bottom();
    const QRect band(0, 0, f.view.viewport()->width(), bandBottom + 1);
    const QImage before = f.view.viewport()->grab().toImage().copy(band);

    f.view.scrollToRow(25000);
    EXPECT_EQ(f.view.visibleRows().first, 25000) << "the row shows just below the headings";
    EXPECT_EQ(f.view.cellRect(5, 4), heading);
    EXPECT_EQ(f.view.cellAt(heading.center()), QPoint(5, 4));
    EXPECT_EQ(f.view.cellAt(QPoint(heading.center().x(), bandBottom + 3)), QPoint(5, 25000));
    EXPECT_EQ(f.view.viewport()->grab().toImage().copy(band), before) << "the headings look as they did";
}

// What the view paints in a cell: the whole text, or '#'s for a number with no room,
// and nothing outside the cell.
TEST(SheetView, LargeAmountsAndLongCodesShowWholeOrAsHashes)
{
    ViewFixture f;
    const int row = 9;
    f.sheet.setNumber(16, row, 1e11); // a number cell of the amount format
    sheettest::putWideCells(f.sheet, row);
    f.view.sheetChanged();

    sheettest::TextRecorder page(f.view.viewport()->size());
    f.view.viewport()->render(&page);
    auto drawnIn = [&](int col) {
        const QRectF cell = f.view.cellRect(col, row);
        QString text;
        for (const auto& d : page.within(cell)) {
            text += d.text;
            EXPECT_TRUE(cell.adjusted(-0.5, -0.5, 0.5, 0.5).contains(d.box)) << col << ": " << d.text.toStdString();
        }
        return text;
    };
    for (const sheettest::WideCell& c : sheettest::wideCells()) {
        const QString shown = drawnIn(c.col);
        if (c.fits)
            EXPECT_EQ(shown, c.text) << c.col;
        else
            EXPECT_TRUE(!shown.isEmpty() && shown == QString(shown.size(), '#')) << shown.toStdString();
    }
    EXPECT_EQ(drawnIn(16), "100,000,000,000.00");
}
