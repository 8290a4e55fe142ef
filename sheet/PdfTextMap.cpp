#include "sheet/PdfTextMap.h"

#include <QFontDatabase>
#include <QHash>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <map>
#include <optional>
#include <vector>

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

// The map with every radical destination turned into its ideograph; empty when no
// destination changes.
QByteArray remapCMap(const QByteArray& cmap, Face& face)
{
    static const QRegularExpression sections(QStringLiteral("begin(bfchar|bfrange)(.*?)end\\1"),
                                             QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression pair(QStringLiteral("(<[0-9A-Fa-f]+>\\s*)<([0-9A-Fa-f]+)>"));
    static const QRegularExpression range(
        QStringLiteral("<([0-9A-Fa-f]+)>\\s*<([0-9A-Fa-f]+)>\\s*(\\[[^\\]]*\\]|<[0-9A-Fa-f]+>)"));
    static const QRegularExpression code(QStringLiteral("<([0-9A-Fa-f]{4})>"));
    bool changed = false;
    auto mapped = [&](char32_t c) -> char32_t {
        const char32_t ideograph = isRadical(c) ? face.ideographOf(c) : 0;
        changed = changed || ideograph != 0;
        return ideograph ? ideograph : c;
    };
    auto replaceAll = [](const QString& in, const QRegularExpression& re, auto&& with) -> QString {
        QString out;
        qsizetype done = 0;
        for (auto it = re.globalMatch(in); it.hasNext();) {
            const auto m = it.next();
            out += in.mid(done, m.capturedStart() - done) + with(m);
            done = m.capturedEnd();
        }
        return out + in.mid(done);
    };
    auto remapCodes = [&](const QString& in) -> QString {
        return replaceAll(in, code, [&](const QRegularExpressionMatch& m) -> QString {
            return hex4(mapped(m.captured(1).toUInt(nullptr, 16)));
        });
    };
    auto remapRange = [&](const QRegularExpressionMatch& m) -> QString {
        const QString target = m.captured(3);
        if (target.startsWith(QLatin1Char('[')))
            return m.captured(0).left(m.capturedStart(3) - m.capturedStart()) + remapCodes(target);
        // <lo> <hi> <first>: consecutive destinations, written out when one of them changes.
        const uint lo = m.captured(1).toUInt(nullptr, 16), hi = m.captured(2).toUInt(nullptr, 16);
        const uint first = target.mid(1, target.size() - 2).toUInt(nullptr, 16);
        if (target.size() != 6 || hi < lo || hi - lo > 255)
            return m.captured(0);
        QString codes;
        bool any = false;
        for (uint k = 0; k <= hi - lo; ++k) {
            const char32_t c = first + k;
            const char32_t to = mapped(c);
            any = any || to != c;
            codes += hex4(to) + QLatin1Char(' ');
        }
        return any ? m.captured(0).left(m.capturedStart(3) - m.capturedStart()) + QLatin1Char('[') + codes.trimmed()
                + QLatin1Char(']')
                   : m.captured(0);
    };
    const QString text = replaceAll(QString::fromLatin1(cmap), sections, [&](const QRegularExpressionMatch& m) -> QString {
        const QString body = m.captured(1) == QLatin1String("bfchar")
            ? replaceAll(m.captured(2), pair,
                         [&](const QRegularExpressionMatch& p) -> QString {
                             if (p.captured(2).size() != 4) // several code units: not one radical
                                 return p.captured(0);
                             return p.captured(1) + hex4(mapped(p.captured(2).toUInt(nullptr, 16)));
                         })
            : replaceAll(m.captured(2), range, remapRange);
        return QStringLiteral("begin%1%2end%1").arg(m.captured(1), body);
    });
    return changed ? text.toLatin1() : QByteArray();
}

// ---- The file ------------------------------------------------------------------------

// One classic cross-reference table, as Qt writes it.
struct Xref {
    qsizetype at = -1;      // "xref"
    qsizetype trailer = -1; // "trailer", up to "startxref"
    qsizetype startxref = -1;
    struct Entry {
        int number;
        qint64 offset;
        QByteArray rest; // generation and kind, as written
    };
    std::vector<std::pair<int, int>> sections;
    std::vector<Entry> entries;
};

std::optional<Xref> readXref(const QByteArray& pdf)
{
    Xref x;
    x.startxref = pdf.lastIndexOf("startxref");
    if (x.startxref < 0)
        return {};
    bool ok = false;
    x.at = pdf.mid(x.startxref + 9, 24).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok || x.at < 0 || !pdf.mid(x.at).startsWith("xref"))
        return {};
    x.trailer = pdf.indexOf("trailer", x.at);
    if (x.trailer < 0 || x.trailer > x.startxref)
        return {};
    const QByteArray trailer = pdf.mid(x.trailer, x.startxref - x.trailer);
    if (trailer.contains("/Prev") || trailer.contains("/XRefStm"))
        return {}; // updated in increments: not a file as Qt writes it
    const QList<QByteArray> tokens = pdf.mid(x.at + 4, x.trailer - x.at - 4).simplified().split(' ');
    for (qsizetype t = 0; t + 1 < tokens.size();) {
        const int first = tokens[t].toInt(), count = tokens[t + 1].toInt();
        t += 2;
        x.sections.emplace_back(first, count);
        for (int k = 0; k < count; ++k, t += 3) {
            if (t + 2 >= tokens.size())
                return {};
            x.entries.push_back({first + k, tokens[t].toLongLong(), tokens[t + 1] + ' ' + tokens[t + 2]});
        }
    }
    return x;
}

