#include "common/untDataBase.h"

#include <QMutexLocker>

using namespace Qt::StringLiterals;

TAdoConn::TAdoConn(TComponent* AOwner) : TADOConnection(AOwner) {}

TSqlDialect TAdoConn::Dialect() const
{
    TSqlDialect dialect(Provider());
    QMutexLocker lock(&FProviderLock);
    FUpperProvider = dialect.UpperProvider();
    return dialect;
}

// ---------------------------------------------------------------------------------

TARQuery::TARQuery(TComponent* AOwner) : TADOQuery(AOwner) {}

TARQuery::~TARQuery()
{
    FDestroying = true;
}

void TARQuery::BeforeDestruction()
{
    // From here on a count that reaches zero frees nothing a second time.
    FDestroying = true;
    TADOQuery::BeforeDestruction();
}

int32_t TARQuery::QueryInterface(const QUuid& iid, void** out)
{
    if (!out)
        return E_NOINTERFACE;
    if (iid == IID_IARQuery || iid == IID_IInterface) {
        *out = static_cast<IARQuery*>(this);
        _AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

int32_t TARQuery::_AddRef()
{
    return FRefCount.fetch_add(1) + 1;
}

int32_t TARQuery::_Release()
{
    const int32_t count = FRefCount.fetch_sub(1) - 1;
    if (count == 0 && !FDestroying.exchange(true))
        Free();
    return count;
}

// ---------------------------------------------------------------------------------

TDbManager::TDbManager(TComponent* AOwner) : TComponent(AOwner) {}

TDbManager::~TDbManager() = default;

int TDbManager::IndexOfConnection(const QString& name) const
{
    return FConnections.IndexOf(name);
}

void TDbManager::AddConnection(TAdoConn* conn, const QString& name)
{
    QMutexLocker lock(&FRegistryLock);
    if (IndexOfConnection(name) >= 0)
        throw TExceptDbManager(Format(u"一个名为%s的TAdoConn对象已经存在！"_s, name));
    conn->FreeNotification(this);
    FConnections.AddObject(name, conn);
}

TAdoConn* TDbManager::CreateConnection(TComponent* owner)
{
    auto* conn = new TAdoConn(owner);
    conn->SetLoginPrompt(FLoginPrompt);
    conn->SetConnectionString(FConnectionString);
    return conn;
}

TAdoConn* TDbManager::GetConnection(const QString& name)
{
    QMutexLocker lock(&FRegistryLock);
    const int index = IndexOfConnection(name);
    if (index >= 0)
        return static_cast<TAdoConn*>(FConnections.GetObject(index));
    TAdoConn* conn = CreateConnection(nullptr);
    AddConnection(conn, name);
    return conn;
}

void TDbManager::FreeConnections()
{
    QList<TComponent*> unowned;
    {
        QMutexLocker lock(&FRegistryLock);
        for (int i = 0; i < FConnections.Count(); ++i) {
            auto* conn = static_cast<TComponent*>(FConnections.GetObject(i));
            if (!conn->Owner())
                unowned << conn;
        }
    }
    // Each free notice takes the connection out of the list.
    for (TComponent* conn : unowned)
        conn->Free();
}

void TDbManager::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    QMutexLocker lock(&FRegistryLock);
    for (int i = FConnections.Count() - 1; i >= 0; --i)
        if (FConnections.GetObject(i) == AComponent)
            FConnections.Delete(i);
}

// ---------------------------------------------------------------------------------

IARQueryPtr NewQuery(TAdoConn* conn, const QString& sql)
{
    auto* query = new TARQuery(nullptr);
    // Held from the start: a failed open drops the only reference and frees the query.
    IARQueryPtr result(static_cast<IARQuery*>(query));
    query->SetSQLText(sql);
    query->SetConnection(conn);
    return result;
}

IARQueryPtr OpenQuery(TAdoConn* conn, const QString& sql)
{
    IARQueryPtr query = NewQuery(conn, sql);
    query->Query()->Open();
    return query;
}

void ReleaseQuery(TARQuery* query)
{
    if (!query)
        return;
    IARQueryPtr reference(static_cast<IARQuery*>(query));
    reference.Clear();
}

QString ValueToText(const QVariant& value)
{
    if (value.isNull())
        return {};
    return value.toString();
}
