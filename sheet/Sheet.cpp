#include "sheet/Sheet.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <cmath>

#include "sheet/SheetError.h"

namespace sheet {

namespace {

QString amountText(double value)
{
    QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(value, 'f', 2);
}

QString generalText(double value)
{
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', 15);
}

// Digits with the grouping and decimal separators of any locale, and a sign.
bool readsAsNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^[-+]?\\d(?:[\\d,.' \\x{00A0}\\x{202F}]*\\d)?$"));
    return number.match(text).hasMatch();
}

std::uint16_t clampLength(int value)
{
    return static_cast<std::uint16_t>(std::clamp(value, 0, 0xFFFF));
}

std::atomic<std::uint64_t> revisionCounter{0};

} // namespace

void Sheet::touch()
{
    m_revision = ++revisionCounter;
}

Sheet::Sheet()
{
    reset(1, 0);
}

void Sheet::reset(int columns, int rows)
{
    if (columns < 1 || columns > MaxColumns)
        throw SheetError(QStringLiteral("列数%1超出范围（1～%2）").arg(columns).arg(MaxColumns));
    if (rows < 0)
        throw SheetError(QStringLiteral("行数%1不能小于0").arg(rows));
    m_columns = columns;
    m_cells.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns), Cell());
    m_numbers.clear();
    m_numbersInUse = 0;
    m_rowHeights.assign(static_cast<std::size_t>(rows), DefaultRowHeight);
    m_columnWidths.assign(static_cast<std::size_t>(columns), DefaultColumnWidth);
    m_merges.clear();
    m_fonts.assign(1, FontSpec());
    m_formats.assign(1, CellFormat());
    m_formatIds.clear();
    m_formatIds.insert(CellFormat(), 0);
    m_texts.clear();
    m_page = PageSetup();
    m_readOnly = false;
    touch();
}

void Sheet::setRowCount(int rows)
{
    if (rows < 0)
        throw SheetError(QStringLiteral("行数%1不能小于0").arg(rows));
    const int old = rowCount();
    if (rows == old)
        return;
    const auto cols = static_cast<std::size_t>(m_columns);
    if (rows < old) {
        dropNumbers(static_cast<std::size_t>(rows) * cols, static_cast<std::size_t>(old - rows) * cols);
        m_cells.resize(static_cast<std::size_t>(rows) * cols);
        compactNumbers();
        m_rowHeights.resize(static_cast<std::size_t>(rows));
        std::erase_if(m_merges, [rows](const CellRange& m) { return m.firstRow > rows; });
        for (CellRange& m : m_merges)
            m.lastRow = std::min(m.lastRow, rows);
        if (m_page.headingFirstRow > rows)
            m_page.headingFirstRow = m_page.headingLastRow = 0;
        m_page.headingLastRow = std::min(m_page.headingLastRow, rows);
        touch();
        return;
    }
    // New rows look like the last row: in a report the spare row below the headings
    // carries the formats of the data rows.
    std::vector<Cell> pattern(cols);
    std::uint16_t height = DefaultRowHeight;
    if (old > 0) {
        for (std::size_t c = 0; c < cols; ++c)
            pattern[c].format = m_cells[(static_cast<std::size_t>(old) - 1) * cols + c].format;
        height = m_rowHeights.back();
    }
    for (int r = old; r < rows; ++r)
        m_cells.insert(m_cells.end(), pattern.begin(), pattern.end());
    m_rowHeights.resize(static_cast<std::size_t>(rows), height);
    touch();
}

