// The page operations on real disks that refuse to be written: a small disk filled to every
// level, a disk mounted read-only, and files and folders marked immutable. These need the
// superuser (to mount and to mark files) and are skipped otherwise.

#include "EngineError.h"
#include "PageEngine.h"
#include "TestTiff.h"

#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <tiffio.h>
#include <unistd.h>

using namespace tessary;
using testtiff::Page;
namespace fs = std::filesystem;

namespace {

// A small memory disk mounted on a folder for the life of the object.
class SmallDisk
{
public:
    SmallDisk(const fs::path& where, const std::string& size)
        : m_path(where)
    {
        fs::create_directory(where);
        const std::string options = "size=" + size + ",mode=0755";
        m_mounted =
            ::geteuid() == 0 && ::mount("tmpfs", where.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    const fs::path& path() const { return m_path; }
    bool makeReadOnly()
    {
        return ::mount(nullptr, m_path.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    std::uint64_t freeBytes() const
    {
        struct statvfs st
        {};
        ::statvfs(m_path.c_str(), &st);
        return std::uint64_t(st.f_bavail) * st.f_frsize;
    }

private:
    fs::path m_path;
    bool m_mounted = false;
};

// Marks a file or folder immutable for the life of the object; immutable() is false where
// the file system or the user's rights do not allow it.
class Immutable
{
public:
    explicit Immutable(const fs::path& path)
        : m_path(path)
    {
        m_set = setFlag(true);
    }
    ~Immutable()
    {
        if (m_set)
            setFlag(false);
    }
    Immutable(const Immutable&) = delete;
    Immutable& operator=(const Immutable&) = delete;

    bool immutable() const { return m_set; }

private:
    bool setFlag(bool on)
    {
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (ok) {
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return ok;
    }

    fs::path m_path;
    bool m_set = false;
};

Page plainPage()
{
    Page p;
    p.width = 200;
    p.height = 100;
    p.rowsPerStrip = 25;
    return p;
}

std::vector<Page> withPrefix(const std::string& prefix, int count)
{
    auto pages = testtiff::numbered(count, plainPage());
    for (Page& p : pages) {
        p.name = prefix + p.name;
        p.seed += prefix.empty() ? 0 : 40;
    }
    return pages;
}

struct Case
{
    std::string name;
    std::function<void(PageEngine&, const fs::path&)> run;
    std::string dest;  // the file written
    std::string after; // its page names after success
};

std::vector<Case> cases()
{
    return {
        {"append",
         [](PageEngine& e, const fs::path& d) {
             e.appendPages(d / "dest.tif", d / "source.tif", 1, 3);
         },
         "dest.tif", "1 2 3 4 5 s1 s2 s3"},
        {"insert",
         [](PageEngine& e, const fs::path& d) {
             e.insertPages(d / "dest.tif", d / "source.tif", 2, 3, 2);
         },
         "dest.tif", "1 2 s2 s3 3 4 5"},
        {"replace",
         [](PageEngine& e, const fs::path& d) {
             e.replacePages(d / "dest.tif", d / "source.tif", 1, 2, 2);
         },
         "dest.tif", "1 s1 s2 4 5"},
        {"delete", [](PageEngine& e, const fs::path& d) { e.deletePages(d / "dest.tif", 2, 2); },
         "dest.tif", "1 4 5"},
        {"extract",
         [](PageEngine& e, const fs::path& d) {
             e.extractPages(d / "dest.tif", 2, 3, d / "new.tif");
         },
         "new.tif", "2 3 4"},
    };
}

std::vector<std::string> namesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void fill(const fs::path& file, std::uint64_t bytes)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    if (bytes > 0) {
        ASSERT_EQ(::posix_fallocate(fd, 0, off_t(bytes)), 0);
    }
    ::close(fd);
}

TEST(RealDisk, aFullDiskAtEveryLevelChangesNothingOrCompletes)
{
    testtiff::TempDir dir;
    SmallDisk disk(dir / "disk", "1m");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small disk needs the superuser";
    const fs::path d = disk.path();
    testtiff::write(dir / "dest.tif", withPrefix("", 5));
    testtiff::write(dir / "source.tif", withPrefix("s", 3));
    const auto destBytes = testtiff::bytes(dir / "dest.tif");
    const auto sourceBytes = testtiff::bytes(dir / "source.tif");

    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        int failed = 0;
        int completed = 0;
        // Free space from none up to plenty, a memory page at a time.
        for (std::uint64_t room = 0; room <= 160u << 10; room += 4096) {
            for (const auto& entry : fs::directory_iterator(d))
                fs::remove(entry.path());
            fs::copy_file(dir / "dest.tif", d / "dest.tif");
            fs::copy_file(dir / "source.tif", d / "source.tif");
            const std::uint64_t free = disk.freeBytes();
            ASSERT_GE(free, room);
            fill(d / "filler", free - room);
            const auto entries = namesIn(d);
            try {
                PageEngine engine;
                c.run(engine, d);
                ++completed;
                EXPECT_EQ(testtiff::pageNames(d / c.dest), c.after) << room;
            } catch (const EngineError& e) {
                ++failed;
                EXPECT_EQ(e.kind(), ErrorKind::NoSpace) << e.what();
                EXPECT_NE(std::string(e.what()).find("no space left on the disk while writing " +
                                                     c.dest + "; the file is unchanged."),
                          std::string::npos)
                    << e.what();
                EXPECT_EQ(testtiff::bytes(d / "dest.tif"), destBytes) << room;
                EXPECT_EQ(testtiff::bytes(d / "source.tif"), sourceBytes) << room;
                EXPECT_EQ(namesIn(d), entries) << room;
            }
        }
        EXPECT_GT(failed, 0);
        EXPECT_GT(completed, 0);
        std::cout << "[ full disk ] " << c.name << ": " << failed << " refused, " << completed
                  << " completed\n";
    }
}

TEST(RealDisk, aReadOnlyDiskIsRefusedAndLeftAsItWas)
{
    testtiff::TempDir dir;
    SmallDisk disk(dir / "disk", "1m");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small disk needs the superuser";
    const fs::path d = disk.path();
    testtiff::write(d / "dest.tif", withPrefix("", 5));
    testtiff::write(d / "source.tif", withPrefix("s", 3));
    ASSERT_TRUE(disk.makeReadOnly());
    const auto destBytes = testtiff::bytes(d / "dest.tif");
    const auto entries = namesIn(d);
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        try {
            PageEngine engine;
            c.run(engine, d);
            ADD_FAILURE() << "a read-only disk was written";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::ReadOnly) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.dest), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos) << e.what();
        }
        EXPECT_EQ(testtiff::bytes(d / "dest.tif"), destBytes);
        EXPECT_EQ(namesIn(d), entries);
    }
}

