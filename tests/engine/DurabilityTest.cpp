// When an operation returns, its change is on the disk: the new file synced, renamed over
// the old and the folder synced; new pages synced before the pointer that links them in.
// A move (pages added to the destination, then deleted from the source) thus commits the
// destination before the source is touched: the page is never in neither file.

#include "EngineTestSupport.h"
#include "FaultyFileLayer.h"

using namespace enginetest;

namespace {

bool concerns(const std::string& point, const std::string& file)
{
    return contains(point, " " + file) || contains(point, " ." + file + ".tessary-");
}

class Durability : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testtiff::write(dir / "dest.tif", testtiff::numbered(4));
        testtiff::write(dir / "source.tif", testtiff::named("s", 3));
    }

    // The trail of fault points the commands pass.
    std::vector<std::string> trail(const std::vector<std::string>& commands)
    {
        FaultyFileLayer recorder;
        PageEngine engine(recorder);
        for (const std::string& command : commands)
            run(engine, dir.path(), command);
        return recorder.trail;
    }

    testtiff::TempDir dir{true};
};

TEST_F(Durability, aRewriteSyncsRenamesAndSyncsTheFolderBeforeItReturns)
{
    const std::string folder = dir.path().filename().string();
    for (const auto& [file, command] : {std::pair{"dest.tif", "replace dest.tif source.tif 1 2 1"},
                                        {"dest.tif", "delete dest.tif 1 2"},
                                        {"new.tif", "extract source.tif 1 2 new.tif"}}) {
        const auto points = trail({command});
        ASSERT_GE(points.size(), 4u);
        SCOPED_TRACE(command);
        const std::string sync = points[points.size() - 3];
        EXPECT_EQ(sync.rfind("sync ." + std::string(file) + ".tessary-", 0), 0u) << sync;
        EXPECT_EQ(points[points.size() - 2], "rename " + std::string(file));
        EXPECT_EQ(points.back(), "sync-folder " + folder);
        // Everything else went to the temporary file, before its sync.
        for (std::size_t i = 1; i + 3 < points.size(); ++i)
            EXPECT_TRUE(contains(points[i], sync.substr(5)));
    }
}

TEST_F(Durability, anAppendInPlaceSyncsItsPagesBeforeLinkingThemAndAfter)
{
    for (const char* command :
         {"append dest.tif source.tif 1 2", "insert dest.tif source.tif 1 1 2",
          "insert dest.tif source.tif 1 3 2"}) {
        const auto points = trail({command});
        ASSERT_GE(points.size(), 5u);
        EXPECT_EQ(points.front(), "open dest.tif");
        // ... page data and directories at the end of the file ...
        EXPECT_EQ(points[points.size() - 3], "sync dest.tif");
        EXPECT_EQ(points[points.size() - 2], "write dest.tif"); // the one pointer write
        EXPECT_EQ(points.back(), "sync dest.tif");
    }
}

// Moving page s2: the caller appends (or inserts, or replaces) it into the destination,
// then deletes it from the source.
const std::vector<std::vector<std::string>> moves = {
    {"append dest.tif source.tif 2 1", "delete source.tif 2 1"},
    {"insert dest.tif source.tif 2 1 1", "delete source.tif 2 1"},
    {"replace dest.tif source.tif 2 3 1", "delete source.tif 2 1"},
};

TEST_F(Durability, aMoveCommitsTheDestinationBeforeTouchingTheSource)
{
    for (const auto& move : moves) {
        SCOPED_TRACE(move[0]);
        SetUp();
        const auto points = trail(move);
        std::size_t lastDest = 0;
        std::size_t firstSource = points.size();
        for (std::size_t i = 0; i < points.size(); ++i) {
            if (concerns(points[i], "dest.tif"))
                lastDest = i;
            if (concerns(points[i], "source.tif") && firstSource == points.size())
                firstSource = i;
        }
        ASSERT_LT(firstSource, points.size());
        EXPECT_LT(lastDest, firstSource);
        // The destination's last call before the source is touched makes it durable.
        const std::string commit = points[firstSource - 1];
        EXPECT_TRUE(commit == "sync dest.tif" || commit.rfind("sync-folder ", 0) == 0) << commit;
    }
}

TEST_F(Durability, aMoveEndedAtAnyMomentLeavesThePageInOneFileOrBoth)
{
    for (const auto& move : moves) {
        SCOPED_TRACE(move[0]);
        SetUp();
        const auto destBefore = testtiff::pageNames(dir / "dest.tif");
        const auto sourceBefore = testtiff::pageNames(dir / "source.tif");
        const auto points = trail(move);
        const auto destAfter = testtiff::pageNames(dir / "dest.tif");
        const auto sourceAfter = testtiff::pageNames(dir / "source.tif");
        for (std::size_t n = 1; n <= points.size(); ++n) {
            SCOPED_TRACE("ended at point " + std::to_string(n) + " (" + points[n - 1] + ")");
            SetUp();
            const ChildRun child = inChild([&] {
                FaultyFileLayer dying;
                dying.failAt = int(n);
                dying.die = true;
                PageEngine engine(dying);
                for (const std::string& command : move)
                    run(engine, dir.path(), command);
                return 0;
            });
            ASSERT_EQ(child.status, FaultyFileLayer::deathStatus);
            const std::string destNow = testtiff::pageNames(dir / "dest.tif");
            const std::string sourceNow = testtiff::pageNames(dir / "source.tif");
            EXPECT_TRUE(destNow == destBefore || destNow == destAfter) << destNow;
            EXPECT_TRUE(sourceNow == sourceBefore || sourceNow == sourceAfter) << sourceNow;
            const bool inDest = contains(" " + destNow + " ", " s2 ");
            const bool inSource = contains(" " + sourceNow + " ", " s2 ");
            EXPECT_TRUE(inDest || inSource) << "the page is in neither file";
            // The source loses the page only once the destination holds it for good.
            if (!inSource) {
                EXPECT_EQ(destNow, destAfter);
            }
        }
    }
}

} // namespace
