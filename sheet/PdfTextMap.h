#pragma once
// Makes the text of our PDFs read as the ideographs that were drawn.
//
// Qt's PDF writer gives every embedded face a ToUnicode map, found by looking each
// glyph up in the face's character map from the lowest code point upwards. CJK faces
// draw an ideograph and its radical form with one glyph (二 U+4E8C and ⼆ U+2F06, 页
// U+9875 and ⻚ U+2EDA), so the radical, the lower code point, wins: a reader's
// search and copy see look-alike characters, and "二级单位合计" is never found.
//
// mapIdeographs rewrites those maps once the writer is done: a radical whose glyph an
// ideograph shares in the same face maps to that ideograph. The face is found by
// its PostScript name among the fonts the painter used. The changed maps are written
// back and the cross-reference table is rebuilt, the file streamed through in pieces.
#include <QByteArray>
#include <QFont>
#include <QList>
#include <functional>

class QFileDevice;
class QIODevice;

namespace sheet::PdfTextMap {

// Writes the PDF read from `pdf` (seekable) to `out` (open for reading and writing,
// empty) with its maps rewritten, or as it is when nothing needs to change or the file
// is not laid out as Qt 6 writes it (a classic cross-reference table, text maps not
// encoded); false when reading or writing fails. Neither file is held in memory. The
// tests find radicals again if a Qt release writes otherwise.
bool mapIdeographs(QIODevice& pdf, QFileDevice& out, const QList<QFont>& fonts);

// A ToUnicode map with every radical destination (U+2E80–U+2FDF) turned into
// ideographOf(radical) where that is not 0; empty when no destination changes.
QByteArray remapRadicals(const QByteArray& cmap, const std::function<char32_t(char32_t)>& ideographOf);

} // namespace sheet::PdfTextMap
