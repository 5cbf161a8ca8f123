// Decoding pages for display: every layout and compression libtiff reads, compared pixel
// for pixel with libtiff's own RGBA reader.

#include "EngineError.h"
#include "TestTiff.h"
#include "TiffDocument.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <tiffio.h>

using namespace tessary;
using testtiff::Page;

namespace {

struct Kind
{
    const char* name;
    Page page;
};

Page kind(std::uint16_t bits, std::uint16_t samples, std::uint16_t photometric,
          std::uint16_t compression)
{
    Page p;
    p.bits = bits;
    p.samples = samples;
    p.photometric = photometric;
    p.compression = compression;
    return p;
}

Page tiled(Page p)
{
    p.tiled = true;
    return p;
}

Page with(Page p, std::uint16_t orientation)
{
    p.orientation = orientation;
    return p;
}

Page planar(Page p)
{
    p.planar = PLANARCONFIG_SEPARATE;
    return p;
}

Page predicted(Page p)
{
    p.predictor = PREDICTOR_HORIZONTAL;
    return p;
}

Page alpha(Page p, std::uint16_t extra)
{
    p.extraSample = extra;
    return p;
}

Page sized(Page p, std::uint32_t width, std::uint32_t height)
{
    p.width = width;
    p.height = height;
    return p;
}

const Kind kinds[] = {
    {"bilevel_none", kind(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE)},
    {"bilevel_min_is_black", kind(1, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_PACKBITS)},
    {"g3", kind(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX3)},
    {"g4", sized(kind(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4), 203, 77)},
    {"g4_tiled", tiled(kind(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4))},
    {"grey2", kind(2, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE)},
    {"grey4_white", kind(4, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_LZW)},
    {"grey8", kind(8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE)},
    {"grey8_white_deflate", kind(8, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_ADOBE_DEFLATE)},
    {"grey8_lzw_predictor", predicted(kind(8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW))},
    {"grey8_tiled_packbits", tiled(kind(8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_PACKBITS))},
    {"grey8_jpeg", kind(8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_JPEG)},
    {"grey16", kind(16, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE)},
    {"grey16_lzw_predictor", predicted(kind(16, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW))},
    {"grey_alpha",
     alpha(kind(8, 2, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE), EXTRASAMPLE_ASSOCALPHA)},
    {"palette1", kind(1, 1, PHOTOMETRIC_PALETTE, COMPRESSION_NONE)},
    {"palette4", kind(4, 1, PHOTOMETRIC_PALETTE, COMPRESSION_PACKBITS)},
    {"palette8", kind(8, 1, PHOTOMETRIC_PALETTE, COMPRESSION_LZW)},
    {"rgb8", kind(8, 3, PHOTOMETRIC_RGB, COMPRESSION_NONE)},
    {"rgb8_lzw", kind(8, 3, PHOTOMETRIC_RGB, COMPRESSION_LZW)},
    {"rgb8_deflate_tiled", tiled(kind(8, 3, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE))},
    {"rgb8_planar", planar(kind(8, 3, PHOTOMETRIC_RGB, COMPRESSION_PACKBITS))},
    {"rgb8_jpeg", kind(8, 3, PHOTOMETRIC_RGB, COMPRESSION_JPEG)},
    {"rgb16", kind(16, 3, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE)},
    {"rgba_associated",
     alpha(kind(8, 4, PHOTOMETRIC_RGB, COMPRESSION_LZW), EXTRASAMPLE_ASSOCALPHA)},
    {"rgba_unassociated",
     alpha(kind(8, 4, PHOTOMETRIC_RGB, COMPRESSION_NONE), EXTRASAMPLE_UNASSALPHA)},
    {"cmyk8", kind(8, 4, PHOTOMETRIC_SEPARATED, COMPRESSION_LZW)},
    {"ycbcr_jpeg", sized(kind(8, 3, PHOTOMETRIC_YCBCR, COMPRESSION_JPEG), 64, 48)},
    {"ycbcr_jpeg_tiled", tiled(sized(kind(8, 3, PHOTOMETRIC_YCBCR, COMPRESSION_JPEG), 64, 48))},
    {"orientation2", with(kind(8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE), 2)},
    {"orientation3", with(kind(8, 3, PHOTOMETRIC_RGB, COMPRESSION_NONE), 3)},
    {"orientation4", with(kind(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4), 4)},
    {"orientation5", with(kind(8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW), 5)},
    {"orientation6", with(kind(8, 3, PHOTOMETRIC_RGB, COMPRESSION_LZW), 6)},
    {"orientation7", with(kind(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4), 7)},
    {"orientation8", with(kind(8, 3, PHOTOMETRIC_RGB, COMPRESSION_NONE), 8)},
};

// The upright image that libtiff's reader implies: it flips orientations 1 to 4 itself
// and reads 5 to 8 as their flipped twins without turning them.
std::vector<std::uint32_t> upright(const std::vector<std::uint32_t>& libtiff, std::uint32_t w,
                                   std::uint32_t h, int orientation, std::uint32_t* outWidth,
                                   std::uint32_t* outHeight)
{
    if (orientation < 5) {
        *outWidth = w;
        *outHeight = h;
        return libtiff;
    }
    *outWidth = h;
    *outHeight = w;
    std::vector<std::uint32_t> out(libtiff.size());
    for (std::uint32_t y = 0; y < w; ++y) {
        for (std::uint32_t x = 0; x < h; ++x) {
            const bool transpose = orientation == 5 || orientation == 7;
            const std::uint32_t row = transpose ? x : h - 1 - x;
            const std::uint32_t col = transpose ? y : w - 1 - y;
            out[std::size_t(y) * h + x] = libtiff[std::size_t(row) * w + col];
        }
    }
    return out;
}

// Compares a decoded page with libtiff's reading of the same page; "" when equal.
std::string compareWithLibtiff(const std::filesystem::path& path, int page, int orientation)
{
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    const auto reference = testtiff::rgba(path, page, &w, &h);
    if (reference.empty())
        return "libtiff cannot read it";
    std::uint32_t uw = 0;
    std::uint32_t uh = 0;
    const auto expected = upright(reference, w, h, orientation, &uw, &uh);
    const auto document = TiffDocument::open(path);
    std::string damage;
    const PageImage image = document->decode(page, {}, &damage);
    if (!damage.empty())
        return "damage reported: " + damage;
    if (image.width != uw || image.height != uh)
        return "size differs";
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::uint32_t p = expected[i];
        if (image.format == PageImage::Format::Grey8) {
            if (image.pixels[i] != TIFFGetR(p) || TIFFGetR(p) != TIFFGetG(p) ||
                TIFFGetG(p) != TIFFGetB(p))
                return "grey pixel " + std::to_string(i) + " differs";
        } else {
            const std::uint8_t* q = image.pixels.data() + 4 * i;
            if (q[0] != TIFFGetR(p) || q[1] != TIFFGetG(p) || q[2] != TIFFGetB(p) ||
                q[3] != TIFFGetA(p))
                return "colour pixel " + std::to_string(i) + " differs";
        }
    }
    return "";
}

