#pragma once
// The physical floor of a statement: executed through the database's own C library (SQLite
// or libpq), every field of every row read as the report reads it (the amount columns as
// numbers, every other column as text), nothing kept beyond a checksum. No Qt, no data layer.
#include <QString>
#include <memory>

struct TFloorTotals {
    long long Rows = 0;
    long long TextBytes = 0;
    double Amounts = 0;
};

class TStatementFloor {
public:
    virtual ~TStatementFloor() = default;
    // Runs `sql` once and reads every row into `totals`; false with Error() on failure.
    virtual bool Run(const QString& sql, TFloorTotals& totals) = 0;
    QString Error() const { return FError; }

    // A floor on the database a connection string names ("sqlite:PATH" or
    // "postgresql://..."); null for any other form. The connection is opened here, once.
    static std::unique_ptr<TStatementFloor> Open(const QString& connectionString, QString& error);

protected:
    QString FError;
};
