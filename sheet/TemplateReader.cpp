#include "sheet/TemplateReader.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <cmath>
#include <functional>

#include "sheet/SheetError.h"

namespace sheet {

namespace {

// The most rows a template may declare: as many as one .xls worksheet holds.
constexpr int MaxTemplateRows = 65536;

// A directive's own complaint; the reader adds file and line.
struct LineError {
    QString message;
};

[[noreturn]] void fail(const QString& message)
{
    throw LineError{message};
}

int toInt(const QString& text, const char* what)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok)
        fail(QStringLiteral("%1“%2”不是整数").arg(QString::fromUtf8(what), text));
    return v;
}

// "nan" and "inf" read as numbers but are none: no page, font or workbook can hold them.
double toDouble(const QString& text, const char* what)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok)
        fail(QStringLiteral("%1“%2”不是数值").arg(QString::fromUtf8(what), text));
    if (!std::isfinite(v))
        fail(QStringLiteral("%1“%2”不是有限的数值").arg(QString::fromUtf8(what), text));
    return v;
}

// "3" or "3-5" as an inclusive range.
std::pair<int, int> toSpan(const QString& text, const char* what)
{
    const int dash = text.indexOf(QLatin1Char('-'), 1);
    if (dash < 0) {
        const int v = toInt(text, what);
        return {v, v};
    }
    return {toInt(text.left(dash), what), toInt(text.mid(dash + 1), what)};
}

BorderLine toBorder(const QString& text)
{
    if (text == QLatin1String("none"))
        return BorderLine::None;
    if (text == QLatin1String("thin"))
        return BorderLine::Thin;
    if (text == QLatin1String("medium"))
        return BorderLine::Medium;
    if (text == QLatin1String("thick"))
        return BorderLine::Thick;
    fail(QStringLiteral("边框线“%1”无效（可用none、thin、medium、thick）").arg(text));
}

std::uint32_t toColour(const QString& text)
{
    static const QRegularExpression hex(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    if (text == QLatin1String("none"))
        return 0;
    if (!hex.match(text).hasMatch())
        fail(QStringLiteral("颜色“%1”无效（应为#RRGGBB）").arg(text));
    return 0xFF000000u | text.mid(1).toUInt(nullptr, 16);
}

NumberFormat toNumberFormat(const QString& text)
{
    if (text == QLatin1String("general"))
        return NumberFormat::General;
    if (text == QLatin1String("amount"))
        return NumberFormat::Amount;
    if (text == QLatin1String("integer"))
        return NumberFormat::Integer;
    fail(QStringLiteral("数字格式“%1”无效（可用general、amount、integer）").arg(text));
}

// The lines of a template file: UTF-8, strictly. A line in another encoding (a template
// saved as GBK), with bytes no UTF-8 text has, an overlong form or a surrogate is an
// error of that line; its text is left empty so that the lines after it are still read.
QStringList decodeLines(const QByteArray& bytes, QHash<int, QString>& lineErrors)
{
    QStringList lines;
    const QList<QByteArray> raw = bytes.split('\n');
    for (int i = 0; i < raw.size(); ++i) {
        // Stateless: a character cut off at the line's end is an error too. A byte-order
        // mark at the start is skipped.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString line = utf8.decode(raw[i]);
        if (utf8.hasError()) {
            lineErrors.insert(i, QStringLiteral("不是有效的UTF-8文本（模板文件须以UTF-8保存）"));
            lines.append(QString());
        } else {
            lines.append(line);
        }
    }
    return lines;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        throw SheetError(QStringLiteral("模板文件“%1”不存在").arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw SheetError(QStringLiteral("模板文件“%1”无法读取：%2").arg(path, file.errorString()));
    return file.readAll();
}

} // namespace

struct TemplateReader::Context {
    Sheet sheet;
    bool sized = false;
    bool versioned = false;
    QHash<QString, int> fonts;
    QHash<QString, int> formats;

    void needSize() const
    {
        if (!sized)
            fail(QStringLiteral("size必须写在单元格、行列和合并之前"));
    }
    int fontId(const QString& name) const
    {
        auto it = fonts.constFind(name);
        if (it == fonts.constEnd())
            fail(QStringLiteral("字体“%1”未定义").arg(name));
        return it.value();
    }
    int formatId(const QString& name) const
    {
        auto it = formats.constFind(name);
        if (it == formats.constEnd())
            fail(QStringLiteral("格式“%1”未定义").arg(name));
        return it.value();
    }
};

Sheet TemplateReader::read(const QString& path)
{
    QStringList errors;
    QHash<int, QString> lineErrors;
    Sheet sheet = parseLines(decodeLines(readAll(path), lineErrors), lineErrors, path, &errors);
    if (!errors.isEmpty())
        throw SheetError(errors.first());
    return sheet;
}

QStringList TemplateReader::check(const QString& path)
{
    try {
        QStringList errors;
        QHash<int, QString> lineErrors;
        parseLines(decodeLines(readAll(path), lineErrors), lineErrors, path, &errors);
        return errors;
    } catch (const SheetError& e) {
        return {e.message()};
    }
}

Sheet TemplateReader::parse(const QString& text, const QString& name, QStringList* errors)
{
    return parseLines(text.split(QLatin1Char('\n')), {}, name, errors);
}

Sheet TemplateReader::parseLines(const QStringList& lines, const QHash<int, QString>& lineErrors, const QString& name,
                                 QStringList* errors)
{
    Context ctx;
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        try {
            if (lineErrors.contains(i))
                fail(lineErrors.value(i));
            QString tokenError;
            const QList<Token> tokens = tokenize(line, &tokenError);
            if (!tokenError.isEmpty())
                fail(tokenError);
            if (tokens.isEmpty())
                continue;
            directive(ctx, tokens);
        } catch (const LineError& e) {
            errors->append(QStringLiteral("%1:%2: %3").arg(name).arg(i + 1).arg(e.message));
        } catch (const SheetError& e) {
            errors->append(QStringLiteral("%1:%2: %3").arg(name).arg(i + 1).arg(e.message()));
        }
    }
    if (!ctx.versioned && errors->isEmpty())
        errors->append(QStringLiteral("%1:1: 缺少首行“cll-template 1”").arg(name));
    else if (!ctx.sized && errors->isEmpty())
        errors->append(QStringLiteral("%1:%2: 缺少size行").arg(name).arg(lines.size()));
    return std::move(ctx.sheet);
}

