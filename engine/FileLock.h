#pragma once

#include "FileLayer.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tessary {

// How an operation waits while another writer (another program, another window, another
// thread) is changing a file the operation must change.
struct LockWait
{
    // Told the file again and again while the operation waits for it, and an empty path
    // once the wait is over. Returning false gives up: the operation throws
    // ErrorKind::Cancelled and changes nothing.
    std::function<bool(const std::filesystem::path& file)> waiting;
    // The longest wait, after which the operation throws ErrorKind::Busy naming the file and
    // changes nothing; zero does not wait at all, none waits as long as it takes.
    std::optional<std::chrono::milliseconds> limit;
};

// The exclusive write lock on one file that every operation changing the file holds, from
// before it reads the file's structure until its change is durable, so that two writers
// never work from the same old state and one of them silently undo the other's change.
// It is the operating system's advisory lock on an open file (WritableFile::tryLock):
// readers take none and are never held up, and the system drops it when its holder ends,
// however it ends.
//
// A rewrite renames a new file over the old one; the new file is locked before the rename
// (lockReplacement, replacedBy), so that the path never names an unlocked file while the
// writer works, and a writer that waited on the old file opens and locks the new one.
class FileLock
{
public:
    // Takes the lock of the file at path, waiting as wait says while another writer holds
    // it, and returns it once the path still names the file locked. Returns null when no
    // lock can be held: a file that cannot be opened for writing (missing, read-only, a
    // folder), which the operation's own checks then refuse, or a file system that keeps
    // no locks (some network mounts), where the operation goes on without one, guarded only
    // by its checks that the file did not change while it ran. Throws EngineError: Busy
    // (the wait's limit passed), Cancelled (the waiting callback gave up).
    static std::unique_ptr<FileLock> take(FileLayer& files, const std::filesystem::path& path,
                                          const LockWait& wait);

    const std::filesystem::path& path() const { return m_path; }
    // True when stamp is of the locked file.
    bool covers(const FileStamp& stamp) const { return stamp.sameFile(m_identity); }

    // Locks replacement, a new file about to be renamed over the locked one.
    void lockReplacement(WritableFile& replacement) { replacement.tryLock(); }
    // After that rename: the lock is replacement's from now on; the old file's is released.
    void replacedBy(std::unique_ptr<WritableFile> replacement);

private:
    FileLock(std::filesystem::path path, std::unique_ptr<WritableFile> file);

    std::filesystem::path m_path;
    std::unique_ptr<WritableFile> m_file;
    FileStamp m_identity;
};

// The locks of one operation, or those a caller keeps across several operations on the
// same files so that no other writer comes between them: a Move (pages added to the
// destination, then deleted from the source) or a reorder (a page inserted, then its old
// copy deleted). Not for use by two threads at once.
class FileLocks
{
public:
    // files are locked, with the first operation's own file, when an operation is given
    // this set (OperationOptions::held): nothing is held before.
    explicit FileLocks(std::vector<std::filesystem::path> files = {});
    FileLocks(const FileLocks&) = delete;
    FileLocks& operator=(const FileLocks&) = delete;

    // Locks the file at path and the files named at construction that are not held yet,
    // all in the order of their full paths whatever part they play, so that two callers
    // wanting the same two files (two Moves in opposite directions) can never each hold one
    // and wait for the other. Returns the lock of path's file, or null when it cannot be
    // held (see FileLock::take, which also says what it throws).
    FileLock* lock(FileLayer& files, const std::filesystem::path& path, const LockWait& wait);
    // Releases every lock.
    void release() { m_held.clear(); }

private:
    FileLock* find(const std::filesystem::path& path) const;

    std::vector<std::filesystem::path> m_wanted;
    std::vector<std::unique_ptr<FileLock>> m_held;
};

} // namespace tessary
