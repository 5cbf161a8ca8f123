#include "TestTiff.h"

#include "Messages.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <numeric>
#include <sstream>
#include <stdexcept>
#include <tiffio.h>

#ifdef _WIN32
#include <random>
#include <windows.h>
// libtiff takes a Windows name in UTF-16.
#define TIFFOpen TIFFOpenW
#else
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace testtiff {

namespace {

const bool quiet = (TIFFSetErrorHandler(nullptr), TIFFSetWarningHandler(nullptr), true);

const TIFFFieldInfo privateFields[] = {
    {65000, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("PrivateText")},
    {65001, -1, -1, TIFF_LONG, FIELD_CUSTOM, 1, 1, const_cast<char*>("PrivateLongs")},
    {65002, -1, -1, TIFF_UNDEFINED, FIELD_CUSTOM, 1, 1, const_cast<char*>("PrivateBytes")},
};

void check(bool ok, const std::string& what)
{
    if (!ok)
        throw std::runtime_error("libtiff failed to " + what);
}

using Tiff = std::unique_ptr<TIFF, void (*)(TIFF*)>;

// The file opened for reading at page (from 1); mapped into memory if mode says "r".
Tiff openAt(const fs::path& path, int page, const char* mode = "rm")
{
    Tiff tif(TIFFOpen(path.c_str(), mode), TIFFClose);
    check(tif && TIFFSetDirectory(tif.get(), tdir_t(page - 1)),
          "read page " + std::to_string(page) + " of " + path.string());
    return tif;
}

void writePage(TIFF* tif, const Page& p, int index, int total)
{
    TIFFMergeFieldInfo(tif, privateFields, 3);
    const bool jpeg = p.compression == COMPRESSION_JPEG;
    // (libtiff takes the 16-bit ones as int, as unsigned passes through its arguments.)
    const std::pair<ttag_t, unsigned> fields[] = {
        {TIFFTAG_SUBFILETYPE, FILETYPE_PAGE}, {TIFFTAG_IMAGEWIDTH, p.width},
        {TIFFTAG_IMAGELENGTH, p.height},      {TIFFTAG_BITSPERSAMPLE, p.bits},
        {TIFFTAG_SAMPLESPERPIXEL, p.samples}, {TIFFTAG_COMPRESSION, p.compression},
        {TIFFTAG_PHOTOMETRIC, p.photometric}, {TIFFTAG_PLANARCONFIG, p.planar},
        {TIFFTAG_ORIENTATION, p.orientation}, {TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH}};
    for (const auto& [tag, value] : fields)
        TIFFSetField(tif, tag, value);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 300.0);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, p.yResolution);
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, std::uint16_t(index), std::uint16_t(total));
    TIFFSetField(tif, TIFFTAG_SOFTWARE, "tessary tests");
    if (!p.name.empty())
        TIFFSetField(tif, TIFFTAG_PAGENAME, p.name.c_str());
    if (p.predictor != 1)
        TIFFSetField(tif, TIFFTAG_PREDICTOR, p.predictor);
    if (p.extraSample != 0xffff)
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &p.extraSample);
    if (p.compression == COMPRESSION_CCITTFAX3)
        TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_2DENCODING);
    if (jpeg)
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 90);
    if (jpeg && p.photometric == PHOTOMETRIC_YCBCR) {
        TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, 2, 2);
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB); // takes RGB rows
    }
    if (p.photometric == PHOTOMETRIC_SEPARATED)
        TIFFSetField(tif, TIFFTAG_INKSET, INKSET_CMYK);
    if (p.photometric == PHOTOMETRIC_PALETTE) {
        std::vector<std::uint16_t> map(std::size_t(3) << p.bits); // red, green and blue unalike
        for (std::size_t i = 0; i < map.size(); ++i)
            map[i] = std::uint16_t(i * 40503u * (i % 3 + 1));
        const std::size_t n = map.size() / 3;
        TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + n, map.data() + 2 * n);
    }
    if (p.metadata) {
        std::vector<std::uint8_t> icc(200);
        std::iota(icc.begin(), icc.end(), std::uint8_t(1));
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, std::uint32_t(icc.size()), icc.data());
        const std::string xmp =
            "<x:xmpmeta xmlns:x='adobe:ns:meta/'>page " + p.name + "</x:xmpmeta>";
        TIFFSetField(tif, TIFFTAG_XMLPACKET, std::uint32_t(xmp.size()), xmp.data());
        const std::uint32_t iptc[3] = {0x1c020000u, 0x05416263u, 0x64650000u};
        TIFFSetField(tif, TIFFTAG_RICHTIFFIPTC, std::uint32_t(3), iptc);
        TIFFSetField(tif, 65000, "private text");
        const std::uint32_t longs[5] = {1, 2, 3, 70000, 0xfffffff0u};
        TIFFSetField(tif, 65001, 5, longs);
        const std::uint8_t raw[30] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0xff, 0xfe};
        TIFFSetField(tif, 65002, 30, raw);
    }
    // Each block (strip or tile) row by row; a tile's rows are numbered as if a strip's.
    const std::uint32_t rows = p.tiled ? p.tile : std::min(p.rowsPerStrip, p.height);
    TIFFSetField(tif, p.tiled ? TIFFTAG_TILEWIDTH : TIFFTAG_ROWSPERSTRIP, rows);
    if (p.tiled)
        TIFFSetField(tif, TIFFTAG_TILELENGTH, rows);
    const std::size_t rowBytes =
        std::size_t(p.tiled ? TIFFTileRowSize(tif) : TIFFScanlineSize(tif));
    const std::uint32_t blocks = p.tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    const std::uint32_t perPlane = p.planar == PLANARCONFIG_SEPARATE ? blocks / p.samples : blocks;
    for (std::uint32_t b = 0; b < blocks; ++b) {
        const std::uint32_t first = b % perPlane * rows;
        const std::uint32_t n = p.tiled ? rows : std::min(rows, p.height - first);
        std::vector<std::uint8_t> data(rowBytes * n);
        std::uint8_t* at = data.data();
        for (std::uint32_t y = first; y < first + n; ++y) {
            for (std::size_t i = 0; i < rowBytes; ++i)
                *at++ = p.pixels ? p.pixels(i, y)
                                 : std::uint8_t((i * 7 + y * 13 + std::size_t(p.seed) * 31 +
                                                 b / perPlane * 17) ^
                                                (y >> 2) ^ (i >> 3));
        }
        const tmsize_t size = tmsize_t(data.size());
        check((p.tiled ? TIFFWriteEncodedTile(tif, b, data.data(), size)
                       : TIFFWriteEncodedStrip(tif, b, data.data(), size)) >= 0,
              "write a strip or tile");
    }
    check(TIFFWriteDirectory(tif), "write a directory");
}

