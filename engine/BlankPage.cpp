#include "BlankPage.h"

#include "EngineError.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <exception>
#include <mutex>
#include <thread>

namespace tessary {

namespace {

constexpr double judgedDpi = 50;
constexpr double assumedDpi = 300; // for a page that states no resolution
constexpr int tolerance = 64;      // a quarter of the scale

// The median of the values counted.
int median(const std::array<std::uint64_t, 256>& counts, std::uint64_t total)
{
    std::uint64_t seen = 0;
    for (int value = 0; value < 256; ++value) {
        seen += counts[std::size_t(value)];
        if (2 * seen >= total)
            return value;
    }
    return 255;
}

} // namespace

double BlankPage::inkShare(const TiffDocument& document, std::int32_t page)
{
    const PageInfo info = document.pageInfo(page);
    const double perInch = info.xResolution > 0
                               ? info.xResolution * (info.resolutionUnit == 3 ? 2.54 : 1.0)
                               : assumedDpi;
    const std::uint64_t factor = std::max<std::uint64_t>(1, std::llround(perInch / judgedDpi));
    const bool grey = info.samplesPerPixel == 1 && info.photometric <= 1;
    DecodeLimits limits;
    limits.scaleToFit = true;
    limits.maxDecodedBytes =
        std::max<std::uint64_t>(1, (info.width + factor - 1) / factor *
                                       ((info.height + factor - 1) / factor) * (grey ? 1 : 4));
    const PageImage image = document.decode(page, limits);

    const std::uint32_t left = image.width / 20;
    const std::uint32_t top = image.height / 20;
    const std::uint32_t right = std::max(left + 1, image.width - left);
    const std::uint32_t bottom = std::max(top + 1, image.height - top);
    const std::size_t channels = image.format == PageImage::Format::Grey8 ? 1 : 3;
    std::array<std::array<std::uint64_t, 256>, 3> counts{};
    std::uint64_t total = 0;
    for (std::uint32_t y = top; y < bottom && y < image.height; ++y) {
        const std::uint8_t* row = image.row(y);
        for (std::uint32_t x = left; x < right && x < image.width; ++x) {
            for (std::size_t c = 0; c < channels; ++c)
                ++counts[c][row[x * image.bytesPerPixel() + c]];
            ++total;
        }
    }
    if (total == 0)
        return 0;
    std::array<int, 3> paper{};
    for (std::size_t c = 0; c < channels; ++c)
        paper[c] = median(counts[c], total);
    std::uint64_t inked = 0;
    for (std::uint32_t y = top; y < bottom && y < image.height; ++y) {
        const std::uint8_t* row = image.row(y);
        for (std::uint32_t x = left; x < right && x < image.width; ++x) {
            const std::uint8_t* pixel = row + x * image.bytesPerPixel();
            bool ink = false;
            for (std::size_t c = 0; c < channels && !ink; ++c)
                ink = std::abs(int(pixel[c]) - paper[c]) > tolerance;
            inked += ink;
        }
    }
    return double(inked) / double(total);
}

std::vector<double>
BlankPage::inkShares(const std::filesystem::path& path,
                     const std::function<bool(std::int32_t, std::int32_t)>& progress)
{
    const auto document = TiffDocument::open(path);
    const std::int32_t count = document->pageCount();
    std::vector<double> shares(std::size_t(count), 0);
    std::atomic<std::int32_t> next{1};
    std::atomic<std::int32_t> done{0};
    std::atomic<bool> stop{false};
    bool cancelled = false;
    std::mutex guard;
    std::exception_ptr failure;
    const auto fail = [&] {
        const std::lock_guard<std::mutex> lock(guard);
        if (!failure)
            failure = std::current_exception();
        stop = true;
    };
    // Judges pages while there are; the calling thread tells of the work between pages.
    const auto judge = [&](const TiffDocument& pages, bool telling) {
        for (std::int32_t page = 0; !stop && (page = next++) <= count;) {
            if (telling && progress && !progress(done.load(), count)) {
                cancelled = true;
                stop = true;
                break;
            }
            shares[std::size_t(page - 1)] = inkShare(pages, page);
            ++done;
        }
    };
    const unsigned workers =
        std::clamp<unsigned>(std::thread::hardware_concurrency(), 1, unsigned(std::max(count, 1)));
    std::vector<std::thread> others;
    for (unsigned i = 1; i < workers; ++i) {
        others.emplace_back([&] {
            try {
                judge(*TiffDocument::open(path), false);
            } catch (...) {
                fail();
            }
        });
    }
    try {
        judge(*document, true);
    } catch (...) {
        fail();
    }
    for (std::thread& thread : others)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
    if (cancelled)
        throw EngineError(ErrorKind::Cancelled, "The operation was stopped; nothing was changed.");
    return shares;
}

} // namespace tessary
