// Refused and failed operations: each gives a sentence naming the file (and page), and
// leaves every file byte for byte as it was, with no temporary file left behind.

#include "EngineError.h"
#include "PageEngine.h"
#include "TestTiff.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessary;
using testtiff::Page;
namespace fs = std::filesystem;

namespace {

using Operation = std::function<void(PageEngine&)>;

class Failures : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testtiff::write(dest(), testtiff::numbered(5));
        Page colour;
        colour.samples = 3;
        colour.photometric = 2;
        colour.compression = 5;
        testtiff::write(source(), testtiff::numbered(3, colour));
    }

    fs::path dest() const { return dir / "dest.tif"; }
    fs::path source() const { return dir / "source.tif"; }

    // Runs op, expecting an error of kind whose message holds text; both files must be
    // unchanged and the folder must hold nothing new.
    void expectRefused(const Operation& op, ErrorKind kind, const std::string& text)
    {
        const auto destBefore = testtiff::bytes(dest());
        const auto sourceBefore = testtiff::bytes(source());
        const auto entriesBefore = entries();
        PageEngine engine;
        try {
            op(engine);
            ADD_FAILURE() << "no error; expected: " << text;
        } catch (const EngineError& e) {
            EXPECT_EQ(e.kind(), kind) << e.what();
            EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what();
        }
        EXPECT_EQ(testtiff::bytes(dest()), destBefore) << text;
        EXPECT_EQ(testtiff::bytes(source()), sourceBefore) << text;
        EXPECT_EQ(entries(), entriesBefore) << text;
    }

    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    testtiff::TempDir dir;
};

TEST_F(Failures, pageNumbersAndCountsOutsideTheFile)
{
    const fs::path d = dest();
    const fs::path s = source();
    expectRefused([&](PageEngine& e) { e.appendPages(d, s, 4, 1); }, ErrorKind::PageRange,
                  "source.tif has no page 4; it has 3 page(s).");
    expectRefused([&](PageEngine& e) { e.appendPages(d, s, 0, 1); }, ErrorKind::PageRange,
                  "source.tif has no page 0");
    expectRefused([&](PageEngine& e) { e.appendPages(d, s, 2, 3); }, ErrorKind::PageRange,
                  "source.tif has no pages 2 to 4; it has 3 page(s).");
    expectRefused([&](PageEngine& e) { e.appendPages(d, s, 1, 0); }, ErrorKind::PageRange,
                  "The number of pages must be at least 1, not 0.");
    expectRefused([&](PageEngine& e) { e.insertPages(d, s, 1, 6, 1); }, ErrorKind::PageRange,
                  "dest.tif has no page 6");
    expectRefused([&](PageEngine& e) { e.replacePages(d, s, 1, 5, 2); }, ErrorKind::PageRange,
                  "dest.tif has no pages 5 to 6");
    expectRefused([&](PageEngine& e) { e.deletePages(d, 3, -1); }, ErrorKind::PageRange,
                  "at least 1, not -1");
    expectRefused([&](PageEngine& e) { e.deletePages(d, 1, 5); }, ErrorKind::PageRange,
                  "Every page of dest.tif cannot be deleted");
    expectRefused([&](PageEngine& e) { e.extractPages(s, 3, 2, dir / "n.tif"); },
                  ErrorKind::PageRange, "source.tif has no pages 3 to 4");
}

TEST_F(Failures, missingFilesAndFilesThatAreNoTiffs)
{
    {
        std::ofstream(dir / "notes.tif") << "shopping list";
    }
    const fs::path d = dest();
    const fs::path s = source();
    expectRefused([&](PageEngine& e) { e.appendPages(dir / "none.tif", s, 1, 1); },
                  ErrorKind::NotFound, "none.tif does not exist.");
    expectRefused([&](PageEngine& e) { e.appendPages(d, dir / "gone.tif", 1, 1); },
                  ErrorKind::NotFound, "gone.tif does not exist.");
    expectRefused([&](PageEngine& e) { e.insertPages(d, dir / "notes.tif", 1, 1, 1); },
                  ErrorKind::NotTiff, "notes.tif is not a TIFF file");
    expectRefused([&](PageEngine& e) { e.deletePages(dir / "notes.tif", 1, 1); },
                  ErrorKind::NotTiff, "notes.tif is not a TIFF file");
    expectRefused([&](PageEngine& e) { e.extractPages(s, 1, 1, dir / "nofolder" / "n.tif"); },
                  ErrorKind::NotFound, "The folder of n.tif does not exist");
}

TEST_F(Failures, aDamagedSourcePageIsNotCopied)
{
    Page whole;
    whole.rowsPerStrip = whole.height;
    testtiff::write(source(), testtiff::numbered(3, whole));
    testtiff::breakStripOffset(source(), 2);
    const fs::path d = dest();
    const fs::path s = source();
    for (const Operation& op :
         std::vector<Operation>{[&](PageEngine& e) { e.appendPages(d, s, 2, 1); },
                                [&](PageEngine& e) { e.insertPages(d, s, 1, 1, 3); },
                                [&](PageEngine& e) { e.replacePages(d, s, 2, 2, 1); },
                                [&](PageEngine& e) {
                                    e.extractPages(s, 1, 2, dir / "n.tif");
                                }}) {
        expectRefused(op, ErrorKind::Damaged, "Page 2 of source.tif is damaged");
    }
    // The readable pages around it still copy.
    PageEngine().appendPages(dest(), source(), 3, 1);
    EXPECT_EQ(testtiff::pageNames(dest()), "1 2 3 4 5 3");
}

