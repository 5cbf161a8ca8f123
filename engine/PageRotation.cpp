#include "PageRotation.h"

#include "EngineError.h"
#include "JpegTurn.h"
#include "LibtiffHandle.h"
#include "Limits.h"
#include "Messages.h"
#include "PageInfo.h"
#include "PixelTurn.h"
#include "PosixFileLayer.h"
#include "TiffSource.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>
#include <tiffio.h>

namespace tessary {

namespace {

using Reason = RotationResult::Reason;

// WebP data of the page selected in tif that is lossless (a VP8L bitstream), as its first
// strip or tile says.
bool losslessWebp(TIFF* tif)
{
    std::uint8_t head[4096] = {};
    const tmsize_t got = TIFFIsTiled(tif) ? TIFFReadRawTile(tif, 0, head, sizeof head)
                                          : TIFFReadRawStrip(tif, 0, head, sizeof head);
    if (got < 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WEBP", 4) != 0)
        return false;
    // Chunks follow: a four-letter name, a little-endian size, the data padded to even.
    for (std::size_t at = 12; at + 8 <= std::size_t(got);) {
        if (std::memcmp(head + at, "VP8L", 4) == 0)
            return true;
        if (std::memcmp(head + at, "VP8 ", 4) == 0)
            return false;
        const std::size_t size = std::size_t(head[at + 4]) | std::size_t(head[at + 5]) << 8 |
                                 std::size_t(head[at + 6]) << 16 | std::size_t(head[at + 7]) << 24;
        at += 8 + size + (size & 1);
    }
    return false;
}

// Compressions whose data is decoded and encoded again without loss, for the page selected
// in tif.
bool rewritable(std::uint16_t compression, TIFF* tif)
{
    if (!TIFFIsCODECConfigured(compression))
        return false;
    switch (compression) {
    case COMPRESSION_NONE:
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
    case COMPRESSION_LZW:
    case COMPRESSION_PACKBITS:
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
    case COMPRESSION_JBIG:
    case COMPRESSION_LZMA:
    case COMPRESSION_ZSTD:
        return true;
    case COMPRESSION_WEBP:
        return losslessWebp(tif);
    default:
        return false;
    }
}

// The codecs whose exact round trip the engine's tests prove for every bit depth and layout
// they write; data encoded again by any other is decoded once more and compared. Not G3:
// libtiff writes one-dimensional lines its own decoder refuses (a line of alternating pixels
// that begins black has more changes of colour than the decoder takes).
bool provenExact(std::uint16_t compression)
{
    switch (compression) {
    case COMPRESSION_NONE:
    case COMPRESSION_CCITTFAX4:
    case COMPRESSION_LZW:
    case COMPRESSION_PACKBITS:
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
        return true;
    default:
        return false;
    }
}

// The codecs that write every byte of a block they decode, or say that they could not:
// uncompressed data and fax data, decoded a whole line at a time.
bool fillsEveryByte(std::uint16_t compression)
{
    switch (compression) {
    case COMPRESSION_NONE:
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
        return true;
    default:
        return false;
    }
}

std::size_t ceilDiv(std::size_t a, std::size_t b)
{
    return (a + b - 1) / b;
}

// How a page's samples are stored, as libtiff decodes them.
struct Layout
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t bits = 1;
    std::uint16_t samples = 1;
    bool separate = false; // one plane a sample
    bool tiled = false;
    // The tile's size; for strips the page's width and its rows per strip.
    std::uint32_t blockWidth = 0;
    std::uint32_t blockHeight = 0;

    unsigned pixelBits() const { return separate ? bits : unsigned(bits) * samples; }
    std::uint32_t planes() const { return separate ? samples : 1; }
    std::size_t across() const { return tiled ? ceilDiv(width, blockWidth) : 1; }
    std::size_t down() const { return ceilDiv(height, std::min(blockHeight, height)); }
    std::size_t blockStride() const
    {
        return Raster::strideFor(tiled ? blockWidth : width, pixelBits());
    }
    std::size_t stride() const { return across() * blockStride(); }
    std::size_t rows() const { return tiled ? down() * blockHeight : height; }
    std::uint64_t bytes() const { return std::uint64_t(stride()) * rows() * planes(); }
};

// The page's planes as stored, whole, tiles put side by side. False when any block cannot
// be decoded whole: libtiff reported an error or a warning while decoding it (what a codec
// cannot decode it leaves as the buffer held it, which is no pixel of the page), or, with
// twice, a second decode into a buffer of other bytes gave other bytes (some codecs say
// nothing of a stream that ends early).
bool readPlanes(LibtiffHandle& handle, const Layout& page, std::vector<Raster>& planes, bool twice)
{
    TIFF* tif = handle.get();
    const std::uint64_t errors = handle.errorCount();
    const std::uint64_t warnings = handle.warningCount();
    const std::size_t blocks = page.across() * page.down();
    std::vector<std::uint8_t> tile(page.tiled ? page.blockStride() * page.blockHeight : 0);
    std::vector<std::uint8_t> again;
    const auto decode = [&](std::uint32_t index, std::uint8_t* into, std::size_t size) {
        const auto read = [&](std::uint8_t* to) {
            return (page.tiled
                        ? TIFFReadEncodedTile(tif, index, to, tmsize_t(size))
                        : TIFFReadEncodedStrip(tif, index, to, tmsize_t(size))) == tmsize_t(size);
        };
        if (!read(into))
            return false;
        if (!twice)
            return true;
        again.assign(size, 0xff);
        return read(again.data()) && std::memcmp(into, again.data(), size) == 0;
    };
    planes.assign(page.planes(), Raster{});
    for (std::uint32_t p = 0; p < page.planes(); ++p) {
        Raster& r = planes[p];
        r.width = page.tiled ? std::uint32_t(page.across() * page.blockWidth) : page.width;
        r.height = std::uint32_t(page.rows());
        r.bits = page.pixelBits();
        r.stride = page.stride();
        r.bytes.assign(r.stride * r.height, 0);
        for (std::size_t b = 0; b < blocks; ++b) {
            const auto index = std::uint32_t(p * blocks + b);
            if (page.tiled) {
                std::fill(tile.begin(), tile.end(), std::uint8_t(0));
                if (!decode(index, tile.data(), tile.size()))
                    return false;
                const std::size_t x = b % page.across();
                const std::size_t y = b / page.across();
                for (std::uint32_t row = 0; row < page.blockHeight; ++row)
                    std::memcpy(r.bytes.data() + (y * page.blockHeight + row) * r.stride +
                                    x * page.blockStride(),
                                tile.data() + row * page.blockStride(), page.blockStride());
                continue;
            }
            const std::size_t first = b * page.blockHeight;
            const std::size_t size =
                std::min<std::size_t>(page.blockHeight, page.height - first) * r.stride;
            if (!decode(index, r.bytes.data() + first * r.stride, size))
                return false;
        }
    }
    return handle.errorCount() == errors && handle.warningCount() == warnings;
}

bool writePlanes(TIFF* tif, const Layout& page, const std::vector<Raster>& planes)
{
    const std::size_t blocks = page.across() * page.down();
    std::vector<std::uint8_t> tile(page.tiled ? page.blockStride() * page.blockHeight : 0);
    for (std::uint32_t p = 0; p < page.planes(); ++p) {
        const Raster& r = planes[p];
        for (std::size_t b = 0; b < blocks; ++b) {
            const auto index = std::uint32_t(p * blocks + b);
            if (page.tiled) {
                const std::size_t x = b % page.across();
                const std::size_t y = b / page.across();
                for (std::uint32_t row = 0; row < page.blockHeight; ++row)
                    std::memcpy(tile.data() + row * page.blockStride(),
                                r.bytes.data() + (y * page.blockHeight + row) * r.stride +
                                    x * page.blockStride(),
                                page.blockStride());
                if (TIFFWriteEncodedTile(tif, index, tile.data(), tmsize_t(tile.size())) < 0)
                    return false;
                continue;
            }
            const std::size_t first = b * page.blockHeight;
            const std::size_t size =
                std::min<std::size_t>(page.blockHeight, page.height - first) * r.stride;
            if (TIFFWriteEncodedStrip(tif, index,
                                      const_cast<std::uint8_t*>(r.bytes.data()) + first * r.stride,
                                      tmsize_t(size)) < 0)
                return false;
        }
    }
    return true;
}

// What the planes hold within the page, bits behind the last pixel of a row apart.
std::uint64_t digest(std::vector<Raster>& planes, const Layout& page)
{
    std::uint64_t h = 1469598103934665603ull;
    const std::size_t used = std::size_t(page.width) * page.pixelBits();
    for (Raster& r : planes) {
        for (std::size_t y = 0; y < page.height; ++y) {
            std::uint8_t* row = r.bytes.data() + y * r.stride;
            if (used % 8 != 0)
                row[used / 8] &= std::uint8_t(0xff00u >> (used % 8));
            for (std::size_t i = 0; i < (used + 7) / 8; ++i)
                h = (h ^ row[i]) * 1099511628211ull;
        }
    }
    return h;
}

// The facts of the page selected in handle that a turn needs.
struct Facts
{
    Layout layout;
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    bool hasOrientation = false;
    std::uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    std::uint16_t fillOrder = FILLORDER_MSB2LSB;
    std::uint16_t predictor = PREDICTOR_NONE;
    std::uint32_t faxOptions = 0;
    bool hasFaxOptions = false;
    std::uint16_t subsampling[2] = {2, 2};
};

Facts factsOf(TIFF* tif)
{
    Facts f;
    Layout& l = f.layout;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    l.separate = planar == PLANARCONFIG_SEPARATE && l.samples > 1;
    l.tiled = TIFFIsTiled(tif) != 0;
    if (l.tiled) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &l.blockWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &l.blockHeight);
    } else {
        l.blockWidth = l.width;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &l.blockHeight);
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &f.compression);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &f.photometric);
    f.hasOrientation = TIFFGetField(tif, TIFFTAG_ORIENTATION, &f.orientation) != 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &f.sampleFormat);
    TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &f.fillOrder);
    TIFFGetField(tif, TIFFTAG_PREDICTOR, &f.predictor);
    if (f.compression == COMPRESSION_CCITTFAX3)
        f.hasFaxOptions = TIFFGetField(tif, TIFFTAG_GROUP3OPTIONS, &f.faxOptions) != 0;
    else if (f.compression == COMPRESSION_CCITTFAX4)
        f.hasFaxOptions = TIFFGetField(tif, TIFFTAG_GROUP4OPTIONS, &f.faxOptions) != 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_YCBCRSUBSAMPLING, &f.subsampling[0], &f.subsampling[1]);
    return f;
}

