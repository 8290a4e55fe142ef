#include "sheet/XlsxWriter.h"

#include <QFile>
#include <QHash>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <xlsxwriter.h>

#include "sheet/PageText.h"
#include "files/StagedFile.h"

namespace sheet {

namespace {

std::uint8_t borderStyle(BorderLine line)
{
    switch (line) {
    case BorderLine::None:
        return LXW_BORDER_NONE;
    case BorderLine::Thin:
        return LXW_BORDER_THIN;
    case BorderLine::Medium:
        return LXW_BORDER_MEDIUM;
    case BorderLine::Thick:
        return LXW_BORDER_THICK;
    }
    return LXW_BORDER_NONE;
}

lxw_format* makeFormat(lxw_workbook* book, const Sheet& sheet, const CellFormat& f)
{
    lxw_format* x = workbook_add_format(book);
    const FontSpec font = sheet.effectiveFont(f);
    format_set_font_name(x, font.family.toUtf8().constData());
    format_set_font_size(x, font.pointSize);
    format_set_font_charset(x, 134); // GB2312
    if (font.bold)
        format_set_bold(x);
    if (font.italic)
        format_set_italic(x);
    if (font.underline)
        format_set_underline(x, LXW_UNDERLINE_SINGLE);
    if (f.align & AlignLeft)
        format_set_align(x, LXW_ALIGN_LEFT);
    else if (f.align & AlignCenter)
        format_set_align(x, LXW_ALIGN_CENTER);
    else if (f.align & AlignRight)
        format_set_align(x, LXW_ALIGN_RIGHT);
    if (f.align & AlignTop)
        format_set_align(x, LXW_ALIGN_VERTICAL_TOP);
    else if (f.align & AlignBottom)
        format_set_align(x, LXW_ALIGN_VERTICAL_BOTTOM);
    else
        format_set_align(x, LXW_ALIGN_VERTICAL_CENTER);
    if (f.wrap)
        format_set_text_wrap(x);
    format_set_left(x, borderStyle(f.border[SideLeft]));
    format_set_top(x, borderStyle(f.border[SideTop]));
    format_set_right(x, borderStyle(f.border[SideRight]));
    format_set_bottom(x, borderStyle(f.border[SideBottom]));
    const std::uint32_t fill = f.fill ? f.fill : (f.style == StyleEmphasis ? EmphasisFill : 0);
    if (fill) {
        format_set_pattern(x, LXW_PATTERN_SOLID);
        format_set_bg_color(x, fill & 0xFFFFFF);
    }
    if (f.number == NumberFormat::Amount)
        format_set_num_format(x, "#,##0.00");
    else if (f.number == NumberFormat::Integer)
        format_set_num_format(x, "0");
    return x;
}

bool check(lxw_error code, const QString& path, QString* error)
{
    if (code == LXW_NO_ERROR)
        return true;
    if (error)
        *error = QStringLiteral("写入文件“%1”失败：%2").arg(path, QString::fromUtf8(lxw_strerror(code)));
    return false;
}

// The errors of workbook_close that come from a failed file operation: the library
// reports them by its own code only, while errno still holds the system's reason
// (a full disk, the size limit, a read-only file system, ...).
bool failsOnTheFile(lxw_error code)
{
    switch (code) {
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return true;
    default:
        return false;
    }
}

bool writeWorkbook(const Sheet& sheet, const QString& stagingPath, const QString& folder, const QString& path,
                   QString* error)
{
    const QByteArray file = QFile::encodeName(stagingPath);
    QByteArray tmp = QFile::encodeName(folder);
    lxw_workbook_options options{};
    options.tmpdir = tmp.data();
    options.use_zip64 = 1;
    lxw_workbook* book = workbook_new_opt(file.constData(), &options);
    if (!book) {
        if (error)
            *error = QStringLiteral("无法创建文件“%1”").arg(path);
        return false;
    }
    lxw_worksheet* ws = workbook_add_worksheet(book, "Sheet1");
    std::vector<lxw_format*> formats;
    formats.reserve(static_cast<std::size_t>(sheet.formatCount()));
    for (int i = 0; i < sheet.formatCount(); ++i)
        formats.push_back(makeFormat(book, sheet, sheet.format(i)));

    const PageSetup& p = sheet.pageSetup();
    worksheet_set_paper(ws, p.paper == Paper::A3 ? 8 : 9);
    if (p.orientation == Orientation::Landscape)
        worksheet_set_landscape(ws);
    worksheet_set_margins(ws, p.marginLeftMm / 25.4, p.marginRightMm / 25.4, p.marginTopMm / 25.4,
                          p.marginBottomMm / 25.4);
    worksheet_center_horizontally(ws);
    worksheet_fit_to_pages(ws, 1, 0);
    if (const int frozen = std::min(sheet.frozenRows(), sheet.rowCount()); frozen > 0)
        worksheet_freeze_panes(ws, static_cast<lxw_row_t>(frozen), 0);
    const QByteArray footer = PageText::excelFooter(p.textLeft, p.textMiddle, p.textRight).left(255).toUtf8();
    bool ok = footer.isEmpty() || check(worksheet_set_footer(ws, footer.constData()), path, error);
    if (ok && p.headingFirstRow > 0)
        ok = check(worksheet_repeat_rows(ws, static_cast<lxw_row_t>(p.headingFirstRow - 1),
                                         static_cast<lxw_row_t>(p.headingLastRow - 1)),
                   path, error);
    for (int c = 1; ok && c <= sheet.columnCount(); ++c) {
        lxw_row_col_options hidden{};
        hidden.hidden = sheet.columnWidth(c) == 0 ? 1 : 0;
        ok = check(worksheet_set_column_pixels_opt(ws, static_cast<lxw_col_t>(c - 1), static_cast<lxw_col_t>(c - 1),
                                                   static_cast<std::uint32_t>(sheet.columnWidth(c)), nullptr,
                                                   &hidden),
                   path, error);
    }
    // Merges first: merging writes blanks over the range, the cells then take their values.
    for (const CellRange& m : sheet.merges()) {
        if (!ok)
            break;
        if (m.firstRow == m.lastRow && m.firstCol == m.lastCol)
            continue; // a one-cell range merges nothing, and libxlsxwriter refuses it
        ok = check(worksheet_merge_range(ws, static_cast<lxw_row_t>(m.firstRow - 1),
                                         static_cast<lxw_col_t>(m.firstCol - 1), static_cast<lxw_row_t>(m.lastRow - 1),
                                         static_cast<lxw_col_t>(m.lastCol - 1), "",
                                         formats[static_cast<std::size_t>(sheet.formatIndex(m.firstCol, m.firstRow))]),
                   path, error);
    }
    for (int r = 1; ok && r <= sheet.rowCount(); ++r) {
        const auto row = static_cast<lxw_row_t>(r - 1);
        ok = check(worksheet_set_row_pixels(ws, row, static_cast<std::uint32_t>(sheet.rowHeight(r)), nullptr), path,
                   error);
        for (int c = 1; ok && c <= sheet.columnCount(); ++c) {
            const auto col = static_cast<lxw_col_t>(c - 1);
            const int fi = sheet.formatIndex(c, r);
            lxw_format* f = formats[static_cast<std::size_t>(fi)];
            switch (sheet.kind(c, r)) {
            case CellKind::Text:
                ok = check(worksheet_write_string(ws, row, col, sheet.text(c, r).left(32767).toUtf8().constData(), f),
                           path, error);
                break;
            case CellKind::Number:
                ok = check(worksheet_write_number(ws, row, col, sheet.number(c, r), f), path, error);
                break;
            case CellKind::Empty:
                if (fi != 0 && !sheet.mergeAt(c, r))
                    ok = check(worksheet_write_blank(ws, row, col, f), path, error);
                break;
            }
        }
    }
    // Closing writes the file and frees the workbook, also after an error above.
    errno = 0;
    const lxw_error closed = workbook_close(book);
    const int systemCode = errno;
    if (!ok)
        return false;
    if (closed != LXW_NO_ERROR && systemCode != 0 && failsOnTheFile(closed)) {
        if (error)
            *error = QStringLiteral("写入文件“%1”失败：%2").arg(path, QString::fromLocal8Bit(std::strerror(systemCode)));
        return false;
    }
    return check(closed, path, error);
}

} // namespace

bool XlsxWriter::write(const Sheet& sheet, const QString& path, QString* error)
{
    StagedFile staged(path);
    if (!staged.prepare(error))
        return false;
    const QString folder = staged.stagingPath().section(QLatin1Char('/'), 0, -2);
    if (!writeWorkbook(sheet, staged.stagingPath(), folder, path, error))
        return false;
    return staged.commit(error);
}

} // namespace sheet
