#include "host/HostDatabase.h"

#include <QStandardPaths>

#include "common/untDataBase.h"
#include "common/untDemoDatabase.h"

HostDatabase::HostDatabase(const QString& connection, const QString& provider)
    : m_connection(connection.isEmpty() ? demoConnectionString() : connection), m_demo(connection.isEmpty())
{
    if (m_demo)
        ensureDemoDatabase();
    m_manager = new TDbManager(nullptr);
    m_manager->SetLoginPrompt(false);
    TAdoConn* def = m_manager->CreateConnection(nullptr);
    if (!provider.isEmpty())
        def->SetProvider(provider);
    def->SetConnectionString(m_connection);
    m_manager->AddConnection(def, QStringLiteral("Def"));
}

HostDatabase::~HostDatabase()
{
    m_manager->FreeConnections();
    m_manager->Free();
}

QString HostDatabase::demoConnectionString()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/tallyleaf";
    return QStringLiteral("sqlite:") + folder + QStringLiteral("/demo-budget.db");
}

void HostDatabase::ensureDemoDatabase()
{
    const QString file = m_connection.mid(int(qstrlen("sqlite:")));
    if (!EnsureDemoDatabaseFile(file, &m_error))
        m_error = QStringLiteral("演示数据库%1未能创建：%2").arg(file, m_error);
}
