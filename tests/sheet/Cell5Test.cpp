// TCell5 driven as the report filling drives it: through its operations by id, the
// row count convention of the control, errors that leave the sheet unchanged, the
// template, export and PDF results (a print from the preview too), and the
// WorkbookReadonly property.
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "print/CELL50Lib_TLB.h"
#include "sheet/SheetPrinter.h"
#include "sheet/SheetView.h"
#include "tests/sheet/SheetTestSupport.h"
#include "tests/support/WorkbookReadBack.h"

namespace {

struct Cell5 {
    TCell5* cell = new TCell5(nullptr);
    ~Cell5() { cell->Free(); }
    TCell5* operator->() const { return cell; }
};

QStringList column(const TCell5& c, int col)
{
    QStringList out;
    for (int r = 1; r <= c.Sheet().rowCount(); ++r)
        out << c.Sheet().text(col, r);
    return out;
}

} // namespace

TEST(Cell5, FillingPatternAppendsAfterTheTemplateAndDropsTheSpareRow)
{
    Cell5 c;
    ASSERT_EQ(c->OpenSheetFile(sheettest::templatePath(false), ""), 1) << c->LastError().toStdString();
    EXPECT_EQ(c->GetRowCount(0), 8) << "7 template rows; the last row is the count less 1";
    c->SetCellText(2, 1, 0, "标题");
    for (int i = 1; i <= 3; ++i) {
        c->SetRowCount(c->GetRowCount(0) + 1, 0);
        const int r = c->GetRowCount(0) - 1;
        EXPECT_EQ(r, 7 + i);
        c->SetCellText(5, c->GetRowCount(0) - 1, 0, QStringLiteral("单位%1").arg(i));
        c->SetCellNumber(12, r, 0, 1000.5 * i);
        for (int col = 1; col <= 18; ++col)
            c->SetCellStyle(col, r, 0, i == 1 ? 2 : 0);
        c->SetCellAlign(5, r, 0, i == 1 ? 36 : 32);
        c->SetCellAlign(12, r, 0, 34);
        c->SetRowHeight(1, c->GetRowFitHeight(r), r, 0);
    }
    c->DeleteRows(7, 1, 0);
    EXPECT_EQ(c->GetRowCount(0), 10);
    const QStringList names = column(*c.cell, 5);
    EXPECT_EQ(names.mid(6), (QStringList{"单位1", "单位2", "单位3"}));
    EXPECT_EQ(names[3], "单位名称") << "the headings stay";
    EXPECT_EQ(c->Sheet().text(2, 1), "标题");
    EXPECT_EQ(c->Sheet().kind(12, 8), sheet::CellKind::Number);
    EXPECT_DOUBLE_EQ(c->Sheet().number(12, 8), 2001.0);
    EXPECT_EQ(c->Sheet().cellFormat(3, 7).style, 2);
    EXPECT_EQ(c->Sheet().cellFormat(5, 7).align, 36);
    EXPECT_EQ(c->Sheet().cellFormat(5, 9).align, 32);
    EXPECT_NE(c->Sheet().cellFormat(5, 9).border[sheet::SideBottom], sheet::BorderLine::None)
        << "appended rows take the spare row's borders";
}

TEST(Cell5, RowCountConvention)
{
    Cell5 c;
    ASSERT_EQ(c->OpenSheetFile(sheettest::templatePath(true), ""), 1);
    const struct {
        int set, get;
    } cases[] = {{20, 20}, {8, 8}, {1, 1}, {0, 1}, {3, 3}};
    for (const auto& k : cases) {
        c->SetRowCount(k.set, 0);
        EXPECT_EQ(c->GetRowCount(0), k.get) << k.set;
        EXPECT_EQ(c->Sheet().rowCount(), k.get - 1) << k.set;
    }
}

