#include "print/untReportFill.h"

#include "common/untDataBase.h"
#include "plugin/untDefConnection.h"
#include "print/CELL50Lib_TLB.h"
#include "print/untReportTemplate.h"

#include <QFileInfo>
#include <QWidget>
#include <array>
#include <cmath>

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
constexpr int AmountAlign = 34;
constexpr int TotalNameAlign = 36;
constexpr int UnitNameAlign = 32;
constexpr int TotalStyle = 2;
constexpr int UnitStyle = 0;
constexpr double SplitThreshold = 0.001;

// Decimal digits of a magnitude rounded to two places, half away from zero. The value is
// first taken to 15 significant digits, so 1.005 (stored a hair below) rounds as written.
QString RoundedDigits(double magnitude)
{
    const QString sci = QString::number(magnitude, 'e', 14); // d.dddddddddddddde±XX
    const int ePos = int(sci.indexOf('e'));
    const QString mantissa = sci.left(1) + sci.mid(2, ePos - 2);
    const int exponent = sci.mid(ePos + 1).toInt();
    // Digits of the value times 100, integer part only, with the next digit for rounding.
    const int integerDigits = exponent + 1 + 2;
    QString whole;
    int next = 0;
    if (integerDigits <= 0) {
        whole = "0";
        next = integerDigits == 0 ? mantissa[0].digitValue() : 0;
    } else if (integerDigits >= mantissa.size()) {
        whole = mantissa + QString(integerDigits - mantissa.size(), '0');
    } else {
        whole = mantissa.left(integerDigits);
        next = mantissa[integerDigits].digitValue();
    }
    if (next >= 5) { // carry through the digits
        int i = int(whole.size()) - 1;
        while (i >= 0 && whole[i] == '9')
            whole[i--] = '0';
        if (i < 0)
            whole.prepend('1');
        else
            whole[i] = QChar(whole[i].unicode() + 1);
    }
    while (whole.size() < 3)
        whole.prepend('0');
    return whole; // at least "0dd": integer digits then two decimals
}

QString GroupThousands(const QString& digits, const QString& separator)
{
    QString out;
    const int n = int(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += separator;
        out += digits[i];
    }
    return out;
}

void WriteAmount(TCell5& sheet, int column, int row, double value, bool asNumbers, const QLocale& locale)
{
    sheet.SetCellAlign(column, row, 0, AmountAlign);
    if (asNumbers)
        sheet.SetCellNumber(column, row, 0, value);
    else
        sheet.SetCellText(column, row, 0, FormatAmount(value, locale));
}

void StyleRow(TCell5& sheet, int row, bool total)
{
    for (int c = FirstColumn; c <= LastColumn; ++c)
        sheet.SetCellStyle(c, row, 0, total ? TotalStyle : UnitStyle);
    sheet.SetCellAlign(5, row, 0, total ? TotalNameAlign : UnitNameAlign);
}

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

// Sequence numbers and unit marks run on through the whole report: a unit's first row carries
// its number, mark, code and name; its further rows leave those cells alone.
class TRowWriter {
public:
    TRowWriter(TCell5& sheet, const TSpecialAccounts& special, bool asNumbers)
        : FSheet(sheet), FSpecial(special), FAsNumbers(asNumbers)
    {
    }

    void Write(const TDetailRow& row)
    {
        FSheet.SetRowCount(FSheet.GetRowCount(0) + 1, 0);
        const int r = FSheet.GetRowCount(0) - 1;
        FSheet.SetCellText(3, r, 0, row.issecret);
        if (row.eid != FPrevious || row.eid.isEmpty())
            WriteUnitHead(row, r);
        const std::array<const QString*, 6> texts{&row.lei, &row.kuan, &row.xiang, &row.bname, &row.iid, &row.iname};
        for (size_t k = 0; k < texts.size(); ++k)
            FSheet.SetCellText(6 + int(k), r, 0, *texts[k]);
        WriteAmount(FSheet, 12, r, row.summ, FAsNumbers, FLocale);
        const std::array<double, 6> splits{row.dnjb, row.dnxm, row.dnqt, row.jyjb, row.jyxm, row.jyqt};
        for (size_t k = 0; k < splits.size(); ++k)
            if (splits[k] > SplitThreshold)
                WriteAmount(FSheet, 13 + int(k), r, splits[k], FAsNumbers, FLocale);
        StyleRow(FSheet, r, row.eid.isEmpty());
        FSheet.SetRowHeight(1, FSheet.GetRowFitHeight(r), r, 0);
    }

private:
    void WriteUnitHead(const TDetailRow& row, int r)
    {
        FPrevious = row.eid;
        QString mark;
        if (!row.eid.isEmpty()) {
            FSheet.SetCellText(2, r, 0, QString::number(FCounter++));
            if (FSpecial.IsSpecialAccount(row.eid))
                mark = "*";
        }
        FSheet.SetCellText(4, r, 0, mark + row.eid);
        FSheet.SetCellText(5, r, 0, row.ename);
    }

