#include "platform/ADODB.h"
#include "platform/ResultRows.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMutexLocker>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

// Statements in messages are cut to a readable length.
QString StatementExcerpt(const QString& sql)
{
    const QString flat = sql.simplified();
    return flat.size() > 400 ? flat.left(400) + u" …"_s : flat;
}

QString DriverErrorText(const QSqlError& error)
{
    QString text = error.text().trimmed();
    return text.isEmpty() ? u"未知错误"_s : text;
}

// A statement that gave up waiting: PostgreSQL's query_canceled (statement_timeout) and
// lock_not_available (lock_timeout), SQLite's SQLITE_BUSY and SQLITE_LOCKED (extended
// codes keep the primary code in their low byte).
bool IsWaitTimeout(const QString& driver, const QSqlError& error)
{
    const QString code = error.nativeErrorCode();
    if (driver == u"QPSQL"_s)
        return code == u"57014"_s || code == u"55P03"_s;
    if (driver == u"QSQLITE"_s) {
        bool number = false;
        const int primary = code.toInt(&number) & 0xFF;
        return number && (primary == 5 || primary == 6);
    }
    return false;
}

// Whether a query on `db` should fetch its rows one at a time as they are read. Most
// drivers then hand each row straight over; the PostgreSQL driver would make a server
// result per row, so there the whole result is fetched at once and read in place.
bool ReadsRowByRow(const QSqlDatabase& db)
{
    return db.driverName() != u"QPSQL"_s;
}

bool IsMainThread(QThread* thread)
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && app->thread() == thread;
}

} // namespace

// The Qt connection names per thread, with the worker threads whose end is hooked.
struct TADOHandleTable {
    struct THandle {
        QString Name;
        quint64 Generation = 0;
    };
    std::mutex Lock;
    QHash<QThread*, THandle> Handles;
    QSet<QThread*> Watched;

    // Takes the thread's handle out and drops its Qt connection.
    void Drop(QThread* thread)
    {
        QString name;
        {
            const std::lock_guard<std::mutex> lock(Lock);
            name = Handles.take(thread).Name;
        }
        if (!name.isEmpty())
            QSqlDatabase::removeDatabase(name);
    }
};

TADOConnection::TADOConnection(TComponent* AOwner)
    : TComponent(AOwner), FHandles(std::make_shared<TADOHandleTable>())
{
}

TADOConnection::~TADOConnection()
{
    DropAllHandles();
}

void TADOConnection::BeforeDestruction()
{
    FConnected = false;
    DropAllHandles();
    TComponent::BeforeDestruction();
}

QString TADOConnection::Provider() const
{
    QMutexLocker lock(&FLock);
    if (!FProvider.isEmpty())
        return FProvider;
    return ParseConnectionString(FConnectionString).ImpliedProvider;
}

void TADOConnection::SetProvider(const QString& value)
{
    QMutexLocker lock(&FLock);
    FProvider = value;
}

QString TADOConnection::ConnectionString() const
{
    QMutexLocker lock(&FLock);
    return FConnectionString;
}

void TADOConnection::SetConnectionString(const QString& value)
{
    {
        QMutexLocker lock(&FLock);
        if (FConnectionString == value)
            return;
        FConnectionString = value;
    }
    Close();
}

void TADOConnection::SetCommandTimeout(int seconds)
{
    seconds = std::max(0, seconds);
    if (FCommandTimeout.exchange(seconds) != seconds)
        Close();
}

void TADOConnection::SetCreateMissingFile(bool value)
{
    if (FCreateMissingFile.exchange(value) != value)
        Close();
}

void TADOConnection::SetConnected(bool value)
{
    if (value)
        Open();
    else
        Close();
}

void TADOConnection::Open()
{
    ThreadDatabase();
    FConnected = true;
}

void TADOConnection::Close()
{
    FConnected = false;
    ++FGeneration;   // other threads drop their connection before their next use
    DropThreadHandle(QThread::currentThread());
}

