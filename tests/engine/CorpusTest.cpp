// Real files from many programs, valid and malformed: every one opens and decodes or is
// refused with a sentence naming it, never a crash; valid pages decode as libtiff reads them.

#include "EngineError.h"
#include "TestTiff.h"
#include "TiffDocument.h"

#include <gtest/gtest.h>
#include <tiffio.h>

using namespace tessary;
namespace fs = std::filesystem;

namespace {

std::vector<fs::path> filesIn(const std::string& folder)
{
    std::vector<fs::path> files;
    const fs::path root = testtiff::testdata();
    if (root.empty())
        return files;
    for (const auto& entry : fs::directory_iterator(root / folder))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

int orientationOf(const fs::path& path, int page)
{
    TIFF* tif = TIFFOpen(path.c_str(), "rm");
    std::uint16_t orientation = 1;
    if (tif) {
        if (TIFFSetDirectory(tif, tdir_t(page - 1)))
            TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
        TIFFClose(tif);
    }
    return orientation;
}

// Opens and decodes every page; returns how many pages decoded. Any error must be an
// EngineError whose sentence names the file.
int readAll(const fs::path& path)
{
    int decoded = 0;
    const std::string name = path.filename().string();
    try {
        const auto document = TiffDocument::open(path);
        EXPECT_GT(document->pageCount(), 0) << name;
        for (int page = 1; page <= std::min(document->pageCount(), 50); ++page) {
            try {
                document->pageInfo(page);
                document->decode(page);
                ++decoded;
            } catch (const EngineError& e) {
                EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
            }
        }
    } catch (const EngineError& e) {
        EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
    }
    return decoded;
}

TEST(Corpus, everyValidFileDecodesAsLibtiffReadsIt)
{
    const auto files = filesIn("valid");
    if (files.empty())
        GTEST_SKIP() << "the shared sample files are not present";
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
        if (reference.empty() || orientationOf(path, 1) != 1)
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
        GTEST_SKIP() << "the shared sample files are not present";
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

TEST(Corpus, malformedAndGeneratedFilesNeverCrash)
{
    const auto malformed = filesIn("malformed");
    const auto generated = filesIn("generated");
    const auto multipage = filesIn("multipage");
    if (malformed.empty())
        GTEST_SKIP() << "the shared sample files are not present";
    int files = 0;
    for (const auto* list : {&malformed, &generated, &multipage}) {
        for (const fs::path& path : *list) {
            SCOPED_TRACE(path.filename().string());
            readAll(path);
            ++files;
        }
    }
    EXPECT_GT(files, 200);
}

} // namespace
