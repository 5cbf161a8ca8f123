// The page operations: pages land where they should, and every page that leaves a file
// is identical, tag for tag and byte for byte of its image data, to the page copied.

#include "TestTiff.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <numeric>

using namespace testtiff;

namespace {

const Page g4 = sized(fax, 120, 90);

// The files the pages come from, by the first letter of their names (digits: dest.tif).
const std::map<char, std::string> origins = {{'s', "source.tif"},
                                             {'b', "big.tif"},
                                             {'m', "motorola.tif"},
                                             {'g', "motorola-g4.tif"},
                                             {'h', "huge.tif"}};

class PageOperations : public ::testing::Test
{
protected:
    // A five-page destination of G4 scans, a three-page colour source with metadata, a
    // BigTIFF and two big-endian files, each kept as it was in origin/; link.tif is a link to
    // the destination.
    void SetUp() override
    {
        fs::create_directory(origin);
        write(origin / "dest.tif", numbered(5, g4));
        write(origin / "source.tif", numbered(3, colour, "s"));
        write(origin / "big.tif", numbered(3, colour, "b"), true);
        write(origin / "motorola.tif", numbered(2, colour, "m"), false, 'b');
        write(origin / "motorola-g4.tif", numbered(1, g4, "g"), false, 'b');
        // A BigTIFF page whose private tag holds 64-bit numbers no classic file can hold.
        write(origin / "huge.tif", numbered(1, colour, "h"), true);
        const auto huge = bytes(origin / "huge.tif");
        std::uint64_t entry = directoryOffset(origin / "huge.tif", 1) + 8;
        while (huge.at(entry) != 0xe9 || huge.at(entry + 1) != 0xfd) // tag 65001
            entry += 20;
        patch(origin / "huge.tif", entry + 2, 16, 2); // LONG8
        patch(origin / "huge.tif", entry + 4, 2);     // two of them
        for (const std::string& name : listing(origin))
            fs::copy_file(origin / name, dir / name);
#ifndef _WIN32
        fs::create_symlink(dir / "dest.tif", dir / "link.tif");
#endif
    }

