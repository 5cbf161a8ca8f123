#include "TiffStructure.h"

#include "Limits.h"
#include "ReadableFile.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <utility>

namespace tessary::tiff {

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

namespace {

// The bytes of the file the walk of a chain reads at once: a window that grows while the
// directories lie close together (a file of many small pages takes a few reads for
// thousands of pages), and is back to a page's worth where they lie apart: one read a page
// that usually takes the page's tag values too, and little more, since what the walk reads
// it keeps.
constexpr std::size_t smallWindow = 1024;
constexpr std::size_t largeWindow = 64u << 10;
// What the walk keeps of what it read: the directories of thousands of pages that lie
// apart, or of any number that lie together in a file of up to this size.
constexpr std::size_t maxKeptBytes = 16u << 20;

} // namespace

std::uint8_t* Reader::room(std::size_t size)
{
    if (size > m_freeSize) {
        // Blocks grow with what is kept, from a few pages' worth to a MiB.
        const std::size_t blockSize =
            std::max(size, std::clamp<std::size_t>(m_kept, 16u << 10, 1u << 20));
        m_blocks.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(blockSize));
        m_free = m_blocks.back().get();
        m_freeSize = blockSize;
    }
    std::uint8_t* room = m_free;
    m_free += size;
    m_freeSize -= size;
    m_kept += size;
    return room;
}

