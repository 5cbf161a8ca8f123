#pragma once

#include "FileStamp.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace tessary {

// A file opened for reading by position, never memory-mapped: another program that
// truncates the file makes reads fail instead of crashing the reader.
class ReadableFile
{
public:
    // Throws EngineError (NotFound, ReadOnly for a file we may not read, Io) naming the file.
    explicit ReadableFile(const std::filesystem::path& path);
    ~ReadableFile();
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    int descriptor() const { return m_fd; }
    // Size and identity when the file was opened.
    std::uint64_t size() const { return m_stamp.size; }
    const FileStamp& stamp() const { return m_stamp; }

    // True when the file itself (not the name: a file renamed over it does not count) has
    // been written or truncated since it was opened.
    bool changedSinceOpened() const;

    // Reads exactly size bytes at offset; false when the file ends early or the read fails.
    bool readAt(std::uint64_t offset, void* data, std::size_t size) const;
    // Reads up to size bytes at offset; returns how many were read (-1 on failure).
    std::int64_t readSome(std::uint64_t offset, void* data, std::size_t size) const;

private:
#ifdef _WIN32
    // Lets go of the file so that it can be replaced (WindowsFileLayer.h).
    friend void closeReadersOf(const FileStamp& stamp);
#endif

    std::filesystem::path m_path;
    int m_fd = -1;
    FileStamp m_stamp;
};

} // namespace tessary
