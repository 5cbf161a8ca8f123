// The page operations on real disks that refuse to be written: a small disk filled to every
// level, a disk mounted read-only, and files and folders marked immutable. These need the
// superuser (to mount and to mark files) and are skipped otherwise.

#include "TestTiff.h"

#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <sys/statvfs.h>

using namespace testtiff;

namespace {

// A command run on a file or folder for the life of the object, and undone at its end (a
// small memory disk mounted on a folder, a file marked immutable); done() is false where the
// user's rights or the file system refuse it.
class Scoped
{
public:
    Scoped(const fs::path& path, const std::string& command, std::string undo)
        : m_path(" '" + path.string() + "'")
        , m_undo(std::move(undo))
        , m_done(std::system((command + m_path + " 2>/dev/null").c_str()) == 0)
    {}
    ~Scoped()
    {
        if (m_done && std::system((m_undo + m_path).c_str()) != 0)
            std::cerr << "could not undo: " << m_undo << m_path << "\n";
    }
    bool done() const { return m_done; }

private:
    std::string m_path;
    std::string m_undo;
    bool m_done;
};

struct Case
{
    const char* command;
    std::string written; // the file written
    const char* after;   // its page names after success
};

const Case cases[] = {
    {"append dest.tif source.tif 1 3", "dest.tif", "1 2 3 4 5 s1 s2 s3"},
    {"insert dest.tif source.tif 2 3 2", "dest.tif", "1 2 s2 s3 3 4 5"},
    {"replace dest.tif source.tif 1 2 2", "dest.tif", "1 s1 s2 4 5"},
    {"delete dest.tif 2 2", "dest.tif", "1 4 5"},
    {"extract dest.tif 2 3 new.tif", "new.tif", "2 3 4"},
};

// A five-page dest.tif and a three-page source.tif in folder, pages "1".."5" and "s1".."s3".
void writeFiles(const fs::path& folder)
{
    const Page plain{.width = 200, .height = 100, .rowsPerStrip = 25};
    write(folder / "dest.tif", numbered(5, plain));
    write(folder / "source.tif", numbered(3, plain, "s"));
}

class RealDisk : public ::testing::Test
{
protected:
    // Mounts a small memory disk on d, unmounted at the end of the test.
    bool mountSmallDisk()
    {
        fs::create_directory(d);
        return disk.emplace(d, "mount -t tmpfs -o size=1m,mode=0755 tmpfs", "umount -l").done();
    }

    TempDir dir;
    const fs::path d = dir / "disk";
    std::optional<Scoped> disk;
};

TEST_F(RealDisk, aFullDiskAtEveryLevelChangesNothingOrCompletes)
{
    if (!mountSmallDisk())
        GTEST_SKIP() << "mounting a small disk needs the superuser";
    writeFiles(dir.path());
    const auto dest = bytes(dir / "dest.tif");
    const auto source = bytes(dir / "source.tif");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        int failed = 0;
        int completed = 0;
        // Free space from none up to plenty, a memory page at a time.
        for (std::uint64_t room = 0; room <= 160u << 10; room += 4096) {
            for (const auto& entry : fs::directory_iterator(d))
                fs::remove(entry.path());
            writeBytes(d / "dest.tif", dest);
            writeBytes(d / "source.tif", source);
            struct statvfs st
            {};
            ::statvfs(d.c_str(), &st);
            const std::uint64_t free = std::uint64_t(st.f_bavail) * st.f_frsize;
            ASSERT_GE(free, room);
            const int fd = ::open((d / "filler").c_str(), O_WRONLY | O_CREAT, 0644);
            ASSERT_TRUE(free == room || ::posix_fallocate(fd, 0, off_t(free - room)) == 0);
            ::close(fd);
            const auto entries = listing(d);
            try {
                PageEngine engine;
                run(engine, d, c.command);
                ++completed;
                EXPECT_EQ(pageNames(d / c.written), c.after) << room;
            } catch (const EngineError& e) {
                ++failed;
                EXPECT_EQ(e.kind(), ErrorKind::NoSpace) << e.what();
                EXPECT_TRUE(contains(e.what(), "no space left on the disk while writing " +
                                                   c.written + "; the file is unchanged."));
                EXPECT_EQ(bytes(d / "dest.tif"), dest) << room;
                EXPECT_EQ(bytes(d / "source.tif"), source) << room;
                EXPECT_EQ(listing(d), entries) << room;
            }
        }
        EXPECT_GT(failed, 0);
        EXPECT_GT(completed, 0);
    }
}

// Every case is refused as read-only, naming the file, and leaves the folder as it was. The
// refuser: 'd' the disk, 'f' the files, 'F' the folder.
void expectReadOnly(const fs::path& d, char refuser)
{
    const auto dest = bytes(d / "dest.tif");
    const auto entries = listing(d);
    for (const Case& c : cases) {
        // Written in place, an append or insert is not stopped by an immutable folder.
        if (refuser == 'F' && (c.command[0] == 'a' || c.command[0] == 'i'))
            continue;
        SCOPED_TRACE(c.command);
        PageEngine engine;
        const std::string m = errorOf([&] { run(engine, d, c.command); }, ErrorKind::ReadOnly);
        EXPECT_TRUE(contains(m, (refuser == 'F' ? "The folder of " : "") + c.written +
                                    (refuser == 'd' ? "" : " is read-only")));
        EXPECT_TRUE(contains(m, "read-only"));
        EXPECT_EQ(bytes(d / "dest.tif"), dest);
        EXPECT_EQ(listing(d), entries);
    }
}

TEST_F(RealDisk, aReadOnlyDiskIsRefusedAndLeftAsItWas)
{
    if (!mountSmallDisk())
        GTEST_SKIP() << "mounting a small disk needs the superuser";
    writeFiles(d);
    ASSERT_EQ(std::system(("mount -o remount,ro '" + d.string() + "'").c_str()), 0);
    expectReadOnly(d, 'd');
}

TEST_F(RealDisk, immutableFilesAndFoldersAreRefusedAndLeftAsTheyWere)
{
    writeFiles(dir.path());
    write(dir / "new.tif", numbered(1, {}, "n"));
    {
        const Scoped dest(dir / "dest.tif", "chattr +i", "chattr -i");
        const Scoped existing(dir / "new.tif", "chattr +i", "chattr -i");
        if (!dest.done() || !existing.done())
            GTEST_SKIP() << "marking files immutable needs the superuser and a file system "
                            "that supports it";
        const auto newFile = bytes(dir / "new.tif");
        expectReadOnly(dir.path(), 'f');
        EXPECT_EQ(bytes(dir / "new.tif"), newFile);
    }
    // A folder marked immutable takes no new file, so nothing in it can be rewritten.
    fs::remove(dir / "new.tif");
    const Scoped folder(dir.path(), "chattr +i", "chattr -i");
    ASSERT_TRUE(folder.done());
    expectReadOnly(dir.path(), 'F');
}

} // namespace