void PrintTo(const Kind& kind, std::ostream* out)
{
    *out << kind.name;
}

class DecodeKinds : public ::testing::TestWithParam<Kind>
{};

TEST_P(DecodeKinds, matchesLibtiffsOwnReader)
{
    testtiff::TempDir dir;
    const auto path = dir / "page.tif";
    testtiff::write(path, {GetParam().page});
    EXPECT_EQ(compareWithLibtiff(path, 1, GetParam().page.orientation), "");
}

// A page over the limit, decoded scaled to fit: each pixel is the average of a 2 × 2 block
// of the pixels libtiff reads (edge blocks of what they have), whichever way the page is
// read (row by row, or in bands through the general reader).
TEST_P(DecodeKinds, scaledToFitIsTheAverageOfLibtiffsPixels)
{
    testtiff::TempDir dir;
    const auto path = dir / "page.tif";
    testtiff::write(path, {GetParam().page});
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    const auto reference = testtiff::rgba(path, 1, &w, &h);
    ASSERT_FALSE(reference.empty());
    std::uint32_t uw = 0;
    std::uint32_t uh = 0;
    const auto expected = upright(reference, w, h, GetParam().page.orientation, &uw, &uh);

    const auto document = TiffDocument::open(path);
    const bool grey = document->decode(1).format == PageImage::Format::Grey8;
    const unsigned channels = grey ? 1 : 4;
    DecodeLimits limits;
    limits.maxDecodedBytes = std::uint64_t((uw + 1) / 2) * ((uh + 1) / 2) * channels;
    limits.scaleToFit = true;
    std::string damage;
    const PageImage image = document->decode(1, limits, &damage);
    EXPECT_EQ(damage, "");
    ASSERT_EQ(image.scale, 2u);
    ASSERT_EQ(image.width, (uw + 1) / 2);
    ASSERT_EQ(image.height, (uh + 1) / 2);
    EXPECT_DOUBLE_EQ(image.xDpi, 150);
    std::size_t differing = 0;
    for (std::uint32_t y = 0; y < image.height; ++y) {
        for (std::uint32_t x = 0; x < image.width; ++x) {
            std::uint64_t sums[4] = {};
            std::uint64_t n = 0;
            for (std::uint32_t yy = 2 * y; yy < std::min(2 * y + 2, uh); ++yy) {
                for (std::uint32_t xx = 2 * x; xx < std::min(2 * x + 2, uw); ++xx) {
                    const std::uint32_t p = expected[std::size_t(yy) * uw + xx];
                    sums[0] += TIFFGetR(p);
                    sums[1] += TIFFGetG(p);
                    sums[2] += TIFFGetB(p);
                    sums[3] += TIFFGetA(p);
                    ++n;
                }
            }
            for (unsigned c = 0; c < channels; ++c) {
                const auto average = std::uint8_t((sums[c] + n / 2) / n);
                differing +=
                    image.pixels[(std::size_t(y) * image.width + x) * channels + c] != average;
            }
        }
    }
    EXPECT_EQ(differing, 0u);
}

