#pragma once

#include "FileStamp.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace tessary {

class ReadableFile;

// What came of trying to take a file's write lock.
enum class LockState
{
    Held,        // this open file now holds the lock
    Busy,        // another open file (of this process or another) holds it
    Unsupported, // the file system keeps no locks (some network mounts)
};

// A file being written. Every call either does all it was asked or throws
// std::system_error carrying the operating system's error number; a short write is
// retried and, when the disk takes nothing more, reported as ENOSPC.
class WritableFile
{
public:
    virtual ~WritableFile() = default;

    virtual void write(std::uint64_t offset, const void* data, std::size_t size) = 0;
    // Copies size bytes at sourceOffset of source to offset of this file.
    virtual void copyFrom(const ReadableFile& source, std::uint64_t sourceOffset,
                          std::uint64_t size, std::uint64_t offset) = 0;
    virtual void truncate(std::uint64_t size) = 0;
    // Makes everything written so far durable.
    virtual void sync() = 0;
    // Gives the file the permission bits (and, where allowed, the owner) of the file at
    // path, so that a replacement keeps the original's access rights.
    virtual void copyPermissionsFrom(const std::filesystem::path& path) = 0;

    // Tries, without waiting, to take the exclusive advisory write lock that operations
    // changing the file hold (FileLock). It lasts until this object is destroyed or the
    // process ends, whichever comes first; it never stops anyone from reading the file.
    virtual LockState tryLock() = 0;
    // The identity and state of this open file as it is now, whatever its path names.
    virtual FileStamp stamp() const = 0;
};

// The file-system calls with which the engine changes files. Tests replace it to make any
// one write, copy, sync, truncate or rename fail, or to end the process at that moment.
class FileLayer
{
public:
    virtual ~FileLayer() = default;

    // Creates a new, empty temporary file beside target (same folder, hidden name that
    // names this process) and returns it; its path is stored in tempPath.
    virtual std::unique_ptr<WritableFile> createTemporary(const std::filesystem::path& target,
                                                          std::filesystem::path& tempPath) = 0;
    // Opens an existing file for changing it in place.
    virtual std::unique_ptr<WritableFile> openForUpdate(const std::filesystem::path& path) = 0;
    // Opens an existing file only to hold its write lock (WritableFile::tryLock); nothing
    // is written through it.
    virtual std::unique_ptr<WritableFile> openForLock(const std::filesystem::path& path) = 0;
    // Replaces to by from in one step.
    virtual void rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // Gives the file at existing the second name name (a hard link): fails with EEXIST when
    // name exists, EXDEV when it lies on another disk, EPERM where the disk has no links.
    virtual void link(const std::filesystem::path& existing, const std::filesystem::path& name) = 0;
    // Makes the folder's entries (a rename into it) durable.
    virtual void syncFolder(const std::filesystem::path& folder) = 0;
    // Removes a file, ignoring every failure: used to clean up after a failure.
    virtual void remove(const std::filesystem::path& path) noexcept = 0;

    // The layer that calls the operating system.
    static FileLayer& system();
};

} // namespace tessary
