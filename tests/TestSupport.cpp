#include "tests/TestSupport.h"

#include <QByteArray>

namespace testsupport {

QString SourceDir()
{
    const QByteArray env = qgetenv("TALLYLEAF_SOURCE_DIR");
    return env.isEmpty() ? QStringLiteral(TALLYLEAF_SOURCE_DIR_FALLBACK) : QString::fromLocal8Bit(env);
}

QString PostgresUrl()
{
    return QString::fromLocal8Bit(qgetenv("TALLYLEAF_TEST_PG"));
}

QStringList Backends()
{
    QStringList list{QStringLiteral("sqlite")};
    if (!PostgresUrl().isEmpty())
        list << QStringLiteral("postgresql");
    return list;
}

} // namespace testsupport
