#pragma once

// The byte layout of TIFF and BigTIFF files: header, page chain and directory entries,
// read without libtiff so that pages can be copied entry by entry, unknown tags included.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessary {

class ReadableFile;

namespace tiff {

enum Type : std::uint16_t
{
    Byte = 1,
    Ascii = 2,
    Short = 3,
    Long = 4,
    Rational = 5,
    SByte = 6,
    Undefined = 7,
    SShort = 8,
    SLong = 9,
    SRational = 10,
    Float = 11,
    Double = 12,
    Ifd = 13,
    Long8 = 16,
    SLong8 = 17,
    Ifd8 = 18,
};

// Bytes of one element of a type; 0 for a type this reader does not know.
inline unsigned typeSize(std::uint16_t type)
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

// Bytes that swap as one unit when the byte order changes (1: none).
inline unsigned swapUnit(std::uint16_t type)
{
    return type == Rational || type == SRational ? 4 : typeSize(type);
}

inline bool isUnsignedInteger(std::uint16_t type)
{
    return type == Byte || type == Short || type == Long || type == Long8 || type == Ifd ||
           type == Ifd8;
}

enum Tag : std::uint16_t
{
    NewSubfileType = 254,
    ImageWidth = 256,
    ImageLength = 257,
    BitsPerSample = 258,
    Compression = 259,
    Photometric = 262,
    Orientation = 274,
    StripOffsets = 273,
    SamplesPerPixel = 277,
    RowsPerStrip = 278,
    StripByteCounts = 279,
    XResolution = 282,
    YResolution = 283,
    PlanarConfig = 284,
    FreeOffsets = 288,
    FreeByteCounts = 289,
    ResolutionUnit = 296,
    SubIfds = 330,
    TileWidth = 322,
    TileLength = 323,
    TileOffsets = 324,
    TileByteCounts = 325,
    GlobalParametersIfd = 400,
    JpegInterchangeFormat = 513,
    JpegInterchangeFormatLength = 514,
    JpegQTables = 519,
    JpegDcTables = 520,
    JpegAcTables = 521,
    YCbCrSubsampling = 530,
    Iptc = 33723,
    ExifIfd = 34665,
    GpsIfd = 34853,
    InteroperabilityIfd = 40965,
};

// A malformation found while reading the layout; the text says what, without a file name.
class StructureError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct Header
{
    bool bigEndian = false;
    bool bigTiff = false;
    std::uint64_t firstIfd = 0;

    unsigned headerSize() const { return bigTiff ? 16 : 8; }
    unsigned entrySize() const { return bigTiff ? 20 : 12; }
    unsigned countSize() const { return bigTiff ? 8 : 2; }
    unsigned offsetSize() const { return bigTiff ? 8 : 4; }
    std::uint64_t ifdSize(std::uint64_t entries) const
    {
        return countSize() + entries * entrySize() + offsetSize();
    }
};

struct Entry
{
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint64_t count = 0;
    // Where the value's bytes are: inside the entry itself when they fit, else elsewhere.
    std::uint64_t valueOffset = 0;
    // Offset of the entry's value field in the file.
    std::uint64_t fieldOffset = 0;
    // The value field's bytes as read with the directory: the value itself when it fits.
    std::uint8_t field[8] = {};

    std::uint64_t byteSize() const { return count * typeSize(type); }
};

struct Directory
{
    std::uint64_t offset = 0;
    std::vector<Entry> entries; // in file order, duplicates removed
    std::uint64_t next = 0;
    std::uint64_t nextFieldOffset = 0;

