// Real files from many programs, valid and malformed, listed with what a plain libtiff
// reader made of them: every one is opened, counted, decoded page by page and, where it
// opens, copied page by page into a new file. Nothing crashes or hangs; every refusal is a
// sentence naming the file (and page); files libtiff reads whole are read whole here too;
// copied pages decode exactly as their originals. Every truncation of three multi-page
// files is put through the same.

#include "EngineError.h"
#include "PageEngine.h"
#include "TestTiff.h"
#include "TiffDocument.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>
#include <tiffio.h>

using namespace tessary;
using testtiff::Page;
namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int slowdown = 4;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int slowdown = 4;
#else
constexpr int slowdown = 1;
#endif
#else
constexpr int slowdown = 1;
#endif

// Ends the test program, loudly, when one file takes longer than the limit: a hang cannot
// be caught any other way. Sanitizer builds run a few times slower and get more time.
class HangGuard
{
public:
    HangGuard(const std::string& what, std::chrono::seconds limit)
        : m_thread([this, what, limit] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_done.wait_for(lock, limit * slowdown, [this] { return m_finished; })) {
                std::fprintf(stderr, "HANG: %s took longer than %lld s\n", what.c_str(),
                             static_cast<long long>(limit.count() * slowdown));
                std::abort();
            }
        })
    {}
    ~HangGuard()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_one();
        m_thread.join();
    }
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

std::uint64_t fingerprint(const PageImage& image)
{
    std::uint64_t h = 1469598103934665603ull;
    const auto mix = [&h](std::uint64_t v) {
        h ^= v;
        h *= 1099511628211ull;
    };
    mix(image.width);
    mix(image.height);
    mix(std::uint64_t(image.format));
    for (std::uint8_t b : image.pixels)
        mix(b);
    return h;
}

bool mentions(const std::string& message, const std::string& text)
{
    // A sentence may begin with the capitalized form ("Page 3 of ...").
    std::string lower = message;
    if (!lower.empty() && lower[0] >= 'A' && lower[0] <= 'Z')
        lower[0] = char(lower[0] - 'A' + 'a');
    return message.find(text) != std::string::npos || lower.find(text) != std::string::npos;
}

// What became of one file.
struct Outcome
{
    bool opened = false;
    ErrorKind openError = ErrorKind::Io;
    int pages = 0;
    int decoded = 0;       // pages decoded to an image
    int lastDecoded = 0;   // the number of the last of them
    int damaged = 0;       // of them, images with a part reported damaged
    int tooLarge = 0;      // pages refused as over the limit
    int unsupported = 0;   // pages of a kind that cannot be shown
    int refused = 0;       // pages refused as damaged
    int copied = 0;        // pages copied into the new file
    int copyRefused = 0;   // pages refused by the copy
    int sameAfterCopy = 0; // copied pages decoding exactly as their originals
    std::vector<std::optional<std::uint64_t>> undamaged; // fingerprints of whole decodes
    std::vector<std::string> problems;                   // broken promises
};

// Pages copied one at a time; the rest of a longer file goes in one range.
constexpr int pagesCopiedSingly = 10;

