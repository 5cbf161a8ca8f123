#include "PageDecoder.h"

#include "AreaReducer.h"
#include "LibtiffHandle.h"
#include "Limits.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <tiffio.h>

namespace tessary {

namespace {

// A strip or tile at offset 0 (where the file's header is) or of no length holds none of
// the page: readers of uncompressed data would show whatever bytes lie there.
bool blockMissing(TIFF* tif, std::uint32_t block)
{
    return TIFFGetStrileOffset(tif, block) == 0 || TIFFGetStrileByteCount(tif, block) == 0;
}

constexpr const char* missingDataText = "part of its image data is missing";

// Each byte of a bilevel row as eight grey pixels, for both meanings of a set bit.
struct BilevelTable
{
    std::array<std::array<std::uint8_t, 8>, 256> minIsBlack;
    std::array<std::array<std::uint8_t, 8>, 256> minIsWhite;

    BilevelTable()
    {
        for (int byte = 0; byte < 256; ++byte) {
            for (int bit = 0; bit < 8; ++bit) {
                const bool set = (byte >> (7 - bit)) & 1;
                minIsBlack[std::size_t(byte)][std::size_t(bit)] = set ? 255 : 0;
                minIsWhite[std::size_t(byte)][std::size_t(bit)] = set ? 0 : 255;
            }
        }
    }
};

const BilevelTable& bilevelTable()
{
    static const BilevelTable table;
    return table;
}

struct FreeDeleter
{
    void operator()(void* p) const { _TIFFfree(p); }
};

std::unique_ptr<std::uint8_t, FreeDeleter> allocate(tmsize_t size)
{
    return std::unique_ptr<std::uint8_t, FreeDeleter>(
        size > 0 && std::uint64_t(size) <= maxAllocationBytes
            ? static_cast<std::uint8_t*>(_TIFFmalloc(size))
            : nullptr);
}

// The working memory of a scaled decode (one band of rows, one row of sums) stays within
// this, beside the result itself.
constexpr std::uint64_t maxBandBytes = maxAllocationBytes / 4;
// Beyond this factor a page is more than a few pixels even in the largest possible result;
// it also keeps the sums of a block of pixels far from overflowing.
constexpr std::uint32_t maxScaleFactor = 1u << 16;

// Ends an RGBA reader however the scope is left.
// Sets up libtiff's general reader on the current page, or says why it cannot read it.
void beginRgbaReader(TIFF* tif, TIFFRGBAImage& reader)
{
    char message[1024] = {};
    if (!TIFFRGBAImageOK(tif, message) || !TIFFRGBAImageBegin(&reader, tif, 0, message)) {
        throw EngineError(ErrorKind::Unsupported,
                          std::string("it is of a kind this program cannot show (") + message +
                              ")");
    }
}

struct RgbaReaderEnd
{
    TIFFRGBAImage* reader;
    ~RgbaReaderEnd() { TIFFRGBAImageEnd(reader); }
};

// libtiff's general reader (as of 4.5.0) refuses an uncompressed tile unless the buffer it
// reads raw data into holds exactly one tile; its own is rounded up to a multiple of 1024
// bytes, so a valid page of small tiles would show as damaged. While the reader runs, it
// reads into a buffer of exactly one tile; afterwards into one of its own again.
class ExactTileBuffer
{
public:
    explicit ExactTileBuffer(TIFF* tif)
        : m_tif(tif)
    {
        std::uint16_t compression = COMPRESSION_NONE;
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
        if (!TIFFIsTiled(tif) || compression != COMPRESSION_NONE)
            return;
        const tmsize_t size = TIFFTileSize(tif);
        m_buffer = allocate(size);
        if (m_buffer && !TIFFReadBufferSetup(tif, m_buffer.get(), size))
            m_buffer.reset();
    }
    ~ExactTileBuffer()
    {
        if (m_buffer)
            TIFFReadBufferSetup(m_tif, nullptr, 1);
    }
    ExactTileBuffer(const ExactTileBuffer&) = delete;
    ExactTileBuffer& operator=(const ExactTileBuffer&) = delete;

private:
    TIFF* m_tif;
    std::unique_ptr<std::uint8_t, FreeDeleter> m_buffer;
};

} // namespace

PageDecoder::PageDecoder(LibtiffHandle& handle, std::uint64_t maxDecodedBytes, bool scaleToFit)
    : m_handle(handle)
    , m_maxDecodedBytes(maxDecodedBytes)
    , m_scaleToFit(scaleToFit)
{}

void PageDecoder::tooLarge(const std::string& why) const
{
    throw EngineError(ErrorKind::TooLarge, "it is too large to show (" + std::to_string(m_width) +
                                               " by " + std::to_string(m_height) + " pixels" + why +
                                               ")");
}

void PageDecoder::noteDamage()
{
    if (m_damage.empty())
        m_damage = m_handle.firstError().empty() ? "part of its image data cannot be decoded"
                                                 : m_handle.firstError();
}

PageImage PageDecoder::decode()
{
    TIFF* tif = m_handle.get();
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &m_width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &m_height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &m_bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &m_samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &m_planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &m_sampleFormat);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &m_orientation);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &m_photometric))
        m_photometric = m_samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    std::uint16_t* extraTypes = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &m_extraSamples, &extraTypes);
    if (m_orientation < 1 || m_orientation > 8)
        m_orientation = 1;

    if (m_width == 0 || m_height == 0)
        throw EngineError(ErrorKind::Damaged, "its width or height is zero");
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    m_compression = compression;
    if (!TIFFIsCODECConfigured(compression))
        throw EngineError(ErrorKind::Unsupported, "its compression (" +
                                                      std::to_string(compression) +
                                                      ") cannot be decoded by this program");

    const bool grey =
        (m_photometric == PHOTOMETRIC_MINISBLACK || m_photometric == PHOTOMETRIC_MINISWHITE) &&
        m_samples == 1;
    // The general reader needs four bytes a pixel whatever the result, so that is the
    // size checked for every page that is not decoded natively.
    const bool nativeGrey = grey && (m_bits == 1 || m_bits == 8) && m_sampleFormat == 1;
    // JPEG in YCbCr is turned into RGB by libjpeg itself, the fastest way to decode it.
    const bool jpegYCbCr = compression == COMPRESSION_JPEG && m_photometric == PHOTOMETRIC_YCBCR;
    const bool nativeRgb = (m_photometric == PHOTOMETRIC_RGB || jpegYCbCr) && m_bits == 8 &&
                           m_samples == 3 && m_planar == PLANARCONFIG_CONTIG && m_sampleFormat == 1;
    const std::uint64_t limit = std::min(m_maxDecodedBytes, maxAllocationBytes);
    const std::uint64_t bytes = std::uint64_t(m_width) * m_height * (nativeGrey ? 1 : 4);
    const bool scaled = bytes > limit;
    if (scaled && !m_scaleToFit)
        tooLarge("");

    m_handle.clearErrors();
    const std::uint32_t blocks =
        TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    // Old-style JPEG may keep its whole stream elsewhere and state no strip at all.
    for (std::uint32_t block = 0; block < blocks && compression != COMPRESSION_OJPEG; ++block) {
        if (blockMissing(tif, block)) {
            m_damage = missingDataText;
            break;
        }
    }
    if (jpegYCbCr && nativeRgb)
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    PageImage image;
    if (scaled) {
        image = decodeScaled(nativeGrey || nativeRgb, grey, limit);
    } else if (nativeGrey) {
        image = decodeNative(PageImage::Format::Grey8);
    } else if (nativeRgb) {
        image = decodeNative(PageImage::Format::Rgba8);
    } else
        image = decodeWithRgbaReader(grey);
    orient(image);
    return image;
}

