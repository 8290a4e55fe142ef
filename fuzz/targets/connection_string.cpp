// Fuzz target: the connection-string parser and the password hiding used in messages.
// Any text gives a known driver or an empty one with a reason, never a crash; a
// PostgreSQL URL's password never survives HidePassword.
#include <cstddef>
#include <cstdint>

#include <QString>
#include <QUrl>

#include "platform/ADOConnectionString.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const TADOConnectionParams params = ParseConnectionString(text, &error);
    const bool known = params.Driver == QLatin1String("QSQLITE") || params.Driver == QLatin1String("QPSQL")
        || params.Driver == QLatin1String("QODBC");
    if (params.Driver.isEmpty() == known)
        __builtin_trap(); // a driver must be one of the three or none at all
    if (params.Driver.isEmpty() && error.isEmpty())
        __builtin_trap(); // no driver without a reason
    if (params.Port < -1 || params.Port > 65535)
        __builtin_trap();

    const QString hidden = HidePassword(text);
    if (params.Driver == QLatin1String("QPSQL") && !params.Password.isEmpty()) {
        const QUrl shown(hidden);
        if (shown.password(QUrl::FullyDecoded) == params.Password && params.Password != QLatin1String("***"))
            __builtin_trap(); // the password would appear in a message
    }
    return 0;
}
