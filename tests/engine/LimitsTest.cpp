// Sizes a file declares are not sizes the engine allocates: pages far over the limit are
// refused or shown scaled down in bounded memory, tables of absurd length are refused, and
// files of many thousands of pages are counted quickly.

#include "EngineError.h"
#include "PageEngine.h"
#include "TestTiff.h"
#include "TiffDocument.h"

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

using namespace tessary;
namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif
#else
constexpr bool sanitized = false;
#endif

struct ChildRun
{
    bool exited = false;
    int status = -1;
    long peakMiB = 0;
    double seconds = 0;
};

// Runs work in a child process, so that its peak memory can be measured on its own.
ChildRun inChild(const std::function<int()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        int status = 1;
        try {
            status = work();
        } catch (...) {
            status = 2;
        }
        _exit(status);
    }
    ChildRun run;
    int status = 0;
    struct rusage usage
    {};
    if (child > 0 && wait4(child, &status, 0, &usage) == child) {
        run.exited = WIFEXITED(status);
        run.status = run.exited ? WEXITSTATUS(status) : -1;
        run.peakMiB = usage.ru_maxrss / 1024;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

// A single-strip bilevel page of width × height, every row white but for a black band.
void writeTallBlankPage(const fs::path& path, std::uint32_t width, std::uint32_t height)
{
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
    std::vector<std::uint8_t> white((width + 7) / 8, 0);
    std::vector<std::uint8_t> black((width + 7) / 8, 0xff);
    for (std::uint32_t y = 0; y < height; ++y) {
        const bool inBand = y >= height / 2 && y < height / 2 + 8;
        TIFFWriteScanline(tif, inBand ? black.data() : white.data(), y, 0);
    }
    TIFFClose(tif);
}

TEST(Limits, aPageOverTheLimitIsRefusedOrScaledAndNoBufferExceeds256MiB)
{
    // 20000 × 15000 bilevel pixels: 300 MB as grey, more than the engine ever allocates at
    // once, though under the default limit of 512 MiB.
    testtiff::TempDir dir(true);
    const fs::path path = dir / "tall.tif";
    writeTallBlankPage(path, 20000, 15000);
    const auto document = TiffDocument::open(path);
    try {
        document->decode(1);
        ADD_FAILURE() << "a 300 MB page was decoded whole";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::TooLarge);
        EXPECT_STREQ(e.what(), "Page 1 of tall.tif cannot be shown: it is too large to show "
                               "(20000 by 15000 pixels).");
    }
    DecodeLimits limits;
    limits.scaleToFit = true;
    std::string damage;
    const PageImage image = document->decode(1, limits, &damage);
    EXPECT_EQ(damage, "");
    EXPECT_EQ(image.scale, 2u);
    ASSERT_EQ(image.width, 10000u);
    ASSERT_EQ(image.height, 7500u);
    // The black band of eight rows shrinks to four; the white around it stays white.
    EXPECT_EQ(image.row(3749)[5000], 255);
    EXPECT_EQ(image.row(3750)[5000], 0);
    EXPECT_EQ(image.row(3753)[5000], 0);
    EXPECT_EQ(image.row(3754)[5000], 255);
}

TEST(Limits, rowsOfOnePixelValueAndRowsOfManyAverageAlike)
{
    // Rows all of one value are summed by a shortcut; a width that is no multiple of eight
    // leaves padding bits in the last byte of each bilevel row, which must not count.
    testtiff::TempDir dir(true);
    const fs::path path = dir / "rows.tif";
    const std::uint32_t width = 203;
    const std::uint32_t height = 61;
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
    std::vector<std::uint8_t> row((width + 7) / 8);
    for (std::uint32_t y = 0; y < height; ++y) {
        switch (y % 4) {
        case 0: // white, with set padding bits
            std::fill(row.begin(), row.end(), 0xff);
            break;
        case 1: // black, with set padding bits
            std::fill(row.begin(), row.end(), 0);
            row.back() = 0x1f;
            break;
        default: // stripes
            for (std::size_t i = 0; i < row.size(); ++i)
                row[i] = std::uint8_t(0xa5 ^ (y * 7 + i));
            break;
        }
        TIFFWriteScanline(tif, row.data(), y, 0);
    }
    TIFFClose(tif);

    const auto document = TiffDocument::open(path);
    const PageImage full = document->decode(1);
    DecodeLimits limits;
    limits.maxDecodedBytes = 41 * 13;
    limits.scaleToFit = true;
    const PageImage image = document->decode(1, limits);
    ASSERT_EQ(image.scale, 5u);
    ASSERT_EQ(image.width, 41u);
    ASSERT_EQ(image.height, 13u);
    for (std::uint32_t y = 0; y < image.height; ++y) {
        for (std::uint32_t x = 0; x < image.width; ++x) {
            std::uint32_t sum = 0;
            std::uint32_t n = 0;
            for (std::uint32_t yy = y * 5; yy < std::min(y * 5 + 5, height); ++yy) {
                for (std::uint32_t xx = x * 5; xx < std::min(x * 5 + 5, width); ++xx, ++n)
                    sum += full.row(yy)[xx];
            }
            ASSERT_EQ(image.row(y)[x], (sum + n / 2) / n) << x << "," << y;
        }
    }
}

