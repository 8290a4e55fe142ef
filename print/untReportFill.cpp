#include "print/untReportFill.h"

#include <cmath>

namespace {

const QString StateCapitalTemplate = QStringLiteral("指标明细表_国有资本cll5.cll");
const QString OtherTemplate = QStringLiteral("指标明细表_非国有资本cll5.cll");

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

} // namespace

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