// The layout of the page turned; strips hold about as many bytes as before.
Layout turnedLayout(const Layout& in, const Turn& turn)
{
    Layout out = in;
    if (turn.transpose) {
        std::swap(out.width, out.height);
        if (in.tiled)
            std::swap(out.blockWidth, out.blockHeight);
    }
    if (in.tiled)
        return out;
    out.blockWidth = out.width;
    if (in.blockHeight >= in.height) {
        // Still one strip; a rows-per-strip that says so for the turned page stays.
        out.blockHeight = std::max(in.blockHeight, out.height);
    } else {
        const std::uint64_t like = std::uint64_t(in.blockHeight) * in.stride() / out.stride();
        out.blockHeight = std::uint32_t(std::clamp<std::uint64_t>(like, 1, out.height));
    }
    return out;
}

TagChange number(const tiff::Directory& dir, std::uint16_t tag, std::uint32_t value)
{
    const tiff::Entry* entry = dir.find(tag);
    const bool narrow = entry && entry->type == tiff::Short && value <= 0xffff;
    return {tag, std::uint16_t(narrow ? tiff::Short : tiff::Long), {value}, 0};
}

// What changes in a page's tags when its data is turned.
std::vector<TagChange> turnedTags(const tiff::Directory& dir, const Facts& page, const Layout& out,
                                  const Turn& turn)
{
    constexpr std::uint16_t orientationTag = 274;
    constexpr std::uint16_t xResolution = 282;
    constexpr std::uint16_t yResolution = 283;
    std::vector<TagChange> changes = {number(dir, tiff::ImageWidth, out.width),
                                      number(dir, tiff::ImageLength, out.height)};
    if (!out.tiled && (dir.find(tiff::RowsPerStrip) || out.blockHeight < out.height))
        changes.push_back(number(dir, tiff::RowsPerStrip, out.blockHeight));
    if (turn.transpose) {
        if (out.tiled) {
            changes.push_back({tiff::TileWidth, 0, {}, tiff::TileLength});
            changes.push_back({tiff::TileLength, 0, {}, tiff::TileWidth});
        }
        changes.push_back({xResolution, 0, {}, yResolution});
        changes.push_back({yResolution, 0, {}, xResolution});
    }
    if (page.hasOrientation)
        changes.push_back({orientationTag, tiff::Short, {1}, 0});
    return changes;
}

