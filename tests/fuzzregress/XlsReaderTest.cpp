// The .xls reader of the fuzz round trip, proven against xlrd (a real reader of Excel
// 97-2003 files): workbooks our writer produced, and one built record by record with
// the cell records our writer never uses (RK, MULRK, inline LABEL, a shared string cut
// across a CONTINUE record). Damaged files end in an error naming the file.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "sheet/CompoundFile.h"
#include "sheet/LittleEndian.h"
#include "sheet/SheetError.h"
#include "tests/support/XlsReader.h"
#include "sheet/XlsWriter.h"

using namespace sheet;

namespace {

// xlrd's view of sheet 0 as JSON: cells "r,c" (from 0) → [kind, value]; with formats,
// also merges (ends exclusive), column widths and hidden flags, row heights in twips.
const char* const XlrdScript = R"PY(
import json, sys, xlrd
formats = sys.argv[2] == "formats"
book = xlrd.open_workbook(sys.argv[1], formatting_info=formats)
sheet = book.sheet_by_index(0)
cells = {}
for r in range(sheet.nrows):
    for c in range(sheet.ncols):
        cell = sheet.cell(r, c)
        if cell.ctype == xlrd.XL_CELL_TEXT:
            cells["%d,%d" % (r, c)] = ["text", cell.value]
        elif cell.ctype == xlrd.XL_CELL_NUMBER:
            cells["%d,%d" % (r, c)] = ["number", cell.value]
out = {"name": sheet.name, "cells": cells}
if formats:
    out["merges"] = [list(m) for m in sheet.merged_cells]
    out["columns"] = {str(c): [i.width, bool(i.hidden)] for c, i in sheet.colinfo_map.items()}
    out["rows"] = {str(r): [i.height, bool(i.hidden)] for r, i in sheet.rowinfo_map.items()}
json.dump(out, sys.stdout, ensure_ascii=False)
)PY";

QJsonObject ReadWithXlrd(const QString& path, bool formats)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"), QString::fromUtf8(XlrdScript), path, formats ? QStringLiteral("formats") : QString(QStringLiteral("plain"))});
    EXPECT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

void ExpectSameCells(const XlsWorksheet& ours, const QJsonObject& xlrd)
{
    const QJsonObject cells = xlrd.value(QStringLiteral("cells")).toObject();
    std::size_t valued = 0;
    for (const auto& [address, value] : ours.cells)
        valued += value.kind != CellKind::Empty ? 1 : 0;
    EXPECT_EQ(valued, static_cast<std::size_t>(cells.size()));
    for (auto it = cells.begin(); it != cells.end(); ++it) {
        const QStringList rc = it.key().split(u',');
        const XlsValue* v = ours.value(rc[1].toInt() + 1, rc[0].toInt() + 1);
        ASSERT_NE(v, nullptr) << "cell " << it.key().toStdString();
        const QJsonArray expected = it.value().toArray();
        if (expected[0].toString() == QLatin1String("text")) {
            EXPECT_EQ(v->kind, CellKind::Text) << it.key().toStdString();
            EXPECT_EQ(v->text, expected[1].toString()) << it.key().toStdString();
        } else {
            EXPECT_EQ(v->kind, CellKind::Number) << it.key().toStdString();
            EXPECT_EQ(v->number, expected[1].toDouble()) << it.key().toStdString();
        }
    }
}

void ExpectSameLayout(const XlsWorksheet& ours, const QJsonObject& xlrd)
{
    std::vector<CellRange> merges;
    for (const QJsonValue& m : xlrd.value(QStringLiteral("merges")).toArray()) {
        const QJsonArray a = m.toArray(); // rlo, rhi, clo, chi with exclusive ends
        merges.push_back({a[2].toInt() + 1, a[0].toInt() + 1, a[3].toInt(), a[1].toInt()});
    }
    EXPECT_EQ(ours.merges, merges);
    const QJsonObject columns = xlrd.value(QStringLiteral("columns")).toObject();
    EXPECT_EQ(ours.columnWidths.size(), static_cast<std::size_t>(columns.size()));
    for (auto it = columns.begin(); it != columns.end(); ++it) {
        const QJsonArray c = it.value().toArray();
        const int expected = c[1].toBool() ? 0 : XlsReader::pixelsOfWidthUnits(unsigned(c[0].toInt()));
        EXPECT_EQ(ours.columnWidths.at(it.key().toInt() + 1), expected) << "column " << it.key().toStdString();
    }
    const QJsonObject rows = xlrd.value(QStringLiteral("rows")).toObject();
    EXPECT_EQ(ours.rowHeights.size(), static_cast<std::size_t>(rows.size()));
    for (auto it = rows.begin(); it != rows.end(); ++it) {
        const QJsonArray r = it.value().toArray();
        const int expected = r[1].toBool() ? 0 : XlsReader::pixelsOfTwips(unsigned(r[0].toInt()));
        EXPECT_EQ(ours.rowHeights.at(it.key().toInt() + 1), expected) << "row " << it.key().toStdString();
    }
}

