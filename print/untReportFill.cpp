#include "print/untReportFill.h"

#include "common/untDataBase.h"
#include "plugin/untDefConnection.h"
#include "print/CELL50Lib_TLB.h"
#include "print/untPartWriter.h"
#include "print/untReportTemplate.h"
#include "sheet/Sheet.h"
#include "sheet/SheetError.h"
#include "sheet/SheetFonts.h"
#include "sheet/TemplateReader.h"

#include <QFileInfo>
#include <QHash>
#include <QWidget>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace {

const QString StateCapitalTemplate = QStringLiteral("指标明细表_国有资本cll5.cll");
const QString OtherTemplate = QStringLiteral("指标明细表_非国有资本cll5.cll");

// Column widths of the split amounts on the general template when they are not kept.
struct TColumnWidth {
    int Column;
    int Width;
};
constexpr std::array<TColumnWidth, 6> ReducedWidths{
    {{13, 112}, {14, 112}, {15, 0}, {16, 112}, {17, 112}, {18, 1}}};

constexpr int FirstColumn = 1;
constexpr int LastColumn = ReportColumns;
constexpr int NameColumn = 5;
constexpr int AmountAlign = 34;
constexpr int TotalNameAlign = 36;
constexpr int UnitNameAlign = 32;
constexpr int TotalStyle = 2;
constexpr int UnitStyle = 0;
constexpr double SplitThreshold = 0.001;

// ------------------------------------------------------------------ amounts

// A magnitude's first 15 significant digits and its decimal exponent.
struct TSignificant {
    std::array<char, 15> Digits{};
    int Exponent = 0;
};

// Up to here the digits come from the standard library's conversion, above it from Qt's,
// the one the pattern was first written with. Both round the exact binary value to the
// nearest; they could part only on an exact tie at the sixteenth digit, and below 1e12 such
// a tie never changes the digit that rounds the cents.
constexpr double StandardDigitsBelow = 1e12;

TSignificant SignificantDigits(double magnitude)
{
    std::array<char, 48> buffer{};
    const char* end = buffer.data();
    QByteArray qtText;
    if (magnitude < StandardDigitsBelow) {
        end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude, std::chars_format::scientific, 14)
                  .ptr;
    } else {
        qtText = QString::number(magnitude, 'e', 14).toLatin1();
        std::copy(qtText.cbegin(), qtText.cend(), buffer.begin());
        end = buffer.data() + qtText.size();
    }
    // d.dddddddddddddde±XX
    TSignificant s;
    s.Digits[0] = buffer[0];
    std::copy(buffer.begin() + 2, buffer.begin() + 16, s.Digits.begin() + 1);
    const char* exponent = buffer.data() + 17;
    const bool negative = *exponent == '-';
    std::from_chars(exponent + 1, end, s.Exponent);
    if (negative)
        s.Exponent = -s.Exponent;
    return s;
}

// Most amounts are whole cents, give or take the binary error: their digits come straight
// from the integer, the same digits as CentDigits gives. Below 1e12 the product with 100
// is within 0.011 of the exact one, so a product within 0.001 of a whole number N means a
// magnitude within 0.012 cents of N cents, whose 15 significant digits round to N cents
// either way. Anything else (a half cent, say) goes the long way.
bool WholeCentDigits(double magnitude, std::string& digits)
{
    if (!(magnitude < StandardDigitsBelow))
        return false;
    const double cents = magnitude * 100;
    const double nearest = std::nearbyint(cents);
    if (std::fabs(cents - nearest) >= 1e-3)
        return false;
    std::array<char, 24> buffer{};
    const char* end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), static_cast<quint64>(nearest)).ptr;
    const size_t count = size_t(end - buffer.data());
    digits.assign(count < 3 ? 3 - count : 0, '0');
    digits.append(buffer.data(), count);
    return true;
}

// The digits of the magnitude times 100, rounded half up at the digit after them: the
// integer digits then two decimals, at least three digits in all.
std::string CentDigits(double magnitude)
{
    const TSignificant s = SignificantDigits(magnitude);
    const int integerDigits = s.Exponent + 1 + 2;
    const int count = int(s.Digits.size());
    std::string whole;
    int next = 0;
    if (integerDigits <= 0) {
        whole = "0";
        next = integerDigits == 0 ? s.Digits[0] - '0' : 0;
    } else if (integerDigits >= count) {
        whole.assign(s.Digits.data(), s.Digits.size());
        whole.append(size_t(integerDigits - count), '0');
    } else {
        whole.assign(s.Digits.data(), size_t(integerDigits));
        next = s.Digits[size_t(integerDigits)] - '0';
    }
    if (next >= 5) { // carry through the digits
        int i = int(whole.size()) - 1;
        while (i >= 0 && whole[size_t(i)] == '9')
            whole[size_t(i--)] = '0';
        if (i < 0)
            whole.insert(whole.begin(), '1');
        else
            ++whole[size_t(i)];
    }
    if (whole.size() < 3)
        whole.insert(0, 3 - whole.size(), '0');
    return whole;
}