PageImage PageDecoder::decodeNative(PageImage::Format format)
{
    TIFF* tif = m_handle.get();
    PageImage image;
    image.format = format;
    image.width = m_width;
    image.height = m_height;
    image.pixels.assign(std::size_t(m_width) * m_height * image.bytesPerPixel(), 255);
    const bool grey = format == PageImage::Format::Grey8;
    const bool bilevel = grey && m_bits == 1;
    const bool minIsWhite = m_photometric == PHOTOMETRIC_MINISWHITE;
    const auto& table = minIsWhite ? bilevelTable().minIsWhite : bilevelTable().minIsBlack;
    const std::size_t outPixel = image.bytesPerPixel();
    // A codec may report an error and still claim the whole block (the fax codecs do, on a
    // bad code word), leaving the rest of the buffer as it was: each block is read into a
    // white buffer, so rows it never reached show white, not an earlier block.
    const std::uint8_t white = grey && minIsWhite ? 0x00 : 0xff;

    // Bytes of one decoded row w pixels wide.
    auto rowBytes = [&](std::uint32_t w) -> std::size_t {
        return bilevel ? (std::size_t(w) + 7) / 8 : std::size_t(w) * (grey ? 1 : 3);
    };
    // Copies w pixels of one decoded row into the image at (x, y).
    auto putRow = [&](const std::uint8_t* src, std::uint32_t x, std::uint32_t y, std::uint32_t w) {
        std::uint8_t* dst = image.pixels.data() + (std::size_t(y) * m_width + x) * outPixel;
        if (bilevel) {
            std::uint32_t i = 0;
            for (; i + 8 <= w; i += 8)
                std::memcpy(dst + i, table[src[i / 8]].data(), 8);
            for (; i < w; ++i)
                dst[i] = table[src[i / 8]][i % 8];
        } else if (grey && minIsWhite) {
            for (std::uint32_t i = 0; i < w; ++i)
                dst[i] = std::uint8_t(255 - src[i]);
        } else if (grey) {
            std::memcpy(dst, src, w);
        } else {
            for (std::uint32_t i = 0; i < w; ++i) {
                dst[4 * i] = src[3 * i];
                dst[4 * i + 1] = src[3 * i + 1];
                dst[4 * i + 2] = src[3 * i + 2];
            }
        }
    };

    bool any = false;
    if (TIFFIsTiled(tif)) {
        std::uint32_t tileWidth = 0;
        std::uint32_t tileLength = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileLength);
        const tmsize_t tileSize = TIFFTileSize(tif);
        auto buffer = allocate(tileSize);
        if (!buffer || tileWidth == 0 || tileLength == 0 ||
            std::uint64_t(tileSize) < rowBytes(tileWidth) * tileLength)
            throw EngineError(ErrorKind::Damaged, "its tiles cannot be read");
        for (std::uint32_t ty = 0; ty < m_height; ty += tileLength) {
            for (std::uint32_t tx = 0; tx < m_width; tx += tileWidth) {
                const ttile_t tile = TIFFComputeTile(tif, tx, ty, 0, 0);
                if (m_compression != COMPRESSION_OJPEG && blockMissing(tif, tile))
                    continue;
                std::memset(buffer.get(), white, std::size_t(tileSize));
                const std::uint64_t errors = m_handle.errorCount();
                if (TIFFReadEncodedTile(tif, tile, buffer.get(), tileSize) < 0) {
                    noteDamage();
                    continue;
                }
                if (m_handle.errorCount() != errors)
                    noteDamage();
                any = true;
                const std::uint32_t w = std::min(tileWidth, m_width - tx);
                const std::uint32_t h = std::min(tileLength, m_height - ty);
                for (std::uint32_t r = 0; r < h; ++r)
                    putRow(buffer.get() + std::size_t(r) * rowBytes(tileWidth), tx, ty + r, w);
            }
        }
    } else {
        std::uint32_t rowsPerStrip = m_height;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        rowsPerStrip = std::clamp<std::uint32_t>(rowsPerStrip, 1, m_height);
        const std::size_t bytesPerRow = rowBytes(m_width);
        const tmsize_t stripSize = TIFFStripSize(tif);
        auto buffer = allocate(stripSize);
        if (!buffer || std::uint64_t(stripSize) < bytesPerRow * rowsPerStrip)
            throw EngineError(ErrorKind::Damaged, "its strips cannot be read");
        for (std::uint32_t y = 0; y < m_height; y += rowsPerStrip) {
            const tstrip_t strip = TIFFComputeStrip(tif, y, 0);
            if (m_compression != COMPRESSION_OJPEG && blockMissing(tif, strip))
                continue;
            const std::uint32_t rows = std::min(rowsPerStrip, m_height - y);
            std::memset(buffer.get(), white, bytesPerRow * rows);
            const std::uint64_t errors = m_handle.errorCount();
            const tmsize_t got =
                TIFFReadEncodedStrip(tif, strip, buffer.get(), tmsize_t(bytesPerRow * rows));
            if (got < 0) {
                noteDamage();
                continue;
            }
            if (m_handle.errorCount() != errors)
                noteDamage();
            any = true;
            const std::uint32_t complete = std::uint32_t(std::size_t(got) / bytesPerRow);
            for (std::uint32_t r = 0; r < std::min(rows, complete); ++r)
                putRow(buffer.get() + r * bytesPerRow, 0, y + r, m_width);
            if (complete < rows)
                noteDamage();
        }
    }
    if (!any)
        throw EngineError(ErrorKind::Damaged, m_damage);
    return image;
}

