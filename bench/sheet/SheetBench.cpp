// Report sheet benchmarks: filling 50,000 rows × 18 columns through TCell5 in the call
// pattern of the report filling; writing them as .xls and .xlsx, beside libxlsxwriter
// writing the same cells directly; as a PDF; and the memory a cell takes.
#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>
#include <string>
#include <xlsxwriter.h>

#include "print/CELL50Lib_TLB.h"
#include "sheet/SheetPrinter.h"
#include "sheet/XlsWriter.h"
#include "sheet/XlsxWriter.h"

namespace {

constexpr int Rows = 50000;

QString templatePath()
{
    return QStringLiteral(TALLYLEAF_SOURCE_DIR "/data/templates/指标明细表_非国有资本cll5.cll");
}

long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        long value = 0;
        if (key == "VmRSS:" && status >> value)
            return value;
    }
    return 0;
}

// One report row as the filling writes it: every cell through SetCellText (or
// SetCellNumber for the export sheet), the row index read again for every cell.
void fillRow(TCell5& c, int i, bool asNumbers)
{
    c.SetRowCount(c.GetRowCount(0) + 1, 0);
    const bool total = i % 25 == 0;
    auto text = [&](int col, const QString& v) { c.SetCellText(col, c.GetRowCount(0) - 1, 0, v); };
    text(3, total ? QString() : QStringLiteral("否"));
    if (i % 4 == 0) {
        text(2, QString::number(i / 4 + 1));
        text(4, QStringLiteral("1010%1").arg(i % 97, 2, 10, QLatin1Char('0')));
        text(5, QStringLiteral("市直单位%1").arg(i % 97));
    }
    text(6, QStringLiteral("2%1").arg(i % 14, 2, 10, QLatin1Char('0')));
    text(7, QStringLiteral("%1").arg(i % 9 + 1, 2, 10, QLatin1Char('0')));
    text(8, QStringLiteral("%1").arg(i % 7 + 1, 2, 10, QLatin1Char('0')));
    text(9, QStringLiteral("功能分类%1").arg(i % 40));
    text(10, QStringLiteral("ZB%1").arg(2026000000 + i));
    text(11, QStringLiteral("专项资金指标第%1项").arg(i));
    const int r = c.GetRowCount(0) - 1;
    for (int k = 0; k < 7; ++k) {
        const double v = 1000.0 + i * 3.25 + k;
        c.SetCellAlign(12 + k, r, 0, 34);
        if (asNumbers)
            c.SetCellNumber(12 + k, c.GetRowCount(0) - 1, 0, v);
        else
            text(12 + k, QString::number(v, 'f', 2));
    }
    for (int col = 1; col <= 18; ++col)
        c.SetCellStyle(col, r, 0, total ? 2 : 0);
    c.SetCellAlign(5, r, 0, total ? 36 : 32);
    c.SetRowHeight(1, c.GetRowFitHeight(r), r, 0);
}

TCell5* filledCell(bool asNumbers)
{
    auto* c = new TCell5(nullptr);
    if (c->OpenSheetFile(templatePath(), QString()) != 1)
        return c;
    for (int i = 0; i < Rows; ++i)
        fillRow(*c, i, asNumbers);
    c->DeleteRows(7, 1, 0);
    return c;
}

void BM_FillThroughTCell5(benchmark::State& state)
{
    for (auto _ : state) {
        const long before = residentKb();
        TCell5* c = filledCell(state.range(0) != 0);
        state.PauseTiming();
        const double cells = static_cast<double>(c->Sheet().rowCount()) * 18;
        state.counters["sheet_bytes_per_cell"] = c->Sheet().memoryUsage() / cells;
        state.counters["rss_growth_MB"] = (residentKb() - before) / 1024.0;
        state.counters["sheet_MB"] = c->Sheet().memoryUsage() / (1024.0 * 1024.0);
        c->Free();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * Rows);
}
BENCHMARK(BM_FillThroughTCell5)->Arg(0)->Arg(1)->ArgNames({"numbers"})->Unit(benchmark::kMillisecond)->Iterations(2);

