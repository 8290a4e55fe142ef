#include "platform/ADOConnectionString.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace {

bool HasPrefix(const QString& text, QLatin1StringView prefix)
{
    return text.startsWith(prefix, Qt::CaseInsensitive);
}

bool IsPostgresUrl(const QString& text)
{
    return HasPrefix(text, "postgresql://"_L1) || HasPrefix(text, "postgres://"_L1);
}

// The value of `key` in an ODBC "k=v;k={v;v};..." string, braces removed.
QString OdbcValue(const QString& text, const QString& key)
{
    const QRegularExpression re(u"(?:^|;)\\s*"_s + QRegularExpression::escape(key) + u"\\s*=\\s*(\\{[^}]*\\}|[^;]*)"_s,
                                QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return {};
    QString value = m.captured(1).trimmed();
    if (value.startsWith(u'{') && value.endsWith(u'}'))
        value = value.mid(1, value.size() - 2);
    return value;
}

TADOConnectionParams ParseSqlite(const QString& text)
{
    TADOConnectionParams p;
    p.Driver = u"QSQLITE"_s;
    QString path = text.mid(7);   // after "sqlite:"
    if (path.startsWith(u"//"_s))
        path = path.mid(2);        // sqlite:///abs/path
    p.DatabaseName = path;
    p.ImpliedProvider = u"SQLite"_s;
    return p;
}

TADOConnectionParams ParsePostgres(const QString& text, QString* error)
{
    const QUrl url(text, QUrl::StrictMode);
    TADOConnectionParams p;
    if (!url.isValid() || url.host().isEmpty()) {
        if (error)
            *error = u"PostgreSQL URL is not valid: "_s + url.errorString();
        return p;
    }
    p.Driver = u"QPSQL"_s;
    p.HostName = url.host();
    p.Port = url.port(5432);
    p.UserName = url.userName(QUrl::FullyDecoded);
    p.Password = url.password(QUrl::FullyDecoded);
    p.DatabaseName = url.path(QUrl::FullyDecoded).mid(1);
    QStringList options;
    bool hasTimeout = false;
    for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        options << key + u"="_s + value;
        hasTimeout = hasTimeout || key == u"connect_timeout"_s;
    }
    // An unreachable server must fail in reasonable time, not hang the window.
    if (!hasTimeout)
        options << u"connect_timeout=10"_s;
    p.ConnectOptions = options.join(u';');
    p.ImpliedProvider = u"PostgreSQL"_s;
    return p;
}

TADOConnectionParams ParseOdbc(const QString& text)
{
    TADOConnectionParams p;
    p.Driver = u"QODBC"_s;
    p.DatabaseName = text;
    p.ImpliedProvider = OdbcValue(text, u"Provider"_s);
    if (p.ImpliedProvider.isEmpty())
        p.ImpliedProvider = OdbcValue(text, u"Driver"_s);
    return p;
}

} // namespace

TADOConnectionParams ParseConnectionString(const QString& connectionString, QString* error)
{
    const QString text = connectionString.trimmed();
    if (text.isEmpty()) {
        if (error)
            *error = u"the connection string is empty"_s;
        return {};
    }
    if (HasPrefix(text, "sqlite:"_L1)) {
        if (text.size() == 7) {
            if (error)
                *error = u"the SQLite connection string names no file"_s;
            return {};
        }
        return ParseSqlite(text);
    }
    if (IsPostgresUrl(text))
        return ParsePostgres(text, error);
    return ParseOdbc(text);
}

QString HidePassword(const QString& connectionString)
{
    const QString text = connectionString.trimmed();
    if (IsPostgresUrl(text)) {
        QUrl url(text);
        if (!url.password().isEmpty())
            url.setPassword(u"***"_s);
        return url.toString();
    }
    QString hidden = text;
    static const QRegularExpression re(u"((?:^|;)\\s*(?:PWD|Password)\\s*=\\s*)(\\{[^}]*\\}|[^;]*)"_s,
                                       QRegularExpression::CaseInsensitiveOption);
    hidden.replace(re, u"\\1***"_s);
    return hidden;
}
