#include "sheet/XlsxWriter.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <xlsxwriter.h>

#include "sheet/PageText.h"
#include "files/StagedFile.h"

namespace sheet {

namespace {

constexpr qsizetype MaxCellText = 32767; // Excel's limit for one cell

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

void setAlignment(lxw_format* x, const CellFormat& f)
{
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
    setAlignment(x, f);
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

// UTF-8 of `text` into `out` (no allocation once `out` is large enough), a lone
// surrogate written as '?' as QString::toUtf8 writes it.
void toUtf8(QStringView text, std::string& out)
{
    out.clear();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(static_cast<char16_t>(c), text[++i].unicode());
        } else if (QChar::isSurrogate(c)) {
            out.push_back('?');
            continue;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
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

// One workbook being written. libxlsxwriter runs in its constant-memory mode: each row
// goes to a temporary file as soon as the next row starts, so a report of 150,000 rows
// costs no more memory than one row. Rows must then come in order, and a cell of a row
// already left cannot be written any more; merges are registered on their last row
// (see mergesEndingOn), texts are written inline rather than in a shared table.
class XlsxBook {
public:
    XlsxBook(const Sheet& sheet, const QString& path) : m_sheet(sheet), m_path(path) {}

    bool open(const QString& stagingPath, const QString& folder)
    {
        const QByteArray file = QFile::encodeName(stagingPath);
        QByteArray tmp = QFile::encodeName(folder);
        lxw_workbook_options options{};
        options.constant_memory = 1;
        options.tmpdir = tmp.data();
        options.use_zip64 = 1;
        m_book = workbook_new_opt(file.constData(), &options);
        if (!m_book) {
            m_error = QStringLiteral("无法创建文件“%1”").arg(m_path);
            return false;
        }
        m_ws = workbook_add_worksheet(m_book, "Sheet1");
        m_formats.reserve(static_cast<std::size_t>(m_sheet.formatCount()));
        for (int i = 0; i < m_sheet.formatCount(); ++i)
            m_formats.push_back(makeFormat(m_book, m_sheet, m_sheet.format(i)));
        return true;
    }

    // Paper, orientation, margins, centring, fit to one page wide, frozen heading rows,
    // the footer and the rows repeated on every printed page.
    void pageSetup()
    {
        const PageSetup& p = m_sheet.pageSetup();
        worksheet_set_paper(m_ws, p.paper == Paper::A3 ? 8 : 9);
        if (p.orientation == Orientation::Landscape)
            worksheet_set_landscape(m_ws);
        worksheet_set_margins(m_ws, p.marginLeftMm / 25.4, p.marginRightMm / 25.4, p.marginTopMm / 25.4,
                              p.marginBottomMm / 25.4);
        worksheet_center_horizontally(m_ws);
        worksheet_fit_to_pages(m_ws, 1, 0);
        if (const int frozen = std::min(m_sheet.frozenRows(), m_sheet.rowCount()); frozen > 0)
            worksheet_freeze_panes(m_ws, static_cast<lxw_row_t>(frozen), 0);
        const QByteArray footer = PageText::excelFooter(p.textLeft, p.textMiddle, p.textRight).left(255).toUtf8();
        if (!footer.isEmpty())
            check(worksheet_set_footer(m_ws, footer.constData()));
        if (p.headingFirstRow > 0)
            check(worksheet_repeat_rows(m_ws, static_cast<lxw_row_t>(p.headingFirstRow - 1),
                                        static_cast<lxw_row_t>(p.headingLastRow - 1)));
    }

    // Widths in pixels; width 0 hides the column.
    void columns()
    {
        for (int c = 1; ok() && c <= m_sheet.columnCount(); ++c) {
            lxw_row_col_options hidden{};
            hidden.hidden = m_sheet.columnWidth(c) == 0 ? 1 : 0;
            const auto col = static_cast<lxw_col_t>(c - 1);
            check(worksheet_set_column_pixels_opt(m_ws, col, col, static_cast<std::uint32_t>(m_sheet.columnWidth(c)),
                                                  nullptr, &hidden));
        }
    }

    void rows()
    {
        std::vector<CellRange> merges = m_sheet.merges();
        std::sort(merges.begin(), merges.end(),
                  [](const CellRange& a, const CellRange& b) { return a.firstRow < b.firstRow; });
        auto next = merges.cbegin();
        for (int r = 1; ok() && r <= m_sheet.rowCount(); ++r) {
            for (; next != merges.cend() && next->firstRow == r; ++next)
                m_open.push_back(*next);
            std::erase_if(m_open, [r](const CellRange& m) { return m.lastRow < r; });
            check(worksheet_set_row_pixels(m_ws, row(r), static_cast<std::uint32_t>(m_sheet.rowHeight(r)), nullptr));
            mergesEndingOn(r);
            for (int c = 1; ok() && c <= m_sheet.columnCount(); ++c)
                cell(c, r);
        }
    }

    // Closes the workbook: libxlsxwriter writes the file and frees the workbook, also
    // after an error above. False with the first error.
    bool close(QString* error)
    {
        if (!m_book) {
            if (error)
                *error = m_error;
            return false;
        }
        errno = 0;
        const lxw_error closed = workbook_close(m_book);
        const int systemCode = errno;
        if (ok() && closed != LXW_NO_ERROR) {
            if (systemCode != 0 && failsOnTheFile(closed))
                m_error = QStringLiteral("写入文件“%1”失败：%2")
                              .arg(m_path, QString::fromLocal8Bit(std::strerror(systemCode)));
            else
                check(closed);
        }
        if (!ok() && error)
            *error = m_error;
        return ok();
    }

private:
    static lxw_row_t row(int r) { return static_cast<lxw_row_t>(r - 1); }
    static lxw_col_t col(int c) { return static_cast<lxw_col_t>(c - 1); }
    bool ok() const { return m_error.isEmpty(); }

    void check(lxw_error code)
    {
        if (code != LXW_NO_ERROR && ok())
            m_error = QStringLiteral("写入文件“%1”失败：%2").arg(m_path, QString::fromUtf8(lxw_strerror(code)));
    }

    // A merge is registered once the writer stands on its last row: there the library
    // takes it (an earlier row would already be written out), drops the blanks it would
    // put into rows already left, and puts its blanks into this row before the row's
    // cells are written over them. The rows above got the same blanks from cell().
    void mergesEndingOn(int r)
    {
        for (const CellRange& m : m_open) {
            if (m.lastRow != r || (m.firstRow == m.lastRow && m.firstCol == m.lastCol))
                continue; // a one-cell range merges nothing, and libxlsxwriter refuses it
            check(worksheet_merge_range(m_ws, row(m.firstRow), col(m.firstCol), row(m.lastRow), col(m.lastCol), "",
                                        format(m_sheet.formatIndex(m.firstCol, m.firstRow))));
        }
    }

    // The cell's value, or a blank that keeps its borders and fill; an empty cell in a
    // merge is a blank in the merge's format.
    void cell(int c, int r)
    {
        const int fi = m_sheet.formatIndex(c, r);
        switch (m_sheet.kind(c, r)) {
        case CellKind::Text:
            toUtf8(m_sheet.textView(c, r).left(MaxCellText), m_utf8);
            check(worksheet_write_string(m_ws, row(r), col(c), m_utf8.c_str(), format(fi)));
            break;
        case CellKind::Number:
            check(worksheet_write_number(m_ws, row(r), col(c), m_sheet.number(c, r), format(fi)));
            break;
        case CellKind::Empty:
            if (const CellRange* m = openMergeAt(c); m && (m->firstRow != m->lastRow || m->firstCol != m->lastCol))
                check(worksheet_write_blank(m_ws, row(r), col(c), format(m_sheet.formatIndex(m->firstCol, m->firstRow))));
            else if (fi != 0)
                check(worksheet_write_blank(m_ws, row(r), col(c), format(fi)));
            break;
        }
    }

    const CellRange* openMergeAt(int c) const
    {
        for (const CellRange& m : m_open)
            if (c >= m.firstCol && c <= m.lastCol)
                return &m;
        return nullptr;
    }

    lxw_format* format(int index) const { return m_formats[static_cast<std::size_t>(index)]; }

    const Sheet& m_sheet;
    const QString m_path;
    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_ws = nullptr;
    std::vector<lxw_format*> m_formats;
    std::vector<CellRange> m_open; // the merges that cover the current row
    std::string m_utf8;
    QString m_error;
};

} // namespace

bool XlsxWriter::write(const Sheet& sheet, const QString& path, QString* error)
{
    StagedFile staged(path);
    if (!staged.prepare(error))
        return false;
    const QString folder = staged.stagingPath().section(QLatin1Char('/'), 0, -2);
    XlsxBook book(sheet, path);
    if (!book.open(staged.stagingPath(), folder)) {
        book.close(error);
        return false;
    }
    book.pageSetup();
    book.columns();
    book.rows();
    if (!book.close(error))
        return false;
    return staged.commit(error);
}

} // namespace sheet
