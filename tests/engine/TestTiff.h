#pragma once

// TIFF files made with libtiff for the tests, and read back independently of the engine:
// libtiff's own RGBA reader, raw strips and tiles, and libtiff's directory reading.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testtiff {

namespace fs = std::filesystem;

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

// Writes pages into path. order: 'l' little-endian, 'b' big-endian.
void write(const fs::path& path, const std::vector<Page>& pages, bool bigTiff = false,
           char order = 'l');

// Pages named "1", "2", ... with distinct pixels, of the given kind.
std::vector<Page> numbered(int count, Page kind = {});
// The same named prefix + "1", prefix + "2", ..., with pixels of their own.
std::vector<Page> named(const std::string& prefix, int count, Page kind = {});

int pageCount(const fs::path& path);
std::string pageName(const fs::path& path, int page);
// The names of all pages, joined by spaces: "1 4 2 3 5".
std::string pageNames(const fs::path& path);

// libtiff's RGBA reader, rows top to bottom (0xAABBGGRR per pixel); empty when it fails.
std::vector<std::uint32_t> rgba(const fs::path& path, int page, std::uint32_t* width = nullptr,
                                std::uint32_t* height = nullptr);

// The same turned upright as the page's orientation says, with the upright width and height.
std::vector<std::uint32_t> uprightRgba(const fs::path& path, int page, std::uint32_t* width,
                                       std::uint32_t* height);

// All samples of a page as libtiff decodes them, strip by strip or tile by tile, in this
// machine's byte order.
std::vector<std::uint8_t> samples(const fs::path& path, int page);

// Compares two pages as stored, through libtiff's reading of their directories: every tag
// it knows or keeps (with the bytes of the ICC, IPTC, Photoshop and JPEG tables), the bytes
// of every strip and tile, and the EXIF and GPS directories and SubIFD chains the same way.
// Offsets may differ. Returns "" when equal, else what differs.
std::string comparePages(const fs::path& a, int pageA, const fs::path& b, int pageB);

std::vector<std::uint8_t> bytes(const fs::path& path);
void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes);
// The names in a folder, sorted.
std::vector<std::string> listing(const fs::path& folder);

// Damages a file in place: the first strip offset of page (one strip a page) then points
// far past the end of the file.
void breakStripOffset(const fs::path& path, int page);
// Makes page's next-page pointer point to the directory of page target (a loop).
void loopChain(const fs::path& path, int page, int target);
// Sets page's next-page pointer (classic TIFF) to offset.
void setNextPage(const fs::path& path, int page, std::uint32_t offset);
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

} // namespace testtiff
