#include "EngineError.h"
#include "FaultyFileLayer.h"
#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "FuzzWorkspace.h"
#include "PageEngine.h"

#include <algorithm>
#include <map>

#ifndef EDQUOT
#define EDQUOT ENOSPC // Windows has no error of its own for a used-up quota
#endif

using namespace tessary;
using namespace fuzzsupport;
namespace fs = std::filesystem;

namespace {

using Pages = std::vector<std::string>;

std::string joined(const Pages& pages)
{
    std::string text;
    for (const auto& page : pages)
        text += (text.empty() ? "" : " ") + page;
    return text;
}

// Reads the input a byte at a time; zeros once it is used up.
class Program
{
public:
    Program(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {}
    bool done() const { return m_at >= m_size; }
    unsigned next() { return m_at < m_size ? m_data[m_at++] : 0u; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// Files the program works on and the page order each should have.
struct Model
{
    std::map<std::string, Pages> files;
};

constexpr std::size_t maxPages = 16;
constexpr int maxSteps = 12;

} // namespace

int fuzzOperations(const std::uint8_t* data, std::size_t size)
{
    const FuzzWorkspace& workspace = FuzzWorkspace::instance();
    workspace.clear();
    // Two sound files of different byte orders and kinds, made once.
    static std::vector<std::uint8_t> aBytes;
    static std::vector<std::uint8_t> bBytes;
    if (aBytes.empty()) {
        writeSoundFile(workspace / "a.tif", "a", 4, false, false);
        writeSoundFile(workspace / "b.tif", "b", 3, true, true);
        aBytes = bytes(workspace / "a.tif");
        bBytes = bytes(workspace / "b.tif");
    }
    workspace.write("a.tif", aBytes);
    workspace.write("b.tif", bBytes);
    Model model;
    model.files["a.tif"] = {"a1", "a2", "a3", "a4"};
    model.files["b.tif"] = {"b1", "b2", "b3"};
    const std::vector<std::string> names = {"a.tif", "b.tif", "n.tif"};

    Program program(data, size);
    for (int step = 0; step < maxSteps && !program.done(); ++step) {
        const unsigned op = program.next();
        const std::string destName = names[program.next() % 3];
        const std::string sourceName = names[program.next() % 3];
        const fs::path dest = workspace / destName;
        const fs::path source = workspace / sourceName;
        Pages destPages = model.files.count(destName) ? model.files[destName] : Pages();
        const Pages sourcePages = model.files.count(sourceName) ? model.files[sourceName] : Pages();
        const int destCount = int(destPages.size());
        const int sourceCount = int(sourcePages.size());
        // Page numbers one beyond either end now and then, counts of zero now and then.
        const int first = int(program.next() % unsigned(sourceCount + 2));
        const int at = int(program.next() % unsigned(destCount + 2));
        const int count = int(program.next() % 4);
        const bool runValid = first >= 1 && count >= 1 && first + count - 1 <= sourceCount;
        const auto run = [&](int from, int n) {
            return Pages(sourcePages.begin() + (from - 1), sourcePages.begin() + (from - 1 + n));
        };

        // What the operation should do, if it is valid.
        bool valid = false;
        Pages after = destPages;
        std::function<void(PageEngine&)> operation;
        switch (op % 5) {
        case 0: // append
            valid = runValid && destCount > 0;
            operation = [&](PageEngine& e) {
                e.appendPages(dest, source, first, count);
            };
            if (valid) {
                const Pages added = run(first, count);
                after.insert(after.end(), added.begin(), added.end());
            }
            break;
        case 1: // insert
            valid = runValid && at >= 1 && at <= destCount;
            operation = [&](PageEngine& e) {
                e.insertPages(dest, source, first, at, count);
            };
            if (valid) {
                const Pages added = run(first, count);
                after.insert(after.begin() + (at - 1), added.begin(), added.end());
            }
            break;
        case 2: // replace
            valid = runValid && at >= 1 && at + count - 1 <= destCount;
            operation = [&](PageEngine& e) {
                e.replacePages(dest, source, first, at, count);
            };
            if (valid) {
                const Pages added = run(first, count);
                std::copy(added.begin(), added.end(), after.begin() + (at - 1));
            }
            break;
        case 3: // delete
            valid = at >= 1 && count >= 1 && at + count - 1 <= destCount && count < destCount;
            operation = [&](PageEngine& e) {
                e.deletePages(dest, at, count);
            };
            if (valid)
                after.erase(after.begin() + (at - 1), after.begin() + (at - 1 + count));
            break;
        default: // extract
            valid = runValid && destName != sourceName;
            operation = [&](PageEngine& e) {
                e.extractPages(source, first, count, dest);
            };
            if (valid)
                after = run(first, count);
            break;
        }
        // Refusals on files that do not exist, or of an extract onto its own source, are
        // tested elsewhere; here they would only end the program early. Files are kept
        // small, so that a program runs quickly.
        if (!valid && (op % 5 == 4 || destCount == 0 || (op % 5 != 3 && sourceCount == 0)))
            continue;
        if (after.size() > maxPages)
            continue;

        // Now and then a write fails, in one of the ways a disk fails.
        FaultyFileLayer faulty;
        const unsigned fault = op / 5;
        if (fault % 4 == 3) {
            faulty.failAt = 1 + int(program.next() % 24);
            const int errors[] = {ENOSPC, EIO, EDQUOT, EROFS};
            faulty.error = errors[program.next() % 4];
            // Not both: a disk that takes half of the one pointer write that links pages in
            // and then refuses every later write, even the one putting the old pointer back,
            // leaves that pointer torn. No program can undo a write the disk will not take.
            faulty.shortWrite = (fault & 8) != 0;
            faulty.persistent = !faulty.shortWrite && (fault & 16) != 0;
        }
        const Pages before = destPages;
        std::string message;
        bool completed = false;
        try {
            PageEngine engine(faulty);
            operation(engine);
            completed = true;
        } catch (const EngineError& e) {
            message = e.what();
        }
        const bool faultHit = faulty.failAt > 0 && faulty.points >= faulty.failAt;
        require(!completed || valid, "an invalid operation completed: " + std::to_string(op));
        require(completed || !valid || faultHit, "a valid operation failed: " + message);
        require(!completed || !faultHit, "a failed write was reported as success");
        require(!anyTemporaryIn(workspace.path()), "a temporary file was left behind");

        const std::string now = fs::exists(dest) ? pageNames(dest) : "";
        if (completed) {
            require(now == joined(after), "pages " + now + ", expected " + joined(after));
            model.files[destName] = after;
        } else if (now == joined(before)) {
            require(before.empty() == !fs::exists(dest), "a refused operation made a file");
        } else {
            // Only a fault may leave the change made (the rename done, the folder's sync
            // failed), and the message then says so.
            require(faultHit && now == joined(after), "pages " + now + " after a failure");
            require(message.find("unchanged") == std::string::npos, message);
            model.files[destName] = after;
        }
        if (!fs::exists(dest))
            model.files.erase(destName);
    }
    return 0;
}
