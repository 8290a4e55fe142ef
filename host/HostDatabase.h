#pragma once
// The host's database: a TDbManager whose connection "Def" the plug-in reads. Without a
// connection string the host uses the embedded demo database, a SQLite file under the
// user's data folder that is created with the demo city's data on first use. Opening
// "Def" never creates a database file: a named one must be there.
#include <QString>

class TAdoConn;
class TDbManager;

class HostDatabase {
public:
    // connection: a connection string as docs/database.md describes; empty for the demo
    // database. provider: the SQL dialect; empty lets the connection string imply it.
    HostDatabase(const QString& connection, const QString& provider);
    ~HostDatabase();
    HostDatabase(const HostDatabase&) = delete;
    HostDatabase& operator=(const HostDatabase&) = delete;

    TDbManager* manager() const { return m_manager; }
    QString connectionString() const { return m_connection; }
    bool isDemo() const { return m_demo; }
    // Why the demo database could not be made (empty when it is there).
    QString error() const { return m_error; }

    // The demo database's connection string ("sqlite:" + its file).
    static QString demoConnectionString();

    // How long each statement of "Def" may wait, locks included (0: no limit).
    void setCommandTimeout(int seconds);

    enum class LoginCheck { Accepted, Refused, DatabaseFailed };
    // Whether `code` can be the login unit: pubdept must hold the unit or its parent (the
    // unit tree shows the parent's branch). *message says why not.
    LoginCheck checkLoginUnit(const QString& code, QString* message) const;

private:
    void ensureDemoDatabase();

    TDbManager* m_manager = nullptr;
    TAdoConn* m_def = nullptr;
    QString m_connection;
    bool m_demo = false;
    QString m_error;
};
