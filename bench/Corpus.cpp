#include "Corpus.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <tiffio.h>

namespace bench {

namespace {

enum class Kind
{
    Scan,   // A4 at 300 dpi, bilevel, G4: a page of typed text with scanner speckle
    Colour, // A4 at 150 dpi, RGB, LZW with predictor
    Photo,  // 2000 x 1500 RGB photograph, JPEG in YCbCr
    Grey,   // A4 at 150 dpi, 8-bit grey, Deflate
};

void checked(int ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(std::string("libtiff failed: ") + what);
}

void writeScan(TIFF* tif, std::mt19937& rng)
{
    const std::uint32_t w = 2480;
    const std::uint32_t h = 3508;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, h);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 300.0);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 300.0);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    const std::size_t rowBytes = (w + 7) / 8;
    std::vector<std::uint8_t> page(rowBytes * h, 0);
    auto set = [&](std::uint32_t x, std::uint32_t y) {
        if (x < w && y < h)
            page[y * rowBytes + x / 8] |= std::uint8_t(0x80 >> (x % 8));
    };
    // Lines of "words": glyph-sized blocks of strokes, with ragged edges.
    std::uniform_int_distribution<int> glyph(14, 30);
    std::uniform_int_distribution<int> coin(0, 99);
    for (std::uint32_t line = 250; line + 40 < h - 250; line += 52) {
        std::uint32_t x = 240;
        while (x < w - 300) {
            const int letters = 2 + coin(rng) % 9;
            for (int l = 0; l < letters; ++l) {
                const int gw = glyph(rng);
                for (int stroke = 0; stroke < 3; ++stroke) {
                    const int sx = coin(rng) % gw;
                    const int top = coin(rng) % 12;
                    for (std::uint32_t y = line + std::uint32_t(top); y < line + 34; ++y)
                        for (int t = 0; t < 3 + coin(rng) % 2; ++t)
                            set(x + std::uint32_t(sx + t), y);
                }
                for (int dot = 0; dot < 20; ++dot)
                    set(x + std::uint32_t(coin(rng) % gw), line + std::uint32_t(coin(rng) % 34));
                x += std::uint32_t(gw + 4);
            }
            x += 22;
        }
    }
    // Scanner speckle.
    std::uniform_int_distribution<std::uint32_t> px(0, w - 1);
    std::uniform_int_distribution<std::uint32_t> py(0, h - 1);
    for (int i = 0; i < 6000; ++i)
        set(px(rng), py(rng));
    checked(TIFFWriteEncodedStrip(tif, 0, page.data(), tmsize_t(page.size())) >= 0, "G4 page");
}

void writeContinuous(TIFF* tif, std::mt19937& rng, Kind kind)
{
    const bool photo = kind == Kind::Photo;
    const bool grey = kind == Kind::Grey;
    const std::uint32_t w = photo ? 2000 : 1240;
    const std::uint32_t h = photo ? 1500 : 1754;
    const int samples = grey ? 1 : 3;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 150.0);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 150.0);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    std::uint32_t rows = 16;
    if (photo) {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 85);
        TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, 2, 2);
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    } else {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, grey ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, grey ? COMPRESSION_ADOBE_DEFLATE : COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        rows = 32;
    }
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows);
    std::uniform_real_distribution<double> phase(0, 6.28);
    const double a = phase(rng);
    const double b = phase(rng);
    std::uniform_int_distribution<int> noise(-6, 6);
    const std::size_t rowBytes = std::size_t(w) * samples;
    std::vector<std::uint8_t> strip(rowBytes * rows);
    for (std::uint32_t y0 = 0, s = 0; y0 < h; y0 += rows, ++s) {
        const std::uint32_t n = std::min(rows, h - y0);
        for (std::uint32_t r = 0; r < n; ++r) {
            const double y = y0 + r;
            for (std::uint32_t x = 0; x < w; ++x) {
                for (int c = 0; c < samples; ++c) {
                    const double v =
                        128 +
                        90 * std::sin(x / (70.0 + 20 * c) + a) * std::cos(y / (90.0 + 15 * c) + b) +
                        noise(rng);
                    strip[r * rowBytes + x * samples + std::size_t(c)] =
                        std::uint8_t(std::clamp(v, 0.0, 255.0));
                }
            }
        }
        checked(TIFFWriteEncodedStrip(tif, s, strip.data(), tmsize_t(n * rowBytes)) >= 0,
                "continuous-tone page");
    }
}

