#include "FuzzSupport.h"

#include "FuzzTargets.h"

#include <cstring>
#include <fstream>
#include <tiffio.h>

#ifdef _WIN32
// libtiff takes a Windows name in UTF-16.
#define TIFFOpen TIFFOpenW
#endif

namespace fs = std::filesystem;

namespace fuzzsupport {

void require(bool ok, const std::string& what)
{
    if (!ok)
        throw FuzzFinding(what);
}

void requireNames(const std::string& message, const std::string& text)
{
    std::string lower = message;
    if (!lower.empty() && lower[0] >= 'A' && lower[0] <= 'Z')
        lower[0] = char(lower[0] - 'A' + 'a');
    require(message.find(text) != std::string::npos || lower.find(text) != std::string::npos,
            "\"" + message + "\" does not name " + text);
}

std::uint64_t digest(const std::uint8_t* data, std::size_t size)
{
    std::uint64_t h = 1469598103934665603ull ^ size;
    for (std::size_t i = 0; i < size; i += 1 + size / 64) {
        h ^= data[i];
        h *= 1099511628211ull;
    }
    return h;
}

std::uint64_t fingerprint(const tessary::PageImage& image)
{
    std::uint64_t h = 1469598103934665603ull;
    const auto mix = [&h](std::uint64_t v) {
        h ^= v;
        h *= 1099511628211ull;
    };
    mix(image.width);
    mix(image.height);
    mix(image.scale);
    mix(std::uint64_t(image.format));
    for (std::uint8_t b : image.pixels)
        mix(b);
    return h;
}

std::vector<std::uint8_t> bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

bool anyTemporaryIn(const fs::path& folder)
{
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (entry.path().filename().string().find(".tessary-") != std::string::npos)
            return true;
    }
    return false;
}

namespace {

struct Quiet
{
    Quiet()
    {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    }
};

void writePage(TIFF* tif, int kind, const std::string& name, int seed)
{
    const std::uint32_t width = 24 + 8 * std::uint32_t(kind);
    const std::uint32_t height = 16 + std::uint32_t(seed % 5);
    std::uint16_t bits = 8;
    std::uint16_t samples = 1;
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    std::uint16_t compression = COMPRESSION_NONE;
    switch (kind % 4) {
    case 0:
        bits = 1;
        photometric = PHOTOMETRIC_MINISWHITE;
        compression = COMPRESSION_CCITTFAX4;
        break;
    case 1:
        samples = 3;
        photometric = PHOTOMETRIC_RGB;
        compression = COMPRESSION_LZW;
        break;
    case 2:
        bits = 16;
        compression = COMPRESSION_ADOBE_DEFLATE;
        break;
    default:
        samples = 3;
        photometric = PHOTOMETRIC_YCBCR;
        compression = COMPRESSION_JPEG;
        break;
    }
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_PAGENAME, name.c_str());
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 200.0);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 200.0);
    std::size_t rowBytes = (std::size_t(width) * samples * bits + 7) / 8;
    if (compression == COMPRESSION_JPEG) {
        TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, 2, 2);
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
        rowBytes = std::size_t(width) * 3;
    }
    if (kind % 4 == 1) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
        TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, "tiled colour");
        std::vector<std::uint8_t> tile(16 * 16 * 3);
        for (std::uint32_t ty = 0; ty < height; ty += 16) {
            for (std::uint32_t tx = 0; tx < width; tx += 16) {
                for (std::size_t i = 0; i < tile.size(); ++i)
                    tile[i] = std::uint8_t(i * 7 + tx + ty * 3 + std::size_t(seed) * 31);
                TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0);
            }
        }
    } else {
        if (compression != COMPRESSION_JPEG)
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 8);
        std::vector<std::uint8_t> row(rowBytes);
        for (std::uint32_t y = 0; y < height; ++y) {
            for (std::size_t i = 0; i < row.size(); ++i)
                row[i] = std::uint8_t((i * 13 + y * 5 + std::size_t(seed) * 29) ^ (y >> 1));
            TIFFWriteScanline(tif, row.data(), y, 0);
        }
    }
    TIFFWriteDirectory(tif);
}

} // namespace

void writeSoundFile(const fs::path& path, const std::string& prefix, int pages, bool bigTiff,
                    bool bigEndian)
{
    static const Quiet quiet;
    const std::string mode = std::string("w") + (bigTiff ? "8" : "") + (bigEndian ? "b" : "l");
    TIFF* tif = TIFFOpen(path.c_str(), mode.c_str());
    require(tif != nullptr, "cannot write " + path.string());
    for (int i = 1; i <= pages; ++i)
        writePage(tif, i - 1, prefix + std::to_string(i), i + int(prefix.size()) * 10);
    TIFFClose(tif);
}

std::string pageNames(const fs::path& path)
{
    static const Quiet quiet;
    TIFF* tif = TIFFOpen(path.c_str(), "rm");
    require(tif != nullptr, "libtiff cannot open " + path.filename().string());
    std::string names;
    do {
        char* name = nullptr;
        if (!names.empty())
            names += ' ';
        names += TIFFGetField(tif, TIFFTAG_PAGENAME, &name) && name ? name : "?";
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return names;
}

} // namespace fuzzsupport
