// The page operations: pages land where they should, and every page that leaves a file
// is identical, tag for tag and byte for byte of its image data, to the page copied.

#include "EngineTestSupport.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <numeric>
#include <tiffio.h>

using namespace enginetest;
using testtiff::named;
using testtiff::Page;

namespace {

const Page g4{.width = 120, .height = 90, .bits = 1, .photometric = 0, .compression = 4};
const Page colour{.samples = 3,
                  .photometric = 2,
                  .compression = 5,
                  .predictor = 2,
                  .tiled = true,
                  .metadata = true};

// The files the pages come from, by the first letter of their names (digits: dest.tif).
const std::map<char, std::string> origins = {
    {'s', "source.tif"}, {'b', "big.tif"}, {'m', "motorola.tif"}, {'g', "motorola-g4.tif"}};

class PageOperations : public ::testing::Test
{
protected:
    // A five-page destination of G4 scans, a three-page colour source with metadata, a
    // BigTIFF and two big-endian files, each kept as it was in origin/; link.tif is a link to
    // the destination.
    void SetUp() override
    {
        fs::create_directory(origin);
        testtiff::write(origin / "dest.tif", named("", 5, g4));
        testtiff::write(origin / "source.tif", named("s", 3, colour));
        testtiff::write(origin / "big.tif", named("b", 3, colour), true);
        testtiff::write(origin / "motorola.tif", named("m", 2, colour), false, 'b');
        testtiff::write(origin / "motorola-g4.tif", named("g", 1, g4), false, 'b');
        for (const std::string& name : testtiff::listing(origin))
            fs::copy_file(origin / name, dir / name);
        fs::create_symlink(dir / "dest.tif", dir / "link.tif");
    }

    // Each page of the result against the page it came from, named "3" or "s2".
    void expectPagesFromTheirOrigins(const fs::path& result)
    {
        for (int page = 1; page <= testtiff::pageCount(result); ++page) {
            const std::string name = testtiff::pageName(result, page);
            ASSERT_FALSE(name.empty());
            const bool digit = std::isdigit(name[0]);
            const fs::path from = origin / (digit ? "dest.tif" : origins.at(name[0]));
            const int at = std::stoi(name.substr(digit ? 0 : 1));
            EXPECT_EQ(testtiff::comparePages(from, at, result, page), "") << page << ": " << name;
            EXPECT_EQ(testtiff::rgba(from, at), testtiff::rgba(result, page)) << name;
        }
    }