TEST(Cell5, BadCallsThrowAndLeaveTheSheetUnchanged)
{
    Cell5 c;
    ASSERT_EQ(c->OpenSheetFile(sheettest::templatePath(false), ""), 1);
    const auto before = c->Sheet().revision();
    const std::function<void()> calls[] = {
        [&] { c->SetRowCount(-1, 0); },
        [&] { c->SetCellText(19, 3, 0, "x"); },
        [&] { c->SetCellText(2, 8, 0, "x"); },
        [&] { c->SetCellText(0, 1, 0, "x"); },
        [&] { c->SetCellNumber(2, 0, 0, 1.0); },
        [&] { c->SetCellAlign(2, 2, 0, 128); },
        [&] { c->SetCellStyle(2, 2, 0, 7); },
        [&] { c->SetCellText(2, 2, 1, "x"); },
        [&] { c->DeleteRows(7, 2, 0); },
        [&] { c->SetRowHeight(1, 20, 99, 0); },
        [&] { c->SetColumnWidth(1, 112, 19, 0); },
        [&] { c->GetRowFitHeight(0); },
        [&] { c->Invoke(999, {}); },
        [&] { c->Invoke(TCell5::dispSetCellText, {1, 2}); },
        [&] { c->Invoke(TCell5::dispSetCellText, {"B", 2, 0, "x"}); },
    };
    int i = 0;
    for (const auto& call : calls) {
        EXPECT_THROW(call(), TExceptCell5) << "call " << i;
        ++i;
    }
    EXPECT_EQ(c->Sheet().revision(), before);
    try {
        c->SetCellText(19, 3, 0, "x");
    } catch (const TExceptCell5& e) {
        EXPECT_TRUE(e.Message().contains("19")) << e.what();
    }
}

TEST(Cell5, EveryOperationByItsId)
{
    Cell5 c;
    for (int id : {3, 39, 40, 44, 47, 48, 52, 80, 97, 98, 102, 129, 130, 132, 133, 142})
        EXPECT_TRUE(TCell5::HasOperation(id)) << id;
    EXPECT_EQ(c->Invoke(TCell5::dispOpenSheetFile, {sheettest::templatePath(false), QString()}).toInt(), 1);
    EXPECT_EQ(c->Invoke(TCell5::dispGetRowCount, {0}).toInt(), 8);
    c->Invoke(TCell5::dispSetRowCount, {9, 0});
    c->Invoke(TCell5::dispSetCellText, {5, 8, 0, "市财政局"});
    c->Invoke(TCell5::dispSetCellNumber, {12, 8, 0, 12345.5});
    c->Invoke(TCell5::dispSetCellAlign, {12, 8, 0, 34});
    c->Invoke(TCell5::dispSetCellStyle, {12, 8, 0, 2});
    c->Invoke(TCell5::dispSetColumnWidth, {1, 0, 15, 0});
    c->Invoke(TCell5::dispSetRowHeight, {1, 40, 8, 0});
    c->Invoke(TCell5::dispSetPageText, {"", "共&S页第&P页", ""});
    c->Invoke(TCell5::dispDeleteRows, {7, 1, 0});
    EXPECT_GE(c->Invoke(TCell5::dispGetRowFitHeight, {7}).toInt(), sheet::Sheet::DefaultRowHeight);
    const sheet::Sheet& s = c->Sheet();
    EXPECT_EQ(s.text(5, 7), "市财政局");
    EXPECT_DOUBLE_EQ(s.number(12, 7), 12345.5);
    EXPECT_EQ(s.cellFormat(12, 7).align, 34);
    EXPECT_EQ(s.cellFormat(12, 7).style, 2);
    EXPECT_EQ(s.columnWidth(15), 0);
    EXPECT_EQ(s.rowHeight(7), 40);
    EXPECT_EQ(s.pageSetup().textMiddle, "共&S页第&P页");
}

TEST(Cell5, WorkbookReadonlyIsAPropertyAndSurvivesATemplateLoad)
{
    Cell5 c;
    EXPECT_FALSE(c->WorkbookReadonly());
    ASSERT_TRUE(c->setProperty("WorkbookReadonly", true));
    EXPECT_TRUE(c->WorkbookReadonly());
    EXPECT_TRUE(c->Invoke(TCell5::dispWorkbookReadonly, {}).toBool());
    ASSERT_EQ(c->OpenSheetFile(sheettest::templatePath(false), ""), 1);
    EXPECT_TRUE(c->Sheet().isReadOnly());
    c->Invoke(TCell5::dispWorkbookReadonly, {false});
    EXPECT_FALSE(c->property("WorkbookReadonly").toBool());
}

