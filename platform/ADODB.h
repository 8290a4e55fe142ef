#pragma once
// ADO's place over Qt SQL: a connection (TADOConnection) and a query (TADOQuery).
//
// The connection string picks the Qt driver (see ADOConnectionString.h); the provider
// text is what the SQL dialect is chosen by, and when it is not set it is implied by the
// connection string ("SQLite", "PostgreSQL", or the ODBC string's Provider=/Driver=).
//
// Qt SQL connections belong to the thread that opened them. A TADOConnection therefore
// keeps one Qt connection per thread, made on that thread from the same settings the
// first time the thread uses it; no Qt connection is ever used by two threads. Close()
// retires every thread's connection: each thread drops its own before its next use, and
// a thread's connection goes when the thread finishes or the component is freed.
//
// A query reads every row when it opens (client-side cursor): record counts are exact
// on every driver, a second query can run while the first is read, and the opened
// query can be handed to another thread.
//
// LoginPrompt is kept for the host's settings; no dialog is ever shown (the credentials
// come with the connection string).
//
// Messages never show a password: every failure text, the driver's included, goes
// through MaskPasswords with the passwords of the connection string.
#include <QHash>
#include <QMutex>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>

#include "platform/ADOConnectionString.h"
#include "platform/ADODataSet.h"
#include "platform/Classes.h"

class QSqlError;
class QThread;
struct TADOHandleTable;

TALLYLEAF_DECLARE_EXCEPTION(EADOError, EDatabaseError);

class TADOConnection : public TComponent {
    Q_OBJECT
    Q_PROPERTY(QString Provider READ Provider WRITE SetProvider)
    Q_PROPERTY(QString ConnectionString READ ConnectionString WRITE SetConnectionString)
    Q_PROPERTY(bool LoginPrompt READ LoginPrompt WRITE SetLoginPrompt)
    Q_PROPERTY(bool Connected READ Connected WRITE SetConnected)
public:
    Q_INVOKABLE explicit TADOConnection(TComponent* AOwner = nullptr);
    ~TADOConnection() override;

    // The provider as set, or (when none was set) the one the connection string implies.
    QString Provider() const;
    void SetProvider(const QString& value);
    QString ConnectionString() const;
    // A different string closes the connection; the next use opens with the new one.
    void SetConnectionString(const QString& value);
    bool LoginPrompt() const { return FLoginPrompt; }
    void SetLoginPrompt(bool value) { FLoginPrompt = value; }
    // How long a statement may wait, for locks included, in seconds; 0 (the default)
    // waits as long as the database does. PostgreSQL gets statement_timeout and
    // lock_timeout, SQLite its busy timeout; ODBC drivers keep their own. A statement that
    // runs out of time fails with a message saying how long it waited. A new value
    // closes the connection; the next use opens with it.
    int CommandTimeout() const { return FCommandTimeout.load(); }
    void SetCommandTimeout(int seconds);
    // SQLite only: whether opening a database file that does not exist creates it (the
    // default). A connection to a database that must already be there sets it false.
    bool CreateMissingFile() const { return FCreateMissingFile.load(); }
    void SetCreateMissingFile(bool value);

    bool Connected() const { return FConnected.load(); }
    void SetConnected(bool value);
    // Opens this thread's connection; raises EADOError naming the connection.
    void Open();
    void Close();

    // The connection string with its password hidden: how messages name the connection.
    QString DisplayName() const;
    // The text of the last failure on this connection (any thread), empty when none.
    QString LastError() const;

    // This thread's Qt connection, opened (opening the connection when it is closed).
    // Do not keep the handle beyond the call that uses it.
    QSqlDatabase Database();
    // Runs a statement that returns no rows; the number of rows affected.
    int Execute(const QString& sql);
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();

    // Records `detail` as the last error and raises EADOError with a message that names
    // the connection (and the statement, when given).
    [[noreturn]] void RaiseError(const QString& detail, const QString& sql = QString()) const;
    // RaiseError for a failed statement, which retires this thread's connection first: a
    // session that the server ended (a terminated backend, a restart) or a database file
    // changed under it fails every later statement on the same handle, so the next use
    // connects afresh. An open transaction goes with it, rolled back as on a lost session.
    [[noreturn]] void RaiseStatementError(const QString& detail, const QString& sql);
    // The driver's text of a failed statement; one that ran out of CommandTimeout says
    // how long it waited.
    QString StatementFailureText(const QSqlError& error) const;

protected:
    void BeforeDestruction() override;

private:
    QSqlDatabase ThreadDatabase();
    QSqlDatabase CreateThreadDatabase(QThread* thread);
    void ApplySettings(QSqlDatabase& db, const TADOConnectionParams& params) const;
    // Sets the statement and lock timeouts on a PostgreSQL session; the failure text or empty.
    QString ApplyStatementTimeout(QSqlDatabase& db, const TADOConnectionParams& params) const;
    // `message` with the connection's passwords masked.
    QString Masked(const QString& message) const;
    void DropThreadHandle(QThread* thread);
    void DropAllHandles();
    [[noreturn]] void RaiseOpenError(const QString& detail) const;
    void SetLastError(const QString& text) const;

    QString FProvider;
    QString FConnectionString;
    bool FLoginPrompt = true;
    std::atomic<int> FCommandTimeout{0};
    std::atomic<bool> FCreateMissingFile{true};
    std::atomic<bool> FConnected{false};
    std::atomic<quint64> FGeneration{1};
    mutable QMutex FLock;   // guards the settings texts and the last error
    // Each thread's Qt connection. Shared with the clean-up that runs on a worker thread
    // as it ends, which may come after this object is gone: the clean-up holds the
    // table, never the object.
    std::shared_ptr<TADOHandleTable> FHandles;
    mutable QString FLastError;
};

class TADOQuery : public TDataSet {
    Q_OBJECT
    Q_PROPERTY(QString SQLText READ SQLText WRITE SetSQLText)
public:
    Q_INVOKABLE explicit TADOQuery(TComponent* AOwner = nullptr);
    ~TADOQuery() override;

    TADOConnection* Connection() const { return FConnection; }
    void SetConnection(TADOConnection* value);

    // The statement's lines. Change it while the query is closed.
    QStringList& SQL() { return FSQL; }
    const QStringList& SQL() const { return FSQL; }
    // The lines joined with line breaks; setting it closes the query and splits the
    // text into lines, so the text comes back as given.
    QString SQLText() const;
    void SetSQLText(const QString& text);

    // Runs a statement that returns no rows; the number of rows affected.
    int ExecSQL();

    // Runs the statement and hands its rows over in parts of partRows rows as they are
    // read, instead of keeping them: for a result too large to wait for whole. The query is
    // open with its fields (and no rows) before the first part, and stays so. Raises as Open
    // does; take answers false to stop the reading.
    void OpenInParts(qsizetype partRows, const std::function<bool(TRowPart&& part)>& take);

    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void InternalOpen() override;

private:
    TADOConnection* RequireConnection() const;

    TADOConnection* FConnection = nullptr;
    QStringList FSQL;
    // While OpenInParts runs: the part size and the taker.
    qsizetype FPartRows = 0;
    const std::function<bool(TRowPart&&)>* FTakePart = nullptr;
};
