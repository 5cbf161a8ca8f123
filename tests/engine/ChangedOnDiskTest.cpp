// Files that other programs change under an open document or a running operation, and
// files whose page list breaks off: shown as far as they can be read, never crashing the
// reader, refused as changed or damaged by the operation that would write them.

#include "EngineError.h"
#include "PageEngine.h"
#include "TestTiff.h"
#include "TiffDocument.h"

#include <chrono>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <tiffio.h>

using namespace tessary;
using testtiff::Page;
namespace fs = std::filesystem;

namespace {

Page pageOf(std::uint16_t bits, std::uint16_t samples, std::uint16_t photometric,
            std::uint16_t compression, bool tiled = false)
{
    Page p;
    p.bits = bits;
    p.samples = samples;
    p.photometric = photometric;
    p.compression = compression;
    p.tiled = tiled;
    p.width = 120;
    p.height = 90;
    return p;
}

// Five pages of different kinds, named "1" to "5".
std::vector<Page> mixedPages()
{
    std::vector<Page> pages = {
        pageOf(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4),
        pageOf(8, 3, PHOTOMETRIC_RGB, COMPRESSION_LZW, true),
        pageOf(8, 3, PHOTOMETRIC_YCBCR, COMPRESSION_JPEG),
        pageOf(16, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE),
        pageOf(8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE),
    };
    for (std::size_t i = 0; i < pages.size(); ++i) {
        pages[i].name = std::to_string(i + 1);
        pages[i].seed = int(i) + 1;
    }
    return pages;
}

// Moves the file's modification time on, as a later write by another program would; the
// file system's clock may not have ticked between the test's two writes.
void touchLater(const fs::path& path)
{
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(2));
}

bool names(const std::string& message, const std::string& text)
{
    return message.find(text) != std::string::npos;
}

// Every page of the document decodes, or is refused with a sentence naming the page.
void decodeEveryPage(const TiffDocument& document, const std::string& file)
{
    for (int page = 1; page <= document.pageCount(); ++page) {
        try {
            document.pageInfo(page);
            DecodeLimits limits;
            limits.scaleToFit = page % 2 == 0;
            std::string damage;
            const PageImage image = document.decode(page, limits, &damage);
            EXPECT_FALSE(image.pixels.empty());
            if (!damage.empty()) {
                EXPECT_TRUE(names(damage, "page " + std::to_string(page) + " of " + file))
                    << damage;
            }
        } catch (const EngineError& e) {
            EXPECT_TRUE(names(e.what(), "age " + std::to_string(page) + " of " + file)) << e.what();
        }
    }
}

class ChangedOnDisk : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testtiff::write(shown(), mixedPages());
        auto pages = testtiff::numbered(2);
        for (Page& p : pages)
            p.name = "o" + p.name;
        testtiff::write(other(), pages);
    }

    fs::path shown() const { return dir / "shown.tif"; }
    fs::path other() const { return dir / "other.tif"; }

    // The next operations that would write or read the changed file are refused as changed,
    // and change nothing.
    void expectOperationsRefused(const FileStamp& seen)
    {
        const auto otherBefore = testtiff::bytes(other());
        const auto shownBefore =
            fs::exists(shown()) ? testtiff::bytes(shown()) : std::vector<std::uint8_t>();
        OperationOptions asDestination;
        asDestination.expectDestination = seen;
        OperationOptions asSource;
        asSource.expectSource = seen;
        const std::vector<std::pair<const char*, std::function<void()>>> operations = {
            {"append into it",
             [&] {
                 engine.appendPages(shown(), other(), 1, 1, asDestination);
             }},
            {"delete from it",
             [&] {
                 engine.deletePages(shown(), 1, 1, asDestination);
             }},
            {"replace in it",
             [&] {
                 engine.replacePages(shown(), other(), 1, 1, 1, asDestination);
             }},
            {"append from it",
             [&] {
                 engine.appendPages(other(), shown(), 1, 1, asSource);
             }},
            {"extract from it",
             [&] {
                 engine.extractPages(shown(), 1, 1, dir / "new.tif", asSource);
             }},
        };
        for (const auto& [what, run] : operations) {
            try {
                run();
                ADD_FAILURE() << what << ": not refused";
            } catch (const EngineError& e) {
                EXPECT_EQ(e.kind(), ErrorKind::Changed) << what << ": " << e.what();
                EXPECT_TRUE(names(e.what(), "shown.tif changed on disk")) << e.what();
            }
        }
        EXPECT_EQ(testtiff::bytes(other()), otherBefore);
        if (!shownBefore.empty()) {
            EXPECT_EQ(testtiff::bytes(shown()), shownBefore);
        }
        EXPECT_FALSE(fs::exists(dir / "new.tif"));
    }

    testtiff::TempDir dir;
    PageEngine engine;
};

