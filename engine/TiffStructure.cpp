#include "TiffStructure.h"

#include "Limits.h"
#include "ReadableFile.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <utility>

namespace tessary::tiff {

unsigned typeSize(std::uint16_t type)
{
    switch (type) {
    case Byte:
    case Ascii:
    case SByte:
    case Undefined:
        return 1;
    case Short:
    case SShort:
        return 2;
    case Long:
    case SLong:
    case Float:
    case Ifd:
        return 4;
    case Rational:
    case SRational:
    case Double:
    case Long8:
    case SLong8:
    case Ifd8:
        return 8;
    default:
        return 0;
    }
}

unsigned swapUnit(std::uint16_t type)
{
    switch (type) {
    case Rational:
    case SRational:
        return 4;
    default:
        return typeSize(type);
    }
}

bool isUnsignedInteger(std::uint16_t type)
{
    return type == Byte || type == Short || type == Long || type == Long8 || type == Ifd ||
           type == Ifd8;
}

const Entry* Directory::find(std::uint16_t tag) const
{
    for (const Entry& entry : entries) {
        if (entry.tag == tag)
            return &entry;
    }
    return nullptr;
}

std::uint16_t Reader::u16(const std::uint8_t* p) const
{
    return m_header.bigEndian ? std::uint16_t(p[0] << 8 | p[1]) : std::uint16_t(p[1] << 8 | p[0]);
}

std::uint32_t Reader::u32(const std::uint8_t* p) const
{
    return m_header.bigEndian ? std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 |
                                    std::uint32_t(p[2]) << 8 | p[3]
                              : std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 |
                                    std::uint32_t(p[1]) << 8 | p[0];
}

std::uint64_t Reader::u64(const std::uint8_t* p) const
{
    const std::uint64_t a = u32(p);
    const std::uint64_t b = u32(p + 4);
    return m_header.bigEndian ? a << 32 | b : b << 32 | a;
}

Reader::Reader(const ReadableFile& file)
    : m_file(file)
{
    std::uint8_t bytes[16] = {};
    if (!file.readAt(0, bytes, 8))
        throw StructureError("it is too short to be a TIFF file");
    if (bytes[0] == 'I' && bytes[1] == 'I')
        m_header.bigEndian = false;
    else if (bytes[0] == 'M' && bytes[1] == 'M')
        m_header.bigEndian = true;
    else
        throw StructureError("it does not begin like a TIFF file");
    const std::uint16_t version = u16(bytes + 2);
    if (version == 42) {
        m_header.firstIfd = u32(bytes + 4);
    } else if (version == 43) {
        if (!file.readAt(0, bytes, 16))
            throw StructureError("it is too short to be a TIFF file");
        if (u16(bytes + 4) != 8 || u16(bytes + 6) != 0)
            throw StructureError("its BigTIFF header is damaged");
        m_header.bigTiff = true;
        m_header.firstIfd = u64(bytes + 8);
    } else {
        throw StructureError("it does not begin like a TIFF file");
    }
}

Chain Reader::readChain(std::uint64_t maxPages) const
{
    Chain chain;
    std::unordered_set<std::uint64_t> seen;
    std::uint64_t offset = m_header.firstIfd;
    const unsigned countSize = m_header.countSize();
    const unsigned offsetSize = m_header.offsetSize();
    // The directories of small pages lie close together: the file is read a window at a
    // time, so that a file of thousands of pages takes a few reads, not two a page. Where
    // they lie apart, the window shrinks to what a directory usually takes.
    std::vector<std::uint8_t> window;
    std::uint64_t windowStart = 0;
    std::uint64_t windowSize = 4096;
    const auto readNear = [&](std::uint64_t at, std::uint8_t* out, unsigned size) {
        if (at < windowStart || at - windowStart > window.size() ||
            size > window.size() - (at - windowStart)) {
            const std::uint64_t fileSize = m_file.size();
            if (at > fileSize || size > fileSize - at)
                return false;
            if (!window.empty())
                windowSize = at - windowStart < 2 * window.size() ? 4096 : 512;
            window.resize(std::size_t(std::min<std::uint64_t>(windowSize, fileSize - at)));
            if (!m_file.readAt(at, window.data(), window.size()))
                return false;
            windowStart = at;
        }
        std::memcpy(out, window.data() + (at - windowStart), size);
        return true;
    };
    while (offset != 0) {
        const auto pageNumber = [&chain] {
            return std::to_string(chain.pages.size() + 1);
        };
        if (chain.pages.size() >= maxPages) {
            chain.complete = false;
            chain.problem = "it has more pages than this program can handle";
            break;
        }
        if (!seen.insert(offset).second) {
            chain.complete = false;
            chain.problem = "its list of pages loops back on itself after page " +
                            std::to_string(chain.pages.size());
            break;
        }
        std::uint8_t bytes[8] = {};
        if (!readNear(offset, bytes, countSize)) {
            chain.complete = false;
            chain.problem = chain.pages.empty()
                                ? "its first page lies past the end of the file"
                                : "its list of pages points past the end of the file after page " +
                                      std::to_string(chain.pages.size());
            break;
        }
        const std::uint64_t count = countSize == 2 ? u16(bytes) : u64(bytes);
        if (count == 0 || count > maxDirectoryEntries) {
            chain.complete = false;
            chain.problem = count == 0
                                ? "page " + pageNumber() + " has an empty directory"
                                : "the directory of page " + pageNumber() + " is impossibly large";
            break;
        }
        const std::uint64_t nextField = offset + countSize + count * m_header.entrySize();
        if (!readNear(nextField, bytes, offsetSize)) {
            chain.complete = false;
            chain.problem =
                "the directory of page " + pageNumber() + " is cut off by the end of the file";
            break;
        }
        chain.pages.push_back(offset);
        chain.nextFields.push_back(nextField);
        offset = offsetSize == 4 ? u32(bytes) : u64(bytes);
    }
    return chain;
}

Directory Reader::readDirectory(std::uint64_t offset, std::vector<std::uint8_t>* kept) const
{
    Directory dir;
    dir.offset = offset;
    const unsigned countSize = m_header.countSize();
    // Most directories are small: one read takes the count and, usually, the entries.
    const std::uint64_t fileSize = m_file.size();
    std::vector<std::uint8_t> head(
        std::size_t(offset < fileSize ? std::min<std::uint64_t>(512, fileSize - offset) : 0));
    if (head.size() < countSize || !m_file.readAt(offset, head.data(), head.size()))
        throw StructureError("its directory lies past the end of the file");
    const std::uint64_t count = countSize == 2 ? u16(head.data()) : u64(head.data());
    const unsigned entrySize = m_header.entrySize();
    if (count == 0)
        throw StructureError("its directory is empty");
    if (count > maxDirectoryEntries)
        throw StructureError("its directory is impossibly large");
    if (count > (fileSize - offset) / entrySize)
        throw StructureError("its directory is cut off by the end of the file");
    std::vector<std::uint8_t> raw(std::size_t(count * entrySize + m_header.offsetSize()));
    if (countSize + raw.size() <= head.size())
        std::memcpy(raw.data(), head.data() + countSize, raw.size());
    else if (!m_file.readAt(offset + countSize, raw.data(), raw.size()))
        throw StructureError("its directory is cut off by the end of the file");
    dir.entries.reserve(std::size_t(count));
    // Tags in rising order, as they should be, cannot repeat; the set is for the others.
    std::unordered_set<std::uint16_t> tags;
    bool rising = true;
    int lastTag = -1;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint8_t* p = raw.data() + i * entrySize;
        Entry entry;
        entry.tag = u16(p);
        entry.type = u16(p + 2);
        entry.fieldOffset = offset + countSize + i * entrySize + (m_header.bigTiff ? 12 : 8);
        std::memcpy(entry.field, p + (m_header.bigTiff ? 12 : 8), m_header.bigTiff ? 8 : 4);
        if (m_header.bigTiff) {
            entry.count = u64(p + 4);
        } else {
            entry.count = u32(p + 4);
        }
        const unsigned size = typeSize(entry.type);
        // Entries of unknown type cannot be sized, so no reader can use them; they are
        // left out, as libtiff leaves them out. A tag given twice counts once.
        if (size == 0)
            continue;
        if (rising && int(entry.tag) > lastTag) {
            lastTag = entry.tag;
        } else {
            if (std::exchange(rising, false)) {
                for (const Entry& earlier : dir.entries)
                    tags.insert(earlier.tag);
            }
            if (!tags.insert(entry.tag).second)
                continue;
        }
        const unsigned inlineSize = m_header.bigTiff ? 8 : 4;
        if (entry.count > (std::uint64_t(1) << 40) / size)
            throw StructureError("the value of its tag " + std::to_string(entry.tag) +
                                 " is impossibly large");
        if (entry.count * size <= inlineSize) {
            entry.valueOffset = entry.fieldOffset;
        } else {
            entry.valueOffset = m_header.bigTiff ? u64(p + 12) : u32(p + 8);
        }
        dir.entries.push_back(entry);
    }
    dir.nextFieldOffset = offset + countSize + count * entrySize;
    const std::uint8_t* np = raw.data() + count * entrySize;
    dir.next = m_header.bigTiff ? u64(np) : u32(np);
    if (kept)
        *kept = std::move(head);
    return dir;
}

