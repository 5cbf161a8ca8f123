#include "TestTiff.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <tiffio.h>
#include <unistd.h>

namespace testtiff {

namespace {

struct Quiet
{
    Quiet()
    {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    }
};
const Quiet quiet;

const TIFFFieldInfo privateFields[] = {
    {65000, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("PrivateText")},
    {65001, -1, -1, TIFF_LONG, FIELD_CUSTOM, 1, 1, const_cast<char*>("PrivateLongs")},
    {65002, -1, -1, TIFF_UNDEFINED, FIELD_CUSTOM, 1, 1, const_cast<char*>("PrivateBytes")},
};

std::uint8_t sample(std::size_t i, std::uint32_t y, int seed, int plane)
{
    return std::uint8_t((i * 7 + y * 13 + std::size_t(seed) * 31 + std::size_t(plane) * 17) ^
                        (y >> 2) ^ (i >> 3));
}

void check(int ok, const std::string& what)
{
    if (!ok)
        throw std::runtime_error("libtiff failed to " + what);
}

void writePage(TIFF* tif, const Page& p, int index, int total)
{
    TIFFMergeFieldInfo(tif, privateFields, 3);
    const bool ycbcrJpeg = p.compression == COMPRESSION_JPEG && p.photometric == PHOTOMETRIC_YCBCR;
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, p.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, p.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, p.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, p.samples);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, p.compression);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, p.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, p.planar);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, p.orientation);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 300.0);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 300.0);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_PAGENUMBER, std::uint16_t(index), std::uint16_t(total));
    TIFFSetField(tif, TIFFTAG_SOFTWARE, "tessary tests");
    if (!p.name.empty())
        TIFFSetField(tif, TIFFTAG_PAGENAME, p.name.c_str());
    if (p.predictor != 1)
        TIFFSetField(tif, TIFFTAG_PREDICTOR, p.predictor);
    if (p.extraSample != 0xffff) {
        const std::uint16_t extra[1] = {p.extraSample};
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    if (p.compression == COMPRESSION_CCITTFAX3)
        TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_2DENCODING);
    if (p.compression == COMPRESSION_JPEG)
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 90);
    if (ycbcrJpeg) {
        TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, 2, 2);
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    }
    if (p.photometric == PHOTOMETRIC_SEPARATED)
        TIFFSetField(tif, TIFFTAG_INKSET, INKSET_CMYK);
    std::vector<std::uint16_t> map;
    if (p.photometric == PHOTOMETRIC_PALETTE) {
        const std::size_t n = std::size_t(1) << p.bits;
        map.resize(3 * n);
        for (std::size_t i = 0; i < n; ++i) {
            map[i] = std::uint16_t(i * 65535 / (n - 1));
            map[n + i] = std::uint16_t((n - 1 - i) * 65535 / (n - 1));
            map[2 * n + i] = std::uint16_t((i * 4099) & 0xffff);
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + n, map.data() + 2 * n);
    }
    if (p.metadata) {
        std::vector<std::uint8_t> icc(200);
        for (std::size_t i = 0; i < icc.size(); ++i)
            icc[i] = std::uint8_t(i * 3 + 1);
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

    const int planes = p.planar == PLANARCONFIG_SEPARATE ? p.samples : 1;
    const std::uint16_t samplesInPlane = p.planar == PLANARCONFIG_SEPARATE ? 1 : p.samples;
    // JPEG in YCbCr takes RGB rows, three bytes a pixel.
    const std::size_t rowBytes = ycbcrJpeg
                                     ? std::size_t(p.width) * 3
                                     : (std::size_t(p.width) * samplesInPlane * p.bits + 7) / 8;
    if (p.tiled) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, p.tile);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, p.tile);
        const std::size_t tileRow = (std::size_t(p.tile) * samplesInPlane * p.bits + 7) / 8;
        const std::size_t pixelBits = std::size_t(samplesInPlane) * p.bits;
        std::vector<std::uint8_t> tile(tileRow * p.tile);
        for (int plane = 0; plane < planes; ++plane) {
            for (std::uint32_t ty = 0; ty < p.height; ty += p.tile) {
                for (std::uint32_t tx = 0; tx < p.width; tx += p.tile) {
                    std::fill(tile.begin(), tile.end(), 0);
                    for (std::uint32_t r = 0; r < p.tile && ty + r < p.height; ++r) {
                        const std::size_t from = tx * pixelBits / 8;
                        const std::size_t n =
                            std::min(tileRow, rowBytes - std::min(rowBytes, from));
                        for (std::size_t i = 0; i < n; ++i)
                            tile[r * tileRow + i] = sample(from + i, ty + r, p.seed, plane);
                    }
                    check(TIFFWriteTile(tif, tile.data(), tx, ty, 0, std::uint16_t(plane)) >= 0,
                          "write a tile");
                }
            }
        }
    } else {
        const std::uint32_t rps = ycbcrJpeg || p.compression == COMPRESSION_JPEG
                                      ? 16
                                      : std::min(p.rowsPerStrip, p.height);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rps);
        const std::uint32_t stripsPerPlane = (p.height + rps - 1) / rps;
        std::vector<std::uint8_t> strip(rowBytes * rps);
        for (int plane = 0; plane < planes; ++plane) {
            for (std::uint32_t s = 0; s < stripsPerPlane; ++s) {
                const std::uint32_t rows = std::min(rps, p.height - s * rps);
                for (std::uint32_t r = 0; r < rows; ++r) {
                    for (std::size_t i = 0; i < rowBytes; ++i)
                        strip[r * rowBytes + i] = sample(i, s * rps + r, p.seed, plane);
                }
                check(TIFFWriteEncodedStrip(tif, std::uint32_t(plane) * stripsPerPlane + s,
                                            strip.data(), tmsize_t(rows * rowBytes)) >= 0,
                      "write a strip");
            }
        }
    }
    check(TIFFWriteDirectory(tif), "write a directory");
}

