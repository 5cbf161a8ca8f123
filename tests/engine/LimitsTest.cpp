// Sizes a file declares are not sizes the engine allocates: pages far over the limit are
// refused or shown scaled down in bounded memory, tables of absurd length are refused, and
// files of many thousands of pages are counted quickly.

#include "TestTiff.h"

#include <tiffio.h>

using namespace testtiff;
using tessary::DecodeLimits;

namespace {

TEST(Limits, aPageOverTheLimitIsRefusedOrScaledAndNoBufferExceeds256MiB)
{
    // 20000 × 15000 bilevel pixels in one strip, white but for a black band of eight rows:
    // 300 MB as grey, more than the engine ever allocates at once, though under the default
    // limit of 512 MiB.
    TempDir dir(true);
    Page tall = sized(fax, 20000, 15000);
    tall.rowsPerStrip = 15000;
    tall.pixels = [](std::size_t, std::uint32_t y) {
        return y >= 7500 && y < 7508 ? 0xff : 0;
    };
    write(dir / "tall.tif", {tall});
    const auto document = TiffDocument::open(dir / "tall.tif");
    EXPECT_EQ(errorOf([&] { document->decode(1); }, ErrorKind::TooLarge),
              "Page 1 of tall.tif cannot be shown: it is too large to show (20000 by 15000 "
              "pixels).");
    const DecodeLimits limits{.scaleToFit = true};
    std::string damage;
    const PageImage image = document->decode(1, limits, &damage);
    ASSERT_EQ(std::tuple(damage, image.scale, image.width, image.height),
              std::tuple("", 2u, 10000u, 7500u));
    // The black band of eight rows shrinks to four; the white around it stays white.
    std::vector<int> column;
    for (std::uint32_t y = 3749; y <= 3754; ++y)
        column.push_back(image.row(y)[5000]);
    EXPECT_EQ(column, (std::vector<int>{255, 0, 0, 0, 0, 255}));
}

TEST(Limits, rowsOfOnePixelValueAndRowsOfManyAverageAlike)
{
    // Rows all of one value are summed by a shortcut; a width that is no multiple of eight
    // leaves padding bits in the last byte of each bilevel row, which must not count.
    TempDir dir(true);
    const fs::path path = dir / "rows.tif";
    Page rows{.width = 203, .height = 61, .bits = 1, .compression = COMPRESSION_PACKBITS};
    rows.rowsPerStrip = 16;
    // white or black with set padding bits, or stripes
    rows.pixels = [](std::size_t i, std::uint32_t y) {
        return std::uint8_t(y % 4 == 0   ? 0xff
                            : y % 4 == 1 ? (i == 25 ? 0x1f : 0)
                                         : 0xa5 ^ (y * 7 + i));
    };
    write(path, {rows});
    const auto document = TiffDocument::open(path);
    const PageImage full = document->decode(1);
    const DecodeLimits limits{.maxDecodedBytes = 41 * 13, .scaleToFit = true};
    const PageImage image = document->decode(1, limits);
    ASSERT_EQ(std::tuple(image.scale, image.width, image.height), std::tuple(5u, 41u, 13u));
    EXPECT_TRUE(image.pixels == averaged(full.pixels, 203, 61, 1, 5));
}

TEST(Limits, decompressionBombsOpenQuicklyAndShowScaledInBoundedMemory)
{
    const fs::path root = testdata();
    if (root.empty())
        GTEST_SKIP() << "the shared sample files are not present";
    struct Bomb
    {
        const char* file;
        std::uint32_t side;
        std::uint32_t scale;
    };
    for (const Bomb& bomb : {Bomb{"generated/bomb-g4-100000x100000-blank.tif", 100000, 7},
                             Bomb{"generated/bomb-deflate-30000x30000-zeros.tif", 30000, 2}}) {
        SCOPED_TRACE(bomb.file);
        const fs::path path = root / bomb.file;
        // Refused by default, with the page's size in the message.
        const ChildRun refused = inChild([&] {
            const std::string size =
                std::to_string(bomb.side) + " by " + std::to_string(bomb.side) + " pixels";
            try {
                TiffDocument::open(path)->decode(1);
            } catch (const EngineError& e) {
                return e.kind() == ErrorKind::TooLarge && contains(e.what(), size) ? 0 : 3;
            }
            return 4;
        });
        EXPECT_EQ(refused.status, 0);
        EXPECT_LT(refused.peakMiB, 64);
        // Scaled down to fit, in the memory of the result.
        const ChildRun scaled = inChild([&] {
            const PageImage image = TiffDocument::open(path)->decode(1, {.scaleToFit = true});
            const std::uint32_t side = (bomb.side + bomb.scale - 1) / bomb.scale;
            if (image.scale != bomb.scale || image.width != side || image.height != side)
                return 3;
            // Blank pages: every pixel white (the G4 page) or black (the zeros).
            for (std::uint32_t y = 0; y < image.height; y += 97) {
                for (std::uint32_t x = 0; x < image.width; ++x) {
                    if (image.row(y)[x] != image.pixels[0])
                        return 5;
                }
            }
            return 0;
        });
        EXPECT_EQ(scaled.status, 0);
        EXPECT_TRUE(sanitized || scaled.peakMiB < 512) << scaled.peakMiB;
    }
}

TEST(Limits, tagsOfAbsurdLengthAreNotReadIntoMemory)
{
    // A page with a private tag that claims 300 million directory pointers, in a sparse file
    // large enough to hold them: reading them as numbers would take gigabytes. The copy
    // leaves the tag out (it points nowhere a reader could use) or refuses the page.
    TempDir dir(true);
    const fs::path path = dir / "absurd.tif";
    write(path, {Page{}});
    const std::uint32_t pointers = 300000000;
    const auto tableAt = std::uint32_t(fs::file_size(path) + 16);
    // The last entry (Software, or whichever sorts last) becomes tag 65100 of type IFD.
    const auto entries = entryOffsets(path, 1);
    const std::uint64_t last = entries[entries.size() - 2];
    patch(path, last, 65100, 2);
    patch(path, last + 2, 13, 2);
    patch(path, last + 4, pointers);
    patch(path, last + 8, tableAt);
    fs::resize_file(path, std::uint64_t(tableAt) + std::uint64_t(pointers) * 4 + 16);

    const ChildRun run = inChild([&] {
        try {
            PageEngine().extractPages(path, 1, 1, dir / "copy.tif");
            TiffDocument::open(dir / "copy.tif")->decode(1);
        } catch (const EngineError& e) {
            return contains(e.what(), "age 1 of absurd.tif") ? 0 : 3;
        }
        return 0;
    });
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(sanitized || run.peakMiB < 512) << run.peakMiB;
}

TEST(Limits, twentyThousandPagesAreCountedWhole)
{
    const fs::path root = testdata();
    if (root.empty())
        GTEST_SKIP() << "the shared sample files are not present";
    const auto document = TiffDocument::open(root / "generated/pages-20000-tiny.tif");
    EXPECT_EQ(document->pageCount(), 20000);
    EXPECT_TRUE(document->complete());
    EXPECT_NO_THROW(document->decode(20000));
}

} // namespace
