// Fuzz target: a sheet built from the fuzzer's bytes (texts with CJK and stray UTF-16
// units, numbers of every bit pattern, merges, column widths and row heights, hidden
// ones too) is written as .xls and read back; every value, merge, width and height must
// come back as it was.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>

#include "FuzzInput.h"
#include "sheet/Sheet.h"
#include "sheet/SheetError.h"
#include "tests/support/XlsReader.h"
#include "sheet/XlsWriter.h"

namespace {

// Widths and heights within what the format keeps (about 1,790 pixels wide, 2,180 high).
constexpr int MaxWidth = 1790;
constexpr int MaxHeight = 2180;
constexpr int MaxCellText = 32767;

sheet::Sheet BuildSheet(FuzzInput& in)
{
    sheet::Sheet s;
    s.reset(1 + in.below(24), 1 + in.below(80));
    while (!in.empty()) {
        const int col = 1 + in.below(s.columnCount());
        const int row = 1 + in.below(s.rowCount());
        try {
            switch (in.byte() % 6) {
            case 0: s.setText(col, row, in.text()); break;
            case 1: s.setNumber(col, row, in.f64()); break;
            case 2: s.setColumnWidth(col, in.below(MaxWidth + 1)); break;
            case 3: s.setRowHeight(row, in.below(MaxHeight + 1)); break;
            case 4: s.addMerge({col, row, col + in.below(4), row + in.below(4)}); break;
            default: s.setNumber(col, row, static_cast<double>(static_cast<std::int16_t>(in.u16()))); break;
            }
        } catch (const sheet::SheetError&) {
            // a merge that overlaps another or leaves the sheet: the sheet stays as it was
        }
    }
    return s;
}

bool SameNumber(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// With TALLYLEAF_FUZZ_SAVE_XLS=FOLDER every written workbook is kept there: the seeds
// of the reader's own fuzz target come from this writer.
void SaveWorkbook(const QByteArray& file)
{
    static const QByteArray folder = qgetenv("TALLYLEAF_FUZZ_SAVE_XLS");
    if (folder.isEmpty())
        return;
    QFile out(QString::fromLocal8Bit(folder) + u'/'
              + QString::fromLatin1(QCryptographicHash::hash(file, QCryptographicHash::Sha1).toHex().left(16))
              + QStringLiteral(".xls"));
    if (out.open(QIODevice::WriteOnly))
        out.write(file);
}

void Check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput in(data, size);
    const sheet::Sheet s = BuildSheet(in);
    const QByteArray file = sheet::XlsWriter::build(s, QStringLiteral("报表"));
    SaveWorkbook(file);
    const std::vector<sheet::XlsWorksheet> back = sheet::XlsReader::read(file, QStringLiteral("fuzz.xls"));
    Check(back.size() == 1);
    const sheet::XlsWorksheet& w = back.front();
    Check(w.name == QStringLiteral("报表"));
    for (int row = 1; row <= s.rowCount(); ++row) {
        Check(w.rowHeights.count(row) == 1 && w.rowHeights.at(row) == s.rowHeight(row));
        for (int col = 1; col <= s.columnCount(); ++col) {
            const sheet::XlsValue* v = w.value(col, row);
            switch (s.kind(col, row)) {
            case sheet::CellKind::Text:
                Check(v && v->kind == sheet::CellKind::Text && v->text == s.text(col, row).left(MaxCellText));
                break;
            case sheet::CellKind::Number:
                Check(v && v->kind == sheet::CellKind::Number && SameNumber(v->number, s.number(col, row)));
                break;
            case sheet::CellKind::Empty:
                Check(!v || v->kind == sheet::CellKind::Empty);
                break;
            }
        }
    }
    for (int col = 1; col <= s.columnCount(); ++col)
        Check(w.columnWidths.count(col) == 1 && w.columnWidths.at(col) == s.columnWidth(col));
    Check(w.merges == s.merges());
    Check(w.cells.size() <= static_cast<std::size_t>(s.rowCount()) * static_cast<std::size_t>(s.columnCount()));
    return 0;
}