INSTANTIATE_TEST_SUITE_P(Layouts, DecodeKinds, ::testing::ValuesIn(kinds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Decode, bilevelAndGreyPagesDecodeToGreyColourPagesToRgba)
{
    testtiff::TempDir dir;
    testtiff::write(dir / "mixed.tif", {kind(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4),
                                        kind(8, 3, PHOTOMETRIC_RGB, COMPRESSION_LZW)});
    const auto document = TiffDocument::open(dir / "mixed.tif");
    EXPECT_EQ(document->decode(1).format, PageImage::Format::Grey8);
    EXPECT_EQ(document->decode(2).format, PageImage::Format::Rgba8);
    // Pages are decoded in any order from one open document.
    EXPECT_EQ(document->decode(1).format, PageImage::Format::Grey8);
}

TEST(Decode, theLastOfManyPagesDecodesLikeTheFirst)
{
    testtiff::TempDir dir;
    Page small = kind(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4);
    testtiff::write(dir / "many.tif", testtiff::numbered(300, small));
    const auto document = TiffDocument::open(dir / "many.tif");
    ASSERT_EQ(document->pageCount(), 300);
    EXPECT_EQ(compareWithLibtiff(dir / "many.tif", 300, 1), "");
    EXPECT_EQ(compareWithLibtiff(dir / "many.tif", 1, 1), "");
}

TEST(Decode, reportsResolutionInDotsPerInch)
{
    testtiff::TempDir dir;
    testtiff::write(dir / "p.tif", {Page{}});
    const PageImage image = TiffDocument::open(dir / "p.tif")->decode(1);
    EXPECT_DOUBLE_EQ(image.xDpi, 300);
    EXPECT_DOUBLE_EQ(image.yDpi, 300);
}

TEST(Decode, aPageOverTheLimitIsRefusedWithoutAllocatingIt)
{
    testtiff::TempDir dir;
    testtiff::write(dir / "big.tif",
                    {sized(kind(8, 3, PHOTOMETRIC_RGB, COMPRESSION_LZW), 400, 300)});
    const auto document = TiffDocument::open(dir / "big.tif");
    DecodeLimits limits;
    limits.maxDecodedBytes = 400 * 300 * 4 - 1;
    try {
        document->decode(1, limits);
        FAIL() << "decoded past the limit";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::TooLarge);
        EXPECT_NE(std::string(e.what()).find("Page 1 of big.tif"), std::string::npos) << e.what();
    }
    limits.maxDecodedBytes = 400 * 300 * 4;
    EXPECT_NO_THROW(document->decode(1, limits));
}