TIFF* openRead(const fs::path& path)
{
    TIFF* tif = TIFFOpen(path.c_str(), "rm");
    if (!tif)
        throw std::runtime_error("libtiff cannot open " + path.string());
    return tif;
}

// ---- a directory reader of the tests' own, independent of the engine ----

struct RawEntry
{
    std::uint16_t type = 0;
    std::uint64_t count = 0;
    std::vector<std::uint8_t> value; // in this machine's byte order, element by element
};

class MiniTiff
{
public:
    explicit MiniTiff(const fs::path& path)
        : m_data(bytes(path))
    {
        if (m_data.size() < 8)
            throw std::runtime_error("too short");
        m_big = m_data[0] == 'M';
        m_bigTiff = u16(2) == 43;
        std::uint64_t offset = m_bigTiff ? u64(8) : u32(4);
        std::set<std::uint64_t> seen;
        while (offset != 0 && seen.insert(offset).second && offset < m_data.size()) {
            m_pages.push_back(offset);
            offset = next(offset);
        }
    }

    std::uint64_t page(int n) const { return m_pages.at(std::size_t(n - 1)); }
    bool bigTiff() const { return m_bigTiff; }
    bool bigEndian() const { return m_big; }

    // File offset of the value field of tag in the directory at offset.
    std::uint64_t valueField(std::uint64_t offset, std::uint16_t tag) const
    {
        const std::uint64_t count = m_bigTiff ? u64(offset) : u16(offset);
        const std::uint64_t base = offset + (m_bigTiff ? 8 : 2);
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint64_t e = base + i * (m_bigTiff ? 20 : 12);
            if (u16(e) == tag)
                return e + (m_bigTiff ? 12 : 8);
        }
        throw std::runtime_error("no such tag");
    }
    std::uint64_t nextField(std::uint64_t offset) const
    {
        const std::uint64_t count = m_bigTiff ? u64(offset) : u16(offset);
        return offset + (m_bigTiff ? 8 + count * 20 : 2 + count * 12);
    }

    std::map<std::uint16_t, RawEntry> directory(std::uint64_t offset) const
    {
        std::map<std::uint16_t, RawEntry> result;
        const std::uint64_t count = m_bigTiff ? u64(offset) : u16(offset);
        const std::uint64_t base = offset + (m_bigTiff ? 8 : 2);
        for (std::uint64_t i = 0; i < count; ++i) {
            const std::uint64_t e = base + i * (m_bigTiff ? 20 : 12);
            RawEntry entry;
            const std::uint16_t tag = u16(e);
            entry.type = u16(e + 2);
            entry.count = m_bigTiff ? u64(e + 4) : u32(e + 4);
            const unsigned size = typeSize(entry.type);
            if (size == 0 || result.count(tag))
                continue;
            const std::uint64_t bytes = entry.count * size;
            const unsigned inlineSize = m_bigTiff ? 8 : 4;
            const std::uint64_t field = e + (m_bigTiff ? 12 : 8);
            const std::uint64_t at =
                bytes <= inlineSize ? field : (m_bigTiff ? u64(field) : u32(field));
            if (at + bytes > m_data.size())
                continue;
            entry.value.assign(m_data.begin() + std::ptrdiff_t(at),
                               m_data.begin() + std::ptrdiff_t(at + bytes));
            const unsigned unit = entry.type == 5 || entry.type == 10 ? 4 : size;
            if (m_big && unit > 1 && tag != 33723) {
                for (std::size_t j = 0; j + unit <= entry.value.size(); j += unit)
                    std::reverse(entry.value.begin() + std::ptrdiff_t(j),
                                 entry.value.begin() + std::ptrdiff_t(j + unit));
            }
            result[tag] = std::move(entry);
        }
        return result;
    }

    std::uint64_t next(std::uint64_t offset) const
    {
        const std::uint64_t count = m_bigTiff ? u64(offset) : u16(offset);
        const std::uint64_t at = offset + (m_bigTiff ? 8 + count * 20 : 2 + count * 12);
        return m_bigTiff ? u64(at) : u32(at);
    }

    std::vector<std::uint8_t> range(std::uint64_t offset, std::uint64_t size) const
    {
        if (offset + size > m_data.size())
            return {};
        return {m_data.begin() + std::ptrdiff_t(offset),
                m_data.begin() + std::ptrdiff_t(offset + size)};
    }

    static unsigned typeSize(std::uint16_t type)
    {
        static const unsigned sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 0, 0, 8, 8, 8};
        return type < 19 ? sizes[type] : 0;
    }

    static std::vector<std::uint64_t> numbers(const RawEntry& e)
    {
        std::vector<std::uint64_t> out;
        const unsigned size = typeSize(e.type);
        for (std::size_t i = 0; size && i + size <= e.value.size(); i += size) {
            std::uint64_t v = 0;
            std::memcpy(&v, e.value.data() + i, size); // little-endian machine
            out.push_back(v);
        }
        return out;
    }