TEST(Cell5, MissingOrBrokenTemplateReportsAndKeepsTheSheet)
{
    Cell5 c;
    ASSERT_EQ(c->OpenSheetFile(sheettest::templatePath(false), ""), 1);
    c->SetCellText(2, 1, 0, "上一张报表");
    EXPECT_EQ(c->OpenSheetFile("/nowhere/指标明细表_国有资本cll5.cll", ""), 0);
    EXPECT_TRUE(c->LastError().contains("/nowhere/指标明细表_国有资本cll5.cll")) << c->LastError().toStdString();
    EXPECT_EQ(c->Sheet().text(2, 1), "上一张报表");

    QTemporaryDir dir;
    const QString broken = dir.filePath("broken.cll");
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("cll-template 1\nsize 18 7\nmerge 1 1 19 1\n");
    f.close();
    EXPECT_EQ(c->OpenSheetFile(broken, ""), 0);
    EXPECT_TRUE(c->LastError().startsWith(broken + ":3:")) << c->LastError().toStdString();
    EXPECT_EQ(c->Sheet().text(2, 1), "上一张报表");
}

TEST(Cell5, ExportsReportTheirResult)
{
    Cell5 c;
    ASSERT_EQ(c->OpenSheetFile(sheettest::templatePath(false), ""), 1);
    c->SetRowCount(c->GetRowCount(0) + 1, 0);
    c->SetCellNumber(12, 8, 0, 99.25);
    c->DeleteRows(7, 1, 0);
    QTemporaryDir dir;
    const QString xls = dir.filePath("指标表.xls");
    ASSERT_EQ(c->ExportXlsFile(xls), 1) << c->LastError().toStdString();
    const QJsonObject book = testsupport::ReadWorkbook(xls);
    EXPECT_EQ(book["cells"].toObject()["6,11"].toArray(), (QJsonArray{"number", 99.25}));
    EXPECT_EQ(c->ExportXlsFile(dir.filePath("missing/指标表.xls")), 0);
    EXPECT_TRUE(c->LastError().contains(dir.filePath("missing"))) << c->LastError().toStdString();
    EXPECT_EQ(c->ExportPdfFile(dir.filePath("report.pdf")), 1) << c->LastError().toStdString();
    EXPECT_TRUE(c->LastError().isEmpty());
    EXPECT_TRUE(QFile::exists(dir.filePath("report.pdf")));
}

TEST(Cell5, IsAClientAlignedControlShowingTheSheet)
{
    Cell5 c;
    EXPECT_EQ(c->Align(), alClient);
    auto* view = dynamic_cast<sheet::SheetView*>(c->Widget());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->sheet(), &c->Sheet());
}

TEST(Cell5, PreviewShowsThePaginatorsPagesAndPrintDialogCanBeCancelled)
{
    Cell5 c;
    ASSERT_EQ(c->OpenSheetFile(sheettest::templatePath(false), ""), 1);
    for (int i = 0; i < 120; ++i) {
        c->SetRowCount(c->GetRowCount(0) + 1, 0);
        c->SetCellText(5, c->GetRowCount(0) - 1, 0, QStringLiteral("二级单位合计%1").arg(i));
    }
    c->DeleteRows(7, 1, 0);
    QTemporaryDir dir;
    const QString pdf = dir.filePath("preview.pdf");
    const sheet::SheetPrinter printer(c->Sheet());
    const int expected = printer.paginate(sheet::SheetPrinter::pageLayout(c->Sheet().pageSetup()), 1200).pageCount();
    ASSERT_GT(expected, 1);

    int previewPages = -1;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* preview = dialog->findChild<QPrintPreviewWidget*>();
        ASSERT_NE(preview, nullptr);
        preview->updatePreview();
        previewPages = preview->pageCount();
        // Printing from the preview to a PDF file writes the same file as the export.
        QPrinter* target = qobject_cast<QPrintPreviewDialog*>(dialog)->printer();
        target->setOutputFormat(QPrinter::PdfFormat);
        target->setOutputFileName(pdf);
        preview->updatePreview();
        EXPECT_FALSE(QFile::exists(pdf)) << "showing pages writes no file";
        preview->print();
        dialog->reject();
    });
    EXPECT_EQ(c->PrintPreview(0, 0), 1);
    EXPECT_EQ(previewPages, expected);
    EXPECT_TRUE(sheettest::runProgram("pdftotext", {"-l", "1", pdf, "-"}).contains("二级单位合计0"))
        << "the text map reads as the ideographs drawn";

    bool asked = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        asked = dialog != nullptr;
        if (dialog)
            dialog->reject();
    });
    EXPECT_EQ(c->PrintSheet(1, 0), 0) << "cancelled in the print dialog";
    EXPECT_TRUE(asked);
    EXPECT_TRUE(c->LastError().isEmpty()) << "cancelling is no failure";
}
