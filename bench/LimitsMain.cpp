// Measures how the engine meets files that declare more than they hold: the time and peak
// memory to open a decompression bomb and show its page (refused at full size, then scaled
// down to fit), and the time to count the pages of a 20,000-page file. Each measurement runs
// in a process of its own, so that its peak memory is its own.

#include "EngineError.h"
#include "TiffDocument.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace tessary;

namespace {

struct Measure
{
    double ms = 0;
    long peakMiB = 0;
    bool ok = false;
};

// Runs work in a child process: its wall time (median of runs) and peak resident memory.
Measure measure(const std::function<bool()>& work, int runs)
{
    std::vector<double> times;
    Measure result;
    result.ok = true;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = fork();
        if (child == 0)
            _exit(work() ? 0 : 1);
        int status = 0;
        struct rusage usage
        {};
        wait4(child, &status, 0, &usage);
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        result.peakMiB = std::max(result.peakMiB, usage.ru_maxrss / 1024);
        result.ok = result.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    std::sort(times.begin(), times.end());
    result.ms = times[times.size() / 2];
    return result;
}

void row(const std::string& what, const Measure& m, const std::string& goal)
{
    std::printf("%-58s %9.1f ms %6ld MiB  %-4s %s\n", what.c_str(), m.ms, m.peakMiB,
                m.ok ? "ok" : "FAIL", goal.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TESTDATA-FOLDER [RUNS]\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::printf("%-58s %12s %10s\n", "", "median", "peak");
    for (const char* name : {"generated/bomb-g4-100000x100000-blank.tif",
                             "generated/bomb-deflate-30000x30000-zeros.tif"}) {
        const fs::path path = root / name;
        const std::string file = path.filename().string();
        row(file + ": open, refuse the page",
            measure(
                [&] {
                    const auto document = TiffDocument::open(path);
                    try {
                        document->decode(1);
                    } catch (const EngineError& e) {
                        return e.kind() == ErrorKind::TooLarge;
                    }
                    return false;
                },
                runs),
            "< 2 s, < 512 MiB");
        row(file + ": open, show scaled",
            measure(
                [&] {
                    DecodeLimits limits;
                    limits.scaleToFit = true;
                    return TiffDocument::open(path)->decode(1, limits).scale > 1;
                },
                runs),
            "< 512 MiB");
    }
    const fs::path many = root / "generated/pages-20000-tiny.tif";
    row("pages-20000-tiny.tif: open and count",
        measure([&] { return TiffDocument::open(many)->pageCount() == 20000; }, runs), "< 2 s");
    row("pages-20000-tiny.tif: open, show the last page",
        measure(
            [&] {
                const auto document = TiffDocument::open(many);
                return !document->decode(document->pageCount()).pixels.empty();
            },
            runs),
        "");
    return 0;
}
