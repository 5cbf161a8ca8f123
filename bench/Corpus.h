#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace bench {

struct CorpusFile
{
    std::string name;        // file name in the corpus folder
    std::string description; // for the table
    int pages;
};

// The benchmark's files, made with libtiff on first use: scans, colour, photos, a mix and
// a BigTIFF, plus one-page sources of each kind for replace and insert.
const std::vector<CorpusFile>& corpusFiles();

// Makes every corpus file missing from folder; prints what it makes.
void makeCorpus(const std::filesystem::path& folder);

// A file of 20,000 pages of one pixel each, their directories one behind the other: where
// reading a file's structure costs the most for its size. Made in folder when missing.
std::filesystem::path manyPagesFile(const std::filesystem::path& folder);

} // namespace bench