// ------------------------------------------------------------------ writing rows

// Finish follows Start whatever happens while rows are written.
class TProgressScope {
public:
    TProgressScope(TReportProgress* progress, int max) : FProgress(progress)
    {
        if (FProgress)
            FProgress->Start(max);
    }
    ~TProgressScope()
    {
        if (FProgress)
            FProgress->Finish();
    }
    TProgressScope(const TProgressScope&) = delete;
    TProgressScope& operator=(const TProgressScope&) = delete;

private:
    TReportProgress* FProgress;
};

// The sheet on screen is painted once, when its rows are all written. Otherwise every
// written cell asks the view for a repaint (each request walks up to the window: about
// a tenth of a large report's time), and each repaint of the progress bar paints the
// sheet along with it.
class TSheetPaintPause {
public:
    explicit TSheetPaintPause(TCell5& sheet) : FView(sheet.Widget())
    {
        FPaused = FView && FView->updatesEnabled();
        if (FPaused)
            FView->setUpdatesEnabled(false);
    }
    ~TSheetPaintPause()
    {
        if (FPaused)
            FView->setUpdatesEnabled(true);   // repaints the whole view once
    }
    TSheetPaintPause(const TSheetPaintPause&) = delete;
    TSheetPaintPause& operator=(const TSheetPaintPause&) = delete;

private:
    QWidget* FView;
    bool FPaused = false;
};

// The filling rules, row after row, whatever writes the cells. Sequence numbers and unit
// marks run on through the whole report: a unit's first row carries its number, mark, code
// and name; its further rows leave those cells alone.
template <class TSink>
class TRowRules {
public:
    TRowRules(TSink& sink, const TSpecialAccounts& special) : FSink(sink), FSpecial(special) {}

    void Write(const TDetailRow& row)
    {
        const int r = FSink.AppendRow();
        FSink.Text(3, r, row.issecret);
        if (row.eid != FPrevious || row.eid.isEmpty())
            WriteUnitHead(row, r);
        const std::array<const QString*, 6> texts{&row.lei, &row.kuan, &row.xiang, &row.bname, &row.iid, &row.iname};
        for (size_t k = 0; k < texts.size(); ++k)
            FSink.Text(6 + int(k), r, *texts[k]);
        FSink.Amount(12, r, row.summ);
        const std::array<double, 6> splits{row.dnjb, row.dnxm, row.dnqt, row.jyjb, row.jyxm, row.jyqt};
        for (size_t k = 0; k < splits.size(); ++k)
            if (splits[k] > SplitThreshold)
                FSink.Amount(13 + int(k), r, splits[k]);
        FSink.Look(r, row.eid.isEmpty());
        FSink.FitHeight(r);
    }

private:
    void WriteUnitHead(const TDetailRow& row, int r)
    {
        FPrevious = row.eid;
        QString mark;
        if (!row.eid.isEmpty()) {
            FSink.Text(2, r, QString::number(FCounter++));
            if (FSpecial.IsSpecialAccount(row.eid))
                mark = "*";
        }
        FSink.Text(4, r, mark + row.eid);
        FSink.Text(NameColumn, r, row.ename);
    }

    TSink& FSink;
    const TSpecialAccounts& FSpecial;
    int FCounter = 1;
    QString FPrevious;
};

// Rows written through the control's operations, one call per cell.
class TCallSink {
public:
    TCallSink(TCell5& cell, bool asNumbers) : FCell(cell), FAsNumbers(asNumbers) {}