Outcome examine(const fs::path& path, const fs::path& work)
{
    Outcome out;
    const std::string name = path.filename().string();
    const auto checkNamed = [&](const std::string& message, int page) {
        const std::string expected =
            page > 0 ? "page " + std::to_string(page) + " of " + name : name;
        if (!mentions(message, expected))
            out.problems.push_back("\"" + message + "\" does not name " + expected);
    };

    std::unique_ptr<TiffDocument> document;
    try {
        document = TiffDocument::open(path);
    } catch (const EngineError& e) {
        out.openError = e.kind();
        checkNamed(e.what(), 0);
        if (std::string(e.what()).size() <= name.size() + 2)
            out.problems.push_back("\"" + std::string(e.what()) + "\" says nothing");
        return out;
    }
    out.opened = true;
    out.pages = document->pageCount();
    out.undamaged.resize(std::size_t(out.pages) + 1);
    if (!document->complete())
        checkNamed(document->pageListProblem(), 0);
    for (int page = 1; page <= out.pages; ++page) {
        try {
            document->pageInfo(page);
            std::string damage;
            const PageImage image = document->decode(page, {}, &damage);
            ++out.decoded;
            out.lastDecoded = page;
            if (image.pixels.size() !=
                std::size_t(image.width) * image.height * image.bytesPerPixel())
                out.problems.push_back("page " + std::to_string(page) + " has a short image");
            if (damage.empty()) {
                out.undamaged[std::size_t(page)] = fingerprint(image);
            } else {
                ++out.damaged;
                checkNamed(damage, page);
            }
        } catch (const EngineError& e) {
            checkNamed(e.what(), page);
            switch (e.kind()) {
            case ErrorKind::TooLarge:
                ++out.tooLarge;
                break;
            case ErrorKind::Unsupported:
                ++out.unsupported;
                break;
            default:
                ++out.refused;
                break;
            }
        }
    }

    // Page by page into a new file: the first page extracted, the others appended.
    const fs::path copy = work / "copy.tif";
    fs::remove(copy);
    PageEngine engine;
    std::vector<int> copiedPages;
    const auto copyRun = [&](int first, int count) {
        try {
            if (!fs::exists(copy))
                engine.extractPages(path, first, count, copy);
            else
                engine.appendPages(copy, path, first, count);
            for (int i = 0; i < count; ++i)
                copiedPages.push_back(first + i);
        } catch (const EngineError& e) {
            out.copyRefused += count;
            checkNamed(e.what(), count == 1 ? first : 0);
        }
    };
    for (int page = 1; page <= std::min(out.pages, pagesCopiedSingly); ++page)
        copyRun(page, 1);
    if (out.pages > pagesCopiedSingly)
        copyRun(pagesCopiedSingly + 1, out.pages - pagesCopiedSingly);
    out.copied = int(copiedPages.size());
    if (out.copied == 0)
        return out;
    try {
        const auto copied = TiffDocument::open(copy);
        if (copied->pageCount() != out.copied || !copied->complete())
            out.problems.push_back("the copy has " + std::to_string(copied->pageCount()) +
                                   " pages, not " + std::to_string(out.copied));
        for (int i = 1; i <= std::min(copied->pageCount(), out.copied); ++i) {
            const int page = copiedPages[std::size_t(i - 1)];
            const auto& original = out.undamaged[std::size_t(page)];
            if (!original)
                continue;
            std::string damage;
            try {
                const PageImage image = copied->decode(i, {}, &damage);
                if (damage.empty() && fingerprint(image) == *original)
                    ++out.sameAfterCopy;
                else
                    out.problems.push_back("page " + std::to_string(page) +
                                           " decodes differently after the copy " + damage);
            } catch (const EngineError& e) {
                out.problems.push_back("page " + std::to_string(page) +
                                       " no longer decodes after the copy: " + e.what());
            }
        }
    } catch (const EngineError& e) {
        out.problems.push_back(std::string("the copy does not open: ") + e.what());
    }
    return out;
}

std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines)
        text += "\n  " + line;
    return text;
}

struct ManifestRow
{
    std::string file;
    std::string tiffinfoClass;
    int tiffinfoPages = 0;
    int checkPages = 0;   // main-chain pages the libtiff checker counted; -1: cannot open
    int checkDecoded = 0; // pages it decoded whole
    std::string verdict;
};

std::vector<ManifestRow> readManifest(const fs::path& root)
{
    std::vector<ManifestRow> rows;
    std::ifstream in(root / "MANIFEST.tsv");
    std::string line;
    std::getline(in, line); // column names
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream fields(line);
        std::string cell;
        while (std::getline(fields, cell, '\t'))
            cells.push_back(cell);
        if (cells.size() < 9)
            continue;
        rows.push_back({cells[0], cells[3], std::stoi(cells[4]), std::stoi(cells[5]),
                        std::stoi(cells[6]), cells[8]});
    }
    return rows;
}

// Where the manifest's page count is not the main chain: its checker stopped counting this
// file part way (it decoded 10000 of the 20000 pages tiffinfo lists).
int expectedPages(const ManifestRow& row)
{
    if (row.file == "generated/pages-20000-tiny.tif")
        return row.tiffinfoPages;
    return row.checkPages;
}

