#pragma once
// The host's database: a TDbManager whose connection "Def" the plug-in reads. Without a
// connection string the host uses the embedded demo database, a SQLite file under the
// user's data folder that is created with the demo city's data on first use.
#include <QString>

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

private:
    void ensureDemoDatabase();

    TDbManager* m_manager = nullptr;
    QString m_connection;
    bool m_demo = false;
    QString m_error;
};