    // The control's rows come one call at a time, as AppendRow makes them.
    void Expect(int /*rows*/) {}
    int AppendRow()
    {
        FCell.SetRowCount(FCell.GetRowCount(0) + 1, 0);
        return FCell.GetRowCount(0) - 1;
    }
    void Text(int col, int row, const QString& text) { FCell.SetCellText(col, row, 0, text); }
    void Amount(int col, int row, double value)
    {
        FCell.SetCellAlign(col, row, 0, AmountAlign);
        if (FAsNumbers)
            FCell.SetCellNumber(col, row, 0, value);
        else
            FCell.SetCellText(col, row, 0, FFormat(value));
    }
    void Look(int row, bool total)
    {
        for (int c = FirstColumn; c <= LastColumn; ++c)
            FCell.SetCellStyle(c, row, 0, total ? TotalStyle : UnitStyle);
        FCell.SetCellAlign(NameColumn, row, 0, total ? TotalNameAlign : UnitNameAlign);
    }
    void FitHeight(int row) { FCell.SetRowHeight(1, FCell.GetRowFitHeight(row), row, 0); }
    void Finish() { FCell.DeleteRows(ReportSpareRow, 1, 0); }

private:
    TCell5& FCell;
    const bool FAsNumbers;
    const TAmountFormat FFormat;   // the user's separators, read once per report
};

// Rows written straight into a sheet model, as the control's calls leave them: a new row
// starts with the formats of the row above it (the spare row for the first), an amount
// written takes alignment 34, every column of the row takes the row's style and the unit
// name its alignment, and the row's height fits its cells. The format that one change makes
// of a format is kept, and so is the height of each cell value, since a report repeats most
// of its texts.
class TModelSink {
public:
    TModelSink(sheet::Sheet& sheet, bool asNumbers)
        : FSheet(sheet), FFonts(sheet), FAsNumbers(asNumbers), FFormats(size_t(LastColumn) + 1, 0),
          FCells(size_t(LastColumn) + 1), FNext(sheet.rowCount() + 1)
    {
        for (int c = FirstColumn; c <= LastColumn && sheet.rowCount() > 0; ++c)
            FFormats[size_t(c)] = sheet.formatIndex(c, sheet.rowCount());
    }

    // Room for `rows` more rows. New rows take the last row's formats and height, as one row
    // at a time would; every row written then sets its own.
    void Expect(int rows)
    {
        if (FNext - 1 + rows > FSheet.rowCount())
            FSheet.setRowCount(FNext - 1 + rows);
    }

    int AppendRow()
    {
        if (FNext > FSheet.rowCount())
            FSheet.setRowCount(FNext);
        for (TCell& cell : FCells)
            cell = TCell();
        return FNext++;
    }
    void Text(int col, int row, const QString& text)
    {
        FSheet.setText(col, row, text);
        Keep(col, text.isEmpty() ? sheet::CellKind::Empty : sheet::CellKind::Text, text);
    }
    void Amount(int col, int row, double value)
    {
        if (FAsNumbers) {
            FSheet.setNumber(col, row, value);
            Keep(col, sheet::CellKind::Number, QString());
        } else {
            Text(col, row, FFormat(value));
        }
        FCells[size_t(col)].Amount = true;
    }
    void Look(int row, bool total)
    {
        for (int c = FirstColumn; c <= LastColumn; ++c) {
            int format = FFormats[size_t(c)];
            if (FCells[size_t(c)].Amount)
                format = Changed(format, AlignAmount);
            format = Changed(format, total ? StyleTotal : StyleUnit);
            if (c == NameColumn)
                format = Changed(format, total ? AlignTotalName : AlignUnitName);
            FFormats[size_t(c)] = format;
            FSheet.setFormatIndex(c, row, format);
        }
    }
    void FitHeight(int row)
    {
        double height = sheet::Sheet::DefaultRowHeight;
        for (int c = FirstColumn; c <= LastColumn; ++c)
            if (FCells[size_t(c)].Kind != sheet::CellKind::Empty)
                height = std::max(height, CellHeight(c, row));
        FSheet.setRowHeight(row, int(std::ceil(height)));
    }
    void Finish() { FSheet.deleteRows(ReportSpareRow, 1); }

private:
    enum Change { AlignAmount, AlignTotalName, AlignUnitName, StyleTotal, StyleUnit, ChangeCount };

    // What the current row holds in a column.
    struct TCell {
        sheet::CellKind Kind = sheet::CellKind::Empty;
        QString Text;
        bool Amount = false;
    };

    // A cell's value as far as its height depends on it: the column (its width), the format
    // and the text (by the sheet's key for it). A one-line cell whose format does not wrap,
    // and a number, are one line high whatever they say.
    struct THeightKey {
        int Col;
        int Format;
        std::uint32_t Text;
        bool operator==(const THeightKey&) const = default;
    };
    friend size_t qHash(const THeightKey& k, size_t seed) { return qHashMulti(seed, k.Col, k.Format, k.Text); }

