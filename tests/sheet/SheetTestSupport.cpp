#include "tests/sheet/SheetTestSupport.h"

#include <QJsonDocument>
#include <QProcess>
#include <gtest/gtest.h>

#include "sheet/TemplateReader.h"
#include "tests/TestSupport.h"
#include "tools/tallyleaf-sheet/DemoRows.h"

namespace sheettest {

QString templatePath(bool stateCapital)
{
    return testsupport::SourceDir() + QStringLiteral("/data/templates/")
        + (stateCapital ? QStringLiteral("指标明细表_国有资本cll5.cll") : QStringLiteral("指标明细表_非国有资本cll5.cll"));
}

sheet::Sheet demoSheet(int rows, bool amountsAsNumbers)
{
    sheet::Sheet s = sheet::TemplateReader::read(templatePath(false));
    demo::DemoOptions options;
    options.rows = rows;
    options.amountsAsNumbers = amountsAsNumbers;
    demo::fillDemoRows(s, options);
    return s;
}

QString runProgram(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(280000)) {
        ADD_FAILURE() << program.toStdString() << " did not finish";
        return {};
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed: " << p.readAllStandardError().toStdString();
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

QJsonObject readWorkbook(const QString& path, bool lastRowOnly)
{
    const QString script = testsupport::SourceDir() + QStringLiteral("/tests/sheet/read_workbook.py");
    QStringList args{script, path};
    if (lastRowOnly)
        args << QStringLiteral("--last-row");
    const QString out = runProgram(QStringLiteral("/usr/bin/python3"), args);
    return QJsonDocument::fromJson(out.toUtf8()).object();
}

} // namespace sheettest
