#pragma once

#include <cstdarg>
#include <cstdint>
#include <filesystem>
#include <string>

typedef struct tiff TIFF;

namespace tessary {

class ReadableFile;

namespace tiff {
class Reader;
}

// A libtiff handle on an open file: read through our own calls, never memory-mapped,
// with every libtiff error and warning collected instead of printed, and a cap on any
// single allocation libtiff makes.
class LibtiffHandle
{
public:
    // Throws EngineError (Damaged) when libtiff cannot take the file at all. kept, when
    // given, is a reader of the same file whose kept bytes (its walk of the page chain)
    // libtiff's reads take instead of reading them again; it must outlive the handle.
    explicit LibtiffHandle(const ReadableFile& file, const tiff::Reader* kept = nullptr);
    ~LibtiffHandle();
    LibtiffHandle(const LibtiffHandle&) = delete;
    LibtiffHandle& operator=(const LibtiffHandle&) = delete;

    TIFF* get() const { return m_tiff; }

    // Makes the directory at offset current; false when libtiff cannot read it.
    bool selectDirectory(std::uint64_t offset);

    // The first error libtiff reported since the last clearErrors(), or "".
    const std::string& firstError() const { return m_firstError; }
    void clearErrors() { m_firstError.clear(); }
    // How many errors libtiff has reported on this handle: a call that reports an error may
    // still claim success (a fax strip with a bad code word "decodes" with rows missing).
    std::uint64_t errorCount() const { return m_errorCount; }
    // How many warnings: a codec that finds its data damaged may warn and go on, leaving
    // what it could not decode as the buffer held it (a fax line that ends early).
    std::uint64_t warningCount() const { return m_warningCount; }

    // Where libtiff's reads go: the file and libtiff's position in it.
    struct Io
    {
        const ReadableFile* file;
        const tiff::Reader* kept;
        std::uint64_t position;
    };

private:
    static int onError(TIFF*, void* user, const char* module, const char* format, va_list args);
    static int onWarning(TIFF*, void* user, const char* module, const char* format, va_list args);

    Io m_io;
    TIFF* m_tiff = nullptr;
    std::string m_firstError;
    std::uint64_t m_errorCount = 0;
    std::uint64_t m_warningCount = 0;
    std::uint64_t m_selected = 0;
};

// A new TIFF file that libtiff writes at path (by its wide name on Windows), mode as
// TIFFOpen takes it; nullptr when it cannot be made.
TIFF* createTiff(const std::filesystem::path& path, const char* mode);
// Removes a scratch file by its name. One still open is read on through its descriptor and
// goes with it (on Windows, where every handle shares deletion, when its last one closes).
void removeScratch(const std::filesystem::path& path);

} // namespace tessary
