// Two writers of one file at once, as two threads and as two processes (tessary-pages; the
// engine in a process of its own for a Move): the files then hold every change reported
// done, as if one had run after the other, and neither waits for ever. A writer that finds
// the file locked says so, and then works on it as the other left it. (That a killed
// writer's lock is gone with it, the fault matrix shows.)

#include "EngineError.h"
#include "FaultyFileLayer.h"
#include "PageEngine.h"
#include "TestTiff.h"

#include <array>
#include <atomic>
#include <gtest/gtest.h>
#include <iostream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tessary;
namespace fs = std::filesystem;

namespace {

// A command line, the files a, b, x, y standing for a.tif ... in dir.
std::vector<std::string> words(const fs::path& dir, const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> w = {std::istream_iterator<std::string>(in), {}};
    for (std::string& word : w)
        word = word.size() == 1 && std::isalpha(word[0]) ? (dir / (word + ".tif")).string() : word;
    return w;
}

// Runs a tessary-pages command with the engine, counting in waited how often it finds a
// file locked; "move DEST SRC PAGE" adds the page to DEST, then deletes it from SRC, holding
// both files' locks throughout as the program's Move does. Returns the error, or "".
std::string apply(const fs::path& dir, const std::string& command, std::atomic<int>& waited)
{
    const auto w = words(dir, command);
    auto n = [&](std::size_t i) {
        return std::stoi(w[i]);
    };
    OperationOptions options;
    options.lockWait.limit = std::chrono::seconds(20); // a deadlock fails as Busy
    options.lockWait.waiting = [&](const fs::path&) {
        return ++waited > 0;
    };
    FileLocks both({w[1], w[2]});
    PageEngine e;
    try {
        if (w[0] == "append")
            e.appendPages(w[1], w[2], n(3), n(4), options);
        else if (w[0] == "insert")
            e.insertPages(w[1], w[2], n(3), n(4), n(5), options);
        else if (w[0] == "replace")
            e.replacePages(w[1], w[2], n(3), n(4), n(5), options);
        else if (w[0] == "delete")
            e.deletePages(w[1], n(2), n(3), options);
        options.held = &both;
        if (w[0] == "move") {
            e.appendPages(w[1], w[2], n(3), 1, options);
            e.deletePages(w[2], n(3), 1, options);
        }
    } catch (const EngineError& error) {
        return error.what();
    }
    return "";
}

// The command as a tessary-pages command line.
std::string line(const fs::path& dir, const std::string& command)
{
    std::string text = TESSARY_PAGES;
    for (const std::string& word : words(dir, command))
        text += " " + word;
    return text;
}

void write(const fs::path& path, const std::string& prefix, int count)
{
    auto pages = testtiff::numbered(count);
    for (auto& p : pages)
        p.name = prefix + p.name;
    testtiff::write(path, pages);
}

TEST(ConcurrentWriters, twoWritersAtOnceLoseNoChangeAndNeverWaitForEachOther)
{
    // Two commands, and what either order leaves in a.tif and b.tif.
    const std::vector<std::array<std::string, 4>> pairs = {
        {"append a x 1 1", "append a y 1 1", "a1 a2 a3 x1 y1 / b1 b2", "a1 a2 a3 y1 x1 / b1 b2"},
        {"delete a 1 1", "delete a 2 1", "a2 / b1 b2", "a3 / b1 b2"},
        {"delete a 2 1", "append a x 1 1", "a1 a3 x1 / b1 b2", ""},
        {"replace a x 1 2 1", "insert a y 1 2 1", "a1 y1 x1 a3 / b1 b2", "a1 x1 a2 a3 / b1 b2"},
        {"move b a 1", "move a b 1", "a2 a3 b1 / b2 a1", ""},
    };
    const char* asked = std::getenv("TESSARY_CONCURRENT_ROUNDS");
    const int rounds = asked ? std::atoi(asked) : 5;
    testtiff::TempDir dir; // on disk, where syncs keep a writer busy long enough to overlap
    write(dir / "x.tif", "x", 1);
    write(dir / "y.tif", "y", 1);
    for (const auto& pair : pairs) {
        std::atomic<int> waited{0};
        for (int round = 0; round < 2 * rounds; ++round) {
            const bool processes = round % 2;
            SCOPED_TRACE(pair[0] + " with " + pair[1] + (processes ? " (processes)" : ""));
            write(dir / "a.tif", "a", 3);
            write(dir / "b.tif", "b", 2);
            const auto at = std::chrono::steady_clock::now() + std::chrono::milliseconds(5);
            auto run = [&](const std::string& command) -> std::string {
                std::this_thread::sleep_until(at);
                if (processes && command.compare(0, 4, "move") != 0)
                    return std::system(line(dir.path(), command).c_str()) == 0 ? "" : "failed";
                return apply(dir.path(), command, waited);
            };
            if (processes) {
                pid_t children[2];
                for (int i : {0, 1}) {
                    if ((children[i] = fork()) == 0)
                        _exit(run(pair[std::size_t(i)]).empty() ? 0 : 1);
                }
                for (const pid_t child : children) {
                    int status = -1;
                    waitpid(child, &status, 0);
                    EXPECT_EQ(status, 0);
                }
            } else {
                std::thread first([&] { EXPECT_EQ(run(pair[0]), ""); });
                EXPECT_EQ(run(pair[1]), "");
                first.join();
            }
            const std::string now =
                testtiff::pageNames(dir / "a.tif") + " / " + testtiff::pageNames(dir / "b.tif");
            EXPECT_TRUE(now == pair[2] || now == pair[3]) << now;
        }
        std::cout << "[ concurrent ] " << pair[0] << " with " << pair[1] << ": " << rounds
                  << " rounds in threads (a file found locked " << waited << " times), " << rounds
                  << " in processes\n";
    }
}

TEST(ConcurrentWriters, aWaitingWriterSaysSoAndWorksOnTheFileAsTheOtherLeftIt)
{
    testtiff::TempDir dir(true);
    write(dir / "x.tif", "x", 1);
    const std::string changed = "a.tif changed on disk after it was opened; nothing was changed.";
    // Stamped: its caller looked at the file before; giving up: the user pressed Cancel.
    for (const auto& [stamped, givingUp, names, failure] :
         std::vector<std::tuple<bool, bool, std::string, std::string>>{
             {false, false, "a2 a3 x1", ""},
             {true, false, "a2 a3", changed},
             {false, true, "a2 a3", "The operation was stopped; a.tif is unchanged."}}) {
        write(dir / "a.tif", "a", 3);
        FileLocks other;
        ASSERT_TRUE(other.lock(FileLayer::system(), dir / "a.tif", {}));
        OperationOptions options;
        if (stamped)
            options.expectDestination = FileStamp::of(dir / "a.tif");
        std::string told; // the last the writer said
        std::atomic<bool> waiting{false};
        options.lockWait.waiting = [&, giveUp = givingUp](const fs::path& file) {
            told = file.filename().string();
            waiting = true;
            return !giveUp;
        };
        std::string thrown;
        std::thread writer([&] {
            try {
                PageEngine().appendPages(dir / "a.tif", dir / "x.tif", 1, 1, options);
            } catch (const EngineError& e) {
                thrown = e.what();
            }
        });
        while (!waiting)
            std::this_thread::yield();
        // The other writer rewrites the file: a new file is renamed over the one waited on.
        OperationOptions holding;
        holding.held = &other;
        PageEngine().deletePages(dir / "a.tif", 1, 1, holding);
        other.release();
        writer.join();
        EXPECT_EQ(told, givingUp ? "a.tif" : "");
        EXPECT_EQ(testtiff::pageNames(dir / "a.tif"), names);
        EXPECT_EQ(thrown, failure);
    }
}

TEST(ConcurrentWriters, tessaryPagesWaitsUpToItsLimitAndWithoutLocksNoOneWaits)
{
    testtiff::TempDir dir(true);
    write(dir / "a.tif", "a", 3);
    write(dir / "x.tif", "x", 1);
    const auto pages = [&] {
        FILE* out = popen((line(dir.path(), "append a x 1 1 --wait 0") + " 2>&1").c_str(), "r");
        char said[200] = "";
        (void)!fgets(said, sizeof said, out);
        return std::to_string(WEXITSTATUS(pclose(out))) + " " + said;
    };
    EXPECT_EQ(pages(), "0 ");
    FileLocks other;
    ASSERT_TRUE(other.lock(FileLayer::system(), dir / "a.tif", {}));
    EXPECT_EQ(pages(), "1 tessary-pages: a.tif is being changed by another program; nothing was "
                       "changed.\n");
    FaultyFileLayer noLocks; // a file system that keeps none
    noLocks.noLocks = true;
    PageEngine(noLocks).deletePages(dir / "a.tif", 1, 1);
    EXPECT_EQ(testtiff::pageNames(dir / "a.tif"), "a2 a3 x1");
}

} // namespace
