#pragma once

#include "TiffDocument.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

namespace tessary {

// Tells the blank sheets of a scanned batch (separator pages, empty backs of two-sided
// scans) from pages with something on them.
//
// The ink of a page is the share of the page, a margin of 5% on each side left out (where
// scanners leave shadows), that stands clearly apart from the page's paper: darker or lighter
// than its paper level by a quarter of the scale on bilevel and grey pages, farther than that
// from its paper colour in any channel on colour pages. The paper is the page's most common
// level (its median). The page is judged decoded at about 50 pixels an inch, each pixel the
// average of the page's pixels it stands for, as the viewer reduces a page: dust, scanner
// noise and paper texture fill too little of such a pixel to count, a stroke of text does.
class BlankPage
{
public:
    // The share of ink, below which a page is blank, that tessary-pages and the window use
    // unless told otherwise: half of one per cent.
    static constexpr double defaultThreshold = 0.005;

    // The ink of page (from 1) of document, from 0 to 1. Throws as TiffDocument::decode.
    static double inkShare(const TiffDocument& document, std::int32_t page);
    static bool isBlank(const TiffDocument& document, std::int32_t page,
                        double threshold = defaultThreshold)
    {
        return inkShare(document, page) < threshold;
    }
    // The ink of every page of the file at path, judged on as many threads as the machine
    // has processors, each with the file opened for itself. progress, when given, is told
    // the pages judged so far, from the calling thread, and stops the work by returning
    // false (ErrorKind::Cancelled). Throws as TiffDocument::open and decode.
    static std::vector<double>
    inkShares(const std::filesystem::path& path,
              const std::function<bool(std::int32_t done, std::int32_t total)>& progress = {});
};

} // namespace tessary
