#pragma once

#include "PageEngine.h"

#include <string>
#include <vector>

namespace tessary {

// Reads a list of pages as the command line writes it: "1-3,7,5-6" names pages of the file
// being changed, "other.tif:4-9" pages of another file, and a range may run backwards
// ("9-7"). Items are separated by commas; the words of several arguments are read one after
// the other. An item whose part after its last colon is no range names pages of the file
// being changed, so that a name with a colon still reads as a range when it is one.
// Throws std::invalid_argument with a sentence for a list that cannot be read: an empty
// list or item, a page below 1, a word that is no number, more pages than maxPages.
std::vector<PageOf> readPageList(const std::vector<std::string>& words);

// The most pages one list may name.
inline constexpr std::size_t maxListedPages = 1000000;

} // namespace tessary