    void Keep(int col, sheet::CellKind kind, const QString& text)
    {
        TCell& cell = FCells[size_t(col)];
        cell.Kind = kind;
        cell.Text = text;
    }

    int Changed(int format, Change change)
    {
        const size_t slot = size_t(format) * ChangeCount + change;
        if (slot >= FChanges.size())
            FChanges.resize(size_t(FSheet.formatCount()) * ChangeCount, -1);
        if (FChanges[slot] < 0) {
            sheet::CellFormat f = FSheet.format(format);
            switch (change) {
            case AlignAmount: f.align = AmountAlign; break;
            case AlignTotalName: f.align = TotalNameAlign; break;
            case AlignUnitName: f.align = UnitNameAlign; break;
            case StyleTotal: f.style = TotalStyle; break;
            case StyleUnit: f.style = UnitStyle; break;
            case ChangeCount: break;
            }
            const int changed = FSheet.addFormat(f);
            if (size_t(FSheet.formatCount()) * ChangeCount > FChanges.size())
                FChanges.resize(size_t(FSheet.formatCount()) * ChangeCount, -1);
            FChanges[slot] = changed;
        }
        return FChanges[slot];
    }

    double CellHeight(int col, int row)
    {
        const TCell& cell = FCells[size_t(col)];
        const int format = FFormats[size_t(col)];
        const bool oneLine = cell.Kind == sheet::CellKind::Number ||
                             (!FSheet.format(format).wrap && !cell.Text.contains(QLatin1Char('\n')));
        const THeightKey key{col, format, oneLine ? 0 : FSheet.textKey(col, row)};
        const auto known = FHeights.constFind(key);
        if (known != FHeights.cend())
            return known.value();
        const double height = FFonts.cellFitHeight(col, row);
        FHeights.insert(key, height);
        return height;
    }

    sheet::Sheet& FSheet;
    sheet::SheetFonts FFonts;
    const bool FAsNumbers;
    const TAmountFormat FFormat;
    std::vector<int> FFormats;   // by column: the formats of the row last written
    std::vector<TCell> FCells;   // by column: what the current row holds
    std::vector<int> FChanges;   // format × change: the changed format, -1 until needed
    QHash<THeightKey, double> FHeights;
    int FNext;
};

template <class TSink>
void WriteRows(TRowRules<TSink>& rules, TDataSet& rows, TReportProgress* progress)
{
    const TDetailRowReader reader(rows);
    TDetailRow row;
    for (rows.First(); !rows.Eof(); rows.Next()) {
        if (progress)
            progress->Step();
        reader.Read(row);
        rules.Write(row);
    }
}

// Every row of an open query, under one progress run; the number written.
template <class TSink>
int WriteWholeRows(TSink& sink, TDataSet& query, const TSpecialAccounts& special, TReportProgress* progress)
{
    TProgressScope scope(progress, query.RecordCount());
    sink.Expect(query.RecordCount());
    TRowRules<TSink> rules(sink, special);
    WriteRows(rules, query, progress);
    sink.Finish();
    return query.RecordCount();
}

// The statement's rows into the sheet model, part after part on the writer's thread, under
// one progress run.
class TSheetParts : public TPartSink {
public:
    TSheetParts(sheet::Sheet& sheet, const TSpecialAccounts& special, bool asNumbers, TReportProgress* progress)
        : FSheet(sheet), FSpecial(special), FAsNumbers(asNumbers), FProgress(progress)
    {
    }

    void Write(TDataSet& rows, bool first, bool last) override
    {
        if (first) {
            FScope.emplace(FProgress, last ? rows.RecordCount() : -1);
            FSink.emplace(FSheet, FAsNumbers);
            FRules.emplace(*FSink, FSpecial);
        }
        FSink->Expect(rows.RecordCount());
        WriteRows(*FRules, rows, FProgress);
        if (last)
            FSink->Finish();
    }
    void Stopped() noexcept override
    {
        FRules.reset();
        FSink.reset();
        FScope.reset();
    }

private:
    sheet::Sheet& FSheet;
    const TSpecialAccounts& FSpecial;
    const bool FAsNumbers;
    TReportProgress* const FProgress;
    std::optional<TProgressScope> FScope;
    std::optional<TModelSink> FSink;
    std::optional<TRowRules<TModelSink>> FRules;
};

// ------------------------------------------------------------------ template

