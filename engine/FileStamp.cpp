#include "FileStamp.h"

#include <array>
#include <mutex>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <linux/types.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace tessary {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32

constexpr std::int64_t ticksToNs = 100;

std::optional<FileStamp> stampOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    if (handle == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(handle, &info) ||
        !::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return std::nullopt;
    FileStamp stamp;
    stamp.volume = info.dwVolumeSerialNumber;
    stamp.inode = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp.size = (std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp.modifiedNs = std::int64_t(basic.LastWriteTime.QuadPart) * ticksToNs;
    stamp.changedNs = std::int64_t(basic.ChangeTime.QuadPart) * ticksToNs;
    return stamp;
}

#else

// The kernel's name of a file system, where the headers in use do not have it yet.
struct FileSystemUuid
{
    __u8 length;
    __u8 bytes[16];
};
constexpr unsigned long getFileSystemUuid = _IOR(0x15, 0, FileSystemUuid);
constexpr unsigned uniqueMountId = 0x4000U;

// Volume numbers from a UUID, from the file system's own id, and from the device number
// are kept apart by their top bits.
constexpr std::uint64_t fromUuid = std::uint64_t(1) << 63;
constexpr std::uint64_t fromFileSystemId = std::uint64_t(1) << 62;
constexpr std::uint64_t lowBits = fromFileSystemId - 1;

std::uint64_t folded(const __u8* bytes, std::size_t size)
{
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 0x100000001b3u;
    return hash;
}

// How the file system holding an open file (or the file at path) names itself. Only a file
// or folder (mayOpen) is opened to ask.
std::uint64_t nameOfVolume(int fd, const char* path, bool mayOpen, std::uint64_t device)
{
    const int own =
        fd >= 0 || !mayOpen ? -1 : ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    const int at = fd >= 0 ? fd : own;
    std::uint64_t volume = 0;
    FileSystemUuid uuid{};
    if (at >= 0 && ::ioctl(at, getFileSystemUuid, &uuid) == 0 && uuid.length > 0 &&
        uuid.length <= sizeof uuid.bytes) {
        // A file system may answer with a UUID of zeros: it has no name of its own.
        for (std::size_t i = 0; i < uuid.length && volume == 0; ++i) {
            if (uuid.bytes[i] != 0)
                volume = fromUuid | folded(uuid.bytes, uuid.length);
        }
    }
    struct statfs disk
    {};
    if (volume == 0 && (at >= 0 ? ::fstatfs(at, &disk) : ::statfs(path, &disk)) == 0) {
        std::uint64_t id = 0;
        static_assert(sizeof disk.f_fsid == 8);
        __builtin_memcpy(&id, &disk.f_fsid, sizeof id);
        if (id != 0)
            volume = fromFileSystemId | (id & lowBits);
    }
    if (own >= 0)
        ::close(own);
    return volume != 0 ? volume : device & lowBits;
}

// What each mounted file system is named, by device and mount: a new mount (the same disk
// plugged in again, another disk given the same device number) is looked at afresh.
struct KnownVolume
{
    std::uint64_t device;
    std::uint64_t mount;
    std::uint64_t volume;
};
std::mutex knownVolumesMutex;
std::vector<KnownVolume> knownVolumes;

std::uint64_t volumeOf(int fd, const char* path, const struct statx& st)
{
    const std::uint64_t device = makedev(st.stx_dev_major, st.stx_dev_minor);
    const std::uint64_t mount = (st.stx_mask & (STATX_MNT_ID | uniqueMountId)) ? st.stx_mnt_id : 0;
    {
        const std::lock_guard<std::mutex> guard(knownVolumesMutex);
        for (const KnownVolume& known : knownVolumes) {
            if (known.device == device && known.mount == mount)
                return known.volume;
        }
    }
    const std::uint64_t volume =
        nameOfVolume(fd, path, S_ISREG(st.stx_mode) || S_ISDIR(st.stx_mode), device);
    const std::lock_guard<std::mutex> guard(knownVolumesMutex);
    knownVolumes.push_back({device, mount, volume});
    return volume;
}

std::optional<FileStamp> stampOf(int fd, const char* path)
{
    struct statx st
    {};
    const unsigned wanted = STATX_BASIC_STATS | STATX_MNT_ID | uniqueMountId;
    const int result = fd >= 0 ? ::statx(fd, "", AT_EMPTY_PATH, wanted, &st)
                               : ::statx(AT_FDCWD, path, 0, wanted, &st);
    if (result != 0)
        return std::nullopt;
    FileStamp stamp;
    stamp.volume = volumeOf(fd, path, st);
    stamp.inode = st.stx_ino;
    stamp.size = st.stx_size;
    stamp.modifiedNs = std::int64_t(st.stx_mtime.tv_sec) * 1000000000 + st.stx_mtime.tv_nsec;
    stamp.changedNs = std::int64_t(st.stx_ctime.tv_sec) * 1000000000 + st.stx_ctime.tv_nsec;
    return stamp;
}

std::uint64_t mountOf(const fs::path& path)
{
    struct statx st
    {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_MNT_ID | uniqueMountId, &st) != 0)
        return 0;
    return (st.stx_mask & (STATX_MNT_ID | uniqueMountId))
               ? st.stx_mnt_id
               : (std::uint64_t(1) << 63) | makedev(st.stx_dev_major, st.stx_dev_minor);
}

#endif

} // namespace

std::optional<FileStamp> FileStamp::of(const fs::path& path)
{
#ifdef _WIN32
    const HANDLE handle = ::CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const auto stamp = stampOf(handle);
    if (handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle);
    return stamp;
#else
    return stampOf(-1, path.c_str());
#endif
}

std::optional<FileStamp> FileStamp::ofDescriptor(int fd)
{
#ifdef _WIN32
    return stampOf(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)));
#else
    return stampOf(fd, "");
#endif
}

bool isSameFile(const fs::path& a, const fs::path& b)
{
    const auto sa = FileStamp::of(a);
    const auto sb = FileStamp::of(b);
    return sa && sb && sa->sameFile(*sb);
}

fs::path realPath(const fs::path& path)
{
    std::error_code ec;
    fs::path real = fs::canonical(path, ec);
    if (!ec)
        return real;
    real = fs::absolute(path, ec);
    if (ec)
        return path;
    // A link that points at nothing yet: where it points, through every link on the way.
    for (int hop = 0; hop < 40 && fs::is_symlink(fs::symlink_status(real, ec)); ++hop) {
        const fs::path target = fs::read_symlink(real, ec);
        if (ec)
            break;
        real = target.is_absolute() ? target : real.parent_path() / target;
    }
    const fs::path folder = fs::weakly_canonical(real.parent_path(), ec);
    return ec ? real.lexically_normal() : folder / real.filename();
}

bool isReadOnly(const fs::path& path)
{
#ifdef _WIN32
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ||
           ((attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY));
#else
    struct stat st
    {};
    return ::access(path.c_str(), W_OK) != 0 ||
           (::stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0);
#endif
}

fs::path fileSystemTop(const fs::path& folder)
{
    std::error_code ec;
    fs::path top = fs::canonical(folder, ec);
    if (ec)
        return {};
#ifdef _WIN32
    return top.root_path();
#else
    const std::uint64_t mount = mountOf(top);
    if (mount == 0)
        return {};
    while (top.has_relative_path() && mountOf(top.parent_path()) == mount)
        top = top.parent_path();
    return top;
#endif
}

} // namespace tessary