TEST_F(ChangedOnDisk, aShownFileChangedInPlaceStillDecodesOrRefusesEachPage)
{
    const std::uint64_t size = fs::file_size(shown());
    const auto original = testtiff::bytes(shown());
    // Another program cuts the file short at several points, or writes zeros over its middle.
    const std::vector<std::pair<std::string, std::function<void()>>> changes = {
        {"cut to three quarters",
         [&] {
             fs::resize_file(shown(), size * 3 / 4);
         }},
        {"cut to half",
         [&] {
             fs::resize_file(shown(), size / 2);
         }},
        {"cut to a tenth",
         [&] {
             fs::resize_file(shown(), size / 10);
         }},
        {"cut to the header",
         [&] {
             fs::resize_file(shown(), 8);
         }},
        {"emptied",
         [&] {
             fs::resize_file(shown(), 0);
         }},
        {"overwritten in the middle",
         [&] {
             std::fstream f(shown(), std::ios::in | std::ios::out | std::ios::binary);
             const std::vector<char> zeros(std::size_t(size / 2), 0);
             f.seekp(std::streamoff(size / 4));
             f.write(zeros.data(), std::streamsize(zeros.size()));
         }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        {
            std::ofstream out(shown(), std::ios::binary);
            out.write(reinterpret_cast<const char*>(original.data()),
                      std::streamsize(original.size()));
        }
        const auto document = TiffDocument::open(shown());
        const FileStamp seen = document->stamp();
        // Read a page first, so that libtiff holds state from the whole file.
        document->decode(1);
        change();
        touchLater(shown());
        EXPECT_TRUE(document->changedOnDisk());
        EXPECT_EQ(document->pageCount(), 5);
        decodeEveryPage(*document, "shown.tif");
        expectOperationsRefused(seen);
    }
}

TEST_F(ChangedOnDisk, aShownFileReplacedOrDeletedKeepsShowingWhatWasOpened)
{
    for (const bool deleted : {false, true}) {
        SCOPED_TRACE(deleted ? "deleted" : "replaced");
        SetUp();
        const auto document = TiffDocument::open(shown());
        const FileStamp seen = document->stamp();
        std::vector<PageImage> before;
        for (int page = 1; page <= 5; ++page)
            before.push_back(document->decode(page));
        if (deleted) {
            fs::remove(shown());
        } else {
            // Saved by another program the usual way: a new file renamed over the old.
            std::ofstream(dir / "saved.tif") << "not even a TIFF any more";
            fs::rename(dir / "saved.tif", shown());
        }
        EXPECT_TRUE(document->changedOnDisk());
        // The open document still reads the file it opened, page for page.
        for (int page = 1; page <= 5; ++page)
            EXPECT_EQ(document->decode(page).pixels, before[std::size_t(page - 1)].pixels);
        expectOperationsRefused(seen);
    }
}

TEST_F(ChangedOnDisk, aSourceChangedWhileItsPagesAreCopiedIsRefused)
{
    // Another program cuts the source short, or rewrites it in place, while the operation
    // copies from it: nothing is committed, and the message says what happened.
    for (const bool cutShort : {true, false}) {
        SCOPED_TRACE(cutShort ? "cut short" : "rewritten in place");
        const std::vector<std::pair<const char*, std::function<void(const OperationOptions&)>>>
            operations = {
                {"append",
                 [&](const auto& o) {
                     engine.appendPages(other(), shown(), 1, 5, o);
                 }},
                {"insert",
                 [&](const auto& o) {
                     engine.insertPages(other(), shown(), 1, 1, 5, o);
                 }},
                {"replace",
                 [&](const auto& o) {
                     engine.replacePages(other(), shown(), 1, 1, 2, o);
                 }},
                {"extract",
                 [&](const auto& o) {
                     engine.extractPages(shown(), 1, 5, dir / "new.tif", o);
                 }},
            };
        for (const auto& [what, run] : operations) {
            SCOPED_TRACE(what);
            SetUp();
            const auto otherBefore = testtiff::bytes(other());
            const std::uint64_t size = fs::file_size(shown());
            bool changed = false;
            OperationOptions options;
            options.progress = [&](std::uint64_t, std::uint64_t) {
                if (!changed) {
                    changed = true;
                    if (cutShort) {
                        fs::resize_file(shown(), size / 3);
                    } else {
                        std::fstream f(shown(), std::ios::in | std::ios::out | std::ios::binary);
                        f.seekp(std::streamoff(size / 3));
                        f.write("garbage!", 8);
                    }
                    touchLater(shown());
                }
                return true;
            };
            try {
                run(options);
                ADD_FAILURE() << "a torn copy was committed";
            } catch (const EngineError& e) {
                EXPECT_EQ(e.kind(), ErrorKind::Changed) << e.what();
                EXPECT_TRUE(names(e.what(), "shown.tif changed on disk while its pages were "
                                            "being copied; nothing was changed."))
                    << e.what();
            }
            EXPECT_TRUE(changed);
            EXPECT_EQ(testtiff::bytes(other()), otherBefore);
            EXPECT_FALSE(fs::exists(dir / "new.tif"));
        }
    }
}

// Ways a page list breaks off after the second page.
struct Break
{
    const char* name;
    std::function<void(const fs::path&)> apply;
    const char* problem;
};

void appendBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Points page 2 at a directory of the given bytes, added at the end of the file.
void pointAtNewDirectory(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::uint64_t size = fs::file_size(path);
    if (size % 2) {
        appendBytes(path, {0});
        ++size;
    }
    appendBytes(path, bytes);
    testtiff::setNextPage(path, 2, std::uint32_t(size));
}

const Break breaks[] = {
    {"loop_to_itself", [](const fs::path& p) { testtiff::loopChain(p, 2, 2); },
     "loops back on itself after page 2"},
    {"loop_to_the_first", [](const fs::path& p) { testtiff::loopChain(p, 2, 1); },
     "loops back on itself after page 2"},
    {"past_the_end", [](const fs::path& p) { testtiff::setNextPage(p, 2, 0x7ffffff0u); },
     "points past the end of the file after page 2"},
    {"empty_directory",
     [](const fs::path& p) {
         pointAtNewDirectory(p, {0, 0, 0, 0, 0, 0});
     },
     "page 3 has an empty directory"},
    {"cut_off_directory",
     [](const fs::path& p) {
         pointAtNewDirectory(p, {9, 0, 1, 1, 3, 0});
     },
     "the directory of page 3 is cut off by the end of the file"},
};

void PrintTo(const Break& b, std::ostream* out)
{
    *out << b.name;
}

class BrokenPageList : public ::testing::TestWithParam<Break>
{};

TEST_P(BrokenPageList, isShownAsFarAsItReadsAndNeverRewritten)
{
    testtiff::TempDir dir;
    const fs::path broken = dir / "broken.tif";
    testtiff::write(broken, mixedPages());
    GetParam().apply(broken);
    testtiff::write(dir / "other.tif", testtiff::numbered(2));
    const auto bytes = testtiff::bytes(broken);

    const auto document = TiffDocument::open(broken);
    EXPECT_EQ(document->pageCount(), 2);
    EXPECT_FALSE(document->complete());
    EXPECT_TRUE(names(document->pageListProblem(), "The list of pages of broken.tif is damaged"))
        << document->pageListProblem();
    EXPECT_TRUE(names(document->pageListProblem(), GetParam().problem))
        << document->pageListProblem();
    decodeEveryPage(*document, "broken.tif");

    PageEngine engine;
    const fs::path other = dir / "other.tif";
    for (const auto& run : std::vector<std::function<void()>>{
             [&] { engine.appendPages(broken, other, 1, 1); },
             [&] { engine.insertPages(broken, other, 1, 1, 1); },
             [&] { engine.replacePages(broken, other, 1, 2, 1); },
             [&] { engine.deletePages(broken, 1, 1); },
             [&] { engine.appendPages(broken, broken, 1, 2); },
         }) {
        try {
            run();
            ADD_FAILURE() << "a file with a broken page list was rewritten";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::PartlyReadable) << e.what();
            EXPECT_TRUE(names(e.what(), "broken.tif cannot be changed: its list of pages is "
                                        "damaged"))
                << e.what();
        }
        EXPECT_EQ(testtiff::bytes(broken), bytes);
    }
    // Its readable pages can still be rescued into other files.
    engine.extractPages(broken, 1, 2, dir / "rescued.tif");
    EXPECT_EQ(testtiff::pageNames(dir / "rescued.tif"), "1 2");
    engine.appendPages(other, broken, 2, 1);
    EXPECT_EQ(testtiff::pageNames(other), "1 2 2");
    EXPECT_EQ(testtiff::comparePages(broken, 2, other, 3), "");
}

INSTANTIATE_TEST_SUITE_P(Breaks, BrokenPageList, ::testing::ValuesIn(breaks),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
