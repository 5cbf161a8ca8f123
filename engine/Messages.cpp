#include "Messages.h"

#include <cerrno>
#include <cstring>

namespace tessary {

std::filesystem::path pathOf(const std::string& utf8)
{
#ifdef _WIN32
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
#else
    return utf8;
#endif
}

std::string quoted(const std::filesystem::path& path)
{
    const std::string name = path.filename().string();
    return name.empty() ? path.string() : name;
}

std::string pageOf(int page, const std::filesystem::path& path)
{
    return "page " + std::to_string(page) + " of " + quoted(path);
}

std::string capitalized(std::string text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = char(text[0] - 'a' + 'A');
    return text;
}

EngineError openFailure(const std::filesystem::path& path, int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return EngineError(ErrorKind::NotFound, quoted(path) + " does not exist.");
    case EACCES:
    case EPERM:
        return EngineError(ErrorKind::ReadOnly,
                           "You have no permission to read " + quoted(path) + ".");
    case EISDIR:
        return EngineError(ErrorKind::NotTiff, quoted(path) + " is a folder, not a TIFF file.");
#ifdef _WIN32
    case EBUSY:
        // Another program opened the file without letting others read it.
        return EngineError(ErrorKind::Busy, quoted(path) +
                                                " is open in another program that keeps it to "
                                                "itself; close it there and try again.");
#endif
    default:
        return EngineError(ErrorKind::Io,
                           quoted(path) + " cannot be opened: " + std::strerror(error) + ".");
    }
}

EngineError writeFailure(const std::filesystem::path& target, int error, bool unchanged)
{
    const std::string name = quoted(target);
    const std::string tail = unchanged ? "; the file is unchanged." : ".";
    switch (error) {
    case ENOSPC:
        return EngineError(ErrorKind::NoSpace,
                           "There is no space left on the disk while writing " + name + tail);
#ifdef EDQUOT
    case EDQUOT:
        return EngineError(ErrorKind::NoSpace,
                           "Your disk quota is used up while writing " + name + tail);
#endif
    case EROFS:
        return EngineError(ErrorKind::ReadOnly, name + " is on a read-only disk" + tail);
    case EACCES:
    case EPERM:
        return EngineError(ErrorKind::ReadOnly, "You have no permission to change " + name + tail);
    case EFBIG:
        return EngineError(ErrorKind::NoSpace,
                           name + " would grow beyond the largest file the disk allows" + tail);
    case ENOENT:
    case ENOTDIR:
        return EngineError(ErrorKind::NotFound,
                           "The folder of " + name + " no longer exists" + tail);
#ifdef _WIN32
    case EBUSY:
        // Another program holds the file open without letting it be changed or replaced.
        return EngineError(ErrorKind::Busy, name +
                                                " is open in another program that does not let "
                                                "it be changed; close it there and try again" +
                                                (unchanged ? "; it was not changed." : "."));
#endif
    default:
        return EngineError(ErrorKind::Io, "The disk reported an error (" +
                                              std::string(std::strerror(error)) +
                                              ") while writing " + name + tail);
    }
}

} // namespace tessary