// A template that reads but lacks what the report needs (one cut short at a line end, or
// one made for another report) is refused before any row is written.
sheet::Sheet ReadTemplate(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        throw TExceptReport("报表模板文件" + path + "不存在或无法读取！");
    sheet::Sheet sheet;
    try {
        sheet = sheet::TemplateReader::read(path);
    } catch (const sheet::SheetError& e) {
        throw TExceptReport("报表模板文件" + path + "无法打开：" + e.message());
    }
    const QString shortfall = ReportTemplateShortfall(sheet);
    if (!shortfall.isEmpty())
        throw TExceptReport("报表模板文件" + path + "不能用于指标明细表：" + shortfall + "！");
    return sheet;
}

} // namespace

void TSpecialAccounts::Load(const QString& eidPrefix)
{
    FCodes.clear();
    const QString sql = "select eid from pubdept where specialaccount='是' and eid like '" + SqlEscape(eidPrefix) + "%'";
    IARQueryPtr query;
    if (!OpenDefQuery(sql, query))
        throw TExceptReport("查询专户单位失败：" + LastDefQueryError());
    TARQuery* rows = query->Query();
    for (rows->First(); !rows->Eof(); rows->Next())
        FCodes.insert(rows->FieldByName("eid")->AsString());
}

QString FundLabel(const QString& fundCode)
{
    if (fundCode == "11")
        return "一般预算资金";
    if (fundCode == "12")
        return "政府性基金";
    if (fundCode == "21")
        return "财政专户管理资金";
    if (fundCode == "31")
        return "国有资本经营预算资金";
    return QString();
}

void BuildTitles(TReportSelection& selection)
{
    selection.FSubTitle = "（按部门" + selection.BTypeText + "核定）";
    selection.FTitle = selection.FUnitName + QString::number(selection.Year) + "年国库集中支付改革" +
                       FundLabel(selection.FundCode) + "指标表";
}

QString TemplateFileName(const QString& fundCode)
{
    return fundCode == "31" ? StateCapitalTemplate : OtherTemplate;
}

bool KeepTemplateWidths(const QString& fundCode, bool deptLogin, const QString& eidPrefix, const QString& loginCode)
{
    if (fundCode == "31")
        return true;
    return fundCode == "11" && deptLogin && (eidPrefix == loginCode || eidPrefix == loginCode.left(3));
}

TAmountFormat::TAmountFormat(const QLocale& locale) : FGroup(locale.groupSeparator()), FDecimal(locale.decimalPoint())
{
}

QString TAmountFormat::operator()(double value) const
{
    if (!std::isfinite(value))
        return QString::number(value);
    const double magnitude = std::fabs(value);
    std::string digits;
    if (!WholeCentDigits(magnitude, digits))
        digits = CentDigits(magnitude);
    const qsizetype integers = qsizetype(digits.size()) - 2;
    // A value that rounds to zero shows no sign.
    const bool minus = value < 0 && digits.find_first_not_of('0') != std::string::npos;
    QString text(qsizetype(minus) + integers + (integers - 1) / 3 * FGroup.size() + FDecimal.size() + 2,
                 Qt::Uninitialized);
    QChar* out = text.data();
    auto put = [&out](const QString& part) { out = std::copy(part.cbegin(), part.cend(), out); };
    if (minus)
        *out++ = QLatin1Char('-');
    for (qsizetype i = 0; i < integers; ++i) {
        if (i > 0 && (integers - i) % 3 == 0)
            put(FGroup);
        *out++ = QLatin1Char(digits[size_t(i)]);
    }
    put(FDecimal);
    *out++ = QLatin1Char(digits[size_t(integers)]);
    *out++ = QLatin1Char(digits[size_t(integers) + 1]);
    return text;
}

QString FormatAmount(double value, const QLocale& locale)
{
    return TAmountFormat(locale)(value);
}

TDetailRowReader::TDetailRowReader(const TDataSet& query)
{
    static const std::array<const char*, 9> texts{"issecret", "eid",   "ename", "lei",  "kuan",
                                                  "xiang",    "bname", "iid",   "iname"};
    static const std::array<const char*, 7> amounts{"summ", "dnjb", "dnxm", "dnqt", "jyjb", "jyxm", "jyqt"};
    for (size_t k = 0; k < texts.size(); ++k)
        FTexts[k] = query.FieldByName(texts[k]);
    for (size_t k = 0; k < amounts.size(); ++k)
        FAmounts[k] = query.FieldByName(amounts[k]);
}

