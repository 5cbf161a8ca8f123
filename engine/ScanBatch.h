#pragma once

#include "PageEngine.h"
#include "TiffDocument.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tessary {

// The chores that come with scanned batches, as page lists for PageEngine: the two sides of
// a one-sided feeder's scans interleaved, a batch split into one file per document, files
// merged into one. Every file they write is written losslessly and atomically by the page
// engine.
namespace ScanBatch {

// Front 1, back 1, front 2, back 2, ... of the files fronts and backs; the backs taken last
// to first when they were scanned with the stack turned over. Unequal page counts are
// refused (ErrorKind::PageRange, naming both counts) unless allowUneven, which puts the pages
// without a partner at the end. Throws as TiffDocument::open.
std::vector<PageOf> interleave(const std::filesystem::path& fronts,
                               const std::filesystem::path& backs, bool backsReversed,
                               bool allowUneven);

// Every page of every file, in order.
std::vector<PageOf> merge(const std::vector<std::filesystem::path>& files);

// The pages (from 1) of a file of count pages in parts of every pages each.
std::vector<std::vector<std::int32_t>> splitEvery(std::int32_t count, std::int32_t every);

// The pages of the file at path in parts separated by its blank pages (BlankPage), which are
// left out and told in blanks. progress as for BlankPage::inkShares.
std::vector<std::vector<std::int32_t>>
splitAtBlanks(const std::filesystem::path& path, double threshold,
              std::vector<std::int32_t>& blanks,
              const std::function<bool(std::int32_t done, std::int32_t total)>& progress = {});

// The name of part number of a split, made from pattern by its one "%d" or "%0Nd" (N a
// digit). Throws std::invalid_argument for a pattern without exactly one of them.
std::filesystem::path partName(const std::string& pattern, int number);

// Writes each part of file (its pages) to the name given for it, in order. A failure
// removes the parts this call wrote before it, and says so in the error it throws.
void writeParts(PageEngine& engine, const std::filesystem::path& file,
                const std::vector<std::vector<std::int32_t>>& parts,
                const std::vector<std::filesystem::path>& names, const OperationOptions& options);

// "1-3,5,7-9": pages as the command line lists them.
std::string listText(const std::vector<std::int32_t>& pages);

} // namespace ScanBatch

} // namespace tessary
