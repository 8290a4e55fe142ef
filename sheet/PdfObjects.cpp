#include "sheet/PdfObjects.h"

#include <QList>
#include <QRegularExpression>
#include <algorithm>

namespace sheet {

PdfObjects::PdfObjects(const QByteArray& pdf) : m_pdf(pdf)
{
    if (!readTable())
        return;
    for (const Entry& e : m_entries)
        if (e.rest.endsWith('n'))
            m_offsets.insert(e.number, e.offset);
    m_readable = std::all_of(m_offsets.keyValueBegin(), m_offsets.keyValueEnd(), [&](const auto& entry) {
        return m_pdf.mid(entry.second, 24).startsWith(QByteArray::number(entry.first) + ' ');
    });
}

bool PdfObjects::readTable()
{
    m_startxrefAt = m_pdf.lastIndexOf("startxref");
    if (m_startxrefAt < 0)
        return false;
    bool ok = false;
    m_xrefAt = m_pdf.mid(m_startxrefAt + 9, 24).trimmed().split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok || m_xrefAt < 0 || !m_pdf.mid(m_xrefAt, 4).startsWith("xref"))
        return false;
    m_trailerAt = m_pdf.indexOf("trailer", m_xrefAt);
    if (m_trailerAt < 0 || m_trailerAt > m_startxrefAt)
        return false;
    const QByteArray trailer = m_pdf.mid(m_trailerAt, m_startxrefAt - m_trailerAt);
    if (trailer.contains("/Prev") || trailer.contains("/XRefStm"))
        return false; // updated in increments
    const QList<QByteArray> tokens = m_pdf.mid(m_xrefAt + 4, m_trailerAt - m_xrefAt - 4).simplified().split(' ');
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
    const qsizetype end = m_pdf.indexOf("endobj", at);
    const qsizetype stream = m_pdf.indexOf("stream", at);
    const qsizetype stop = stream >= 0 && stream < end ? stream : end;
    return end < 0 ? QByteArray() : m_pdf.mid(at, stop - at);
}

std::optional<PdfObjects::Stream> PdfObjects::plainStream(int number) const
{
    static const QRegularExpression length(QStringLiteral("/Length\\s+(\\d+)\\s*>>"));
    const QByteArray dict = head(number);
    const auto m = length.match(QString::fromLatin1(dict));
    if (dict.isEmpty() || !m.hasMatch() || dict.contains("/Filter"))
        return {};
    const qint64 size = m.captured(1).toLongLong();
    qsizetype data = m_offsets.value(number) + dict.size() + 6; // past "stream"
    if (m_pdf.mid(data, 2) == "\r\n")
        data += 2;
    else if (m_pdf.mid(data, 1) == "\n")
        data += 1;
    const qsizetype end = m_pdf.indexOf("endobj", data + size);
    if (end < 0)
        return {};
    return Stream{m_pdf.mid(data, size), end + 6};
}

void PdfObjects::replaceStream(int number, const Stream& old, const QByteArray& data)
{
    const QByteArray object = QByteArray::number(number) + " 0 obj\n<< /Length " + QByteArray::number(data.size())
        + " >>\nstream\n" + data + "\nendstream\nendobj";
    m_edits.push_back({m_offsets.value(number), old.end, object});
}

QByteArray PdfObjects::assembled() const
{
    std::vector<Edit> edits = m_edits;
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.from < b.from; });
    QByteArray out;
    qsizetype done = 0;
    for (const Edit& e : edits) {
        out += m_pdf.mid(done, e.from - done) + e.with;
        done = e.to;
    }
    out += m_pdf.mid(done, m_xrefAt - done);
    auto moved = [&](qint64 offset) {
        for (const Edit& e : edits)
            if (e.to <= offset)
                offset += e.with.size() - (e.to - e.from);
        return offset;
    };
    const qsizetype xrefAt = out.size();
    out += "xref\n";
    std::size_t next = 0;
    for (const auto& [first, count] : m_sections) {
        out += QByteArray::number(first) + ' ' + QByteArray::number(count) + '\n';
        for (int k = 0; k < count; ++k, ++next) {
            const Entry& e = m_entries[next];
            const qint64 offset = e.rest.endsWith('n') ? moved(e.offset) : e.offset;
            out += QByteArray::number(offset).rightJustified(10, '0') + ' ' + e.rest + " \n";
        }
    }
    out += m_pdf.mid(m_trailerAt, m_startxrefAt - m_trailerAt);
    out += "startxref\n" + QByteArray::number(xrefAt) + "\n%%EOF\n";
    return out;
}

} // namespace sheet