std::string digest(const void* data, std::size_t size)
{
    std::uint64_t h = 1469598103934665603ull;
    for (std::size_t i = 0; i < size; ++i)
        h = (h ^ static_cast<const std::uint8_t*>(data)[i]) * 1099511628211ull;
    return std::to_string(size) + " bytes " + std::to_string(h);
}

// Goes to the directory at offset and on along its chain by skip more.
bool goTo(TIFF* tif, std::uint64_t offset, int skip)
{
    bool ok = TIFFSetSubDirectory(tif, offset);
    while (ok && skip-- > 0)
        ok = TIFFReadDirectory(tif);
    return ok;
}

// The current directory as lines: each tag as libtiff prints it (but the offsets of
// sub-directories), the bytes of the tags it prints only the length of, the bytes of each
// strip and tile, then the sub-directories the same way. Leaves the current directory.
void describe(TIFF* tif, const std::string& where, bool image, int depth,
              std::vector<std::string>& out)
{
#ifdef _WIN32
    // No stream in memory there: a scratch file.
    static int serial = 0;
    const fs::path scratch =
        fs::temp_directory_path() / ("tessary-describe-" + std::to_string(::GetCurrentProcessId()) +
                                     "-" + std::to_string(serial++));
    FILE* f = ::_wfopen(scratch.c_str(), L"w+b");
    TIFFPrintDirectory(tif, f, TIFFPRINT_COLORMAP | TIFFPRINT_CURVES);
    std::fclose(f);
    std::ifstream printed(scratch, std::ios::binary);
    std::istringstream lines(std::string(std::istreambuf_iterator<char>(printed), {}));
    printed.close();
    fs::remove(scratch);
#else
    char* text = nullptr;
    std::size_t size = 0;
    FILE* f = open_memstream(&text, &size);
    TIFFPrintDirectory(tif, f, TIFFPRINT_COLORMAP | TIFFPRINT_CURVES);
    std::fclose(f);
    std::istringstream lines(text);
    std::free(text);
#endif
    for (std::string line; std::getline(lines, line);) {
        if (line.find("TIFF Directory at offset") == std::string::npos &&
            line.find("SubIFD Offsets") == std::string::npos &&
            line.find("IFDOffset") == std::string::npos)
            out.push_back(where + line);
    }
    for (const ttag_t tag :
         {TIFFTAG_ICCPROFILE, TIFFTAG_RICHTIFFIPTC, TIFFTAG_PHOTOSHOP, TIFFTAG_JPEGTABLES}) {
        std::uint32_t count = 0;
        void* data = nullptr;
        if (TIFFGetField(tif, tag, &count, &data))
            out.push_back(where + " tag " + std::to_string(tag) + ": " + digest(data, count));
    }
    const bool tiled = TIFFIsTiled(tif);
    for (std::uint32_t i = 0;
         image && i < (tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif)); ++i) {
        std::vector<std::uint8_t> raw(TIFFGetStrileByteCount(tif, i));
        const tmsize_t n = tiled ? TIFFReadRawTile(tif, i, raw.data(), tmsize_t(raw.size()))
                                 : TIFFReadRawStrip(tif, i, raw.data(), tmsize_t(raw.size()));
        out.push_back(where + " block " + std::to_string(i) + " image data: " +
                      (n < 0 ? "unreadable" : digest(raw.data(), std::size_t(n))));
    }
    if (depth > 4)
        return;
    std::uint16_t chains = 0;
    std::uint64_t* offsets = nullptr;
    std::vector<std::uint64_t> subIfds;
    if (TIFFGetField(tif, TIFFTAG_SUBIFD, &chains, &offsets))
        subIfds.assign(offsets, offsets + chains);
    std::uint64_t exif = 0;
    std::uint64_t gps = 0;
    const bool hasExif = TIFFGetField(tif, TIFFTAG_EXIFIFD, &exif);
    const bool hasGps = TIFFGetField(tif, TIFFTAG_GPSIFD, &gps);
    for (std::size_t c = 0; c < subIfds.size(); ++c) {
        for (int k = 0; k < 8 && goTo(tif, subIfds[c], k); ++k)
            describe(tif, where + " SubIFD " + std::to_string(c) + "." + std::to_string(k), true,
                     depth + 1, out);
    }
    if (hasExif && TIFFReadEXIFDirectory(tif, exif))
        describe(tif, where + " EXIF", false, depth + 1, out);
    if (hasGps && TIFFReadGPSDirectory(tif, gps))
        describe(tif, where + " GPS", false, depth + 1, out);
}

