// Rewrites keep each unchanged run of image data at its offset modulo the disk's block
// size, so that XFS and btrfs share the blocks instead of copying them: on this machine's
// disk and, for the superuser with mkfs.xfs or mkfs.btrfs, on small disk images. Pages and
// tags stay exact, the pages taken out leave no byte behind, and repeated rewrites keep the
// file within a block a page of a packed copy.

#include "PageEngine.h"
#include "TestTiff.h"

#include <algorithm>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <tiffio.h>
#include <unistd.h>

using namespace tessary;
namespace fs = std::filesystem;

namespace {

struct Strip
{
    std::uint64_t offset;
    std::vector<std::uint8_t> bytes;
};

std::vector<Strip> strips(const fs::path& path, int page)
{
    std::vector<Strip> out;
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (tif && TIFFSetDirectory(tif, tdir_t(page - 1))) {
        for (std::uint32_t i = 0; i < TIFFNumberOfStrips(tif); ++i) {
            Strip s{TIFFGetStrileOffset(tif, i),
                    std::vector<std::uint8_t>(TIFFGetStrileByteCount(tif, i))};
            TIFFReadRawStrip(tif, i, s.bytes.data(), tmsize_t(s.bytes.size()));
            out.push_back(std::move(s));
        }
    }
    if (tif)
        TIFFClose(tif);
    return out;
}

// Bytes of path in extents the file system shares with another file.
std::uint64_t sharedBytes(const fs::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::vector<std::uint8_t> buffer(sizeof(fiemap) + 512 * sizeof(fiemap_extent));
    auto* map = reinterpret_cast<fiemap*>(buffer.data());
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_flags = FIEMAP_FLAG_SYNC;
    map->fm_extent_count = 512;
    std::uint64_t shared = 0;
    if (fd >= 0 && ::ioctl(fd, FS_IOC_FIEMAP, map) == 0) {
        for (std::uint32_t i = 0; i < map->fm_mapped_extents; ++i) {
            if (map->fm_extents[i].fe_flags & FIEMAP_EXTENT_SHARED)
                shared += map->fm_extents[i].fe_length;
        }
    }
    ::close(fd);
    return shared;
}

// A disk to write on: this machine's temporary folder, or a disk image of a file system
// that shares blocks, made and mounted for the tests' lifetime when the superuser may.
struct Disk
{
    Disk(const char* name, const char* mkfs)
        : name(name)
        , mkfs(mkfs)
    {}
    const char* name;
    std::string mkfs; // empty: the temporary folder itself
    testtiff::TempDir dir;
    std::string skipped;
    bool tried = false;

    fs::path folder() const { return mkfs.empty() ? dir.path() : dir / "disk"; }
    void mount()
    {
        const std::string image = (dir / "image").string();
        if (mkfs.empty() || std::exchange(tried, true))
            return;
        fs::create_directory(folder());
        if (::geteuid() != 0)
            skipped = "mounting a disk image needs the superuser";
        else if (std::system(("command -v " + mkfs + " >/dev/null").c_str()) != 0)
            skipped = mkfs + " is not installed";
        else if (std::system(("truncate -s 320M " + image + " && " + mkfs + " -q " + image +
                              " >/dev/null 2>&1 && mount -o loop " + image + " " +
                              folder().string())
                                 .c_str()) != 0)
            skipped = std::string("a ") + name + " image cannot be made or mounted here";
        else
            mounted = true;
    }
    ~Disk()
    {
        if (mounted)
            ::umount2(folder().c_str(), MNT_DETACH);
    }
    bool mounted = false;
};

Disk disks[] = {{"this_disk", ""}, {"XFS", "mkfs.xfs"}, {"btrfs", "mkfs.btrfs"}};
const testtiff::TempDir otherDisk(true); // in memory, where there is such a disk

struct Case
{
    std::string name;
    std::function<void(PageEngine&, const fs::path&)> run;
    std::string written;
    std::string pages;        // of the written file: pages of ref, or of src ("s2")
    std::vector<int> removed; // pages of ref whose bytes must be gone
    // A page whose data need not keep its offset: written in place, packed, before the
    // rewrite, or from another disk.
    int unaligned = 0;
};

const std::vector<Case> cases = {
    {"delete",
     [](PageEngine& e, const fs::path& d) { e.deletePages(d / "dest.tif", 4, 1); },
     "dest.tif",
     "1 2 3 5 6 7",
     {4}},
    {"replace",
     [](PageEngine& e, const fs::path& d) {
         e.replacePages(d / "dest.tif", d / "src.tif", 2, 4, 1);
     },
     "dest.tif",
     "1 2 3 s2 5 6 7",
     {4}},
    {"replace from another disk",
     [](PageEngine& e, const fs::path& d) {
         e.replacePages(d / "dest.tif", otherDisk / "src.tif", 1, 3, 1);
     },
     "dest.tif",
     "1 2 s1 4 5 6 7",
     {3},
     3},
    {"replace within the file",
     [](PageEngine& e, const fs::path& d) {
         e.replacePages(d / "dest.tif", d / "dest.tif", 6, 2, 1);
     },
     "dest.tif",
     "1 6 3 4 5 6 7",
     {2}},
    {"extract",
     [](PageEngine& e, const fs::path& d) { e.extractPages(d / "dest.tif", 3, 3, d / "new.tif"); },
     "new.tif",
     "3 4 5",
     {1, 2, 6, 7}},
    {"reorder",
     [](PageEngine& e, const fs::path& d) {
         e.insertPages(d / "dest.tif", d / "dest.tif", 6, 2, 1);
         e.deletePages(d / "dest.tif", 7, 1);
     },
     "dest.tif",
     "1 6 2 3 4 5 7",
     {},
     2},
};

// Pages of 64 KiB (odd pages) and of about a kilobyte (even ones), so that what lies between
// two runs of data is sometimes more than a block and sometimes less.
std::vector<testtiff::Page> pages(int count, int seed)
{
    auto pages = testtiff::numbered(count);
    for (std::size_t i = 0; i < pages.size(); i += 2) {
        pages[i].width = pages[i].height = 256;
        pages[i].rowsPerStrip = 64;
    }
    for (auto& p : pages)
        p.seed += seed;
    return pages;
}

class SharedExtents : public ::testing::TestWithParam<int>
{
protected:
    void SetUp() override
    {
        disk = &disks[GetParam()];
        disk->mount();
        if (!disk->skipped.empty())
            GTEST_SKIP() << disk->skipped;
        d = disk->folder() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::create_directories(d);
        struct statvfs vfs
        {};
        ASSERT_EQ(::statvfs(d.c_str(), &vfs), 0);
        block = vfs.f_bsize;
        testtiff::write(d / "ref.tif", pages(7, 0));
        testtiff::write(d / "src.tif", pages(3, 20));
        testtiff::write(otherDisk / "src.tif", pages(3, 20));
        fs::copy_file(d / "ref.tif", d / "dest.tif");
    }
    void TearDown() override { fs::remove_all(d); }

