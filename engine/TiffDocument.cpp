#include "TiffDocument.h"

#include "EngineError.h"
#include "LibtiffHandle.h"
#include "Messages.h"
#include "PageDecoder.h"
#include "ReadableFile.h"
#include "TiffSource.h"

#include <tiffio.h>

namespace tessary {

struct TiffDocument::Impl : TiffSource
{
    using TiffSource::TiffSource;
};

std::unique_ptr<TiffDocument> TiffDocument::open(const std::filesystem::path& path)
{
    return std::unique_ptr<TiffDocument>(new TiffDocument(std::make_unique<Impl>(path)));
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

PageInfo TiffDocument::pageInfo(std::int32_t page) const
{
    checkPage(page);
    m_impl->select(page);
    TIFF* tif = m_impl->handle().get();
    PageInfo info;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &info.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &info.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &info.bitsPerSample);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &info.samplesPerPixel);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &info.compression);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &info.photometric))
        info.photometric = info.samplesPerPixel >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &info.orientation);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &info.planarConfig);
    float x = 0;
    float y = 0;
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x))
        info.xResolution = x;
    if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y))
        info.yResolution = y;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &info.resolutionUnit);
    info.tiled = TIFFIsTiled(tif) != 0;
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