// A number of size bytes at offset of a file's bytes, in the file's byte order.
std::uint32_t read(const std::vector<std::uint8_t>& b, std::uint64_t at, int size)
{
    std::uint32_t v = 0;
    for (int i = 0; i < size; ++i)
        v |= std::uint32_t(b.at(at + std::uint64_t(b[0] == 'M' ? size - 1 - i : i))) << (8 * i);
    return v;
}

} // namespace

// The same turned upright as the page's orientation says, with the upright width and height.
std::vector<std::uint32_t> upright(const fs::path& path, int page, std::uint32_t& w,
                                   std::uint32_t& h)
{
    std::uint16_t orientation = 1;
    TIFFGetFieldDefaulted(openAt(path, page).get(), TIFFTAG_ORIENTATION, &orientation);
    const auto raster = rgba(path, page, &w, &h);
    // libtiff's reader turns orientations 1 to 4 itself and reads 5 to 8 as their flipped
    // twins without turning them.
    if (orientation < 5 || orientation > 8)
        return raster;
    std::vector<std::uint32_t> out(raster.size());
    const bool transpose = orientation == 5 || orientation == 7;
    for (std::uint32_t y = 0; y < w; ++y) {
        for (std::uint32_t x = 0; x < h; ++x)
            out[std::size_t(y) * h + x] =
                raster[std::size_t(transpose ? x : h - 1 - x) * w + (transpose ? y : w - 1 - y)];
    }
    std::swap(w, h);
    return out;
}

std::uint64_t directoryOffset(const fs::path& path, int page)
{
    return TIFFCurrentDirOffset(openAt(path, page).get());
}

