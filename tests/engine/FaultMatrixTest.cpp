// Every page operation, on three kinds of files, with every write, copy, truncate, sync and
// rename failing in turn in every way a disk fails, and with the process ending at each of
// them: the files are as before or as after, never in between; no failure is reported as
// success; the message names the cause; no temporary file outlives the next operation.

#include "EngineError.h"
#include "FaultyFileLayer.h"
#include "PageEngine.h"
#include "TestTiff.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <ostream>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

using namespace tessary;
using testtiff::Page;
namespace fs = std::filesystem;

namespace {

// The regular files of a folder and their bytes; temporary files apart.
struct Snapshot
{
    std::map<std::string, std::vector<std::uint8_t>> files;
    std::vector<std::string> temporaries;
};

bool isTemporary(const std::string& name)
{
    return name.find(".tessary-") != std::string::npos;
}

Snapshot snapshot(const fs::path& folder)
{
    Snapshot s;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (isTemporary(name))
            s.temporaries.push_back(name);
        else
            s.files[name] = testtiff::bytes(entry.path());
    }
    std::sort(s.temporaries.begin(), s.temporaries.end());
    return s;
}

void restore(const fs::path& folder, const Snapshot& s)
{
    for (const auto& entry : fs::directory_iterator(folder))
        fs::remove(entry.path());
    for (const auto& [name, bytes] : s.files) {
        std::ofstream out(folder / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
}

// One step of an operation as a caller performs it; an operation of several steps stops
// at the first that fails.
using Step = std::function<void(PageEngine&)>;

struct Operation
{
    std::string name;
    std::vector<Step> steps;
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

const std::vector<FaultKind>& faultKinds()
{
    static const std::vector<FaultKind> kinds = {
        {"no space", ENOSPC, false, false, false, "no space left on the disk"},
        {"short write", ENOSPC, true, false, false, "no space left on the disk"},
        {"quota", EDQUOT, false, false, false, "disk quota is used up"},
        {"I/O error", EIO, false, false, false, "Input/output error"},
        {"disk gone bad", EIO, false, true, false, "Input/output error"},
        {"read-only disk", EROFS, false, false, false, "on a read-only disk"},
        {"permission", EACCES, false, false, false, "no permission to change"},
        {"process death", 0, false, false, true, ""},
        {"death in a write", 0, true, false, true, ""},
    };
    return kinds;
}

Page g4Page()
{
    Page p;
    p.bits = 1;
    p.photometric = PHOTOMETRIC_MINISWHITE;
    p.compression = COMPRESSION_CCITTFAX4;
    p.width = 200;
    p.height = 120;
    p.rowsPerStrip = 40;
    return p;
}

Page colourPage()
{
    Page p;
    p.samples = 3;
    p.photometric = PHOTOMETRIC_RGB;
    p.compression = COMPRESSION_LZW;
    p.tiled = true;
    p.metadata = true;
    return p;
}

Page deepGreyPage()
{
    Page p;
    p.bits = 16;
    p.compression = COMPRESSION_ADOBE_DEFLATE;
    return p;
}

struct DestinationKind
{
    std::string name;
    std::vector<Page> pages;
    bool bigTiff;
    char order;
};

std::vector<Page> prefixed(const std::string& prefix, std::vector<Page> pages)
{
    for (Page& p : pages)
        p.name = prefix + p.name;
    return pages;
}

// The three destinations: a classic little-endian fax file, a big-endian BigTIFF of tiled
// colour pages with metadata, and a big-endian file of 16-bit pages (whose samples must be
// re-encoded when they move to a little-endian file).
const std::vector<DestinationKind>& destinations()
{
    static const std::vector<DestinationKind> kinds = {
        {"fax", prefixed("d", testtiff::numbered(5, g4Page())), false, 'l'},
        {"bigtiff-colour", prefixed("d", testtiff::numbered(4, colourPage())), true, 'b'},
        {"deep-grey", prefixed("d", testtiff::numbered(4, deepGreyPage())), false, 'b'},
    };
    return kinds;
}

void PrintTo(const DestinationKind& kind, std::ostream* out)
{
    *out << kind.name;
}

class FaultMatrix : public ::testing::TestWithParam<DestinationKind>
{
protected:
    void SetUp() override
    {
        const DestinationKind& kind = GetParam();
        testtiff::write(dir / "dest.tif", kind.pages, kind.bigTiff, kind.order);
        // A little-endian source of three kinds of pages; its 16-bit page must be
        // re-encoded on its way into a big-endian destination.
        std::vector<Page> sourcePages = {g4Page(), deepGreyPage(), colourPage()};
        for (std::size_t i = 0; i < sourcePages.size(); ++i) {
            sourcePages[i].name = "s" + std::to_string(i + 1);
            sourcePages[i].seed = int(i) + 50;
        }
        testtiff::write(dir / "source.tif", sourcePages);
        Page blank = g4Page();
        blank.name = "blank";
        testtiff::write(dir / "blank.tif", {blank});
        initial = snapshot(dir.path());
    }

    std::vector<Operation> operations() const
    {
        const fs::path d = dir / "dest.tif";
        const fs::path s = dir / "source.tif";
        const fs::path n = dir / "new.tif";
        const fs::path blank = dir / "blank.tif";
        return {
            {"append", {[=](PageEngine& e) {
                 e.appendPages(d, s, 2, 2);
             }}},
            {"insert", {[=](PageEngine& e) {
                 e.insertPages(d, s, 1, 2, 2);
             }}},
            {"replace", {[=](PageEngine& e) {
                 e.replacePages(d, s, 1, 3, 2);
             }}},
            {"delete", {[=](PageEngine& e) {
                 e.deletePages(d, 2, 2);
             }}},
            {"delete page 1", {[=](PageEngine& e) {
                 e.deletePages(d, 1, 1);
             }}},
            {"extract", {[=](PageEngine& e) {
                 e.extractPages(d, 2, 2, n);
             }}},
            {"append a range", {[=](PageEngine& e) {
                 e.appendPages(d, d, 1, 3);
             }}},
            {"reorder",
             {[=](PageEngine& e) { e.insertPages(d, d, 4, 2, 1); },
              [=](PageEngine& e) {
                  e.deletePages(d, 5, 1);
              }}},
            {"range into a new file",
             {[=](PageEngine& e) { e.extractPages(blank, 1, 1, n); },
              [=](PageEngine& e) { e.appendPages(n, d, 2, 3); },
              [=](PageEngine& e) {
                  e.deletePages(n, 1, 1);
              }}},
        };
    }

    testtiff::TempDir dir{true};
    Snapshot initial;
};

// The folder after each step of a run without faults, and the fault points each step
// passed: step k spans points (ends[k-1], ends[k]].
struct Reference
{
    std::vector<Snapshot> states;
    std::vector<int> ends;
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
        if (bytes == it->second)
            continue;
        const auto& old = it->second;
        if (bytes.size() <= old.size() || !std::equal(old.begin(), old.end(), bytes.begin()))
            return name + " changed within its old bytes";
        const fs::path was = folder / ("was-" + name + ".check");
        {
            std::ofstream out(was, std::ios::binary);
            out.write(reinterpret_cast<const char*>(old.data()), std::streamsize(old.size()));
        }
        const std::string namesBefore = testtiff::pageNames(was);
        fs::remove(was);
        if (testtiff::pageNames(folder / name) != namesBefore)
            return name + " reads other pages than before";
        ++grown;
    }
    return grown == 1 ? "" : "no file grew";
}

TEST_P(FaultMatrix, everyFaultAtEveryPointLeavesTheFilesBeforeOrAfter)
{
    int runs = 0;
    for (const Operation& op : operations()) {
        SCOPED_TRACE(op.name);
        restore(dir.path(), initial);
        Reference ref;
        ref.states.push_back(initial);
        FaultyFileLayer counter;
        {
            PageEngine engine(counter);
            for (const Step& step : op.steps) {
                step(engine);
                ref.states.push_back(snapshot(dir.path()));
                ref.ends.push_back(counter.points);
            }
        }
        ASSERT_NE(ref.states.back().files, initial.files);
        ASSERT_TRUE(ref.states.back().temporaries.empty());

        for (const FaultKind& kind : faultKinds()) {
            for (int n = 1; n <= counter.points; ++n) {
                SCOPED_TRACE(kind.name + " at point " + std::to_string(n) + " (" +
                             counter.trail[std::size_t(n - 1)] + ")");
                restore(dir.path(), initial);
                std::size_t step = 0;
                while (ref.ends[step] < n)
                    ++step;
                const Snapshot& before = ref.states[step];
                const Snapshot& after = ref.states[step + 1];
                FaultyFileLayer faulty;
                faulty.failAt = n;
                faulty.error = kind.error;
                faulty.shortWrite = kind.shortWrite;
                faulty.persistent = kind.persistent;
                faulty.die = kind.die;
                ++runs;

                if (kind.die) {
                    const pid_t child = fork();
                    ASSERT_GE(child, 0);
                    if (child == 0) {
                        try {
                            PageEngine engine(faulty);
                            for (const Step& s : op.steps)
                                s(engine);
                        } catch (...) {
                            _exit(1);
                        }
                        _exit(0);
                    }
                    int status = 0;
                    ASSERT_EQ(waitpid(child, &status, 0), child);
                    ASSERT_TRUE(WIFEXITED(status));
                    ASSERT_EQ(WEXITSTATUS(status), FaultyFileLayer::deathStatus);
                    const Snapshot now = snapshot(dir.path());
                    if (now.files != before.files && now.files != after.files) {
                        const std::string why = grewOnlyATail(now, before, dir.path());
                        EXPECT_EQ(why, "") << "the files are neither as before nor as after";
                    }
                    // At most the ended process's own temporary file is left, and the next
                    // operation in the folder removes it; the lock it held went with it.
                    ASSERT_LE(now.temporaries.size(), 1u);
                    if (!now.temporaries.empty()) {
                        EXPECT_NE(now.temporaries[0].find("-" + std::to_string(child) + "-"),
                                  std::string::npos);
                    }
                    OperationOptions noWait;
                    noWait.lockWait.limit = std::chrono::milliseconds(0);
                    PageEngine().extractPages(dir / "source.tif", 1, 1, dir / "dest.tif", noWait);
                    EXPECT_TRUE(snapshot(dir.path()).temporaries.empty());
                    continue;
                }

                try {
                    PageEngine engine(faulty);
                    for (const Step& s : op.steps)
                        s(engine);
                    ADD_FAILURE() << "the operation reported success";
                } catch (const EngineError& e) {
                    const std::string message = e.what();
                    EXPECT_NE(message.find(kind.cause), std::string::npos) << message;
                    const bool promisesUnchanged = message.find("unchanged") != std::string::npos;
                    const Snapshot now = snapshot(dir.path());
                    EXPECT_TRUE(now.temporaries.empty()) << now.temporaries.front();
                    if (now.files == before.files)
                        continue;
                    EXPECT_FALSE(promisesUnchanged) << message;
                    if (now.files != after.files) {
                        // Only a disk that fails every later call too can keep an append in
                        // place from taking its bytes back; the message then promises nothing.
                        EXPECT_TRUE(kind.persistent) << "neither as before nor as after";
                        EXPECT_EQ(grewOnlyATail(now, before, dir.path()), "");
                    }
                }
            }
        }
    }
    std::cout << "[ fault matrix ] " << GetParam().name << ": " << operations().size()
              << " operations, " << runs << " faulty runs of " << faultKinds().size() << " kinds\n";
}

INSTANTIATE_TEST_SUITE_P(ThreeFiles, FaultMatrix, ::testing::ValuesIn(destinations()),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
