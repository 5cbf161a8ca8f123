#pragma once

#include "FileLayer.h"

#include <string>

namespace tessary {

// The file layer on Windows calls. Every file is opened with all kinds of sharing (read,
// write, delete), so that this program's readers and writers never keep each other out;
// writes go to an offset (WriteFile with an OVERLAPPED position), syncs are FlushFileBuffers,
// a second name is CreateHardLinkW.
//
// A replacement is renamed over its target in one step: with POSIX semantics where the
// system has them (Windows 10 and later on NTFS), which replace a file that is still open,
// and otherwise with MoveFileExW, MOVEFILE_REPLACE_EXISTING and MOVEFILE_WRITE_THROUGH,
// which cannot replace a file anyone holds open: this process's own readers of the target
// let go of it first (they open it again when read again), and a file another program
// keeps open is reported as EBUSY, unchanged.
//
// For that reason the write lock is not held on the file itself: it is LockFileEx on a lock
// file named by the file's identity (its volume and file index) in the user's
// %LOCALAPPDATA%\Tessary\locks, made when first locked and gone with its last holder. Like
// the lock of an open file on Linux it follows the file, not its name, keeps out every
// other holder in this process and others, and goes when its holder ends, however it ends;
// it keeps out the programs of this user on this machine.
class WindowsFileLayer : public FileLayer
{
public:
    std::unique_ptr<WritableFile> createTemporary(const std::filesystem::path& target,
                                                  std::filesystem::path& tempPath) override;
    std::unique_ptr<WritableFile> openForUpdate(const std::filesystem::path& path) override;
    std::unique_ptr<WritableFile> openForLock(const std::filesystem::path& path) override;
    void rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void link(const std::filesystem::path& existing, const std::filesystem::path& name) override;
    void syncFolder(const std::filesystem::path& folder) override;
    void remove(const std::filesystem::path& path) noexcept override;
};

// Opens the file at path as the engine opens every file (all sharing allowed) and returns a
// C runtime descriptor of it; -1 with errno set (as errnoOf says) when it cannot.
int openSharedDescriptor(const std::filesystem::path& path, bool write, bool create);

// Lets this process's readers (ReadableFile) of the file with stamp's identity close it,
// so that it can be replaced; each opens it again by its name when it next reads, as long as
// the name still leads to the same file.
void closeReadersOf(const FileStamp& stamp);

// The errno value that stands for a Windows error code.
int errnoOf(unsigned long windowsError);

} // namespace tessary