void Sheet::deleteRows(int firstRow, int count)
{
    if (count < 0)
        throw SheetError(QStringLiteral("删除的行数%1不能小于0").arg(count));
    if (count == 0)
        return;
    checkRow(firstRow);
    checkRow(firstRow + count - 1);
    const int last = firstRow + count - 1;
    const auto cols = static_cast<std::size_t>(m_columns);
    dropNumbers((static_cast<std::size_t>(firstRow) - 1) * cols, static_cast<std::size_t>(count) * cols);
    const auto begin = m_cells.begin() + static_cast<std::ptrdiff_t>((static_cast<std::size_t>(firstRow) - 1) * cols);
    m_cells.erase(begin, begin + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(count) * cols));
    compactNumbers();
    m_rowHeights.erase(m_rowHeights.begin() + (firstRow - 1), m_rowHeights.begin() + last);

    auto shift = [&](int row) { return row > last ? row - count : row; };
    std::vector<CellRange> kept;
    for (CellRange m : m_merges) {
        // Rows inside the deleted band leave the range; a range entirely inside goes.
        const int removedInside = std::max(0, std::min(m.lastRow, last) - std::max(m.firstRow, firstRow) + 1);
        const int height = m.lastRow - m.firstRow + 1 - removedInside;
        if (height <= 0)
            continue;
        m.firstRow = m.firstRow >= firstRow && m.firstRow <= last ? firstRow : shift(m.firstRow);
        m.lastRow = m.firstRow + height - 1;
        if (m.firstRow != m.lastRow || m.firstCol != m.lastCol)
            kept.push_back(m);
    }
    m_merges = std::move(kept);

    if (m_page.headingFirstRow > 0) {
        const int removedInside = std::max(0, std::min(m_page.headingLastRow, last)
                                                   - std::max(m_page.headingFirstRow, firstRow) + 1);
        const int height = m_page.headingLastRow - m_page.headingFirstRow + 1 - removedInside;
        if (height <= 0) {
            m_page.headingFirstRow = m_page.headingLastRow = 0;
        } else {
            m_page.headingFirstRow = m_page.headingFirstRow >= firstRow && m_page.headingFirstRow <= last
                ? firstRow
                : shift(m_page.headingFirstRow);
            m_page.headingLastRow = m_page.headingFirstRow + height - 1;
        }
    }
    touch();
}

void Sheet::setColumnCount(int columns)
{
    if (columns < 1 || columns > MaxColumns)
        throw SheetError(QStringLiteral("列数%1超出范围（1～%2）").arg(columns).arg(MaxColumns));
    if (columns == m_columns)
        return;
    const auto rows = static_cast<std::size_t>(rowCount());
    std::deque<Cell> cells(rows * static_cast<std::size_t>(columns));
    const int keep = std::min(columns, m_columns);
    for (std::size_t r = 0; r < rows; ++r) {
        for (int c = 0; c < m_columns; ++c) {
            const Cell& old = m_cells[r * static_cast<std::size_t>(m_columns) + static_cast<std::size_t>(c)];
            if (c < keep)
                cells[r * static_cast<std::size_t>(columns) + static_cast<std::size_t>(c)] = old;
            else
                dropNumber(old);
        }
    }
    m_cells = std::move(cells);
    compactNumbers();
    m_columnWidths.resize(static_cast<std::size_t>(columns), DefaultColumnWidth);
    std::erase_if(m_merges, [columns](const CellRange& m) { return m.firstCol > columns; });
    for (CellRange& m : m_merges)
        m.lastCol = std::min(m.lastCol, columns);
    m_columns = columns;
    touch();
}

void Sheet::checkRow(int row) const
{
    if (row < 1 || row > rowCount())
        throw SheetError(QStringLiteral("行号%1超出范围（1～%2）").arg(row).arg(rowCount()));
}

void Sheet::checkColumn(int col) const
{
    if (col < 1 || col > m_columns)
        throw SheetError(QStringLiteral("列号%1超出范围（1～%2）").arg(col).arg(m_columns));
}

void Sheet::checkCell(int col, int row) const
{
    if (col < 1 || col > m_columns || row < 1 || row > rowCount())
        throw SheetError(QStringLiteral("单元格（列%1，行%2）超出表格范围（%3列×%4行）")
                             .arg(col)
                             .arg(row)
                             .arg(m_columns)
                             .arg(rowCount()));
}

const Sheet::Cell& Sheet::cell(int col, int row) const
{
    checkCell(col, row);
    return m_cells[(static_cast<std::size_t>(row) - 1) * static_cast<std::size_t>(m_columns)
                   + static_cast<std::size_t>(col) - 1];
}

Sheet::Cell& Sheet::cellRef(int col, int row)
{
    return const_cast<Cell&>(cell(col, row));
}

QString Sheet::text(int col, int row) const
{
    const Cell& c = cell(col, row);
    return c.kind == CellKind::Text ? m_texts.text(c.value) : QString();
}

QStringView Sheet::textView(int col, int row) const
{
    const Cell& c = cell(col, row);
    return c.kind == CellKind::Text ? m_texts.view(c.value) : QStringView();
}

double Sheet::number(int col, int row) const
{
    const Cell& c = cell(col, row);
    return c.kind == CellKind::Number ? m_numbers[c.value] : 0.0;
}

