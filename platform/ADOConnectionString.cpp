#include "platform/ADOConnectionString.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>

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

// A URL's user info: the user, and the password up to the URL's last '@', so that a
// password typed with '@', ':' or '/' in it is masked whole. The URL ends where printable
// ASCII does (a blank, a quote, the text of the message around it).
const QRegularExpression& UserInfoPattern()
{
    static const QRegularExpression re(
        u"\\b([A-Za-z][A-Za-z0-9+.\\-]*://[^\\s:/?#@\"'<>]*:)([\\x21\\x23-\\x26\\x28-\\x3B\\x3D\\x3F-\\x7E]+)@"_s);
    return re;
}

// password= and pwd= values in any case: braced (ODBC, "}}" for a brace), quoted (libpq),
// or bare up to the next ';' (ODBC), '&' (URL query), blank (libpq), quote, or the end of
// printable ASCII (a message's own text after a connection string it quotes). A value
// already masked stays as it is.
const QRegularExpression& KeyValuePattern()
{
    static const QRegularExpression re(
        u"((?:password|pwd)\\s*=\\s*)(?!\\*\\*\\*)"
        u"(\\{(?:[^}]|\\}\\})*\\}|'(?:[^'\\\\]|\\\\.)*'|\"(?:[^\"\\\\]|\\\\.)*\"|[\\x21\\x23-\\x25\\x28-\\x3A\\x3C-\\x7E]+)"_s,
        QRegularExpression::CaseInsensitiveOption);
    return re;
}

QString PercentDecoded(const QString& text)
{
    return QUrl::fromPercentEncoding(text.toUtf8());
}

// A value without its braces or quotes.
QString Unwrapped(const QString& value)
{
    if (value.size() >= 2 && value.startsWith(u'{') && value.endsWith(u'}'))
        return value.mid(1, value.size() - 2).replace(u"}}"_s, u"}"_s);
    if (value.size() >= 2 && (value.startsWith(u'\'') || value.startsWith(u'"')) && value.back() == value.front()) {
        static const QRegularExpression escaped(u"\\\\(.)"_s);
        return value.mid(1, value.size() - 2).replace(escaped, u"\\1"_s);
    }
    return value;
}

// Every text under which a secret may show in a message, longest first.
QStringList SecretForms(const QStringList& secrets)
{
    QStringList forms;
    for (const QString& secret : secrets) {
        forms << secret << PercentDecoded(secret) << QString::fromLatin1(QUrl::toPercentEncoding(secret))
              << QString::fromLatin1(QUrl::toPercentEncoding(secret, "!$&'()*+,;="));
    }
    forms.removeIf([](const QString& form) { return form.size() < 3; });
    forms.removeDuplicates();
    std::sort(forms.begin(), forms.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    return forms;
}

// Where the password of a URL's user info lies, [from, to): after the first ':' of the
// user info, which runs from "://" to the URL's last '@'. False when there is none.
bool UrlPasswordSpan(const QString& text, qsizetype& from, qsizetype& to)
{
    const qsizetype scheme = text.indexOf(u"://"_s);
    const qsizetype at = text.lastIndexOf(u'@');
    if (scheme < 0 || at < scheme + 3)
        return false;
    const qsizetype colon = text.indexOf(u':', scheme + 3);
    if (colon < 0 || colon > at)
        return false;
    from = colon + 1;
    to = at;
    return true;
}

// The URL with user and password percent-encoded afresh, the user info taken up to the
// last '@': QUrl would end it at the first '/' and take the rest of the password for the
// host and the path.
QString EncodedUserInfoUrl(const QString& text)
{
    const qsizetype start = text.indexOf(u"://"_s) + 3;
    const qsizetype at = text.lastIndexOf(u'@');
    if (start < 3 || at < start)
        return text;
    const auto encode = [](const QString& part) {
        return QString::fromLatin1(QUrl::toPercentEncoding(PercentDecoded(part)));
    };
    qsizetype from = 0;
    qsizetype to = 0;
    if (!UrlPasswordSpan(text, from, to))
        return text.left(start) + encode(text.mid(start, at - start)) + text.mid(at);
    return text.left(start) + encode(text.mid(start, from - 1 - start)) + u':' + encode(text.mid(from, to - from))
           + text.mid(at);
}

TADOConnectionParams ParsePostgres(const QString& text, QString* error)
{
    const QUrl url(EncodedUserInfoUrl(text), QUrl::StrictMode);
    TADOConnectionParams p;
    if (!url.isValid() || url.host().isEmpty()) {
        if (error)
            *error = MaskPasswords(u"PostgreSQL连接地址无效："_s + (url.isValid() ? u"没有主机名"_s : url.errorString()),
                                   ConnectionSecrets(text));
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
            *error = u"连接字符串为空"_s;
        return {};
    }
    if (HasPrefix(text, "sqlite:"_L1)) {
        if (text.size() == 7) {
            if (error)
                *error = u"SQLite连接字符串没有指定数据库文件"_s;
            return {};
        }
        return ParseSqlite(text);
    }
    if (IsPostgresUrl(text))
        return ParsePostgres(text, error);
    return ParseOdbc(text);
}

QStringList ConnectionSecrets(const QString& connectionString)
{
    QStringList secrets;
    const QString text = connectionString.trimmed();
    qsizetype from = 0;
    qsizetype to = 0;
    if (IsPostgresUrl(text) && UrlPasswordSpan(text, from, to)) {
        const QString raw = text.mid(from, to - from);
        secrets << raw << PercentDecoded(raw);
    }
    for (auto it = KeyValuePattern().globalMatch(connectionString); it.hasNext();) {
        const QString raw = it.next().captured(2);
        secrets << raw << Unwrapped(raw) << PercentDecoded(Unwrapped(raw));
    }
    secrets.removeAll(QString());
    secrets.removeDuplicates();
    return secrets;
}

QString MaskPasswords(const QString& text, const QStringList& secrets)
{
    QString masked = text;
    masked.replace(UserInfoPattern(), u"\\1***@"_s);
    masked.replace(KeyValuePattern(), u"\\1***"_s);
    for (const QString& form : SecretForms(secrets))
        masked.replace(form, u"***"_s);
    return masked;
}

QString HidePassword(const QString& connectionString)
{
    QString text = connectionString.trimmed();
    const QStringList secrets = ConnectionSecrets(text);
    // The URL's own password goes by its place, whatever characters it holds.
    qsizetype from = 0;
    qsizetype to = 0;
    if (IsPostgresUrl(text) && UrlPasswordSpan(text, from, to) && to > from)
        text.replace(from, to - from, u"***"_s);
    return MaskPasswords(text, secrets);
}