struct Edit {
    qsizetype from;
    qsizetype to;
    QByteArray with;
};

class PdfFile {
public:
    PdfFile(const QByteArray& pdf, Xref xref) : m_pdf(pdf), m_xref(std::move(xref))
    {
        for (const Xref::Entry& e : m_xref.entries)
            if (e.rest.endsWith('n'))
                m_offsets.insert(e.number, e.offset);
    }

    const QHash<int, qint64>& offsets() const { return m_offsets; }

    // The object's text up to "endobj" (streams: up to "stream").
    QByteArray head(int number) const
    {
        const qint64 at = m_offsets.value(number, -1);
        if (at < 0)
            return {};
        const qsizetype end = m_pdf.indexOf("endobj", at);
        const qsizetype stream = m_pdf.indexOf("stream", at);
        const qsizetype stop = stream >= 0 && stream < end ? stream : end;
        return end < 0 ? QByteArray() : m_pdf.mid(at, stop - at);
    }

    // A stream object's data, decoded; sets *compressed.
    std::optional<QByteArray> streamData(int number, bool* compressed) const
    {
        static const QRegularExpression length(QStringLiteral("/Length\\s+(\\d+)(?:\\s+(\\d+)\\s+\\d+\\s+R)?"));
        const QByteArray dict = head(number);
        const auto m = length.match(QString::fromLatin1(dict));
        if (dict.isEmpty() || !m.hasMatch())
            return {};
        qint64 size = m.captured(1).toLongLong();
        if (!m.captured(2).isEmpty()) { // "/Length 9 0 R": the length is object 9
            const QByteArray lengthObject = head(m.captured(1).toInt());
            size = lengthObject.mid(lengthObject.indexOf("obj") + 3).trimmed().toLongLong();
        }
        qsizetype data = m_offsets.value(number) + dict.size() + 6;
        if (m_pdf.mid(data, 2) == "\r\n")
            data += 2;
        else if (m_pdf.mid(data, 1) == "\n")
            data += 1;
        if (size <= 0 || data + size > m_pdf.size())
            return {};
        const QByteArray raw = m_pdf.mid(data, size);
        *compressed = dict.contains("/FlateDecode");
        if (!*compressed)
            return raw;
        QByteArray sized(4, '\0'); // qUncompress wants the size first; a small guess grows
        sized[3] = 1;
        const QByteArray plain = qUncompress(sized + raw);
        return plain.isEmpty() ? std::nullopt : std::optional(plain);
    }