QList<TemplateReader::Token> TemplateReader::tokenize(const QString& line, QString* error)
{
    QList<Token> tokens;
    int i = 0;
    const int n = line.size();
    while (i < n) {
        const QChar ch = line[i];
        if (ch.isSpace()) {
            ++i;
        } else if (ch == QLatin1Char('#')) {
            break;
        } else if (ch == QLatin1Char('"')) {
            Token t;
            t.quoted = true;
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = line[i++];
                if (c == QLatin1Char('"')) {
                    closed = true;
                    break;
                }
                if (c == QLatin1Char('\\') && i < n) {
                    const QChar e = line[i++];
                    t.text += e == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : e;
                } else {
                    t.text += c;
                }
            }
            if (!closed) {
                *error = QStringLiteral("引号没有闭合");
                return {};
            }
            tokens.append(t);
        } else {
            Token t;
            // '#' starts a comment only where a token would start (fill=#F0F0F0 is a token)
            while (i < n && !line[i].isSpace())
                t.text += line[i++];
            tokens.append(t);
        }
    }
    return tokens;
}

namespace {

void needArgs(const QString& keyword, qsizetype have, qsizetype min, qsizetype max)
{
    if (have < min || have > max)
        fail(QStringLiteral("%1的参数个数不对（%2个）").arg(keyword).arg(have));
}

void applyFormatOption(CellFormat& f, const QString& option, const std::function<int(const QString&)>& font)
{
    const int eq = option.indexOf(QLatin1Char('='));
    const QString key = eq < 0 ? option : option.left(eq);
    const QString value = eq < 0 ? QString() : option.mid(eq + 1);
    if (key == QLatin1String("nowrap") && eq < 0) {
        f.wrap = false;
        return;
    }
    if (eq < 0)
        fail(QStringLiteral("格式选项“%1”应写成名称=值").arg(option));
    if (key == QLatin1String("font")) {
        f.font = static_cast<std::uint16_t>(font(value));
    } else if (key == QLatin1String("align")) {
        const int code = toInt(value, "对齐方式");
        if (code < 0 || (code & ~AlignAllFlags) != 0)
            fail(QStringLiteral("对齐方式%1无效").arg(code));
        f.align = static_cast<std::uint8_t>(code);
    } else if (key == QLatin1String("style")) {
        const int style = toInt(value, "样式");
        if (style != StyleNormal && style != StyleEmphasis)
            fail(QStringLiteral("样式%1无效（可用0或2）").arg(style));
        f.style = static_cast<std::uint8_t>(style);
    } else if (key == QLatin1String("border")) {
        const BorderLine b = toBorder(value);
        for (BorderLine& side : f.border)
            side = b;
    } else if (key == QLatin1String("left")) {
        f.border[SideLeft] = toBorder(value);
    } else if (key == QLatin1String("top")) {
        f.border[SideTop] = toBorder(value);
    } else if (key == QLatin1String("right")) {
        f.border[SideRight] = toBorder(value);
    } else if (key == QLatin1String("bottom")) {
        f.border[SideBottom] = toBorder(value);
    } else if (key == QLatin1String("fill")) {
        f.fill = toColour(value);
    } else if (key == QLatin1String("number")) {
        f.number = toNumberFormat(value);
    } else {
        fail(QStringLiteral("未知的格式选项“%1”").arg(key));
    }
}

} // namespace

