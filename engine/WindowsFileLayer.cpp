#include "WindowsFileLayer.h"

#include "PosixFileLayer.h"
#include "ReadableFile.h"

#include <aclapi.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <io.h>
#include <system_error>
#include <thread>
#include <vector>
#include <windows.h>

namespace tessary {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(DWORD error, const char* what)
{
    throw std::system_error(errnoOf(error), std::generic_category(), what);
}

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The folder of the lock files, made when missing: %LOCALAPPDATA%\Tessary\locks, or the
// temporary folder's Tessary-locks.
fs::path lockFolder()
{
    std::error_code ec;
    const wchar_t* local = ::_wgetenv(L"LOCALAPPDATA");
    fs::path folder = local && *local ? fs::path(local) / L"Tessary" / L"locks"
                                      : fs::temp_directory_path(ec) / L"Tessary-locks";
    fs::create_directories(folder, ec);
    return folder;
}

// Takes the write lock of the file with stamp's identity: returns the lock file's handle,
// which holds it until it is closed, or INVALID_HANDLE_VALUE with the state in state.
HANDLE lockIdentity(const FileStamp& stamp, LockState& state)
{
    static const fs::path folder = lockFolder();
    wchar_t name[64];
    std::swprintf(name, 64, L"%08llx-%016llx.lock", static_cast<unsigned long long>(stamp.volume),
                  static_cast<unsigned long long>(stamp.inode));
    const fs::path path = folder / name;
    // The lock file goes with its last holder; while it goes, it cannot be opened, and its
    // file counts as busy.
    const HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, shareAll, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        const bool going = (error == ERROR_ACCESS_DENIED || error == ERROR_DELETE_PENDING) &&
                           ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
        state = going ? LockState::Busy : LockState::Unsupported;
        return INVALID_HANDLE_VALUE;
    }
    OVERLAPPED at{};
    if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        state = LockState::Held;
        return file;
    }
    const DWORD error = ::GetLastError();
    ::CloseHandle(file);
    state = error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? LockState::Busy
                                                                       : LockState::Unsupported;
    return INVALID_HANDLE_VALUE;
}

// The lock a file of this layer holds, released with it.
class HeldLock
{
public:
    HeldLock() = default;
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;
    ~HeldLock()
    {
        if (m_file != INVALID_HANDLE_VALUE)
            ::CloseHandle(m_file);
    }

    LockState take(const FileStamp& stamp)
    {
        if (m_file != INVALID_HANDLE_VALUE)
            return LockState::Held;
        LockState state = LockState::Unsupported;
        m_file = lockIdentity(stamp, state);
        return state;
    }

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
};

// The access rights of a Windows file are its discretionary access list: the one of the file
// at from is given to the file at to, protected from the folder's inheritance where it was.
void copyAccessList(const fs::path& from, const fs::path& to)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL access = nullptr;
    if (::GetNamedSecurityInfoW(from.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, &access, nullptr, &descriptor) != ERROR_SUCCESS)
        return;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION |
        ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                       : UNPROTECTED_DACL_SECURITY_INFORMATION);
    const DWORD result = ::SetNamedSecurityInfoW(const_cast<wchar_t*>(to.c_str()), SE_FILE_OBJECT,
                                                 what, nullptr, nullptr, access, nullptr);
    ::LocalFree(descriptor);
    if (result != ERROR_SUCCESS)
        fail(result, "chmod");
}

class WindowsWritableFile : public WritableFile
{
public:
    WindowsWritableFile(int fd, fs::path path)
        : m_fd(fd)
        , m_path(std::move(path))
    {}
    ~WindowsWritableFile() override
    {
        if (m_fd >= 0)
            ::_close(m_fd);
    }

    void write(std::uint64_t offset, const void* data, std::size_t size) override
    {
        const auto* in = static_cast<const unsigned char*>(data);
        while (size > 0) {
            OVERLAPPED at{};
            at.Offset = DWORD(offset);
            at.OffsetHigh = DWORD(offset >> 32);
            const DWORD chunk = size > (1u << 30) ? (1u << 30) : DWORD(size);
            DWORD n = 0;
            if (!::WriteFile(handleOf(m_fd), in, chunk, &n, &at))
                fail(::GetLastError(), "write");
            if (n == 0)
                fail(ERROR_DISK_FULL, "write");
            in += n;
            offset += n;
            size -= n;
        }
    }

    void copyFrom(const ReadableFile& source, std::uint64_t sourceOffset, std::uint64_t size,
                  std::uint64_t offset) override
    {
        std::vector<unsigned char> buffer(std::size_t(size < (1u << 20) ? size : (1u << 20)));
        while (size > 0) {
            const std::size_t chunk = size < buffer.size() ? std::size_t(size) : buffer.size();
            if (!source.readAt(sourceOffset, buffer.data(), chunk))
                throw std::system_error(EIO, std::generic_category(), "read");
            write(offset, buffer.data(), chunk);
            sourceOffset += chunk;
            offset += chunk;
            size -= chunk;
        }
    }