void write(const fs::path& path, const std::vector<Page>& pages, bool bigTiff, char order)
{
    const std::string mode = std::string("w") + (bigTiff ? "8" : "") + order;
    Tiff tif(TIFFOpen(path.c_str(), mode.c_str()), TIFFClose);
    check(tif != nullptr, "create " + path.string());
    for (std::size_t i = 0; i < pages.size(); ++i)
        writePage(tif.get(), pages[i], int(i), int(pages.size()));
}

Page sized(Page kind, std::uint32_t width, std::uint32_t height)
{
    kind.width = width;
    kind.height = height;
    return kind;
}

std::vector<Page> numbered(int count, Page kind, const std::string& prefix)
{
    std::vector<Page> pages;
    for (int i = 1; i <= count; ++i) {
        kind.seed = i + (prefix.empty() ? 0 : 100 * prefix[0]);
        kind.name = prefix + std::to_string(i);
        pages.push_back(kind);
    }
    return pages;
}

int pageCount(const fs::path& path)
{
    return TIFFNumberOfDirectories(openAt(path, 1).get());
}

std::string pageName(const fs::path& path, int page)
{
    char* value = nullptr;
    const Tiff tif = openAt(path, page);
    return TIFFGetField(tif.get(), TIFFTAG_PAGENAME, &value) ? value : "";
}

std::string pageNames(const fs::path& path)
{
    std::string names;
    const int n = pageCount(path);
    for (int i = 1; i <= n; ++i)
        names += (i > 1 ? " " : "") + pageName(path, i);
    return names;
}

std::vector<std::uint32_t> rgba(const fs::path& path, int page, std::uint32_t* width,
                                std::uint32_t* height)
{
    // Mapped: read through its own buffer, libtiff 4.5.0's reader refuses uncompressed tiles
    // of a size that is no multiple of 1024 bytes.
    const Tiff tif = openAt(path, page, "r");
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    std::vector<std::uint32_t> raster;
    if (TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w) &&
        TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h) && std::uint64_t(w) * h < (64u << 20)) {
        raster.assign(std::size_t(w) * h, 0);
        if (!TIFFReadRGBAImageOriented(tif.get(), w, h, raster.data(), ORIENTATION_TOPLEFT, 1))
            raster.clear();
    }
    if (width && height)
        std::tie(*width, *height) = std::pair(w, h);
    return raster;
}

std::vector<std::uint8_t> samples(const fs::path& path, int page)
{
    const Tiff owner = openAt(path, page);
    TIFF* tif = owner.get();
    const bool tiled = TIFFIsTiled(tif);
    const tmsize_t size = tiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
    std::vector<std::uint8_t> all;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size));
    for (std::uint32_t b = 0; b < (tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif)); ++b) {
        const tmsize_t n = tiled ? TIFFReadEncodedTile(tif, b, buffer.data(), size)
                                 : TIFFReadEncodedStrip(tif, b, buffer.data(), size);
        if (n < 0)
            return {};
        all.insert(all.end(), buffer.begin(), buffer.begin() + n);
    }
    return all;
}

std::string comparePages(const fs::path& a, int pageA, const fs::path& b, int pageB)
{
    std::vector<std::string> da;
    std::vector<std::string> db;
    const std::string where = "page " + std::to_string(pageA);
    describe(openAt(a, pageA).get(), where, true, 0, da);
    describe(openAt(b, pageB).get(), where, true, 0, db);
    const auto [x, y] = std::mismatch(da.begin(), da.end(), db.begin(), db.end());
    if (x == da.end() && y == db.end())
        return "";
    return (x == da.end() ? "nothing" : *x) + " became " + (y == db.end() ? "nothing" : *y);
}

std::vector<std::string> tagLines(const fs::path& path, int page)
{
    std::vector<std::string> lines;
    describe(openAt(path, page).get(), "", false, 0, lines);
    return lines;
}

