// When an operation returns, its change is on the disk: the new file synced, renamed over
// the old and the folder synced; new pages synced before the pointer that links them in.
// A move (pages added to the destination, then deleted from the source) thus commits the
// destination before the source is touched. (That a process ended at any of these points
// leaves the files as before or after, the fault matrix shows.)

#include "FaultyFileLayer.h"
#include "TestTiff.h"

#include <array>
#include <regex>

using namespace testtiff;

namespace {

class Durability : public ::testing::Test
{
protected:
    void SetUp() override
    {
        write(dir / "dest.tif", numbered(4));
        write(dir / "source.tif", numbered(3, {}, "s"));
    }

    // The fault points the commands pass, as "kind file": a temporary file named ".X.tmp"
    // for the file X it replaces, the folder named "folder".
    std::vector<std::string> trail(const std::vector<std::string>& commands)
    {
        FaultyFileLayer recorder;
        PageEngine engine(recorder);
        for (const std::string& command : commands)
            run(engine, dir.path(), command);
        for (std::string& point : recorder.trail) {
            point = std::regex_replace(point, std::regex("tessary-[0-9]+-[0-9]+\\."), "");
            point = std::regex_replace(point, std::regex(dir.path().filename().string()), "folder");
        }
        return recorder.trail;
    }

    TempDir dir{true};
};

TEST_F(Durability, aRewriteIsSyncedRenamedAndItsFolderSyncedAndAnAppendSyncedAroundItsLink)
{
    // The first point, the file of every point up to the last three, and the last three.
    const std::array<const char*, 4> trails[] = {
        {"replace dest.tif source.tif 1 2 1", "create dest.tif", ".dest.tif.tmp",
         "sync .dest.tif.tmp, rename dest.tif, sync-folder folder"},
        {"delete dest.tif 1 2", "create dest.tif", ".dest.tif.tmp",
         "sync .dest.tif.tmp, rename dest.tif, sync-folder folder"},
        {"extract source.tif 1 2 new.tif", "create new.tif", ".new.tif.tmp",
         "sync .new.tif.tmp, rename new.tif, sync-folder folder"},
        // Page data and directories at the end of the file, synced before the one write of
        // the pointer that links them in.
        {"append dest.tif source.tif 1 2", "open dest.tif", "dest.tif",
         "sync dest.tif, write dest.tif, sync dest.tif"},
        {"insert dest.tif source.tif 1 1 2", "open dest.tif", "dest.tif",
         "sync dest.tif, write dest.tif, sync dest.tif"},
        {"insert dest.tif source.tif 1 3 2", "open dest.tif", "dest.tif",
         "sync dest.tif, write dest.tif, sync dest.tif"},
    };
    for (const auto& [command, first, file, last] : trails) {
        SCOPED_TRACE(command);
        const auto points = trail({command});
        const std::size_t n = points.size();
        ASSERT_GE(n, 5u);
        EXPECT_EQ(points.front(), first);
        EXPECT_EQ(points[n - 3] + ", " + points[n - 2] + ", " + points[n - 1], last);
        for (std::size_t i = 1; i + 3 < n; ++i)
            EXPECT_EQ(points[i].substr(points[i].find(' ') + 1), file) << points[i];
    }
}

TEST_F(Durability, aMoveCommitsTheDestinationBeforeTouchingTheSource)
{
    // Moving page s2: the caller appends (or inserts, or replaces) it into the destination,
    // then deletes it from the source.
    for (const char* into : {"append dest.tif source.tif 2 1", "insert dest.tif source.tif 2 1 1",
                             "replace dest.tif source.tif 2 3 1"}) {
        SCOPED_TRACE(into);
        SetUp();
        const auto points = trail({into, "delete source.tif 2 1"});
        const auto concerns = [&](std::size_t i, const std::string& file) {
            const std::string name = points[i].substr(points[i].find(' ') + 1);
            return name == file || name == "." + file + ".tmp";
        };
        std::size_t firstSource = 0;
        while (firstSource < points.size() && !concerns(firstSource, "source.tif"))
            ++firstSource;
        ASSERT_LT(firstSource, points.size());
        for (std::size_t i = firstSource; i < points.size(); ++i)
            EXPECT_FALSE(concerns(i, "dest.tif")) << points[i];
        // The destination's last call before the source is touched makes it durable.
        const std::string commit = points[firstSource - 1];
        EXPECT_TRUE(commit == "sync dest.tif" || commit == "sync-folder folder") << commit;
    }
}

} // namespace
