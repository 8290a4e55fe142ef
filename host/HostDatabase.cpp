#include "host/HostDatabase.h"

#include <QStandardPaths>

#include "common/untDataBase.h"
#include "common/untDemoDatabase.h"
#include "platform/SysUtils.h"

HostDatabase::HostDatabase(const QString& connection, const QString& provider)
    : m_connection(connection.isEmpty() ? demoConnectionString() : connection), m_demo(connection.isEmpty())
{
    if (m_demo)
        ensureDemoDatabase();
    m_manager = new TDbManager(nullptr);
    m_manager->SetLoginPrompt(false);
    m_def = m_manager->CreateConnection(nullptr);
    if (!provider.isEmpty())
        m_def->SetProvider(provider);
    m_def->SetCreateMissingFile(false);
    m_def->SetConnectionString(m_connection);
    m_manager->AddConnection(m_def, QStringLiteral("Def"));
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

void HostDatabase::setCommandTimeout(int seconds)
{
    m_def->SetCommandTimeout(seconds);
}

HostDatabase::LoginCheck HostDatabase::checkLoginUnit(const QString& code, QString* message) const
{
    const QString parent = code.size() > 3 ? code.left(code.size() - 3) : QString();
    const QString sql = QStringLiteral("select count(*) as n from pubdept where eid = %1 or eid = %2")
                            .arg(QuotedStr(code), QuotedStr(parent));
    try {
        const IARQueryPtr query = OpenQuery(m_def, sql);
        if (query->Query()->FieldByName(QStringLiteral("n"))->AsInteger() > 0)
            return LoginCheck::Accepted;
        *message = QStringLiteral("登录单位%1不是预算单位：单位表pubdept中既没有这个编码，也没有它的上级单位").arg(code);
        return LoginCheck::Refused;
    } catch (const std::exception& e) {
        *message = QStringLiteral("不能检查登录单位%1：%2").arg(code, ExceptionMessage(e));
        return LoginCheck::DatabaseFailed;
    }
}

void HostDatabase::ensureDemoDatabase()
{
    const QString file = m_connection.mid(int(qstrlen("sqlite:")));
    if (!EnsureDemoDatabaseFile(file, &m_error))
        m_error = QStringLiteral("演示数据库%1未能创建：%2").arg(file, m_error);
}
