#include "tests/scenario/FilesRead.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include "tests/TestSupport.h"
#include "tests/scenario/ScenarioDriver.h"

namespace scenario {

namespace {

QString Run(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw ScenarioFailure(QStringLiteral("%1 %2 failed: %3")
                                  .arg(program, arguments.join(QLatin1Char(' ')),
                                       QString::fromLocal8Bit(p.readAllStandardError()))
                                  .toStdString());
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

PdfDocument ReadPdf(const QString& path)
{
    PdfDocument pdf;
    const QString info = Run(QStringLiteral("pdfinfo"), {path});
    const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"),
                                                             QRegularExpression::MultilineOption)
                                              .match(info);
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("^Page size:\\s+([\\d.]+) x ([\\d.]+) pts"), QRegularExpression::MultilineOption)
            .match(info);
    if (!pages.hasMatch() || !size.hasMatch())
        throw ScenarioFailure(("pdfinfo did not read " + path + ":\n" + info).toStdString());
    pdf.pages = pages.captured(1).toInt();
    pdf.pageSize = QSizeF(size.captured(1).toDouble(), size.captured(2).toDouble());
    for (int page = 1; page <= pdf.pages; ++page)
        pdf.pageTexts << Run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-f"),
                                                           QString::number(page), QStringLiteral("-l"),
                                                           QString::number(page), path, QStringLiteral("-")});
    return pdf;
}

QSizeF TemplatePaperSize(const QString& templateFile)
{
    QFile file(templateFile);
    if (!file.open(QIODevice::ReadOnly))
        throw ScenarioFailure(("cannot read " + templateFile).toStdString());
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^paper\\s+(A4|A3)\\s+(landscape|portrait)"), QRegularExpression::MultilineOption)
            .match(QString::fromUtf8(file.readAll()));
    const QString paper = m.hasMatch() ? m.captured(1) : QStringLiteral("A4");   // the format's defaults
    const bool landscape = !m.hasMatch() || m.captured(2) == QLatin1String("landscape");
    const QSizeF portrait = paper == QLatin1String("A3") ? QSizeF(842, 1191) : QSizeF(595, 842);
    return landscape ? portrait.transposed() : portrait;
}

QString DemoTemplateFile()
{
    return testsupport::SourceDir() + QStringLiteral("/data/templates/指标明细表_非国有资本cll5.cll");
}

} // namespace scenario