// Sheets our writer turns into workbooks, each stressing one part of the format.
struct WrittenCase {
    const char* label;
    Sheet (*build)();
};

Sheet SmallMixedSheet()
{
    Sheet s;
    s.reset(4, 5);
    s.setText(1, 1, QStringLiteral("指标明细表"));
    s.setText(2, 1, QStringLiteral("Budget \"quoted\" 'text'"));
    s.setNumber(3, 2, 1234567.89);
    s.setNumber(4, 2, -0.5);
    s.setText(1, 3, QStringLiteral("指标明细表")); // the same string shared by two cells
    s.addMerge({1, 4, 3, 5});
    s.setColumnWidth(2, 0);
    s.setColumnWidth(3, 10);
    s.setColumnWidth(4, 300);
    s.setRowHeight(2, 0);
    s.setRowHeight(3, 60);
    return s;
}

Sheet LongTextsSheet()
{
    // Texts long enough that the shared string table continues over several records.
    Sheet s;
    s.reset(3, 6);
    for (int r = 1; r <= 6; ++r)
        for (int c = 1; c <= 3; ++c) {
            QString t;
            for (int i = 0; i < 2000 * r + 37 * c; ++i)
                t += QChar(char16_t(0x4E00 + (i * 7 + r * 131 + c) % 0x5000));
            s.setText(c, r, t);
        }
    return s;
}

Sheet ManyRowsSheet()
{
    Sheet s;
    s.reset(18, 400);
    for (int r = 1; r <= 400; ++r) {
        s.setText(1, r, QStringLiteral("单位%1").arg(r % 37));
        for (int c = 2; c <= 18; ++c)
            s.setNumber(c, r, r * 1000.25 + c);
    }
    return s;
}

class XlsReaderMatchesXlrd : public ::testing::TestWithParam<WrittenCase> {};

TEST_P(XlsReaderMatchesXlrd, OnWorkbooksOurWriterWrote)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("book.xls"));
    const Sheet sheet = GetParam().build();
    QString error;
    ASSERT_TRUE(XlsWriter::write(sheet, path, &error)) << error.toStdString();

    const std::vector<XlsWorksheet> ours = XlsReader::readFile(path);
    ASSERT_EQ(ours.size(), 1u);
    const QJsonObject xlrd = ReadWithXlrd(path, true);
    EXPECT_EQ(ours[0].name, xlrd.value(QStringLiteral("name")).toString());
    ExpectSameCells(ours[0], xlrd);
    ExpectSameLayout(ours[0], xlrd);
}

INSTANTIATE_TEST_SUITE_P(Workbooks, XlsReaderMatchesXlrd,
                         ::testing::Values(WrittenCase{"small", SmallMixedSheet}, WrittenCase{"long", LongTextsSheet},
                                           WrittenCase{"rows", ManyRowsSheet}),
                         [](const auto& testCase) { return std::string(testCase.param.label); });

// ---------------------------------------------------------------------------------
// A workbook built record by record.

void Record(QByteArray& out, unsigned type, const QByteArray& data)
{
    le::u16(out, type);
    le::u16(out, static_cast<unsigned>(data.size()));
    out.append(data);
}

QByteArray Bof(unsigned kind)
{
    QByteArray d;
    for (unsigned v : {0x0600u, kind, 0x0DBBu, 0x07CCu})
        le::u16(d, v);
    le::u32(d, 0);
    le::u32(d, 6);
    return d;
}

QByteArray CellHead(unsigned row, unsigned col)
{
    QByteArray d;
    le::u16(d, row);
    le::u16(d, col);
    le::u16(d, 0); // the one XF record
    return d;
}

