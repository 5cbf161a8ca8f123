#include "EngineError.h"
#include "FuzzSupport.h"
#include "FuzzTargets.h"
#include "FuzzWorkspace.h"
#include "PageEngine.h"
#include "TiffDocument.h"

#include <algorithm>
#include <optional>

using namespace tessary;
using namespace fuzzsupport;
namespace fs = std::filesystem;

namespace {

// Decodes every page it can (up to a few), for comparing copies with their originals.
std::vector<std::optional<std::uint64_t>> fingerprints(const fs::path& path, int pages)
{
    std::vector<std::optional<std::uint64_t>> out(std::size_t(pages) + 1);
    try {
        const auto document = TiffDocument::open(path);
        DecodeLimits limits;
        limits.maxDecodedBytes = 4u << 20;
        for (int page = 1; page <= std::min(pages, document->pageCount()); ++page) {
            try {
                std::string damage;
                const PageImage image = document->decode(page, limits, &damage);
                if (damage.empty())
                    out[std::size_t(page)] = fingerprint(image);
            } catch (const EngineError&) {
            }
        }
    } catch (const EngineError&) {
    }
    return out;
}

// Runs an operation that writes destination: refused, the destination is as it was and
// the message names a file; completed, the destination has expectedPages pages.
bool run(const std::function<void()>& operation, const fs::path& destination, int expectedPages,
         const fs::path& folder)
{
    const bool existed = fs::exists(destination);
    const auto before = existed ? bytes(destination) : std::vector<std::uint8_t>();
    try {
        operation();
    } catch (const EngineError& e) {
        require(existed ? bytes(destination) == before : !fs::exists(destination),
                std::string("a refused operation changed the file: ") + e.what());
        require(!anyTemporaryIn(folder), "a temporary file was left behind");
        requireNames(e.what(), ".tif");
        return false;
    }
    require(!anyTemporaryIn(folder), "a temporary file was left behind");
    const auto document = TiffDocument::open(destination);
    require(document->complete(), "a completed operation left a broken page list");
    require(document->pageCount() == expectedPages,
            "a completed operation left " + std::to_string(document->pageCount()) + " pages, not " +
                std::to_string(expectedPages));
    return true;
}

} // namespace

int fuzzCopy(const std::uint8_t* data, std::size_t size)
{
    const FuzzWorkspace& workspace = FuzzWorkspace::instance();
    workspace.clear();
    const fs::path input = workspace.write("input.tif", data, size);
    const fs::path sound = workspace / "sound.tif";
    static std::vector<std::uint8_t> soundBytes;
    if (soundBytes.empty()) {
        writeSoundFile(sound, "s", 3, false, false);
        soundBytes = bytes(sound);
    }
    workspace.write("sound.tif", soundBytes);
    const std::uint64_t choice = digest(data, size);

    int pages = 0;
    bool complete = false;
    try {
        const auto document = TiffDocument::open(input);
        pages = document->pageCount();
        complete = document->complete();
    } catch (const EngineError&) {
    }
    PageEngine engine;
    const fs::path copy = workspace / "copy.tif";

    // Pages of the input into a sound file and into a new one; every page that decodes
    // whole in the input decodes the same in the copy.
    if (pages > 0) {
        const int first = 1 + int(choice % std::uint64_t(pages));
        const int count = std::min(pages - first + 1, 1 + int((choice >> 8) % 3));
        const auto originals = fingerprints(input, first + count - 1);
        if (run([&] { engine.extractPages(input, first, count, copy); }, copy, count,
                workspace.path())) {
            const auto copies = fingerprints(copy, count);
            for (int i = 0; i < count; ++i) {
                const auto& original = originals[std::size_t(first + i)];
                require(!original || copies[std::size_t(i + 1)] == original,
                        "page " + std::to_string(first + i) + " decodes differently when copied");
            }
            // Turned half round twice, every page that decoded whole shows as it did. (An
            // uncompressed page whose data runs past the end of the input reads, in a copy,
            // whatever follows it there instead: only pages whole in the input keep still.)
            const auto turn = [&] {
                engine.rotatePages(copy, 1, count, 180);
            };
            if (run(turn, copy, count, workspace.path()) &&
                run(turn, copy, count, workspace.path())) {
                const auto turned = fingerprints(copy, count);
                for (int i = 1; i <= count; ++i) {
                    const auto& copied = copies[std::size_t(i)];
                    require(!copied || !originals[std::size_t(first + i - 1)] ||
                                turned[std::size_t(i)] == copied,
                            "a page turned half round twice decodes differently");
                }
            }
        }
        switch ((choice >> 16) % 3) {
        case 0:
            run([&] { engine.appendPages(sound, input, first, count); }, sound, 3 + count,
                workspace.path());
            break;
        case 1:
            run([&] { engine.insertPages(sound, input, first, 2, count); }, sound, 3 + count,
                workspace.path());
            break;
        default:
            run([&] { engine.replacePages(sound, input, first, 1, std::min(count, 3)); }, sound, 3,
                workspace.path());
            break;
        }
    }

    // A sound page into the input, and a page out of it: never into a file whose page list
    // breaks off.
    const int expected = complete ? pages + 1 : -1;
    const bool appended =
        run([&] { engine.appendPages(input, sound, 1 + int((choice >> 24) % 3), 1); }, input,
            expected, workspace.path());
    require(!appended || complete, "a file with a broken page list was written");
    if (pages > 1) {
        const int now = appended ? pages + 1 : pages;
        run([&] { engine.deletePages(input, 1 + int((choice >> 32) % std::uint64_t(now)), 1); },
            input, now - 1, workspace.path());
    }
    return 0;
}
