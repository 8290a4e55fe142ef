#pragma once
// The objects of a PDF file as Qt writes it (one classic cross-reference table, no
// incremental updates), to read an object and to replace stream objects: the file is
// then written again with its cross-reference table rebuilt for the new offsets.
//
// The file is read from a seekable device as needed, never held whole: a report of
// thousands of pages is tens of megabytes, and only its table, the objects' heads and
// the few replaced streams are ever in memory.
#include <QByteArray>
#include <QHash>
#include <optional>
#include <vector>

class QIODevice;

namespace sheet {

class PdfObjects {
public:
    // Reads from `pdf` (open for reading, seekable), which must outlive this.
    explicit PdfObjects(QIODevice& pdf);

    // The file has a cross-reference table we read, and every object in use starts
    // where the table says.
    bool isReadable() const { return m_readable; }

    // Object number → offset, of the objects in use.
    const QHash<int, qint64>& offsets() const { return m_offsets; }

    // The object's text from "N G obj" up to "endobj", or up to "stream" for a stream.
    QByteArray head(int number) const;

    struct Stream {
        QByteArray data;
        qint64 end = 0; // just past the object's "endobj"
    };
    // A stream's data, when it is not encoded and its length stands in its dictionary
    // (as Qt writes its text maps).
    std::optional<Stream> plainStream(int number) const;

    // Puts `data` in place of the stream, to take effect in writeAssembled().
    void replaceStream(int number, const Stream& old, const QByteArray& data);
    bool changed() const { return !m_edits.empty(); }

    // Writes the file to `out` with every replacement made and the cross-reference
    // table rebuilt; false when reading or writing fails.
    bool writeAssembled(QIODevice& out) const;

private:
    struct Entry {
        int number;
        qint64 offset;
        QByteArray rest; // generation and kind, as written
    };
    struct Edit {
        qint64 from;
        qint64 to;
        QByteArray with;
    };
    bool readTable();
    QByteArray read(qint64 at, qint64 size) const;
    // Where `what` first occurs at or after `from`, or -1.
    qint64 indexOf(const QByteArray& what, qint64 from) const;
    bool copy(QIODevice& out, qint64 from, qint64 to) const;

    QIODevice& m_pdf;
    qint64 m_size = 0;
    bool m_readable = false;
    qint64 m_xrefAt = -1;
    qint64 m_trailerAt = -1;
    qint64 m_startxrefAt = -1;
    std::vector<std::pair<int, int>> m_sections; // first object and count
    std::vector<Entry> m_entries;
    QHash<int, qint64> m_offsets;
    std::vector<Edit> m_edits;
};

} // namespace sheet
