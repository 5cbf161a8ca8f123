#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace tessary {

// Identity and version of a file on disk: which file it is (device and inode) and
// what it held when it was looked at (size and modification time). Two stamps of the
// same path differ when another program replaced, truncated or rewrote the file.
struct FileStamp
{
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;

    bool sameFile(const FileStamp& other) const
    {
        return device == other.device && inode == other.inode;
    }
    bool operator==(const FileStamp&) const = default;

    // The stamp of the file at path, following links; nothing when it cannot be read.
    static std::optional<FileStamp> of(const std::filesystem::path& path);
    // The stamp of an open file; nothing when it cannot be read.
    static std::optional<FileStamp> ofDescriptor(int fd);
};

// True when the two paths name the same file on disk (through links, relative paths,
// or another letter case on a disk that ignores case); false when either is missing.
bool isSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The full path of the file at path with every link followed: where a change must go, so
// that a link keeps pointing at the file. path itself when it cannot be resolved.
std::filesystem::path realPath(const std::filesystem::path& path);

} // namespace tessary
