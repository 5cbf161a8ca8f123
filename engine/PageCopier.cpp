#include "PageCopier.h"

#include "FileLayer.h"
#include "Limits.h"
#include "ReadableFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>

namespace tessary {

using namespace tiff;

namespace {

// How deep directories may point to further directories, and how many one page may hold:
// enough for every real file, and a bound on damaged ones that point in circles.
constexpr int maxDepth = 8;
constexpr std::size_t maxDirectories = 512;
constexpr std::uint64_t copyChunk = 16u << 20;
// Bounds on what one page may bring along, so that the plan's own tables stay small
// whatever a damaged file declares: blocks of image data and tag entries over all its
// directories.
constexpr std::size_t maxBlocks = std::size_t(maxTableElements);
constexpr std::size_t maxEntries = 1u << 20;

// Compressions whose stored bytes do not depend on the file's byte order, whatever the
// sample size: their codecs work on byte streams.
bool byteStreamCodec(std::uint64_t compression)
{
    switch (compression) {
    case 2:     // CCITT RLE
    case 3:     // CCITT G3
    case 4:     // CCITT G4
    case 6:     // old JPEG
    case 7:     // JPEG
    case 32771: // CCITT RLE/W
    case 34661: // JBIG
    case 34676: // SGI LogLuv
    case 34677: // SGI LogLuv24
    case 34712: // JPEG 2000
    case 34892: // lossy JPEG
    case 50001: // WebP
    case 50002: // JPEG XL
        return true;
    default:
        return false;
    }
}

std::uint64_t maxFor(std::uint16_t type)
{
    switch (type) {
    case Byte:
        return 0xff;
    case Short:
        return 0xffff;
    case Long:
    case Ifd:
        return 0xffffffffu;
    default:
        return std::numeric_limits<std::uint64_t>::max();
    }
}

// The size of each uncompressed strip or tile as its rows make it, which is what readers
// read whatever length is stated; empty where the page's geometry is out of bounds. Tiles
// are known by their width, whichever tags list them; YCbCr colour subsampled in units of
// h by v pixels stores each unit as h * v luma samples and two chroma samples.
std::vector<std::uint64_t> uncompressedSizes(const Reader& data, const Directory& dir,
                                             std::size_t blocks)
{
    const std::uint64_t width = data.readFirst(dir, ImageWidth, 0);
    const std::uint64_t length = data.readFirst(dir, ImageLength, 0);
    const std::uint64_t bits = data.readFirst(dir, BitsPerSample, 1);
    const std::uint64_t samples = data.readFirst(dir, SamplesPerPixel, 1);
    const bool separate = data.readFirst(dir, PlanarConfig, 1) == 2;
    const auto within = [](std::uint64_t v) {
        return v > 0 && v < (1u << 24);
    };
    if (!within(width) || !within(length) || bits == 0 || bits > 64 || samples == 0 ||
        samples > 0xffff)
        return {};
    std::uint64_t unitWidth = 1;
    std::uint64_t unitHeight = 1;
    std::uint64_t unitSamples = separate ? 1 : samples;
    if (!separate && samples == 3 && data.readFirst(dir, Photometric, 0) == 6) {
        // Units of two by two pixels unless stated otherwise; readers pass over a statement
        // they cannot read.
        std::vector<std::uint64_t> units{2, 2};
        if (const Entry* entry = dir.find(YCbCrSubsampling); entry && entry->count == 2) {
            try {
                units = data.readUnsigned(*entry);
            } catch (const StructureError&) {
            }
        }
        const auto valid = [](std::uint64_t u) {
            return u == 1 || u == 2 || u == 4;
        };
        if (!valid(units[0]) || !valid(units[1]))
            return {};
        unitWidth = units[0];
        unitHeight = units[1];
        unitSamples = unitWidth * unitHeight + 2;
    }
    // Bytes of a row of units across pixels wide, and of rows rows of them.
    const auto unitRow = [&](std::uint64_t across) {
        return ((across + unitWidth - 1) / unitWidth * unitSamples * bits + 7) / 8;
    };
    const auto size = [&](std::uint64_t across, std::uint64_t rows) {
        return unitRow(across) * ((rows + unitHeight - 1) / unitHeight);
    };
    if (dir.find(TileWidth)) {
        const std::uint64_t tileWidth = data.readFirst(dir, TileWidth, 0);
        const std::uint64_t tileLength = data.readFirst(dir, TileLength, 0);
        if (!within(tileWidth) || !within(tileLength))
            return {};
        return std::vector<std::uint64_t>(blocks, size(tileWidth, tileLength));
    }
    const std::uint64_t rows = std::min(data.readFirst(dir, RowsPerStrip, length), length);
    if (rows == 0)
        return {};
    // A lone strip stated too short libtiff sizes by its lines: a row of units shared out.
    if (blocks == 1)
        return {unitRow(width) / unitHeight * length};
    const std::uint64_t perPlane = (length + rows - 1) / rows;
    std::vector<std::uint64_t> sizes;
    for (std::size_t i = 0; i < blocks; ++i)
        sizes.push_back(size(width, std::min(rows, length - i % perPlane * rows)));
    return sizes;
}

} // namespace

PagePlan::PagePlan(const Reader& source, std::uint64_t directoryOffset, std::uint64_t start,
                   const OutputFormat& format)
    : m_source(source)
    , m_format(format)
    , m_start(0)
{
    m_start = align(start);
    addDirectory(directoryOffset, 0, true);
    layOut();
}

PagePlan::PagePlan(const Reader& source, std::uint64_t directoryOffset, std::uint64_t start,
                   const OutputFormat& format, const Reader& imageData,
                   std::uint64_t imageDirectory)
    : m_source(source)
    , m_format(format)
    , m_start(0)
    , m_imageData(&imageData)
    , m_imageDirectory(imageDirectory)
{
    m_start = align(start);
    addDirectory(directoryOffset, 0, true);
    layOut();
}

PagePlan::PagePlan(const Reader& source, std::uint64_t directoryOffset, std::uint64_t start,
                   const OutputFormat& format, const PageEdit& edit)
    : m_source(source)
    , m_format(format)
    , m_start(0)
    , m_imageData(edit.imageData)
    , m_imageDirectory(edit.imageDirectory)
    , m_changes(edit.changes)
{
    m_start = align(start);
    addDirectory(directoryOffset, 0, true);
    layOut();
}

std::uint64_t PagePlan::align(std::uint64_t position) const
{
    const std::uint64_t unit = m_format.bigTiff ? 8 : 4;
    return (position + unit - 1) / unit * unit;
}

long PagePlan::addDirectory(std::uint64_t offset, int depth, bool mainDirectory)
{
    if (depth > maxDepth || m_directories.size() >= maxDirectories ||
        std::find(m_visited.begin(), m_visited.end(), offset) != m_visited.end()) {
        if (mainDirectory)
            throw StructureError("its directory cannot be read");
        return -1;
    }
    Directory dir;
    if (mainDirectory) {
        dir = m_source.readDirectory(offset);
    } else {
        try {
            dir = m_source.readDirectory(offset);
        } catch (const StructureError&) {
            // A sub-directory that cannot be read cannot be copied; the page itself can.
            return -1;
        }
    }
    m_visited.push_back(offset);
    // The directory and its values are the page's own bytes; values a damaged entry
    // claims beyond the file or beyond any real size are not.
    const std::uint64_t fileSize = m_source.file().size();
    const unsigned sourceInline = m_source.header().offsetSize();
    m_footprint.reserve(m_footprint.size() + dir.entries.size() + 1);
    m_footprint.push_back({dir.offset, dir.nextFieldOffset + sourceInline - dir.offset});
    for (const Entry& entry : dir.entries) {
        const std::uint64_t size = entry.byteSize();
        if (size > sourceInline && size <= (256u << 20) && entry.valueOffset <= fileSize &&
            size <= fileSize - entry.valueOffset)
            m_footprint.push_back({entry.valueOffset, size});
    }
    const long index = long(m_directories.size());
    m_directories.emplace_back();

    m_entryCount += dir.entries.size();
    if (m_entryCount > maxEntries)
        throw StructureError("its directories hold too many tags");
    PlannedDirectory planned;
    planned.entries.reserve(dir.entries.size() + 1);
    for (const Entry& entry : dir.entries) {
        switch (entry.tag) {
        case FreeOffsets:
        case FreeByteCounts:
            // They describe unused space of the old file.
            break;
        case StripOffsets:
            addImageData(dir, StripOffsets, StripByteCounts, mainDirectory, planned);
            break;
        case TileOffsets:
            addImageData(dir, TileOffsets, TileByteCounts, mainDirectory, planned);
            break;
        case StripByteCounts:
            if (!dir.find(StripOffsets))
                addRaw(entry, planned);
            break;
        case TileByteCounts:
            if (!dir.find(TileOffsets))
                addRaw(entry, planned);
            break;
        case JpegInterchangeFormat:
        case JpegQTables:
        case JpegDcTables:
        case JpegAcTables:
            addJpegTables(entry, dir, planned);
            break;
        case SubIfds:
        case ExifIfd:
        case GpsIfd:
        case InteroperabilityIfd:
        case GlobalParametersIfd:
            addDirectoryPointers(entry, depth, planned);
            break;
        default:
            if (entry.type == Ifd || entry.type == Ifd8)
                addDirectoryPointers(entry, depth, planned);
            else
                addRaw(entry, planned);
            break;
        }
    }
    // A directory without entries ends any reader's walk through the file's pages: a page
    // none of whose tags can be read is refused, such a sub-directory left out. (Nothing
    // was added behind it then: its pointers would be among its entries.)
    if (mainDirectory)
        applyChanges(dir, planned);
    if (planned.entries.empty()) {
        if (mainDirectory)
            throw StructureError("its directory holds no tag that can be read");
        m_directories.pop_back();
        return -1;
    }
    const auto byTag = [](const PlannedEntry& a, const PlannedEntry& b) {
        return a.tag < b.tag;
    };
    // Tags are unique: the strip or tile counts, added with the offsets, are put in place.
    if (!std::is_sorted(planned.entries.begin(), planned.entries.end(), byTag))
        std::sort(planned.entries.begin(), planned.entries.end(), byTag);
    if (!m_format.bigTiff && planned.entries.size() > 0xffff)
        m_needsBigTiff = true;
    // Sub-directories may form chains of their own; the page's own next pointer is the
    // page chain, which the caller writes.
    if (!mainDirectory && dir.next != 0)
        planned.nextDirectory = addDirectory(dir.next, depth + 1, false);
    m_directories[std::size_t(index)] = std::move(planned);
    return index;
}

void PagePlan::addImageData(const Directory& pageDir, std::uint16_t offsetsTag,
                            std::uint16_t countsTag, bool mainDirectory, PlannedDirectory& planned)
{
    // A page whose data was re-encoded takes its strips or tiles from the new encoding;
    // every other tag stays the page's own.
    const bool reencoded = mainDirectory && m_imageData;
    const Reader& data = reencoded ? *m_imageData : m_source;
    Directory reencodedDir;
    if (reencoded)
        reencodedDir = data.readDirectory(m_imageDirectory);
    const Directory& dir = reencoded ? reencodedDir : pageDir;
    const Entry* offsetsEntry = dir.find(offsetsTag);
    const Entry* countsEntry = dir.find(countsTag);
    if (reencoded && !offsetsEntry) {
        // Some writers list tiles under the tags of strips; the new encoding lists them as
        // libtiff does, and the page keeps its own tags.
        const bool asTiles = offsetsTag == StripOffsets;
        offsetsEntry = dir.find(asTiles ? TileOffsets : StripOffsets);
        countsEntry = dir.find(asTiles ? TileByteCounts : StripByteCounts);
    }
    if (!offsetsEntry)
        throw StructureError("its re-encoded image data cannot be read");
    const std::vector<std::uint64_t> offsets = data.readUnsigned(*offsetsEntry);
    const std::uint64_t fileSize = data.file().size();
    const bool tiled = offsetsTag == TileOffsets;
    const std::uint64_t compression = data.readFirst(dir, Compression, 1);

    std::vector<std::uint64_t> counts;
    if (countsEntry) {
        counts = data.readUnsigned(*countsEntry);
        if (counts.size() != offsets.size())
            throw StructureError("its tables of image data do not match");
    } else {
        // Without byte counts each block runs to the next block or to the end of the file,
        // as readers estimate it.
        std::vector<std::uint64_t> sorted = offsets;
        std::sort(sorted.begin(), sorted.end());
        for (std::uint64_t offset : offsets) {
            const auto next = std::upper_bound(sorted.begin(), sorted.end(), offset);
            const std::uint64_t end = next == sorted.end() ? fileSize : *next;
            counts.push_back(end > offset ? end - offset : 0);
        }
    }

    // A single compressed strip whose count is missing or zero is read on towards the end
    // of the file (libtiff estimates its length); uncompressed blocks are read by the size
    // their rows make, and so is a single strip whose count is missing, zero or too large.
    // Copy what a reader would read.
    const bool lone = !tiled && !dir.find(TileWidth) && offsets.size() == 1;
    if (lone && compression != 1 && offsets[0] != 0 && offsets[0] < fileSize && counts[0] == 0)
        counts[0] = fileSize - offsets[0];
    if (compression == 1) {
        const auto sizes = uncompressedSizes(data, dir, offsets.size());
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            if (offsets[i] == 0 || offsets[i] >= fileSize)
                continue;
            const std::uint64_t available = fileSize - offsets[i];
            if ((counts[i] < sizes[i] && (counts[i] > 0 || lone)) ||
                (lone && counts[i] > available))
                counts[i] = std::min(sizes[i], available);
        }
    }

