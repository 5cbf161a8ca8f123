// Turning pages: every kind of page made here and every page of the shared samples turns
// to exactly its pixels turned, and back after four quarter turns or two half turns;
// every other tag and every other page stays as it was; JPEG pages keep every DCT
// coefficient; what cannot be turned in its data is turned by its orientation tag.

#include "TestTiff.h"

#include <cstdio>
#include <jpeglib.h>
#include <tiffio.h>

#ifdef _WIN32
#define TIFFOpen TIFFOpenW // a Windows name is UTF-16
#endif

using namespace testtiff;

namespace {

// An image of packed pixels, rows of whole bytes: the reference turns it plainly, pixel by
// pixel, a quarter clockwise at a time.
struct Image
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    unsigned bits = 8;
    std::vector<std::uint8_t> bytes;

    std::size_t stride() const { return (std::size_t(width) * bits + 7) / 8; }
    std::uint64_t at(std::uint32_t x, std::uint32_t y) const
    {
        std::uint64_t v = 0;
        for (std::size_t b = std::size_t(x) * bits, i = 0; i < bits; ++i, ++b)
            v = v << 1 | (bytes[y * stride() + b / 8] >> (7 - b % 8) & 1u);
        return v;
    }
    void set(std::uint32_t x, std::uint32_t y, std::uint64_t v)
    {
        for (std::size_t b = std::size_t(x) * bits, i = 0; i < bits; ++i, ++b)
            if (v >> (bits - 1 - i) & 1u)
                bytes[y * stride() + b / 8] |= std::uint8_t(0x80u >> (b % 8));
    }
    friend bool operator==(const Image&, const Image&) = default;
};

Image turnedClockwise(Image in, int quarters)
{
    for (int q = 0; q < quarters; ++q) {
        Image out{in.height, in.width, in.bits, {}};
        out.bytes.assign(out.stride() * out.height, 0);
        for (std::uint32_t y = 0; y < out.height; ++y)
            for (std::uint32_t x = 0; x < out.width; ++x)
                out.set(x, y, in.at(y, in.height - 1 - x));
        in = out;
    }
    return in;
}

// The page as libtiff's RGBA reader shows it, upright.
Image seen(const fs::path& path, int page)
{
    Image image{0, 0, 32, {}};
    for (const std::uint32_t p : upright(path, page, image.width, image.height))
        for (int i = 3; i >= 0; --i)
            image.bytes.push_back(std::uint8_t(p >> (8 * i)));
    return image;
}

// The planes of a page stored in strips, as libtiff decodes them, rows of whole bytes.
std::vector<Image> planes(const fs::path& path, int page, const Page& kind, bool turned)
{
    const std::vector<std::uint8_t> all = samples(path, page);
    const bool separate = kind.planar == 2;
    std::vector<Image> out(separate ? kind.samples : 1);
    for (std::size_t p = 0; p < out.size(); ++p) {
        Image& image = out[p];
        image = {turned ? kind.height : kind.width,
                 turned ? kind.width : kind.height,
                 unsigned(kind.bits) * (separate ? 1u : kind.samples),
                 {}};
        const std::size_t size = image.stride() * image.height;
        image.bytes.assign(all.begin() + std::ptrdiff_t(p * size),
                           all.begin() + std::ptrdiff_t((p + 1) * size));
        // Bits behind a row's last pixel are no pixel's.
        for (std::uint32_t y = 0; y < image.height; ++y)
            for (std::size_t b = std::size_t(image.width) * image.bits; b % 8; ++b)
                image.bytes[y * image.stride() + b / 8] &= std::uint8_t(~(0x80u >> (b % 8)));
    }
    return out;
}

std::vector<std::string> tagsBut(const fs::path& path, int page, std::vector<std::string> but)
{
    std::vector<std::string> kept;
    for (const std::string& line : tagLines(path, page))
        if (std::none_of(but.begin(), but.end(), [&](const auto& b) { return contains(line, b); }))
            kept.push_back(line);
    return kept;
}

// What a turn may change: the image's size, resolution, strips or tiles, orientation.
const std::vector<std::string> turnedTags = {"Image Width", "Resolution:", "Rows/Strip",
                                             "Tile Width",  "Orientation", "Strip"};