TEST(RealDisk, immutableFilesAndFoldersAreRefusedAndLeftAsTheyWere)
{
    testtiff::TempDir dir;
    const fs::path d = dir.path();
    testtiff::write(d / "dest.tif", withPrefix("", 5));
    testtiff::write(d / "source.tif", withPrefix("s", 3));
    testtiff::write(d / "new.tif", withPrefix("n", 1));
    const auto destBytes = testtiff::bytes(d / "dest.tif");
    const auto newBytes = testtiff::bytes(d / "new.tif");
    {
        Immutable dest(d / "dest.tif");
        Immutable existing(d / "new.tif");
        if (!dest.immutable() || !existing.immutable())
            GTEST_SKIP() << "marking files immutable needs the superuser and a file system "
                            "that supports it";
        for (const Case& c : cases()) {
            SCOPED_TRACE(c.name);
            try {
                PageEngine engine;
                c.run(engine, d);
                ADD_FAILURE() << "an immutable file was written";
            } catch (const EngineError& e) {
                EXPECT_EQ(e.kind(), ErrorKind::ReadOnly) << e.what();
                EXPECT_NE(std::string(e.what()).find(c.dest + " is read-only"), std::string::npos)
                    << e.what();
            }
            EXPECT_EQ(testtiff::bytes(d / "dest.tif"), destBytes);
            EXPECT_EQ(testtiff::bytes(d / "new.tif"), newBytes);
        }
    }
    // A folder marked immutable takes no new file, so nothing in it can be rewritten.
    fs::remove(d / "new.tif");
    const auto entries = namesIn(d);
    Immutable folder(d);
    ASSERT_TRUE(folder.immutable());
    for (const Case& c : cases()) {
        if (c.name == "append" || c.name == "insert")
            continue; // written in place: an immutable folder does not stop them
        SCOPED_TRACE(c.name);
        try {
            PageEngine engine;
            c.run(engine, d);
            ADD_FAILURE() << "a file in an immutable folder was replaced";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::ReadOnly) << e.what();
            EXPECT_NE(std::string(e.what()).find("The folder of " + c.dest + " is read-only"),
                      std::string::npos)
                << e.what();
        }
        EXPECT_EQ(testtiff::bytes(d / "dest.tif"), destBytes);
        EXPECT_EQ(namesIn(d), entries);
    }
}

} // namespace