// RK, MULRK, NUMBER, LABEL (8-bit and UTF-16) and a shared string whose characters
// go on in a CONTINUE record, switching from 8-bit to UTF-16 there.
QByteArray HandBuiltWorkbook()
{
    QByteArray stream;
    Record(stream, 0x0809, Bof(0x0005));
    // One font and one cell format: readers look a cell's format up to tell dates.
    QByteArray font;
    for (unsigned v : {200u, 0u, 0x7FFFu, 400u, 0u})
        le::u16(font, v);
    le::u32(font, 0);
    le::u8(font, 5);
    le::u8(font, 0);
    font.append("Arial");
    Record(stream, 0x0031, font);
    QByteArray xf;
    le::u16(xf, 0);
    le::u16(xf, 0);
    le::u16(xf, 0x0001);
    xf.append(14, '\0');
    Record(stream, 0x00E0, xf);
    QByteArray sheetEntry;
    le::u32(sheetEntry, 0);
    le::u16(sheetEntry, 0);
    le::u8(sheetEntry, 5);
    le::u8(sheetEntry, 0);
    sheetEntry.append("Hand1");
    const qsizetype offsetAt = stream.size() + 4;
    Record(stream, 0x0085, sheetEntry);
    QByteArray sst;
    le::u32(sst, 2);
    le::u32(sst, 2);
    le::u16(sst, 3);
    le::u8(sst, 0);
    sst.append("abc");
    le::u16(sst, 6);
    le::u8(sst, 0);
    sst.append("xyz");
    Record(stream, 0x00FC, sst);
    QByteArray more;
    le::u8(more, 1); // the rest of "xyz…" in UTF-16
    le::utf16(more, QStringLiteral("预算数"));
    Record(stream, 0x003C, more);
    Record(stream, 0x000A, {});
    le::put32(stream, offsetAt, static_cast<std::uint32_t>(stream.size()));

    Record(stream, 0x0809, Bof(0x0010));
    QByteArray d = CellHead(0, 0);
    le::u32(d, 0);
    Record(stream, 0x00FD, d); // LABELSST "abc"
    d = CellHead(0, 1);
    le::u32(d, 1);
    Record(stream, 0x00FD, d); // LABELSST "xyz预算数"
    d = CellHead(1, 0);
    le::u32(d, (12345u << 2) | 0x02 | 0x01); // integer RK over 100: 123.45
    Record(stream, 0x027E, d);
    d = CellHead(1, 1);
    le::u32(d, static_cast<std::uint32_t>(-7 * 4) | 0x02); // negative integer RK
    Record(stream, 0x027E, d);
    d.clear();
    le::u16(d, 2);
    le::u16(d, 1);
    le::u16(d, 0);
    le::u32(d, 0x3FF00000); // 1.0 as the high bits of a double
    le::u16(d, 0);
    le::u32(d, (5u << 2) | 0x02);
    le::u16(d, 2);
    Record(stream, 0x00BD, d); // MULRK over columns 1-2 of row 2
    d = CellHead(3, 3);
    le::f64(d, -2.5e-7);
    Record(stream, 0x0203, d);
    d = CellHead(4, 0);
    le::u16(d, 5);
    le::u8(d, 0);
    d.append("plain");
    Record(stream, 0x0204, d); // LABEL, 8-bit
    d = CellHead(4, 2);
    le::u16(d, 2);
    le::u8(d, 1);
    le::utf16(d, QStringLiteral("汉字"));
    Record(stream, 0x0204, d); // LABEL, UTF-16
    Record(stream, 0x000A, {});
    return CompoundFile::build(QStringLiteral("Workbook"), stream);
}

TEST(XlsReaderRecords, ReadsRkMulRkLabelAndContinuedStringsAsXlrdDoes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("hand.xls"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(HandBuiltWorkbook());
    file.close();

    const std::vector<XlsWorksheet> ours = XlsReader::readFile(path);
    ASSERT_EQ(ours.size(), 1u);
    const QJsonObject xlrd = ReadWithXlrd(path, false);
    EXPECT_EQ(ours[0].name, QStringLiteral("Hand1"));
    EXPECT_EQ(xlrd.value(QStringLiteral("cells")).toObject().size(), 9);
    ExpectSameCells(ours[0], xlrd);
}

// ---------------------------------------------------------------------------------
// Damaged files.

struct DamagedCase {
    const char* label;
    QByteArray (*bytes)();
};

QByteArray WrittenBook()
{
    return XlsWriter::build(SmallMixedSheet());
}

class XlsReaderDamaged : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(XlsReaderDamaged, EndsInAnErrorNamingTheFile)
{
    try {
        XlsReader::read(GetParam().bytes(), QStringLiteral("损坏.xls"));
        FAIL() << "no error for " << GetParam().label;
    } catch (const SheetError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("损坏.xls"))) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, XlsReaderDamaged,
    ::testing::Values(
        DamagedCase{"empty", [] { return QByteArray(); }},
        DamagedCase{"text", [] { return QByteArray("name,amount\n单位,1\n").repeated(40); }},
        DamagedCase{"truncated_header", [] { return WrittenBook().left(300); }},
        DamagedCase{"truncated_stream", [] { return WrittenBook().left(1536); }},
        DamagedCase{"fat_in_a_loop",
                    [] {
                        QByteArray b = WrittenBook();
                        const qsizetype fat = (qsizetype(b[0x4C] & 0xFF) + 1) * 512;
                        le::put32(b, fat, 0); // sector 0 follows itself
                        return b;
                    }},
        DamagedCase{"sheet_offset_beyond_stream",
                    [] {
                        QByteArray b = HandBuiltWorkbook();
                        const qsizetype at = b.indexOf(QByteArray("\x85\x00", 2)) + 4;
                        le::put32(b, at, 0x7FFFFFF0);
                        return b;
                    }},
        DamagedCase{"shared_string_index_out_of_range", [] {
                        QByteArray b = HandBuiltWorkbook();
                        const qsizetype at = b.indexOf(QByteArray("\xFD\x00\x0A\x00", 4));
                        le::put32(b, at + 4 + 6, 99);
                        return b;
                    }}),
    [](const auto& testCase) { return std::string(testCase.param.label); });

} // namespace
