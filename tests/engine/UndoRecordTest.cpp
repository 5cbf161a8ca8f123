// Undo and redo of every kind of change: the files come back byte for byte, as before and
// as after, whatever fails on the way, and a file changed since is refused.

#include "UndoRecord.h"

#include "EngineError.h"
#include "FaultyFileLayer.h"
#include "PageEngine.h"
#include "TestTiff.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

using namespace tessary;
namespace fs = std::filesystem;

namespace {

using Bytes = std::optional<std::vector<std::uint8_t>>; // none: no file

Bytes bytesOf(const fs::path& path)
{
    return fs::exists(path) ? Bytes(testtiff::bytes(path)) : std::nullopt;
}

struct Change
{
    std::string name;
    std::function<void(PageEngine&, const fs::path& dir, const OperationOptions&)> run;
    UndoRecord::Kind kind;
    std::string file; // the file changed
};

const std::vector<Change> changes = {
    {"append",
     [](PageEngine& e, const fs::path& d, const OperationOptions& o) {
         e.appendPages(d / "d.tif", d / "s.tif", 1, 2, o);
     },
     UndoRecord::Kind::Extended, "d.tif"},
    {"insertAtTheFront",
     [](PageEngine& e, const fs::path& d, const OperationOptions& o) {
         e.insertPages(d / "d.tif", d / "s.tif", 2, 1, 1, o);
     },
     UndoRecord::Kind::Extended, "d.tif"},
    {"insertOwnPage",
     [](PageEngine& e, const fs::path& d, const OperationOptions& o) {
         e.insertPages(d / "d.tif", d / "d.tif", 4, 2, 1, o);
     },
     UndoRecord::Kind::Extended, "d.tif"},
    {"replace",
     [](PageEngine& e, const fs::path& d, const OperationOptions& o) {
         e.replacePages(d / "d.tif", d / "s.tif", 1, 2, 2, o);
     },
     UndoRecord::Kind::Replaced, "d.tif"},
    {"delete",
     [](PageEngine& e, const fs::path& d, const OperationOptions& o) {
         e.deletePages(d / "d.tif", 2, 2, o);
     },
     UndoRecord::Kind::Replaced, "d.tif"},
    {"extractIntoANewFile",
     [](PageEngine& e, const fs::path& d, const OperationOptions& o) {
         e.extractPages(d / "s.tif", 1, 2, d / "n.tif", o);
     },
     UndoRecord::Kind::Created, "n.tif"},
    {"extractOverAFile",
     [](PageEngine& e, const fs::path& d, const OperationOptions& o) {
         e.extractPages(d / "s.tif", 2, 2, d / "d.tif", o);
     },
     UndoRecord::Kind::Replaced, "d.tif"},
};

void PrintTo(const Change& change, std::ostream* out)
{
    *out << change.name;
}

// A five-page destination, a three-page source, and a history folder on the same disk
// (used when keepInHistory, else what is kept stays beside the files).
class UndoRecords : public ::testing::TestWithParam<std::tuple<Change, bool>>
{
protected:
    void SetUp() override
    {
        fs::create_directories(files());
        fs::create_directories(history());
        testtiff::write(files() / "d.tif", testtiff::numbered(5));
        testtiff::Page wide;
        wide.width = 64;
        testtiff::write(files() / "s.tif", testtiff::numbered(3, wide));
        keeping.places.folder = std::get<1>(GetParam()) ? history() : fs::path();
    }

    const Change& change() const { return std::get<0>(GetParam()); }
    fs::path files() const { return dir.path() / "files"; }
    fs::path history() const { return dir.path() / "history"; }
    fs::path file() const { return files() / change().file; }

    // Runs the change with keeping; returns its record.
    UndoRecord& make(FileLayer& layer = FileLayer::system())
    {
        PageEngine engine(layer);
        OperationOptions options;
        options.keep = &keeping;
        change().run(engine, files(), options);
        EXPECT_EQ(keeping.records.size(), 1u);
        EXPECT_TRUE(keeping.problems.empty());
        return keeping.records.back();
    }

    void undo(UndoRecord& record, FileLayer& layer = FileLayer::system())
    {
        FileLocks locks;
        record.undo(layer, locks, {}, keeping.places);
    }
    void redo(UndoRecord& record, FileLayer& layer = FileLayer::system())
    {
        FileLocks locks;
        record.redo(layer, locks, {});
    }

