// The page operations: pages land where they should, and every page that leaves a file
// is identical, tag for tag and byte for byte of its image data, to the page copied.

#include "EngineError.h"
#include "PageEngine.h"
#include "TestTiff.h"
#include "TiffDocument.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>
#include <tiffio.h>

using namespace tessary;
using testtiff::Page;
namespace fs = std::filesystem;

namespace {

Page g4Page()
{
    Page p;
    p.bits = 1;
    p.photometric = PHOTOMETRIC_MINISWHITE;
    p.compression = COMPRESSION_CCITTFAX4;
    p.width = 120;
    p.height = 90;
    return p;
}

Page colourPage()
{
    Page p;
    p.bits = 8;
    p.samples = 3;
    p.photometric = PHOTOMETRIC_RGB;
    p.compression = COMPRESSION_LZW;
    p.predictor = PREDICTOR_HORIZONTAL;
    p.tiled = true;
    p.metadata = true;
    return p;
}

using testtiff::named;

class PageOperations : public ::testing::Test
{
protected:
    // A five-page destination of G4 scans and a three-page colour source with metadata.
    void SetUp() override
    {
        testtiff::write(original(), named("", 5, g4Page()));
        testtiff::write(source(), named("s", 3, colourPage()));
        fs::copy_file(original(), dest());
    }

    fs::path original() const { return dir / "original.tif"; }
    fs::path dest() const { return dir / "dest.tif"; }
    fs::path source() const { return dir / "source.tif"; }

    // Each page of the result against the page it came from, named "3" or "s2".
    void expectPagesFromTheirOrigins(const fs::path& result)
    {
        const int n = testtiff::pageCount(result);
        for (int page = 1; page <= n; ++page) {
            const std::string name = testtiff::pageName(result, page);
            ASSERT_FALSE(name.empty());
            const bool fromSource = name[0] == 's';
            const int origin = std::stoi(name.substr(fromSource ? 1 : 0));
            EXPECT_EQ(
                testtiff::comparePages(fromSource ? source() : original(), origin, result, page),
                "")
                << "page " << page << " (" << name << ")";
        }
    }

