#include "tests/support/DbTestSupport.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>

#include "tests/TestSupport.h"

using namespace Qt::StringLiterals;

namespace dbtest {

namespace {

bool PostgresMayBeMissing()
{
    return qEnvironmentVariable("TALLYLEAF_ALLOW_NO_PG") == u"1"_s;
}

// Runs one administrative statement on the server's own database.
bool AdminExec(const QString& serverUrl, const QString& sql, QString* error)
{
    const QUrl url(serverUrl);
    const QString name = u"tallyleaf-test-admin-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, name);
        db.setHostName(url.host());
        db.setPort(url.port(5432));
        db.setUserName(url.userName());
        db.setPassword(url.password());
        db.setDatabaseName(url.path().mid(1));
        if (!db.open()) {
            *error = u"cannot reach the test server: "_s + db.lastError().text();
        } else {
            QSqlQuery q(db);
            ok = q.exec(sql);
            if (!ok)
                *error = q.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace

QStringList SqlBackends()
{
    return {u"sqlite"_s, u"postgresql"_s};
}

std::string BackendName(const ::testing::TestParamInfo<QString>& info)
{
    return QString(info.param).replace(u'-', u'_').toStdString();
}

QString SqliteOdbcDriver()
{
    const QSettings ini(u"/etc/odbcinst.ini"_s, QSettings::IniFormat);
    if (ini.childGroups().contains(u"SQLite3"_s))
        return u"SQLite3"_s;
    for (const QString& path : {u"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so"_s,
                                u"/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so"_s})
        if (QFile::exists(path))
            return path;
    return {};
}

QString PostgresUrlForDatabase(const QString& serverUrl, const QString& database)
{
    QUrl url(serverUrl);
    url.setPath(u"/"_s + database);
    return url.toString();
}

ScratchDatabase::ScratchDatabase(const QString& backend) : FBackend(backend)
{
    if (backend == u"sqlite"_s) {
        MakeSqlite(u"sqlite:"_s);
    } else if (backend == u"odbc-sqlite"_s) {
        const QString driver = SqliteOdbcDriver();
        if (driver.isEmpty()) {
            FError = u"the SQLite ODBC driver is not installed"_s;
            return;
        }
        MakeSqlite(u"DRIVER={"_s + driver + u"};Database="_s);
    } else if (backend == u"postgresql"_s) {
        MakePostgres();
    } else {
        FError = u"unknown back end "_s + backend;
    }
}

ScratchDatabase::~ScratchDatabase()
{
    if (!FPgDatabase.isEmpty()) {
        QString error;
        if (!AdminExec(testsupport::PostgresUrl(), u"drop database if exists "_s + FPgDatabase + u" with (force)"_s, &error))
            qWarning("scratch database %s not dropped: %s", qPrintable(FPgDatabase), qPrintable(error));
    }
}

void ScratchDatabase::MakeSqlite(const QString& prefix)
{
    FDir = std::make_unique<QTemporaryDir>();
    if (!FDir->isValid()) {
        FError = u"no temporary folder: "_s + FDir->errorString();
        return;
    }
    FConnectionString = prefix + FDir->filePath(u"budget.db"_s);
    FReady = true;
}

void ScratchDatabase::MakePostgres()
{
    const QString server = testsupport::PostgresUrl();
    if (server.isEmpty()) {
        FError = u"TALLYLEAF_TEST_PG is not set (set TALLYLEAF_ALLOW_NO_PG=1 to skip the PostgreSQL cases)"_s;
        FSkipped = PostgresMayBeMissing();
        return;
    }
    static QAtomicInteger<int> counter;
    const QString name = u"tl_%1_%2_%3"_s.arg(QCoreApplication::applicationPid())
                             .arg(counter.fetchAndAddRelaxed(1))
                             .arg(QUuid::createUuid().toString(QUuid::Id128).left(8));
    if (!AdminExec(server, u"create database "_s + name + u" encoding 'UTF8' template template0"_s, &FError))
        return;
    FPgDatabase = name;
    FConnectionString = PostgresUrlForDatabase(server, name);
    FReady = true;
}

QString ScratchDatabase::Provider() const
{
    if (FBackend == u"postgresql"_s)
        return u"PostgreSQL"_s;
    return u"SQLite"_s;
}

} // namespace dbtest