    testtiff::TempDir dir;
    UndoKeeping keeping;
};

TEST_P(UndoRecords, undoAndRedoGiveTheBytesOfBeforeAndAfter)
{
    const Bytes before = bytesOf(file());
    // Keeping changes nothing of what the operation writes.
    fs::copy(files(), dir.path() / "plain");
    PageEngine plain;
    change().run(plain, dir.path() / "plain", {});
    UndoRecord& record = make();
    const Bytes after = bytesOf(file());
    ASSERT_EQ(after, bytesOf(dir.path() / "plain" / change().file));
    EXPECT_EQ(record.kind, change().kind);
    for (int round = 0; round < 2; ++round) {
        undo(record);
        EXPECT_EQ(bytesOf(file()), before);
        EXPECT_TRUE(record.intact());
        // Kept in the history folder when it is on the file's disk, else hidden beside it.
        EXPECT_EQ(record.kept.parent_path(), std::get<1>(GetParam()) ? history() : files());
        EXPECT_EQ(record.kept.filename().string()[0], '.');
        redo(record);
        EXPECT_EQ(bytesOf(file()), after);
    }
    // Only the version not in place is kept; discarding it leaves nothing behind.
    record.discard(FileLayer::system());
    EXPECT_TRUE(fs::is_empty(history()));
    for (const auto& entry : fs::directory_iterator(files()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

TEST_P(UndoRecords, aFileChangedSinceIsRefusedAndLeftAsItIs)
{
    UndoRecord& record = make();
    // A byte written in place, and the time of the last write set back as it was: only the
    // change time, which no program can set, tells.
    const auto time = fs::last_write_time(file());
    {
        std::fstream in(file(), std::ios::in | std::ios::out | std::ios::binary);
        in.seekp(3);
        in.put('\x7f');
    }
    fs::last_write_time(file(), time);
    const Bytes changed = bytesOf(file());
    try {
        undo(record);
        FAIL() << "undone";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Changed);
        EXPECT_NE(std::string(e.what()).find(change().file + " has been changed since"),
                  std::string::npos);
    }
    EXPECT_EQ(bytesOf(file()), changed);
    EXPECT_FALSE(record.undone);
}

TEST_P(UndoRecords, aFailureAtAnyPointLeavesTheFileAsItWas)
{
    UndoRecord& record = make();
    const Bytes after = bytesOf(file());
    undo(record);
    const Bytes before = bytesOf(file());
    redo(record);
    // Each point of an undo, then of a redo, fails in turn, writing half of its bytes.
    for (const bool undoing : {true, false}) {
        for (int point = 1;; ++point) {
            ASSERT_LT(point, 1000) << "a failed step leaves the record unable to be taken";
            FaultyFileLayer layer;
            layer.failAt = point;
            layer.shortWrite = true;
            const bool wasUndone = record.undone;
            try {
                undoing ? undo(record, layer) : redo(record, layer);
            } catch (const EngineError& e) {
                // Only a failed sync of the folder comes after the change stands.
                const bool made = record.undone != wasUndone;
                const std::string text = e.what();
                EXPECT_EQ(made, text.find("The change was made") != std::string::npos) << text;
                EXPECT_TRUE(made || text.find("unchanged") != std::string::npos) << text;
                ASSERT_EQ(bytesOf(file()), undoing != made ? after : before) << point;
                if (made)
                    undoing ? redo(record) : undo(record);
                continue;
            }
            ASSERT_EQ(bytesOf(file()), undoing ? before : after) << point;
            if (layer.points < point)
                break;
            undoing ? redo(record) : undo(record);
        }
    }
}

TEST_P(UndoRecords, aChangeThatCannotBeKeptIsMadeAllTheSame)
{
    if (change().kind != UndoRecord::Kind::Replaced)
        GTEST_SKIP() << "only a rewrite keeps a file as it is made";
    const Bytes before = bytesOf(file());
    FaultyFileLayer counting;
    undo(make(counting));
    keeping.records.back().discard(FileLayer::system());
    keeping.records.clear();
    const auto link = std::find_if(counting.trail.begin(), counting.trail.end(),
                                   [](const std::string& p) { return p.rfind("link", 0) == 0; });
    ASSERT_NE(link, counting.trail.end());
    const int linkPoint = int(link - counting.trail.begin()) + 1;
    const auto hidden = [this] {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(files()))
            count += entry.path().filename().string()[0] == '.';
        return count;
    };
    // A failure just after the link fails the operation, and nothing is kept.
    FaultyFileLayer failing;
    failing.failAt = linkPoint + 1;
    OperationOptions options;
    options.keep = &keeping;
    PageEngine engine(failing);
    EXPECT_THROW(change().run(engine, files(), options), EngineError);
    EXPECT_EQ(bytesOf(file()), before);
    EXPECT_TRUE(keeping.records.empty());
    // A failed link, then a failed rename: nothing is made, so nothing is to be said.
    failing.points = 0;
    failing.failAt = linkPoint;
    failing.persistent = true;
    EXPECT_THROW(change().run(engine, files(), options), EngineError);
    EXPECT_EQ(bytesOf(file()), before);
    EXPECT_TRUE(keeping.problems.empty());
    failing.persistent = false;
    // A failed link into the history folder keeps the file beside it instead; a failed link
    // beside it is passed over: the change is made, said to be one that cannot be undone.
    failing.points = 0;
    failing.failAt = linkPoint;
    change().run(engine, files(), options);
    EXPECT_NE(bytesOf(file()), before);
    EXPECT_TRUE(fs::is_empty(history()));
    if (std::get<1>(GetParam())) {
        ASSERT_EQ(keeping.records.size(), 1u);
        EXPECT_EQ(keeping.records[0].kept.parent_path(), files());
        EXPECT_EQ(hidden(), 1);
        return;
    }
    EXPECT_TRUE(keeping.records.empty());
    ASSERT_EQ(keeping.problems.size(), 1u);
    EXPECT_NE(keeping.problems[0].find("cannot be undone"), std::string::npos);
    EXPECT_EQ(hidden(), 0);
}

INSTANTIATE_TEST_SUITE_P(EveryChange, UndoRecords,
                         ::testing::Combine(::testing::ValuesIn(changes), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<Change, bool>>& info) {
                             return std::get<0>(info.param).name +
                                    (std::get<1>(info.param) ? "InHistory" : "Beside");
                         });

} // namespace
