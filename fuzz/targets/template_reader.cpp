// Fuzz target: the report template reader on arbitrary file contents. Any input must
// end in a sheet or in error lines naming the template and the line, never a crash, a
// hang or an allocation beyond the fuzzer's limit.
#include <cstddef>
#include <cstdint>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "sheet/SheetError.h"
#include "sheet/TemplateReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The reader takes the file as UTF-8, as TemplateReader::read does.
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QStringList errors;
    const sheet::Sheet sheet = sheet::TemplateReader::parse(text, QStringLiteral("fuzz.cll"), &errors);
    for (const QString& error : errors)
        if (!error.startsWith(QStringLiteral("fuzz.cll:")))
            __builtin_trap(); // every message names the template and the line
    if (!errors.isEmpty())
        return 0;
    // A template that reads gives a sheet whose every cell can be shown.
    for (int row = 1; row <= sheet.rowCount(); ++row)
        for (int col = 1; col <= sheet.columnCount(); ++col)
            (void)sheet.displayText(col, row);
    for (const sheet::CellRange& merge : sheet.merges())
        if (sheet.mergeAt(merge.firstCol, merge.firstRow) == nullptr)
            __builtin_trap();
    return 0;
}