// The directives, one function each. A member of the reader, so that it may use the
// reader's tokens and context; each checks its own arguments.
struct TemplateReader::Directives {
    using Tokens = QList<Token>;
    using Apply = void (*)(Context& ctx, const Tokens& t);

    // The function of a keyword; none for an unknown one.
    static Apply find(const QString& keyword)
    {
        static const QHash<QString, Apply> table{
            {QStringLiteral("size"), size},         {QStringLiteral("paper"), paper},
            {QStringLiteral("margins"), margins},   {QStringLiteral("heading-rows"), headingRows},
            {QStringLiteral("page-text"), pageText}, {QStringLiteral("font"), font},
            {QStringLiteral("format"), format},     {QStringLiteral("width"), width},
            {QStringLiteral("height"), height},     {QStringLiteral("range"), range},
            {QStringLiteral("cell"), cell},         {QStringLiteral("merge"), merge},
        };
        return table.value(keyword, nullptr);
    }

    static qsizetype argCount(const Tokens& t) { return t.size() - 1; }

    static void size(Context& ctx, const Tokens& t)
    {
        needArgs(t[0].text, argCount(t), 2, 2);
        if (ctx.sized)
            fail(QStringLiteral("size只能出现一次"));
        const int rows = toInt(t[2].text, "行数");
        // A template lays out titles and headings; data rows are added when the report
        // fills it. A huge count would claim gigabytes before any cell is read.
        if (rows > MaxTemplateRows)
            fail(QStringLiteral("行数%1超出范围（0～%2）").arg(rows).arg(MaxTemplateRows));
        ctx.sheet.reset(toInt(t[1].text, "列数"), rows);
        ctx.sized = true;
    }

    static void paper(Context& ctx, const Tokens& t)
    {
        needArgs(t[0].text, argCount(t), 2, 2);
        PageSetup& p = ctx.sheet.pageSetup();
        const QString& paper = t[1].text;
        if (paper == QLatin1String("A4"))
            p.paper = Paper::A4;
        else if (paper == QLatin1String("A3"))
            p.paper = Paper::A3;
        else
            fail(QStringLiteral("纸张“%1”无效（可用A4、A3）").arg(paper));
        if (t[2].text == QLatin1String("landscape"))
            p.orientation = Orientation::Landscape;
        else if (t[2].text == QLatin1String("portrait"))
            p.orientation = Orientation::Portrait;
        else
            fail(QStringLiteral("方向“%1”无效（可用landscape、portrait）").arg(t[2].text));
    }

    static void margins(Context& ctx, const Tokens& t)
    {
        needArgs(t[0].text, argCount(t), 4, 4);
        PageSetup& p = ctx.sheet.pageSetup();
        double* fields[] = {&p.marginLeftMm, &p.marginTopMm, &p.marginRightMm, &p.marginBottomMm};
        for (int i = 0; i < 4; ++i) {
            const double mm = toDouble(t[i + 1].text, "页边距");
            if (mm < 0 || mm > 100)
                fail(QStringLiteral("页边距%1毫米超出范围（0～100）").arg(mm));
            *fields[i] = mm;
        }
    }

    static void headingRows(Context& ctx, const Tokens& t)
    {
        needArgs(t[0].text, argCount(t), 2, 2);
        ctx.needSize();
        ctx.sheet.setHeadingRows(toInt(t[1].text, "行号"), toInt(t[2].text, "行号"));
    }

    static void pageText(Context& ctx, const Tokens& t)
    {
        needArgs(t[0].text, argCount(t), 3, 3);
        PageSetup& p = ctx.sheet.pageSetup();
        p.textLeft = t[1].text;
        p.textMiddle = t[2].text;
        p.textRight = t[3].text;
    }

