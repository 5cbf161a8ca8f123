// Files that other programs change under an open document or a running operation, and
// files whose page list breaks off: shown as far as they can be read, never crashing the
// reader, refused as changed or damaged by the operation that would write them.

#include "TestTiff.h"

#include <fstream>

using namespace testtiff;

namespace {

// Five pages of different kinds, named "1" to "5": fax, tiled colour, JPEG, 16-bit grey
// (deflated), plain grey.
std::vector<Page> mixedPages()
{
    std::vector<Page> pages;
    for (const Page& kind : {fax, colour, jpeg, deep, Page{}})
        pages.push_back(numbered(int(pages.size()) + 1, sized(kind, 120, 90)).back());
    return pages;
}

// Moves the file's modification time on, as a later write by another program would; the
// file system's clock may not have ticked between the test's two writes.
void touchLater(const fs::path& path)
{
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(2));
}

// Every page of the document decodes, or (unless intact) is refused with a sentence naming
// the page.
void decodeEveryPage(const TiffDocument& document, const std::string& file, bool intact)
{
    for (int page = 1; page <= document.pageCount(); ++page) {
        const std::string named = "age " + std::to_string(page) + " of " + file;
        std::string damage;
        try {
            document.pageInfo(page);
            const tessary::DecodeLimits limits{.scaleToFit = page % 2 == 0};
            EXPECT_FALSE(document.decode(page, limits, &damage).pixels.empty());
        } catch (const EngineError& e) {
            damage = e.what();
        }
        if (!damage.empty()) {
            EXPECT_FALSE(intact) << damage;
            EXPECT_TRUE(contains(damage, named));
        }
    }
}

class ChangedOnDisk : public ::testing::Test
{
protected:
    void SetUp() override
    {
        write(dir / "shown.tif", mixedPages());
        write(dir / "other.tif", numbered(2, {}, "o"));
    }

    // The next operations that would write or read the changed file are refused as changed,
    // and change nothing.
    void expectOperationsRefused(const tessary::FileStamp& seen)
    {
        const auto other = bytes(dir / "other.tif");
        const auto shown = bytes(dir / "shown.tif");
        tessary::OperationOptions asDestination;
        asDestination.expectDestination = seen;
        tessary::OperationOptions asSource;
        asSource.expectSource = seen;
        for (const auto& row : {std::pair{"append shown.tif other.tif 1 1", asDestination},
                                {"delete shown.tif 1 1", asDestination},
                                {"replace shown.tif other.tif 1 1 1", asDestination},
                                {"append other.tif shown.tif 1 1", asSource},
                                {"extract shown.tif 1 1 new.tif", asSource}}) {
            EXPECT_TRUE(contains(errorOf([&] { run(engine, dir.path(), row.first, row.second); },
                                         ErrorKind::Changed),
                                 "shown.tif changed on disk"));
        }
        EXPECT_EQ(bytes(dir / "other.tif"), other);
        EXPECT_EQ(bytes(dir / "shown.tif"), shown);
        EXPECT_FALSE(fs::exists(dir / "new.tif"));
    }

    TempDir dir;
    PageEngine engine;
};

