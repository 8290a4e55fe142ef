#pragma once
// Reads report templates: UTF-8 text files, one directive a line (see docs/templates.md).
// A template that is missing or malformed is an error naming the file and the line (a
// line that is not UTF-8 and a number that is not finite are such errors); check() lists
// every error, read() throws SheetError with the first.
#include <QHash>
#include <QString>
#include <QStringList>

#include "sheet/Sheet.h"

namespace sheet {

class TemplateReader {
public:
    // The sheet the template describes; throws SheetError naming file and line.
    static Sheet read(const QString& path);
    // Every error of the template, each "FILE:LINE: message"; empty when it reads.
    static QStringList check(const QString& path);
    // Parses template text already in memory; `name` stands for the file in messages.
    static Sheet parse(const QString& text, const QString& name, QStringList* errors);

private:
    struct Token {
        QString text;
        bool quoted = false;
    };
    struct Context;
    struct Directives;

    // Parses decoded lines; `lineErrors` (by 0-based line) are lines that could not be decoded.
    static Sheet parseLines(const QStringList& lines, const QHash<int, QString>& lineErrors, const QString& name,
                            QStringList* errors);
    static QList<Token> tokenize(const QString& line, QString* error);
    static void directive(Context& ctx, const QList<Token>& tokens);
};

} // namespace sheet
