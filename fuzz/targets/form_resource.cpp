// Fuzz target: the form resource reader on arbitrary resource text, read into a plain
// form. Any text gives the form or a platform exception naming the resource, never a
// crash or a foreign exception; the form is freed after every input.
#include <cstddef>
#include <cstdint>

#include <QApplication>
#include <QString>

#include "platform/FormResource.h"
#include "platform/Forms.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv); // the forms' widgets need one, for the whole run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    auto* form = new TForm(nullptr);
    try {
        ReadComponentResource(form, QStringLiteral("fuzz.form"), text);
    } catch (const Exception& e) {
        if (!e.Message().contains(QStringLiteral("fuzz.form")))
            __builtin_trap(); // every error names the resource
    }
    form->Free();
    return 0;
}