private:
    std::uint16_t u16(std::uint64_t at) const
    {
        const std::uint8_t* p = m_data.data() + at;
        return m_big ? std::uint16_t(p[0] << 8 | p[1]) : std::uint16_t(p[1] << 8 | p[0]);
    }
    std::uint32_t u32(std::uint64_t at) const
    {
        const std::uint8_t* p = m_data.data() + at;
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= std::uint32_t(p[m_big ? 3 - i : i]) << (8 * i);
        return v;
    }
    std::uint64_t u64(std::uint64_t at) const
    {
        const std::uint8_t* p = m_data.data() + at;
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v |= std::uint64_t(p[m_big ? 7 - i : i]) << (8 * i);
        return v;
    }

    std::vector<std::uint8_t> m_data;
    bool m_big = false;
    bool m_bigTiff = false;
    std::vector<std::uint64_t> m_pages;
};

bool isDirectoryPointer(std::uint16_t tag, std::uint16_t type)
{
    return tag == 330 || tag == 34665 || tag == 34853 || tag == 40965 || tag == 400 || type == 13 ||
           type == 18;
}

bool sameIntegerKind(std::uint16_t a, std::uint16_t b)
{
    auto kind = [](std::uint16_t t) {
        return t == 3 || t == 4 || t == 16 ? 1 : t == 8 || t == 9 || t == 17 ? 2 : 100 + t;
    };
    return kind(a) == kind(b);
}