    TempDir dir;
    const fs::path origin = dir / "origin";
    PageEngine engine;
};

struct Change
{
    std::vector<std::string> commands;
    const char* file;  // the file changed or made
    const char* names; // its page names after
    int version;       // 42: classic TIFF; 43: BigTIFF
    friend void PrintTo(const Change& c, std::ostream* out) { *out << c.commands.back(); }
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
    // A file's new page list in one rewrite: its pages in any order and as often as listed,
    // and pages of other files, classic and BigTIFF.
    {{"arrange dest.tif 5 1 2 3 4"}, "dest.tif", "5 1 2 3 4", 42},
    {{"arrange dest.tif 3 source.tif:2 3 big.tif:1 1"}, "dest.tif", "3 s2 3 b1 1", 42},
    {{"arrange big.tif 2 dest.tif:4"}, "big.tif", "b2 4", 43},
    {{"deletelist dest.tif 4 2 2"}, "dest.tif", "1 3 5", 42},
    {{"extractlist new.tif big.tif:3 dest.tif:2 source.tif:1 dest.tif:2"},
     "new.tif",
     "b3 2 s1 2",
     43},
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
    // A page classic TIFF cannot hold makes the destination a BigTIFF, rewritten whole.
    {{"append dest.tif huge.tif 1 1"}, "dest.tif", "1 2 3 4 5 h1", 43},
    {{"insert dest.tif huge.tif 1 5 1"}, "dest.tif", "1 2 3 4 h1 5", 43},
};

class PageChanges : public PageOperations, public ::testing::WithParamInterface<Change>
{};

TEST_P(PageChanges, putThePagesWhereTheyBelongAsTheyWere)
{
#ifdef _WIN32
    if (GetParam().commands[0].find("link.tif") != std::string::npos)
        GTEST_SKIP() << "Windows: symbolic links need a privilege";
#endif
    for (const std::string& command : GetParam().commands)
        run(engine, dir.path(), command);
    const fs::path result = dir / GetParam().file;
    EXPECT_EQ(pageNames(result), GetParam().names);
    const auto written = bytes(result);
    EXPECT_EQ(written.at(2) + written.at(3), GetParam().version);
    // Each page is the page it came from, named "3" or "s2"; the other files are as they were.
    for (int page = 1; page <= pageCount(result); ++page) {
        const std::string name = pageName(result, page);
        const bool digit = std::isdigit(name.at(0));
        const fs::path from = origin / (digit ? "dest.tif" : origins.at(name[0]));
        EXPECT_EQ(comparePages(from, std::stoi(name.substr(digit ? 0 : 1)), result, page), "")
            << page << ": " << name;
    }
#ifndef _WIN32
    EXPECT_TRUE(fs::is_symlink(dir / "link.tif"));
#endif
    for (const std::string& name : listing(origin)) {
        if (name != GetParam().file) {
            EXPECT_EQ(bytes(dir / name), bytes(origin / name)) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PageChanges, ::testing::ValuesIn(changes));

TEST_F(PageOperations, aListOfThePagesAFileHasChangesNothing)
{
    const auto before = tessary::FileStamp::of(dir / "dest.tif");
    run(engine, dir.path(), "arrange dest.tif 1 2 3 4 5");
    EXPECT_EQ(tessary::FileStamp::of(dir / "dest.tif"), before);
}

TEST_F(PageOperations, appendLeavesTheExistingBytesAsTheyWere)
{
    const auto before = bytes(dir / "dest.tif");
    engine.appendPages(dir / "dest.tif", dir / "source.tif", 1, 1);
    const auto after = bytes(dir / "dest.tif");
    ASSERT_GT(after.size(), before.size());
    // Only the last page's next-page pointer changes among the old bytes.
    EXPECT_LE(std::inner_product(before.begin(), before.end(), after.begin(), 0, std::plus<>(),
                                 std::not_equal_to<>()),
              4);
}

TEST_F(PageOperations, deletedAndReplacedPagesAreGoneFromTheFilesBytes)
{
    std::vector<Page> pages = numbered(3, g4);
    pages.insert(pages.begin() + 1, numbered(1, {}, "SECRET-PAGE-NAME")[0]);
    write(dir / "s.tif", pages);
    fs::copy_file(dir / "s.tif", dir / "r.tif");
    const auto holdsSecret = [&](const char* file) {
        const auto b = bytes(dir / file);
        const std::string secret = "SECRET-PAGE-NAME";
        return std::search(b.begin(), b.end(), secret.begin(), secret.end()) != b.end();
    };
    ASSERT_TRUE(holdsSecret("s.tif"));
    engine.deletePages(dir / "s.tif", 2, 1);
    engine.replacePages(dir / "r.tif", dir / "source.tif", 1, 2, 1);
    EXPECT_FALSE(holdsSecret("s.tif"));
    EXPECT_FALSE(holdsSecret("r.tif"));
}

TEST_F(PageOperations, deepSamplesAreReEncodedForTheOtherByteOrderWithoutLoss)
{
    const Page deepRgb{
        .bits = 16, .samples = 3, .photometric = 2, .compression = 5, .predictor = 2};
    Page deepTiled = deepRgb;
    deepTiled.tiled = true;
    deepTiled.compression = 8;
    deepTiled.metadata = true;
    write(dir / "motorola16.tif", {deepRgb, deepTiled}, false, 'b');
    const auto files = listing(dir.path());
    engine.appendPages(dir / "dest.tif", dir / "motorola16.tif", 1, 2);
    for (int page = 1; page <= 2; ++page) {
        const auto expected = samples(dir / "motorola16.tif", page);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(samples(dir / "dest.tif", 5 + page), expected) << page;
    }
    // Every tag but the image data's own is carried over unchanged; no scratch file is left.
    EXPECT_TRUE(comparePages(dir / "motorola16.tif", 2, dir / "dest.tif", 7)
                    .starts_with("page 2 block 0 image data: "));
    EXPECT_EQ(listing(dir.path()), files);
}

TEST_F(PageOperations, exifGpsAndSubDirectoriesTravelWithTheirPage)
{
    const fs::path data = TESSARY_TEST_DATA_DIR;
    for (const char* name : {"custom_dir_EXIF_GPS.tiff", "tiff_with_subifd_chain.tif"}) {
        copyOver(dir / "dest.tif", dir / "with.tif");
        engine.insertPages(dir / "with.tif", data / name, 1, 2, 1);
        EXPECT_EQ(comparePages(data / name, 1, dir / "with.tif", 2), "") << name;
        engine.extractPages(dir / "with.tif", 2, 1, dir / "alone.tif");
        EXPECT_EQ(comparePages(data / name, 1, dir / "alone.tif", 1), "") << name;
    }
}

TEST_F(PageOperations, blocksOfAWrongStatedLengthAreCopiedAsReadersReadThem)
{
    // Some writers state no length or too short a one for a page's strips or tiles: the
    // only strip of compressed data is then read on towards the end of the file, and
    // uncompressed blocks by the size their rows make. Copies hold what is read.
    struct Case
    {
        Page page;
        std::uint16_t countsTag;
        std::uint32_t stated;
    };
    const Case cases[] = {{sized(g4, 120, 8), 279, 0},
                          {Page{.rowsPerStrip = 7}, 279, 3},
                          {Page{.tiled = true}, 325, 17}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.countsTag);
        const fs::path odd = dir / "odd.tif";
        write(odd, {c.page});
        setEvery(odd, 1, c.countsTag, c.stated);
        std::string damage;
        const PageImage original = TiffDocument::open(odd)->decode(1, {}, &damage);
        ASSERT_EQ(damage, "");

        engine.extractPages(odd, 1, 1, dir / "alone.tif");
        copyOver(origin / "dest.tif", dir / "dest.tif");
        engine.insertPages(dir / "dest.tif", odd, 1, 2, 1);
        for (const auto& [file, page] : {std::pair{dir / "alone.tif", 1}, {dir / "dest.tif", 2}}) {
            PageImage copied;
            EXPECT_TRUE(decodesAsLibtiff(file, page, &copied));
            EXPECT_TRUE(copied.pixels == original.pixels) << file.filename();
        }
    }
}

TEST_F(PageOperations, extractReplacesAnExistingFileKeepingItsPermissions)
{
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    write(dir / "old.tif", numbered(1, g4, "o"));
    fs::permissions(dir / "old.tif", mode);
    engine.extractPages(dir / "source.tif", 3, 1, dir / "old.tif");
    EXPECT_EQ(pageNames(dir / "old.tif"), "s3");
    EXPECT_EQ(fs::status(dir / "old.tif").permissions() & fs::perms::all, mode);
}

TEST_F(PageOperations, progressIsReportedUpToTheTotal)
{
    std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
    tessary::OperationOptions options;
    options.progress = [&](std::uint64_t done, std::uint64_t all) {
        reports.emplace_back(done, all);
        return true;
    };
    engine.deletePages(dir / "dest.tif", 1, 1, options);
    ASSERT_GT(reports.size(), 1u);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()) && reports.back().second > 0 &&
                reports.back().first <= reports.back().second)
        << reports.back().first << " of " << reports.back().second;
}