    TCell5& FSheet;
    const TSpecialAccounts& FSpecial;
    const bool FAsNumbers;
    const QLocale FLocale = QLocale::system();   // read once per report, not per cell
    int FCounter = 1;
    QString FPrevious;
};

// A template that reads but lacks what the report needs (one cut short at a line end, or
// one made for another report) is refused before any row is written.
void CheckReportTemplate(TCell5& sheet, const QString& path)
{
    const QString shortfall = ReportTemplateShortfall(sheet.Sheet());
    if (shortfall.isEmpty())
        return;
    sheet.SetRowCount(0, 0);   // no half template on screen
    throw TExceptReport("报表模板文件" + path + "不能用于指标明细表：" + shortfall + "！");
}

void LoadTemplate(TCell5& sheet, const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        throw TExceptReport("报表模板文件" + path + "不存在或无法读取！");
    if (sheet.OpenSheetFile(path, QString()) != 1)
        throw TExceptReport("报表模板文件" + path + "无法打开：" + sheet.LastError());
    CheckReportTemplate(sheet, path);
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

QString FormatAmount(double value, const QLocale& locale)
{
    if (!std::isfinite(value))
        return QString::number(value);
    const QString digits = RoundedDigits(std::fabs(value));
    const QString integerPart = digits.left(digits.size() - 2);
    QString text = GroupThousands(integerPart, locale.groupSeparator()) + locale.decimalPoint() + digits.right(2);
    // A value that rounds to zero shows no sign.
    const bool zero = digits.count('0') == digits.size();
    return value < 0 && !zero ? "-" + text : text;
}

TDetailRow ReadDetailRow(const TDataSet& query)
{
    TDetailRow row;
    auto text = [&](const char* name) { return query.FieldByName(name)->AsString(); };
    auto amount = [&](const char* name) { return query.FieldByName(name)->AsFloat(); };
    row.issecret = text("issecret");
    row.eid = text("eid");
    row.ename = text("ename");
    row.lei = text("lei");
    row.kuan = text("kuan");
    row.xiang = text("xiang");
    row.bname = text("bname");
    row.iid = text("iid");
    row.iname = text("iname");
    row.summ = amount("summ");
    row.dnjb = amount("dnjb");
    row.dnxm = amount("dnxm");
    row.dnqt = amount("dnqt");
    row.jyjb = amount("jyjb");
    row.jyxm = amount("jyxm");
    row.jyqt = amount("jyqt");
    return row;
}

int WriteDetailRows(TCell5& sheet, TDataSet& query, const TSpecialAccounts& special, bool asNumbers,
                    TReportProgress* progress)
{
    TSheetPaintPause pause(sheet);
    TProgressScope scope(progress, query.RecordCount());
    TRowWriter writer(sheet, special, asNumbers);
    int written = 0;
    for (query.First(); !query.Eof(); query.Next()) {
        if (progress)
            progress->Step();
        writer.Write(ReadDetailRow(query));
        ++written;
    }
    sheet.DeleteRows(7, 1, 0);
    return written;
}

void FillSheet(TCell5& sheet, const TReportSelection& selection, const QString& fundCode, bool asNumbers,
               TReportProgress* progress)
{
    LoadTemplate(sheet, selection.TemplateFolder + TemplateFileName(fundCode));
    if (!KeepTemplateWidths(fundCode, IsDeptLogin(), selection.FEidPrefix, LoginUnitCode()))
        for (const TColumnWidth& w : ReducedWidths)
            sheet.SetColumnWidth(1, w.Width, w.Column, 0);
    sheet.SetWorkbookReadonly(true);
    sheet.SetCellText(2, 1, 0, selection.FTitle);
    sheet.SetCellText(6, 2, 0, selection.FSubTitle);
    sheet.SetCellText(6, 3, 0, QString::number(selection.Year) + "年预算构成");

    // The fund code picks the template and the fund condition of the statement alike.
    TReportSelection statement = selection;
    statement.FundCode = fundCode;
    IARQueryPtr query;
    if (!OpenDefQuery(BuildDetailSql(statement), query))
        throw TExceptReport("提取指标明细数据失败：" + LastDefQueryError());
    if (query->Query()->RecordCount() == 0)
        return;
    TSpecialAccounts special;
    special.Load(selection.FEidPrefix);
    WriteDetailRows(sheet, *query->Query(), special, asNumbers, progress);
}
