#pragma once
// The library's way to the host's database: the connection registered as "Def" in
// the host's registry, one-call queries on it, and the two login-unit tests that the
// print window uses. Everything reads the environment through PubVariable().
#include <QString>
#include <functional>

#include "common/untDataBase.h"

// The host's "Def" connection (registered on first use when the host has none); nothing
// is opened here. nullptr when there is no environment or no registry.
TAdoConn* GetDefConnection();

// Runs `sql` on "Def". True with `query` holding the open query; false on any failure,
// with no message and `query` left as it was. LastDefQueryError() then tells why.
bool OpenDefQuery(const QString& sql, IARQueryPtr& query);
// The failure text of the last OpenDefQuery, naming the connection; empty after success.
QString LastDefQueryError();

// Runs `sql` on "Def" and hands its rows to `take` in parts of partRows rows as they are
// read (TADOQuery::OpenInParts), with the query whose fields they are. False on a failure of
// the database, as OpenDefQuery; whatever `take` raises passes through, the reading stopped.
bool ReadDefQueryInParts(const QString& sql, qsizetype partRows,
                         const std::function<bool(const TDataSet& fields, TRowPart&& part)>& take);

// The login unit's code (value 0 of LoginUnit as text), empty when there is none.
QString LoginUnitCode();

// The login unit counts as a department: a six-character code ending in "001" while
// the host's DeptMode is "1".
bool IsDeptLogin();
// A non-department login unit whose parent code covers at most two rows of pubdept.
bool IsSmallBranch();

// The last n characters of `text` (the whole text when it is shorter).
QString RightText(const QString& text, int n);
