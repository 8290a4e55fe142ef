#include "sheet/CompoundFile.h"

#include <vector>

#include "sheet/LittleEndian.h"

namespace sheet {

namespace {

constexpr int SectorSize = 512;
constexpr std::uint32_t FreeSect = 0xFFFFFFFF;
constexpr std::uint32_t EndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t FatSect = 0xFFFFFFFD;
constexpr std::uint32_t DifSect = 0xFFFFFFFC;
constexpr std::uint32_t NoStream = 0xFFFFFFFF;
constexpr int HeaderDifatSlots = 109;
constexpr int EntriesPerSector = SectorSize / 4;

QByteArray directoryEntry(const QString& name, int type, std::uint32_t child, std::uint32_t start, std::uint32_t size)
{
    QByteArray e;
    if (type != 0) {
        le::utf16(e, name);
        le::u16(e, 0);
    }
    e.append(64 - e.size(), '\0');
    le::u16(e, type != 0 ? static_cast<unsigned>((name.size() + 1) * 2) : 0);
    le::u8(e, static_cast<unsigned>(type));
    le::u8(e, 1); // black in the red-black tree of siblings
    le::u32(e, NoStream);
    le::u32(e, NoStream);
    le::u32(e, child);
    e.append(16 + 4 + 8 + 8, '\0'); // class id, state bits, creation and modification times
    le::u32(e, start);
    le::u32(e, size);
    le::u32(e, 0);
    return e;
}

} // namespace

QByteArray CompoundFile::build(const QString& streamName, QByteArray stream)
{
    if (stream.size() < 4096)
        stream.append(4096 - stream.size(), '\0');
    const auto streamSize = static_cast<std::uint32_t>(stream.size());
    const std::uint32_t streamSectors = (streamSize + SectorSize - 1) / SectorSize;
    stream.append(static_cast<qsizetype>(streamSectors) * SectorSize - stream.size(), '\0');

    // Sectors: stream, one directory sector, FAT sectors, DIFAT sectors.
    std::uint32_t fatSectors = 1, difatSectors = 0;
    for (;;) {
        const std::uint32_t total = streamSectors + 1 + fatSectors + difatSectors;
        const std::uint32_t needFat = (total + EntriesPerSector - 1) / EntriesPerSector;
        const std::uint32_t needDifat
            = needFat > HeaderDifatSlots ? (needFat - HeaderDifatSlots + EntriesPerSector - 2) / (EntriesPerSector - 1) : 0;
        if (needFat == fatSectors && needDifat == difatSectors)
            break;
        fatSectors = needFat;
        difatSectors = needDifat;
    }
    const std::uint32_t dirSector = streamSectors;
    const std::uint32_t firstFat = dirSector + 1;
    const std::uint32_t firstDifat = firstFat + fatSectors;

    std::vector<std::uint32_t> fat(static_cast<std::size_t>(fatSectors) * EntriesPerSector, FreeSect);
    for (std::uint32_t i = 0; i < streamSectors; ++i)
        fat[i] = i + 1 < streamSectors ? i + 1 : EndOfChain;
    fat[dirSector] = EndOfChain;
    for (std::uint32_t i = 0; i < fatSectors; ++i)
        fat[firstFat + i] = FatSect;
    for (std::uint32_t i = 0; i < difatSectors; ++i)
        fat[firstDifat + i] = DifSect;

    QByteArray out;
    out.reserve(SectorSize * static_cast<qsizetype>(1 + streamSectors + 1 + fatSectors + difatSectors));
    out.append("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    out.append(16, '\0');
    le::u16(out, 0x003E);
    le::u16(out, 0x0003);
    le::u16(out, 0xFFFE);
    le::u16(out, 9); // 512-byte sectors
    le::u16(out, 6); // 64-byte mini sectors
    out.append(6, '\0');
    le::u32(out, 0); // directory sectors (always 0 in version 3)
    le::u32(out, fatSectors);
    le::u32(out, dirSector);
    le::u32(out, 0);
    le::u32(out, 4096); // mini stream cutoff
    le::u32(out, EndOfChain);
    le::u32(out, 0);
    le::u32(out, difatSectors ? firstDifat : EndOfChain);
    le::u32(out, difatSectors);
    for (int i = 0; i < HeaderDifatSlots; ++i)
        le::u32(out, static_cast<std::uint32_t>(i) < fatSectors ? firstFat + static_cast<std::uint32_t>(i) : FreeSect);

    out.append(stream);

    QByteArray dir = directoryEntry(QStringLiteral("Root Entry"), 5, 1, EndOfChain, 0);
    dir.append(directoryEntry(streamName, 2, NoStream, 0, streamSize));
    dir.append(directoryEntry(QString(), 0, NoStream, 0, 0));
    dir.append(directoryEntry(QString(), 0, NoStream, 0, 0));
    out.append(dir);

    for (std::uint32_t v : fat)
        le::u32(out, v);

    // DIFAT sectors: 127 FAT sector numbers each, then the next DIFAT sector.
    std::uint32_t next = HeaderDifatSlots;
    for (std::uint32_t d = 0; d < difatSectors; ++d) {
        for (int i = 0; i < EntriesPerSector - 1; ++i, ++next)
            le::u32(out, next < fatSectors ? firstFat + next : FreeSect);
        le::u32(out, d + 1 < difatSectors ? firstDifat + d + 1 : EndOfChain);
    }
    return out;
}

} // namespace sheet