// A one-strip fax page of width × height, min-is-white, rows from rows(y).
void writeFaxPage(TIFF* tif, std::uint32_t width, std::uint32_t height,
                  const std::function<std::uint8_t(std::size_t, std::uint32_t)>& byteAt)
{
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
    std::vector<std::uint8_t> row(width / 8);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::size_t i = 0; i < row.size(); ++i)
            row[i] = byteAt(i, y);
        TIFFWriteScanline(tif, row.data(), y, 0);
    }
    TIFFWriteDirectory(tif);
}

TEST(Decode, rowsAFaxCodecNeverReachedShowWhiteAndTheDamageIsReported)
{
    // libtiff's fax codecs stop at a bad code word yet report the strip as read; the rows
    // after it must not show whatever an earlier page left in memory.
    testtiff::TempDir dir;
    const auto path = dir / "fax.tif";
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    writeFaxPage(tif, 256, 64, [](std::size_t, std::uint32_t) { return 0xff; }); // black
    writeFaxPage(tif, 256, 64, [](std::size_t i, std::uint32_t y) {
        return std::uint8_t((i * 37 + y * 11) ^ (y * 3));
    });
    TIFFClose(tif);
    tif = TIFFOpen(path.c_str(), "r");
    ASSERT_TRUE(TIFFSetDirectory(tif, 1));
    std::uint64_t* offsets = nullptr;
    std::uint64_t* counts = nullptr;
    TIFFGetField(tif, TIFFTAG_STRIPOFFSETS, &offsets);
    TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts);
    const std::uint64_t middle = offsets[0] + counts[0] / 2;
    TIFFClose(tif);
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(std::streamoff(middle));
        f.write("\0\0\0\0", 4);
    }

    const auto document = TiffDocument::open(path);
    document->decode(1);
    std::string damage;
    const PageImage first = document->decode(2, {}, &damage);
    EXPECT_NE(damage.find("Part of page 2 of fax.tif is damaged: Bad code word"), std::string::npos)
        << damage;
    // The last rows lie beyond the damage: white.
    for (std::uint32_t y = 60; y < 64; ++y) {
        for (std::uint32_t x = 0; x < 256; ++x)
            ASSERT_EQ(first.row(y)[x], 255) << x << "," << y;
    }
    document->decode(1);
    EXPECT_EQ(document->decode(2).pixels, first.pixels);
}

TEST(Decode, pageNumbersOutsideTheFileAreRefused)
{
    testtiff::TempDir dir;
    testtiff::write(dir / "two.tif", testtiff::numbered(2));
    const auto document = TiffDocument::open(dir / "two.tif");
    for (int page : {0, -1, 3}) {
        try {
            document->decode(page);
            FAIL() << "decoded page " << page;
        } catch (const EngineError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::PageRange);
            EXPECT_STREQ(
                e.what(),
                ("two.tif has no page " + std::to_string(page) + "; it has 2 page(s).").c_str());
        }
    }
}

TEST(Decode, aPageWhoseDataIsMissingIsReportedAsDamaged)
{
    testtiff::TempDir dir;
    Page whole;
    whole.rowsPerStrip = whole.height;
    testtiff::write(dir / "two.tif", testtiff::numbered(2, whole));
    testtiff::breakStripOffset(dir / "two.tif", 2);
    const auto document = TiffDocument::open(dir / "two.tif");
    EXPECT_NO_THROW(document->decode(1));
    try {
        document->decode(2);
        FAIL() << "decoded a page without data";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Damaged);
        EXPECT_NE(std::string(e.what()).find("page 2 of two.tif is damaged"), std::string::npos)
            << e.what();
    }
}