PageImage PageDecoder::decodeWithRgbaReader(bool grey)
{
    TIFF* tif = m_handle.get();
    const ExactTileBuffer tileBuffer(tif);
    TIFFRGBAImage reader{};
    beginRgbaReader(tif, reader);
    // Asking for the page's own orientation reads the rows as stored; orient() then turns
    // the image upright for all eight orientations alike.
    reader.req_orientation = reader.orientation;
    std::vector<std::uint32_t> raster;
    try {
        raster.assign(std::size_t(m_width) * m_height, 0xffffffffu);
    } catch (const std::bad_alloc&) {
        TIFFRGBAImageEnd(&reader);
        throw EngineError(ErrorKind::TooLarge, "there is not enough memory to show it");
    }
    const int ok = TIFFRGBAImageGet(&reader, raster.data(), m_width, m_height);
    TIFFRGBAImageEnd(&reader);
    if (!ok)
        noteDamage();
    else if (!m_handle.firstError().empty())
        noteDamage();

    PageImage image;
    image.width = m_width;
    image.height = m_height;
    if (grey) {
        image.format = PageImage::Format::Grey8;
        image.pixels.resize(raster.size());
        for (std::size_t i = 0; i < raster.size(); ++i)
            image.pixels[i] = std::uint8_t(TIFFGetR(raster[i]));
    } else {
        image.format = PageImage::Format::Rgba8;
        image.pixels.resize(raster.size() * 4);
        for (std::size_t i = 0; i < raster.size(); ++i) {
            const std::uint32_t p = raster[i];
            image.pixels[4 * i] = std::uint8_t(TIFFGetR(p));
            image.pixels[4 * i + 1] = std::uint8_t(TIFFGetG(p));
            image.pixels[4 * i + 2] = std::uint8_t(TIFFGetB(p));
            image.pixels[4 * i + 3] = std::uint8_t(TIFFGetA(p));
        }
    }
    return image;
}

