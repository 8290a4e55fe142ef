#include "sheet/PdfTextMap.h"

#include <QFileDevice>
#include <QFontDatabase>
#include <QHash>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <map>

#include "sheet/PdfObjects.h"

namespace sheet::PdfTextMap {

namespace {

// CJK Radicals Supplement and Kangxi Radicals: the code points that share glyphs with
// ideographs and sort below them.
bool isRadical(char32_t c)
{
    return c >= 0x2E80 && c <= 0x2FDF;
}

// ---- Faces -------------------------------------------------------------------------

quint16 be16(const QByteArray& b, qsizetype at)
{
    return static_cast<quint16>((static_cast<quint8>(b[at]) << 8) | static_cast<quint8>(b[at + 1]));
}

// Name 6 of the face's name table, as Qt writes it after /BaseFont.
QByteArray postscriptName(const QRawFont& raw)
{
    const QByteArray table = raw.fontTable("name");
    if (table.size() < 6)
        return {};
    const int count = be16(table, 2);
    const int strings = be16(table, 4);
    for (int i = 0; i < count && 6 + 12 * (i + 1) <= table.size(); ++i) {
        const qsizetype rec = 6 + 12 * i;
        const int platform = be16(table, rec), nameId = be16(table, rec + 6);
        const int length = be16(table, rec + 8), offset = be16(table, rec + 10);
        if (nameId != 6 || strings + offset + length > table.size())
            continue;
        const QByteArray raw8 = table.mid(strings + offset, length);
        if (platform == 1)
            return raw8;
        if (platform == 3 || platform == 0) {
            QByteArray ascii;
            for (qsizetype k = 1; k < raw8.size(); k += 2)
                ascii.append(raw8[k]);
            return ascii;
        }
    }
    return {};
}

QByteArray normalisedName(QByteArray name)
{
    const qsizetype plus = name.indexOf('+');
    if (plus == 6) // a subset's tag: six capitals and '+'
        name = name.mid(7);
    return name.replace(' ', "");
}

class Face {
public:
    explicit Face(QRawFont raw) : m_raw(std::move(raw)) {}

    // The ideograph drawn with the radical's glyph, or 0.
    char32_t ideographOf(char32_t radical)
    {
        if (!m_loaded)
            load();
        const QList<quint32> glyph = m_raw.glyphIndexesForString(QString(QChar(static_cast<char16_t>(radical))));
        return glyph.isEmpty() || glyph[0] == 0 ? 0 : m_byGlyph.value(glyph[0], 0);
    }

private:
    void load()
    {
        m_loaded = true;
        for (const auto& [first, last] : {std::pair<char16_t, char16_t>{0x3400, 0x4DBF}, {0x4E00, 0x9FFF}}) {
            QList<QChar> chars;
            for (char16_t c = first; c <= last; ++c)
                chars.append(QChar(c));
            int count = static_cast<int>(chars.size());
            QList<quint32> glyphs(chars.size());
            if (!m_raw.glyphIndexesForChars(chars.constData(), count, glyphs.data(), &count))
                continue;
            for (int i = 0; i < count; ++i)
                if (glyphs[i] != 0 && !m_byGlyph.contains(glyphs[i]))
                    m_byGlyph.insert(glyphs[i], static_cast<char32_t>(first + i));
        }
    }

    QRawFont m_raw;
    bool m_loaded = false;
    QHash<quint32, char32_t> m_byGlyph; // the lowest ideograph of each glyph
};

// The faces behind the fonts, by PostScript name: the one for Chinese text and the
// one for the rest, which a font's fallbacks may make different.
std::map<QByteArray, Face> facesOf(const QList<QFont>& fonts)
{
    std::map<QByteArray, Face> faces;
    for (const QFont& font : fonts) {
        for (auto system : {QFontDatabase::SimplifiedChinese, QFontDatabase::Any}) {
            QRawFont raw = QRawFont::fromFont(font, system);
            const QByteArray name = normalisedName(postscriptName(raw));
            if (raw.isValid() && !name.isEmpty())
                faces.try_emplace(name, std::move(raw));
        }
    }
    return faces;
}

// ---- The ToUnicode map ---------------------------------------------------------------

QString hex4(char32_t c)
{
    return QStringLiteral("<%1>").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0')).toUpper();
}

uint hexValue(const QString& hex)
{
    return hex.toUInt(nullptr, 16);
}

// `in` with every match of `re` replaced by what `with` makes of it.
template <class With>
QString replaceAll(const QString& in, const QRegularExpression& re, With&& with)
{
    QString out;
    qsizetype done = 0;
    for (auto it = re.globalMatch(in); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += in.mid(done, m.capturedStart() - done) + with(m);
        done = m.capturedEnd();
    }
    return out + in.mid(done);
}

// Rewrites the destinations of a ToUnicode map's bfchar and bfrange sections.
class CMapRewrite {
public:
    explicit CMapRewrite(const std::function<char32_t(char32_t)>& ideographOf) : m_ideographOf(ideographOf) {}

    // The map with every radical destination turned into its ideograph; empty when
    // no destination changes.
    QByteArray operator()(const QByteArray& cmap)
    {
        static const QRegularExpression sections(QStringLiteral("begin(bfchar|bfrange)(.*?)end\\1"),
                                                 QRegularExpression::DotMatchesEverythingOption);
        const QString text = replaceAll(QString::fromLatin1(cmap), sections, [&](const QRegularExpressionMatch& m) {
            const bool chars = m.captured(1) == QLatin1String("bfchar");
            const QString body = chars ? bfchars(m.captured(2)) : bfranges(m.captured(2));
            return QStringLiteral("begin%1%2end%1").arg(m.captured(1), body);
        });
        return m_changed ? text.toLatin1() : QByteArray();
    }

private:
    char32_t mapped(char32_t c)
    {
        const char32_t ideograph = isRadical(c) ? m_ideographOf(c) : 0;
        m_changed = m_changed || ideograph != 0;
        return ideograph ? ideograph : c;
    }

