// Every page operation, on three kinds of files, with every write, copy, truncate, sync and
// rename failing in turn in every way a disk fails, and with the process ending at each of
// them: the files are as before or as after (each step of an operation of several steps,
// such as a move, on its own), never in between; no failure is reported as success; the
// message names the cause; no temporary file outlives the next operation. And when an
// operation returns, its change is on the disk: the new file synced, renamed over the old
// and the folder synced; new pages synced before the pointer that links them in. A move
// (pages added to the destination, then deleted from the source) thus commits the
// destination before the source is touched.

#include "FaultyFileLayer.h"
#include "TestTiff.h"
#include "WholeFile.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <map>
#include <regex>

using namespace testtiff;

namespace {

// The regular files of a folder and their bytes; temporary files apart.
struct Snapshot
{
    std::map<std::string, std::vector<std::uint8_t>> files;
    std::vector<std::string> temporaries;
};

Snapshot snapshot(const fs::path& folder)
{
    Snapshot s;
    for (const std::string& name : listing(folder)) {
        if (name.find(".tessary-") != std::string::npos)
            s.temporaries.push_back(name);
        else
            s.files[name] = bytes(folder / name);
    }
    return s;
}

void restore(const fs::path& folder, const Snapshot& s)
{
    for (const auto& entry : fs::directory_iterator(folder))
        fs::remove(entry.path());
    for (const auto& [name, bytes] : s.files)
        writeBytes(folder / name, bytes);
}

// Operations as a caller performs them, step by step; each stops at the first step that fails.
const std::vector<std::string> operations[] = {
    {"append dest.tif source.tif 2 2"},
    {"insert dest.tif source.tif 1 2 2"},
    {"replace dest.tif source.tif 1 3 2"},
    {"delete dest.tif 2 2"},
    {"append dest.tif source.tif 2 1", "delete source.tif 2 1"}, // a move
    {"extract dest.tif 2 2 new.tif"},
    {"append dest.tif dest.tif 1 3"},
    {"insert dest.tif dest.tif 4 2 1", "delete dest.tif 5 1"}, // a reorder
    {"extract blank.tif 1 1 new.tif", "append new.tif dest.tif 2 3", "delete new.tif 1 1"},
    {"arrange dest.tif 3 source.tif:2 1 1"},
    {"deletelist dest.tif 4 2"},
    {"extractlist new.tif dest.tif:2 source.tif:1"},
    {"rotate dest.tif 2 2 90"},
    {"rotate dest.tif 1 1 180", "rotate dest.tif 3 1 270"},
};

struct FaultKind
{
    std::string name;
    int error;
    bool shortWrite;
    bool persistent;
    bool die;
    std::string cause; // what the message must say
};

const FaultKind faultKinds[] = {
    {"no space", ENOSPC, false, false, false, "no space left on the disk"},
    {"short write", ENOSPC, true, false, false, "no space left on the disk"},
#ifdef _WIN32
    {"in use", EBUSY, false, false, false, "open in another program"},
#else
    {"quota", EDQUOT, false, false, false, "disk quota is used up"},
#endif
    {"I/O error", EIO, false, false, false, "Input/output error"},
    {"disk gone bad", EIO, false, true, false, "Input/output error"},
    {"read-only disk", EROFS, false, false, false, "on a read-only disk"},
    {"permission", EACCES, false, false, false, "no permission to change"},
    {"process death", 0, false, false, true, ""},
    {"death in a write", 0, true, false, true, ""},
};

struct DestinationKind
{
    std::string name;
    std::vector<Page> pages;
    bool bigTiff;
    char order;
    friend void PrintTo(const DestinationKind& kind, std::ostream* out) { *out << kind.name; }
};

// The three destinations: a classic little-endian fax file, a big-endian BigTIFF of tiled
// colour pages with metadata, and a big-endian file of 16-bit pages (whose samples must be
// re-encoded when they move to a little-endian file).
const DestinationKind destinations[] = {
    {"fax", numbered(5, fax, "d"), false, 'l'},
    {"bigtiff_colour", numbered(4, colour, "d"), true, 'b'},
    {"deep_grey", numbered(4, deep, "d"), false, 'b'},
};

// True when the folder is `before` except that one file grew: its old bytes unchanged and
// only unreferenced bytes behind them, so that its pages read exactly as before. This is
// what an append or insert in place leaves when it cannot undo its writes.
std::string grewOnlyATail(const Snapshot& now, const Snapshot& before, const fs::path& folder)
{
    if (now.files.size() != before.files.size())
        return "files appeared or vanished";
    int grown = 0;
    for (const auto& [name, bytes] : now.files) {
        const auto it = before.files.find(name);
        if (it == before.files.end())
            return name + " appeared";
        const auto& old = it->second;
        if (bytes == old)
            continue;
        if (bytes.size() <= old.size() || !std::equal(old.begin(), old.end(), bytes.begin()))
            return name + " changed within its old bytes";
        const fs::path was = folder / ("was-" + name + ".check");
        writeBytes(was, old);
        const std::string namesBefore = pageNames(was);
        fs::remove(was);
        if (pageNames(folder / name) != namesBefore)
            return name + " reads other pages than before";
        ++grown;
    }
    return grown == 1 ? "" : "no file grew";
}

class FaultMatrix : public ::testing::TestWithParam<DestinationKind>
{
protected:
    void SetUp() override
    {
        write(dir / "dest.tif", GetParam().pages, GetParam().bigTiff, GetParam().order);
        // A little-endian source of three kinds of pages; its 16-bit page must be
        // re-encoded on its way into a big-endian destination.
        std::vector<Page> source = {fax, deep, colour};
        for (std::size_t i = 0; i < source.size(); ++i)
            source[i].name = "s" + std::to_string(i + 1);
        write(dir / "source.tif", source);
        write(dir / "blank.tif", numbered(1, fax, "blank"));
        initial = snapshot(dir.path());
    }

