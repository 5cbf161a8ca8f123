// When an operation returns, its change is on the disk: the new file synced, renamed over
// the old and the folder synced; new pages synced before the pointer that links them in.
// A move (pages added to the destination, then deleted from the source) thus commits the
// destination before the source is touched: the page is never in neither file.

#include "EngineError.h"
#include "FaultyFileLayer.h"
#include "PageEngine.h"
#include "TestTiff.h"

#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessary;
namespace fs = std::filesystem;

namespace {

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool concerns(const std::string& point, const std::string& file)
{
    return point.find(" " + file) != std::string::npos ||
           point.find(" ." + file + ".tessary-") != std::string::npos;
}

class Durability : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testtiff::write(dest(), testtiff::numbered(4));
        auto pages = testtiff::numbered(3);
        for (auto& p : pages) {
            p.name = "s" + p.name;
            p.seed += 20;
        }
        testtiff::write(source(), pages);
    }

    fs::path dest() const { return dir / "dest.tif"; }
    fs::path source() const { return dir / "source.tif"; }

    testtiff::TempDir dir{true};
};

TEST_F(Durability, aRewriteSyncsRenamesAndSyncsTheFolderBeforeItReturns)
{
    const std::string folder = dir.path().filename().string();
    const std::vector<std::pair<std::string, std::function<void(PageEngine&)>>> rewrites = {
        {"dest.tif",
         [&](PageEngine& e) {
             e.replacePages(dest(), source(), 1, 2, 1);
         }},
        {"dest.tif",
         [&](PageEngine& e) {
             e.deletePages(dest(), 1, 2);
         }},
        {"new.tif",
         [&](PageEngine& e) {
             e.extractPages(source(), 1, 2, dir / "new.tif");
         }},
    };
    for (const auto& [file, op] : rewrites) {
        FaultyFileLayer recorder;
        PageEngine engine(recorder);
        op(engine);
        const auto& trail = recorder.trail;
        ASSERT_GE(trail.size(), 4u);
        SCOPED_TRACE(trail.back());
        const std::string temporary = trail[trail.size() - 3].substr(5);
        EXPECT_TRUE(startsWith(trail[trail.size() - 3], "sync ." + file + ".tessary-"));
        EXPECT_EQ(trail[trail.size() - 2], "rename " + file);
        EXPECT_EQ(trail.back(), "sync-folder " + folder);
        // Everything else went to the temporary file, before its sync.
        for (std::size_t i = 1; i + 3 < trail.size(); ++i)
            EXPECT_NE(trail[i].find(temporary), std::string::npos) << trail[i];
    }
}

TEST_F(Durability, anAppendInPlaceSyncsItsPagesBeforeLinkingThemAndAfter)
{
    for (int before : {0, 1, 3}) {
        FaultyFileLayer recorder;
        PageEngine engine(recorder);
        if (before == 0)
            engine.appendPages(dest(), source(), 1, 2);
        else
            engine.insertPages(dest(), source(), 1, before, 2);
        const auto& trail = recorder.trail;
        ASSERT_GE(trail.size(), 5u);
        EXPECT_EQ(trail.front(), "open dest.tif");
        // ... page data and directories at the end of the file ...
        EXPECT_EQ(trail[trail.size() - 3], "sync dest.tif");
        EXPECT_EQ(trail[trail.size() - 2], "write dest.tif"); // the one pointer write
        EXPECT_EQ(trail.back(), "sync dest.tif");
    }
}

// Moving pages: the caller appends (or inserts, or replaces) into the destination, then
// deletes from the source.
struct Move
{
    std::string name;
    std::function<void(PageEngine&, const fs::path&, const fs::path&)> add;
};

const std::vector<Move>& moves()
{
    static const std::vector<Move> list = {
        {"append",
         [](PageEngine& e, const fs::path& d, const fs::path& s) {
             e.appendPages(d, s, 2, 1);
         }},
        {"insert",
         [](PageEngine& e, const fs::path& d, const fs::path& s) {
             e.insertPages(d, s, 2, 1, 1);
         }},
        {"replace",
         [](PageEngine& e, const fs::path& d, const fs::path& s) {
             e.replacePages(d, s, 2, 3, 1);
         }},
    };
    return list;
}

void move(PageEngine& engine, const Move& m, const fs::path& dest, const fs::path& source)
{
    m.add(engine, dest, source);
    engine.deletePages(source, 2, 1);
}

TEST_F(Durability, aMoveCommitsTheDestinationBeforeTouchingTheSource)
{
    for (const Move& m : moves()) {
        SCOPED_TRACE(m.name);
        SetUp();
        FaultyFileLayer recorder;
        PageEngine engine(recorder);
        move(engine, m, dest(), source());
        const auto& trail = recorder.trail;
        std::size_t lastDest = 0;
        std::size_t firstSource = trail.size();
        for (std::size_t i = 0; i < trail.size(); ++i) {
            if (concerns(trail[i], "dest.tif"))
                lastDest = i;
            if (concerns(trail[i], "source.tif") && firstSource == trail.size())
                firstSource = i;
        }
        ASSERT_LT(firstSource, trail.size());
        EXPECT_LT(lastDest, firstSource);
        // The destination's last call before the source is touched makes it durable.
        const std::string commit = trail[firstSource - 1];
        EXPECT_TRUE(commit == "sync dest.tif" || startsWith(commit, "sync-folder ")) << commit;
    }
}

TEST_F(Durability, aMoveEndedAtAnyMomentLeavesThePageInOneFileOrBoth)
{
    const std::string page = "s2";
    for (const Move& m : moves()) {
        SCOPED_TRACE(m.name);
        SetUp();
        const auto destBefore = testtiff::pageNames(dest());
        const auto sourceBefore = testtiff::pageNames(source());
        FaultyFileLayer counter;
        {
            PageEngine engine(counter);
            move(engine, m, dest(), source());
        }
        const auto destAfter = testtiff::pageNames(dest());
        const auto sourceAfter = testtiff::pageNames(source());
        for (int n = 1; n <= counter.points; ++n) {
            SCOPED_TRACE("ended at point " + std::to_string(n) + " (" +
                         counter.trail[std::size_t(n - 1)] + ")");
            SetUp();
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                FaultyFileLayer dying;
                dying.failAt = n;
                dying.die = true;
                try {
                    PageEngine engine(dying);
                    move(engine, m, dest(), source());
                } catch (...) {
                    _exit(1);
                }
                _exit(0);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status));
            ASSERT_EQ(WEXITSTATUS(status), FaultyFileLayer::deathStatus);
            const std::string destNow = testtiff::pageNames(dest());
            const std::string sourceNow = testtiff::pageNames(source());
            EXPECT_TRUE(destNow == destBefore || destNow == destAfter) << destNow;
            EXPECT_TRUE(sourceNow == sourceBefore || sourceNow == sourceAfter) << sourceNow;
            const bool inDest = (" " + destNow + " ").find(" " + page + " ") != std::string::npos;
            const bool inSource =
                (" " + sourceNow + " ").find(" " + page + " ") != std::string::npos;
            EXPECT_TRUE(inDest || inSource) << "the page is in neither file";
            // The source loses the page only once the destination holds it for good.
            if (!inSource) {
                EXPECT_EQ(destNow, destAfter);
            }
        }
    }
}

} // namespace
