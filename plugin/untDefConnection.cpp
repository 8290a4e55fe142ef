#include "plugin/untDefConnection.h"

#include <QMutex>
#include <QMutexLocker>
#include <exception>

#include "common/PlugInGlobals.h"

using namespace Qt::StringLiterals;

namespace {

QMutex GErrorLock;
QString GLastError;

void SetLastDefQueryError(const QString& text)
{
    QMutexLocker lock(&GErrorLock);
    GLastError = text;
}

} // namespace

TAdoConn* GetDefConnection()
{
    TPubVariable* env = PubVariable();
    if (!env || !env->DbManager)
        return nullptr;
    return env->DbManager->GetConnection(u"Def"_s);
}

namespace {

// Runs `use` on "Def": true when it returns, false with the failure kept for
// LastDefQueryError when there is no connection or `use` raises.
bool WithDefConnection(const std::function<void(TAdoConn& conn)>& use)
{
    try {
        TAdoConn* conn = GetDefConnection();
        if (!conn) {
            SetLastDefQueryError(u"没有数据库连接Def：宿主没有提供连接管理器"_s);
            return false;
        }
        use(*conn);
        SetLastDefQueryError(QString());
        return true;
    } catch (const std::exception& e) {
        // Callers decide what to show; the text stays readable for them.
        SetLastDefQueryError(ExceptionMessage(e));
    } catch (...) {
        SetLastDefQueryError(u"数据库连接Def：未知错误"_s);
    }
    return false;
}

} // namespace

bool OpenDefQuery(const QString& sql, IARQueryPtr& query)
{
    return WithDefConnection([&](TAdoConn& conn) { query = OpenQuery(&conn, sql); });
}

bool ReadDefQueryInParts(const QString& sql, qsizetype partRows,
                         const std::function<bool(const TDataSet& fields, TRowPart&& part)>& take)
{
    // What the taker raises is kept apart from the database's failures and raised again
    // once the statement is put away.
    std::exception_ptr takeFailure;
    const bool read = WithDefConnection([&](TAdoConn& conn) {
        const IARQueryPtr query = NewQuery(&conn, sql);
        TARQuery* q = query->Query();
        q->OpenInParts(partRows, [&](TRowPart&& part) {
            try {
                return take(*q, std::move(part));
            } catch (...) {
                takeFailure = std::current_exception();
                return false;
            }
        });
    });
    if (takeFailure)
        std::rethrow_exception(takeFailure);
    return read;
}

QString LastDefQueryError()
{
    QMutexLocker lock(&GErrorLock);
    return GLastError;
}

QString LoginUnitCode()
{
    TPubVariable* env = PubVariable();
    if (!env || !env->LoginUnit)
        return {};
    TLoginItem* item = env->LoginUnit->GetValue(0);
    return item ? ValueToText(item->Value) : QString();
}

bool IsDeptLogin()
{
    TPubVariable* env = PubVariable();
    if (!env || !env->LoginUnit)
        return false;
    const QString code = LoginUnitCode();
    if (code.size() != 6 || code.mid(3, 3) != u"001"_s)
        return false;
    return env->HostOptions && env->HostOptions->DeptMode == u"1"_s;
}

bool IsSmallBranch()
{
    if (IsDeptLogin())
        return false;
    TPubVariable* env = PubVariable();
    if (!env || !env->LoginUnit)
        return false;
    const QString code = LoginUnitCode();
    const QString prefix = code.size() > 3 ? code.left(code.size() - 3) : QString();
    IARQueryPtr query;
    if (!OpenDefQuery(u"select * from pubdept where eid like '"_s + SqlEscape(prefix) + u"%'"_s, query))
        return false;
    return query->Query()->RecordCount() <= 2;
}

QString RightText(const QString& text, int n)
{
    if (text.isEmpty() || n <= 0)
        return {};
    return text.size() <= n ? text : text.right(n);
}