TEST(Corpus, everyFileOpensDecodesAndCopiesOrIsRefusedBySentence)
{
    const fs::path root = testtiff::testdata();
    if (root.empty())
        GTEST_SKIP() << "the shared sample files are not present (TESSARY_TESTDATA_DIR)";
    const auto manifest = readManifest(root);
    ASSERT_GT(manifest.size(), 300u);
    testtiff::TempDir work(true);
    int opened = 0;
    long pages = 0;
    long decoded = 0;
    long copied = 0;
    long same = 0;
    for (const ManifestRow& row : manifest) {
        SCOPED_TRACE(row.file + " (" + row.verdict + ")");
        Outcome o;
        {
            const HangGuard guard(row.file, std::chrono::seconds(5));
            o = examine(root / row.file, work.path());
        }
        EXPECT_TRUE(o.problems.empty()) << joined(o.problems);
        opened += o.opened;
        pages += o.pages;
        decoded += o.decoded;
        copied += o.copied;
        same += o.sameAfterCopy;

        const bool libtiffOpens = row.checkPages > 0;
        if (row.tiffinfoClass == "not-tiff") {
            EXPECT_FALSE(o.opened);
        }
        if (libtiffOpens) {
            // What libtiff opens opens here, with the main chain counted alike, and at least
            // the pages libtiff decodes are decoded here. libtiff's list ends at a directory
            // it cannot read; the chain may go on behind it, and those pages are listed here
            // and refused one by one, never decoded.
            EXPECT_TRUE(o.opened);
            EXPECT_GE(o.pages, expectedPages(row));
            if (o.pages > expectedPages(row)) {
                EXPECT_LE(o.lastDecoded, expectedPages(row));
            }
            EXPECT_GE(o.decoded, row.checkDecoded);
        }
        if (row.verdict == "decodes-ok") {
            EXPECT_EQ(o.decoded, o.pages);
            EXPECT_EQ(o.damaged, 0);
        }
        if (row.verdict == "declared-huge") {
            EXPECT_EQ(o.tooLarge, 1);
        }
        if (row.verdict == "codec-missing") {
            EXPECT_EQ(o.unsupported, 1);
        }
        // Pages libtiff reads whole are copied, including kinds that cannot be shown.
        if (libtiffOpens &&
            (row.verdict == "decodes-ok" || row.verdict == "kind-not-shown-by-RGBA-reader")) {
            EXPECT_EQ(o.copyRefused, 0);
        }
    }
    std::cout << "[ corpus ] " << manifest.size() << " files, " << opened << " opened, " << pages
              << " pages, " << decoded << " decoded, " << copied << " copied, " << same
              << " copies decoded identically\n";
}

// Three multi-page files of different kinds, small enough to cut at every byte.
struct Sample
{
    const char* name;
    std::vector<Page> pages;
    bool bigTiff;
    char order;
};

std::vector<Sample> samples()
{
    Page fax;
    fax.bits = 1;
    fax.photometric = PHOTOMETRIC_MINISWHITE;
    fax.compression = COMPRESSION_CCITTFAX4;
    fax.width = 64;
    fax.height = 40;
    fax.rowsPerStrip = 16;
    Page colour;
    colour.samples = 3;
    colour.photometric = PHOTOMETRIC_RGB;
    colour.compression = COMPRESSION_LZW;
    colour.tiled = true;
    colour.width = 32;
    colour.height = 32;
    colour.metadata = true;
    Page jpeg = colour;
    jpeg.photometric = PHOTOMETRIC_YCBCR;
    jpeg.compression = COMPRESSION_JPEG;
    jpeg.tiled = false;
    jpeg.metadata = false;
    jpeg.rowsPerStrip = 16;
    Page deep;
    deep.bits = 16;
    deep.compression = COMPRESSION_ADOBE_DEFLATE;
    deep.width = 24;
    deep.height = 20;
    Page plain;
    plain.width = 24;
    plain.height = 20;
    return {
        {"fax", testtiff::numbered(3, fax), false, 'l'},
        {"mixed-bigtiff", {colour, jpeg, deep}, true, 'b'},
        {"plain-big-endian", testtiff::numbered(3, plain), false, 'b'},
    };
}

