#pragma once
// An OLE2 compound file (version 3, 512-byte sectors) holding one stream under the
// root storage: the container of an Excel 97-2003 workbook. The stream is padded to
// 4096 bytes so that it lives in regular sectors; the allocation table grows through
// DIFAT sectors for streams beyond 7 MB.
#include <QByteArray>
#include <QString>

namespace sheet {

class CompoundFile {
public:
    static QByteArray build(const QString& streamName, QByteArray stream);
};

} // namespace sheet