    PlannedEntry offsetsOut;
    offsetsOut.tag = offsetsTag;
    offsetsOut.type = m_format.bigTiff ? Long8 : Long;
    offsetsOut.count = offsets.size();
    offsetsOut.kind = Kind::Blocks;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        if (counts[i] > 0 && offsets[i] >= fileSize)
            throw StructureError("its image data lies past the end of the file");
        if (counts[i] > fileSize - std::min(offsets[i], fileSize))
            counts[i] = fileSize - offsets[i];
        offsetsOut.values.push_back(addBlock(data.file(), offsets[i], counts[i]));
    }

    PlannedEntry countsOut;
    countsOut.tag = countsTag;
    countsOut.type = widthFor(countsEntry ? countsEntry->type : std::uint16_t(Long), counts);
    countsOut.count = counts.size();
    countsOut.kind = Kind::Numbers;
    countsOut.values = std::move(counts);

    planned.entries.push_back(std::move(offsetsOut));
    planned.entries.push_back(std::move(countsOut));

    if (!reencoded && m_source.header().bigEndian != m_format.bigEndian &&
        !byteStreamCodec(compression)) {
        std::uint64_t bits = 1;
        if (const Entry* bitsEntry = dir.find(BitsPerSample)) {
            const auto values = m_source.readUnsigned(*bitsEntry);
            if (!values.empty())
                bits = *std::max_element(values.begin(), values.end());
        }
        if (bits > 8)
            (mainDirectory ? m_byteOrderDependent : m_subImageByteOrderDependent) = true;
    }
}

