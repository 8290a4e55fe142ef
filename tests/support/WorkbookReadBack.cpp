#include "tests/support/WorkbookReadBack.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <gtest/gtest.h>

#include "tests/TestSupport.h"

namespace testsupport {

QJsonObject ReadWorkbook(const QString& path, bool lastRowOnly)
{
    QStringList args{SourceDir() + QStringLiteral("/tests/sheet/read_workbook.py"), path};
    if (lastRowOnly)
        args << QStringLiteral("--last-row");
    QProcess reader;
    reader.start(QStringLiteral("/usr/bin/python3"), args);
    if (!reader.waitForFinished(120000) || reader.exitStatus() != QProcess::NormalExit || reader.exitCode() != 0) {
        reader.kill();
        ADD_FAILURE() << "read_workbook.py did not read " << path.toStdString() << ": "
                      << reader.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
}

QString CellText(const QJsonObject& book, int row, int col)
{
    const QJsonArray cell =
        book.value(QStringLiteral("cells")).toObject().value(QStringLiteral("%1,%2").arg(row).arg(col)).toArray();
    return cell.size() == 2 ? cell.at(1).toVariant().toString() : QString();
}

} // namespace testsupport
