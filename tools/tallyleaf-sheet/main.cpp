// tallyleaf-sheet: a tool for report template authors.
//   tallyleaf-sheet check TEMPLATE
//   tallyleaf-sheet render TEMPLATE (--pdf OUT.pdf | --xls OUT.xls | --xlsx OUT.xlsx)... [--rows N]
// The usage text below is the whole manual; the admin guide describes the same options.
#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "print/untReportTemplate.h"
#include "sheet/SheetError.h"
#include "sheet/SheetPrinter.h"
#include "sheet/TemplateReader.h"
#include "sheet/XlsWriter.h"
#include "sheet/XlsxWriter.h"
#include "tools/tallyleaf-sheet/DemoRows.h"

namespace {

const char* const Usage = R"(usage:
  tallyleaf-sheet check TEMPLATE
  tallyleaf-sheet render TEMPLATE OUTPUT... [--rows N]
  tallyleaf-sheet --help

A tool for authors of report templates (.cll files, the text format described in
templates.md of the documents; the installed templates are in
/usr/share/tallyleaf/templates/). It never shows a window.

commands:
  check TEMPLATE
      Reads the template and checks that the indicator report can use it (at
      least 18 columns and 7 rows, amount formats in columns 12-18 of the spare
      row 7). Prints every error on standard error as FILE:LINE: message (or
      FILE: message for what the report misses), or "TEMPLATE: OK" on standard
      output when it passes.
  render TEMPLATE OUTPUT... [--rows N]
      Fills the template with demo rows as a report is filled (title, subtitle,
      year, grand, level and unit totals, indicators; the spare row 7 removed)
      and writes each OUTPUT given (at least one):
  --pdf FILE
      the sheet printed to PDF, paper, margins, page texts and heading rows as
      the template sets them; amounts as the screen shows them (#,##0.00)
  --xls FILE
      an Excel 97-2003 workbook, as the report export writes it (amounts as numbers)
  --xlsx FILE
      an Excel 2007 (.xlsx) workbook (amounts as numbers)
  --rows N
      the number of demo rows, 0 or more (default 40)
  -h, --help
      shows this text

exit status:
  0  success (check: the template reads and the report can use it)
  1  the template has errors, or an output could not be written
  2  wrong usage: an unknown command or option, a missing value, --rows not a
     row count, or render without an output

environment:
  QT_QPA_PLATFORM  the Qt window system; offscreen unless set (fonts only, no window)

examples:
  tallyleaf-sheet check /usr/share/tallyleaf/templates/指标明细表_非国有资本cll5.cll
  tallyleaf-sheet render my-report.cll --pdf my-report.pdf --rows 200
  tallyleaf-sheet render my-report.cll --xls my-report.xls --xlsx my-report.xlsx
)";

void printLine(FILE* stream, const QString& text)
{
    std::fprintf(stream, "%s\n", text.toUtf8().constData());
}

int check(const QString& path)
{
    QStringList errors = sheet::TemplateReader::check(path);
    if (errors.isEmpty()) {
        try {
            const QString shortfall = ReportTemplateShortfall(sheet::TemplateReader::read(path));
            if (!shortfall.isEmpty())
                errors << QStringLiteral("%1: %2").arg(path, shortfall);
        } catch (const sheet::SheetError& e) {
            errors << e.message(); // the file changed since it was checked
        }
    }
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