void PagePlan::addJpegTables(const Entry& entry, const Directory& dir, PlannedDirectory& planned)
{
    std::vector<std::uint64_t> offsets;
    try {
        offsets = m_source.readUnsigned(entry);
    } catch (const StructureError&) {
        addRaw(entry, planned);
        return;
    }
    PlannedEntry out;
    out.tag = entry.tag;
    out.type = m_format.bigTiff ? Long8 : Long;
    out.count = offsets.size();
    out.kind = Kind::Blocks;
    const std::uint64_t fileSize = m_source.file().size();
    for (std::uint64_t offset : offsets) {
        std::uint64_t size = 0;
        if (entry.tag == JpegInterchangeFormat) {
            // The embedded JPEG stream; without a stated length it runs to the end of
            // the file, as readers of such files take it.
            size = m_source.readFirst(dir, JpegInterchangeFormatLength, 0);
            if (!dir.find(JpegInterchangeFormatLength) && offset < fileSize)
                size = fileSize - offset;
        } else if (entry.tag == JpegQTables) {
            size = 64;
        } else {
            // Huffman tables: sixteen code counts, then as many values as they add up to.
            std::uint8_t lengths[16];
            if (!m_source.file().readAt(offset, lengths, sizeof lengths))
                throw StructureError("its JPEG tables lie past the end of the file");
            size = 16 + std::accumulate(lengths, lengths + 16, std::uint64_t(0));
        }
        if (offset >= fileSize && size > 0)
            throw StructureError("its JPEG data lies past the end of the file");
        size = std::min(size, fileSize - std::min(offset, fileSize));
        out.values.push_back(addBlock(m_source.file(), offset, size));
    }
    planned.entries.push_back(std::move(out));
}