    const Entry* find(std::uint16_t tag) const;
};

// The result of walking the main chain of directories: the pages.
struct Chain
{
    std::vector<std::uint64_t> pages;      // directory offsets in page order
    std::vector<std::uint64_t> nextFields; // where each page's next pointer is stored
    bool complete = true;
    std::string problem; // why the chain breaks off, when it does
};

// Reads the layout of one open file. Every read is bounds-checked against the file size.
// The walk of the page chain reads the file a window at a time and keeps the windows (up to
// a bound), so that the pages' directories, and the tag values that lie beside them, are
// then taken from memory instead of being read again.
class Reader
{
public:
    // Throws StructureError when the file has no TIFF header.
    explicit Reader(const ReadableFile& file);

    const Header& header() const { return m_header; }
    const ReadableFile& file() const { return m_file; }

    // Follows the main chain from the header: loops, pointers past the end and truncated
    // directories end it with complete = false. With keep, keeps what it reads, in place of
    // what an earlier walk kept; without, keeps nothing.
    Chain readChain(std::uint64_t maxPages = 10000000, bool keep = true);

    // Reads one directory; throws StructureError when it lies outside the file.
    Directory readDirectory(std::uint64_t offset) const;

    // The value of an integer entry, element by element; throws StructureError when the
    // value lies outside the file or is not an unsigned integer type.
    std::vector<std::uint64_t> readUnsigned(const Entry& entry) const;
    // The first element of an integer entry, or fallback when absent.
    std::uint64_t readFirst(const Directory& dir, std::uint16_t tag, std::uint64_t fallback) const;

    // The raw bytes of an entry's value, in the file's byte order.
    void readValueBytes(const Entry& entry, std::vector<std::uint8_t>& out) const;
    // The same where they are: in the entry itself, kept from the walk of the chain, or read
    // into scratch. Throws StructureError as readValueBytes does.
    const std::uint8_t* valueBytes(const Entry& entry, std::vector<std::uint8_t>& scratch) const;
    // The first element of an integer entry; throws StructureError as readUnsigned does.
    std::uint64_t first(const Entry& entry) const;
    // The size bytes at offset when the walk of the chain kept them; null otherwise. They
    // stay valid until the next walk.
    const std::uint8_t* kept(std::uint64_t offset, std::uint64_t size) const;

    std::uint16_t u16(const std::uint8_t* p) const;
    std::uint32_t u32(const std::uint8_t* p) const;
    std::uint64_t u64(const std::uint8_t* p) const;

private:
    // The kept bytes from offset on, at least wanted of them; available tells how many.
    // Null when they are not kept.
    const std::uint8_t* keptFrom(std::uint64_t offset, std::uint64_t wanted,
                                 std::size_t& available) const;
    // Room for size bytes to keep, in blocks that never move.
    std::uint8_t* room(std::size_t size);

    // size bytes of the file from start, kept from the walk.
    struct Window
    {
        std::uint64_t start = 0;
        const std::uint8_t* bytes = nullptr;
        std::size_t size = 0;
    };

    const ReadableFile& m_file;
    Header m_header;
    std::vector<Window> m_windows; // sorted by start
    mutable std::size_t m_lastWindow = 0;
    std::vector<std::unique_ptr<std::uint8_t[]>> m_blocks;
    std::size_t m_kept = 0;         // bytes kept in all
    std::uint8_t* m_free = nullptr; // the free end of the last block
    std::size_t m_freeSize = 0;
};

// Writes integers in a chosen byte order.
inline void put16(std::uint8_t* p, std::uint16_t v, bool bigEndian)
{
    p[bigEndian ? 0 : 1] = std::uint8_t(v >> 8);
    p[bigEndian ? 1 : 0] = std::uint8_t(v);
}

inline void put32(std::uint8_t* p, std::uint32_t v, bool bigEndian)
{
    for (int i = 0; i < 4; ++i)
        p[bigEndian ? 3 - i : i] = std::uint8_t(v >> (8 * i));
}

inline void put64(std::uint8_t* p, std::uint64_t v, bool bigEndian)
{
    for (int i = 0; i < 8; ++i)
        p[bigEndian ? 7 - i : i] = std::uint8_t(v >> (8 * i));
}

} // namespace tiff
} // namespace tessary
