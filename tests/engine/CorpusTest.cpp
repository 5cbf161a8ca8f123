// Real files from many programs, valid and malformed, listed with what a plain libtiff
// reader made of them: every one is opened, counted, decoded page by page and, where it
// opens, copied page by page into a new file. Nothing crashes or hangs; every refusal is a
// sentence naming the file (and page); files libtiff reads whole are read whole here too;
// copied pages decode exactly as their originals. Every truncation of three multi-page
// files is put through the same.

#include "EngineTestSupport.h"

#include <cctype>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <tiffio.h>

using namespace enginetest;
using tessary::PageImage;
using tessary::TiffDocument;
using testtiff::Page;

namespace {

// Ends the test program, loudly, when one file takes longer than the limit: a hang cannot
// be caught any other way. Sanitizer builds run a few times slower and get more time.
class HangGuard
{
public:
    HangGuard(const std::string& what, unsigned seconds)
    {
        std::snprintf(s_what, sizeof s_what, "%s", what.c_str());
        std::signal(SIGALRM, [](int) {
            std::fprintf(stderr, "HANG: %s took too long\n", s_what);
            std::abort();
        });
        ::alarm(seconds * (sanitized ? 4 : 1));
    }
    ~HangGuard() { ::alarm(0); }

private:
    static inline char s_what[512];
};

std::uint64_t fingerprint(const PageImage& image)
{
    std::uint64_t h = 1469598103934665603ull;
    for (const std::uint64_t v :
         {std::uint64_t(image.width), std::uint64_t(image.height), std::uint64_t(image.format)})
        h = (h ^ v) * 1099511628211ull;
    for (const std::uint8_t b : image.pixels)
        h = (h ^ b) * 1099511628211ull;
    return h;
}

// What became of one file.
struct Outcome
{
    bool opened = false;
    int pages = 0;
    int decoded = 0;                  // pages decoded to an image
    int lastDecoded = 0;              // the number of the last of them
    int damaged = 0;                  // of them, images with a part reported damaged
    std::map<ErrorKind, int> refused; // pages refused, by the kind of error
    int copied = 0;                   // pages copied into the new file
    int copyRefused = 0;              // pages refused by the copy
    int sameAfterCopy = 0;            // copied pages decoding exactly as their originals
    std::vector<std::optional<std::uint64_t>> undamaged; // fingerprints of whole decodes
    std::string problems;                                // broken promises, a line each
};

// Pages copied one at a time; the rest of a longer file goes in one range.
constexpr int pagesCopiedSingly = 10;

Outcome examine(const fs::path& path, const fs::path& work)
{
    Outcome out;
    const std::string name = path.filename().string();
    // A sentence may begin with the capitalized form ("Page 3 of ...").
    const auto checkNamed = [&](const std::string& message, int page) {
        const std::string expected =
            page > 0 ? "page " + std::to_string(page) + " of " + name : name;
        std::string lowered = message;
        if (!lowered.empty())
            lowered[0] = char(std::tolower(lowered[0]));
        if (!contains(message, expected) && !contains(lowered, expected))
            out.problems += "\n  \"" + message + "\" does not name " + expected;
    };

    std::unique_ptr<TiffDocument> document;
    try {
        document = TiffDocument::open(path);
    } catch (const EngineError& e) {
        checkNamed(e.what(), 0);
        if (std::string(e.what()).size() <= name.size() + 2)
            out.problems += "\n  \"" + std::string(e.what()) + "\" says nothing";
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
                out.problems += "\n  page " + std::to_string(page) + " has a short image";
            if (damage.empty())
                out.undamaged[std::size_t(page)] = fingerprint(image);
            else
                checkNamed(damage, page);
            out.damaged += !damage.empty();
        } catch (const EngineError& e) {
            checkNamed(e.what(), page);
            ++out.refused[e.kind()];
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
            out.problems += "\n  the copy has " + std::to_string(copied->pageCount()) +
                            " pages, not " + std::to_string(out.copied);
        for (int i = 1; i <= std::min(copied->pageCount(), out.copied); ++i) {
            const int page = copiedPages[std::size_t(i - 1)];
            if (!out.undamaged[std::size_t(page)])
                continue;
            std::string damage = "(refused)";
            try {
                const PageImage image = copied->decode(i, {}, &damage);
                if (damage.empty() && fingerprint(image) == *out.undamaged[std::size_t(page)]) {
                    ++out.sameAfterCopy;
                    continue;
                }
            } catch (const EngineError& e) {
                damage = e.what();
            }
            out.problems += "\n  page " + std::to_string(page) +
                            " decodes differently after the copy " + damage;
        }
    } catch (const EngineError& e) {
        out.problems += std::string("\n  the copy does not open: ") + e.what();
    }
    return out;
}

TEST(Corpus, everyFileOpensDecodesAndCopiesOrIsRefusedBySentence)
{
    const fs::path root = testtiff::testdata();
    if (root.empty())
        GTEST_SKIP() << "the shared sample files are not present (TESSARY_TESTDATA_DIR)";
    testtiff::TempDir work(true);
    long files = 0;
    long opened = 0;
    long pages = 0;
    long decoded = 0;
    long copied = 0;
    long same = 0;
    std::ifstream manifest(root / "MANIFEST.tsv");
    std::string line;
    std::getline(manifest, line); // column names
    while (std::getline(manifest, line)) {
        // file, ..., tiffinfo's class, tiffinfo's page count, the main-chain pages the libtiff
        // checker counted (-1: cannot open), the pages it decoded whole, ..., verdict
        std::vector<std::string> cells;
        std::stringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');)
            cells.push_back(cell);
        if (cells.size() < 9)
            continue;
        const std::string& verdict = cells[8];
        SCOPED_TRACE(cells[0] + " (" + verdict + ")");
        Outcome o;
        {
            const HangGuard guard(cells[0], 15);
            o = examine(root / cells[0], work.path());
        }
        EXPECT_EQ(o.problems, "");
        ++files;
        opened += o.opened;
        pages += o.pages;
        decoded += o.decoded;
        copied += o.copied;
        same += o.sameAfterCopy;

        // The checker stopped counting the 20000-page file part way (it decoded 10000 of the
        // 20000 pages tiffinfo lists); elsewhere its count is the main chain.
        const int libtiffPages = cells[0] == "generated/pages-20000-tiny.tif" ? std::stoi(cells[4])
                                                                              : std::stoi(cells[5]);
        const bool libtiffOpens = std::stoi(cells[5]) > 0;
        if (cells[3] == "not-tiff") {
            EXPECT_FALSE(o.opened);
        }
        if (libtiffOpens) {
            // What libtiff opens opens here, with the main chain counted alike, and at least
            // the pages libtiff decodes are decoded here. libtiff's list ends at a directory
            // it cannot read; the chain may go on behind it, and those pages are listed here
            // and refused one by one, never decoded.
            EXPECT_TRUE(o.opened);
            EXPECT_GE(o.pages, libtiffPages);
            if (o.pages > libtiffPages) {
                EXPECT_LE(o.lastDecoded, libtiffPages);
            }
            EXPECT_GE(o.decoded, std::stoi(cells[6]));
        }
        if (verdict == "decodes-ok") {
            EXPECT_EQ(o.decoded, o.pages);
            EXPECT_EQ(o.damaged, 0);
        }
        if (verdict == "declared-huge") {
            EXPECT_EQ(o.refused[ErrorKind::TooLarge], 1);
        }
        if (verdict == "codec-missing") {
            EXPECT_EQ(o.refused[ErrorKind::Unsupported], 1);
        }
        // Pages libtiff reads whole are copied, including kinds that cannot be shown.
        if (libtiffOpens &&
            (verdict == "decodes-ok" || verdict == "kind-not-shown-by-RGBA-reader")) {
            EXPECT_EQ(o.copyRefused, 0);
        }
    }
    EXPECT_GT(files, 300);
    std::cout << "[ corpus ] " << files << " files, " << opened << " opened, " << pages
              << " pages, " << decoded << " decoded, " << copied << " copied, " << same
              << " copies decoded identically\n";
}

TEST(Corpus, everyTruncationOfThreeMultiPageFilesIsReadAsFarAsItGoes)
{
    // Three multi-page files of different kinds, small enough to cut at every byte.
    const Page fax{.width = 64,
                   .height = 40,
                   .bits = 1,
                   .photometric = 0,
                   .compression = 4,
                   .rowsPerStrip = 16};
    const Page colour{.width = 32,
                      .height = 32,
                      .samples = 3,
                      .photometric = 2,
                      .compression = 5,
                      .tiled = true,
                      .metadata = true};
    const Page jpeg{.width = 32,
                    .height = 32,
                    .samples = 3,
                    .photometric = 6,
                    .compression = 7,
                    .rowsPerStrip = 16};
    const Page deep{
        .width = 24, .height = 20, .bits = 16, .compression = COMPRESSION_ADOBE_DEFLATE};
    const struct
    {
        const char* name;
        std::vector<Page> pages;
        bool bigTiff;
        char order;
    } samples[] = {
        {"fax", testtiff::numbered(3, fax), false, 'l'},
        {"mixed-bigtiff", {colour, jpeg, deep}, true, 'b'},
        {"plain-big-endian", testtiff::numbered(3, {.width = 24, .height = 20}), false, 'b'},
    };
    testtiff::TempDir work(true);
    long cuts = 0;
    long pagesSeen = 0;
    long pagesWhole = 0;
    for (const auto& sample : samples) {
        SCOPED_TRACE(sample.name);
        const fs::path full = work / (std::string(sample.name) + ".tif");
        testtiff::write(full, sample.pages, sample.bigTiff, sample.order);
        const Outcome whole = examine(full, work.path());
        ASSERT_EQ(whole.problems, "");
        ASSERT_EQ(whole.pages, 3);
        ASSERT_EQ(whole.sameAfterCopy, 3);
        auto bytes = testtiff::bytes(full);
        const HangGuard guard(std::string("cutting ") + sample.name, 60);
        for (const std::size_t size = bytes.size(); !bytes.empty(); ++cuts) {
            bytes.pop_back();
            testtiff::writeBytes(work / "cut.tif", bytes);
            const Outcome o = examine(work / "cut.tif", work.path());
            ASSERT_EQ(o.problems, "") << "cut at " << bytes.size();
            ASSERT_LE(o.pages, 3) << bytes.size();
            pagesSeen += o.pages;
            // A page that decodes without damage is the page as it was.
            for (int page = 1; page <= o.pages; ++page) {
                const auto& now = o.undamaged[std::size_t(page)];
                pagesWhole += now.has_value();
                EXPECT_TRUE(!now || *now == *whole.undamaged[std::size_t(page)])
                    << "page " << page << " cut at " << bytes.size() << " of " << size;
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
    int compared = 0;
    for (const std::string& name : testtiff::listing(root / "valid")) {
        const fs::path path = root / "valid" / name;
        // Kinds libtiff's reader cannot show either are refused with a reason, or shown.
        try {
            const auto same = decodesAsLibtiff(path, 1);
            compared += bool(same);
            EXPECT_TRUE(same || testtiff::rgba(path, 1).empty()) << same.message();
        } catch (const EngineError& e) {
            EXPECT_TRUE(testtiff::rgba(path, 1).empty()) << name << ": " << e.what();
            EXPECT_EQ(e.kind(), ErrorKind::Unsupported) << name << ": " << e.what();
        }
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
        const auto image = TiffDocument::open(root / ("valid/g4_orientation_" +
                                                      std::to_string(orientation) + ".tif"))
                               ->decode(1);
        ASSERT_EQ(image.width, upright.width) << orientation;
        ASSERT_EQ(image.height, upright.height) << orientation;
        std::size_t differing = 0;
        for (std::size_t i = 0; i < image.pixels.size(); ++i)
            differing += image.pixels[i] != upright.pixels[i];
        EXPECT_LT(differing, image.pixels.size() / 100) << orientation;
    }
}

} // namespace