void PagePlan::addDirectoryPointers(const Entry& entry, int depth, PlannedDirectory& planned)
{
    std::vector<std::uint64_t> offsets;
    try {
        offsets = m_source.readUnsigned(entry);
    } catch (const StructureError&) {
        return;
    }
    PlannedEntry out;
    out.tag = entry.tag;
    const bool ifdType = entry.type == Ifd || entry.type == Ifd8;
    out.type = m_format.bigTiff ? (ifdType ? Ifd8 : Long8) : (ifdType ? Ifd : Long);
    out.kind = Kind::Directories;
    for (std::uint64_t offset : offsets) {
        if (offset == 0)
            continue;
        const long index = addDirectory(offset, depth + 1, false);
        if (index >= 0)
            out.values.push_back(std::uint64_t(index));
    }
    // Pointers to directories that are not there are left out.
    out.count = out.values.size();
    if (out.count > 0)
        planned.entries.push_back(std::move(out));
}

void PagePlan::addRaw(const Entry& entry, PlannedDirectory& planned)
{
    const std::uint64_t fileSize = m_source.file().size();
    const std::uint64_t size = entry.byteSize();
    // A value that is not in the file cannot be carried over; readers ignore it too.
    if (entry.valueOffset > fileSize || size > fileSize - entry.valueOffset)
        return;
    if (size > (256u << 20))
        throw StructureError("the value of its tag " + std::to_string(entry.tag) +
                             " is impossibly large");
    PlannedEntry out;
    out.tag = entry.tag;
    out.type = entry.type;
    out.count = entry.count;
    out.kind = Kind::Raw;
    out.source = entry;
    if (!m_format.bigTiff && (entry.type == Long8 || entry.type == SLong8)) {
        // Classic TIFF has no 64-bit integers: narrow them when every value fits.
        std::vector<std::uint8_t> bytes;
        m_source.readValueBytes(entry, bytes);
        bool fits = true;
        for (std::uint64_t i = 0; i < entry.count; ++i) {
            const std::uint64_t v = m_source.u64(bytes.data() + i * 8);
            if (entry.type == Long8) {
                fits = fits && v <= 0xffffffffu;
            } else {
                const auto s = std::int64_t(v);
                fits = fits && s >= std::numeric_limits<std::int32_t>::min() &&
                       s <= std::numeric_limits<std::int32_t>::max();
            }
            out.values.push_back(v);
        }
        if (fits) {
            out.kind = Kind::Numbers;
            out.type = entry.type == Long8 ? std::uint16_t(Long) : std::uint16_t(SLong);
        } else {
            m_needsBigTiff = true;
            out.values.clear();
        }
    }
    planned.entries.push_back(std::move(out));
}

