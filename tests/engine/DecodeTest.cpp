// Decoding pages for display: every layout and compression libtiff reads, compared pixel
// for pixel with libtiff's own RGBA reader.

#include "TestTiff.h"

#include <fstream>
#include <tiffio.h>

using namespace testtiff;
using tessary::DecodeLimits;

namespace {

struct Kind
{
    const char* name;
    Page page;
    friend void PrintTo(const Kind& kind, std::ostream* out) { *out << kind.name; }
};

constexpr std::uint16_t white = PHOTOMETRIC_MINISWHITE, rgb = PHOTOMETRIC_RGB,
                        palette = PHOTOMETRIC_PALETTE, lzw = COMPRESSION_LZW,
                        deflate = COMPRESSION_ADOBE_DEFLATE, packbits = COMPRESSION_PACKBITS,
                        g4 = COMPRESSION_CCITTFAX4, jpg = COMPRESSION_JPEG;

const Kind kinds[] = {
    {"bilevel_none", {.bits = 1, .photometric = white}},
    {"bilevel_min_is_black", {.bits = 1, .compression = packbits}},
    {"g3", {.bits = 1, .photometric = white, .compression = COMPRESSION_CCITTFAX3}},
    {"g4", {.width = 203, .height = 77, .bits = 1, .photometric = white, .compression = g4}},
    {"g4_tiled", {.bits = 1, .photometric = white, .compression = g4, .tiled = true}},
    {"grey2", {.bits = 2}},
    {"grey4_white", {.bits = 4, .photometric = white, .compression = lzw}},
    {"grey8", {}},
    {"grey8_white_deflate", {.photometric = white, .compression = deflate}},
    {"grey8_lzw_predictor", {.compression = lzw, .predictor = 2}},
    {"grey8_tiled_packbits", {.compression = packbits, .tiled = true}},
    {"grey8_white_tiled_lzw", {.photometric = white, .compression = lzw, .tiled = true}},
    {"grey8_jpeg", {.compression = jpg}},
    {"grey16", {.bits = 16}},
    {"grey16_tiled", {.bits = 16, .tiled = true}},
    {"grey16_lzw_predictor", {.bits = 16, .compression = lzw, .predictor = 2}},
    {"grey_alpha", {.samples = 2, .extraSample = EXTRASAMPLE_ASSOCALPHA}},
    {"palette1", {.bits = 1, .photometric = palette}},
    {"palette4", {.bits = 4, .photometric = palette, .compression = packbits}},
    {"palette8", {.photometric = palette, .compression = lzw}},
    {"rgb8", {.samples = 3, .photometric = rgb}},
    {"rgb8_lzw", {.samples = 3, .photometric = rgb, .compression = lzw}},
    {"rgb8_deflate_tiled",
     {.samples = 3, .photometric = rgb, .compression = deflate, .tiled = true}},
    {"rgb8_planar", {.samples = 3, .photometric = rgb, .compression = packbits, .planar = 2}},
    {"rgb8_jpeg", {.samples = 3, .photometric = rgb, .compression = jpg}},
    {"rgb16", {.bits = 16, .samples = 3, .photometric = rgb, .compression = deflate}},
    {"rgba_associated",
     {.samples = 4, .photometric = rgb, .compression = lzw, .extraSample = EXTRASAMPLE_ASSOCALPHA}},
    {"rgba_unassociated",
     {.samples = 4, .photometric = rgb, .extraSample = EXTRASAMPLE_UNASSALPHA}},
    {"cmyk8", {.samples = 4, .photometric = PHOTOMETRIC_SEPARATED, .compression = lzw}},
    {"ycbcr_jpeg", sized(jpeg, 64, 48)},
    {"ycbcr_jpeg_tiled",
     sized({.samples = 3, .photometric = 6, .compression = jpg, .tiled = true}, 64, 48)},
    {"orientation2", {.orientation = 2}},
    {"orientation3", {.samples = 3, .photometric = rgb, .orientation = 3}},
    {"orientation4",
     {.bits = 1, .photometric = white, .compression = g4, .orientation = 4, .yResolution = 200}},
    {"orientation5", {.compression = lzw, .orientation = 5, .yResolution = 200}},
    {"orientation6", {.samples = 3, .photometric = rgb, .compression = lzw, .orientation = 6}},
    {"orientation7", {.bits = 1, .photometric = white, .compression = g4, .orientation = 7}},
    {"orientation8", {.samples = 3, .photometric = rgb, .orientation = 8, .yResolution = 200}},
};

class DecodeKinds : public ::testing::TestWithParam<Kind>
{};

TEST_P(DecodeKinds, matchLibtiffsOwnReaderWholeAndScaledToFit)
{
    TempDir dir;
    const fs::path path = dir / "page.tif";
    const Page& page = GetParam().page;
    write(path, {page});
    // Grey and bilevel pages decode to grey, all others to RGBA; at the page's resolution.
    PageImage image;
    ASSERT_TRUE(decodesAsLibtiff(path, 1, &image));
    const bool grey = page.samples == 1 && page.photometric <= 1;
    ASSERT_EQ(image.format, grey ? PageImage::Format::Grey8 : PageImage::Format::Rgba8);
    // Turned a quarter (orientations 5 to 8), its x and y resolutions trade places.
    const double y = page.yResolution;
    EXPECT_EQ(std::pair(image.xDpi, image.yDpi),
              page.orientation >= 5 ? std::pair(y, 300.0) : std::pair(300.0, y));

    // Over the limit, scaled to fit: each pixel is the average of a 2 × 2 block of the
    // pixels libtiff reads, whichever way the page is read (row by row, or in bands through
    // the general reader).
    const std::uint32_t w = image.width;
    const std::uint32_t h = image.height;
    const unsigned channels = grey ? 1 : 4;
    const DecodeLimits limits{.maxDecodedBytes =
                                  std::uint64_t((w + 1) / 2) * ((h + 1) / 2) * channels,
                              .scaleToFit = true};
    std::string damage;
    const PageImage scaled = TiffDocument::open(path)->decode(1, limits, &damage);
    EXPECT_EQ(std::tuple(damage, scaled.scale, scaled.width, scaled.height, scaled.xDpi),
              std::tuple("", 2u, (w + 1) / 2, (h + 1) / 2, image.xDpi / 2));
    EXPECT_TRUE(scaled.pixels == averaged(image.pixels, w, h, channels, 2));
}

INSTANTIATE_TEST_SUITE_P(Layouts, DecodeKinds, ::testing::ValuesIn(kinds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Decode, aFileOfHundredsOfPagesIsReadToItsLastPageAndKeepsItsOrder)
{
    TempDir dir;
    write(dir / "many.tif", numbered(300, {.bits = 1, .photometric = white, .compression = g4}));
    ASSERT_EQ(TiffDocument::open(dir / "many.tif")->pageCount(), 300);
    EXPECT_TRUE(decodesAsLibtiff(dir / "many.tif", 300));
    PageEngine().deletePages(dir / "many.tif", 2, 297);
    EXPECT_EQ(pageNames(dir / "many.tif"), "1 299 300");
}

TEST(Decode, pagesOverTheLimitOrOutsideTheFileAreRefused)
{
    TempDir dir;
    write(dir / "big.tif",
          numbered(2, {.width = 400, .height = 300, .samples = 3, .photometric = rgb}));
    const auto document = TiffDocument::open(dir / "big.tif");
    EXPECT_TRUE(
        contains(errorOf([&] { document->decode(1, {.maxDecodedBytes = 400 * 300 * 4 - 1}); },
                         ErrorKind::TooLarge),
                 "Page 1 of big.tif"));
    EXPECT_NO_THROW(document->decode(1, {.maxDecodedBytes = 400 * 300 * 4}));
    for (int page : {0, -1, 3}) {
        EXPECT_EQ(errorOf([&] { document->decode(page); }, ErrorKind::PageRange),
                  "big.tif has no page " + std::to_string(page) + "; it has 2 page(s).");
    }
}

TEST(Decode, rowsAFaxCodecNeverReachedShowWhiteAndTheDamageIsReported)
{
    // libtiff's fax codecs stop at a bad code word yet report the strip as read; the rows
    // after it must not show whatever an earlier page left in memory.
    TempDir dir;
    const fs::path path = dir / "fax.tif";
    Page black{.width = 256, .height = 64, .bits = 1, .photometric = white, .compression = g4};
    black.rowsPerStrip = 64;
    Page busy = black;
    black.pixels = [](std::size_t, std::uint32_t) {
        return std::uint8_t(0xff);
    };
    busy.pixels = [](std::size_t i, std::uint32_t y) {
        return std::uint8_t((i * 37 + y * 11) ^ (y * 3));
    };
    write(path, {black, busy});
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    ASSERT_TRUE(tif && TIFFSetDirectory(tif, 1));
    const std::uint64_t middle = TIFFGetStrileOffset(tif, 0) + TIFFGetStrileByteCount(tif, 0) / 2;
    TIFFClose(tif);
    patch(path, middle, 0);

    const auto document = TiffDocument::open(path);
    document->decode(1);
    std::string damage;
    const PageImage first = document->decode(2, {}, &damage);
    EXPECT_TRUE(contains(damage, "Part of page 2 of fax.tif is damaged: Bad code word"));
    // The last rows lie beyond the damage: white.
    for (std::uint32_t y = 60; y < 64; ++y)
        ASSERT_EQ(std::vector<std::uint8_t>(first.row(y), first.row(y) + 256),
                  std::vector<std::uint8_t>(256, 255))
            << y;
    document->decode(1);
    EXPECT_EQ(document->decode(2).pixels, first.pixels);
}

TEST(Decode, aStripThatFailsToDecodeShowsWhiteAndIsReportedWholeOrScaled)
{
    // One row a strip; the codes of one strip are garbage, its neighbours are intact.
    const auto breakStrip = [](const fs::path& path, std::uint32_t strip) {
        TIFF* tif = TIFFOpen(path.c_str(), "r");
        ASSERT_TRUE(tif);
        const std::uint64_t offset = TIFFGetStrileOffset(tif, strip);
        TIFFClose(tif);
        patch(path, offset, 0xffffffff);
    };
    TempDir dir;
    const fs::path path = dir / "strips.tif";
    write(path, {{.compression = lzw, .rowsPerStrip = 1}});
    std::vector<std::uint8_t> expected = TiffDocument::open(path)->decode(1).pixels;
    std::fill_n(expected.begin() + 4 * 40, 40, 255);
    breakStrip(path, 4);

    const auto document = TiffDocument::open(path);
    for (std::uint32_t scale : {1u, 2u}) {
        std::string damage;
        const PageImage image = document->decode(
            1, {.maxDecodedBytes = 40 * 30 / scale / scale, .scaleToFit = true}, &damage);
        EXPECT_TRUE(contains(damage, "Part of page 1 of strips.tif is damaged")) << scale;
        EXPECT_TRUE(image.pixels == averaged(expected, 40, 30, 1, scale)) << scale;
    }

    // Pages of 16 bits go through libtiff's RGBA reader: scaled, it decodes a band of two
    // strips at a time and calls the band read when only its second strip fails.
    const fs::path deep = dir / "deep.tif";
    write(deep, {{.bits = 16, .compression = lzw, .rowsPerStrip = 1}});
    breakStrip(deep, 5);
    std::string damage;
    const DecodeLimits halved{.maxDecodedBytes = 40 * 30, .scaleToFit = true};
    EXPECT_EQ(TiffDocument::open(deep)->decode(1, halved, &damage).scale, 2u);
    EXPECT_TRUE(contains(damage, "Part of page 1 of deep.tif is damaged")) << damage;
}

TEST(Open, filesThatAreNoTiffsGiveASentenceNamingThem)
{
    TempDir dir;
    struct Case
    {
        const char* name;
        std::optional<std::string> content; // none: the file does not exist
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
        {"missing.tif", std::nullopt, ErrorKind::NotFound, "missing.tif does not exist."},
    };
    for (const Case& c : cases) {
        if (c.content)
            std::ofstream(dir / c.name, std::ios::binary) << *c.content;
        EXPECT_EQ(errorOf([&] { TiffDocument::open(dir / c.name); }, c.kind), c.message);
    }
}

} // namespace
