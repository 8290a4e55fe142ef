// `tallyleaf-sheet check` refuses what the report refuses, naming what is missing: a
// template that reads but that the indicator report cannot fill.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/sheet/SheetTestSupport.h"

namespace {

QByteArray shippedTemplate()
{
    QFile f(sheettest::templatePath(false));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(SheetToolCheck, TemplatesTheReportCannotFillFailNamingWhatIsMissing)
{
    const QByteArray shipped = shippedTemplate();
    ASSERT_FALSE(shipped.isEmpty());
    QByteArray noAmounts = shipped;
    noAmounts.replace(" number=amount", "");
    const struct {
        const char* name;
        QByteArray body;
        int status;
        QString says;
    } cases[] = {
        {"the shipped template", shipped, 0, ": OK"},
        {"twelve columns", "cll-template 1\nsize 12 7\n", 1, "至少要有18列，这个模板只有12列"},
        {"six rows", "cll-template 1\nsize 18 6\n", 1, "至少要有7行"},
        {"a whole file without amount formats", noAmounts, 1, "第7行（备用行）第12～18列要有金额格式"},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath("t.cll");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.body);
        f.close();
        QProcess tool;
        tool.start(QStringLiteral(TALLYLEAF_SHEET_EXE), {QStringLiteral("check"), path});
        ASSERT_TRUE(tool.waitForFinished(60000));
        const QString said = QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
        EXPECT_EQ(tool.exitCode(), c.status) << said.toStdString();
        EXPECT_TRUE(said.contains(path + (c.status ? ": " : "")) && said.contains(c.says)) << said.toStdString();
    }
}
