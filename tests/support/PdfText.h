#pragma once
// What a PDF file says, as poppler's pdftotext reads it (the page layout kept), with the
// ideographs that the CJK fonts map to their radical or traditional forms read back as the
// ideographs the product wrote.
#include <QString>

namespace testsupport {

// The text of pages `first` to `last` (1-based; 0: the whole file); empty when the file cannot
// be read.
QString PdfText(const QString& path, int first = 0, int last = 0);

} // namespace testsupport
