#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace tessary {

// Identity and version of a file on disk: which file it is (its file system and inode) and
// what it held when it was looked at (size, modification time and change time). Two stamps
// of the same path differ when another program replaced, truncated, rewrote, linked or
// renamed the file, changed its permissions, or wrote it and set its modification time
// back: the change time follows every change of the file and no program can set it.
//
// The file system is named as it names itself (its UUID where it has one), not by the
// device number the system gave it this time, so that a disk mounted again (a USB stick
// plugged into another port) still holds the same files; the inode numbers of such a disk
// stay the same too. On a file system without a name of its own the device number stands in.
struct FileStamp
{
    std::uint64_t volume = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;

    bool sameFile(const FileStamp& other) const
    {
        return volume == other.volume && inode == other.inode;
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
// that a link keeps pointing at the file. A link that points at nothing yet (a dangling
// link) leads to the path it names, where a new file is then made, as a copy through the
// link would make it. path itself when it cannot be resolved.
std::filesystem::path realPath(const std::filesystem::path& path);

// True when the file or folder at path may not be written by this user, or carries no
// write permission for anyone (which the superuser would otherwise write regardless).
bool isReadOnly(const std::filesystem::path& path);

// The top folder of the mounted file system that holds folder (the folder itself at a
// mount point); empty when it cannot be told.
std::filesystem::path fileSystemTop(const std::filesystem::path& folder);

} // namespace tessary
