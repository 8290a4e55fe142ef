#include "platform/ResultRows.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QSqlResult>
#include <algorithm>
#include <cstring>
#include <limits>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace resultrows {

namespace {

// The statement of a query run by Qt's SQLite driver, or nullptr for any other driver. The
// driver steps a statement to its first row when it runs it and hands that row out first;
// the statement then stands on that row.
sqlite3_stmt* SqliteStatement(const QSqlQuery& query)
{
    const QVariant handle = query.result() ? query.result()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0)
        return nullptr;
    return *static_cast<sqlite3_stmt* const*>(handle.constData());
}

// A column of the statement's current row, of the type Qt's driver gives it with its
// default precision policy (texts decoded from UTF-8, see the header).
QVariant SqliteValue(sqlite3_stmt* statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, column)),
                          sqlite3_column_bytes(statement, column));
    case SQLITE_INTEGER:
        return qlonglong(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(statement, column);
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
    }
    }
}

// The driver's own error for a row that could not be fetched.
QSqlError FetchError(sqlite3_stmt* statement, int code)
{
    const auto* message = static_cast<const QChar*>(sqlite3_errmsg16(sqlite3_db_handle(statement)));
    return QSqlError(QCoreApplication::translate("QSQLiteResult", "Unable to fetch row"), QString(message),
                     QSqlError::ConnectionError, QString::number(code));
}

// The UTF-8 bytes of a column's text in the row above: the same bytes again make the same
// text, which then shares the row above's copy without being decoded at all.
class TTextAbove {
public:
    bool Repeats(const char* text, int bytes) const
    {
        return FValid && FBytes.size() == size_t(bytes) && std::memcmp(FBytes.data(), text, size_t(bytes)) == 0;
    }
    void Keep(const char* text, int bytes)
    {
        FBytes.assign(text, size_t(bytes));
        FValid = true;
    }
    void Forget() { FValid = false; }

private:
    std::string FBytes;
    bool FValid = false;
};

void AppendSqliteValue(sqlite3_stmt* statement, int column, QList<QVariant>& values, int columns, TTextAbove& above)
{
    if (sqlite3_column_type(statement, column) != SQLITE_TEXT) {
        above.Forget();
        values.append(SqliteValue(statement, column));
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    const int bytes = sqlite3_column_bytes(statement, column);
    if (above.Repeats(text, bytes)) {
        QVariant same = values[values.size() - columns];
        values.append(std::move(same));
        return;
    }
    above.Keep(text, bytes);
    values.append(QString::fromUtf8(text, bytes));
}

// The part being read: handed over when it is full and a further row comes, so that only
// the part that ends the result is handed over as the last.
class TPartBuffer {
public:
    TPartBuffer(int columns, qsizetype partRows, qsizetype knownRows, const TTakePart& take)
        : FColumns(columns), FPartRows(std::max<qsizetype>(1, partRows)), FKnownRows(knownRows), FTake(take)
    {
        Reserve();
    }

    // Makes room for one more row, handing the full part over first; false once take has
    // stopped the reading.
    bool Room()
    {
        if (FRows < FPartRows)
            return true;
        const bool more = FTake(std::move(FValues), FRows, false);
        FValues = QList<QVariant>();
        FRows = 0;
        Reserve();
        return more;
    }
    // No row of the part is read yet: its first row has none above it.
    bool Fresh() const { return FRows == 0; }
    QList<QVariant>& Values() { return FValues; }
    void RowRead()
    {
        ++FRows;
        ++FTotal;
    }
    // The rows after the last full part, handed over as the last.
    void HandLast()
    {
        if (FRows > 0)
            FTake(std::move(FValues), FRows, true);
    }
    qsizetype Total() const { return FTotal; }

private:
    void Reserve()
    {
        // A part's size is reserved when the result's size is known, or when parts are small.
        constexpr qsizetype SmallPart = 1 << 16;
        const qsizetype rows = FKnownRows >= 0 ? std::min(FPartRows, FKnownRows - FTotal)
                                               : (FPartRows <= SmallPart ? FPartRows : 0);
        if (rows > 0)
            FValues.reserve(rows * FColumns);
    }

    const int FColumns;
    const qsizetype FPartRows;
    const qsizetype FKnownRows;
    const TTakePart& FTake;
    QList<QVariant> FValues;
    qsizetype FRows = 0;
    qsizetype FTotal = 0;
};

// The rows after the first; false when fetching a row failed (error set).
bool ReadSqliteRest(sqlite3_stmt* statement, int columns, TPartBuffer& parts, QSqlError& error)
{
    std::vector<TTextAbove> above(static_cast<size_t>(columns));
    for (;;) {
        const int step = sqlite3_step(statement);
        if (step == SQLITE_DONE) {
            parts.HandLast();
            return true;
        }
        if (step != SQLITE_ROW) {
            // A generic error has its particular code from the reset, as the driver takes it.
            const int code = sqlite3_reset(statement);
            error = FetchError(statement, step == SQLITE_ERROR ? code : step);
            return false;
        }
        if (!parts.Room())
            return true;
        if (parts.Fresh())
            for (TTextAbove& a : above)
                a.Forget();
        for (int i = 0; i < columns; ++i)
            AppendSqliteValue(statement, i, parts.Values(), columns, above[size_t(i)]);
        parts.RowRead();
    }
}

bool DriverPolicyIsDouble(const QSqlQuery& query)
{
    const QSql::NumericalPrecisionPolicy policy = query.numericalPrecisionPolicy();
    return policy == QSql::LowPrecisionDouble || policy == QSql::HighPrecision;
}

} // namespace

void Append(QList<QVariant>& values, QVariant value, int columns)
{
    const qsizetype above = values.size() - columns;
    if (above >= 0 && value.typeId() == QMetaType::QString) {
        const QVariant& upper = values[above];
        if (upper.typeId() == QMetaType::QString &&
            *static_cast<const QString*>(upper.constData()) == *static_cast<const QString*>(value.constData()))
            value = upper;
    }
    values.append(std::move(value));
}

qsizetype ReadInParts(QSqlQuery& query, int columns, qsizetype partRows, const TTakePart& take, QSqlError& error)
{
    TPartBuffer parts(columns, partRows, query.size() >= 0 ? qsizetype(query.size()) : -1, take);
    if (!query.next()) {
        error = query.lastError();
        return error.isValid() ? -1 : 0;
    }
    for (int i = 0; i < columns; ++i)
        Append(parts.Values(), query.value(i), columns);
    parts.RowRead();
    if (sqlite3_stmt* statement = query.isForwardOnly() && DriverPolicyIsDouble(query) ? SqliteStatement(query) : nullptr)
        return ReadSqliteRest(statement, columns, parts, error) ? parts.Total() : -1;
    while (query.next()) {
        if (!parts.Room())
            return parts.Total();
        for (int i = 0; i < columns; ++i)
            Append(parts.Values(), query.value(i), columns);
        parts.RowRead();
    }
    error = query.lastError();
    if (error.isValid())
        return -1;
    parts.HandLast();
    return parts.Total();
}

qsizetype ReadAll(QSqlQuery& query, int columns, QList<QVariant>& values, QSqlError& error)
{
    const TTakePart keep = [&values](QList<QVariant>&& part, qsizetype, bool) {
        values = std::move(part);
        return true;
    };
    return ReadInParts(query, columns, std::numeric_limits<qsizetype>::max(), keep, error);
}

} // namespace resultrows
