#pragma once
// The page text codes: "&S" stands for the page count, "&P" for the page number.
#include <QString>

namespace sheet {

class PageText {
public:
    // The text as printed on page `number` of `count`.
    static QString expand(const QString& text, int number, int count);
    // The same text in a workbook footer's codes: "&S" → "&N", "&P" stays, and every
    // other "&" doubled so Excel prints it as written.
    static QString toExcel(const QString& text);
    // "&L…&C…&R…" for the three parts, empty parts left out.
    static QString excelFooter(const QString& left, const QString& middle, const QString& right);
};

} // namespace sheet