std::uint32_t PageDecoder::scaleFactor(unsigned bytesPerPixel, std::uint64_t limit) const
{
    const auto fits = [&](std::uint64_t factor) {
        const std::uint64_t width = (m_width + factor - 1) / factor;
        const std::uint64_t height = (m_height + factor - 1) / factor;
        return width * height * bytesPerPixel <= limit &&
               width * 4 * sizeof(std::uint64_t) <= maxBandBytes;
    };
    // The size of the result only shrinks as the factor grows: find the smallest that fits.
    std::uint64_t low = 2;
    std::uint64_t high = maxScaleFactor;
    if (!fits(high))
        return 0;
    while (low < high) {
        const std::uint64_t middle = (low + high) / 2;
        if (fits(middle))
            high = middle;
        else
            low = middle + 1;
    }
    return std::uint32_t(low);
}

PageImage PageDecoder::decodeScaled(bool native, bool grey, std::uint64_t limit)
{
    const std::uint32_t factor = scaleFactor(grey ? 1 : 4, limit);
    if (factor == 0)
        tooLarge(", even scaled down");
    PageImage image = native && !TIFFIsTiled(m_handle.get()) ? scaleScanlines(grey, factor)
                                                             : scaleWithRgbaReader(grey, factor);
    image.scale = factor;
    return image;
}