    void truncate(std::uint64_t size) override
    {
        FILE_END_OF_FILE_INFO end{};
        end.EndOfFile.QuadPart = LONGLONG(size);
        if (!::SetFileInformationByHandle(handleOf(m_fd), FileEndOfFileInfo, &end, sizeof end))
            fail(::GetLastError(), "truncate");
    }

    void sync() override
    {
        if (!::FlushFileBuffers(handleOf(m_fd)))
            fail(::GetLastError(), "sync");
    }

    void copyPermissionsFrom(const fs::path& path) override { copyAccessList(path, m_path); }

    // A new file that takes the lock is a replacement about to be renamed over the locked
    // file (FileLock::lockReplacement): it is written no more, and its handle is let go of,
    // so that the lock it holds from then on does not keep it from being replaced in turn.
    LockState tryLock() override
    {
        const LockState state = m_lock.take(stamp());
        if (state == LockState::Held && m_fd >= 0) {
            m_locked = stamp();
            ::_close(m_fd);
            m_fd = -1;
        }
        return state;
    }
    FileStamp stamp() const override
    {
        return m_fd >= 0 ? FileStamp::ofDescriptor(m_fd).value_or(FileStamp()) : m_locked;
    }

private:
    int m_fd;
    fs::path m_path;
    HeldLock m_lock;
    FileStamp m_locked; // the file as it was when its handle was let go of
};

// A file opened only to hold its write lock: no handle of the file itself stays open, so
// that it can still be replaced while its lock is held.
class LockOnlyFile : public WritableFile
{
public:
    LockOnlyFile(fs::path path, const FileStamp& stamp)
        : m_path(std::move(path))
        , m_stamp(stamp)
    {}

    void write(std::uint64_t, const void*, std::size_t) override { notForWriting(); }
    void copyFrom(const ReadableFile&, std::uint64_t, std::uint64_t, std::uint64_t) override
    {
        notForWriting();
    }
    void truncate(std::uint64_t) override { notForWriting(); }
    void sync() override { notForWriting(); }
    void copyPermissionsFrom(const fs::path& path) override { copyAccessList(path, m_path); }
    LockState tryLock() override { return m_lock.take(m_stamp); }
    // The file as it was when opened: what counts of it is which file it is.
    FileStamp stamp() const override { return m_stamp; }

private:
    [[noreturn]] static void notForWriting()
    {
        throw std::system_error(EBADF, std::generic_category(), "write");
    }

    fs::path m_path;
    FileStamp m_stamp;
    HeldLock m_lock;
};

// The name the file system itself uses for path (\??\C:\folder\name), as a rename by handle
// wants it.
std::wstring systemName(const fs::path& path)
{
    std::error_code ec;
    std::wstring full = fs::absolute(path, ec).wstring();
    if (ec)
        full = path.wstring();
    if (full.rfind(L"\\\\?\\", 0) == 0)
        return L"\\??\\" + full.substr(4);
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\??\\UNC\\" + full.substr(2);
    return L"\\??\\" + full;
}

// Renames from over to with POSIX semantics: the file at to is replaced even while it is
// open, as a rename replaces a file on Linux. False where the system or the disk has no
// such rename (before Windows 10, FAT disks, network shares, Wine).
bool renameReplacingOpenFile(const fs::path& from, const fs::path& to)
{
    constexpr auto renameInfoEx = FILE_INFO_BY_HANDLE_CLASS(22); // FileRenameInfoEx
    constexpr DWORD replaceIfExists = 0x1;
    constexpr DWORD posixSemantics = 0x2;
    // A system that does not know the call says so once for all.
    static std::atomic<bool> unknown{false};
    if (unknown)
        return false;
    const HANDLE file = ::CreateFileW(from.c_str(), DELETE | SYNCHRONIZE, shareAll, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const std::wstring name = systemName(to);
    // FILE_RENAME_INFO with its flags in place of ReplaceIfExists.
    struct Header
    {
        DWORD flags;
        HANDLE root;
        DWORD length;
    };
    std::vector<unsigned char> info(offsetof(FILE_RENAME_INFO, FileName) +
                                    (name.size() + 1) * sizeof(wchar_t));
    const Header header{replaceIfExists | posixSemantics, nullptr,
                        DWORD(name.size() * sizeof(wchar_t))};
    std::memcpy(info.data(), &header, sizeof header);
    std::memcpy(info.data() + offsetof(FILE_RENAME_INFO, FileName), name.c_str(),
                (name.size() + 1) * sizeof(wchar_t));
    const bool renamed =
        ::SetFileInformationByHandle(file, renameInfoEx, info.data(), DWORD(info.size()));
    if (!renamed && ::GetLastError() == ERROR_INVALID_PARAMETER)
        unknown = true;
    ::CloseHandle(file);
    return renamed;
}

} // namespace

