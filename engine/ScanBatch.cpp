#include "ScanBatch.h"

#include "BlankPage.h"
#include "EngineError.h"
#include "Messages.h"
#include "TiffDocument.h"
#include "UndoRecord.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace tessary::ScanBatch {

namespace fs = std::filesystem;

std::vector<PageOf> interleave(const fs::path& fronts, const fs::path& backs, bool backsReversed,
                               bool allowUneven)
{
    const std::int32_t frontCount = TiffDocument::open(fronts)->pageCount();
    const std::int32_t backCount = TiffDocument::open(backs)->pageCount();
    if (frontCount != backCount && !allowUneven) {
        throw EngineError(ErrorKind::PageRange,
                          quoted(fronts) + " has " + std::to_string(frontCount) + " page(s) and " +
                              quoted(backs) + " has " + std::to_string(backCount) +
                              "; the sides of a two-sided scan have as many pages each. "
                              "Nothing was written.");
    }
    std::vector<PageOf> pages;
    for (std::int32_t i = 0; i < std::max(frontCount, backCount); ++i) {
        if (i < frontCount)
            pages.push_back({fronts, i + 1});
        if (i < backCount)
            pages.push_back({backs, backsReversed ? backCount - i : i + 1});
    }
    return pages;
}

std::vector<PageOf> merge(const std::vector<fs::path>& files)
{
    std::vector<PageOf> pages;
    for (const fs::path& file : files) {
        const std::int32_t count = TiffDocument::open(file)->pageCount();
        for (std::int32_t page = 1; page <= count; ++page)
            pages.push_back({file, page});
    }
    return pages;
}

std::vector<std::vector<std::int32_t>> splitEvery(std::int32_t count, std::int32_t every)
{
    std::vector<std::vector<std::int32_t>> parts;
    for (std::int32_t page = 1; page <= count; ++page) {
        if ((page - 1) % every == 0)
            parts.emplace_back();
        parts.back().push_back(page);
    }
    return parts;
}

std::vector<std::vector<std::int32_t>>
splitAtBlanks(const fs::path& path, double threshold, std::vector<std::int32_t>& blanks,
              const std::function<bool(std::int32_t, std::int32_t)>& progress)
{
    const std::vector<double> shares = BlankPage::inkShares(path, progress);
    std::vector<std::vector<std::int32_t>> parts;
    bool separated = true;
    for (std::int32_t page = 1; page <= std::int32_t(shares.size()); ++page) {
        if (shares[std::size_t(page - 1)] < threshold) {
            blanks.push_back(page);
            separated = true;
            continue;
        }
        if (separated)
            parts.emplace_back();
        separated = false;
        parts.back().push_back(page);
    }
    return parts;
}

fs::path partName(const std::string& pattern, int number)
{
    std::string name;
    int directives = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            name += pattern[i];
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            name += '%';
            ++i;
            continue;
        }
        std::size_t width = 0;
        std::size_t at = i + 1;
        if (at + 1 < pattern.size() && pattern[at] == '0' &&
            std::isdigit(static_cast<unsigned char>(pattern[at + 1]))) {
            width = std::size_t(pattern[at + 1] - '0');
            at += 2;
        }
        if (at >= pattern.size() || pattern[at] != 'd')
            throw std::invalid_argument("the name pattern '" + pattern +
                                        "' holds a % that is not %d or %0Nd");
        std::string digits = std::to_string(number);
        if (digits.size() < width)
            digits.insert(0, width - digits.size(), '0');
        name += digits;
        ++directives;
        i = at;
    }
    if (directives != 1)
        throw std::invalid_argument("the name pattern '" + pattern +
                                    "' must hold %d or %03d once, for the part's number");
    return name;
}

void writeParts(PageEngine& engine, const fs::path& file,
                const std::vector<std::vector<std::int32_t>>& parts,
                const std::vector<fs::path>& names, const OperationOptions& options)
{
    std::size_t written = 0;
    const std::size_t kept = options.keep ? options.keep->records.size() : 0;
    try {
        for (; written < parts.size(); ++written) {
            std::vector<PageOf> pages;
            for (const std::int32_t page : parts[written])
                pages.push_back({file, page});
            engine.extractPages(pages, names[written], options);
        }
    } catch (const EngineError& e) {
        // What is kept to undo the parts written puts back a file a part replaced; without
        // it, the parts are removed.
        if (options.keep) {
            auto& records = options.keep->records;
            for (std::size_t i = records.size(); i-- > kept;) {
                try {
                    FileLocks locks;
                    records[i].undo(FileLayer::system(), locks, options.lockWait,
                                    options.keep->places);
                } catch (const EngineError&) {
                }
                records[i].discard(FileLayer::system());
            }
            records.resize(kept);
        } else {
            for (std::size_t i = 0; i < written; ++i) {
                std::error_code ec;
                fs::remove(names[i], ec);
            }
        }
        throw EngineError(e.kind(),
                          std::string(e.what()) +
                              (written == 0 ? ""
                                            : " The " + std::to_string(written) +
                                                  " part(s) written before it were " +
                                                  (options.keep ? "taken back." : "removed.")));
    }
}

std::string listText(const std::vector<std::int32_t>& pages)
{
    std::string text;
    for (std::size_t i = 0; i < pages.size();) {
        std::size_t j = i;
        while (j + 1 < pages.size() && pages[j + 1] == pages[j] + 1)
            ++j;
        text += (text.empty() ? "" : ",") + std::to_string(pages[i]) +
                (j > i ? "-" + std::to_string(pages[j]) : "");
        i = j + 1;
    }
    return text;
}

} // namespace tessary::ScanBatch
