#pragma once
// Small helpers shared by the test binaries.
#include <QString>
#include <QStringList>

namespace testsupport {

// The source tree (for data/ and templates) as ctest passes it, or the compile-time path.
QString SourceDir();

// Database back ends to run SQL cases against: always "sqlite", plus "postgresql" when
// TALLYLEAF_TEST_PG holds a server URL (scripts/test starts one). A test binary that
// needs PostgreSQL and does not get it fails unless TALLYLEAF_ALLOW_NO_PG=1.
QStringList Backends();
QString PostgresUrl();

} // namespace testsupport