    testtiff::TempDir dir;
    PageEngine engine;
};

TEST_F(PageOperations, appendAddsThePagesBehindTheLast)
{
    engine.appendPages(dest(), source(), 2, 2);
    EXPECT_EQ(testtiff::pageNames(dest()), "1 2 3 4 5 s2 s3");
    expectPagesFromTheirOrigins(dest());
}

TEST_F(PageOperations, appendLeavesTheExistingBytesAsTheyWere)
{
    const auto before = testtiff::bytes(dest());
    engine.appendPages(dest(), source(), 1, 1);
    const auto after = testtiff::bytes(dest());
    ASSERT_GT(after.size(), before.size());
    // Only the last page's next-page pointer changes among the old bytes.
    std::size_t differing = 0;
    for (std::size_t i = 0; i < before.size(); ++i)
        differing += before[i] != after[i];
    EXPECT_LE(differing, 4u);
}

TEST_F(PageOperations, insertPutsTheFirstNewPageAtTheGivenNumber)
{
    engine.insertPages(dest(), source(), 1, 3, 1);
    EXPECT_EQ(testtiff::pageNames(dest()), "1 2 s1 3 4 5");
    engine.insertPages(dest(), source(), 2, 1, 2);
    EXPECT_EQ(testtiff::pageNames(dest()), "s2 s3 1 2 s1 3 4 5");
    expectPagesFromTheirOrigins(dest());
}

TEST_F(PageOperations, replaceOverwritesPagesOneForOne)
{
    engine.replacePages(dest(), source(), 1, 5, 1);
    EXPECT_EQ(testtiff::pageNames(dest()), "1 2 3 4 s1");
    engine.replacePages(dest(), source(), 1, 2, 3);
    EXPECT_EQ(testtiff::pageNames(dest()), "1 s1 s2 s3 s1");
    expectPagesFromTheirOrigins(dest());
}

TEST_F(PageOperations, deleteRemovesARunOfPages)
{
    engine.deletePages(dest(), 2, 3);
    EXPECT_EQ(testtiff::pageNames(dest()), "1 5");
    expectPagesFromTheirOrigins(dest());
}

TEST_F(PageOperations, extractWritesANewFileOfTheRun)
{
    engine.extractPages(original(), 2, 3, dir / "new.tif");
    EXPECT_EQ(testtiff::pageNames(dir / "new.tif"), "2 3 4");
    EXPECT_EQ(testtiff::bytes(original()), testtiff::bytes(dest())) << "the source changed";
    for (int page = 1; page <= 3; ++page)
        EXPECT_EQ(testtiff::comparePages(original(), page + 1, dir / "new.tif", page), "");
}

TEST_F(PageOperations, pagesMoveWithinOneFileByInsertingThenDeleting)
{
    // Page 4 before page 2: insert a copy, then remove the old one (now page 5).
    engine.insertPages(dest(), dest(), 4, 2, 1);
    EXPECT_EQ(testtiff::pageNames(dest()), "1 4 2 3 4 5");
    engine.deletePages(dest(), 5, 1);
    EXPECT_EQ(testtiff::pageNames(dest()), "1 4 2 3 5");
    // Page 2 before page 5 of 1 2 3 4 5 ...
    fs::copy_file(original(), dir / "second.tif");
    engine.insertPages(dir / "second.tif", dir / "second.tif", 2, 5, 1);
    engine.deletePages(dir / "second.tif", 2, 1);
    EXPECT_EQ(testtiff::pageNames(dir / "second.tif"), "1 3 4 2 5");
    expectPagesFromTheirOrigins(dest());
    expectPagesFromTheirOrigins(dir / "second.tif");
    // ... and a copy of a page replaces another page of the same file.
    engine.replacePages(dest(), dest(), 1, 5, 1);
    EXPECT_EQ(testtiff::pageNames(dest()), "1 4 2 3 1");
}

TEST_F(PageOperations, copiedPagesDecodeToTheSamePixels)
{
    engine.appendPages(dest(), source(), 1, 3);
    const auto copy = TiffDocument::open(dest());
    const auto from = TiffDocument::open(source());
    for (int page = 1; page <= 3; ++page)
        EXPECT_EQ(copy->decode(5 + page).pixels, from->decode(page).pixels) << page;
}

TEST_F(PageOperations, deletedAndReplacedPagesAreGoneFromTheFilesBytes)
{
    Page secret = g4Page();
    secret.compression = COMPRESSION_NONE;
    secret.name = "SECRET-PAGE-NAME";
    std::vector<Page> pages = named("", 3, g4Page());
    pages.insert(pages.begin() + 1, secret);
    testtiff::write(dir / "s.tif", pages);
    fs::copy_file(dir / "s.tif", dir / "r.tif");
    const auto contains = [](const fs::path& path, const std::string& text) {
        const auto b = testtiff::bytes(path);
        return std::search(b.begin(), b.end(), text.begin(), text.end()) != b.end();
    };
    ASSERT_TRUE(contains(dir / "s.tif", "SECRET-PAGE-NAME"));
    engine.deletePages(dir / "s.tif", 2, 1);
    EXPECT_FALSE(contains(dir / "s.tif", "SECRET-PAGE-NAME"));
    engine.replacePages(dir / "r.tif", source(), 1, 2, 1);
    EXPECT_FALSE(contains(dir / "r.tif", "SECRET-PAGE-NAME"));
}

TEST_F(PageOperations, bigTiffAndClassicPagesMoveBothWays)
{
    testtiff::write(dir / "big.tif", named("b", 3, colourPage()), true);
    engine.appendPages(dest(), dir / "big.tif", 1, 2);
    EXPECT_EQ(testtiff::pageNames(dest()), "1 2 3 4 5 b1 b2");
    EXPECT_EQ(testtiff::bytes(dest())[2], 42) << "the destination stays classic";
    engine.insertPages(dir / "big.tif", original(), 2, 1, 1);
    EXPECT_EQ(testtiff::pageNames(dir / "big.tif"), "2 b1 b2 b3");
    EXPECT_EQ(testtiff::bytes(dir / "big.tif")[2], 43) << "the BigTIFF stays BigTIFF";
    EXPECT_EQ(testtiff::comparePages(original(), 2, dir / "big.tif", 1), "");
    engine.extractPages(dir / "big.tif", 2, 2, dir / "new.tif");
    EXPECT_EQ(testtiff::bytes(dir / "new.tif")[2], 43) << "an extract keeps its source's kind";
    EXPECT_EQ(testtiff::pageNames(dir / "new.tif"), "b1 b2");
}

TEST_F(PageOperations, pagesKeepTheirMeaningAcrossByteOrders)
{
    testtiff::write(dir / "motorola.tif", named("m", 2, colourPage()), false, 'b');
    testtiff::write(dir / "motorola-g4.tif", named("g", 1, g4Page()), false, 'b');
    engine.appendPages(dest(), dir / "motorola.tif", 1, 2);
    engine.insertPages(dir / "motorola-g4.tif", original(), 1, 1, 1);
    EXPECT_EQ(testtiff::pageNames(dest()), "1 2 3 4 5 m1 m2");
    EXPECT_EQ(testtiff::comparePages(dir / "motorola.tif", 2, dest(), 7), "");
    EXPECT_EQ(testtiff::comparePages(original(), 1, dir / "motorola-g4.tif", 1), "");
    EXPECT_EQ(testtiff::rgba(dir / "motorola.tif", 1), testtiff::rgba(dest(), 6));
}

TEST_F(PageOperations, deepSamplesAreReEncodedForTheOtherByteOrderWithoutLoss)
{
    Page deep;
    deep.bits = 16;
    deep.samples = 3;
    deep.photometric = PHOTOMETRIC_RGB;
    deep.compression = COMPRESSION_LZW;
    deep.predictor = PREDICTOR_HORIZONTAL;
    Page deepTiled = deep;
    deepTiled.tiled = true;
    deepTiled.compression = COMPRESSION_ADOBE_DEFLATE;
    deepTiled.metadata = true;
    testtiff::write(dir / "motorola16.tif", {deep, deepTiled}, false, 'b');
    engine.appendPages(dest(), dir / "motorola16.tif", 1, 2);
    for (int page = 1; page <= 2; ++page) {
        const auto expected = testtiff::samples(dir / "motorola16.tif", page);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(testtiff::samples(dest(), 5 + page), expected) << page;
    }
    // Every tag but the image data's own is carried over unchanged.
    const std::string diff = testtiff::comparePages(dir / "motorola16.tif", 2, dest(), 7);
    EXPECT_NE(diff.find("image data differs"), std::string::npos) << diff;
    // No scratch file is left behind.
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 4);
}