PageImage PageDecoder::scaleScanlines(bool grey, std::uint32_t factor)
{
    TIFF* tif = m_handle.get();
    const bool bilevel = grey && m_bits == 1;
    const bool minIsWhite = m_photometric == PHOTOMETRIC_MINISWHITE;
    const std::uint64_t rowBytes =
        bilevel ? (std::uint64_t(m_width) + 7) / 8 : std::uint64_t(m_width) * (grey ? 1 : 3);
    const tmsize_t lineSize = TIFFScanlineSize(tif);
    if (lineSize <= 0 || std::uint64_t(lineSize) < rowBytes)
        throw EngineError(ErrorKind::Damaged, "its rows cannot be read");
    if (std::uint64_t(lineSize) > maxBandBytes)
        tooLarge(", even scaled down");
    auto line = allocate(lineSize);
    if (!line)
        throw EngineError(ErrorKind::TooLarge, "there is not enough memory to show it");

    AreaReducer reducer(grey ? PageImage::Format::Grey8 : PageImage::Format::Rgba8, m_width,
                        m_height, factor);
    bool any = false;
    // After a row fails, the rest of its strip is skipped: reading on would decode the
    // strip again from its start for every row.
    tstrip_t failedStrip = tstrip_t(-1);
    // As in decodeNative, rows are read into a white buffer and errors noted even when the
    // codec claims the row.
    const std::uint8_t white = grey && minIsWhite ? 0x00 : 0xff;
    for (std::uint32_t y = 0; y < m_height; ++y) {
        const tstrip_t strip = TIFFComputeStrip(tif, y, 0);
        std::memset(line.get(), white, std::size_t(lineSize));
        const std::uint64_t errors = m_handle.errorCount();
        if (strip == failedStrip || TIFFReadScanline(tif, line.get(), y, 0) < 0) {
            if (strip != failedStrip)
                noteDamage();
            failedStrip = strip;
            reducer.addWhiteRow();
            continue;
        }
        if (m_handle.errorCount() != errors)
            noteDamage();
        any = true;
        std::uint8_t* row = line.get();
        if (bilevel) {
            reducer.addBilevelRow(row, minIsWhite);
        } else if (grey) {
            if (minIsWhite) {
                for (std::uint32_t i = 0; i < m_width; ++i)
                    row[i] = std::uint8_t(255 - row[i]);
            }
            reducer.addRow(row, 1);
        } else {
            reducer.addRow(row, 3);
        }
    }
    if (!any)
        throw EngineError(ErrorKind::Damaged, m_damage);
    return reducer.finish();
}

