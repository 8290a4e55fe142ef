// tallyleaf-sheet: a tool for report template authors.
//   tallyleaf-sheet check TEMPLATE
//   tallyleaf-sheet render TEMPLATE (--pdf OUT.pdf | --xls OUT.xls | --xlsx OUT.xlsx) [--rows N]
#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "sheet/SheetError.h"
#include "sheet/SheetPrinter.h"
#include "sheet/TemplateReader.h"
#include "sheet/XlsWriter.h"
#include "sheet/XlsxWriter.h"
#include "tools/tallyleaf-sheet/DemoRows.h"

namespace {

const char* const Usage = R"(usage:
  tallyleaf-sheet check TEMPLATE
      Reads the template and reports every error with its line.
      Exit status 0 when the template reads, 1 when it has errors.
  tallyleaf-sheet render TEMPLATE (--pdf OUT.pdf | --xls OUT.xls | --xlsx OUT.xlsx) [--rows N]
      Fills the template with N demo rows (default 40) as a report would be filled,
      and writes it as a PDF, an Excel 97-2003 workbook or an .xlsx workbook.
  tallyleaf-sheet --help
      Shows this text.
)";

void printLine(FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", text.toUtf8().constData());
}

int check(const QString& path)
{
    const QStringList errors = sheet::TemplateReader::check(path);
    for (const QString& e : errors)
        printLine(stderr, e);
    if (errors.isEmpty())
        printLine(stdout, QStringLiteral("%1: OK").arg(path));
    return errors.isEmpty() ? 0 : 1;
}

int render(const QStringList& args)
{
    const QString path = args.value(2);
    QString pdf, xls, xlsx;
    demo::DemoOptions options;
    for (int i = 3; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString value = args.value(i + 1);
        if (value.isEmpty()) {
            printLine(stderr, QStringLiteral("%1 needs a value").arg(a));
            return 2;
        }
        if (a == QLatin1String("--pdf"))
            pdf = value;
        else if (a == QLatin1String("--xls"))
            xls = value;
        else if (a == QLatin1String("--xlsx"))
            xlsx = value;
        else if (a == QLatin1String("--rows")) {
            bool ok = false;
            options.rows = value.toInt(&ok);
            if (!ok || options.rows < 0) {
                printLine(stderr, QStringLiteral("--rows: “%1” is not a row count").arg(value));
                return 2;
            }
        } else {
            printLine(stderr, QStringLiteral("unknown option %1").arg(a));
            return 2;
        }
        ++i;
    }
    if (path.isEmpty() || (pdf.isEmpty() && xls.isEmpty() && xlsx.isEmpty())) {
        std::fputs(Usage, stderr);
        return 2;
    }
    try {
        sheet::Sheet s = sheet::TemplateReader::read(path);
        options.amountsAsNumbers = pdf.isEmpty();
        demo::fillDemoRows(s, options);
        QString error;
        bool ok = true;
        if (!pdf.isEmpty())
            ok = sheet::SheetPrinter(s).exportPdf(pdf, &error);
        if (ok && !xls.isEmpty())
            ok = sheet::XlsWriter::write(s, xls, &error);
        if (ok && !xlsx.isEmpty())
            ok = sheet::XlsxWriter::write(s, xlsx, &error);
        if (!ok) {
            printLine(stderr, error);
            return 1;
        }
    } catch (const sheet::SheetError& e) {
        printLine(stderr, e.message());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Fonts need a GUI application; the tool never shows a window.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const QString command = args.value(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (command == QLatin1String("check") && args.size() == 3)
        return check(args[2]);
    if (command == QLatin1String("render"))
        return render(args);
    std::fputs(Usage, stderr);
    return 2;
}