TEST_F(PageOperations, exifGpsAndSubDirectoriesTravelWithTheirPage)
{
    const fs::path data = TESSARY_TEST_DATA_DIR;
    for (const char* name : {"custom_dir_EXIF_GPS.tiff", "tiff_with_subifd_chain.tif"}) {
        fs::copy_file(original(), dir / "with.tif", fs::copy_options::overwrite_existing);
        engine.insertPages(dir / "with.tif", data / name, 1, 2, 1);
        EXPECT_EQ(testtiff::comparePages(data / name, 1, dir / "with.tif", 2), "") << name;
        engine.extractPages(dir / "with.tif", 2, 1, dir / "alone.tif");
        EXPECT_EQ(testtiff::comparePages(data / name, 1, dir / "alone.tif", 1), "") << name;
        fs::remove(dir / "alone.tif");
    }
}

TEST_F(PageOperations, extractReplacesAnExistingFileKeepingItsPermissions)
{
    testtiff::write(dir / "old.tif", named("o", 1, g4Page()));
    fs::permissions(dir / "old.tif",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    engine.extractPages(source(), 3, 1, dir / "old.tif");
    EXPECT_EQ(testtiff::pageNames(dir / "old.tif"), "s3");
    EXPECT_EQ(fs::status(dir / "old.tif").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(PageOperations, aLinkedFileIsChangedThroughItsLink)
{
    fs::create_symlink(dest(), dir / "link.tif");
    engine.deletePages(dir / "link.tif", 1, 1);
    EXPECT_TRUE(fs::is_symlink(dir / "link.tif"));
    EXPECT_EQ(testtiff::pageNames(dest()), "2 3 4 5");
}

TEST_F(PageOperations, progressIsReportedUpToTheTotal)
{
    std::uint64_t last = 0;
    std::uint64_t total = 0;
    int calls = 0;
    OperationOptions options;
    options.progress = [&](std::uint64_t done, std::uint64_t all) {
        EXPECT_GE(done, last);
        last = done;
        total = all;
        ++calls;
        return true;
    };
    engine.deletePages(dest(), 1, 1, options);
    EXPECT_GT(calls, 1);
    EXPECT_GT(total, 0u);
    EXPECT_LE(last, total);
}

TEST(ManyPages, aFileOfHundredsOfPagesKeepsItsOrder)
{
    testtiff::TempDir dir;
    Page tiny;
    tiny.width = 8;
    tiny.height = 8;
    testtiff::write(dir / "many.tif", testtiff::numbered(400, tiny));
    PageEngine engine;
    engine.deletePages(dir / "many.tif", 2, 397);
    EXPECT_EQ(testtiff::pageNames(dir / "many.tif"), "1 399 400");
}

} // namespace