TEST(Limits, decompressionBombsOpenQuicklyAndShowScaledInBoundedMemory)
{
    const fs::path root = testtiff::testdata();
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
            const auto document = TiffDocument::open(path);
            try {
                document->decode(1);
            } catch (const EngineError& e) {
                const std::string size =
                    std::to_string(bomb.side) + " by " + std::to_string(bomb.side) + " pixels";
                return e.kind() == ErrorKind::TooLarge &&
                               std::string(e.what()).find(size) != std::string::npos
                           ? 0
                           : 3;
            }
            return 4;
        });
        EXPECT_TRUE(refused.exited);
        EXPECT_EQ(refused.status, 0);
        EXPECT_LT(refused.peakMiB, 64);
        // Scaled down to fit, in the memory of the result.
        const ChildRun scaled = inChild([&] {
            const auto document = TiffDocument::open(path);
            DecodeLimits limits;
            limits.scaleToFit = true;
            const PageImage image = document->decode(1, limits);
            const std::uint32_t side = (bomb.side + bomb.scale - 1) / bomb.scale;
            if (image.scale != bomb.scale || image.width != side || image.height != side)
                return 3;
            // Blank pages: every pixel white (the G4 page) or black (the zeros).
            const std::uint8_t expected = image.row(0)[0];
            for (std::uint32_t y = 0; y < image.height; y += 97) {
                for (std::uint32_t x = 0; x < image.width; ++x) {
                    if (image.row(y)[x] != expected)
                        return 5;
                }
            }
            return 0;
        });
        EXPECT_TRUE(scaled.exited);
        EXPECT_EQ(scaled.status, 0);
        if (!sanitized) {
            EXPECT_LT(scaled.peakMiB, 512);
        }
        // A hang guard only; bench/limits measures the time.
        EXPECT_LT(scaled.seconds, 120);
    }
}

TEST(Limits, tagsOfAbsurdLengthAreNotReadIntoMemory)
{
    // A page with a private tag that claims 300 million directory pointers, in a sparse file
    // large enough to hold them: reading them as numbers would take gigabytes. The copy
    // leaves the tag out (it points nowhere a reader could use) or refuses the page.
    testtiff::TempDir dir(true);
    const fs::path path = dir / "absurd.tif";
    testtiff::write(path, {testtiff::Page{}});
    auto bytes = testtiff::bytes(path);
    const auto u32 = [&](std::size_t at) {
        return std::uint32_t(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                             std::uint32_t(bytes[at + 3]) << 24);
    };
    const std::uint32_t ifd = u32(4);
    const std::uint16_t count = std::uint16_t(bytes[ifd] | bytes[ifd + 1] << 8);
    // Turn the last entry (Software, or whichever sorts last) into tag 65100 of type IFD.
    std::uint8_t* e = bytes.data() + ifd + 2 + 12 * (count - 1);
    const std::uint32_t pointers = 300000000;
    const std::uint32_t tableAt = std::uint32_t(bytes.size() + 16);
    const std::uint16_t tag = 65100;
    const std::uint16_t type = 13;
    std::memcpy(e, &tag, 2);
    std::memcpy(e + 2, &type, 2);
    std::memcpy(e + 4, &pointers, 4);
    std::memcpy(e + 8, &tableAt, 4);
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    fs::resize_file(path, std::uint64_t(tableAt) + std::uint64_t(pointers) * 4 + 16);

    const ChildRun run = inChild([&] {
        try {
            PageEngine().extractPages(path, 1, 1, dir / "copy.tif");
            TiffDocument::open(dir / "copy.tif")->decode(1);
        } catch (const EngineError& e) {
            return std::string(e.what()).find("age 1 of absurd.tif") != std::string::npos ? 0 : 3;
        }
        return 0;
    });
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.status, 0);
    if (!sanitized) {
        EXPECT_LT(run.peakMiB, 512);
    }
}

TEST(Limits, twentyThousandPagesAreCountedWhole)
{
    const fs::path root = testtiff::testdata();
    if (root.empty())
        GTEST_SKIP() << "the shared sample files are not present";
    const auto start = std::chrono::steady_clock::now();
    const auto document = TiffDocument::open(root / "generated/pages-20000-tiny.tif");
    EXPECT_EQ(document->pageCount(), 20000);
    EXPECT_TRUE(document->complete());
    EXPECT_NO_THROW(document->decode(20000));
    // A hang guard only; bench/limits measures the time.
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 30);
}

} // namespace