int errnoOf(unsigned long windowsError)
{
    switch (windowsError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_INVALID_ACCESS:
    case ERROR_PRIVILEGE_NOT_HELD:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
    case ERROR_DELETE_PENDING:
        return EBUSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_FILE_TOO_LARGE:
        return EFBIG;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
        return EOPNOTSUPP;
    case ERROR_TOO_MANY_LINKS:
        return EMLINK;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

int openSharedDescriptor(const fs::path& path, bool write, bool create)
{
    const HANDLE handle =
        ::CreateFileW(path.c_str(), GENERIC_READ | (write ? GENERIC_WRITE : 0), shareAll, nullptr,
                      create ? CREATE_NEW : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        // A folder cannot be opened as a file at all.
        errno = error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
                        (attributes & FILE_ATTRIBUTE_DIRECTORY)
                    ? EISDIR
                    : errnoOf(error);
        return -1;
    }
    const int fd =
        ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY | (write ? 0 : _O_RDONLY));
    if (fd < 0) {
        ::CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

std::unique_ptr<WritableFile> WindowsFileLayer::createTemporary(const fs::path& target,
                                                                fs::path& tempPath)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = scratchPathBeside(target);
        const int fd = openSharedDescriptor(tempPath, true, true);
        if (fd >= 0)
            return std::make_unique<WindowsWritableFile>(fd, tempPath);
        if (errno != EEXIST) {
            const int error = errno;
            tempPath.clear();
            throw std::system_error(error, std::generic_category(), "create");
        }
    }
    tempPath.clear();
    throw std::system_error(EEXIST, std::generic_category(), "create");
}

std::unique_ptr<WritableFile> WindowsFileLayer::openForUpdate(const fs::path& path)
{
    const int fd = openSharedDescriptor(path, true, false);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "open");
    return std::make_unique<WindowsWritableFile>(fd, path);
}

std::unique_ptr<WritableFile> WindowsFileLayer::openForLock(const fs::path& path)
{
    // Opened for writing, as a lock is only for a file that may be written, and closed again
    // once it is known which file it is.
    const int fd = openSharedDescriptor(path, true, false);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), "open");
    const auto stamp = FileStamp::ofDescriptor(fd);
    ::_close(fd);
    if (!stamp)
        throw std::system_error(EIO, std::generic_category(), "open");
    return std::make_unique<LockOnlyFile>(path, *stamp);
}

void WindowsFileLayer::rename(const fs::path& from, const fs::path& to)
{
    if (renameReplacingOpenFile(from, to))
        return;
    // One rename in the file system, the replaced file gone with it, and on the disk when the
    // call returns. Not ReplaceFileW: that runs several steps (it merges the old file's
    // attributes and streams into the new one, and may leave the old file under another
    // name when it fails half-way), and what it leaves at the name keeps the old file's
    // identity, while the file locked and checked before the rename is the new one.
    //
    // A file that is open cannot be replaced this way: this process's own readers let go of
    // it, and a moment's opening by another program (another writer looking at the file
    // while it waits, a virus scanner) is waited out for a little while.
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 40; ++attempt) {
        if (::MoveFileExW(from.c_str(), to.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return;
        error = ::GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)
            break;
        if (attempt == 0) {
            if (const auto replaced = FileStamp::of(to))
                closeReadersOf(*replaced);
            continue;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(attempt < 10 ? 5 : 50));
    }
    // A file held open by another program cannot be replaced; Windows says "access denied",
    // which would read as a matter of permissions. A file that may be deleted (opened for
    // it) is one that is in use.
    if (error == ERROR_ACCESS_DENIED) {
        const HANDLE probe = ::CreateFileW(to.c_str(), DELETE, shareAll, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (probe != INVALID_HANDLE_VALUE) {
            ::CloseHandle(probe);
            error = ERROR_SHARING_VIOLATION;
        } else if (::GetLastError() == ERROR_SHARING_VIOLATION) {
            error = ERROR_SHARING_VIOLATION;
        }
    }
    fail(error, "rename");
}

void WindowsFileLayer::link(const fs::path& existing, const fs::path& name)
{
    if (!::CreateHardLinkW(name.c_str(), existing.c_str(), nullptr)) {
        const DWORD error = ::GetLastError();
        // A disk without links (FAT) says the call is no function of it.
        if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED)
            throw std::system_error(EPERM, std::generic_category(), "link");
        fail(error, "link");
    }
}

void WindowsFileLayer::syncFolder(const fs::path& folder)
{
    // A folder's entries are flushed through a handle of the folder itself; where it cannot
    // be opened or flushed, the rename is as durable as the disk's journal and
    // MOVEFILE_WRITE_THROUGH made it.
    const HANDLE handle =
        ::CreateFileW(folder.empty() ? L"." : folder.c_str(), GENERIC_READ | GENERIC_WRITE,
                      shareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    const bool synced = ::FlushFileBuffers(handle);
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    if (!synced && error != ERROR_INVALID_FUNCTION && error != ERROR_NOT_SUPPORTED &&
        error != ERROR_ACCESS_DENIED && error != ERROR_INVALID_HANDLE)
        fail(error, "sync folder");
}

void WindowsFileLayer::remove(const fs::path& path) noexcept
{
    ::DeleteFileW(path.c_str());
}

bool processIsGone(long processId)
{
    const HANDLE process =
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(processId));
    if (!process)
        return ::GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool ended = ::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    ::CloseHandle(process);
    return ended;
}

FileLayer& FileLayer::system()
{
    static WindowsFileLayer layer;
    return layer;
}

} // namespace tessary