TEST_F(Failures, aPageWithoutOneReadableTagIsRefusedNotWrittenEmpty)
{
    // Page 2's directory holds entries of a type no reader knows. Written as a directory of
    // no entries, it would end the page list of the new file there: deleting page 1 of a
    // three-page file would lose page 3 too.
    testtiff::write(dest(), testtiff::numbered(3));
    {
        auto bytes = testtiff::bytes(dest());
        const auto u32 = [&](std::size_t at) {
            return std::uint32_t(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                 std::uint32_t(bytes[at + 3]) << 24);
        };
        const std::uint32_t first = u32(4);
        const std::uint32_t second = u32(first + 2 + 12 * (bytes[first] | bytes[first + 1] << 8));
        const unsigned entries = bytes[second] | bytes[second + 1] << 8;
        for (unsigned i = 0; i < entries; ++i) {
            bytes[second + 2 + 12 * i + 2] = 0x77; // type
            bytes[second + 2 + 12 * i + 3] = 0x77;
        }
        std::ofstream(dest(), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    const fs::path d = dest();
    for (const Operation& op :
         std::vector<Operation>{[&](PageEngine& e) { e.deletePages(d, 1, 1); },
                                [&](PageEngine& e) { e.extractPages(d, 2, 2, dir / "n.tif"); },
                                [&](PageEngine& e) {
                                    e.replacePages(d, source(), 1, 3, 1);
                                }}) {
        expectRefused(op, ErrorKind::Damaged, "Page 2 of dest.tif is damaged");
    }
}

TEST_F(Failures, readOnlyFilesAndFoldersAreRefused)
{
    const fs::path d = dest();
    const fs::path s = source();
    fs::permissions(d, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    expectRefused([&](PageEngine& e) { e.appendPages(d, s, 1, 1); }, ErrorKind::ReadOnly,
                  "dest.tif is read-only; it was not changed.");
    expectRefused([&](PageEngine& e) { e.deletePages(d, 1, 1); }, ErrorKind::ReadOnly,
                  "dest.tif is read-only");
    fs::permissions(d, fs::perms::owner_write, fs::perm_options::add);
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    expectRefused([&](PageEngine& e) { e.deletePages(d, 1, 1); }, ErrorKind::ReadOnly,
                  "The folder of dest.tif is read-only");
    expectRefused([&](PageEngine& e) { e.extractPages(s, 1, 1, dir / "n.tif"); },
                  ErrorKind::ReadOnly, "The folder of n.tif is read-only");
    fs::permissions(dir.path(), fs::perms::owner_all);
}

TEST_F(Failures, anExtractMayNotOverwriteItsOwnSource)
{
    const fs::path s = source();
    expectRefused([&](PageEngine& e) { e.extractPages(s, 1, 1, s); }, ErrorKind::SameFile,
                  "source.tif is the file the pages come from");
    fs::create_symlink(s, dir / "alias.tif");
    expectRefused([&](PageEngine& e) { e.extractPages(s, 1, 1, dir / "alias.tif"); },
                  ErrorKind::SameFile, "alias.tif is the file the pages come from");
    fs::remove(dir / "alias.tif");
}

TEST_F(Failures, stoppingAnOperationLeavesTheFilesAsTheyWere)
{
    OperationOptions options;
    options.progress = [](std::uint64_t, std::uint64_t) {
        return false;
    };
    const fs::path d = dest();
    const fs::path s = source();
    expectRefused([&](PageEngine& e) { e.appendPages(d, s, 1, 3, options); }, ErrorKind::Cancelled,
                  "The operation was stopped; dest.tif is unchanged.");
    expectRefused([&](PageEngine& e) { e.replacePages(d, s, 1, 1, 3, options); },
                  ErrorKind::Cancelled, "dest.tif is unchanged");
}

TEST_F(Failures, temporaryFilesOfEndedProcessesAreRemoved)
{
    // A process that ended while writing left its temporary file behind.
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    const fs::path left = dir / (".dest.tif.tessary-" + std::to_string(child) + "-0.tmp");
    const fs::path ours = dir / (".dest.tif.tessary-" + std::to_string(getpid()) + "-99.tmp");
    std::ofstream(left) << "half a file";
    std::ofstream(ours) << "in progress";
    std::ofstream(dir / "unrelated.tmp") << "not ours";
    PageEngine().deletePages(dest(), 1, 1);
    EXPECT_FALSE(fs::exists(left));
    EXPECT_TRUE(fs::exists(ours));
    EXPECT_TRUE(fs::exists(dir / "unrelated.tmp"));
}

} // namespace
