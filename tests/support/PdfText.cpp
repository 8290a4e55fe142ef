#include "tests/support/PdfText.h"

#include <QProcess>
#include <QStringList>

namespace testsupport {

QString PdfText(const QString& path, int first, int last)
{
    QStringList args{"-layout"};
    if (first > 0)
        args << "-f" << QString::number(first) << "-l" << QString::number(last > 0 ? last : first);
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"), args << path << "-");
    reader.waitForFinished(60000);
    // The fonts share one glyph between some ideographs and their radical or traditional
    // forms, and the PDF's text map gives the other form (U+2EDA for 页, 戶 for 户).
    QString text = QString::fromUtf8(reader.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    return text.replace(QChar(0x2EDA), QChar(0x9875)).replace(QChar(0x6236), QChar(0x6237));
}

} // namespace testsupport