std::string pageList(const std::vector<std::int32_t>& pages)
{
    std::vector<std::string> runs;
    for (std::size_t i = 0; i < pages.size();) {
        std::size_t j = i;
        while (j + 1 < pages.size() && pages[j + 1] == pages[j] + 1)
            ++j;
        if (j == i + 1)
            runs.push_back(std::to_string(pages[i]));
        runs.push_back(j > i + 1 ? std::to_string(pages[i]) + " to " + std::to_string(pages[j])
                                 : std::to_string(pages[j]));
        i = j + 1;
    }
    std::string text;
    for (std::size_t i = 0; i < runs.size(); ++i)
        text += (i == 0 ? "" : i + 1 == runs.size() ? " and " : ", ") + runs[i];
    return text;
}

std::string because(const RotationResult::Recorded& r, bool many)
{
    const std::string its = many ? "their" : "its";
    switch (r.reason) {
    case Reason::JpegPartialBlocks:
        return its + " JPEG data does not end on whole blocks at the edges the turn moves, and "
                     "JPEG data is never compressed again";
    case Reason::JpegUnreadable:
        return its + " JPEG data cannot be turned without compressing it again";
    case Reason::Compression:
        return its + " compression (" + compressionName(r.compression) +
               ") cannot be written again without loss";
    case Reason::Subsampled:
        return its + " colours are stored subsampled (YCbCr), in units a turn would break";
    case Reason::Damaged:
        return its + " image data is damaged";
    case Reason::TooLarge:
        return std::string(many ? "they are" : "it is") + " too large to be turned in memory";
    }
    return {};
}