TEST(Corpus, everyTruncationOfThreeMultiPageFilesIsReadAsFarAsItGoes)
{
    testtiff::TempDir work(true);
    long cuts = 0;
    long pagesSeen = 0;
    long pagesWhole = 0;
    for (const Sample& sample : samples()) {
        SCOPED_TRACE(sample.name);
        const fs::path full = work / (std::string(sample.name) + ".tif");
        testtiff::write(full, sample.pages, sample.bigTiff, sample.order);
        const Outcome whole = examine(full, work.path());
        ASSERT_TRUE(whole.problems.empty()) << joined(whole.problems);
        ASSERT_EQ(whole.pages, 3);
        ASSERT_EQ(whole.sameAfterCopy, 3);
        const auto bytes = testtiff::bytes(full);
        const fs::path cut = work / "cut.tif";
        const HangGuard guard(std::string("cutting ") + sample.name, std::chrono::seconds(60));
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            {
                std::ofstream out(cut, std::ios::binary | std::ios::trunc);
                out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(length));
            }
            const Outcome o = examine(cut, work.path());
            ++cuts;
            ASSERT_TRUE(o.problems.empty()) << "cut at " << length << joined(o.problems);
            ASSERT_LE(o.pages, 3) << length;
            pagesSeen += o.pages;
            // A page that decodes without damage is the page as it was.
            for (int page = 1; page <= o.pages; ++page) {
                const auto& now = o.undamaged[std::size_t(page)];
                if (!now)
                    continue;
                ++pagesWhole;
                EXPECT_EQ(*now, *whole.undamaged[std::size_t(page)])
                    << "page " << page << " cut at " << length;
            }
        }
    }
    std::cout << "[ truncations ] " << cuts << " cuts, " << pagesSeen << " pages listed, "
              << pagesWhole << " decoded whole and identical\n";
}

TEST(Corpus, everyValidFileDecodesAsLibtiffReadsIt)
{
    const fs::path root = testtiff::testdata();
    if (root.empty())
        GTEST_SKIP() << "the shared sample files are not present (TESSARY_TESTDATA_DIR)";
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(root / "valid"))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    int compared = 0;
    for (const fs::path& path : files) {
        SCOPED_TRACE(path.filename().string());
        const auto document = TiffDocument::open(path);
        std::uint32_t w = 0;
        std::uint32_t h = 0;
        const auto reference = testtiff::rgba(path, 1, &w, &h);
        PageImage image;
        try {
            image = document->decode(1);
        } catch (const EngineError& e) {
            // Kinds libtiff's reader cannot show either are refused with a reason.
            EXPECT_TRUE(reference.empty()) << e.what();
            EXPECT_EQ(e.kind(), ErrorKind::Unsupported) << e.what();
            continue;
        }
        std::uint16_t orientation = 1;
        if (TIFF* tif = TIFFOpen(path.c_str(), "rm")) {
            TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
            TIFFClose(tif);
        }
        if (reference.empty() || orientation != 1)
            continue;
        ASSERT_EQ(image.width, w);
        ASSERT_EQ(image.height, h);
        std::size_t differing = 0;
        for (std::size_t i = 0; i < reference.size(); ++i) {
            const std::uint32_t p = reference[i];
            if (image.format == PageImage::Format::Grey8)
                differing += image.pixels[i] != TIFFGetR(p);
            else
                differing += image.pixels[4 * i] != TIFFGetR(p) ||
                             image.pixels[4 * i + 1] != TIFFGetG(p) ||
                             image.pixels[4 * i + 2] != TIFFGetB(p) ||
                             image.pixels[4 * i + 3] != TIFFGetA(p);
        }
        EXPECT_EQ(differing, 0u);
        ++compared;
    }
    EXPECT_GT(compared, 60);
}

TEST(Corpus, theEightOrientationsStandUpright)
{
    const fs::path root = testtiff::testdata();
    if (root.empty())
        GTEST_SKIP() << "the shared sample files are not present (TESSARY_TESTDATA_DIR)";
    // All eight files hold the same line of text, stored turned and mirrored (scanned
    // separately, so a few edge pixels differ); a page left mirrored differs in a sixth.
    const auto upright = TiffDocument::open(root / "valid/g4_orientation_1.tif")->decode(1);
    for (int orientation = 2; orientation <= 8; ++orientation) {
        const fs::path path =
            root / ("valid/g4_orientation_" + std::to_string(orientation) + ".tif");
        const auto image = TiffDocument::open(path)->decode(1);
        ASSERT_EQ(image.width, upright.width) << orientation;
        ASSERT_EQ(image.height, upright.height) << orientation;
        std::size_t differing = 0;
        for (std::size_t i = 0; i < image.pixels.size(); ++i)
            differing += image.pixels[i] != upright.pixels[i];
        EXPECT_LT(differing, image.pixels.size() / 100) << orientation;
    }
}

} // namespace