    // Runs the steps of op through files; after each, the folder is recorded in states (when
    // given) and the number of fault points passed so far in ends.
    void runAll(FaultyFileLayer& files, const std::vector<std::string>& op,
                std::vector<Snapshot>* states = nullptr, std::vector<int>* ends = nullptr)
    {
        PageEngine engine(files);
        for (const std::string& step : op) {
            run(engine, dir.path(), step);
            if (states)
                states->push_back(snapshot(dir.path()));
            if (ends)
                ends->push_back(files.points);
        }
    }

    TempDir dir{true};
    Snapshot initial;
};

TEST_P(FaultMatrix, everyFaultAtEveryPointLeavesTheFilesBeforeOrAfter)
{
    for (const std::vector<std::string>& op : operations) {
        SCOPED_TRACE(op[0]);
        restore(dir.path(), initial);
        // The folder before and after each step of a run without faults, and the fault points
        // each step passed: step k spans points (ends[k-1], ends[k]].
        std::vector<Snapshot> states{initial};
        std::vector<int> ends;
        FaultyFileLayer counter;
        runAll(counter, op, &states, &ends);
        ASSERT_NE(states.back().files, initial.files);
        ASSERT_TRUE(states.back().temporaries.empty());

        for (const FaultKind& kind : faultKinds) {
#ifdef _WIN32
            if (kind.die)
                continue; // a process ended at each point is forked, which Windows cannot
#endif
            for (int n = 1; n <= counter.points; ++n) {
                SCOPED_TRACE(kind.name + " at point " + std::to_string(n) + " (" +
                             counter.trail[std::size_t(n - 1)] + ")");
                restore(dir.path(), initial);
                const auto step =
                    std::size_t(std::lower_bound(ends.begin(), ends.end(), n) - ends.begin());
                const Snapshot& before = states[step];
                const Snapshot& after = states[step + 1];
                FaultyFileLayer faulty;
                std::tie(faulty.failAt, faulty.error, faulty.shortWrite, faulty.persistent,
                         faulty.die) =
                    std::tuple(n, kind.error, kind.shortWrite, kind.persistent, kind.die);
                std::string message;
                pid_t child = 0;
                if (kind.die) {
                    const ChildRun ended = inChild([&] {
                        runAll(faulty, op);
                        return 0;
                    });
                    ASSERT_EQ(ended.status, FaultyFileLayer::deathStatus);
                    child = ended.pid;
                } else {
                    message = errorOf([&] { runAll(faulty, op); });
                    EXPECT_TRUE(contains(message, kind.cause));
                }
                const Snapshot now = snapshot(dir.path());
                if (now.files != before.files && now.files != after.files) {
                    // Only a disk that fails every later call too, or the end of the process,
                    // can keep an append in place from taking its bytes back.
                    EXPECT_TRUE(kind.persistent || kind.die) << "neither as before nor as after";
                    EXPECT_EQ(grewOnlyATail(now, before, dir.path()), "");
                }
                // A failure that changed the files does not say they are unchanged.
                if (now.files != before.files) {
                    EXPECT_FALSE(contains(message, "unchanged")) << message;
                }
                if (!kind.die) {
                    EXPECT_TRUE(now.temporaries.empty()) << now.temporaries.front();
                    continue;
                }
                // At most the ended process's own temporary file is left, and the next
                // operation in the folder removes it, but not a running one's (this
                // process's) nor another program's file; the lock it held went with it.
                ASSERT_LE(now.temporaries.size(), 1u);
                if (!now.temporaries.empty()) {
                    EXPECT_TRUE(contains(now.temporaries[0], "-" + std::to_string(child) + "-"));
                }
                const std::string live = ".dest.tif.tessary-" + std::to_string(getpid()) + "-9.tmp";
                std::ofstream(dir / live) << "half a file";
                std::ofstream(dir / "other.tmp") << "not ours";
                tessary::OperationOptions noWait;
                noWait.lockWait.limit = std::chrono::milliseconds(0);
                PageEngine().extractPages(dir / "source.tif", 1, 1, dir / "dest.tif", noWait);
                EXPECT_EQ(snapshot(dir.path()).temporaries, std::vector<std::string>{live});
                EXPECT_TRUE(fs::exists(dir / "other.tmp"));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ThreeFiles, FaultMatrix, ::testing::ValuesIn(destinations),
                         [](const auto& info) { return info.param.name; });

TEST(Durability, aRewriteIsSyncedRenamedAndItsFolderSyncedAndAnAppendSyncedAroundItsLink)
{
    TempDir dir{true};
    write(dir / "dest.tif", numbered(4));
    write(dir / "source.tif", numbered(3, {}, "s"));
    // The first fault point, the file of every point up to the last three, and the last
    // three, as "kind file": a temporary file named ".X.tmp" for the file X it replaces.
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
        FaultyFileLayer recorder;
        PageEngine engine(recorder);
        run(engine, dir.path(), command);
        std::vector<std::string> points;
        for (const std::string& point : recorder.trail)
            points.push_back(std::regex_replace(
                std::regex_replace(point, std::regex("tessary-[0-9]+-[0-9]+\\."), ""),
                std::regex(dir.path().filename().string()), "folder"));
        const std::size_t n = points.size();
        ASSERT_GE(n, 5u);
        EXPECT_EQ(points.front(), first);
        EXPECT_EQ(points[n - 3] + ", " + points[n - 2] + ", " + points[n - 1], last);
        for (std::size_t i = 1; i + 3 < n; ++i)
            EXPECT_EQ(points[i].substr(points[i].find(' ') + 1), file) << points[i];
    }
}

TEST(Durability, aWholeFileWriteThatFailsBeforeItsRenameLeavesTheOldFileAndNoTemporary)
{
    TempDir dir;
    writeBytes(dir / "page.pgm", {'o', 'l', 'd'});
    // Creating, writing, taking the old file's permissions, syncing and renaming.
    for (int failAt = 1; failAt <= 5; ++failAt) {
        FaultyFileLayer faulty;
        faulty.failAt = failAt;
        EXPECT_TRUE(
            contains(errorOf([&] { tessary::writeWholeFile(dir / "page.pgm", "new", faulty); }),
                     "page.pgm"));
        EXPECT_EQ(faulty.trail.size(), std::size_t(failAt));
        EXPECT_EQ(listing(dir.path()), std::vector<std::string>{"page.pgm"}) << failAt;
        EXPECT_EQ(bytes(dir / "page.pgm"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    }
}

} // namespace