TEST(Open, theFactsOfEachPageAreReported)
{
    testtiff::TempDir dir;
    Page tiledPage = tiled(kind(8, 3, PHOTOMETRIC_RGB, COMPRESSION_LZW));
    testtiff::write(dir / "f.tif",
                    {kind(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4), tiledPage});
    const auto document = TiffDocument::open(dir / "f.tif");
    const PageInfo first = document->pageInfo(1);
    EXPECT_EQ(first.width, 40u);
    EXPECT_EQ(first.height, 30u);
    EXPECT_EQ(first.bitsPerSample, 1);
    EXPECT_EQ(first.compressionName(), "CCITT G4");
    EXPECT_EQ(first.photometricName(), "min-is-white");
    EXPECT_EQ(first.resolutionUnitName(), "inch");
    EXPECT_DOUBLE_EQ(first.xResolution, 300);
    EXPECT_FALSE(first.tiled);
    const PageInfo second = document->pageInfo(2);
    EXPECT_EQ(second.samplesPerPixel, 3);
    EXPECT_EQ(second.compressionName(), "LZW");
    EXPECT_TRUE(second.tiled);
}

TEST(Open, filesThatAreNoTiffsGiveASentenceNamingThem)
{
    testtiff::TempDir dir;
    struct Case
    {
        const char* name;
        std::string content;
        ErrorKind kind;
        const char* message;
    };
    const Case cases[] = {
        {"empty.tif", "", ErrorKind::NotTiff, "empty.tif is empty."},
        {"text.tif", "Hello, this is not an image at all.", ErrorKind::NotTiff,
         "text.tif is not a TIFF file: it does not begin like a TIFF file."},
        {"short.tif", "II*", ErrorKind::NotTiff,
         "short.tif is not a TIFF file: it is too short to be a TIFF file."},
        {"nopages.tif", std::string("II*\0\0\0\0\0", 8), ErrorKind::Damaged,
         "nopages.tif holds no pages."},
        {"pastend.tif", std::string("II*\0\x10\0\0\0", 8), ErrorKind::Damaged,
         "pastend.tif is damaged: its first page lies past the end of the file."},
    };
    for (const Case& c : cases) {
        {
            std::ofstream out(dir / c.name, std::ios::binary);
            out << c.content;
        }
        try {
            TiffDocument::open(dir / c.name);
            ADD_FAILURE() << c.name << " opened";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.kind(), c.kind) << c.name;
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    try {
        TiffDocument::open(dir / "missing.tif");
        ADD_FAILURE() << "a missing file opened";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::NotFound);
        EXPECT_STREQ(e.what(), "missing.tif does not exist.");
    }
}

TEST(Open, aLoopInThePageListShowsThePagesBeforeIt)
{
    testtiff::TempDir dir;
    testtiff::write(dir / "loop.tif", testtiff::numbered(3));
    testtiff::loopChain(dir / "loop.tif", 2, 1);
    const auto document = TiffDocument::open(dir / "loop.tif");
    EXPECT_EQ(document->pageCount(), 2);
    EXPECT_FALSE(document->complete());
    EXPECT_NE(document->pageListProblem().find("loop.tif"), std::string::npos);
    EXPECT_NO_THROW(document->decode(2));
}

TEST(Open, aFileReplacedOnDiskIsNoticed)
{
    testtiff::TempDir dir;
    testtiff::write(dir / "a.tif", testtiff::numbered(2));
    const auto document = TiffDocument::open(dir / "a.tif");
    EXPECT_FALSE(document->changedOnDisk());
    testtiff::write(dir / "b.tif", testtiff::numbered(3));
    std::filesystem::rename(dir / "b.tif", dir / "a.tif");
    EXPECT_TRUE(document->changedOnDisk());
    // The open document still reads the file it opened.
    EXPECT_EQ(document->pageCount(), 2);
    EXPECT_NO_THROW(document->decode(2));
}

} // namespace
