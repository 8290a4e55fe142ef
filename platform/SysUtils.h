#pragma once
// Exceptions and the few text helpers that every layer uses.
//
// Failures inside the library are exceptions that carry the system's own message.
// Every exception class derives from Exception; messages are QString (UTF-8 inside).
#include <QString>
#include <QStringList>
#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(QString message) : FMessage(std::move(message)), FUtf8(FMessage.toStdString()) {}
    const QString& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FUtf8.c_str(); }

private:
    QString FMessage;
    std::string FUtf8;
};

// Declares an exception class that is a plain Exception with a message only.
#define TALLYLEAF_DECLARE_EXCEPTION(Name, Base)                      \
    class Name : public Base {                                       \
    public:                                                          \
        explicit Name(QString message) : Base(std::move(message)) {} \
    }

TALLYLEAF_DECLARE_EXCEPTION(EConvertError, Exception);
TALLYLEAF_DECLARE_EXCEPTION(EStringListError, Exception);
TALLYLEAF_DECLARE_EXCEPTION(EFilerError, Exception);
TALLYLEAF_DECLARE_EXCEPTION(EInOutError, Exception);

// The text of any exception: Exception's message, or what() of a standard one.
QString ExceptionMessage(const std::exception& e);

// Replaces the format specifiers %s and %S (strings) and %d (integers, given as text)
// in order of appearance; "%%" gives "%". Resource strings use these forms only.
QString Format(const QString& format, const QStringList& args);
inline QString Format(const QString& format, const QString& arg) { return Format(format, QStringList{arg}); }

// Trims blanks and control characters (everything up to U+0020) at both ends.
QString Trim(const QString& s);

// Integer conversion that raises EConvertError naming the text, as the platform did.
int StrToInt(const QString& s);
bool TryStrToInt(const QString& s, int& value);

// SQL text: a value spliced between the quotes of a literal has its quotes doubled.
// SqlEscape doubles the quotes only (for templates that carry their own quotes);
// QuotedStr also adds the surrounding quotes.
QString SqlEscape(const QString& value);
QString QuotedStr(const QString& value);