Chain Reader::readChain(std::uint64_t maxPages, bool keep)
{
    Chain chain;
    m_windows.clear();
    m_lastWindow = 0;
    m_blocks.clear();
    m_kept = 0;
    m_free = nullptr;
    m_freeSize = 0;
    const std::uint64_t fileSize = m_file.size();
    // The offsets met, once they stop rising: while each directory lies behind the one
    // before, none can be met twice.
    std::unordered_set<std::uint64_t> seen;
    std::uint64_t offset = m_header.firstIfd;
    const unsigned countSize = m_header.countSize();
    const unsigned offsetSize = m_header.offsetSize();
    // The last window read, kept or in scratch (once the walk keeps no more, or keeps
    // nothing).
    const std::uint8_t* last = nullptr;
    std::uint64_t lastStart = 0;
    std::size_t lastSize = 0;
    std::size_t windowSize = smallWindow;
    std::vector<std::uint8_t> scratch;
    // Copies size bytes at `at` into out from a window read before, or from a new one that
    // starts at `from`, the start of their directory, when it can hold the directory up to
    // them: a directory that runs past the end of a window is kept whole in the next.
    const auto readNear = [&](std::uint64_t at, std::uint8_t* out, unsigned size,
                              std::uint64_t from) {
        if (at > fileSize || size > fileSize - at)
            return false;
        const std::uint8_t* p = nullptr;
        if (last && at >= lastStart && at - lastStart <= lastSize &&
            size <= lastSize - (at - lastStart))
            p = last + (at - lastStart);
        else
            p = kept(at, size);
        if (p) {
            std::memcpy(out, p, size);
            return true;
        }
        if (lastSize > 0) {
            windowSize = from > lastStart && from - lastStart < 2 * lastSize
                             ? std::min(2 * windowSize, largeWindow)
                             : smallWindow;
        }
        // A little before the directory too: the padding in front of it, which a rewrite
        // looks at.
        const std::uint64_t lead = std::min<std::uint64_t>(from, 16);
        const std::uint64_t start = at - from + lead + size <= windowSize ? from - lead : at;
        const std::size_t length =
            std::size_t(std::min<std::uint64_t>(windowSize, fileSize - start));
        const bool keeping = keep && m_kept + length <= maxKeptBytes;
        if (!keeping)
            scratch.resize(length);
        std::uint8_t* window = keeping ? room(length) : scratch.data();
        last = nullptr;
        // A file cut short since it was opened ends the window where it now ends; the walk
        // ends there only when the bytes asked for are gone (the room stays unused).
        const std::int64_t read = m_file.readSome(start, window, length);
        if (read < 0 || std::uint64_t(read) < at - start + size)
            return false;
        if (keeping) {
            const auto place =
                std::upper_bound(m_windows.begin(), m_windows.end(), start,
                                 [](std::uint64_t o, const Window& w) { return o < w.start; });
            m_windows.insert(place, {start, window, std::size_t(read)});
        }
        last = window;
        lastStart = start;
        lastSize = std::size_t(read);
        std::memcpy(out, window + (at - start), size);
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
        if (!seen.empty() || (!chain.pages.empty() && offset <= chain.pages.back())) {
            if (seen.empty())
                seen.insert(chain.pages.begin(), chain.pages.end());
            if (!seen.insert(offset).second) {
                chain.complete = false;
                chain.problem = "its list of pages loops back on itself after page " +
                                std::to_string(chain.pages.size());
                break;
            }
        }
        std::uint8_t bytes[8] = {};
        if (!readNear(offset, bytes, countSize, offset)) {
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
        if (!readNear(nextField, bytes, offsetSize, offset)) {
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

const std::uint8_t* Reader::keptFrom(std::uint64_t offset, std::uint64_t wanted,
                                     std::size_t& available) const
{
    available = 0;
    const auto holds = [&](std::size_t w) {
        return w < m_windows.size() && offset >= m_windows[w].start &&
               offset - m_windows[w].start < m_windows[w].size &&
               wanted <= m_windows[w].size - (offset - m_windows[w].start);
    };
    // Pages are mostly read in order: the window of the last one, or the next.
    std::size_t i = m_lastWindow;
    if (!holds(i) && !holds(++i)) {
        // The last window that starts at or before offset: a window is read where none kept
        // holds what is asked, so this one usually reaches at least as far as those before.
        const auto it =
            std::upper_bound(m_windows.begin(), m_windows.end(), offset,
                             [](std::uint64_t o, const Window& w) { return o < w.start; });
        if (it == m_windows.begin())
            return nullptr;
        i = std::size_t(it - m_windows.begin()) - 1;
        if (!holds(i))
            return nullptr;
    }
    m_lastWindow = i;
    const Window& window = m_windows[i];
    available = std::size_t(window.start + window.size - offset);
    return window.bytes + (offset - window.start);
}

const std::uint8_t* Reader::kept(std::uint64_t offset, std::uint64_t size) const
{
    std::size_t available = 0;
    return keptFrom(offset, size, available);
}

Directory Reader::readDirectory(std::uint64_t offset) const
{
    Directory dir;
    dir.offset = offset;
    const unsigned countSize = m_header.countSize();
    const unsigned entrySize = m_header.entrySize();
    const std::uint64_t fileSize = m_file.size();
    // Most directories are kept from the walk of the chain; one read takes the count and,
    // usually, the entries of any other.
    std::uint8_t read[512];
    std::size_t headSize = 0;
    const std::uint8_t* head = keptFrom(offset, countSize, headSize);
    if (!head) {
        headSize =
            std::size_t(offset < fileSize ? std::min<std::uint64_t>(512, fileSize - offset) : 0);
        if (headSize < countSize || !m_file.readAt(offset, read, headSize))
            throw StructureError("its directory lies past the end of the file");
        head = read;
    }
    const std::uint64_t count = countSize == 2 ? u16(head) : u64(head);
    if (count == 0)
        throw StructureError("its directory is empty");
    if (count > maxDirectoryEntries)
        throw StructureError("its directory is impossibly large");
    if (count > (fileSize - offset) / entrySize)
        throw StructureError("its directory is cut off by the end of the file");
    const std::size_t rawSize = std::size_t(count * entrySize + m_header.offsetSize());
    std::vector<std::uint8_t> rest;
    const std::uint8_t* raw = head + countSize;
    // Another window kept may hold the whole directory where this one ends within it.
    const std::uint8_t* whole = head != read && countSize + rawSize > headSize
                                    ? kept(offset, countSize + rawSize)
                                    : nullptr;
    if (whole) {
        raw = whole + countSize;
    } else if (countSize + rawSize > headSize) {
        rest.resize(rawSize);
        if (!m_file.readAt(offset + countSize, rest.data(), rest.size()))
            throw StructureError("its directory is cut off by the end of the file");
        raw = rest.data();
    }
    dir.entries.reserve(std::size_t(count));
    // Tags in rising order, as they should be, cannot repeat; the set is for the others.
    std::unordered_set<std::uint16_t> tags;
    bool rising = true;
    int lastTag = -1;
    const unsigned inlineSize = m_header.bigTiff ? 8 : 4;
    const unsigned fieldAt = m_header.bigTiff ? 12 : 8;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint8_t* p = raw + i * entrySize;
        Entry entry;
        entry.tag = u16(p);
        entry.type = u16(p + 2);
        entry.fieldOffset = offset + countSize + i * entrySize + fieldAt;
        std::memcpy(entry.field, p + fieldAt, inlineSize);
        entry.count = m_header.bigTiff ? u64(p + 4) : u32(p + 4);
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
        if (entry.count > (std::uint64_t(1) << 40) / size)
            throw StructureError("the value of its tag " + std::to_string(entry.tag) +
                                 " is impossibly large");
        if (entry.count * size <= inlineSize)
            entry.valueOffset = entry.fieldOffset;
        else
            entry.valueOffset = m_header.bigTiff ? u64(p + 12) : u32(p + 8);
        dir.entries.push_back(entry);
    }
    dir.nextFieldOffset = offset + countSize + count * entrySize;
    const std::uint8_t* np = raw + count * entrySize;
    dir.next = m_header.bigTiff ? u64(np) : u32(np);
    return dir;
}

const std::uint8_t* Reader::valueBytes(const Entry& entry, std::vector<std::uint8_t>& scratch) const
{
    const std::uint64_t size = entry.byteSize();
    if (entry.valueOffset > m_file.size() || size > m_file.size() - entry.valueOffset)
        throw StructureError("the value of its tag " + std::to_string(entry.tag) +
                             " lies past the end of the file");
    if (size > maxAllocationBytes)
        throw StructureError("the value of its tag " + std::to_string(entry.tag) +
                             " is impossibly large");
    if (entry.valueOffset == entry.fieldOffset && size <= (m_header.bigTiff ? 8u : 4u))
        return entry.field;
    if (const std::uint8_t* p = kept(entry.valueOffset, size))
        return p;
    scratch.resize(std::size_t(size));
    if (size > 0 && !m_file.readAt(entry.valueOffset, scratch.data(), scratch.size()))
        throw StructureError("the value of its tag " + std::to_string(entry.tag) +
                             " cannot be read");
    return scratch.data();
}

void Reader::readValueBytes(const Entry& entry, std::vector<std::uint8_t>& out) const
{
    const std::uint8_t* p = valueBytes(entry, out);
    if (p != out.data())
        out.assign(p, p + entry.byteSize());
}

std::vector<std::uint64_t> Reader::readUnsigned(const Entry& entry) const
{
    if (!isUnsignedInteger(entry.type))
        throw StructureError("its tag " + std::to_string(entry.tag) +
                             " does not hold whole numbers");
    if (entry.count > maxTableElements)
        throw StructureError("its tag " + std::to_string(entry.tag) + " holds too many values");
    std::vector<std::uint8_t> scratch;
    const std::uint8_t* bytes = valueBytes(entry, scratch);
    std::vector<std::uint64_t> values(std::size_t(entry.count));
    const unsigned size = typeSize(entry.type);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::uint8_t* p = bytes + i * size;
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

std::uint64_t Reader::first(const Entry& entry) const
{
    if (!isUnsignedInteger(entry.type))
        throw StructureError("its tag " + std::to_string(entry.tag) +
                             " does not hold whole numbers");
    if (entry.count == 0)
        throw StructureError("its tag " + std::to_string(entry.tag) + " holds no value");
    // The first element is in the entry itself when the whole value is. (Where a value
    // claims to lie in its own entry, the bytes come from `one`, which must outlive them.)
    const std::uint8_t* p = entry.field;
    std::vector<std::uint8_t> scratch;
    Entry one = entry;
    if (entry.byteSize() > (m_header.bigTiff ? 8u : 4u)) {
        one.count = 1;
        p = valueBytes(one, scratch);
    }
    switch (typeSize(entry.type)) {
    case 1:
        return *p;
    case 2:
        return u16(p);
    case 4:
        return u32(p);
    default:
        return u64(p);
    }
}

std::uint64_t Reader::readFirst(const Directory& dir, std::uint16_t tag,
                                std::uint64_t fallback) const
{
    const Entry* entry = dir.find(tag);
    if (!entry || entry->count == 0 || !isUnsignedInteger(entry->type))
        return fallback;
    return first(*entry);
}

} // namespace tessary::tiff
