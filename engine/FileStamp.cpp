#include "FileStamp.h"

#include <sys/stat.h>

namespace tessary {

namespace {

FileStamp stampOf(const struct stat& st)
{
    FileStamp stamp;
    stamp.device = std::uint64_t(st.st_dev);
    stamp.inode = std::uint64_t(st.st_ino);
    stamp.size = std::uint64_t(st.st_size);
    stamp.modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}

} // namespace

std::optional<FileStamp> FileStamp::of(const std::filesystem::path& path)
{
    struct stat st
    {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return stampOf(st);
}

std::optional<FileStamp> FileStamp::ofDescriptor(int fd)
{
    struct stat st
    {};
    if (::fstat(fd, &st) != 0)
        return std::nullopt;
    return stampOf(st);
}

bool isSameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    const auto sa = FileStamp::of(a);
    const auto sb = FileStamp::of(b);
    return sa && sb && sa->sameFile(*sb);
}

std::filesystem::path realPath(const std::filesystem::path& path)
{
    std::error_code ec;
    std::filesystem::path real = std::filesystem::canonical(path, ec);
    if (ec)
        real = std::filesystem::absolute(path, ec);
    return ec ? path : real;
}

} // namespace tessary
