#include "PageList.h"

#include <charconv>
#include <optional>
#include <stdexcept>

namespace tessary {

namespace {

std::optional<std::int32_t> pageNumber(std::string_view text)
{
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

// "N" or "N-M"; nothing when text is no range.
std::optional<std::pair<std::int32_t, std::int32_t>> range(std::string_view text)
{
    const auto dash = text.find('-', 1);
    const auto first = pageNumber(text.substr(0, dash));
    const auto last = dash == std::string_view::npos ? first : pageNumber(text.substr(dash + 1));
    if (!first || !last)
        return std::nullopt;
    return std::pair{*first, *last};
}

} // namespace

std::vector<PageOf> readPageList(const std::vector<std::string>& words)
{
    std::vector<PageOf> pages;
    for (const std::string& word : words) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t comma = word.find(',', start);
            const std::string item = word.substr(start, comma - start);
            if (item.empty())
                throw std::invalid_argument("the list '" + word + "' has an empty item");
            std::filesystem::path file;
            auto pagesOf = range(item);
            const auto colon = item.rfind(':');
            if (!pagesOf && colon != std::string::npos && colon > 0) {
                pagesOf = range(std::string_view(item).substr(colon + 1));
                file = item.substr(0, colon);
            }
            if (!pagesOf)
                throw std::invalid_argument("'" + item + "' is no page or range of pages");
            const auto [first, last] = *pagesOf;
            if (first < 1 || last < 1)
                throw std::invalid_argument("pages count from 1; '" + item + "' names page " +
                                            std::to_string(first < 1 ? first : last));
            const std::size_t count = std::size_t(first <= last ? last - first : first - last) + 1;
            if (pages.size() + count > maxListedPages)
                throw std::invalid_argument("the list names more than " +
                                            std::to_string(maxListedPages) + " pages");
            for (std::int32_t page = first;; page += first <= last ? 1 : -1) {
                pages.push_back({file, page});
                if (page == last)
                    break;
            }
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }
    if (pages.empty())
        throw std::invalid_argument("the list names no pages");
    return pages;
}

} // namespace tessary