void PagePlan::applyChanges(const Directory& dir, PlannedDirectory& planned)
{
    for (const TagChange& change : m_changes) {
        std::erase_if(planned.entries,
                      [&](const PlannedEntry& entry) { return entry.tag == change.tag; });
        if (!change.numbers.empty()) {
            PlannedEntry out;
            out.tag = change.tag;
            out.type = change.type;
            out.count = change.numbers.size();
            out.kind = Kind::Numbers;
            out.values = change.numbers;
            planned.entries.push_back(std::move(out));
        } else if (const Entry* from = change.valueOf ? dir.find(change.valueOf) : nullptr) {
            Entry renamed = *from;
            renamed.tag = change.tag;
            addRaw(renamed, planned);
        }
    }
}

std::size_t PagePlan::addBlock(const ReadableFile& file, std::uint64_t offset, std::uint64_t size)
{
    if (m_blocks.size() >= maxBlocks)
        throw StructureError("its image data is split into too many pieces");
    m_blocks.push_back({&file, offset, size, 0});
    return m_blocks.size() - 1;
}

std::uint16_t PagePlan::widthFor(std::uint16_t sourceType, const std::vector<std::uint64_t>& values)
{
    const std::uint64_t largest =
        values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    if ((sourceType == Short || sourceType == Long) && largest <= maxFor(sourceType))
        return sourceType;
    if (largest <= maxFor(Long))
        return sourceType == Long8 && m_format.bigTiff ? std::uint16_t(Long8) : std::uint16_t(Long);
    if (!m_format.bigTiff)
        m_needsBigTiff = true;
    return Long8;
}