struct Kind
{
    const char* name;
    Page page;
    char order = 'l';
};

// Every compression the engine writes again, and the bit depths, planes and layouts.
const Kind kinds[] = {
    {"g4_fax", fax},
    {"g3_fax_2d", {.bits = 1, .photometric = 0, .compression = 3}},
    {"g4_tiled", {.bits = 1, .photometric = 0, .compression = 4, .tiled = true}},
    {"one_bit_odd_width", sized({.bits = 1, .photometric = 0}, 37, 21)},
    {"two_bit_grey", {.bits = 2, .compression = 32773}},
    {"four_bit_palette", {.bits = 4, .photometric = 3, .compression = 32773}},
    {"eight_bit_grey_packbits", {.compression = 32773, .rowsPerStrip = 30}},
    {"twelve_bit_grey", {.bits = 12}},
    {"sixteen_bit_deflate_big_endian", deep, 'b'},
    {"colour_lzw_tiled_predictor", colour},
    {"colour_planes_lzw", {.samples = 3, .photometric = 2, .compression = 5, .planar = 2}},
    {"rgba_deflate", {.samples = 4, .photometric = 2, .compression = 8, .extraSample = 2}},
    {"cmyk_lzw_predictor", {.samples = 4, .photometric = 5, .compression = 5, .predictor = 2}},
    {"zstd", {.compression = 50000}},
    {"lzma", {.compression = 34925}},
};

class EveryKind : public ::testing::TestWithParam<Kind>
{
protected:
    void SetUp() override
    {
        if (!TIFFIsCODECConfigured(GetParam().page.compression))
            GTEST_SKIP() << "libtiff has no codec " << GetParam().page.compression;
        kind = GetParam().page;
        kind.yResolution = 150;
        kind.metadata = true;
        write(original, {kind, fax}, false, GetParam().order);
    }
    void turn(int degrees) { EXPECT_EQ(PageEngine().rotatePages(file, 1, 1, degrees).message, ""); }

    TempDir dir;
    fs::path original = dir / "original.tif";
    fs::path file = dir / "turned.tif";
    Page kind;
};

TEST_P(EveryKind, turnsToItsPixelsTurnedAndKeepsEveryOtherTagAndPage)
{
    for (const int quarters : {1, 2, 3}) {
        SCOPED_TRACE(quarters);
        copyOver(original, file);
        turn(90 * quarters);
        if (!kind.tiled) {
            std::vector<Image> expected = planes(original, 1, kind, false);
            for (Image& plane : expected)
                plane = turnedClockwise(plane, quarters);
            EXPECT_TRUE(planes(file, 1, kind, quarters % 2) == expected);
        }
        const Image before = seen(original, 1);
        if (!before.bytes.empty()) {
            EXPECT_TRUE(seen(file, 1) == turnedClockwise(before, quarters));
        }
        EXPECT_EQ(tagsBut(file, 1, turnedTags), tagsBut(original, 1, turnedTags));
        EXPECT_EQ(comparePages(original, 2, file, 2), "");
        const auto info = TiffDocument::open(file)->pageInfo(1);
        const bool quarter = quarters % 2;
        EXPECT_EQ(std::tuple(info.width, info.xResolution),
                  std::tuple(quarter ? kind.height : kind.width, quarter ? 150.0 : 300.0));
    }
}