TEST_F(PageOperations, aPageListInAnyOrderIsReadWholeWhereverItsDirectoriesFall)
{
    // Files of many small pages, their directories close together, so that the reads that
    // take many at once end within some of them; the list runs backwards by pairs (each
    // second page points back to the one before it) or from the middle to the end and on
    // from the first page, back before everything read so far.
    const TempDir work(true);
    const int count = 200;
    for (const std::uint32_t width : {1u, 5u, 13u, 40u}) {
        for (const bool fromTheMiddle : {false, true}) {
            SCOPED_TRACE(std::to_string(width) +
                         (fromTheMiddle ? " from the middle" : " by pairs"));
            const fs::path many = work / "many.tif";
            write(many, numbered(count, sized({}, width, 1)));
            std::vector<std::uint64_t> at;
            std::vector<std::uint64_t> next;
            for (int page = 1; page <= count; ++page) {
                at.push_back(directoryOffset(many, page));
                next.push_back(entryOffsets(many, page).back());
            }
            std::vector<int> order; // the pages as written, in their new order
            std::string names;
            for (int i = 0; i < count; ++i) {
                order.push_back(fromTheMiddle ? (i + count / 2) % count : i ^ 1);
                names += (i ? " " : "") + std::to_string(order.back() + 1);
            }
            patch(many, 4, std::uint32_t(at[std::size_t(order[0])]));
            for (int i = 0; i < count; ++i) {
                patch(many, next[std::size_t(order[std::size_t(i)])],
                      i + 1 < count ? std::uint32_t(at[std::size_t(order[std::size_t(i + 1)])])
                                    : 0);
            }
            const auto document = TiffDocument::open(many);
            ASSERT_EQ(document->pageCount(), count);
            EXPECT_TRUE(document->complete());
            for (int page = 1; page <= count; ++page)
                ASSERT_EQ(document->pageInfo(page).width, width) << page;
            engine.extractPages(many, 1, count, work / "copy.tif");
            EXPECT_EQ(pageNames(work / "copy.tif"), names);
            for (int page = 1; page <= count; page += 9)
                EXPECT_EQ(comparePages(many, page, work / "copy.tif", page), "") << page;
            engine.deletePages(many, 1, 1);
            EXPECT_EQ(pageNames(many), names.substr(names.find(' ') + 1));
            fs::remove(work / "copy.tif");
        }
    }
}

} // namespace