std::string compareDirectories(const MiniTiff& a, std::uint64_t da, const MiniTiff& b,
                               std::uint64_t db, const std::string& where, int depth,
                               bool followNext)
{
    if (depth > 8)
        return "";
    const auto ea = a.directory(da);
    const auto eb = b.directory(db);
    std::set<std::uint16_t> tags;
    for (const auto& [tag, e] : ea)
        if (tag != 288 && tag != 289)
            tags.insert(tag);
    for (const auto& [tag, e] : eb)
        if (tag != 288 && tag != 289)
            tags.insert(tag);
    auto blocks = [](const MiniTiff& t, const std::map<std::uint16_t, RawEntry>& e,
                     std::uint16_t offsetsTag, std::uint16_t countsTag) {
        std::vector<std::vector<std::uint8_t>> out;
        auto offsets = MiniTiff::numbers(e.at(offsetsTag));
        auto counts = e.count(countsTag) ? MiniTiff::numbers(e.at(countsTag))
                                         : std::vector<std::uint64_t>(offsets.size(), 64);
        for (std::size_t i = 0; i < offsets.size() && i < counts.size(); ++i)
            out.push_back(t.range(offsets[i], counts[i]));
        return out;
    };
    for (std::uint16_t tag : tags) {
        const std::string at = where + " tag " + std::to_string(tag);
        if (!ea.count(tag) || !eb.count(tag))
            return at + (ea.count(tag) ? " is missing from the copy" : " is new in the copy");
        const RawEntry& x = ea.at(tag);
        const RawEntry& y = eb.at(tag);
        if (tag == 273 || tag == 324) {
            const std::uint16_t counts = tag == 273 ? 279 : 325;
            if (blocks(a, ea, tag, counts) != blocks(b, eb, tag, counts))
                return at + ": image data differs";
            continue;
        }
        if (tag == 513) {
            const auto la = ea.count(514) ? MiniTiff::numbers(ea.at(514)).at(0) : 0;
            if (a.range(MiniTiff::numbers(x).at(0), la) != b.range(MiniTiff::numbers(y).at(0), la))
                return at + ": JPEG data differs";
            continue;
        }
        if (tag == 519 || tag == 520 || tag == 521) {
            const auto oa = MiniTiff::numbers(x);
            const auto ob = MiniTiff::numbers(y);
            if (oa.size() != ob.size())
                return at + ": table count differs";
            for (std::size_t i = 0; i < oa.size(); ++i) {
                if (a.range(oa[i], 64) != b.range(ob[i], 64))
                    return at + ": JPEG table differs";
            }
            continue;
        }
        if (isDirectoryPointer(tag, x.type)) {
            const auto pa = MiniTiff::numbers(x);
            const auto pb = MiniTiff::numbers(y);
            if (pa.size() != pb.size())
                return at + ": number of sub-directories differs";
            for (std::size_t i = 0; i < pa.size(); ++i) {
                const std::string diff = compareDirectories(
                    a, pa[i], b, pb[i], at + "[" + std::to_string(i) + "]", depth + 1, true);
                if (!diff.empty())
                    return diff;
            }
            continue;
        }
        if (x.count != y.count)
            return at + ": count " + std::to_string(x.count) + " became " + std::to_string(y.count);
        if (x.type == y.type) {
            if (x.value != y.value)
                return at + ": value differs";
        } else if (sameIntegerKind(x.type, y.type)) {
            if (MiniTiff::numbers(x) != MiniTiff::numbers(y))
                return at + ": value differs";
        } else {
            return at + ": type " + std::to_string(x.type) + " became " + std::to_string(y.type);
        }
    }
    if (followNext) {
        const std::uint64_t na = a.next(da);
        const std::uint64_t nb = b.next(db);
        if ((na == 0) != (nb == 0))
            return where + ": chained sub-directory differs";
        if (na != 0)
            return compareDirectories(a, na, b, nb, where + " next", depth + 1, true);
    }
    return "";
}

} // namespace