QString TADOConnection::DisplayName() const
{
    const QString text = HidePassword(ConnectionString());
    if (!text.isEmpty())
        return text;
    return Name().isEmpty() ? u"(未设置连接字符串)"_s : Name();
}

QString TADOConnection::LastError() const
{
    QMutexLocker lock(&FLock);
    return FLastError;
}

void TADOConnection::SetLastError(const QString& text) const
{
    QMutexLocker lock(&FLock);
    FLastError = text;
}

QSqlDatabase TADOConnection::Database()
{
    if (!FConnected)
        Open();
    return ThreadDatabase();
}

QSqlDatabase TADOConnection::ThreadDatabase()
{
    QThread* thread = QThread::currentThread();
    QString name;
    bool stale = false;
    {
        const std::lock_guard<std::mutex> lock(FHandles->Lock);
        const auto it = FHandles->Handles.constFind(thread);
        if (it != FHandles->Handles.cend()) {
            if (it->Generation == FGeneration.load())
                name = it->Name;
            else
                stale = true;
        }
    }
    if (stale)
        DropThreadHandle(thread);
    if (name.isEmpty())
        return CreateThreadDatabase(thread);

    QSqlDatabase db = QSqlDatabase::database(name, false);
    if (db.isOpen())
        return db;
    // Opened again: the session settings went with the old session.
    const QString failure = db.open() ? ApplyStatementTimeout(db, ParseConnectionString(ConnectionString()))
                                      : DriverErrorText(db.lastError());
    if (!failure.isEmpty()) {
        db = QSqlDatabase();
        DropThreadHandle(thread);
        RaiseOpenError(failure);
    }
    return db;
}

QSqlDatabase TADOConnection::CreateThreadDatabase(QThread* thread)
{
    QString parseError;
    const TADOConnectionParams params = ParseConnectionString(ConnectionString(), &parseError);
    if (params.Driver.isEmpty())
        RaiseOpenError(parseError);

    // Unique across modules and threads: the object and the thread identify the handle.
    const QString name = u"tallyleaf-ado-%1-%2"_s.arg(quintptr(this), 0, 16).arg(quintptr(thread), 0, 16);
    const quint64 generation = FGeneration.load();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(params.Driver, name);
        ApplySettings(db, params);
        QString failure;
        if (!db.open())
            failure = DriverErrorText(db.lastError());
        else
            failure = ApplyStatementTimeout(db, params);
        if (!failure.isEmpty()) {
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(name);
            RaiseOpenError(failure);
        }
    }
    bool watch = false;
    {
        const std::lock_guard<std::mutex> lock(FHandles->Lock);
        FHandles->Handles.insert(thread, TADOHandleTable::THandle{name, generation});
        watch = !IsMainThread(thread) && !FHandles->Watched.contains(thread);
        if (watch)
            FHandles->Watched.insert(thread);
    }
    // A worker thread's connection goes with the thread. The signal comes on that
    // thread, possibly while or after this object is freed on another: the hook holds
    // only the table, and only as long as the table lives. Single-shot, so the hook is
    // made, run and freed on the worker alone.
    if (watch) {
        const std::weak_ptr<TADOHandleTable> table = FHandles;
        connect(
            thread, &QThread::finished, thread,
            [table, thread] {
                const std::shared_ptr<TADOHandleTable> handles = table.lock();
                if (!handles)
                    return;
                {
                    const std::lock_guard<std::mutex> lock(handles->Lock);
                    handles->Watched.remove(thread);
                }
                handles->Drop(thread);
            },
            Qt::ConnectionType(Qt::DirectConnection | Qt::SingleShotConnection));
    }
    return QSqlDatabase::database(name, false);
}

