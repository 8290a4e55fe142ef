// Fuzz target: the .xls reader on arbitrary bytes. A workbook that is damaged or not a
// workbook at all ends in SheetError naming the file, never in a crash, a hang or a
// read outside the input.
#include <cstddef>
#include <cstdint>

#include <QByteArray>

#include "sheet/SheetError.h"
#include "tests/support/XlsReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A copy of exactly the input's bytes, so that any read beyond them is caught.
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const std::vector<sheet::XlsWorksheet> sheets = sheet::XlsReader::read(bytes, QStringLiteral("fuzz.xls"));
        for (const sheet::XlsWorksheet& w : sheets)
            for (const auto& [address, value] : w.cells)
                if (address.first < 1 || address.second < 1 || (value.kind == sheet::CellKind::Text && value.text.isNull()))
                    __builtin_trap();
    } catch (const sheet::SheetError& e) {
        if (!e.message().contains(QStringLiteral("fuzz.xls")))
            __builtin_trap(); // every error names the file
    }
    return 0;
}