void write(const fs::path& path, const std::vector<Page>& pages, bool bigTiff, char order)
{
    const std::string mode = std::string("w") + (bigTiff ? "8" : "") + order;
    TIFF* tif = TIFFOpen(path.c_str(), mode.c_str());
    if (!tif)
        throw std::runtime_error("cannot create " + path.string());
    try {
        for (std::size_t i = 0; i < pages.size(); ++i)
            writePage(tif, pages[i], int(i), int(pages.size()));
    } catch (...) {
        TIFFClose(tif);
        throw;
    }
    TIFFClose(tif);
}

std::vector<Page> numbered(int count, Page kind)
{
    std::vector<Page> pages;
    for (int i = 1; i <= count; ++i) {
        Page page = kind;
        page.seed = i;
        page.name = std::to_string(i);
        pages.push_back(page);
    }
    return pages;
}

int pageCount(const fs::path& path)
{
    TIFF* tif = openRead(path);
    const int n = TIFFNumberOfDirectories(tif);
    TIFFClose(tif);
    return n;
}

std::string pageName(const fs::path& path, int page)
{
    TIFF* tif = openRead(path);
    std::string name;
    char* value = nullptr;
    if (TIFFSetDirectory(tif, tdir_t(page - 1)) && TIFFGetField(tif, TIFFTAG_PAGENAME, &value))
        name = value;
    TIFFClose(tif);
    return name;
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
    TIFF* tif = openRead(path);
    std::vector<std::uint32_t> raster;
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    if (TIFFSetDirectory(tif, tdir_t(page - 1)) && TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) &&
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h) && std::uint64_t(w) * h < (64u << 20)) {
        raster.assign(std::size_t(w) * h, 0);
        if (!TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 1))
            raster.clear();
    }
    TIFFClose(tif);
    if (width)
        *width = w;
    if (height)
        *height = h;
    return raster;
}

std::vector<std::uint8_t> samples(const fs::path& path, int page)
{
    TIFF* tif = openRead(path);
    std::vector<std::uint8_t> all;
    if (TIFFSetDirectory(tif, tdir_t(page - 1))) {
        const bool tiled = TIFFIsTiled(tif);
        const std::uint32_t blocks = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
        const tmsize_t size = tiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size));
        for (std::uint32_t b = 0; b < blocks; ++b) {
            const tmsize_t n = tiled ? TIFFReadEncodedTile(tif, b, buffer.data(), size)
                                     : TIFFReadEncodedStrip(tif, b, buffer.data(), size);
            if (n < 0) {
                all.clear();
                break;
            }
            all.insert(all.end(), buffer.begin(), buffer.begin() + n);
        }
    }
    TIFFClose(tif);
    return all;
}

std::string comparePages(const fs::path& a, int pageA, const fs::path& b, int pageB)
{
    const MiniTiff ta(a);
    const MiniTiff tb(b);
    return compareDirectories(ta, ta.page(pageA), tb, tb.page(pageB),
                              "page " + std::to_string(pageA), 0, false);
}

std::vector<std::uint8_t> bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

namespace {

void patch32(const fs::path& path, std::uint64_t at, std::uint32_t value, bool big)
{
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    std::uint8_t b[4];
    for (int i = 0; i < 4; ++i)
        b[big ? 3 - i : i] = std::uint8_t(value >> (8 * i));
    f.seekp(std::streamoff(at));
    f.write(reinterpret_cast<const char*>(b), 4);
}

} // namespace

void breakStripOffset(const fs::path& path, int page)
{
    const MiniTiff t(path);
    patch32(path, t.valueField(t.page(page), 273), 0x7ffffff0u, t.bigEndian());
}

void loopChain(const fs::path& path, int page, int target)
{
    const MiniTiff t(path);
    setNextPage(path, page, std::uint32_t(t.page(target)));
}

void setNextPage(const fs::path& path, int page, std::uint32_t offset)
{
    const MiniTiff t(path);
    patch32(path, t.nextField(t.page(page)), offset, t.bigEndian());
}

TempDir::TempDir(bool inMemory)
{
    fs::path root = fs::temp_directory_path();
    std::error_code ec;
    if (inMemory && fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0)
        root = "/dev/shm";
    std::string pattern = (root / "tessary-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(m_path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

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

} // namespace testtiff