void TADOConnection::ApplySettings(QSqlDatabase& db, const TADOConnectionParams& params) const
{
    QStringList options;
    if (!params.ConnectOptions.isEmpty())
        options << params.ConnectOptions;
    QString database = params.DatabaseName;
    if (params.Driver == u"QSQLITE"_s) {
        if (const int timeout = FCommandTimeout.load(); timeout > 0)
            options << u"QSQLITE_BUSY_TIMEOUT=%1"_s.arg(qint64(timeout) * 1000);
        if (!FCreateMissingFile.load()) {
            // The URI's mode=rw opens an existing file and never makes one, in the same
            // step as the open: a look before opening could be overtaken.
            options << u"QSQLITE_OPEN_URI"_s;
            database = QUrl::fromLocalFile(QFileInfo(database).absoluteFilePath()).toString(QUrl::FullyEncoded)
                       + u"?mode=rw"_s;
        }
    }
    db.setDatabaseName(database);
    if (!params.HostName.isEmpty())
        db.setHostName(params.HostName);
    if (params.Port > 0)
        db.setPort(params.Port);
    if (!params.UserName.isEmpty())
        db.setUserName(params.UserName);
    if (!params.Password.isEmpty())
        db.setPassword(params.Password);
    if (!options.isEmpty())
        db.setConnectOptions(options.join(u';'));
}

QString TADOConnection::ApplyStatementTimeout(QSqlDatabase& db, const TADOConnectionParams& params) const
{
    const int timeout = FCommandTimeout.load();
    if (params.Driver != u"QPSQL"_s || timeout <= 0)
        return {};
    QSqlQuery query(db);
    const QString milliseconds = QString::number(qint64(timeout) * 1000);
    for (const QString& setting : {u"statement_timeout"_s, u"lock_timeout"_s})
        if (!query.exec(u"SET "_s + setting + u" = "_s + milliseconds))
            return DriverErrorText(query.lastError());
    return {};
}

QString TADOConnection::StatementFailureText(const QSqlError& error) const
{
    const QString text = DriverErrorText(error);
    const int timeout = FCommandTimeout.load();
    if (timeout <= 0 || !IsWaitTimeout(ParseConnectionString(ConnectionString()).Driver, error))
        return text;
    return u"等待了%1秒仍未完成（锁或语句超时），已放弃：%2"_s.arg(QString::number(timeout), text);
}

QString TADOConnection::Masked(const QString& message) const
{
    return MaskPasswords(message, ConnectionSecrets(ConnectionString()));
}

void TADOConnection::DropThreadHandle(QThread* thread)
{
    FHandles->Drop(thread);
}

void TADOConnection::DropAllHandles()
{
    QHash<QThread*, TADOHandleTable::THandle> handles;
    {
        const std::lock_guard<std::mutex> lock(FHandles->Lock);
        handles.swap(FHandles->Handles);
    }
    for (const TADOHandleTable::THandle& h : std::as_const(handles))
        QSqlDatabase::removeDatabase(h.Name);
}

void TADOConnection::RaiseOpenError(const QString& detail) const
{
    const QString message = Masked(Format(u"无法打开数据库连接%s：%s"_s, {DisplayName(), detail}));
    SetLastError(message);
    throw EADOError(message);
}

void TADOConnection::RaiseError(const QString& detail, const QString& sql) const
{
    QString message = Format(u"数据库连接%s执行失败：%s"_s, {DisplayName(), detail});
    if (!sql.trimmed().isEmpty())
        message += u"\nSQL："_s + StatementExcerpt(sql);
    message = Masked(message);
    SetLastError(message);
    throw EADOError(message);
}

int TADOConnection::Execute(const QString& sql)
{
    QString failure;
    int affected = 0;
    {
        QSqlQuery query(Database());
        if (query.exec(sql))
            affected = query.numRowsAffected();
        else
            failure = StatementFailureText(query.lastError());
    }
    if (!failure.isEmpty())
        RaiseStatementError(failure, sql);
    return affected;
}

void TADOConnection::RaiseStatementError(const QString& detail, const QString& sql)
{
    DropThreadHandle(QThread::currentThread());
    RaiseError(detail, sql);
}