PageImage PageDecoder::scaleWithRgbaReader(bool grey, std::uint32_t factor)
{
    TIFF* tif = m_handle.get();
    // A band covers whole blocks of the page's data where it can, so each strip or tile is
    // decoded about once; the reader decodes a strip from its start for every band.
    std::uint32_t blockRows = m_height;
    if (TIFFIsTiled(tif))
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &blockRows);
    else
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &blockRows);
    blockRows = std::clamp<std::uint32_t>(blockRows, 1, m_height);
    if (m_height > std::uint32_t(std::numeric_limits<int>::max()))
        tooLarge(", even scaled down");
    const std::uint64_t rowBytes = std::uint64_t(m_width) * 4;
    std::uint64_t bandRows = (std::uint64_t(blockRows) + factor - 1) / factor * factor;
    if (bandRows * rowBytes > maxBandBytes) {
        if (!TIFFIsTiled(tif) || std::uint64_t(factor) * rowBytes > maxBandBytes)
            tooLarge(", even scaled down");
        bandRows = maxBandBytes / rowBytes / factor * factor;
    }

    const ExactTileBuffer tileBuffer(tif);
    TIFFRGBAImage reader{};
    beginRgbaReader(tif, reader);
    const RgbaReaderEnd end{&reader};
    reader.req_orientation = reader.orientation;

    std::vector<std::uint32_t> raster(std::size_t(bandRows) * m_width);
    // The reader's pixels are red, green, blue and alpha from the lowest byte up: on a
    // little-endian machine its rows are the reducer's four bytes a pixel as they stand.
    constexpr bool asBytes = std::endian::native == std::endian::little;
    std::vector<std::uint8_t> row(asBytes ? 0 : std::size_t(m_width) * 4);
    AreaReducer reducer(grey ? PageImage::Format::Grey8 : PageImage::Format::Rgba8, m_width,
                        m_height, factor);
    for (std::uint64_t top = 0; top < m_height; top += bandRows) {
        const std::uint32_t rows = std::uint32_t(std::min<std::uint64_t>(bandRows, m_height - top));
        std::fill(raster.begin(), raster.begin() + std::ptrdiff_t(rows) * m_width, 0xffffffffu);
        reader.row_offset = int(top);
        reader.col_offset = 0;
        if (!TIFFRGBAImageGet(&reader, raster.data(), m_width, rows))
            noteDamage();
        for (std::uint32_t r = 0; r < rows; ++r) {
            const std::uint32_t* p = raster.data() + std::size_t(r) * m_width;
            if constexpr (asBytes) {
                reducer.addRow(reinterpret_cast<const std::uint8_t*>(p), 4);
            } else {
                for (std::uint32_t i = 0; i < m_width; ++i) {
                    row[4 * i] = std::uint8_t(TIFFGetR(p[i]));
                    row[4 * i + 1] = std::uint8_t(TIFFGetG(p[i]));
                    row[4 * i + 2] = std::uint8_t(TIFFGetB(p[i]));
                    row[4 * i + 3] = std::uint8_t(TIFFGetA(p[i]));
                }
                reducer.addRow(row.data(), 4);
            }
        }
    }
    if (!m_handle.firstError().empty())
        noteDamage();
    return reducer.finish();
}

void PageDecoder::orient(PageImage& image) const
{
    if (m_orientation == ORIENTATION_TOPLEFT)
        return;
    const std::size_t bpp = image.bytesPerPixel();
    const std::uint32_t w = image.width;
    const std::uint32_t h = image.height;
    const bool transposed = m_orientation >= ORIENTATION_LEFTTOP;
    const std::uint32_t outWidth = transposed ? h : w;
    const std::uint32_t outHeight = transposed ? w : h;
    std::vector<std::uint8_t> out(image.pixels.size());
    // For each upright pixel (x, y), the stored row and column it comes from.
    for (std::uint32_t y = 0; y < outHeight; ++y) {
        for (std::uint32_t x = 0; x < outWidth; ++x) {
            std::uint32_t row = y;
            std::uint32_t column = x;
            switch (m_orientation) {
            case ORIENTATION_TOPRIGHT:
                column = w - 1 - x;
                break;
            case ORIENTATION_BOTRIGHT:
                row = h - 1 - y;
                column = w - 1 - x;
                break;
            case ORIENTATION_BOTLEFT:
                row = h - 1 - y;
                break;
            case ORIENTATION_LEFTTOP:
                row = x;
                column = y;
                break;
            case ORIENTATION_RIGHTTOP:
                row = h - 1 - x;
                column = y;
                break;
            case ORIENTATION_RIGHTBOT:
                row = h - 1 - x;
                column = w - 1 - y;
                break;
            case ORIENTATION_LEFTBOT:
                row = x;
                column = w - 1 - y;
                break;
            default:
                break;
            }
            std::memcpy(out.data() + (std::size_t(y) * outWidth + x) * bpp,
                        image.pixels.data() + (std::size_t(row) * w + column) * bpp, bpp);
        }
    }
    image.pixels = std::move(out);
    image.width = outWidth;
    image.height = outHeight;
}

} // namespace tessary
