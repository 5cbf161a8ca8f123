#pragma once

// What the engine's tests share: page operations written as the command line writes them,
// the message of an expected error, libtiff's reading of a page in the form the engine
// decodes it to, block averages, and work run in a child process.

#include "EngineError.h"
#include "PageEngine.h"
#include "TestTiff.h"
#include "TiffDocument.h"

#include <chrono>
#include <gtest/gtest.h>
#include <iterator>
#include <optional>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace enginetest {

namespace fs = std::filesystem;
using tessary::EngineError;
using tessary::ErrorKind;
using tessary::PageEngine;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
constexpr bool sanitized = __has_feature(address_sanitizer);
#else
constexpr bool sanitized = false;
#endif

// Runs one page operation on files of folder: "append DEST SRC FIRST COUNT", "insert DEST
// SRC FIRST BEFORE COUNT", "replace DEST SRC FIRST AT COUNT", "delete FILE FIRST COUNT" or
// "extract SRC FIRST COUNT NEWFILE".
inline void run(PageEngine& engine, const fs::path& folder, const std::string& command,
                const tessary::OperationOptions& options = {})
{
    std::istringstream in(command);
    const std::vector<std::string> w{std::istream_iterator<std::string>(in), {}};
    const auto f = [&](std::size_t i) {
        return folder / w.at(i);
    };
    const auto n = [&](std::size_t i) {
        return std::stoi(w.at(i));
    };
    if (w[0] == "append")
        engine.appendPages(f(1), f(2), n(3), n(4), options);
    else if (w[0] == "insert")
        engine.insertPages(f(1), f(2), n(3), n(4), n(5), options);
    else if (w[0] == "replace")
        engine.replacePages(f(1), f(2), n(3), n(4), n(5), options);
    else if (w[0] == "delete")
        engine.deletePages(f(1), n(2), n(3), options);
    else
        engine.extractPages(f(1), n(2), n(3), f(4), options);
}

// The message of the EngineError that work throws; given a kind, the error must be of it.
template <typename Work>
std::string errorOf(Work&& work, std::optional<ErrorKind> kind = std::nullopt)
{
    try {
        work();
    } catch (const EngineError& e) {
        if (kind) {
            EXPECT_EQ(e.kind(), *kind) << e.what();
        }
        return e.what();
    }
    ADD_FAILURE() << "no error";
    return "(no error)";
}

inline ::testing::AssertionResult contains(const std::string& text, const std::string& part)
{
    if (text.find(part) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text << "\" does not hold \"" << part << "\"";
}

// libtiff's reading of a page, upright, in the form the engine decodes it to: grey one byte a
// pixel (nothing when the page is not grey), else four (RGBA); with its width and height.
inline std::vector<std::uint8_t> reference(const fs::path& path, int page, bool grey,
                                           std::uint32_t& width, std::uint32_t& height)
{
    std::vector<std::uint8_t> out;
    for (const std::uint32_t p : testtiff::uprightRgba(path, page, &width, &height)) {
        const std::uint8_t c[4] = {std::uint8_t(p), std::uint8_t(p >> 8), std::uint8_t(p >> 16),
                                   std::uint8_t(p >> 24)};
        if (grey && (c[0] != c[1] || c[1] != c[2]))
            return {};
        out.insert(out.end(), c, c + (grey ? 1 : 4));
    }
    return out;
}

// A page decodes, undamaged, to exactly the pixels libtiff reads.
inline ::testing::AssertionResult decodesAsLibtiff(const fs::path& path, int page,
                                                   tessary::PageImage* decoded = nullptr)
{
    std::string damage;
    const tessary::PageImage image = tessary::TiffDocument::open(path)->decode(page, {}, &damage);
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    const bool grey = image.format == tessary::PageImage::Format::Grey8;
    const auto expected = reference(path, page, grey, w, h);
    if (decoded)
        *decoded = image;
    if (!damage.empty() || image.width != w || image.height != h || image.pixels != expected)
        return ::testing::AssertionFailure()
               << "page " << page << " of " << path.filename() << " decodes otherwise than "
               << "libtiff reads it (" << w << " by " << h << (grey ? " grey" : " colour")
               << (expected.empty() ? ", unreadable or not grey" : "") << ") " << damage;
    return ::testing::AssertionSuccess();
}

// Pixels of channels bytes averaged over blocks of scale by scale (those at the edges over
// what they have), rounded.
inline std::vector<std::uint8_t> averaged(const std::vector<std::uint8_t>& pixels, std::uint32_t w,
                                          std::uint32_t h, unsigned channels, std::uint32_t scale)
{
    std::vector<std::uint8_t> out;
    for (std::uint32_t y = 0; y < h; y += scale) {
        for (std::uint32_t x = 0; x < w; x += scale) {
            for (unsigned c = 0; c < channels; ++c) {
                std::uint32_t sum = 0;
                std::uint32_t n = 0;
                for (std::uint32_t yy = y; yy < std::min(y + scale, h); ++yy) {
                    for (std::uint32_t xx = x; xx < std::min(x + scale, w); ++xx, ++n)
                        sum += pixels[(std::size_t(yy) * w + xx) * channels + c];
                }
                out.push_back(std::uint8_t((sum + n / 2) / n));
            }
        }
    }
    return out;
}

struct ChildRun
{
    int status = -1; // the exit status; -1 when the child did not exit
    long peakMiB = 0;
    double seconds = 0;
    pid_t pid = 0;
};

// Runs work in a child process (its result the exit status), so that it may end the
// process or have its peak memory measured on its own.
template <typename Work>
ChildRun inChild(Work&& work)
{
    const auto start = std::chrono::steady_clock::now();
    ChildRun run;
    run.pid = fork();
    if (run.pid == 0) {
        int status = 1;
        try {
            status = work();
        } catch (...) {
            status = 2;
        }
        _exit(status);
    }
    int status = 0;
    struct rusage usage
    {};
    if (run.pid > 0 && wait4(run.pid, &status, 0, &usage) == run.pid && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.peakMiB = usage.ru_maxrss / 1024;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

} // namespace enginetest
