#include "PeVersionReader.h"

#include <QFile>
#include <QtEndian>

namespace tessary {

namespace {

constexpr quint32 ResourceVersion = 16; // RT_VERSION
constexpr quint32 FixedInfoSignature = 0xFEEF04BD;
constexpr quint32 SubdirectoryFlag = 0x80000000;

class Image
{
public:
    explicit Image(const QByteArray& data)
        : m_data(data)
    {}

    bool has(qint64 offset, qint64 size) const
    {
        return offset >= 0 && size >= 0 && offset <= m_data.size() - size;
    }
    quint16 word(qint64 offset) const
    {
        return has(offset, 2) ? qFromLittleEndian<quint16>(m_data.constData() + offset) : 0;
    }
    quint32 dword(qint64 offset) const
    {
        return has(offset, 4) ? qFromLittleEndian<quint32>(m_data.constData() + offset) : 0;
    }

private:
    const QByteArray& m_data;
};

struct Section
{
    quint32 virtualAddress;
    quint32 virtualSize;
    quint32 rawSize;
    quint32 rawOffset;
};

std::optional<qint64> fileOffset(const QList<Section>& sections, quint32 rva, quint32 size)
{
    for (const Section& section : sections) {
        const quint64 extent = qMax(section.virtualSize, section.rawSize);
        if (rva < section.virtualAddress || quint64(rva) + size > section.virtualAddress + extent)
            continue;
        const quint64 within = rva - section.virtualAddress;
        if (within + size > section.rawSize)
            return std::nullopt;
        return qint64(section.rawOffset + within);
    }
    return std::nullopt;
}

// The entry of a resource directory with the given id, or its first entry when id is 0.
// Returns the entry's OffsetToData field.
std::optional<quint32> directoryEntry(const Image& image, qint64 directory, quint32 id)
{
    if (!image.has(directory, 16))
        return std::nullopt;
    const quint32 named = image.word(directory + 12);
    const quint32 numbered = image.word(directory + 14);
    for (quint32 i = 0; i < named + numbered; ++i) {
        const qint64 entry = directory + 16 + qint64(i) * 8;
        if (!image.has(entry, 8))
            return std::nullopt;
        const quint32 name = image.dword(entry);
        const bool isId = !(name & SubdirectoryFlag);
        if (id == 0 || (isId && name == id))
            return image.dword(entry + 4);
    }
    return std::nullopt;
}

} // namespace

std::optional<FixedFileInfo> PeVersionReader::read(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileSize)
        return std::nullopt;
    return parse(file.readAll());
}

std::optional<FixedFileInfo> PeVersionReader::parse(const QByteArray& data)
{
    const Image image(data);
    if (image.word(0) != 0x5A4D) // "MZ"
        return std::nullopt;
    const qint64 pe = image.dword(0x3C);
    if (!image.has(pe, 24) || image.dword(pe) != 0x00004550) // "PE\0\0"
        return std::nullopt;
    const quint32 sectionCount = image.word(pe + 6);
    const quint32 optionalSize = image.word(pe + 20);
    const qint64 optional = pe + 24;
    const quint16 magic = image.word(optional);
    qint64 directories = 0;
    qint64 directoryCountField = 0;
    if (magic == 0x10B) { // PE32
        directoryCountField = optional + 92;
        directories = optional + 96;
    } else if (magic == 0x20B) { // PE32+
        directoryCountField = optional + 108;
        directories = optional + 112;
    } else {
        return std::nullopt;
    }
    if (image.dword(directoryCountField) < 3 || !image.has(directories + 16, 8) ||
        directories + 24 > optional + optionalSize)
        return std::nullopt;
    const quint32 resourceRva = image.dword(directories + 16);
    const quint32 resourceSize = image.dword(directories + 20);
    if (resourceRva == 0 || resourceSize == 0)
        return std::nullopt;

    QList<Section> sections;
    const qint64 table = optional + optionalSize;
    for (quint32 i = 0; i < sectionCount && i < 96; ++i) {
        const qint64 header = table + qint64(i) * 40;
        if (!image.has(header, 40))
            return std::nullopt;
        sections.append({image.dword(header + 12), image.dword(header + 8),
                         image.dword(header + 16), image.dword(header + 20)});
    }
    const std::optional<qint64> resources = fileOffset(sections, resourceRva, 16);
    if (!resources)
        return std::nullopt;

    // Type, then name, then language: the first version resource found.
    const std::optional<quint32> type = directoryEntry(image, *resources, ResourceVersion);
    if (!type || !(*type & SubdirectoryFlag))
        return std::nullopt;
    const std::optional<quint32> name =
        directoryEntry(image, *resources + (*type & ~SubdirectoryFlag), 0);
    if (!name || !(*name & SubdirectoryFlag))
        return std::nullopt;
    const std::optional<quint32> language =
        directoryEntry(image, *resources + (*name & ~SubdirectoryFlag), 0);
    if (!language || (*language & SubdirectoryFlag))
        return std::nullopt;
    const qint64 dataEntry = *resources + *language;
    if (!image.has(dataEntry, 16))
        return std::nullopt;
    const quint32 dataSize = image.dword(dataEntry + 4);
    const std::optional<qint64> block = fileOffset(sections, image.dword(dataEntry), dataSize);
    if (!block || dataSize < 92)
        return std::nullopt;

    // VS_VERSIONINFO: length, value length, type, the key "VS_VERSION_INFO", padding to a
    // 32-bit boundary, then the fixed record.
    static const char16_t key[] = u"VS_VERSION_INFO";
    for (qint64 i = 0; i < 16; ++i) {
        if (image.word(*block + 6 + i * 2) != quint16(key[i]))
            return std::nullopt;
    }
    const qint64 fixed = *block + 40;
    if (image.word(*block + 2) < 52 || !image.has(fixed, 52) ||
        image.dword(fixed) != FixedInfoSignature)
        return std::nullopt;
    FixedFileInfo info;
    info.dwFileVersionMS = image.dword(fixed + 8);
    info.dwFileVersionLS = image.dword(fixed + 12);
    info.dwProductVersionMS = image.dword(fixed + 16);
    info.dwProductVersionLS = image.dword(fixed + 20);
    return info;
}

} // namespace tessary