void Reader::readValueBytes(const Entry& entry, std::vector<std::uint8_t>& out) const
{
    const std::uint64_t size = entry.byteSize();
    if (entry.valueOffset > m_file.size() || size > m_file.size() - entry.valueOffset)
        throw StructureError("the value of its tag " + std::to_string(entry.tag) +
                             " lies past the end of the file");
    if (size > maxAllocationBytes)
        throw StructureError("the value of its tag " + std::to_string(entry.tag) +
                             " is impossibly large");
    out.resize(std::size_t(size));
    if (entry.valueOffset == entry.fieldOffset && size <= (m_header.bigTiff ? 8u : 4u)) {
        if (size > 0)
            std::memcpy(out.data(), entry.field, out.size());
        return;
    }
    if (size > 0 && !m_file.readAt(entry.valueOffset, out.data(), out.size()))
        throw StructureError("the value of its tag " + std::to_string(entry.tag) +
                             " cannot be read");
}

std::vector<std::uint64_t> Reader::readUnsigned(const Entry& entry) const
{
    if (!isUnsignedInteger(entry.type))
        throw StructureError("its tag " + std::to_string(entry.tag) +
                             " does not hold whole numbers");
    if (entry.count > maxTableElements)
        throw StructureError("its tag " + std::to_string(entry.tag) + " holds too many values");
    std::vector<std::uint8_t> bytes;
    readValueBytes(entry, bytes);
    std::vector<std::uint64_t> values(std::size_t(entry.count));
    const unsigned size = typeSize(entry.type);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::uint8_t* p = bytes.data() + i * size;
        switch (size) {
        case 1:
            values[i] = *p;
            break;
        case 2:
            values[i] = u16(p);
            break;
        case 4:
            values[i] = u32(p);
            break;
        default:
            values[i] = u64(p);
            break;
        }
    }
    return values;
}