    void replaceStream(int number, const QByteArray& data, bool compressed)
    {
        const qint64 at = m_offsets.value(number);
        const qsizetype end = m_pdf.indexOf("endobj", at) + 6;
        const QByteArray body = compressed ? qCompress(data).mid(4) : data;
        QByteArray object = QByteArray::number(number) + " 0 obj\n<< /Length " + QByteArray::number(body.size())
            + (compressed ? " /Filter /FlateDecode" : "") + " >>\nstream\n" + body + "\nendstream\nendobj";
        m_edits.push_back({at, end, object});
    }

    // The file with every edit made and the cross-reference table rebuilt for it.
    QByteArray assembled() const
    {
        std::vector<Edit> edits = m_edits;
        std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.from < b.from; });
        QByteArray out;
        qsizetype done = 0;
        for (const Edit& e : edits) {
            out += m_pdf.mid(done, e.from - done) + e.with;
            done = e.to;
        }
        out += m_pdf.mid(done, m_xref.at - done);
        auto moved = [&](qint64 offset) {
            for (const Edit& e : edits)
                if (e.to <= offset)
                    offset += e.with.size() - (e.to - e.from);
            return offset;
        };
        const qsizetype xrefAt = out.size();
        out += "xref\n";
        std::size_t next = 0;
        for (const auto& [first, count] : m_xref.sections) {
            out += QByteArray::number(first) + ' ' + QByteArray::number(count) + '\n';
            for (int k = 0; k < count; ++k, ++next) {
                const Xref::Entry& e = m_xref.entries[next];
                const qint64 offset = e.rest.endsWith('n') ? moved(e.offset) : e.offset;
                out += QByteArray::number(offset).rightJustified(10, '0') + ' ' + e.rest + " \n";
            }
        }
        out += m_pdf.mid(m_xref.trailer, m_xref.startxref - m_xref.trailer);
        out += "startxref\n" + QByteArray::number(xrefAt) + "\n%%EOF\n";
        return out;
    }

    bool changed() const { return !m_edits.empty(); }

private:
    const QByteArray& m_pdf;
    Xref m_xref;
    QHash<int, qint64> m_offsets;
    std::vector<Edit> m_edits;
};

// Every in-use object of the cross-reference table starts where the table says.
bool offsetsHold(const QByteArray& pdf)
{
    const std::optional<Xref> xref = readXref(pdf);
    if (!xref)
        return false;
    for (const Xref::Entry& e : xref->entries)
        if (e.rest.endsWith('n') && !pdf.mid(e.offset, 24).startsWith(QByteArray::number(e.number) + ' '))
            return false;
    return true;
}

} // namespace

QByteArray mapIdeographs(const QByteArray& pdf, const QList<QFont>& fonts)
{
    std::optional<Xref> xref = readXref(pdf);
    if (!xref)
        return pdf;
    PdfFile file(pdf, std::move(*xref));
    static const QRegularExpression type0(QStringLiteral("/Subtype\\s*/Type0"));
    static const QRegularExpression toUnicode(QStringLiteral("/ToUnicode\\s+(\\d+)\\s+\\d+\\s+R"));
    static const QRegularExpression baseFont(QStringLiteral("/BaseFont\\s*/([^\\s/<>\\[\\]()]+)"));
    std::map<QByteArray, Face> faces;
    bool facesKnown = false;
    QSet<int> mapsDone;
    for (auto it = file.offsets().cbegin(); it != file.offsets().cend(); ++it) {
        const QString dict = QString::fromLatin1(file.head(it.key()));
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
        bool compressed = false;
        const int mapObject = map.captured(1).toInt();
        if (mapsDone.contains(mapObject) || !file.offsets().contains(mapObject))
            continue;
        mapsDone.insert(mapObject);
        const std::optional<QByteArray> cmap = file.streamData(mapObject, &compressed);
        if (!cmap)
            continue;
        const QByteArray remapped = remapCMap(*cmap, face->second);
        if (!remapped.isEmpty())
            file.replaceStream(mapObject, remapped, compressed);
    }
    if (!file.changed())
        return pdf;
    const QByteArray out = file.assembled();
    // A file that does not read back as it should is worse than look-alike characters.
    return offsetsHold(out) ? out : pdf;
}

} // namespace sheet::PdfTextMap
