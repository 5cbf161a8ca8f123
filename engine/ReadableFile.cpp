#include "ReadableFile.h"

#include "EngineError.h"
#include "Messages.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef _WIN32
#include "WindowsFileLayer.h"

#include <algorithm>
#include <io.h>
#include <vector>
#include <windows.h>
#endif

namespace tessary {

#ifdef _WIN32

namespace {

// This process's readers, so that a file about to be replaced can be let go of
// (closeReadersOf). Reading holds the lock shared, letting go and opening again hold it
// alone.
SRWLOCK readersLock = SRWLOCK_INIT;
std::vector<ReadableFile*> readers;

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

} // namespace

// Opened as the engine opens every file, sharing it with everyone, and read by position.
ReadableFile::ReadableFile(const std::filesystem::path& path)
    : m_path(path)
{
    m_fd = openSharedDescriptor(path, false, false);
    if (m_fd < 0)
        throw openFailure(path, errno);
    const auto stamp = FileStamp::ofDescriptor(m_fd);
    if (!stamp) {
        ::_close(m_fd);
        throw openFailure(path, EIO);
    }
    m_stamp = *stamp;
    ::AcquireSRWLockExclusive(&readersLock);
    readers.push_back(this);
    ::ReleaseSRWLockExclusive(&readersLock);
}

ReadableFile::~ReadableFile()
{
    ::AcquireSRWLockExclusive(&readersLock);
    readers.erase(std::find(readers.begin(), readers.end(), this));
    if (m_fd >= 0)
        ::_close(m_fd);
    ::ReleaseSRWLockExclusive(&readersLock);
}

void closeReadersOf(const FileStamp& stamp)
{
    ::AcquireSRWLockExclusive(&readersLock);
    for (ReadableFile* reader : readers) {
        if (reader->m_fd >= 0 && reader->m_stamp.sameFile(stamp)) {
            ::_close(reader->m_fd);
            reader->m_fd = -1;
        }
    }
    ::ReleaseSRWLockExclusive(&readersLock);
}

std::int64_t ReadableFile::readSome(std::uint64_t offset, void* data, std::size_t size) const
{
    ::AcquireSRWLockShared(&readersLock);
    if (m_fd < 0) {
        // Let go of for a replacement that did not come about: the same file again, by its
        // name, or nothing.
        ::ReleaseSRWLockShared(&readersLock);
        ::AcquireSRWLockExclusive(&readersLock);
        int& fd = const_cast<ReadableFile*>(this)->m_fd;
        if (fd < 0) {
            fd = openSharedDescriptor(m_path, false, false);
            const auto now = fd >= 0 ? FileStamp::ofDescriptor(fd) : std::nullopt;
            if (fd >= 0 && (!now || !now->sameFile(m_stamp))) {
                ::_close(fd);
                fd = -1;
            }
        }
        ::ReleaseSRWLockExclusive(&readersLock);
        ::AcquireSRWLockShared(&readersLock);
    }
    auto* out = static_cast<unsigned char*>(data);
    std::size_t done = 0;
    bool failed = m_fd < 0;
    while (!failed && done < size) {
        OVERLAPPED at{};
        const std::uint64_t position = offset + done;
        at.Offset = DWORD(position);
        at.OffsetHigh = DWORD(position >> 32);
        const std::size_t rest = size - done;
        DWORD n = 0;
        if (!::ReadFile(handleOf(m_fd), out + done, rest > (1u << 30) ? (1u << 30) : DWORD(rest),
                        &n, &at)) {
            failed = ::GetLastError() != ERROR_HANDLE_EOF;
            break;
        }
        if (n == 0)
            break;
        done += n;
    }
    ::ReleaseSRWLockShared(&readersLock);
    return failed ? -1 : std::int64_t(done);
}

bool ReadableFile::changedSinceOpened() const
{
    ::AcquireSRWLockShared(&readersLock);
    auto now = m_fd >= 0 ? FileStamp::ofDescriptor(m_fd) : FileStamp::of(m_path);
    ::ReleaseSRWLockShared(&readersLock);
    return !now || !now->sameFile(m_stamp) || now->size != m_stamp.size ||
           now->modifiedNs != m_stamp.modifiedNs;
}

#else

ReadableFile::ReadableFile(const std::filesystem::path& path)
    : m_path(path)
{
    do {
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0)
        throw openFailure(path, errno);
    struct stat st
    {};
    const auto stamp = ::fstat(m_fd, &st) == 0 ? FileStamp::ofDescriptor(m_fd) : std::nullopt;
    if (!stamp) {
        const int error = errno;
        ::close(m_fd);
        throw openFailure(path, error);
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(m_fd);
        throw EngineError(ErrorKind::NotTiff, quoted(path) + " is a folder, not a TIFF file.");
    }
    m_stamp = *stamp;
}

ReadableFile::~ReadableFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::int64_t ReadableFile::readSome(std::uint64_t offset, void* data, std::size_t size) const
{
    auto* out = static_cast<unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(m_fd, out + done, size - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += std::size_t(n);
    }
    return std::int64_t(done);
}

bool ReadableFile::changedSinceOpened() const
{
    struct stat st
    {};
    if (::fstat(m_fd, &st) != 0)
        return true;
    const std::int64_t modified = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return std::uint64_t(st.st_size) != m_stamp.size || modified != m_stamp.modifiedNs;
}

#endif

bool ReadableFile::readAt(std::uint64_t offset, void* data, std::size_t size) const
{
    if (offset > m_stamp.size || size > m_stamp.size - offset)
        return false;
    return readSome(offset, data, size) == std::int64_t(size);
}

} // namespace tessary