    Disk* disk = nullptr;
    fs::path d;
    std::uint64_t block = 1;
};

TEST_P(SharedExtents, rewritesKeepPagesExactTheirDataAlignedAndNoRemovedByte)
{
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(d / "dest.tif");
        fs::remove(d / "held.tif");
        fs::copy_file(d / "ref.tif", d / "dest.tif");
        fs::create_hard_link(d / "dest.tif", d / "held.tif"); // keeps the old blocks in use
        PageEngine engine;
        c.run(engine, d);
        const fs::path out = d / c.written;
        std::istringstream list(c.pages);
        std::uint64_t data = 0;
        int i = 0;
        for (std::string page; list >> page;) {
            ++i;
            const fs::path from = d / (page[0] == 's' ? "src.tif" : "ref.tif");
            const int p = std::stoi(page[0] == 's' ? page.substr(1) : page);
            EXPECT_EQ(testtiff::comparePages(out, i, from, p), "");
            const auto was = strips(from, p);
            const auto now = strips(out, i);
            ASSERT_EQ(now.size(), was.size());
            for (std::size_t s = 0; s < now.size(); ++s) {
                if (c.unaligned != i) {
                    EXPECT_EQ(now[s].offset % block, was[s].offset % block) << "page " << i;
                    data += now[s].bytes.size();
                }
            }
        }
        EXPECT_EQ(testtiff::pageCount(out), i);
        const auto bytes = testtiff::bytes(out);
        for (int page : c.removed) {
            for (const Strip& s : strips(d / "ref.tif", page)) {
                EXPECT_EQ(std::search(bytes.begin(), bytes.end(), s.bytes.begin(), s.bytes.end()),
                          bytes.end())
                    << "page " << page << " is still in the file";
            }
        }
        if (disk->mounted) {
            EXPECT_GE(sharedBytes(out) + 2 * block * std::uint64_t(i), data);
        }
    }
}

TEST_P(SharedExtents, repeatedRewritesStayWithinABlockAPageOfAPackedFile)
{
    const std::uint64_t packed = fs::file_size(d / "ref.tif");
    for (int i = 0; i < 30; ++i)
        PageEngine().replacePages(d / "dest.tif", d / "src.tif", 1 + i % 3, 1 + (i * 3) % 7, 1);
    for (int page = 1; page <= 7; ++page) {
        PageEngine().replacePages(d / "dest.tif", d / "ref.tif", page, page, 1);
        EXPECT_EQ(testtiff::comparePages(d / "dest.tif", page, d / "ref.tif", page), "");
    }
    EXPECT_LE(fs::file_size(d / "dest.tif"), packed + std::max(packed / 100, 7 * block));
}

INSTANTIATE_TEST_SUITE_P(Disks, SharedExtents, ::testing::Values(0, 1, 2),
                         [](const auto& info) { return std::string(disks[info.param].name); });

} // namespace