TEST_P(EveryKind, fourQuarterTurnsOrTwoHalfTurnsGiveTheOriginalPixels)
{
    for (const int degrees : {90, 180}) {
        copyOver(original, file);
        for (int turns = 0; turns < 360 / degrees; ++turns)
            turn(degrees);
        if (!kind.tiled) {
            EXPECT_TRUE(planes(file, 1, kind, false) == planes(original, 1, kind, false));
        }
        EXPECT_TRUE(seen(file, 1) == seen(original, 1)) << degrees;
        EXPECT_EQ(tagsBut(file, 1, {"Strip"}), tagsBut(original, 1, {"Strip"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Pages, EveryKind, ::testing::ValuesIn(kinds),
                         [](const auto& info) { return std::string(info.param.name); });

// The DCT coefficients of a page, component by component, in blocks of 64 over the whole
// page (strips one below the other, tiles side by side), read with libjpeg.
struct Coefficients
{
    std::vector<std::vector<JCOEF>> blocks; // per component
    std::vector<std::size_t> across;        // blocks a row
    std::vector<std::size_t> down;
};

Coefficients coefficientsOf(const fs::path& path, int page)
{
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    TIFFSetDirectory(tif, tdir_t(page - 1));
    std::uint32_t tableSize = 0;
    void* tables = nullptr;
    TIFFGetField(tif, TIFFTAG_JPEGTABLES, &tableSize, &tables);
    const bool tiled = TIFFIsTiled(tif);
    std::uint32_t width = 0;
    std::uint32_t tileWidth = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
    const std::uint32_t blocks = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    const std::uint32_t across = tiled ? (width + tileWidth - 1) / tileWidth : 1;
    Coefficients out;
    std::vector<std::vector<std::vector<JCOEF>>> grid(blocks); // block, component, coefficients
    std::vector<std::size_t> w;
    std::vector<std::size_t> h;
    for (std::uint32_t b = 0; b < blocks; ++b) {
        std::vector<std::uint8_t> data(TIFFGetStrileByteCount(tif, b));
        tiled ? TIFFReadRawTile(tif, b, data.data(), tmsize_t(data.size()))
              : TIFFReadRawStrip(tif, b, data.data(), tmsize_t(data.size()));
        jpeg_decompress_struct info{};
        jpeg_error_mgr errors{};
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, static_cast<unsigned char*>(tables), tableSize);
        jpeg_read_header(&info, FALSE);
        jpeg_mem_src(&info, data.data(), data.size());
        jpeg_read_header(&info, TRUE);
        jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
        w.resize(std::size_t(info.num_components));
        h.resize(w.size());
        for (int c = 0; c < info.num_components; ++c) {
            const jpeg_component_info& comp = info.comp_info[c];
            w[std::size_t(c)] = comp.width_in_blocks;
            h[std::size_t(c)] = comp.height_in_blocks;
            auto& mine = grid[b].emplace_back();
            for (JDIMENSION r = 0; r < comp.height_in_blocks; ++r) {
                JBLOCKARRAY row = info.mem->access_virt_barray(
                    reinterpret_cast<j_common_ptr>(&info), arrays[c], r, 1, FALSE);
                const auto* first = reinterpret_cast<const JCOEF*>(row[0]);
                mine.insert(mine.end(), first, first + 64 * comp.width_in_blocks);
            }
        }
        jpeg_destroy_decompress(&info);
    }
    TIFFClose(tif);
    // Whole blocks of the page only: tiles are cut to the blocks the image covers below.
    for (std::size_t c = 0; c < w.size(); ++c) {
        out.across.push_back(w[c] * across);
        out.down.push_back(0);
        for (std::uint32_t b = 0; b < blocks; b += across)
            out.down[c] += h[c];
        auto& all = out.blocks.emplace_back(out.across[c] * out.down[c] * 64);
        for (std::uint32_t b = 0, top = 0; b < blocks; ++b) {
            const std::size_t left = (b % across) * w[c];
            for (std::size_t r = 0; r < h[c]; ++r)
                std::copy_n(grid[b][c].begin() + std::ptrdiff_t(r * w[c] * 64), w[c] * 64,
                            all.begin() + std::ptrdiff_t(((top + r) * out.across[c] + left) * 64));
            if (b % across == across - 1)
                top += std::uint32_t(h[c]);
        }
    }
    return out;
}

// A quarter turn clockwise in the DCT domain: a block's rows become its columns, and the
// new columns run the other way, which turns the sign of odd horizontal frequencies.
Coefficients quarterTurned(const Coefficients& in)
{
    Coefficients out{{}, in.down, in.across};
    for (std::size_t c = 0; c < in.blocks.size(); ++c) {
        auto& to = out.blocks.emplace_back(in.blocks[c].size());
        for (std::size_t y = 0; y < out.down[c]; ++y)
            for (std::size_t x = 0; x < out.across[c]; ++x)
                for (int v = 0; v < 8; ++v)
                    for (int u = 0; u < 8; ++u)
                        to[(y * out.across[c] + x) * 64 + std::size_t(v * 8 + u)] =
                            JCOEF((u % 2 ? -1 : 1) *
                                  in.blocks[c][((in.down[c] - 1 - x) * in.across[c] + y) * 64 +
                                               std::size_t(u * 8 + v)]);
    }
    return out;
}

TEST(Rotation, jpegPagesKeepEveryCoefficientTurned)
{
    TempDir dir;
    // One strip, strips of a row of blocks, tiles; whole blocks of 16 by 16 pixels.
    std::vector<Page> pages = {sized(jpeg, 64, 48), sized(jpeg, 64, 48), sized(jpeg, 64, 64)};
    pages[0].rowsPerStrip = 48;
    pages[2].tiled = true;
    pages[2].tile = 32;
    write(dir / "jpeg.tif", pages);
    for (int page = 1; page <= 3; ++page) {
        const Coefficients original = coefficientsOf(dir / "jpeg.tif", page);
        Coefficients expected = original;
        for (const int quarters : {1, 2, 3}) {
            SCOPED_TRACE(std::to_string(page) + ", " + std::to_string(quarters));
            expected = quarterTurned(expected);
            copyOver(dir / "jpeg.tif", dir / "turned.tif");
            EXPECT_EQ(PageEngine().rotatePages(dir / "turned.tif", page, 1, 90 * quarters).message,
                      "");
            const Coefficients turned = coefficientsOf(dir / "turned.tif", page);
            ASSERT_EQ(turned.across, expected.across);
            ASSERT_EQ(turned.down, expected.down);
            EXPECT_TRUE(turned.blocks == expected.blocks);
            EXPECT_EQ(tagsBut(dir / "turned.tif", page, turnedTags),
                      tagsBut(dir / "jpeg.tif", page, turnedTags));
        }
    }
}

TEST(Rotation, whatCannotBeTurnedInItsDataIsTurnedByItsOrientationTag)
{
    TempDir dir;
    // JPEG of 40 by 30 pixels ends on no whole block of 16; a fax page seen turned right.
    Page turnedFax = fax;
    turnedFax.orientation = 6;
    write(dir / "a.tif", {jpeg, turnedFax, jpeg, fax});
    fs::copy_file(dir / "a.tif", dir / "b.tif");
    fs::copy_file(dir / "a.tif", dir / "c.tif");
    EXPECT_EQ(PageEngine().rotatePages(dir / "b.tif", 1, 3, 90).message,
              "Pages 1 and 3 of b.tif were turned by their orientation tag only, as their JPEG "
              "data does not end on whole blocks at the edges the turn moves, and JPEG data is "
              "never compressed again; programs that ignore that tag show them as before.");
    for (int page = 1; page <= 3; ++page) {
        EXPECT_TRUE(seen(dir / "b.tif", page) == turnedClockwise(seen(dir / "a.tif", page), 1))
            << page;
        EXPECT_EQ(tagsBut(dir / "b.tif", page, turnedTags),
                  tagsBut(dir / "a.tif", page, turnedTags));
    }
    EXPECT_EQ(samples(dir / "b.tif", 1), samples(dir / "a.tif", 1));
    EXPECT_EQ(comparePages(dir / "a.tif", 4, dir / "b.tif", 4), "");
    // Turned back, the JPEG page is as it was; a page seen turned right, turned left, is
    // stored upright as it was, and only its tag changes.
    EXPECT_EQ(PageEngine().rotatePages(dir / "b.tif", 1, 1, 270).message, "");
    EXPECT_EQ(comparePages(dir / "a.tif", 1, dir / "b.tif", 1), "");
    EXPECT_EQ(PageEngine().rotatePages(dir / "c.tif", 2, 1, 270).message, "");
    EXPECT_EQ(samples(dir / "c.tif", 2), samples(dir / "a.tif", 2));
    EXPECT_TRUE(seen(dir / "c.tif", 2) == turnedClockwise(seen(dir / "a.tif", 2), 3));
}

// libtiff's one-dimensional G3 decoder takes fewer changes of colour in a line than its
// encoder writes: a line of alternating pixels that begins black is written but not read back.
TEST(Rotation, aFaxPageItsCodecWouldNotReadBackIsTurnedByItsOrientationTag)
{
    TempDir dir;
    {
        TIFF* tif = TIFFOpen((dir / "a.tif").c_str(), "w");
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 32);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
        TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, 0);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2);
        // Turned half round, the second line becomes the first, alternating from black.
        std::uint8_t lines[2][4] = {{0xaa, 0x00, 0x00, 0x3a}, {0x55, 0x55, 0x55, 0x55}};
        for (std::uint32_t y = 0; y < 2; ++y)
            ASSERT_EQ(TIFFWriteScanline(tif, lines[y], y, 0), 1);
        TIFFClose(tif);
    }
    fs::copy_file(dir / "a.tif", dir / "b.tif");
    EXPECT_EQ(PageEngine().rotatePages(dir / "b.tif", 1, 1, 180).message,
              "Page 1 of b.tif was turned by its orientation tag only, as its compression "
              "(CCITT G3) cannot be written again without loss; programs that ignore that tag "
              "show it as before.");
    EXPECT_EQ(samples(dir / "b.tif", 1), samples(dir / "a.tif", 1));
    EXPECT_TRUE(seen(dir / "b.tif", 1) == turnedClockwise(seen(dir / "a.tif", 1), 2));
}