std::string describe(const std::vector<RotationResult::Recorded>& recorded,
                     const std::filesystem::path& file)
{
    std::vector<std::pair<std::string, std::vector<std::int32_t>>> groups;
    for (const RotationResult::Recorded& r : recorded) {
        const std::string key = because(r, false);
        auto it = std::find_if(groups.begin(), groups.end(),
                               [&](const auto& group) { return group.first == key; });
        if (it == groups.end())
            it = groups.insert(groups.end(), {key, {}});
        it->second.push_back(r.page);
    }
    std::string text;
    for (const auto& group : groups) {
        const std::string& key = group.first;
        const std::vector<std::int32_t>& pages = group.second;
        const bool many = pages.size() > 1;
        const auto first = std::find_if(recorded.begin(), recorded.end(),
                                        [&](const auto& r) { return because(r, false) == key; });
        text += std::string(text.empty() ? "" : " ") + (many ? "Pages " : "Page ") +
                pageList(pages) + " of " + quoted(file) + (many ? " were" : " was") +
                " turned by " + (many ? "their" : "its") + " orientation tag only, as " +
                because(*first, many) + "; programs that ignore that tag show " +
                (many ? "them" : "it") + " as before.";
    }
    return text;
}

// The file that turned data is written to: through libtiff, beside the target, in the
// target's byte order; removed however the turn ends.
struct Scratch
{
    std::filesystem::path target;
    bool bigEndian = false;
    std::filesystem::path path;
    TIFF* tif = nullptr;
    std::int32_t pages = 0; // the directories written