std::uint64_t PagePlan::layOutDirectories()
{
    const unsigned inlineSize = m_format.bigTiff ? 8 : 4;
    const Header outHeader{m_format.bigEndian, m_format.bigTiff, 0};
    std::uint64_t position = m_start;
    for (PlannedDirectory& dir : m_directories) {
        position = align(position);
        dir.position = position;
        position += outHeader.ifdSize(dir.entries.size());
        for (PlannedEntry& entry : dir.entries) {
            const std::uint64_t size = entry.count * typeSize(entry.type);
            if (size > inlineSize) {
                position = align(position);
                entry.valuePosition = position;
                position += size;
            }
        }
    }
    return position;
}

void PagePlan::moveDirectories(std::uint64_t start)
{
    m_start = align(start);
    layOutDirectories();
}

void PagePlan::moveRun(std::size_t index, std::uint64_t position)
{
    m_runs.at(index).position = position;
}

void PagePlan::layOut()
{
    std::uint64_t position = layOutDirectories();
    m_metadataSize = position - m_start;
    // Directories and tag values are written from one buffer.
    if (m_metadataSize > maxAllocationBytes)
        throw StructureError("its tags are too large to copy");

    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < m_blocks.size(); ++i) {
        if (m_blocks[i].size > 0)
            order.push_back(i);
    }
    std::sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        const Block& x = m_blocks[a];
        const Block& y = m_blocks[b];
        return x.file != y.file ? std::less<const ReadableFile*>()(x.file, y.file)
                                : x.sourceOffset < y.sourceOffset;
    });
    // Blocks that touch or overlap are copied as one run, so shared and adjacent data is
    // copied once and in one call.
    for (std::size_t i : order) {
        const Block& block = m_blocks[i];
        if (m_runs.empty() || block.file != m_runs.back().file ||
            block.sourceOffset > m_runs.back().sourceOffset + m_runs.back().size) {
            m_runs.push_back({block.file, block.sourceOffset, block.size, 0});
        } else {
            Run& run = m_runs.back();
            run.size = std::max(run.size, block.sourceOffset + block.size - run.sourceOffset);
        }
        m_blocks[i].run = m_runs.size() - 1;
    }
    for (Run& run : m_runs) {
        run.position = position;
        position += run.size;
        m_dataSize += run.size;
    }
    position = align(position);
    m_size = position - m_start;
    if (!m_format.bigTiff && position > 0xffffffffu)
        m_needsBigTiff = true;
}

void PagePlan::encodeValue(const PlannedEntry& entry, std::uint8_t* out,
                           const ValueWindow& window) const
{
    const bool big = m_format.bigEndian;
    if (entry.kind == Kind::Raw) {
        const Entry& value = entry.source;
        const std::uint64_t size = value.byteSize();
        if (size == 0)
            return;
        if (value.valueOffset >= window.start && size <= window.bytes.size() &&
            value.valueOffset - window.start <= window.bytes.size() - size) {
            std::memcpy(out, window.bytes.data() + (value.valueOffset - window.start),
                        std::size_t(size));
        } else {
            std::vector<std::uint8_t> scratch;
            std::memcpy(out, m_source.valueBytes(value, scratch), std::size_t(size));
        }
        const unsigned unit = swapUnit(entry.type);
        if (m_source.header().bigEndian != big && unit > 1 && entry.tag != Iptc) {
            for (std::uint64_t i = 0; i + unit <= size; i += unit)
                std::reverse(out + i, out + i + unit);
        }
        return;
    }
    const unsigned size = typeSize(entry.type);
    for (std::size_t i = 0; i < entry.values.size(); ++i) {
        std::uint64_t v = entry.values[i];
        if (entry.kind == Kind::Blocks) {
            const Block& block = m_blocks[std::size_t(v)];
            const Run* run = block.size > 0 ? &m_runs[block.run] : nullptr;
            v = run ? run->position + (block.sourceOffset - run->sourceOffset) : 0;
        } else if (entry.kind == Kind::Directories) {
            v = m_directories[std::size_t(v)].position;
        }
        std::uint8_t* p = out + i * size;
        switch (size) {
        case 1:
            *p = std::uint8_t(v);
            break;
        case 2:
            put16(p, std::uint16_t(v), big);
            break;
        case 4:
            put32(p, std::uint32_t(v), big);
            break;
        default:
            put64(p, v, big);
            break;
        }
    }
}

