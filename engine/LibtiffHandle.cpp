#include "LibtiffHandle.h"

#include "EngineError.h"
#include "Limits.h"
#include "Messages.h"
#include "ReadableFile.h"
#include "TiffStructure.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <tiffio.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tessary {

namespace {

tmsize_t readProc(thandle_t handle, void* data, tmsize_t size)
{
    auto* io = static_cast<LibtiffHandle::Io*>(handle);
    if (size <= 0)
        return 0;
    // Directories, read again page after page as libtiff finds its way, are mostly kept.
    if (io->kept) {
        if (const std::uint8_t* p = io->kept->kept(io->position, std::uint64_t(size))) {
            std::memcpy(data, p, std::size_t(size));
            io->position += std::uint64_t(size);
            return size;
        }
    }
    const std::int64_t n = io->file->readSome(io->position, data, std::size_t(size));
    if (n < 0)
        return -1;
    io->position += std::uint64_t(n);
    return tmsize_t(n);
}

tmsize_t writeProc(thandle_t, void*, tmsize_t)
{
    return -1;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    auto* io = static_cast<LibtiffHandle::Io*>(handle);
    switch (whence) {
    case SEEK_SET:
        io->position = offset;
        break;
    case SEEK_CUR:
        io->position += offset;
        break;
    case SEEK_END:
        io->position = io->file->size() + offset;
        break;
    default:
        return toff_t(-1);
    }
    return io->position;
}

int closeProc(thandle_t)
{
    return 0;
}

toff_t sizeProc(thandle_t handle)
{
    auto* io = static_cast<LibtiffHandle::Io*>(handle);
    return io->file->size();
}

int mapProc(thandle_t, void**, toff_t*)
{
    return 0;
}

void unmapProc(thandle_t, void*, toff_t) {}

// libtiff also reports through process-wide handlers where it has no handle; they must
// never print.
void silenceGlobalHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

} // namespace

int LibtiffHandle::onError(TIFF*, void* user, const char*, const char* format, va_list args)
{
    auto* self = static_cast<LibtiffHandle*>(user);
    if (self)
        ++self->m_errorCount;
    if (self && self->m_firstError.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        self->m_firstError = text;
    }
    return 1;
}

int LibtiffHandle::onWarning(TIFF*, void* user, const char*, const char*, va_list)
{
    if (auto* self = static_cast<LibtiffHandle*>(user))
        ++self->m_warningCount;
    return 1;
}

LibtiffHandle::LibtiffHandle(const ReadableFile& file, const tiff::Reader* kept)
{
    silenceGlobalHandlers();
    m_io.file = &file;
    m_io.kept = kept;
    m_io.position = 0;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(maxAllocationBytes));
    TIFFOpenOptionsSetErrorHandlerExtR(options, &LibtiffHandle::onError, this);
    TIFFOpenOptionsSetWarningHandlerExtR(options, &LibtiffHandle::onWarning, this);
    // "h": read the header only; pages are selected by their directory offsets.
    // "m": never map the file into memory.
    m_tiff = TIFFClientOpenExt(file.path().string().c_str(), "rmh",
                               reinterpret_cast<thandle_t>(&m_io), readProc, writeProc, seekProc,
                               closeProc, sizeProc, mapProc, unmapProc, options);
    TIFFOpenOptionsFree(options);
    if (!m_tiff)
        throw EngineError(ErrorKind::NotTiff,
                          quoted(file.path()) + " is not a TIFF file" +
                              (m_firstError.empty() ? "" : " (" + m_firstError + ")") + ".");
}

LibtiffHandle::~LibtiffHandle()
{
    if (m_tiff)
        TIFFClose(m_tiff);
}

bool LibtiffHandle::selectDirectory(std::uint64_t offset)
{
    if (m_selected == offset && offset != 0)
        return true;
    m_selected = 0;
    if (!TIFFSetSubDirectory(m_tiff, offset))
        return false;
    m_selected = offset;
    return true;
}

TIFF* createTiff(const std::filesystem::path& path, const char* mode)
{
#ifdef _WIN32
    return TIFFOpenW(path.c_str(), mode);
#else
    return TIFFOpen(path.c_str(), mode);
#endif
}

void removeScratch(const std::filesystem::path& path)
{
#ifdef _WIN32
    ::_wunlink(path.c_str());
#else
    ::unlink(path.c_str());
#endif
}

} // namespace tessary
