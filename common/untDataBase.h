#pragma once
// The database layer shared with the host: the registry of named connections
// (TDbManager), the connection with its provider tests and SQL dialect builders
// (TAdoConn), and the query whose lifetime follows an interface reference count
// (TARQuery, handed out as IARQuery).
//
// The host creates, fills and frees the registry; the library only calls its
// operations on the instance that the host context gives it.
#include <QMutex>
#include <QRecursiveMutex>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QVariant>
#include <atomic>

#include "common/untInterface.h"
#include "common/untObjectStringList.h"
#include "common/untSqlDialect.h"
#include "platform/ADODB.h"

TALLYLEAF_DECLARE_EXCEPTION(TExceptDbManager, Exception);

class TAdoConn;
class TARQuery;

// ---------------------------------------------------------------------------------

class TAdoConn : public TADOConnection {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TAdoConn(TComponent* AOwner = nullptr);

    // The dialect of the current provider. Every provider test and builder reads the
    // provider afresh, so a changed provider takes effect at once.
    TSqlDialect Dialect() const;

    bool IsAccess() const { return Dialect().IsAccess(); }
    bool IsSqlServer() const { return Dialect().IsSqlServer(); }
    bool IsOracle() const { return Dialect().IsOracle(); }
    bool IsSQLite() const { return Dialect().IsSQLite(); }
    bool IsPostgres() const { return Dialect().IsPostgres(); }

    QString SubstringFunctionName() const { return Dialect().SubstringFunctionName(); }
    QString NullReplace(const QString& expr, const QString& def) const { return Dialect().NullReplace(expr, def); }
    QString ValueMap(const QString& expr, const QStringList& values) const { return Dialect().ValueMap(expr, values); }
    QString LengthFunction(const QString& expr) const { return Dialect().LengthFunction(expr); }
    QString Concat(const QString& a, const QString& b) const { return Dialect().Concat(a, b); }

private:
    mutable QMutex FProviderLock;
    mutable QString FUpperProvider;   // the upper-cased provider of the last test
};

// ---------------------------------------------------------------------------------

// {DEA3183F-28EB-4F96-AF59-650794C3F468}
inline const QUuid IID_IARQuery{0xDEA3183F, 0x28EB, 0x4F96, 0xAF, 0x59, 0x65, 0x07, 0x94, 0xC3, 0xF4, 0x68};

class IARQuery : public IInterface {
public:
    // The query object behind the reference (open, its rows ready to read).
    virtual TARQuery* Query() = 0;

protected:
    ~IARQuery() = default;
};

// An interface reference: copying takes a count, dropping releases it; the last one
// frees the query. `IARQueryPtr q; if (OpenDefQuery(sql, q)) q->Query()->...`
using IARQueryPtr = TInterfaceRef<IARQuery>;

class TARQuery : public TADOQuery, public IARQuery {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TARQuery(TComponent* AOwner = nullptr);
    ~TARQuery() override;

    int32_t QueryInterface(const QUuid& iid, void** out) override;
    int32_t _AddRef() override;
    // At zero, and not already being destroyed, frees the query.
    int32_t _Release() override;
    TARQuery* Query() override { return this; }

    int32_t RefCount() const { return FRefCount.load(); }
    bool Destroying() const { return FDestroying.load(); }

protected:
    void BeforeDestruction() override;

private:
    std::atomic<int32_t> FRefCount{0};
    std::atomic<bool> FDestroying{false};
};

// ---------------------------------------------------------------------------------

class TDbManager : public TComponent {
    Q_OBJECT
    Q_PROPERTY(bool LoginPrompt READ LoginPrompt WRITE SetLoginPrompt)
    Q_PROPERTY(QString ConnectionString READ ConnectionString WRITE SetConnectionString)
public:
    Q_INVOKABLE explicit TDbManager(TComponent* AOwner = nullptr);
    ~TDbManager() override;

    bool LoginPrompt() const { return FLoginPrompt; }
    void SetLoginPrompt(bool value) { FLoginPrompt = value; }
    TObjectStringList* Connections() { return &FConnections; }
    QString ConnectionString() const { return FConnectionString; }
    void SetConnectionString(const QString& value) { FConnectionString = value; }

    // The position of `name` in Connections (letter case ignored), or -1.
    int IndexOfConnection(const QString& name) const;
    // Registers `conn` under `name`; raises TExceptDbManager when the name is taken.
    void AddConnection(TAdoConn* conn, const QString& name);
    // A new, unopened connection owned by `owner`, with the registry's settings.
    TAdoConn* CreateConnection(TComponent* owner);
    // The connection registered as `name`, created and registered when there is none.
    TAdoConn* GetConnection(const QString& name);

    // Frees the registered connections that no component owns (the host's shutdown).
    void FreeConnections();

    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    bool FLoginPrompt = false;
    TObjectStringList FConnections;
    QString FConnectionString;
    QRecursiveMutex FRegistryLock;   // look-up and registration are one step
};

// ---------------------------------------------------------------------------------

// A new query of `sql` on `conn`, not yet open, as the only reference to it.
IARQueryPtr NewQuery(TAdoConn* conn, const QString& sql);

// Opens `sql` on `conn` as a new query and hands it back as the only reference.
// Raises whatever opening raises (EADOError naming the connection); the query made for
// a failed open is freed.
IARQueryPtr OpenQuery(TAdoConn* conn, const QString& sql);

// Takes one reference to `query` and drops it again: frees a query that nobody
// references, changes nothing for a referenced one.
void ReleaseQuery(TARQuery* query);

// Empty text for Null, the value's ordinary text form otherwise.
QString ValueToText(const QVariant& value);