void writePage(TIFF* tif, Kind kind, std::mt19937& rng, int index, int total)
{
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, index, total);
    TIFFSetField(tif, TIFFTAG_SOFTWARE, "tessary benchmark");
    if (kind == Kind::Scan)
        writeScan(tif, rng);
    else
        writeContinuous(tif, rng, kind);
    checked(TIFFWriteDirectory(tif), "directory");
}

void makeFile(const std::filesystem::path& path, const std::vector<Kind>& pages, bool bigTiff)
{
    std::printf("making %s (%zu pages)\n", path.filename().c_str(), pages.size());
    std::fflush(stdout);
    const std::filesystem::path partial = path.string() + ".partial";
    TIFF* tif = TIFFOpen(partial.c_str(), bigTiff ? "w8" : "w");
    if (!tif)
        throw std::runtime_error("cannot create " + partial.string());
    std::mt19937 rng(std::uint32_t(pages.size() * 7919));
    for (std::size_t i = 0; i < pages.size(); ++i)
        writePage(tif, pages[i], rng, int(i), int(pages.size()));
    TIFFClose(tif);
    std::filesystem::rename(partial, path);
}

std::vector<Kind> repeat(Kind kind, int n)
{
    return std::vector<Kind>(std::size_t(n), kind);
}

} // namespace

const std::vector<CorpusFile>& corpusFiles()
{
    static const std::vector<CorpusFile> files = {
        {"scan500.tif", "500-page A4 300 dpi G4 scan", 500},
        {"colour100.tif", "100-page A4 150 dpi LZW colour", 100},
        {"photo50.tif", "50-page 2000x1500 JPEG photos", 50},
        {"mixed60.tif", "60-page mix: G4, LZW, JPEG, Deflate", 60},
        {"big200.tif", "200-page A4 G4 scan, BigTIFF", 200},
    };
    return files;
}

void makeCorpus(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    auto need = [&](const char* name) {
        return !std::filesystem::exists(folder / name);
    };
    if (need("scan500.tif"))
        makeFile(folder / "scan500.tif", repeat(Kind::Scan, 500), false);
    if (need("colour100.tif"))
        makeFile(folder / "colour100.tif", repeat(Kind::Colour, 100), false);
    if (need("photo50.tif"))
        makeFile(folder / "photo50.tif", repeat(Kind::Photo, 50), false);
    if (need("mixed60.tif")) {
        std::vector<Kind> mix;
        for (int i = 0; i < 15; ++i)
            mix.insert(mix.end(), {Kind::Scan, Kind::Colour, Kind::Photo, Kind::Grey});
        makeFile(folder / "mixed60.tif", mix, false);
    }
    if (need("big200.tif"))
        makeFile(folder / "big200.tif", repeat(Kind::Scan, 200), true);
    // One-page sources of each kind.
    if (need("one-scan.tif"))
        makeFile(folder / "one-scan.tif", {Kind::Scan}, false);
    if (need("one-colour.tif"))
        makeFile(folder / "one-colour.tif", {Kind::Colour}, false);
    if (need("one-photo.tif"))
        makeFile(folder / "one-photo.tif", {Kind::Photo}, false);
}

std::filesystem::path manyPagesFile(const std::filesystem::path& folder)
{
    const std::filesystem::path path = folder / "pages20000.tif";
    if (std::filesystem::exists(path))
        return path;
    std::filesystem::create_directories(folder);
    std::printf("making %s (20000 pages)\n", path.filename().c_str());
    std::fflush(stdout);
    const std::filesystem::path partial = path.string() + ".partial";
    TIFF* tif = TIFFOpen(partial.c_str(), "w");
    if (!tif)
        throw std::runtime_error("cannot create " + partial.string());
    for (int i = 0; i < 20000; ++i) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
        const std::uint8_t pixel = std::uint8_t(i);
        checked(TIFFWriteEncodedStrip(tif, 0, const_cast<std::uint8_t*>(&pixel), 1) >= 0,
                "one-pixel page");
        checked(TIFFWriteDirectory(tif), "directory");
    }
    TIFFClose(tif);
    std::filesystem::rename(partial, path);
    return path;
}

} // namespace bench