void TADOConnection::BeginTrans()
{
    QSqlDatabase db = Database();
    if (!db.transaction())
        RaiseError(u"无法开始事务："_s + DriverErrorText(db.lastError()));
}

void TADOConnection::CommitTrans()
{
    QSqlDatabase db = Database();
    if (!db.commit())
        RaiseError(u"无法提交事务："_s + DriverErrorText(db.lastError()));
}

void TADOConnection::RollbackTrans()
{
    QSqlDatabase db = Database();
    if (!db.rollback())
        RaiseError(u"无法回滚事务："_s + DriverErrorText(db.lastError()));
}

// ---------------------------------------------------------------------------------

TADOQuery::TADOQuery(TComponent* AOwner) : TDataSet(AOwner) {}

TADOQuery::~TADOQuery() = default;

void TADOQuery::SetConnection(TADOConnection* value)
{
    if (FConnection == value)
        return;
    Close();
    if (FConnection)
        FConnection->RemoveFreeNotification(this);
    FConnection = value;
    if (FConnection)
        FConnection->FreeNotification(this);
}

void TADOQuery::Notification(TComponent* AComponent, TOperation Operation)
{
    TDataSet::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FConnection)
        FConnection = nullptr;   // the rows already read stay readable
}

QString TADOQuery::SQLText() const { return FSQL.join(u'\n'); }

void TADOQuery::SetSQLText(const QString& text)
{
    Close();
    FSQL = text.split(u'\n');
}

TADOConnection* TADOQuery::RequireConnection() const
{
    if (!FConnection)
        throw EADOError(Format(u"没有指定%S属性值！"_s, u"Connection"_s));
    return FConnection;
}

void TADOQuery::OpenInParts(qsizetype partRows, const std::function<bool(TRowPart&&)>& take)
{
    Close();
    FPartRows = partRows;
    FTakePart = &take;
    const auto done = qScopeGuard([this] { FTakePart = nullptr; });
    Open();
}

void TADOQuery::InternalOpen()
{
    TADOConnection* conn = RequireConnection();
    const QString sql = SQLText();
    QStringList names;
    QList<QMetaType> types;
    QList<QVariant> values;
    qsizetype rows = 0;
    QString failure;
    {
        // No QSqlDatabase is held here: a failed statement drops the thread's handle.
        const bool rowByRow = ReadsRowByRow(conn->Database());
        QSqlQuery query(conn->Database());
        query.setForwardOnly(rowByRow);
        if (!query.exec(sql))
            failure = conn->StatementFailureText(query.lastError());
        else if (!query.isSelect())
            failure = u"语句没有返回结果集"_s;
        if (!failure.isEmpty()) {
            query = QSqlQuery();   // the handle is dropped below: no query may hold it
            conn->RaiseStatementError(failure, sql);
        }
        const QSqlRecord record = query.record();
        const int columns = record.count();
        for (int i = 0; i < columns; ++i) {
            names << record.fieldName(i);
            types << record.field(i).metaType();
        }
        QSqlError error;
        if (FTakePart) {
            // The fields first: the taker may look at them.
            SetData(names, types, {}, 0);
            const std::function<bool(TRowPart&&)>& take = *FTakePart;
            rows = resultrows::ReadInParts(
                query, columns, FPartRows,
                [&take](QList<QVariant>&& part, qsizetype partRows, bool last) {
                    return take(TRowPart{std::move(part), partRows, last});
                },
                error);
        } else {
            rows = resultrows::ReadAll(query, columns, values, error);
        }
        if (rows < 0)
            failure = conn->StatementFailureText(error);
    }
    if (!failure.isEmpty())
        conn->RaiseStatementError(failure, sql);
    if (!FTakePart)
        SetData(names, types, std::move(values), rows);
}

int TADOQuery::ExecSQL()
{
    Close();
    TADOConnection* conn = RequireConnection();
    return conn->Execute(SQLText());
}
