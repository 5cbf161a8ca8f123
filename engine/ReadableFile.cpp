#include "ReadableFile.h"

#include "EngineError.h"
#include "Messages.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessary {

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

bool ReadableFile::readAt(std::uint64_t offset, void* data, std::size_t size) const
{
    if (offset > m_stamp.size || size > m_stamp.size - offset)
        return false;
    return readSome(offset, data, size) == std::int64_t(size);
}

} // namespace tessary