    // "<src> <dst>" pairs; a destination of several code units is no radical.
    QString bfchars(const QString& body)
    {
        static const QRegularExpression pair(QStringLiteral("(<[0-9A-Fa-f]+>\\s*)<([0-9A-Fa-f]+)>"));
        return replaceAll(body, pair, [&](const QRegularExpressionMatch& p) {
            return p.captured(2).size() == 4 ? p.captured(1) + hex4(mapped(hexValue(p.captured(2)))) : p.captured(0);
        });
    }

    // "<lo> <hi> [<dst>...]", or "<lo> <hi> <first>" for consecutive destinations,
    // written out as a list when one of them changes.
    QString bfranges(const QString& body)
    {
        static const QRegularExpression range(
            QStringLiteral("(<([0-9A-Fa-f]+)>\\s*<([0-9A-Fa-f]+)>\\s*)(\\[[^\\]]*\\]|<([0-9A-Fa-f]+)>)"));
        static const QRegularExpression code(QStringLiteral("<([0-9A-Fa-f]{4})>"));
        return replaceAll(body, range, [&](const QRegularExpressionMatch& m) {
            if (m.captured(5).isEmpty()) // a list
                return m.captured(1) + replaceAll(m.captured(4), code, [&](const QRegularExpressionMatch& c) {
                           return hex4(mapped(hexValue(c.captured(1))));
                       });
            const uint lo = hexValue(m.captured(2)), hi = hexValue(m.captured(3)), first = hexValue(m.captured(5));
            if (m.captured(5).size() != 4 || hi < lo || hi - lo > 255)
                return m.captured(0);
            QStringList codes;
            bool any = false;
            for (uint k = 0; k <= hi - lo; ++k) {
                const char32_t to = mapped(first + k);
                any = any || to != first + k;
                codes << hex4(to);
            }
            return any ? m.captured(1) + QLatin1Char('[') + codes.join(QLatin1Char(' ')) + QLatin1Char(']')
                       : m.captured(0);
        });
    }

    const std::function<char32_t(char32_t)>& m_ideographOf;
    bool m_changed = false;
};

} // namespace

QByteArray remapRadicals(const QByteArray& cmap, const std::function<char32_t(char32_t)>& ideographOf)
{
    return CMapRewrite(ideographOf)(cmap);
}

namespace {

bool copyWhole(QIODevice& from, QIODevice& to)
{
    if (!from.seek(0))
        return false;
    while (!from.atEnd()) {
        const QByteArray piece = from.read(1 << 20);
        if (piece.isEmpty() || to.write(piece) != piece.size())
            return false;
    }
    return true;
}

} // namespace

bool mapIdeographs(QIODevice& pdf, QFileDevice& out, const QList<QFont>& fonts)
{
    PdfObjects file(pdf);
    if (!file.isReadable())
        return copyWhole(pdf, out);
    static const QRegularExpression type0(QStringLiteral("/Subtype\\s*/Type0"));
    static const QRegularExpression toUnicode(QStringLiteral("/ToUnicode\\s+(\\d+)\\s+\\d+\\s+R"));
    static const QRegularExpression baseFont(QStringLiteral("/BaseFont\\s*/([^\\s/<>\\[\\]()]+)"));
    std::map<QByteArray, Face> faces;
    bool facesKnown = false;
    QSet<int> mapsDone;
    for (auto it = file.offsets().cbegin(); it != file.offsets().cend(); ++it) {
        const QByteArray head = file.head(it.key());
        if (!head.contains("/Type0")) // most objects are pages and their drawings
            continue;
        const QString dict = QString::fromLatin1(head);
        const auto map = toUnicode.match(dict);
        const auto name = baseFont.match(dict);
        if (!type0.match(dict).hasMatch() || !map.hasMatch() || !name.hasMatch())
            continue;
        if (!facesKnown) {
            faces = facesOf(fonts);
            facesKnown = true;
        }
        const auto face = faces.find(normalisedName(name.captured(1).toLatin1()));
        if (face == faces.end())
            continue; // a face we did not draw with: its map stays as written
        const int mapObject = map.captured(1).toInt();
        if (mapsDone.contains(mapObject) || !file.offsets().contains(mapObject))
            continue;
        mapsDone.insert(mapObject);
        const auto cmap = file.plainStream(mapObject);
        if (!cmap)
            continue; // encoded otherwise than Qt 6 writes it: left as it is
        const QByteArray remapped
            = remapRadicals(cmap->data, [&](char32_t radical) { return face->second.ideographOf(radical); });
        if (!remapped.isEmpty())
            file.replaceStream(mapObject, *cmap, remapped);
    }
    if (!file.changed())
        return copyWhole(pdf, out);
    if (!file.writeAssembled(out) || !out.flush() || !out.seek(0))
        return false;
    // A file that does not read back as it should is worse than look-alike characters.
    if (PdfObjects(out).isReadable())
        return out.seek(out.size());
    return out.resize(0) && out.seek(0) && copyWhole(pdf, out);
}

} // namespace sheet::PdfTextMap