    TIFF* open()
    {
        if (!tif) {
            path = scratchPathBeside(target);
            tif = createTiff(path, bigEndian ? "w8b" : "w8l");
            if (!tif)
                fail();
        }
        return tif;
    }
    void close()
    {
        if (tif)
            TIFFClose(tif);
        tif = nullptr;
    }
    [[noreturn]] void fail()
    {
        close();
        throw EngineError(ErrorKind::Io, "The pages of " + quoted(target) +
                                             " could not be turned: a scratch file beside it "
                                             "cannot be written (is the disk full?). Nothing "
                                             "was changed.");
    }
    // Ends the directory of the page just written.
    void finishPage()
    {
        if (!TIFFWriteDirectory(tif))
            fail();
        ++pages;
    }
    ~Scratch()
    {
        close();
        if (!path.empty())
            removeScratch(path);
    }
};

} // namespace

// What one thread turned: the scratch file its data went to, open for reading.
struct TurnedPages::Turned
{
    std::unique_ptr<ReadableFile> file;
    std::unique_ptr<tiff::Reader> reader;
};

namespace {

// Turns pages one after the other on a libtiff handle of its own, into a scratch file of
// its own: several run side by side.
class Turner
{
public:
    Turner(const TiffSource& source, const tiff::Reader& reader, LibtiffHandle& handle,
           int quarterTurns, bool bigEndian, const std::filesystem::path& target)
        : m_source(source)
        , m_reader(reader)
        , m_handle(handle)
        , m_quarterTurns(quarterTurns)
        , m_scratch{target, bigEndian, {}, nullptr, 0}
    {}

    void turn(std::int32_t page);
    // Checks what was encoded again and hands the scratch file over; the pages' edits and
    // those recorded in their orientation tag are in edits and recorded.
    void finish(TurnedPages::Turned& turned);

    std::map<std::int32_t, PageEdit> edits;
    std::vector<RotationResult::Recorded> recorded;

private:
    // Pages whose data was written to the scratch file: its directory there, and what
    // their decoded data must be, when it is decoded again to check it.
    struct Written
    {
        std::int32_t page;
        std::int32_t directory;
        std::optional<std::uint64_t> digest;
        Layout layout;
    };

    TIFF* select(std::int32_t page)
    {
        m_handle.clearErrors();
        if (!m_handle.selectDirectory(m_source.chain().pages[std::size_t(page - 1)])) {
            const std::string reason = m_handle.firstError();
            throw EngineError(ErrorKind::Damaged,
                              capitalized(pageOf(page, m_source.path())) + " is damaged" +
                                  (reason.empty() ? "" : " (" + reason + ")") + ".");
        }
        return m_handle.get();
    }
    Turn turnOf(const Facts& facts) const
    {
        return Turn::ofOrientation(facts.hasOrientation ? facts.orientation : 1)
            .then(Turn::clockwise(m_quarterTurns));
    }
    void record(std::int32_t page, Reason reason, const Facts& facts, const Turn& turn)
    {
        recorded.push_back({page, reason, facts.compression});
        PageEdit& edit = edits[page];
        edit = {};
        if (facts.hasOrientation || turn.orientation() != ORIENTATION_TOPLEFT)
            edit.changes.push_back({274, tiff::Short, {turn.orientation()}, 0});
    }

