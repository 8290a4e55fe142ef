#pragma once
// Scratch databases for SQL tests: a fresh, empty database per test on each back end.
//
//   "sqlite"       a new file in a temporary folder (QSQLITE)
//   "postgresql"   a new database on the server of TALLYLEAF_TEST_PG (QPSQL), dropped
//                  afterwards
//   "odbc-sqlite"  a new SQLite file reached through the SQLite ODBC driver (QODBC)
//
// A PostgreSQL case without a server fails, unless TALLYLEAF_ALLOW_NO_PG=1 lets it skip.
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace dbtest {

// The back ends every SQL case runs on.
QStringList SqlBackends();

// A test name for a back end parameter ("odbc-sqlite" → "odbc_sqlite").
std::string BackendName(const ::testing::TestParamInfo<QString>& info);

class ScratchDatabase {
public:
    explicit ScratchDatabase(const QString& backend);
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    // False when the database could not be made; Error() says why, Skipped() whether
    // the back end is merely absent and allowed to be.
    bool Ready() const { return FReady; }
    bool Skipped() const { return FSkipped; }
    const QString& Error() const { return FError; }
    const QString& Backend() const { return FBackend; }
    const QString& ConnectionString() const { return FConnectionString; }
    // The provider text a host would set for this back end.
    QString Provider() const;

private:
    void MakeSqlite(const QString& prefix);
    void MakePostgres();

    QString FBackend;
    QString FConnectionString;
    QString FPgDatabase;
    QString FError;
    bool FReady = false;
    bool FSkipped = false;
    std::unique_ptr<QTemporaryDir> FDir;
};

// The SQLite ODBC driver: its registered name, or the path of its library when the
// driver is not registered; empty when neither exists.
QString SqliteOdbcDriver();

// A connection string for a PostgreSQL server URL with another database name.
QString PostgresUrlForDatabase(const QString& serverUrl, const QString& database);

} // namespace dbtest

// In a test body: prepares `db` or ends the test (skip or failure, as the back end allows).
#define DBTEST_REQUIRE_READY(db)                  \
    do {                                          \
        if ((db).Skipped())                       \
            GTEST_SKIP() << (db).Error().toStdString(); \
        ASSERT_TRUE((db).Ready()) << (db).Error().toStdString(); \
    } while (false)
