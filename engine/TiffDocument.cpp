#include "TiffDocument.h"

#include "EngineError.h"
#include "LibtiffHandle.h"
#include "Messages.h"
#include "PageDecoder.h"
#include "ReadableFile.h"
#include "TiffSource.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <tiffio.h>

namespace tessary {

struct TiffDocument::Impl : TiffSource
{
    using TiffSource::TiffSource;
};

std::unique_ptr<TiffDocument> TiffDocument::open(const std::filesystem::path& path, bool everyPage)
{
    return std::unique_ptr<TiffDocument>(new TiffDocument(std::make_unique<Impl>(path, everyPage)));
}

TiffDocument::TiffDocument(std::unique_ptr<Impl> impl)
    : m_impl(std::move(impl))
{}

TiffDocument::~TiffDocument() = default;

const std::filesystem::path& TiffDocument::path() const
{
    return m_impl->path();
}

std::int32_t TiffDocument::pageCount() const
{
    return std::int32_t(m_impl->chain().pages.size());
}

bool TiffDocument::complete() const
{
    return m_impl->chain().complete;
}

std::string TiffDocument::pageListProblem() const
{
    if (m_impl->chain().complete)
        return {};
    return "The list of pages of " + quoted(path()) + " is damaged: " + m_impl->chain().problem +
           ". Only its first " + std::to_string(pageCount()) + " page(s) can be read.";
}

bool TiffDocument::bigTiff() const
{
    return m_impl->reader().header().bigTiff;
}

bool TiffDocument::bigEndian() const
{
    return m_impl->reader().header().bigEndian;
}

const FileStamp& TiffDocument::stamp() const
{
    return m_impl->file().stamp();
}

bool TiffDocument::changedOnDisk() const
{
    const auto now = FileStamp::of(path());
    return !now || !(*now == stamp());
}

std::uint64_t TiffDocument::directoryOffset(std::int32_t page) const
{
    checkPage(page);
    return m_impl->chain().pages[std::size_t(page - 1)];
}

void TiffDocument::checkPage(std::int32_t page) const
{
    m_impl->checkPage(page);
}

namespace {

// The value of a tag of one whole number, as libtiff takes it: absent, of another kind or
// beyond limit, it is not there.
std::optional<std::uint64_t> number(const tiff::Reader& reader, const tiff::Entry* entry,
                                    std::uint64_t limit)
{
    if (!entry || entry->count == 0 || !tiff::isUnsignedInteger(entry->type))
        return std::nullopt;
    try {
        const std::uint64_t value = reader.first(*entry);
        if (value <= limit)
            return value;
    } catch (const tiff::StructureError&) {
    }
    return std::nullopt;
}

// A resolution, as libtiff takes it: one number of any kind; a fraction with a zero part is
// 0; a value below 0 or not a number is not there.
double resolution(const tiff::Reader& reader, const tiff::Entry* entry)
{
    if (!entry || entry->count != 1)
        return 0;
    std::vector<std::uint8_t> scratch;
    const std::uint8_t* p = nullptr;
    try {
        p = reader.valueBytes(*entry, scratch);
    } catch (const tiff::StructureError&) {
        return 0;
    }
    double value = 0;
    switch (entry->type) {
    case tiff::Rational:
    case tiff::SRational: {
        const std::uint32_t a = reader.u32(p);
        const std::uint32_t b = reader.u32(p + 4);
        const bool signedValue = entry->type == tiff::SRational;
        if (a != 0 && b != 0)
            value = signedValue ? double(std::int32_t(a)) / double(std::int32_t(b))
                                : double(a) / double(b);
        break;
    }
    case tiff::Float: {
        const std::uint32_t bits = reader.u32(p);
        float f = 0;
        std::memcpy(&f, &bits, sizeof f);
        value = f;
        break;
    }
    case tiff::Double: {
        const std::uint64_t bits = reader.u64(p);
        std::memcpy(&value, &bits, sizeof value);
        break;
    }
    case tiff::SByte:
        value = std::int8_t(*p);
        break;
    case tiff::SShort:
        value = std::int16_t(reader.u16(p));
        break;
    case tiff::SLong:
        value = std::int32_t(reader.u32(p));
        break;
    case tiff::SLong8:
        value = double(std::int64_t(reader.u64(p)));
        break;
    case tiff::Byte:
        value = *p;
        break;
    case tiff::Short:
        value = reader.u16(p);
        break;
    case tiff::Long:
    case tiff::Ifd:
        value = reader.u32(p);
        break;
    case tiff::Long8:
    case tiff::Ifd8:
        value = double(reader.u64(p));
        break;
    default:
        return 0;
    }
    if (!(value >= 0))
        return 0;
    // Kept as libtiff keeps it, in single precision.
    return double(float(std::min<double>(value, std::numeric_limits<float>::max())));
}

} // namespace

PageInfo TiffDocument::pageInfo(std::int32_t page) const
{
    checkPage(page);
    // The facts come from the page's directory itself, usually kept from the walk of the
    // page chain: nothing else of the page is read.
    const tiff::Reader& reader = m_impl->reader();
    tiff::Directory dir;
    try {
        dir = reader.readDirectory(m_impl->chain().pages[std::size_t(page - 1)]);
    } catch (const tiff::StructureError& e) {
        throw EngineError(ErrorKind::Damaged,
                          capitalized(pageOf(page, path())) + " is damaged: " + e.what() + ".");
    }
    // The facts' tags, found in one pass.
    struct
    {
        const tiff::Entry *width, *height, *bits, *samples, *compression, *photometric,
            *orientation, *planar, *x, *y, *unit;
        bool tiled;
    } tag{};
    for (const tiff::Entry& entry : dir.entries) {
        switch (entry.tag) {
        case tiff::ImageWidth:
            tag.width = &entry;
            break;
        case tiff::ImageLength:
            tag.height = &entry;
            break;
        case tiff::BitsPerSample:
            tag.bits = &entry;
            break;
        case tiff::SamplesPerPixel:
            tag.samples = &entry;
            break;
        case tiff::Compression:
            tag.compression = &entry;
            break;
        case tiff::Photometric:
            tag.photometric = &entry;
            break;
        case tiff::Orientation:
            tag.orientation = &entry;
            break;
        case tiff::PlanarConfig:
            tag.planar = &entry;
            break;
        case tiff::XResolution:
            tag.x = &entry;
            break;
        case tiff::YResolution:
            tag.y = &entry;
            break;
        case tiff::ResolutionUnit:
            tag.unit = &entry;
            break;
        case tiff::TileWidth:
        case tiff::TileLength:
            tag.tiled = true;
            break;
        default:
            break;
        }
    }
    const auto width = number(reader, tag.width, 0xffffffffu);
    const auto height = number(reader, tag.height, 0xffffffffu);
    if (!width && !height) {
        throw EngineError(ErrorKind::Damaged, capitalized(pageOf(page, path())) +
                                                  " is damaged: its directory states no size.");
    }
    PageInfo info;
    info.width = std::uint32_t(width.value_or(0));
    info.height = std::uint32_t(height.value_or(0));
    info.compression = std::uint16_t(number(reader, tag.compression, 0xffff).value_or(1));
    // Old-style JPEG pages often leave out what their JPEG stream states; libtiff assumes
    // what such pages hold, as it does here.
    const bool oldJpeg = info.compression == COMPRESSION_OJPEG;
    info.bitsPerSample = std::uint16_t(number(reader, tag.bits, 0xffff).value_or(oldJpeg ? 8 : 1));
    const auto photometric = number(reader, tag.photometric, 0xffff);
    const auto samples = number(reader, tag.samples, 0xffff);
    info.samplesPerPixel = std::uint16_t(samples && *samples > 0 ? *samples : 1);
    if (oldJpeg && !photometric)
        info.photometric = PHOTOMETRIC_YCBCR;
    else if (photometric)
        info.photometric = std::uint16_t(*photometric);
    else
        info.photometric = info.samplesPerPixel >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    if (oldJpeg && !samples &&
        (info.photometric == PHOTOMETRIC_RGB || info.photometric == PHOTOMETRIC_YCBCR))
        info.samplesPerPixel = 3;
    const auto orientation = number(reader, tag.orientation, 8);
    info.orientation = std::uint16_t(orientation && *orientation >= 1 ? *orientation : 1);
    const auto planar = number(reader, tag.planar, 2);
    info.planarConfig = std::uint16_t(planar && *planar >= 1 ? *planar : 1);
    info.xResolution = resolution(reader, tag.x);
    info.yResolution = resolution(reader, tag.y);
    const auto unit = number(reader, tag.unit, 3);
    info.resolutionUnit = std::uint16_t(unit && *unit >= 1 ? *unit : 2);
    info.tiled = tag.tiled;
    return info;
}

PageImage TiffDocument::decode(std::int32_t page, const DecodeLimits& limits,
                               std::string* damage) const
{
    checkPage(page);
    m_impl->select(page);
    PageDecoder decoder(m_impl->handle(), limits.maxDecodedBytes, limits.scaleToFit);
    PageImage image;
    try {
        image = decoder.decode();
    } catch (const EngineError& e) {
        const std::string what = e.what();
        if (e.kind() == ErrorKind::Damaged) {
            throw EngineError(ErrorKind::Damaged, pageOf(page, path()) + " is damaged" +
                                                      (what.empty() ? "" : ": " + what) + ".");
        }
        throw EngineError(e.kind(),
                          capitalized(pageOf(page, path())) + " cannot be shown: " + what + ".");
    } catch (const std::bad_alloc&) {
        throw EngineError(ErrorKind::TooLarge, capitalized(pageOf(page, path())) +
                                                   " cannot be shown: there is not enough memory.");
    }
    if (damage) {
        *damage = decoder.damage().empty() ? std::string()
                                           : "Part of " + pageOf(page, path()) +
                                                 " is damaged: " + decoder.damage() + ".";
    }
    float x = 0;
    float y = 0;
    std::uint16_t unit = RESUNIT_INCH;
    TIFF* tif = m_impl->handle().get();
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (unit != RESUNIT_NONE && TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) &&
        TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y)) {
        const double factor = (unit == RESUNIT_CENTIMETER ? 2.54 : 1.0) / image.scale;
        image.xDpi = x * factor;
        image.yDpi = y * factor;
        std::uint16_t orientation = ORIENTATION_TOPLEFT;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
        if (orientation >= ORIENTATION_LEFTTOP && orientation <= ORIENTATION_LEFTBOT)
            std::swap(image.xDpi, image.yDpi);
    }
    return image;
}

} // namespace tessary
