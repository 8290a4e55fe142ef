#pragma once
// The rows of a query's result on their way into a data set: one flat list of values, row
// after row.
//
// Texts repeated down a column share one copy. On SQLite, the rows after the first are read
// straight from the statement that Qt's driver ran: the driver would copy every value into
// a row cache of its own and again into the value handed out, and on a result of a million
// rows that is a fifth of the time, and its texts pass through SQLite's slow UTF-16
// conversion. The values are of the types the driver gives (integers as 64-bit integers,
// reals as doubles, NULL as a null text, blobs as bytes); texts are decoded from SQLite's
// UTF-8 by Qt, which gives the same text for every well-formed string.
#include <QList>
#include <QSqlError>
#include <QVariant>
#include <functional>

class QSqlQuery;

namespace resultrows {

// Appends a value to the row being read (columns values to a row); a text equal to the
// one just above it in its column shares that one's storage.
void Append(QList<QVariant>& values, QVariant value, int columns);

// Takes one part of the rows: its values (row after row), its row count, and whether the
// statement has no rows after it. Answers false to stop the reading there.
using TTakePart = std::function<bool(QList<QVariant>&& values, qsizetype rows, bool last)>;

// Reads the rows of an executed select query and hands them to take in parts of partRows
// rows (the last part may be shorter; a result without rows makes no part). A part is
// handed over once the row after it has been fetched, so that it knows whether it is the
// last. Returns the number of rows read, or -1 with error set when fetching a row failed.
qsizetype ReadInParts(QSqlQuery& query, int columns, qsizetype partRows, const TTakePart& take, QSqlError& error);

// Reads every row of an executed select query into values; returns the number of rows, or
// -1 with error set when fetching a row failed.
qsizetype ReadAll(QSqlQuery& query, int columns, QList<QVariant>& values, QSqlError& error);

} // namespace resultrows