QString Sheet::displayText(int col, int row) const
{
    const Cell& c = cell(col, row);
    switch (c.kind) {
    case CellKind::Text:
        return m_texts.text(c.value);
    case CellKind::Number:
        switch (format(c.format).number) {
        case NumberFormat::Amount:
            return amountText(m_numbers[c.value]);
        case NumberFormat::Integer:
            return QString::number(std::llround(m_numbers[c.value]));
        case NumberFormat::General:
            return generalText(m_numbers[c.value]);
        }
        break;
    case CellKind::Empty:
        break;
    }
    return {};
}

bool Sheet::isFigure(int col, int row) const
{
    const Cell& c = cell(col, row);
    if (c.kind == CellKind::Number)
        return true;
    return c.kind == CellKind::Text && format(c.format).number != NumberFormat::General
        && readsAsNumber(m_texts.text(c.value));
}

void Sheet::setText(int col, int row, const QString& text)
{
    Cell& c = cellRef(col, row);
    const std::uint32_t id = m_texts.intern(text);
    dropNumber(c);
    c.value = id;
    c.kind = text.isEmpty() ? CellKind::Empty : CellKind::Text;
    touch();
}

std::uint32_t Sheet::textKey(int col, int row) const
{
    const Cell& c = cell(col, row);
    return c.kind == CellKind::Text ? c.value : 0;
}

void Sheet::setNumber(int col, int row, double value)
{
    Cell& c = cellRef(col, row);
    if (c.kind == CellKind::Number) {
        m_numbers[c.value] = value;
    } else {
        compactNumbers(); // c is no number yet, so its place cannot move
        if (m_numbers.size() >= 0xFFFFFFFFu)
            throw SheetError(QStringLiteral("表格的数值超过%1个").arg(0xFFFFFFFFu));
        c.value = static_cast<std::uint32_t>(m_numbers.size());
        c.kind = CellKind::Number;
        m_numbers.push_back(value);
        ++m_numbersInUse;
    }
    touch();
}

void Sheet::clearValue(int col, int row)
{
    Cell& c = cellRef(col, row);
    dropNumber(c);
    c.value = 0;
    c.kind = CellKind::Empty;
    touch();
}

void Sheet::dropNumber(const Cell& c)
{
    if (c.kind == CellKind::Number)
        --m_numbersInUse;
}

void Sheet::dropNumbers(std::size_t firstCell, std::size_t count)
{
    for (std::size_t i = firstCell; i < firstCell + count; ++i)
        dropNumber(m_cells[i]);
}

// Places fall free when a number cell gets a text or goes; once most of them are
// free the numbers move together (the cost is paid once per freed place at most),
// so a sheet rewritten many times stays its size.
void Sheet::compactNumbers()
{
    if (m_numbers.size() <= 2 * m_numbersInUse + 4096)
        return;
    std::deque<double> kept;
    for (Cell& c : m_cells) {
        if (c.kind != CellKind::Number)
            continue;
        kept.push_back(m_numbers[c.value]);
        c.value = static_cast<std::uint32_t>(kept.size() - 1);
    }
    m_numbers = std::move(kept);
}

int Sheet::addFormat(const CellFormat& format)
{
    if (format.font >= m_fonts.size())
        throw SheetError(QStringLiteral("字体%1不存在").arg(format.font));
    auto it = m_formatIds.constFind(format);
    if (it != m_formatIds.constEnd())
        return it.value();
    if (m_formats.size() >= 0xFFFF)
        throw SheetError(QStringLiteral("单元格格式超过%1种").arg(0xFFFF));
    const int id = static_cast<int>(m_formats.size());
    m_formats.push_back(format);
    m_formatIds.insert(format, id);
    return id;
}

void Sheet::setFormatIndex(int col, int row, int index)
{
    if (index < 0 || index >= formatCount())
        throw SheetError(QStringLiteral("单元格格式%1不存在").arg(index));
    cellRef(col, row).format = static_cast<std::uint16_t>(index);
    touch();
}

void Sheet::modifyFormat(int col, int row, void (*change)(CellFormat&, int), int value)
{
    Cell& c = cellRef(col, row);
    CellFormat f = m_formats[c.format];
    change(f, value);
    c.format = static_cast<std::uint16_t>(addFormat(f));
    touch();
}

void Sheet::setAlign(int col, int row, int code)
{
    if (code < 0 || (code & ~AlignAllFlags) != 0)
        throw SheetError(QStringLiteral("对齐方式%1无效").arg(code));
    checkCell(col, row);
    modifyFormat(col, row, [](CellFormat& f, int v) { f.align = static_cast<std::uint8_t>(v); }, code);
}