void PagePlan::write(WritableFile& out, std::uint64_t next,
                     const std::function<void(std::uint64_t)>& progress) const
{
    writeDirectories(out, next, progress);
    for (const Run& run : m_runs) {
        const std::uint64_t lead = (pageCacheUnit - run.position % pageCacheUnit) % pageCacheUnit;
        for (std::uint64_t done = 0; done < run.size;) {
            const std::uint64_t chunk =
                std::min(done < lead ? lead : done + copyChunk, run.size) - done;
            out.copyFrom(*run.file, run.sourceOffset + done, chunk, run.position + done);
            done += chunk;
            if (progress)
                progress(chunk);
        }
    }
}

void PagePlan::writeDirectories(WritableFile& out, std::uint64_t next,
                                const std::function<void(std::uint64_t)>& progress) const
{
    std::vector<std::uint8_t> buffer(std::size_t(m_metadataSize), 0);
    encodeDirectories(buffer.data(), next);
    out.write(m_start, buffer.data(), buffer.size());
    if (progress)
        progress(buffer.size());
}

void PagePlan::valueWindow(ValueWindow& window) const
{
    // The tag values a page keeps elsewhere usually lie together beside its directory: kept
    // from the walk of the page chain, or else read at once when they span little.
    std::uint64_t from = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t to = 0;
    for (const PlannedDirectory& dir : m_directories) {
        for (const PlannedEntry& entry : dir.entries) {
            const std::uint64_t size = entry.source.byteSize();
            if (entry.kind != Kind::Raw || entry.source.valueOffset == entry.source.fieldOffset ||
                size == 0)
                continue;
            from = std::min(from, entry.source.valueOffset);
            to = std::max(to, entry.source.valueOffset + size);
        }
    }
    if (to <= from)
        return;
    if (const std::uint8_t* kept = m_source.kept(from, to - from)) {
        window.start = from;
        window.bytes = {kept, std::size_t(to - from)};
    } else if (to - from <= (64u << 10)) {
        window.owned.resize(std::size_t(to - from));
        if (m_source.file().readAt(from, window.owned.data(), window.owned.size())) {
            window.start = from;
            window.bytes = window.owned;
        }
    }
}

void PagePlan::encodeDirectories(std::uint8_t* buffer, std::uint64_t next) const
{
    const bool big = m_format.bigEndian;
    const bool bigTiff = m_format.bigTiff;
    const unsigned inlineSize = bigTiff ? 8 : 4;
    ValueWindow window;
    valueWindow(window);
    for (std::size_t d = 0; d < m_directories.size(); ++d) {
        const PlannedDirectory& dir = m_directories[d];
        std::uint8_t* p = buffer + (dir.position - m_start);
        if (bigTiff) {
            put64(p, dir.entries.size(), big);
            p += 8;
        } else {
            put16(p, std::uint16_t(dir.entries.size()), big);
            p += 2;
        }
        for (const PlannedEntry& entry : dir.entries) {
            put16(p, entry.tag, big);
            put16(p + 2, entry.type, big);
            if (bigTiff) {
                put64(p + 4, entry.count, big);
                p += 12;
            } else {
                put32(p + 4, std::uint32_t(entry.count), big);
                p += 8;
            }
            if (entry.valuePosition != 0) {
                if (bigTiff)
                    put64(p, entry.valuePosition, big);
                else
                    put32(p, std::uint32_t(entry.valuePosition), big);
                encodeValue(entry, buffer + (entry.valuePosition - m_start), window);
            } else {
                encodeValue(entry, p, window);
            }
            p += inlineSize;
        }
        std::uint64_t nextOffset = 0;
        if (d == 0)
            nextOffset = next;
        else if (dir.nextDirectory >= 0)
            nextOffset = m_directories[std::size_t(dir.nextDirectory)].position;
        if (bigTiff)
            put64(p, nextOffset, big);
        else
            put32(p, std::uint32_t(nextOffset), big);
    }
}

} // namespace tessary