std::uint64_t Reader::readFirst(const Directory& dir, std::uint16_t tag,
                                std::uint64_t fallback) const
{
    const Entry* entry = dir.find(tag);
    if (!entry || entry->count == 0 || !isUnsignedInteger(entry->type))
        return fallback;
    Entry first = *entry;
    first.count = 1;
    if (entry->byteSize() <= (m_header.bigTiff ? 8u : 4u))
        first.valueOffset = entry->fieldOffset;
    return readUnsigned(first).at(0);
}

void put16(std::uint8_t* p, std::uint16_t v, bool bigEndian)
{
    if (bigEndian) {
        p[0] = std::uint8_t(v >> 8);
        p[1] = std::uint8_t(v);
    } else {
        p[0] = std::uint8_t(v);
        p[1] = std::uint8_t(v >> 8);
    }
}

void put32(std::uint8_t* p, std::uint32_t v, bool bigEndian)
{
    for (int i = 0; i < 4; ++i)
        p[bigEndian ? 3 - i : i] = std::uint8_t(v >> (8 * i));
}

void put64(std::uint8_t* p, std::uint64_t v, bool bigEndian)
{
    for (int i = 0; i < 8; ++i)
        p[bigEndian ? 7 - i : i] = std::uint8_t(v >> (8 * i));
}

} // namespace tessary::tiff