void copyOver(const fs::path& from, const fs::path& to)
{
#ifdef _WIN32
    // libstdc++ on Windows takes every existing file for the source itself (their file
    // numbers are all 0 there) and refuses to overwrite it.
    fs::remove(to);
#endif
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

std::vector<std::uint8_t> bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<std::string> listing(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::uint64_t> entryOffsets(const fs::path& path, int page)
{
    const std::uint64_t at = directoryOffset(path, page);
    const std::uint32_t count = read(bytes(path), at, 2);
    std::vector<std::uint64_t> offsets;
    for (std::uint32_t i = 0; i <= count; ++i)
        offsets.push_back(at + 2 + 12 * i);
    return offsets;
}

void patch(const fs::path& path, std::uint64_t offset, std::uint32_t value, int size)
{
    const bool big = bytes(path).at(0) == 'M';
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(std::streamoff(offset));
    for (int i = 0; i < size; ++i)
        f.put(char(value >> (8 * (big ? size - 1 - i : i))));
}

void breakStripOffset(const fs::path& path, int page)
{
    const auto b = bytes(path);
    for (const std::uint64_t entry : entryOffsets(path, page)) {
        if (read(b, entry, 2) == TIFFTAG_STRIPOFFSETS)
            patch(path, entry + 8, 0x7ffffff0u);
    }
}

void setEvery(const fs::path& path, int page, std::uint16_t tag, std::uint32_t value)
{
    const auto b = bytes(path);
    for (const std::uint64_t entry : entryOffsets(path, page)) {
        if (read(b, entry, 2) != tag)
            continue;
        const int size = read(b, entry + 2, 2) == TIFF_SHORT ? 2 : 4;
        const std::uint32_t count = read(b, entry + 4, 4);
        const std::uint64_t values =
            count * std::uint32_t(size) <= 4 ? entry + 8 : read(b, entry + 8, 4);
        for (std::uint32_t i = 0; i < count; ++i)
            patch(path, values + i * std::uint32_t(size), value, size);
        return;
    }
    ADD_FAILURE() << "no tag " << tag;
}

void setNextPage(const fs::path& path, int page, std::uint64_t offset)
{
    patch(path, entryOffsets(path, page).back(), std::uint32_t(offset));
}

#ifdef _WIN32

// Windows has no memory file system to offer.
TempDir::TempDir(bool)
{
    std::random_device random;
    for (int attempt = 0; m_path.empty() && attempt < 100; ++attempt) {
        const fs::path path =
            fs::temp_directory_path() / ("tessary-test-" + std::to_string(random()));
        if (fs::create_directory(path))
            m_path = path;
    }
    check(!m_path.empty(), "make a temporary folder");
}

TempDir::~TempDir()
{
    // A file marked read-only cannot be removed there.
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(m_path, ec))
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

#else

TempDir::TempDir(bool inMemory)
{
    std::error_code ec;
    const bool shm =
        inMemory && fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0;
    std::string pattern =
        ((shm ? fs::path("/dev/shm") : fs::temp_directory_path()) / "tessary-test-XXXXXX").string();
    check(::mkdtemp(pattern.data()) != nullptr, "make a temporary folder");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec; // a test may have made the folder read-only
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

#endif

fs::path testdata()
{
#ifdef TESSARY_TESTDATA_DIR
    const fs::path dir = TESSARY_TESTDATA_DIR;
    std::error_code ec;
    if (fs::is_directory(dir / "valid", ec))
        return dir;
#endif
    return {};
}

::testing::AssertionResult decodesAsLibtiff(const fs::path& path, int page, PageImage* decoded)
{
    std::string damage;
    const PageImage image = TiffDocument::open(path)->decode(page, {}, &damage);
    if (decoded)
        *decoded = image;
    const bool grey = image.format == PageImage::Format::Grey8;
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    std::vector<std::uint8_t> expected;
    for (const std::uint32_t p : upright(path, page, w, h)) {
        const std::uint8_t c[4] = {std::uint8_t(p), std::uint8_t(p >> 8), std::uint8_t(p >> 16),
                                   std::uint8_t(p >> 24)};
        expected.insert(expected.end(), c, c + (grey ? 1 : 4));
        if (grey && (c[0] != c[1] || c[1] != c[2]))
            expected.push_back(1); // not grey: never equal
    }
    if (!damage.empty() || image.width != w || image.height != h || image.pixels != expected)
        return ::testing::AssertionFailure()
               << "page " << page << " of " << path.filename() << " decodes otherwise than "
               << "libtiff reads it (" << w << " by " << h << (grey ? " grey" : " colour") << ") "
               << damage;
    return ::testing::AssertionSuccess();
}

std::vector<std::uint8_t> averaged(const std::vector<std::uint8_t>& pixels, std::uint32_t w,
                                   std::uint32_t h, unsigned channels, std::uint32_t scale)
{
    std::vector<std::uint8_t> out;
    for (std::uint32_t y = 0; y < h; y += scale) {
        for (std::uint32_t x = 0; x < w; x += scale) {
            for (unsigned c = 0; c < channels; ++c) {
                std::uint32_t sum = 0;
                std::uint32_t n = 0;
                for (std::uint32_t yy = y; yy < std::min(y + scale, h); ++yy) {
                    for (std::uint32_t xx = x; xx < std::min(x + scale, w); ++xx, ++n)
                        sum += pixels[(std::size_t(yy) * w + xx) * channels + c];
                }
                out.push_back(std::uint8_t((sum + n / 2) / n));
            }
        }
    }
    return out;
}

void run(PageEngine& engine, const fs::path& folder, const std::string& command,
         const tessary::OperationOptions& options)
{
    std::istringstream in(command);
    const std::vector<std::string> w{std::istream_iterator<std::string>(in), {}};
    std::vector<fs::path> f;
    std::vector<int> n;
    for (const std::string& word : w)
        f.push_back(folder / word), n.push_back(std::atoi(word.c_str()));
    if (w[0] == "append")
        engine.appendPages(f.at(1), f.at(2), n.at(3), n.at(4), options);
    else if (w[0] == "insert")
        engine.insertPages(f.at(1), f.at(2), n.at(3), n.at(4), n.at(5), options);
    else if (w[0] == "replace")
        engine.replacePages(f.at(1), f.at(2), n.at(3), n.at(4), n.at(5), options);
    else if (w[0] == "delete")
        engine.deletePages(f.at(1), n.at(2), n.at(3), options);
    else if (w[0] == "rotate")
        engine.rotatePages(f.at(1), n.at(2), n.at(3), n.at(4), options);
    else if (w[0] == "deletelist")
        engine.deletePages(f.at(1), std::vector<std::int32_t>(n.begin() + 2, n.end()), options);
    else if (w[0] == "arrange" || w[0] == "extractlist") {
        std::vector<tessary::PageOf> pages;
        for (std::size_t i = 2; i < w.size(); ++i) {
            const auto colon = w[i].find(':');
            pages.push_back(colon == std::string::npos
                                ? tessary::PageOf{{}, n[i]}
                                : tessary::PageOf{folder / w[i].substr(0, colon),
                                                  std::atoi(w[i].c_str() + colon + 1)});
        }
        if (w[0] == "arrange")
            engine.arrangePages(f.at(1), pages, options);
        else
            engine.extractPages(pages, f.at(1), options);
    } else
        engine.extractPages(f.at(1), n.at(2), n.at(3), f.at(4), options);
}

::testing::AssertionResult contains(const std::string& text, const std::string& part)
{
    if (text.find(part) != std::string::npos)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text << "\" does not hold \"" << part << "\"";
}

#ifdef _WIN32

ChildRun inChild(const std::function<int()>&)
{
    ADD_FAILURE() << "no child process can be forked on Windows: the test is for Linux";
    return {};
}

ProgramRun runProgram(const std::vector<std::string>& args)
{
    std::wstring line;
    for (const std::string& arg : args)
        line += (line.empty() ? L"\"" : L" \"") + tessary::pathOf(arg).wstring() + L"\"";
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE reading = nullptr;
    HANDLE writing = nullptr;
    check(::CreatePipe(&reading, &writing, &inherited, 0), "make a pipe");
    ::SetHandleInformation(reading, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdOutput = start.hStdError = writing;
    start.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    const bool started = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                          nullptr, &start, &process);
    ::CloseHandle(writing);
    ProgramRun run;
    char buffer[4096];
    DWORD n = 0;
    while (started && ::ReadFile(reading, buffer, sizeof buffer, &n, nullptr) && n > 0)
        run.output.append(buffer, n);
    ::CloseHandle(reading);
    if (!started)
        return run;
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    ::GetExitCodeProcess(process.hProcess, &status);
    run.status = int(status);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    return run;
}

#else

ChildRun inChild(const std::function<int()>& work)
{
    ChildRun run;
    run.pid = fork();
    if (run.pid == 0) {
        int status = 2;
        try {
            status = work();
        } catch (...) {
        }
        _exit(status);
    }
    int status = 0;
    struct rusage usage
    {};
    if (run.pid > 0 && wait4(run.pid, &status, 0, &usage) == run.pid && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.peakMiB = usage.ru_maxrss / 1024;
    return run;
}

#endif

} // namespace testtiff
