#pragma once
// The one exception of the sheet engine: a message naming what failed.
#include <QString>
#include <stdexcept>

namespace sheet {

class SheetError : public std::runtime_error {
public:
    explicit SheetError(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};

} // namespace sheet