    const TiffSource& m_source;
    const tiff::Reader& m_reader;
    LibtiffHandle& m_handle;
    int m_quarterTurns;
    Scratch m_scratch;
    std::vector<Written> m_written;
};

void Turner::turn(std::int32_t page)
{
    Scratch& scratch = m_scratch;
    TIFF* in = select(page);
    LibtiffHandle& handle = m_handle;
    const Facts facts = factsOf(in);
    const Turn turn = turnOf(facts);
    PageEdit& edit = edits[page];
    tiff::Directory dir;
    try {
        dir = m_reader.readDirectory(m_source.chain().pages[std::size_t(page - 1)]);
    } catch (const tiff::StructureError& e) {
        throw EngineError(ErrorKind::Damaged, capitalized(pageOf(page, m_source.path())) +
                                                  " is damaged: " + e.what() + ".");
    }
    const Layout& layout = facts.layout;
    const Layout out = turnedLayout(layout, turn);

    if (turn.isIdentity()) {
        // Turned back to how it is stored: only the tag changes.
        if (facts.hasOrientation && facts.orientation != ORIENTATION_TOPLEFT)
            edit.changes.push_back({274, tiff::Short, {1}, 0});
    } else if (layout.width == 0 || layout.height == 0 || layout.blockWidth == 0 ||
               layout.blockHeight == 0 || layout.bits == 0 || layout.samples == 0 ||
               (layout.pixelBits() > 64 && layout.pixelBits() % 8 != 0)) {
        record(page, Reason::Damaged, facts, turn);
    } else if (facts.compression == COMPRESSION_JPEG) {
        JpegPage jpeg;
        jpeg.width = layout.width;
        jpeg.height = layout.height;
        jpeg.tiled = layout.tiled;
        jpeg.blockWidth = layout.blockWidth;
        jpeg.blockHeight = std::min(layout.blockHeight, layout.height);
        std::uint32_t tableSize = 0;
        void* tables = nullptr;
        if (TIFFGetField(in, TIFFTAG_JPEGTABLES, &tableSize, &tables) && tables)
            jpeg.tables.assign(static_cast<std::uint8_t*>(tables),
                               static_cast<std::uint8_t*>(tables) + tableSize);
        const std::uint32_t blocks = layout.tiled ? TIFFNumberOfTiles(in) : TIFFNumberOfStrips(in);
        bool read = !layout.separate;
        std::uint64_t total = 0;
        for (std::uint32_t b = 0; read && b < blocks; ++b) {
            const std::uint64_t size = TIFFGetStrileByteCount(in, b);
            total += size;
            if (size == 0 || total > maxAllocationBytes) {
                read = false;
                break;
            }
            std::vector<std::uint8_t>& data = jpeg.blocks.emplace_back(std::size_t(size));
            const tmsize_t got = layout.tiled
                                     ? TIFFReadRawTile(in, b, data.data(), tmsize_t(size))
                                     : TIFFReadRawStrip(in, b, data.data(), tmsize_t(size));
            read = got == tmsize_t(size);
        }
        JpegTurnRefusal refusal = JpegTurnRefusal::Unreadable;
        const std::optional<TurnedJpeg> turned =
            read ? turnJpeg(jpeg, turn, refusal) : std::nullopt;
        if (!turned) {
            record(page,
                   refusal == JpegTurnRefusal::PartialBlocks ? Reason::JpegPartialBlocks
                                                             : Reason::JpegUnreadable,
                   facts, turn);
        } else {
            // A container for the new streams: only their places are taken from it.
            TIFF* o = scratch.open();
            Layout done = out;
            done.blockWidth = turned->blockWidth;
            done.blockHeight = turned->blockHeight;
            if (!layout.tiled && layout.blockHeight >= layout.height)
                done.blockHeight = std::max(layout.blockHeight, done.height);
            TIFFSetField(o, TIFFTAG_IMAGEWIDTH, done.width);
            TIFFSetField(o, TIFFTAG_IMAGELENGTH, done.height);
            TIFFSetField(o, TIFFTAG_BITSPERSAMPLE, 8);
            TIFFSetField(o, TIFFTAG_SAMPLESPERPIXEL, int(layout.samples));
            TIFFSetField(o, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
            TIFFSetField(o, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
            if (done.tiled) {
                TIFFSetField(o, TIFFTAG_TILEWIDTH, done.blockWidth);
                TIFFSetField(o, TIFFTAG_TILELENGTH, done.blockHeight);
            } else {
                TIFFSetField(o, TIFFTAG_ROWSPERSTRIP, turned->blockHeight);
            }
            for (std::size_t b = 0; b < turned->blocks.size(); ++b) {
                auto* data = const_cast<std::uint8_t*>(turned->blocks[b].data());
                const auto size = tmsize_t(turned->blocks[b].size());
                if ((done.tiled ? TIFFWriteRawTile(o, std::uint32_t(b), data, size)
                                : TIFFWriteRawStrip(o, std::uint32_t(b), data, size)) != size)
                    scratch.fail();
            }
            scratch.finishPage();
            edit.changes = turnedTags(dir, facts, done, turn);
            if (facts.photometric == PHOTOMETRIC_YCBCR &&
                (turned->horizontalSampling != facts.subsampling[0] ||
                 turned->verticalSampling != facts.subsampling[1]))
                edit.changes.push_back({tiff::YCbCrSubsampling,
                                        tiff::Short,
                                        {turned->horizontalSampling, turned->verticalSampling},
                                        0});
            m_written.push_back({page, scratch.pages - 1, std::nullopt, done});
        }
    } else if (!rewritable(facts.compression, in)) {
        record(page, Reason::Compression, facts, turn);
    } else if (facts.photometric == PHOTOMETRIC_YCBCR &&
               (facts.subsampling[0] != 1 || facts.subsampling[1] != 1)) {
        // Subsampled colour is stored in units of several pixels, which a turn breaks.
        record(page, Reason::Subsampled, facts, turn);
    } else if (layout.bytes() > maxAllocationBytes || out.bytes() > maxAllocationBytes) {
        record(page, Reason::TooLarge, facts, turn);
    } else {
        std::vector<Raster> planes;
        if (!readPlanes(handle, layout, planes, !fillsEveryByte(facts.compression))) {
            record(page, Reason::Damaged, facts, turn);
        } else {
            for (Raster& plane : planes) {
                plane = turned(plane, layout.width, layout.height, turn, out.stride());
                plane.bytes.resize(out.stride() * out.rows(), 0);
                plane.height = std::uint32_t(out.rows());
            }
            TIFF* o = scratch.open();
            TIFFSetField(o, TIFFTAG_IMAGEWIDTH, out.width);
            TIFFSetField(o, TIFFTAG_IMAGELENGTH, out.height);
            TIFFSetField(o, TIFFTAG_BITSPERSAMPLE, int(layout.bits));
            TIFFSetField(o, TIFFTAG_SAMPLESPERPIXEL, int(layout.samples));
            TIFFSetField(o, TIFFTAG_PLANARCONFIG,
                         layout.separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
            TIFFSetField(o, TIFFTAG_SAMPLEFORMAT, int(facts.sampleFormat));
            TIFFSetField(o, TIFFTAG_FILLORDER, int(facts.fillOrder));
            // The photometric interpretation matters to the codec only for fax data.
            TIFFSetField(o, TIFFTAG_PHOTOMETRIC,
                         facts.photometric <= PHOTOMETRIC_MINISBLACK ? int(facts.photometric)
                                                                     : PHOTOMETRIC_MINISBLACK);
            TIFFSetField(o, TIFFTAG_COMPRESSION, int(facts.compression));
            if (facts.predictor != PREDICTOR_NONE)
                TIFFSetField(o, TIFFTAG_PREDICTOR, int(facts.predictor));
            if (facts.compression == COMPRESSION_WEBP)
                TIFFSetField(o, TIFFTAG_WEBP_LOSSLESS, 1);
            if (facts.hasFaxOptions)
                TIFFSetField(o,
                             facts.compression == COMPRESSION_CCITTFAX3 ? TIFFTAG_GROUP3OPTIONS
                                                                        : TIFFTAG_GROUP4OPTIONS,
                             facts.faxOptions);
            if (out.tiled) {
                TIFFSetField(o, TIFFTAG_TILEWIDTH, out.blockWidth);
                TIFFSetField(o, TIFFTAG_TILELENGTH, out.blockHeight);
            } else {
                TIFFSetField(o, TIFFTAG_ROWSPERSTRIP, std::min(out.blockHeight, out.height));
            }
            // Taken first: libtiff may change what it is given to write (its byte order,
            // a predictor's differences).
            std::optional<std::uint64_t> expected;
            if (!provenExact(facts.compression))
                expected = digest(planes, out);
            if (!writePlanes(o, out, planes))
                scratch.fail();
            scratch.finishPage();
            edit.changes = turnedTags(dir, facts, out, turn);
            m_written.push_back({page, scratch.pages - 1, expected, out});
        }
    }
}

void Turner::finish(TurnedPages::Turned& turned)
{
    Scratch& scratch = m_scratch;
    scratch.close();
    if (m_written.empty())
        return;
    try {
        turned.file = std::make_unique<ReadableFile>(scratch.path);
        turned.reader = std::make_unique<tiff::Reader>(*turned.file);
    } catch (...) {
        scratch.fail();
    }
    const tiff::Chain chain = turned.reader->readChain();
    if (chain.pages.size() != std::size_t(scratch.pages))
        scratch.fail();
    // Each page encoded again must decode to exactly the turned pixels; where a codec
    // would not give them back, the data stays as it was and the tag takes the turn.
    LibtiffHandle check(*turned.file);
    for (const Written& w : m_written) {
        const std::uint64_t directory = chain.pages[std::size_t(w.directory)];
        std::vector<Raster> planes;
        if (w.digest &&
            (!check.selectDirectory(directory) || !readPlanes(check, w.layout, planes, false) ||
             digest(planes, w.layout) != *w.digest)) {
            const Facts facts = factsOf(select(w.page));
            record(w.page, Reason::Compression, facts, turnOf(facts));
            continue;
        }
        PageEdit& edit = edits[w.page];
        edit.imageData = turned.reader.get();
        edit.imageDirectory = directory;
    }
}

} // namespace

TurnedPages::TurnedPages(TiffSource& source, std::int32_t first, std::int32_t count,
                         int quarterTurns, bool bigEndian, const std::filesystem::path& target,
                         const std::function<void(std::int32_t done)>& progress)
{
    // Pages are turned on two threads where there are two cores: one page after the other
    // on each, every other page on the second, each thread with its own libtiff handle.
    const std::int32_t threads = count > 1 && std::thread::hardware_concurrency() > 1 ? 2 : 1;
    // The second reads the file through an opening of its own, of the very same file.
    std::unique_ptr<ReadableFile> ownFile;
    std::unique_ptr<tiff::Reader> ownReader;
    std::unique_ptr<LibtiffHandle> ownHandle;
    std::vector<std::unique_ptr<Turner>> turners;
    turners.push_back(std::make_unique<Turner>(source, source.reader(), source.handle(),
                                               quarterTurns, bigEndian, target));
    if (threads > 1) {
        ownFile = std::make_unique<ReadableFile>(source.path());
        if (!(ownFile->stamp() == source.file().stamp())) {
            throw EngineError(ErrorKind::Changed,
                              quoted(source.path()) +
                                  " changed on disk while the operation ran; nothing was changed.");
        }
        ownReader = std::make_unique<tiff::Reader>(*ownFile);
        ownHandle = std::make_unique<LibtiffHandle>(*ownFile);
        turners.push_back(std::make_unique<Turner>(source, *ownReader, *ownHandle, quarterTurns,
                                                   bigEndian, target));
    }
    for (std::int32_t t = 0; t < threads; ++t)
        m_turned.push_back(std::make_unique<Turned>());
    std::atomic<std::int32_t> done{0};
    std::atomic<bool> stop{false};
    const auto work = [&](std::int32_t t) {
        for (std::int32_t page = first + t; page < first + count && !stop; page += threads) {
            turners[std::size_t(t)]->turn(page);
            ++done;
            if (t == 0 && progress)
                progress(done);
        }
        turners[std::size_t(t)]->finish(*m_turned[std::size_t(t)]);
    };
    std::exception_ptr failure;
    std::thread helper;
    if (threads > 1) {
        helper = std::thread([&] {
            try {
                work(1);
            } catch (...) {
                failure = std::current_exception();
                stop = true;
            }
        });
    }
    try {
        work(0);
        // Progress goes on being told while the other thread finishes.
        while (threads > 1 && done < count && !stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (progress)
                progress(done);
        }
    } catch (...) {
        stop = true;
        if (helper.joinable())
            helper.join();
        throw;
    }
    if (helper.joinable())
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
    if (progress)
        progress(done);

    for (auto& turner : turners) {
        m_edits.merge(turner->edits);
        m_result.byOrientation.insert(m_result.byOrientation.end(), turner->recorded.begin(),
                                      turner->recorded.end());
    }
    std::sort(m_result.byOrientation.begin(), m_result.byOrientation.end(),
              [](const auto& a, const auto& b) { return a.page < b.page; });
    m_result.message = describe(m_result.byOrientation, source.path());
}

TurnedPages::~TurnedPages() = default;

} // namespace tessary