TEST_F(ChangedOnDisk, aShownFileChangedUnderItIsReadAsFarAsItGoesAndNotWritten)
{
    const fs::path shown = dir / "shown.tif";
    const auto original = bytes(shown);
    const std::uint64_t size = original.size();
    // Another program cuts the file short ('c', to the length in cuts) or writes zeros over its
    // middle half ('z'); or saves a new file the usual way, renamed over the old ('r'), or
    // deletes it ('d').
    const std::uint64_t cuts[] = {size * 3 / 4, size / 2, size / 10, 8, 0, 0, 0, 0};
    for (std::size_t i = 0; i < 8; ++i) {
        const char what = "ccccczrd"[i];
        const std::uint64_t length = cuts[i];
#ifdef _WIN32
        // Windows neither replaces a file that is open, nor removes it before it is closed.
        if (what == 'r' || what == 'd')
            continue;
#endif
        SCOPED_TRACE(what + std::to_string(length));
        const bool inPlace = what == 'c' || what == 'z';
        writeBytes(shown, original);
        const auto document = TiffDocument::open(shown);
        const tessary::FileStamp seen = document->stamp();
        EXPECT_FALSE(document->changedOnDisk());
        // Read a page first (every page, before the file is replaced), so that libtiff holds
        // state from the whole file.
        std::vector<std::vector<std::uint8_t>> before;
        for (int page = 1; page <= (inPlace ? 1 : 5); ++page)
            before.push_back(document->decode(page).pixels);
        if (what == 'c') {
            fs::resize_file(shown, length);
        } else if (what == 'z') {
            std::fstream f(shown, std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(std::streamoff(size / 4));
            f.write(std::string(size / 2, '\0').data(), std::streamsize(size / 2));
        } else if (what == 'r') {
            std::ofstream(dir / "saved.tif") << "not even a TIFF any more";
            fs::rename(dir / "saved.tif", shown);
        } else {
            fs::remove(shown);
        }
        if (inPlace)
            touchLater(shown);
        EXPECT_TRUE(document->changedOnDisk());
        EXPECT_EQ(document->pageCount(), 5);
        // Changed in place, every page is shown or refused by sentence; replaced or removed,
        // the open document still reads the file it opened, page for page.
        if (inPlace)
            decodeEveryPage(*document, "shown.tif", false);
        for (int page = 1; !inPlace && page <= 5; ++page)
            EXPECT_EQ(document->decode(page).pixels, before[std::size_t(page - 1)]);
        expectOperationsRefused(seen);
    }
}

TEST_F(ChangedOnDisk, aSourceChangedWhileItsPagesAreCopiedIsRefused)
{
    // Another program cuts the source short, or rewrites it in place, while the operation
    // copies from it: nothing is committed, and the message says what happened.
    for (const bool cutShort : {true, false}) {
        for (const char* command :
             {"append other.tif shown.tif 1 5", "insert other.tif shown.tif 1 1 5",
              "replace other.tif shown.tif 1 1 2", "extract shown.tif 1 5 new.tif"}) {
            SCOPED_TRACE(std::string(command) + (cutShort ? ", cut short" : ", rewritten"));
            SetUp();
            const auto other = bytes(dir / "other.tif");
            const std::uint64_t size = fs::file_size(dir / "shown.tif");
            bool changed = false;
            tessary::OperationOptions options;
            options.progress = [&](std::uint64_t, std::uint64_t) {
                if (!changed && cutShort)
                    fs::resize_file(dir / "shown.tif", size / 3);
                if (!changed && !cutShort)
                    patch(dir / "shown.tif", size / 3, 0x12345678);
                if (!changed)
                    touchLater(dir / "shown.tif");
                return changed = true;
            };
            EXPECT_TRUE(contains(
                errorOf([&] { run(engine, dir.path(), command, options); }, ErrorKind::Changed),
                "shown.tif changed on disk while its pages were being copied; nothing was "
                "changed."));
            EXPECT_TRUE(changed);
            EXPECT_EQ(bytes(dir / "other.tif"), other);
            EXPECT_FALSE(fs::exists(dir / "new.tif"));
        }
    }
}

// Ways a page list breaks off after the second page: page 2's next-page pointer points back
// to page `loop`, or past the end of the file, or at a directory of the given bytes added at
// the end.
struct Break
{
    const char* name;
    int loop;
    std::vector<std::uint8_t> directory;
    const char* problem;
    friend void PrintTo(const Break& b, std::ostream* out) { *out << b.name; }
};

const Break breaks[] = {
    {"loop_to_itself", 2, {}, "loops back on itself after page 2"},
    {"loop_to_the_first", 1, {}, "loops back on itself after page 2"},
    {"past_the_end", 0, {}, "points past the end of the file after page 2"},
    {"empty_directory", 0, {0, 0, 0, 0, 0, 0}, "page 3 has an empty directory"},
    {"cut_off_directory",
     0,
     {9, 0, 1, 1, 3, 0},
     "the directory of page 3 is cut off by the end of the file"},
};

class BrokenPageList : public ::testing::TestWithParam<Break>
{};

TEST_P(BrokenPageList, isShownAsFarAsItReadsAndNeverRewritten)
{
    TempDir dir;
    const fs::path broken = dir / "broken.tif";
    write(broken, mixedPages());
    auto before = bytes(broken);
    before.resize(before.size() + before.size() % 2);
    const auto end = std::uint32_t(before.size());
    before.insert(before.end(), GetParam().directory.begin(), GetParam().directory.end());
    writeBytes(broken, before);
    setNextPage(broken, 2,
                GetParam().loop                ? directoryOffset(broken, GetParam().loop)
                : GetParam().directory.empty() ? 0x7ffffff0u
                                               : end);
    write(dir / "other.tif", numbered(2));
    before = bytes(broken);

    const auto document = TiffDocument::open(broken);
    EXPECT_EQ(document->pageCount(), 2);
    EXPECT_FALSE(document->complete());
    EXPECT_TRUE(
        contains(document->pageListProblem(), "The list of pages of broken.tif is damaged"));
    EXPECT_TRUE(contains(document->pageListProblem(), GetParam().problem));
    decodeEveryPage(*document, "broken.tif", true);

    PageEngine engine;
    for (const char* command :
         {"append broken.tif other.tif 1 1", "insert broken.tif other.tif 1 1 1",
          "replace broken.tif other.tif 1 2 1", "delete broken.tif 1 1",
          "append broken.tif broken.tif 1 2"}) {
        EXPECT_TRUE(
            contains(errorOf([&] { run(engine, dir.path(), command); }, ErrorKind::PartlyReadable),
                     "broken.tif cannot be changed: its list of pages is damaged"));
        EXPECT_EQ(bytes(broken), before);
    }
    // Its readable pages can still be rescued into other files.
    engine.extractPages(broken, 1, 2, dir / "rescued.tif");
    EXPECT_EQ(pageNames(dir / "rescued.tif"), "1 2");
    engine.appendPages(dir / "other.tif", broken, 2, 1);
    EXPECT_EQ(pageNames(dir / "other.tif"), "1 2 2");
    EXPECT_EQ(comparePages(broken, 2, dir / "other.tif", 3), "");
}

INSTANTIATE_TEST_SUITE_P(Breaks, BrokenPageList, ::testing::ValuesIn(breaks),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