void Sheet::setStyle(int col, int row, int style)
{
    if (style != StyleNormal && style != StyleEmphasis)
        throw SheetError(QStringLiteral("单元格样式%1无效（可用0或2）").arg(style));
    checkCell(col, row);
    modifyFormat(col, row, [](CellFormat& f, int v) { f.style = static_cast<std::uint8_t>(v); }, style);
}

int Sheet::addFont(const FontSpec& font)
{
    for (std::size_t i = 0; i < m_fonts.size(); ++i)
        if (m_fonts[i] == font)
            return static_cast<int>(i);
    if (m_fonts.size() >= 0x7FFF)
        throw SheetError(QStringLiteral("字体超过%1种").arg(0x7FFF));
    m_fonts.push_back(font);
    return static_cast<int>(m_fonts.size()) - 1;
}

FontSpec Sheet::effectiveFont(const CellFormat& format) const
{
    FontSpec f = font(format.font);
    if (format.style == StyleEmphasis)
        f.bold = true;
    return f;
}

int Sheet::rowHeight(int row) const
{
    checkRow(row);
    return m_rowHeights[static_cast<std::size_t>(row) - 1];
}

void Sheet::setRowHeight(int row, int height)
{
    checkRow(row);
    if (height < 0)
        throw SheetError(QStringLiteral("行高%1无效").arg(height));
    m_rowHeights[static_cast<std::size_t>(row) - 1] = clampLength(std::min(height, MaxRowHeight));
    touch();
}

int Sheet::columnWidth(int col) const
{
    checkColumn(col);
    return m_columnWidths[static_cast<std::size_t>(col) - 1];
}

void Sheet::setColumnWidth(int col, int width)
{
    checkColumn(col);
    if (width < 0 || width > 0xFFFF)
        throw SheetError(QStringLiteral("列宽%1无效").arg(width));
    m_columnWidths[static_cast<std::size_t>(col) - 1] = clampLength(width);
    touch();
}

void Sheet::addMerge(const CellRange& range)
{
    checkCell(range.firstCol, range.firstRow);
    checkCell(range.lastCol, range.lastRow);
    if (range.lastCol < range.firstCol || range.lastRow < range.firstRow)
        throw SheetError(QStringLiteral("合并区域（%1,%2）-（%3,%4）无效")
                             .arg(range.firstCol)
                             .arg(range.firstRow)
                             .arg(range.lastCol)
                             .arg(range.lastRow));
    for (const CellRange& m : m_merges)
        if (m.firstCol <= range.lastCol && m.lastCol >= range.firstCol && m.firstRow <= range.lastRow
            && m.lastRow >= range.firstRow)
            throw SheetError(QStringLiteral("合并区域（%1,%2）-（%3,%4）与已有合并区域重叠")
                                 .arg(range.firstCol)
                                 .arg(range.firstRow)
                                 .arg(range.lastCol)
                                 .arg(range.lastRow));
    m_merges.push_back(range);
    touch();
}

const CellRange* Sheet::mergeAt(int col, int row) const
{
    for (const CellRange& m : m_merges)
        if (m.contains(col, row))
            return &m;
    return nullptr;
}

void Sheet::setHeadingRows(int first, int last)
{
    if (first == 0 && last == 0) {
        m_page.headingFirstRow = m_page.headingLastRow = 0;
        return;
    }
    checkRow(first);
    checkRow(last);
    if (last < first)
        throw SheetError(QStringLiteral("标题行%1-%2无效").arg(first).arg(last));
    m_page.headingFirstRow = first;
    m_page.headingLastRow = last;
    touch();
}

namespace {

// A deque's elements and its map, close enough: the blocks are 512 bytes each.
template <class T>
std::size_t dequeBytes(const std::deque<T>& d)
{
    const std::size_t perBlock = std::max<std::size_t>(1, 512 / sizeof(T));
    const std::size_t blocks = d.size() / perBlock + 1;
    return blocks * (512 + sizeof(void*));
}

} // namespace

std::size_t Sheet::memoryUsage() const
{
    return sizeof(*this) + dequeBytes(m_cells) + dequeBytes(m_numbers) + m_rowHeights.capacity() * sizeof(std::uint16_t)
        + m_columnWidths.capacity() * sizeof(std::uint16_t) + m_merges.capacity() * sizeof(CellRange)
        + m_formats.capacity() * sizeof(CellFormat) * 3 + m_fonts.capacity() * sizeof(FontSpec)
        + m_texts.memoryUsage();
}

} // namespace sheet
