#include "bench/report/StatementFloor.h"

#include <QByteArray>
#include <QStringList>
#include <cstdlib>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <vector>

namespace {

// The report reads these columns with AsFloat and every other one with AsString.
bool IsAmountColumn(const char* name)
{
    static const QStringList amounts{"summ", "dnjb", "dnxm", "dnqt", "jyjb", "jyxm", "jyqt"};
    return amounts.contains(QString::fromUtf8(name), Qt::CaseInsensitive);
}

class TSqliteFloor : public TStatementFloor {
public:
    explicit TSqliteFloor(sqlite3* db) : FDb(db) {}
    ~TSqliteFloor() override { sqlite3_close(FDb); }

    bool Run(const QString& sql, TFloorTotals& totals) override
    {
        const QByteArray text = sql.toUtf8();
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(FDb, text.constData(), int(text.size()), &statement, nullptr) != SQLITE_OK)
            return Fail();
        const int columns = sqlite3_column_count(statement);
        std::vector<bool> amount(static_cast<size_t>(columns));
        for (int i = 0; i < columns; ++i)
            amount[size_t(i)] = IsAmountColumn(sqlite3_column_name(statement, i));
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            for (int i = 0; i < columns; ++i) {
                if (amount[size_t(i)]) {
                    totals.Amounts += sqlite3_column_double(statement, i);
                } else {
                    const unsigned char* bytes = sqlite3_column_text(statement, i);
                    totals.TextBytes += bytes ? sqlite3_column_bytes(statement, i) : 0;
                }
            }
            ++totals.Rows;
        }
        sqlite3_finalize(statement);
        return rc == SQLITE_DONE || Fail();
    }

private:
    bool Fail()
    {
        FError = QString::fromUtf8(sqlite3_errmsg(FDb));
        return false;
    }

    sqlite3* FDb;
};

class TLibpqFloor : public TStatementFloor {
public:
    explicit TLibpqFloor(PGconn* conn) : FConn(conn) {}
    ~TLibpqFloor() override { PQfinish(FConn); }

    // One PQexec: the whole result arrives in client memory, as a plain query does.
    bool Run(const QString& sql, TFloorTotals& totals) override
    {
        PGresult* result = PQexec(FConn, sql.toUtf8().constData());
        if (PQresultStatus(result) != PGRES_TUPLES_OK) {
            FError = QString::fromUtf8(PQresultErrorMessage(result));
            PQclear(result);
            return false;
        }
        const int rows = PQntuples(result);
        const int columns = PQnfields(result);
        std::vector<bool> amount(static_cast<size_t>(columns));
        for (int i = 0; i < columns; ++i)
            amount[size_t(i)] = IsAmountColumn(PQfname(result, i));
        for (int r = 0; r < rows; ++r) {
            for (int i = 0; i < columns; ++i) {
                const char* value = PQgetvalue(result, r, i);
                if (amount[size_t(i)])
                    totals.Amounts += std::strtod(value, nullptr);
                else
                    totals.TextBytes += PQgetlength(result, r, i);
            }
            ++totals.Rows;
        }
        PQclear(result);
        return true;
    }

private:
    PGconn* FConn;
};

} // namespace

std::unique_ptr<TStatementFloor> TStatementFloor::Open(const QString& connectionString, QString& error)
{
    if (connectionString.startsWith(QStringLiteral("sqlite:"), Qt::CaseInsensitive)) {
        QString path = connectionString.mid(7);
        while (path.startsWith(QStringLiteral("//")))
            path.remove(0, 1);   // sqlite:///abs/path
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            error = QStringLiteral("sqlite3_open_v2(%1): %2").arg(path, QString::fromUtf8(sqlite3_errmsg(db)));
            sqlite3_close(db);
            return nullptr;
        }
        return std::make_unique<TSqliteFloor>(db);
    }
    if (connectionString.startsWith(QStringLiteral("postgres"), Qt::CaseInsensitive)) {
        PGconn* conn = PQconnectdb(connectionString.toUtf8().constData());
        if (PQstatus(conn) != CONNECTION_OK) {
            error = QStringLiteral("PQconnectdb: ") + QString::fromUtf8(PQerrorMessage(conn));
            PQfinish(conn);
            return nullptr;
        }
        PQsetClientEncoding(conn, "UTF8");
        return std::make_unique<TLibpqFloor>(conn);
    }
    error = QStringLiteral("no C library floor for this connection string");
    return nullptr;
}