struct Filled {
    TCell5* cell = filledCell(true);
    ~Filled() { cell->Free(); }
};

Filled& filled()
{
    static Filled f;
    return f;
}

void BM_WriteXls(benchmark::State& state)
{
    const sheet::Sheet& s = filled().cell->Sheet();
    QTemporaryDir dir;
    for (auto _ : state) {
        QString error;
        if (!sheet::XlsWriter::write(s, dir.filePath("bench.xls"), &error))
            state.SkipWithError(error.toUtf8().constData());
    }
    state.SetItemsProcessed(state.iterations() * s.rowCount());
}
BENCHMARK(BM_WriteXls)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WriteXlsxThroughSheet(benchmark::State& state)
{
    const sheet::Sheet& s = filled().cell->Sheet();
    QTemporaryDir dir;
    for (auto _ : state) {
        QString error;
        if (!sheet::XlsxWriter::write(s, dir.filePath("bench.xlsx"), &error))
            state.SkipWithError(error.toUtf8().constData());
    }
    state.SetItemsProcessed(state.iterations() * s.rowCount());
}
BENCHMARK(BM_WriteXlsxThroughSheet)->Unit(benchmark::kMillisecond)->Iterations(3);

// The export sheet as a PDF (A4 landscape as the template sets it): painting page by
// page through Qt's PDF writer, then the text map rewritten on the way to the file.
void BM_ExportPdf(benchmark::State& state)
{
    const sheet::Sheet& s = filled().cell->Sheet();
    QTemporaryDir dir;
    for (auto _ : state) {
        QString error;
        if (!sheet::SheetPrinter(s).exportPdf(dir.filePath("bench.pdf"), &error))
            state.SkipWithError(error.toUtf8().constData());
    }
    state.counters["pages"] = sheet::SheetPrinter(s).paginate(sheet::SheetPrinter::pageLayout(s.pageSetup()), 600).pageCount();
    state.counters["file_KB_per_page"] = QFileInfo(dir.filePath("bench.pdf")).size() / 1024.0 / state.counters["pages"];
    state.SetItemsProcessed(state.iterations() * s.rowCount());
}
BENCHMARK(BM_ExportPdf)->Unit(benchmark::kMillisecond)->Iterations(2);

// The same values written straight into libxlsxwriter, one format per kind of cell: the
// floor for any .xlsx export of this sheet.
void BM_WriteXlsxLibxlsxwriterDirect(benchmark::State& state)
{
    const sheet::Sheet& s = filled().cell->Sheet();
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath("direct.xlsx"));
    for (auto _ : state) {
        lxw_workbook* book = workbook_new(path.constData());
        lxw_worksheet* ws = workbook_add_worksheet(book, nullptr);
        lxw_format* amount = workbook_add_format(book);
        format_set_num_format(amount, "#,##0.00");
        format_set_border(amount, LXW_BORDER_THIN);
        lxw_format* text = workbook_add_format(book);
        format_set_border(text, LXW_BORDER_THIN);
        for (int r = 1; r <= s.rowCount(); ++r)
            for (int c = 1; c <= s.columnCount(); ++c) {
                const auto row = static_cast<lxw_row_t>(r - 1);
                const auto col = static_cast<lxw_col_t>(c - 1);
                if (s.kind(c, r) == sheet::CellKind::Text)
                    worksheet_write_string(ws, row, col, s.text(c, r).toUtf8().constData(), text);
                else if (s.kind(c, r) == sheet::CellKind::Number)
                    worksheet_write_number(ws, row, col, s.number(c, r), amount);
            }
        if (workbook_close(book) != LXW_NO_ERROR)
            state.SkipWithError("libxlsxwriter failed");
    }
    state.SetItemsProcessed(state.iterations() * s.rowCount());
}
BENCHMARK(BM_WriteXlsxLibxlsxwriterDirect)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
