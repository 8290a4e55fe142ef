#include "platform/SysUtils.h"

QString ExceptionMessage(const std::exception& e)
{
    if (auto* ex = dynamic_cast<const Exception*>(&e))
        return ex->Message();
    return QString::fromUtf8(e.what());
}

QString Format(const QString& format, const QStringList& args)
{
    QString out;
    out.reserve(format.size() + 32);
    int next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'%' && i + 1 < format.size()) {
            const QChar specifier = format.at(i + 1);
            if (specifier == u'%') {
                out += u'%';
                ++i;
                continue;
            }
            if (specifier == u's' || specifier == u'S' || specifier == u'd') {
                if (next < args.size())
                    out += args.at(next);
                ++next;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QString Trim(const QString& s)
{
    qsizetype first = 0;
    qsizetype last = s.size() - 1;
    while (first <= last && s.at(first).unicode() <= 0x20)
        ++first;
    while (last >= first && s.at(last).unicode() <= 0x20)
        --last;
    return s.mid(first, last - first + 1);
}

bool TryStrToInt(const QString& s, int& value)
{
    bool ok = false;
    const int v = Trim(s).toInt(&ok);
    if (ok)
        value = v;
    return ok;
}

int StrToInt(const QString& s)
{
    int v = 0;
    if (!TryStrToInt(s, v))
        throw EConvertError(Format(QStringLiteral("'%s' is not a valid integer value"), s));
    return v;
}

QString SqlEscape(const QString& value)
{
    QString out = value;
    out.replace(u'\'', QStringLiteral("''"));
    return out;
}

QString QuotedStr(const QString& value)
{
    return u'\'' + SqlEscape(value) + u'\'';
}
