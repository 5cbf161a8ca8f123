#include "PosixFileLayer.h"

#include "ReadableFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#elif !defined(F_OFD_SETLK)
#include <sys/file.h>
#endif

namespace tessary {

namespace {

[[noreturn]] void fail(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

// The operating system's exclusive lock on an open file, owned by the open file itself (not
// by the process or thread), so that it excludes other threads of this process as well as
// other processes, and is released when the file is closed or the process ends.
LockState tryLockDescriptor(int fd)
{
#ifdef _WIN32
    // Windows locks are mandatory: a locked byte cannot be read through another handle.
    // The lock therefore covers one byte far past the end of any TIFF file, which every
    // writer locks and no reader ever reads.
    OVERLAPPED at{};
    at.Offset = 0xfffffffe;
    at.OffsetHigh = 0x7fffffff;
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
        return LockState::Held;
    const DWORD error = ::GetLastError();
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? LockState::Busy
                                                                      : LockState::Unsupported;
#elif defined(F_OFD_SETLK)
    // Open file description locks, not classic POSIX record locks: those belong to the
    // process, so two threads would both get one, and closing any descriptor of the file
    // (a reader's) would drop it.
    struct flock whole
    {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    int result;
    do {
        result = ::fcntl(fd, F_OFD_SETLK, &whole);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        return LockState::Held;
    // ENOLCK, EOPNOTSUPP, ENOSYS, EINVAL (a kernel without these locks) and the like.
    return errno == EAGAIN || errno == EACCES ? LockState::Busy : LockState::Unsupported;
#else
    // BSD locks, which also belong to the open file.
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        return LockState::Held;
    return errno == EWOULDBLOCK ? LockState::Busy : LockState::Unsupported;
#endif
}

class PosixWritableFile : public WritableFile
{
public:
    explicit PosixWritableFile(int fd)
        : m_fd(fd)
    {}
    ~PosixWritableFile() override { ::close(m_fd); }

    void write(std::uint64_t offset, const void* data, std::size_t size) override
    {
        const auto* in = static_cast<const unsigned char*>(data);
        while (size > 0) {
            const ssize_t n = ::pwrite(m_fd, in, size, off_t(offset));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                fail("write");
            }
            if (n == 0) {
                errno = ENOSPC;
                fail("write");
            }
            in += n;
            offset += std::uint64_t(n);
            size -= std::size_t(n);
        }
    }

    void copyFrom(const ReadableFile& source, std::uint64_t sourceOffset, std::uint64_t size,
                  std::uint64_t offset) override
    {
        // The kernel copies within the file system, sharing whole blocks where it can; a
        // source on a disk it cannot copy from is copied here, other sources still there.
        const std::uint64_t disk = source.stamp().volume;
        if (std::find(m_plainCopyFrom.begin(), m_plainCopyFrom.end(), disk) ==
            m_plainCopyFrom.end()) {
            while (size > 0) {
                loff_t in = loff_t(sourceOffset);
                loff_t out = loff_t(offset);
                const std::size_t chunk = size > (1u << 30) ? (1u << 30) : std::size_t(size);
                const ssize_t n = ::copy_file_range(source.descriptor(), &in, m_fd, &out, chunk, 0);
                if (n < 0) {
                    if (errno == EINTR)
                        continue;
                    if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP ||
                        errno == EINVAL || errno == EBADF) {
                        m_plainCopyFrom.push_back(disk);
                        break;
                    }
                    fail("copy");
                }
                if (n == 0) {
                    // The source ended early: it changed under us.
                    errno = EIO;
                    fail("copy");
                }
                sourceOffset += std::uint64_t(n);
                offset += std::uint64_t(n);
                size -= std::uint64_t(n);
            }
            if (size == 0)
                return;
        }
        std::vector<unsigned char> buffer(std::size_t(size < (1u << 20) ? size : (1u << 20)));
        while (size > 0) {
            const std::size_t chunk = size < buffer.size() ? std::size_t(size) : buffer.size();
            if (!source.readAt(sourceOffset, buffer.data(), chunk)) {
                errno = EIO;
                fail("read");
            }
            write(offset, buffer.data(), chunk);
            sourceOffset += chunk;
            offset += chunk;
            size -= chunk;
        }
    }

    void truncate(std::uint64_t size) override
    {
        while (::ftruncate(m_fd, off_t(size)) != 0) {
            if (errno != EINTR)
                fail("truncate");
        }
    }

    void sync() override
    {
        // fsync rather than fdatasync: the permissions and owner given to a replacement
        // must be as durable as its bytes, or a crash could leave a private file readable
        // by others.
        while (::fsync(m_fd) != 0) {
            if (errno != EINTR)
                fail("sync");
        }
    }

    void copyPermissionsFrom(const std::filesystem::path& path) override
    {
        struct stat st
        {};
        if (::stat(path.c_str(), &st) != 0)
            return;
        // Owner first: changing it may clear set-id bits that fchmod then restores.
        if (::fchown(m_fd, st.st_uid, st.st_gid) != 0) {
            // Only the owner's group may be kept when we are not allowed to give the file away.
            (void)::fchown(m_fd, uid_t(-1), st.st_gid);
        }
        if (::fchmod(m_fd, st.st_mode & 07777) != 0)
            fail("chmod");
    }

    LockState tryLock() override { return tryLockDescriptor(m_fd); }
    FileStamp stamp() const override { return FileStamp::ofDescriptor(m_fd).value_or(FileStamp()); }

private:
    int m_fd;
    std::vector<std::uint64_t> m_plainCopyFrom; // devices of sources the kernel refused
};

std::atomic<unsigned> temporarySerial{0};

const std::string temporaryMarker = ".tessary-";
const std::string temporarySuffix = ".tmp";

} // namespace

std::string temporaryName(const std::filesystem::path& target, long processId, unsigned serial)
{
    // Any name the disk allows must be rewritable: the target's name is shortened so that
    // the temporary one fits in a folder entry (255 bytes), never cut inside a character.
    constexpr std::size_t longestName = 255;
    const std::string tail = temporaryMarker + std::to_string(processId) + "-" +
                             std::to_string(serial) + temporarySuffix;
    std::string head = "." + target.filename().string();
    if (head.size() + tail.size() > longestName) {
        head.resize(longestName - tail.size());
        while (head.size() > 1 && (static_cast<unsigned char>(head.back()) & 0xc0) == 0x80)
            head.pop_back();
        if (head.size() > 1 && (static_cast<unsigned char>(head.back()) & 0x80))
            head.pop_back();
    }
    return head + tail;
}

std::filesystem::path scratchPathBeside(const std::filesystem::path& target)
{
    return target.parent_path() /
           temporaryName(target, long(::getpid()), temporarySerial.fetch_add(1));
}

bool isTemporaryName(const std::string& name, long* processId)
{
    if (name.size() < 2 || name[0] != '.' || name.size() <= temporarySuffix.size() ||
        name.compare(name.size() - temporarySuffix.size(), temporarySuffix.size(),
                     temporarySuffix) != 0)
        return false;
    const auto marker = name.rfind(temporaryMarker);
    if (marker == std::string::npos)
        return false;
    const std::string rest =
        name.substr(marker + temporaryMarker.size(),
                    name.size() - temporarySuffix.size() - marker - temporaryMarker.size());
    const auto dash = rest.find('-');
    if (dash == std::string::npos || dash == 0)
        return false;
    long pid = 0;
    for (std::size_t i = 0; i < dash; ++i) {
        if (rest[i] < '0' || rest[i] > '9')
            return false;
        pid = pid * 10 + (rest[i] - '0');
        if (pid > 0x3fffffff)
            return false;
    }
    for (std::size_t i = dash + 1; i < rest.size(); ++i) {
        if (rest[i] < '0' || rest[i] > '9')
            return false;
    }
    if (processId)
        *processId = pid;
    return true;
}

std::unique_ptr<WritableFile> PosixFileLayer::createTemporary(const std::filesystem::path& target,
                                                              std::filesystem::path& tempPath)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target.parent_path() /
                   temporaryName(target, long(::getpid()), temporarySerial.fetch_add(1));
        const int fd = ::open(tempPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return std::make_unique<PosixWritableFile>(fd);
        if (errno != EEXIST && errno != EINTR) {
            tempPath.clear();
            fail("create");
        }
    }
    tempPath.clear();
    errno = EEXIST;
    fail("create");
}

namespace {

std::unique_ptr<WritableFile> openReadWrite(const std::filesystem::path& path)
{
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        fail("open");
    return std::make_unique<PosixWritableFile>(fd);
}

} // namespace

std::unique_ptr<WritableFile> PosixFileLayer::openForUpdate(const std::filesystem::path& path)
{
    return openReadWrite(path);
}

std::unique_ptr<WritableFile> PosixFileLayer::openForLock(const std::filesystem::path& path)
{
    // Open for writing: an exclusive lock needs it.
    return openReadWrite(path);
}

void PosixFileLayer::rename(const std::filesystem::path& from, const std::filesystem::path& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        fail("rename");
}

void PosixFileLayer::link(const std::filesystem::path& existing, const std::filesystem::path& name)
{
    if (::link(existing.c_str(), name.c_str()) != 0)
        fail("link");
}

void PosixFileLayer::syncFolder(const std::filesystem::path& folder)
{
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fail("open folder");
    int result;
    do {
        result = ::fsync(fd);
    } while (result != 0 && errno == EINTR);
    const int error = errno;
    ::close(fd);
    // Some file systems cannot sync a folder; the rename is then as durable as they allow.
    if (result != 0 && error != EINVAL && error != ENOTSUP) {
        errno = error;
        fail("sync folder");
    }
}

void PosixFileLayer::remove(const std::filesystem::path& path) noexcept
{
    ::unlink(path.c_str());
}

FileLayer& FileLayer::system()
{
    static PosixFileLayer layer;
    return layer;
}

} // namespace tessary
