#include "ReencodedPage.h"

#include "EngineError.h"
#include "LibtiffHandle.h"
#include "Limits.h"
#include "Messages.h"
#include "PosixFileLayer.h"
#include "TiffSource.h"

#include <tiffio.h>
#include <vector>

namespace tessary {

namespace {

bool losslessCodec(std::uint16_t compression)
{
    switch (compression) {
    case COMPRESSION_NONE:
    case COMPRESSION_LZW:
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
    case COMPRESSION_PACKBITS:
    case COMPRESSION_LZMA:
    case COMPRESSION_ZSTD:
        return TIFFIsCODECConfigured(compression) != 0;
    default:
        return false;
    }
}

struct TiffCloser
{
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};

template <typename T>
void copyField(TIFF* in, TIFF* out, ttag_t tag)
{
    T value{};
    if (TIFFGetField(in, tag, &value))
        TIFFSetField(out, tag, value);
}

} // namespace

ReencodedPage::ReencodedPage(TiffSource& source, std::int32_t page, bool bigEndian,
                             const std::filesystem::path& target)
{
    source.select(page);
    TIFF* in = source.handle().get();
    const std::string what = capitalized(pageOf(page, source.path()));
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(in, TIFFTAG_COMPRESSION, &compression);
    if (!losslessCodec(compression)) {
        throw EngineError(ErrorKind::Unsupported,
                          what +
                              " stores samples of more than 8 bits in the other byte order, "
                              "in a compression that cannot be re-encoded without loss; it "
                              "cannot be copied into " +
                              quoted(target) + ". Nothing was changed.");
    }
    const std::filesystem::path scratch = scratchPathBeside(target);
    std::unique_ptr<TIFF, TiffCloser> out(createTiff(scratch, bigEndian ? "wb" : "wl"));
    auto fail = [&](const std::string& why) {
        out.reset();
        removeScratch(scratch);
        return EngineError(ErrorKind::Io, what + " could not be converted to the byte order of " +
                                              quoted(target) + " (" + why +
                                              "); nothing was changed.");
    };
    if (!out)
        throw fail("the scratch file cannot be created");

    TIFF* o = out.get();
    copyField<std::uint32_t>(in, o, TIFFTAG_IMAGEWIDTH);
    copyField<std::uint32_t>(in, o, TIFFTAG_IMAGELENGTH);
    for (ttag_t tag : {TIFFTAG_BITSPERSAMPLE, TIFFTAG_SAMPLESPERPIXEL, TIFFTAG_SAMPLEFORMAT,
                       TIFFTAG_PLANARCONFIG, TIFFTAG_FILLORDER}) {
        std::uint16_t value = 0;
        if (TIFFGetFieldDefaulted(in, tag, &value))
            TIFFSetField(o, tag, value);
    }
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    TIFFGetField(in, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFSetField(o, TIFFTAG_PHOTOMETRIC, photometric);
    // The predictor belongs to the codec, so it can be set only once the codec is chosen;
    // it must be the page's own, which the copied tags go on to state.
    TIFFSetField(o, TIFFTAG_COMPRESSION, compression);
    std::uint16_t predictor = PREDICTOR_NONE;
    if (TIFFGetField(in, TIFFTAG_PREDICTOR, &predictor))
        TIFFSetField(o, TIFFTAG_PREDICTOR, predictor);
    std::uint16_t extraCount = 0;
    std::uint16_t* extra = nullptr;
    if (TIFFGetField(in, TIFFTAG_EXTRASAMPLES, &extraCount, &extra))
        TIFFSetField(o, TIFFTAG_EXTRASAMPLES, extraCount, extra);
    const bool tiled = TIFFIsTiled(in);
    if (tiled) {
        copyField<std::uint32_t>(in, o, TIFFTAG_TILEWIDTH);
        copyField<std::uint32_t>(in, o, TIFFTAG_TILELENGTH);
    } else {
        std::uint32_t rows = 0;
        TIFFGetFieldDefaulted(in, TIFFTAG_ROWSPERSTRIP, &rows);
        TIFFSetField(o, TIFFTAG_ROWSPERSTRIP, rows);
    }

    const std::uint32_t blocks = tiled ? TIFFNumberOfTiles(in) : TIFFNumberOfStrips(in);
    const tmsize_t size = tiled ? TIFFTileSize(in) : TIFFStripSize(in);
    if (size <= 0)
        throw fail("its blocks of image data cannot be sized");
    if (std::uint64_t(size) > maxAllocationBytes)
        throw fail("its blocks of image data are too large");
    std::vector<std::uint8_t> buffer;
    try {
        buffer.resize(std::size_t(size));
    } catch (const std::bad_alloc&) {
        throw fail("there is not enough memory");
    }
    for (std::uint32_t block = 0; block < blocks; ++block) {
        const tmsize_t got = tiled ? TIFFReadEncodedTile(in, block, buffer.data(), size)
                                   : TIFFReadEncodedStrip(in, block, buffer.data(), size);
        if (got < 0) {
            out.reset();
            removeScratch(scratch);
            throw EngineError(ErrorKind::Damaged,
                              what + " is damaged: its image data cannot be decoded.");
        }
        const tmsize_t written = tiled ? TIFFWriteEncodedTile(o, block, buffer.data(), got)
                                       : TIFFWriteEncodedStrip(o, block, buffer.data(), got);
        if (written < 0)
            throw fail("the scratch file cannot be written");
    }
    if (!TIFFWriteDirectory(o))
        throw fail("the scratch file cannot be written");
    out.reset();
    try {
        m_file = std::make_unique<ReadableFile>(scratch);
        m_reader = std::make_unique<tiff::Reader>(*m_file);
    } catch (...) {
        removeScratch(scratch);
        throw fail("the scratch file cannot be read back");
    }
    // It is read through its open descriptor from now on; without a name it cannot
    // outlive this process, however the process ends.
    removeScratch(scratch);
}

ReencodedPage::~ReencodedPage() = default;

} // namespace tessary
