#pragma once
// The objects of a PDF file as Qt writes it (one classic cross-reference table, no
// incremental updates), to read an object and to replace stream objects: the file is
// then put together again with its cross-reference table rebuilt for the new offsets.
#include <QByteArray>
#include <QHash>
#include <optional>
#include <vector>

namespace sheet {

class PdfObjects {
public:
    // Keeps a reference to `pdf`, which must outlive this.
    explicit PdfObjects(const QByteArray& pdf);

    // The file has a cross-reference table we read, and every object in use starts
    // where the table says.
    bool isReadable() const { return m_readable; }

    // Object number → offset, of the objects in use.
    const QHash<int, qint64>& offsets() const { return m_offsets; }

    // The object's text from "N G obj" up to "endobj", or up to "stream" for a stream.
    QByteArray head(int number) const;

    struct Stream {
        QByteArray data;
        qsizetype end = 0; // just past the object's "endobj"
    };
    // A stream's data, when it is not encoded and its length stands in its dictionary
    // (as Qt writes its text maps).
    std::optional<Stream> plainStream(int number) const;

    // Puts `data` in place of the stream, to take effect in assembled().
    void replaceStream(int number, const Stream& old, const QByteArray& data);
    bool changed() const { return !m_edits.empty(); }

    // The file with every replacement made and the cross-reference table rebuilt.
    QByteArray assembled() const;

private:
    struct Entry {
        int number;
        qint64 offset;
        QByteArray rest; // generation and kind, as written
    };
    struct Edit {
        qsizetype from;
        qsizetype to;
        QByteArray with;
    };
    bool readTable();

    const QByteArray& m_pdf;
    bool m_readable = false;
    qsizetype m_xrefAt = -1;
    qsizetype m_trailerAt = -1;
    qsizetype m_startxrefAt = -1;
    std::vector<std::pair<int, int>> m_sections; // first object and count
    std::vector<Entry> m_entries;
    QHash<int, qint64> m_offsets;
    std::vector<Edit> m_edits;
};

} // namespace sheet
