#include "sheet/PdfObjects.h"

#include <QIODevice>
#include <QList>
#include <QRegularExpression>
#include <algorithm>

namespace sheet {

namespace {

constexpr qint64 CopyChunk = 1 << 20;
constexpr qint64 FirstLook = 512; // most heads are shorter; a search reads on in doubling pieces

bool writeAll(QIODevice& out, const QByteArray& bytes)
{
    return out.write(bytes) == bytes.size();
}

} // namespace

PdfObjects::PdfObjects(QIODevice& pdf) : m_pdf(pdf), m_size(pdf.size())
{
    if (!readTable())
        return;
    for (const Entry& e : m_entries)
        if (e.rest.endsWith('n'))
            m_offsets.insert(e.number, e.offset);
    m_readable = std::all_of(m_offsets.keyValueBegin(), m_offsets.keyValueEnd(), [&](const auto& entry) {
        return read(entry.second, 24).startsWith(QByteArray::number(entry.first) + ' ');
    });
}

QByteArray PdfObjects::read(qint64 at, qint64 size) const
{
    if (at < 0 || at >= m_size || !m_pdf.seek(at))
        return {};
    return m_pdf.read(std::min(size, m_size - at));
}

qint64 PdfObjects::indexOf(const QByteArray& what, qint64 from) const
{
    for (qint64 look = FirstLook; from < m_size; look = std::min(look * 2, CopyChunk)) {
        const QByteArray piece = read(from, look);
        const qsizetype found = piece.indexOf(what);
        if (found >= 0)
            return from + found;
        if (piece.size() < look)
            return -1;
        from += piece.size() - what.size() + 1; // a match may straddle two pieces
    }
    return -1;
}

bool PdfObjects::readTable()
{
    const qint64 tailAt = std::max<qint64>(0, m_size - 1024);
    const QByteArray tail = read(tailAt, m_size - tailAt);
    const qsizetype startxref = tail.lastIndexOf("startxref");
    if (startxref < 0)
        return false;
    m_startxrefAt = tailAt + startxref;
    bool ok = false;
    m_xrefAt = tail.mid(startxref + 9, 24).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok || m_xrefAt < 0 || m_xrefAt >= m_startxrefAt || !read(m_xrefAt, 4).startsWith("xref"))
        return false;
    const QByteArray table = read(m_xrefAt, m_startxrefAt - m_xrefAt);
    const qsizetype trailer = table.indexOf("trailer");
    if (trailer < 0)
        return false;
    m_trailerAt = m_xrefAt + trailer;
    const QByteArray trailerText = table.mid(trailer);
    if (trailerText.contains("/Prev") || trailerText.contains("/XRefStm"))
        return false; // updated in increments
    const QList<QByteArray> tokens = table.mid(4, trailer - 4).simplified().split(' ');
    for (qsizetype t = 0; t + 1 < tokens.size();) {
        const int first = tokens[t].toInt(), count = tokens[t + 1].toInt();
        t += 2;
        m_sections.emplace_back(first, count);
        for (int k = 0; k < count; ++k, t += 3) {
            if (t + 2 >= tokens.size())
                return false;
            m_entries.push_back({first + k, tokens[t].toLongLong(), tokens[t + 1] + ' ' + tokens[t + 2]});
        }
    }
    return true;
}

QByteArray PdfObjects::head(int number) const
{
    const qint64 at = m_offsets.value(number, -1);
    if (at < 0)
        return {};
    // The dictionary ends before "stream" or "endobj", whichever comes first.
    for (qint64 look = FirstLook;; look *= 2) {
        const QByteArray piece = read(at, look);
        const qsizetype end = piece.indexOf("endobj");
        const qsizetype stream = piece.indexOf("stream");
        if (stream >= 0 && (end < 0 || stream < end))
            return piece.left(stream);
        if (end >= 0)
            return piece.left(end);
        if (piece.size() < look)
            return {};
    }
}

std::optional<PdfObjects::Stream> PdfObjects::plainStream(int number) const
{
    static const QRegularExpression length(QStringLiteral("/Length\\s+(\\d+)\\s*>>"));
    const QByteArray dict = head(number);
    const auto m = length.match(QString::fromLatin1(dict));
    if (dict.isEmpty() || !m.hasMatch() || dict.contains("/Filter"))
        return {};
    const qint64 size = m.captured(1).toLongLong();
    qint64 data = m_offsets.value(number) + dict.size() + 6; // past "stream"
    const QByteArray eol = read(data, 2);
    if (eol == "\r\n")
        data += 2;
    else if (eol.startsWith('\n'))
        data += 1;
    if (size < 0 || data + size > m_size)
        return {};
    const qint64 end = indexOf("endobj", data + size);
    if (end < 0)
        return {};
    return Stream{read(data, size), end + 6};
}

void PdfObjects::replaceStream(int number, const Stream& old, const QByteArray& data)
{
    const QByteArray object = QByteArray::number(number) + " 0 obj\n<< /Length " + QByteArray::number(data.size())
        + " >>\nstream\n" + data + "\nendstream\nendobj";
    m_edits.push_back({m_offsets.value(number), old.end, object});
}

bool PdfObjects::copy(QIODevice& out, qint64 from, qint64 to) const
{
    for (qint64 at = from; at < to; at += CopyChunk) {
        const QByteArray piece = read(at, std::min(CopyChunk, to - at));
        if (piece.size() != std::min(CopyChunk, to - at) || !writeAll(out, piece))
            return false;
    }
    return true;
}

bool PdfObjects::writeAssembled(QIODevice& out) const
{
    std::vector<Edit> edits = m_edits;
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.from < b.from; });
    qint64 done = 0;
    for (const Edit& e : edits) {
        if (!copy(out, done, e.from) || !writeAll(out, e.with))
            return false;
        done = e.to;
    }
    if (!copy(out, done, m_xrefAt))
        return false;
    auto moved = [&](qint64 offset) {
        for (const Edit& e : edits)
            if (e.to <= offset)
                offset += e.with.size() - (e.to - e.from);
        return offset;
    };
    const qint64 xrefAt = moved(m_xrefAt);
    QByteArray table = "xref\n";
    std::size_t next = 0;
    for (const auto& [first, count] : m_sections) {
        table += QByteArray::number(first) + ' ' + QByteArray::number(count) + '\n';
        for (int k = 0; k < count; ++k, ++next) {
            const Entry& e = m_entries[next];
            const qint64 offset = e.rest.endsWith('n') ? moved(e.offset) : e.offset;
            table += QByteArray::number(offset).rightJustified(10, '0') + ' ' + e.rest + " \n";
        }
    }
    table += read(m_trailerAt, m_startxrefAt - m_trailerAt);
    table += "startxref\n" + QByteArray::number(xrefAt) + "\n%%EOF\n";
    return writeAll(out, table);
}

} // namespace sheet
