#pragma once

// What the engine's and the command line's tests share: TIFF files made with libtiff, read
// back independently of the engine (libtiff's RGBA reader, raw strips and tiles, libtiff's
// directory reading) and damaged on purpose; page operations written as the command line
// writes them; the message of an expected error; work run in a child process.

#include "EngineError.h"
#include "PageEngine.h"
#include "TiffDocument.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testtiff {

namespace fs = std::filesystem;
using tessary::EngineError;
using tessary::ErrorKind;
using tessary::PageEngine;
using tessary::PageImage;
using tessary::TiffDocument;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
constexpr bool sanitized = __has_feature(address_sanitizer);
#else
constexpr bool sanitized = false;
#endif

struct Page
{
    std::uint32_t width = 40;
    std::uint32_t height = 30;
    std::uint16_t bits = 8;
    std::uint16_t samples = 1;
    std::uint16_t photometric = 1; // min-is-black
    std::uint16_t compression = 1; // none
    std::uint16_t planar = 1;
    std::uint16_t orientation = 1;
    double yResolution = 300; // the x resolution is 300 pixels an inch
    std::uint16_t predictor = 1;
    std::uint16_t extraSample = 0xffff; // ExtraSamples value when samples carry alpha
    bool tiled = false;
    std::uint32_t tile = 16;
    std::uint32_t rowsPerStrip = 8;
    int seed = 0;          // varies the pixels, so pages tell apart
    std::string name = {}; // written as the PageName tag
    bool metadata = false; // ICC profile, XMP, IPTC and three private tags
    // Byte i of row y as stored (strips only); unset, the pixels vary with seed.
    std::function<std::uint8_t(std::size_t i, std::uint32_t y)> pixels = {};
};

// The kinds of pages the tests mix: G4 fax (min-is-white), tiled LZW colour with a predictor
// and metadata, JPEG (YCbCr) colour and deflated 16-bit grey.
inline const Page fax{.bits = 1, .photometric = 0, .compression = 4};
inline const Page colour{.samples = 3,
                         .photometric = 2,
                         .compression = 5,
                         .predictor = 2,
                         .tiled = true,
                         .metadata = true};
inline const Page jpeg{.samples = 3, .photometric = 6, .compression = 7, .rowsPerStrip = 16};
inline const Page deep{.bits = 16, .compression = 8};
// A page of the kind at another size.
Page sized(Page kind, std::uint32_t width, std::uint32_t height);

// Writes pages into path. order: 'l' little-endian, 'b' big-endian.
void write(const fs::path& path, const std::vector<Page>& pages, bool bigTiff = false,
           char order = 'l');

// Pages named prefix + "1", prefix + "2", ... with pixels of their own, of the given kind.
std::vector<Page> numbered(int count, Page kind = {}, const std::string& prefix = "");

int pageCount(const fs::path& path);
std::string pageName(const fs::path& path, int page);
// The names of all pages, joined by spaces: "1 4 2 3 5".
std::string pageNames(const fs::path& path);

// libtiff's RGBA reader, rows top to bottom (0xAABBGGRR per pixel); empty when it fails.
std::vector<std::uint32_t> rgba(const fs::path& path, int page, std::uint32_t* width = nullptr,
                                std::uint32_t* height = nullptr);

// The same turned upright as the page's orientation says, with the upright width and height.
std::vector<std::uint32_t> upright(const fs::path& path, int page, std::uint32_t& w,
                                   std::uint32_t& h);

// All samples of a page as libtiff decodes them, strip by strip or tile by tile, in this
// machine's byte order.
std::vector<std::uint8_t> samples(const fs::path& path, int page);

// Compares two pages as stored, through libtiff's reading of their directories: every tag
// it knows or keeps (with the bytes of the ICC, IPTC, Photoshop and JPEG tables), the bytes
// of every strip and tile, and the EXIF and GPS directories and SubIFD chains the same way.
// Offsets may differ. Returns "" when equal, else what differs.
std::string comparePages(const fs::path& a, int pageA, const fs::path& b, int pageB);

// Every tag of a page as comparePages sees it, its image data apart.
std::vector<std::string> tagLines(const fs::path& path, int page);