TEST(Rotation, anAngleOtherThanAQuarterTurnIsRefusedAndChangesNothing)
{
    TempDir dir;
    write(dir / "a.tif", numbered(2));
    const auto before = bytes(dir / "a.tif");
    EXPECT_EQ(
        errorOf([&] { PageEngine().rotatePages(dir / "a.tif", 1, 1, 45); }, ErrorKind::Unsupported),
        "Pages are turned by 90, 180 or 270 degrees, not 45; nothing was changed.");
    EXPECT_EQ(
        errorOf([&] { PageEngine().rotatePages(dir / "a.tif", 2, 2, 90); }, ErrorKind::PageRange),
        "a.tif has no pages 2 to 3; it has 2 page(s).");
    EXPECT_EQ(bytes(dir / "a.tif"), before);
    EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"a.tif"});
}

// Every page of every valid sample turned a quarter shows its pixels turned (JPEG pages,
// whose decoding is not exact under a turn, apart), and four quarter turns show the page
// as before, JPEG pages included: their coefficients are the original's again.
TEST(Rotation, everyPageOfTheSharedSamplesTurnsAndTurnsBack)
{
    if (testdata().empty())
        GTEST_SKIP() << "the shared sample files are not there";
    TempDir dir;
    int turned = 0;
    for (const char* folder : {"valid", "multipage"}) {
        for (const auto& entry : fs::directory_iterator(testdata() / folder)) {
            const fs::path file = dir / "turned.tif";
            copyOver(entry.path(), file);
            fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
            const std::string name = entry.path().filename().string();
            int pages = 0;
            try {
                pages = TiffDocument::open(file)->pageCount();
                PageEngine().rotatePages(file, 1, pages, 90);
            } catch (const EngineError& e) {
                // Files no operation changes (a broken page list, pages that cannot be read).
                EXPECT_TRUE(contains(e.what(), "turned.tif")) << name;
                continue;
            }
            for (int page = 1; page <= pages; ++page) {
                const Image before = seen(entry.path(), page);
                std::uint16_t compression = 1;
                TIFF* tif = TIFFOpen(entry.path().c_str(), "r");
                TIFFSetDirectory(tif, tdir_t(page - 1));
                TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
                TIFFClose(tif);
                if (!before.bytes.empty() && compression != COMPRESSION_JPEG) {
                    EXPECT_TRUE(seen(file, page) == turnedClockwise(before, 1))
                        << name << " page " << page;
                }
                turned += !before.bytes.empty();
            }
            for (int turns = 1; turns < 4; ++turns)
                PageEngine().rotatePages(file, 1, pages, 90);
            for (int page = 1; page <= pages; ++page) {
                EXPECT_TRUE(seen(file, page) == seen(entry.path(), page))
                    << name << " page " << page;
            }
        }
    }
    EXPECT_GT(turned, 100);
}

} // namespace