    testtiff::TempDir dir;
    const fs::path origin = dir / "origin";
    PageEngine engine;
};

struct Change
{
    std::vector<std::string> commands;
    const char* file;  // the file changed or made
    const char* names; // its page names after
    int version;       // 42: classic TIFF; 43: BigTIFF
};

const Change changes[] = {
    {{"append dest.tif source.tif 2 2"}, "dest.tif", "1 2 3 4 5 s2 s3", 42},
    {{"insert dest.tif source.tif 1 3 1"}, "dest.tif", "1 2 s1 3 4 5", 42},
    {{"insert dest.tif source.tif 1 3 1", "insert dest.tif source.tif 2 1 2"},
     "dest.tif",
     "s2 s3 1 2 s1 3 4 5",
     42},
    {{"replace dest.tif source.tif 1 5 1"}, "dest.tif", "1 2 3 4 s1", 42},
    {{"replace dest.tif source.tif 1 5 1", "replace dest.tif source.tif 1 2 3"},
     "dest.tif",
     "1 s1 s2 s3 s1",
     42},
    {{"delete dest.tif 2 3"}, "dest.tif", "1 5", 42},
    {{"extract dest.tif 2 3 new.tif"}, "new.tif", "2 3 4", 42},
    // Pages move within one file: a copy inserted, then the old page deleted.
    {{"insert dest.tif dest.tif 4 2 1"}, "dest.tif", "1 4 2 3 4 5", 42},
    {{"insert dest.tif dest.tif 4 2 1", "delete dest.tif 5 1"}, "dest.tif", "1 4 2 3 5", 42},
    {{"insert dest.tif dest.tif 2 5 1", "delete dest.tif 2 1"}, "dest.tif", "1 3 4 2 5", 42},
    {{"insert dest.tif dest.tif 4 2 1", "delete dest.tif 5 1", "replace dest.tif dest.tif 1 5 1"},
     "dest.tif",
     "1 4 2 3 1",
     42},
    // A linked file is changed through its link.
    {{"delete link.tif 1 1"}, "dest.tif", "2 3 4 5", 42},
    // BigTIFF and classic pages move both ways; each file keeps its kind, an extract its
    // source's.
    {{"append dest.tif big.tif 1 2"}, "dest.tif", "1 2 3 4 5 b1 b2", 42},
    {{"insert big.tif dest.tif 2 1 1"}, "big.tif", "2 b1 b2 b3", 43},
    {{"extract big.tif 2 2 new.tif"}, "new.tif", "b2 b3", 43},
    // Pages keep their meaning across byte orders.
    {{"append dest.tif motorola.tif 1 2"}, "dest.tif", "1 2 3 4 5 m1 m2", 42},
    {{"insert motorola-g4.tif dest.tif 1 1 1"}, "motorola-g4.tif", "1 g1", 42},
};

void PrintTo(const Change& c, std::ostream* out)
{
    *out << c.commands.back();
}

class PageChanges : public PageOperations, public ::testing::WithParamInterface<Change>
{};

TEST_P(PageChanges, putThePagesWhereTheyBelongAsTheyWere)
{
    for (const std::string& command : GetParam().commands)
        run(engine, dir.path(), command);
    const fs::path result = dir / GetParam().file;
    EXPECT_EQ(testtiff::pageNames(result), GetParam().names);
    const auto bytes = testtiff::bytes(result);
    EXPECT_EQ(bytes.at(2) + bytes.at(3), GetParam().version);
    expectPagesFromTheirOrigins(result);
    // The other files are as they were.
    EXPECT_TRUE(fs::is_symlink(dir / "link.tif"));
    for (const std::string& name : testtiff::listing(origin)) {
        if (name != GetParam().file) {
            EXPECT_EQ(testtiff::bytes(dir / name), testtiff::bytes(origin / name)) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PageChanges, ::testing::ValuesIn(changes));

TEST_F(PageOperations, appendLeavesTheExistingBytesAsTheyWere)
{
    const auto before = testtiff::bytes(dir / "dest.tif");
    engine.appendPages(dir / "dest.tif", dir / "source.tif", 1, 1);
    const auto after = testtiff::bytes(dir / "dest.tif");
    ASSERT_GT(after.size(), before.size());
    // Only the last page's next-page pointer changes among the old bytes.
    EXPECT_LE(std::inner_product(before.begin(), before.end(), after.begin(), 0, std::plus<>(),
                                 std::not_equal_to<>()),
              4);
}

TEST_F(PageOperations, deletedAndReplacedPagesAreGoneFromTheFilesBytes)
{
    std::vector<Page> pages = named("", 3, g4);
    pages.insert(pages.begin() + 1, named("SECRET-PAGE-NAME", 1, {.compression = 1})[0]);
    testtiff::write(dir / "s.tif", pages);
    fs::copy_file(dir / "s.tif", dir / "r.tif");
    const auto holdsSecret = [&](const char* file) {
        const auto b = testtiff::bytes(dir / file);
        const std::string secret = "SECRET-PAGE-NAME";
        return std::search(b.begin(), b.end(), secret.begin(), secret.end()) != b.end();
    };
    ASSERT_TRUE(holdsSecret("s.tif"));
    engine.deletePages(dir / "s.tif", 2, 1);
    EXPECT_FALSE(holdsSecret("s.tif"));
    engine.replacePages(dir / "r.tif", dir / "source.tif", 1, 2, 1);
    EXPECT_FALSE(holdsSecret("r.tif"));
}

TEST_F(PageOperations, deepSamplesAreReEncodedForTheOtherByteOrderWithoutLoss)
{
    const Page deep{.bits = 16, .samples = 3, .photometric = 2, .compression = 5, .predictor = 2};
    Page deepTiled = deep;
    deepTiled.tiled = true;
    deepTiled.compression = COMPRESSION_ADOBE_DEFLATE;
    deepTiled.metadata = true;
    testtiff::write(dir / "motorola16.tif", {deep, deepTiled}, false, 'b');
    const auto files = testtiff::listing(dir.path());
    engine.appendPages(dir / "dest.tif", dir / "motorola16.tif", 1, 2);
    for (int page = 1; page <= 2; ++page) {
        const auto expected = testtiff::samples(dir / "motorola16.tif", page);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(testtiff::samples(dir / "dest.tif", 5 + page), expected) << page;
    }
    // Every tag but the image data's own is carried over unchanged.
    EXPECT_TRUE(contains(testtiff::comparePages(dir / "motorola16.tif", 2, dir / "dest.tif", 7),
                         "image data differs"));
    // No scratch file is left behind.
    EXPECT_EQ(testtiff::listing(dir.path()), files);
}

TEST_F(PageOperations, exifGpsAndSubDirectoriesTravelWithTheirPage)
{
    const fs::path data = TESSARY_TEST_DATA_DIR;
    for (const char* name : {"custom_dir_EXIF_GPS.tiff", "tiff_with_subifd_chain.tif"}) {
        fs::copy_file(dir / "dest.tif", dir / "with.tif", fs::copy_options::overwrite_existing);
        engine.insertPages(dir / "with.tif", data / name, 1, 2, 1);
        EXPECT_EQ(testtiff::comparePages(data / name, 1, dir / "with.tif", 2), "") << name;
        engine.extractPages(dir / "with.tif", 2, 1, dir / "alone.tif");
        EXPECT_EQ(testtiff::comparePages(data / name, 1, dir / "alone.tif", 1), "") << name;
    }
}

TEST_F(PageOperations, extractReplacesAnExistingFileKeepingItsPermissions)
{
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    testtiff::write(dir / "old.tif", named("o", 1, g4));
    fs::permissions(dir / "old.tif", mode);
    engine.extractPages(dir / "source.tif", 3, 1, dir / "old.tif");
    EXPECT_EQ(testtiff::pageNames(dir / "old.tif"), "s3");
    EXPECT_EQ(fs::status(dir / "old.tif").permissions() & fs::perms::all, mode);
}

TEST_F(PageOperations, progressIsReportedUpToTheTotal)
{
    std::uint64_t last = 0;
    std::uint64_t total = 0;
    int calls = 0;
    tessary::OperationOptions options;
    options.progress = [&](std::uint64_t done, std::uint64_t all) {
        EXPECT_GE(done, last);
        last = done;
        total = all;
        return ++calls > 0;
    };
    engine.deletePages(dir / "dest.tif", 1, 1, options);
    EXPECT_GT(calls, 1);
    EXPECT_GT(total, 0u);
    EXPECT_LE(last, total);
}

TEST(ManyPages, aFileOfHundredsOfPagesKeepsItsOrder)
{
    testtiff::TempDir dir;
    testtiff::write(dir / "many.tif", testtiff::numbered(400, {.width = 8, .height = 8}));
    PageEngine().deletePages(dir / "many.tif", 2, 397);
    EXPECT_EQ(testtiff::pageNames(dir / "many.tif"), "1 399 400");
}

} // namespace
