#include "sheet/PageText.h"

namespace sheet {

QString PageText::expand(const QString& text, int number, int count)
{
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
            const QChar code = text[i + 1].toUpper();
            if (code == QLatin1Char('S')) {
                out += QString::number(count);
                ++i;
                continue;
            }
            if (code == QLatin1Char('P')) {
                out += QString::number(number);
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

QString PageText::toExcel(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            const QChar code = i + 1 < text.size() ? text[i + 1].toUpper() : QChar();
            if (code == QLatin1Char('S')) {
                out += QStringLiteral("&N");
                ++i;
                continue;
            }
            if (code == QLatin1Char('P')) {
                out += QStringLiteral("&P");
                ++i;
                continue;
            }
            out += QStringLiteral("&&");
            continue;
        }
        out += text[i];
    }
    return out;
}

QString PageText::excelFooter(const QString& left, const QString& middle, const QString& right)
{
    QString out;
    if (!left.isEmpty())
        out += QStringLiteral("&L") + toExcel(left);
    if (!middle.isEmpty())
        out += QStringLiteral("&C") + toExcel(middle);
    if (!right.isEmpty())
        out += QStringLiteral("&R") + toExcel(right);
    return out;
}

} // namespace sheet