void TDetailRowReader::Read(TDetailRow& row) const
{
    const std::array<QString*, 9> texts{&row.issecret, &row.eid,   &row.ename, &row.lei,  &row.kuan,
                                        &row.xiang,    &row.bname, &row.iid,   &row.iname};
    const std::array<double*, 7> amounts{&row.summ, &row.dnjb, &row.dnxm, &row.dnqt, &row.jyjb, &row.jyxm, &row.jyqt};
    for (size_t k = 0; k < texts.size(); ++k)
        *texts[k] = FTexts[k]->AsString();
    for (size_t k = 0; k < amounts.size(); ++k)
        *amounts[k] = FAmounts[k]->AsFloat();
}

TDetailRow ReadDetailRow(const TDataSet& query)
{
    TDetailRow row;
    TDetailRowReader(query).Read(row);
    return row;
}

int WriteDetailRows(TCell5& sheet, TDataSet& query, const TSpecialAccounts& special, bool asNumbers,
                    TReportProgress* progress)
{
    TSheetPaintPause pause(sheet);
    TCallSink sink(sheet, asNumbers);
    return WriteWholeRows(sink, query, special, progress);
}

int WriteDetailRows(sheet::Sheet& sheet, TDataSet& query, const TSpecialAccounts& special, bool asNumbers,
                    TReportProgress* progress)
{
    TModelSink sink(sheet, asNumbers);
    return WriteWholeRows(sink, query, special, progress);
}

namespace {

// The fund's template with its widths and titles.
sheet::Sheet TitledTemplate(const TReportSelection& selection, const QString& fundCode)
{
    sheet::Sheet sheet = ReadTemplate(selection.TemplateFolder + TemplateFileName(fundCode));
    if (!KeepTemplateWidths(fundCode, IsDeptLogin(), selection.FEidPrefix, LoginUnitCode()))
        for (const TColumnWidth& w : ReducedWidths)
            sheet.setColumnWidth(w.Column, w.Width);
    sheet.setReadOnly(true);
    sheet.setText(2, 1, selection.FTitle);
    sheet.setText(6, 2, selection.FSubTitle);
    sheet.setText(6, 3, QString::number(selection.Year) + "年预算构成");
    return sheet;
}

void WriteReportRows(sheet::Sheet& sheet, const TReportSelection& selection, const QString& fundCode, bool asNumbers,
                     TReportProgress* progress, int partRows)
{
    // The fund code picks the template and the fund condition of the statement alike.
    TReportSelection statement = selection;
    statement.FundCode = fundCode;
    // Read first: while the statement's rows are read it may hold the connection.
    TSpecialAccounts special;
    special.Load(selection.FEidPrefix);
    // The template's spare row goes once rows are written under it.
    const int templateRows = sheet.rowCount();
    TSheetParts parts(sheet, special, asNumbers, progress);
    TPartWriter writer(parts);
    int records = 0;
    QString refusal;   // once refused, rows are only counted
    const auto count = [&](const TRowCount& counted) {
        if (progress)
            if (QString answer = progress->Counted(counted); !answer.isEmpty())
                refusal = std::move(answer);
    };
    const auto take = [&](const TDataSet& fields, TRowPart&& part) {
        records += int(part.Rows);
        count({records, templateRows - 1 + records, part.Last});
        return !refusal.isEmpty() || writer.Give(fields, std::move(part));
    };
    if (!ReadDefQueryInParts(BuildDetailSql(statement), partRows, take))
        throw TExceptReport("提取指标明细数据失败：" + LastDefQueryError());
    if (records == 0)
        count({0, templateRows, true});
    if (!refusal.isEmpty())
        throw TExceptReport(refusal);
    writer.Finish();
}

} // namespace

sheet::Sheet BuildReportSheet(const TReportSelection& selection, const QString& fundCode, bool asNumbers,
                              TReportProgress* progress, int partRows)
{
    sheet::Sheet sheet = TitledTemplate(selection, fundCode);
    WriteReportRows(sheet, selection, fundCode, asNumbers, progress, partRows);
    return sheet;
}

void ShowNoReportRows(TCell5& cell, const TReportSelection& selection, const QString& fundCode)
{
    try {
        cell.SetSheet(TitledTemplate(selection, fundCode));
    } catch (...) {
        cell.SetSheet(sheet::Sheet());
    }
}

void FillSheet(TCell5& sheet, const TReportSelection& selection, const QString& fundCode, bool asNumbers,
               TReportProgress* progress)
{
    try {
        sheet.SetSheet(BuildReportSheet(selection, fundCode, asNumbers, progress));
    } catch (...) {
        ShowNoReportRows(sheet, selection, fundCode);
        throw;
    }
}