// A page decodes through the engine, undamaged, to exactly the pixels libtiff's reader gives
// (turned upright as the page's orientation says): grey one byte a pixel, else RGBA.
::testing::AssertionResult decodesAsLibtiff(const fs::path& path, int page,
                                            PageImage* decoded = nullptr);
// Pixels of channels bytes averaged over blocks of scale by scale (those at the edges over
// what they have), rounded.
std::vector<std::uint8_t> averaged(const std::vector<std::uint8_t>& pixels, std::uint32_t w,
                                   std::uint32_t h, unsigned channels, std::uint32_t scale);

// Copies the file at from over the one at to, as copy_file with overwrite_existing would.
void copyOver(const fs::path& from, const fs::path& to);

std::vector<std::uint8_t> bytes(const fs::path& path);
void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes);
// The names in a folder, sorted.
std::vector<std::string> listing(const fs::path& folder);

// Damages a file in place: the first strip offset of page (one strip a page) then points
// far past the end of the file.
void breakStripOffset(const fs::path& path, int page);
// Sets every value of a tag of page (SHORT or LONG) in a classic TIFF file.
void setEvery(const fs::path& path, int page, std::uint16_t tag, std::uint32_t value);
// Where page's directory lies; sets page's next-page pointer (classic TIFF) to offset.
std::uint64_t directoryOffset(const fs::path& path, int page);
void setNextPage(const fs::path& path, int page, std::uint64_t offset);
// Where the entries of page's directory lie in a classic TIFF file, and last where its
// next-page pointer lies.
std::vector<std::uint64_t> entryOffsets(const fs::path& path, int page);
// Writes value into size bytes at offset, in the file's byte order.
void patch(const fs::path& path, std::uint64_t offset, std::uint32_t value, int size = 4);

// A fresh folder under the system's temporary folder, removed with the object. inMemory
// puts it on a memory file system (/dev/shm) where there is one, for tests that write
// thousands of files and would otherwise wait for the disk at every sync.
class TempDir
{
public:
    explicit TempDir(bool inMemory = false);
    ~TempDir();
    const fs::path& path() const { return m_path; }
    fs::path operator/(const std::string& name) const { return m_path / name; }

private:
    fs::path m_path;
};

// Where the shared sample files are; empty when they are not there.
fs::path testdata();

// Runs one page operation on files of folder: "append DEST SRC FIRST COUNT", "insert DEST
// SRC FIRST BEFORE COUNT", "replace DEST SRC FIRST AT COUNT", "delete FILE FIRST COUNT",
// "rotate FILE FIRST COUNT DEGREES" or "extract SRC FIRST COUNT NEWFILE", and the lists
// "deletelist FILE PAGE...", "arrange FILE ITEM..." (an ITEM a page of FILE, or OTHER:PAGE)
// and "extractlist NEWFILE OTHER:PAGE...".
void run(PageEngine& engine, const fs::path& folder, const std::string& command,
         const tessary::OperationOptions& options = {});

::testing::AssertionResult contains(const std::string& text, const std::string& part);

// The message of the EngineError that work throws; given a kind, the error must be of it.
template <typename Work>
std::string errorOf(Work&& work, std::optional<ErrorKind> kind = std::nullopt)
{
    try {
        work();
    } catch (const EngineError& e) {
        if (kind) {
            EXPECT_EQ(e.kind(), *kind) << e.what();
        }
        return e.what();
    }
    ADD_FAILURE() << "no error";
    return "(no error)";
}

struct ChildRun
{
    int status = -1; // the exit status; -1 when the child did not exit
    long peakMiB = 0;
    pid_t pid = 0;
};

// Runs work in a child process (its result the exit status; 2 when it throws), so that it
// may end the process or have its peak memory measured on its own.
ChildRun inChild(const std::function<int()>& work);

#ifdef _WIN32
struct ProgramRun
{
    int status = -1;    // the exit status; -1 when it could not be started
    std::string output; // standard output and error
};

// Runs a program (args[0], UTF-8 like the rest) and waits for it.
ProgramRun runProgram(const std::vector<std::string>& args);
#endif

} // namespace testtiff