    // font NAME FAMILY SIZE [bold] [italic] [underline]
    static void font(Context& ctx, const Tokens& t)
    {
        ctx.needSize();
        const qsizetype args = argCount(t);
        if (args < 3)
            needArgs(t[0].text, args, 3, 6);
        if (ctx.fonts.contains(t[1].text))
            fail(QStringLiteral("字体“%1”重复定义").arg(t[1].text));
        FontSpec f;
        f.family = t[2].text;
        f.pointSize = toDouble(t[3].text, "字号");
        if (f.pointSize < 4 || f.pointSize > 96)
            fail(QStringLiteral("字号%1超出范围（4～96）").arg(f.pointSize));
        for (qsizetype i = 4; i <= args; ++i) {
            if (t[i].text == QLatin1String("bold"))
                f.bold = true;
            else if (t[i].text == QLatin1String("italic"))
                f.italic = true;
            else if (t[i].text == QLatin1String("underline"))
                f.underline = true;
            else
                fail(QStringLiteral("字体选项“%1”无效（可用bold、italic、underline）").arg(t[i].text));
        }
        ctx.fonts.insert(t[1].text, ctx.sheet.addFont(f));
    }

    // format NAME [OPTION=VALUE ...]
    static void format(Context& ctx, const Tokens& t)
    {
        ctx.needSize();
        const qsizetype args = argCount(t);
        if (args < 1)
            needArgs(t[0].text, args, 1, 99);
        if (ctx.formats.contains(t[1].text))
            fail(QStringLiteral("格式“%1”重复定义").arg(t[1].text));
        CellFormat f;
        for (qsizetype i = 2; i <= args; ++i)
            applyFormatOption(f, t[i].text, [&ctx](const QString& n) { return ctx.fontId(n); });
        ctx.formats.insert(t[1].text, ctx.sheet.addFormat(f));
    }

    static void width(Context& ctx, const Tokens& t) { extent(ctx, t, true); }
    static void height(Context& ctx, const Tokens& t) { extent(ctx, t, false); }

    // width COLUMNS VALUE, height ROWS VALUE: one index or an inclusive range "3-5".
    static void extent(Context& ctx, const Tokens& t, bool columns)
    {
        needArgs(t[0].text, argCount(t), 2, 2);
        ctx.needSize();
        const auto [first, last] = toSpan(t[1].text, columns ? "列号" : "行号");
        const int value = toInt(t[2].text, columns ? "列宽" : "行高");
        if (last < first)
            fail(QStringLiteral("范围%1无效").arg(t[1].text));
        for (int i = first; i <= last; ++i) {
            if (columns)
                ctx.sheet.setColumnWidth(i, value);
            else
                ctx.sheet.setRowHeight(i, value);
        }
    }

    // range C1 R1 C2 R2 FORMAT
    static void range(Context& ctx, const Tokens& t)
    {
        needArgs(t[0].text, argCount(t), 5, 5);
        ctx.needSize();
        const int c1 = toInt(t[1].text, "列号"), r1 = toInt(t[2].text, "行号");
        const int c2 = toInt(t[3].text, "列号"), r2 = toInt(t[4].text, "行号");
        const int format = ctx.formatId(t[5].text);
        ctx.sheet.checkCell(c1, r1);
        ctx.sheet.checkCell(c2, r2);
        for (int r = r1; r <= r2; ++r)
            for (int c = c1; c <= c2; ++c)
                ctx.sheet.setFormatIndex(c, r, format);
    }

    // cell C R FORMAT ["text" | number]
    static void cell(Context& ctx, const Tokens& t)
    {
        const qsizetype args = argCount(t);
        needArgs(t[0].text, args, 3, 4);
        ctx.needSize();
        const int c = toInt(t[1].text, "列号"), r = toInt(t[2].text, "行号");
        ctx.sheet.setFormatIndex(c, r, ctx.formatId(t[3].text));
        if (args == 4) {
            if (t[4].quoted)
                ctx.sheet.setText(c, r, t[4].text);
            else
                ctx.sheet.setNumber(c, r, toDouble(t[4].text, "数值"));
        }
    }

    // merge C1 R1 C2 R2
    static void merge(Context& ctx, const Tokens& t)
    {
        needArgs(t[0].text, argCount(t), 4, 4);
        ctx.needSize();
        ctx.sheet.addMerge({toInt(t[1].text, "列号"), toInt(t[2].text, "行号"), toInt(t[3].text, "列号"),
                            toInt(t[4].text, "行号")});
    }
};

void TemplateReader::directive(Context& ctx, const QList<Token>& t)
{
    const QString& key = t[0].text;
    if (!ctx.versioned) {
        if (key != QLatin1String("cll-template") || t.size() != 2 || t[1].text != QLatin1String("1"))
            fail(QStringLiteral("首行应为“cll-template 1”"));
        ctx.versioned = true;
        return;
    }
    const Directives::Apply apply = Directives::find(key);
    if (!apply)
        fail(QStringLiteral("未知的指令“%1”").arg(key));
    apply(ctx, t);
}

} // namespace sheet
