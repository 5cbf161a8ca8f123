#include "UndoRecord.h"

#include "EngineError.h"
#include "Messages.h"
#include "ReadableFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <system_error>
#include <unistd.h>

namespace tessary {

namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> keptSerial{0};

const std::string keptPrefix = ".tessary-kept-";

// A hidden name in folder that no other kept file has had: the time, this process and a
// serial. Not the name of an engine temporary, which would be tidied away.
fs::path keptName(const fs::path& folder)
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return folder /
           (keptPrefix +
            std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()) +
            "-" + std::to_string(long(::getpid())) + "-" + std::to_string(keptSerial++));
}

bool sameDisk(const fs::path& a, const fs::path& b)
{
    const auto first = FileStamp::of(a);
    const auto second = FileStamp::of(b);
    return first && second && first->device == second->device;
}

// Where what is kept of file may go, in the order to try: the keeping folder when it is on
// file's disk (on any disk for a copy), then file's own folder.
std::vector<fs::path> keptFolders(const fs::path& folder, const fs::path& file, bool copy)
{
    std::vector<fs::path> folders;
    std::error_code ec;
    if (!folder.empty() &&
        (copy ? fs::is_directory(folder, ec) : sameDisk(folder, file.parent_path())))
        folders.push_back(folder);
    folders.push_back(file.parent_path());
    return folders;
}

// Makes something under a new kept name with make, trying the folders in turn (a link
// across mounts of one disk fails there, a folder may not be written); returns the name.
// Throws the last std::system_error when no folder takes it.
fs::path keepUnder(const std::vector<fs::path>& folders,
                   const std::function<void(const fs::path&)>& make)
{
    std::error_code last;
    for (const fs::path& folder : folders) {
        for (int attempt = 0; attempt < 8; ++attempt) {
            const fs::path name = keptName(folder);
            try {
                make(name);
                return name;
            } catch (const std::system_error& e) {
                last = e.code();
                if (last.value() != EEXIST)
                    break;
            }
        }
    }
    throw std::system_error(last, "keep");
}

EngineError changedSince(const fs::path& file)
{
    return EngineError(ErrorKind::Changed,
                       quoted(file) + " has been changed since; nothing was changed.");
}

EngineError keptGone(const fs::path& file)
{
    return EngineError(ErrorKind::NotFound, "What was kept of " + quoted(file) +
                                                " to undo its change is gone; nothing was "
                                                "changed.");
}

// Refuses a file that is not as expected, or not the one locked.
void expectFile(const fs::path& path, const FileStamp& expected, const FileLock* lock)
{
    const auto now = FileStamp::of(path);
    if (!now || !(*now == expected) || (lock && !lock->covers(*now)))
        throw changedSince(path);
}

void expectKept(const fs::path& kept, const FileStamp& expected, const fs::path& file)
{
    const auto now = FileStamp::of(kept);
    if (kept.empty() || !now || !(*now == expected))
        throw keptGone(file);
}

bool withoutLinks(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS;
}

} // namespace

fs::path UndoKeeping::linkReplaced(FileLayer& files, const fs::path& path,
                                   const FileStamp* expected)
{
    try {
        const fs::path name = keepUnder(keptFolders(folder, path, false),
                                        [&](const fs::path& made) { files.link(path, made); });
        const auto kept = FileStamp::of(name);
        if (kept && (!expected || *kept == *expected))
            return name;
        files.remove(name);
        problems.push_back(quoted(path) +
                           " was changed by another program while it was rewritten; the "
                           "change cannot be undone.");
    } catch (const std::system_error& e) {
        problems.push_back("The old version of " + quoted(path) + " could not be kept (" +
                           std::strerror(e.code().value()) + "); the change cannot be undone.");
    }
    return {};
}

void UndoRecord::undo(FileLayer& files, FileLocks& locks, const LockWait& wait,
                      const fs::path& folder)
{
    if (undone)
        return;
    FileLock* lock = locks.lock(files, file, wait);
    expectFile(file, after, lock);
    switch (kind) {
    case Kind::Extended:
        undoExtended(files, folder);
        undone = true;
        return;
    case Kind::Replaced:
        swapKept(files, lock, before);
        break;
    case Kind::Created:
        moveAside(files, folder);
        break;
    }
    undone = true;
    syncFolder(files);
}

void UndoRecord::redo(FileLayer& files, FileLocks& locks, const LockWait& wait)
{
    if (!undone)
        return;
    if (kind == Kind::Created) {
        putBack(files);
    } else {
        FileLock* lock = locks.lock(files, file, wait);
        expectFile(file, before, lock);
        if (kind == Kind::Extended) {
            redoExtended(files);
            undone = false;
            return;
        }
        swapKept(files, lock, after);
    }
    undone = false;
    syncFolder(files);
}

void UndoRecord::undoExtended(FileLayer& files, const fs::path& folder)
{
    const std::uint64_t added = after.size - oldSize;
    // The added bytes go aside first, durably, so that redo can write them back.
    fs::path aside;
    try {
        const ReadableFile current(file);
        aside = keepUnder(keptFolders(folder, file, true), [&](const fs::path& name) {
            fs::path temp;
            auto out = files.createTemporary(name, temp);
            try {
                // The added pages are as private as the file they belong to.
                out->copyPermissionsFrom(file);
                out->copyFrom(current, oldSize, added, 0);
                out->sync();
                out.reset();
                files.rename(temp, name);
            } catch (...) {
                out.reset();
                files.remove(temp);
                throw;
            }
        });
    } catch (const std::system_error& e) {
        throw writeFailure(file, e.code().value());
    }

    // The old pointer first, durably: a file cut short while a pointer still leads past its
    // end would be damaged.
    std::unique_ptr<WritableFile> out;
    bool cut = false;
    try {
        out = files.openForUpdate(file);
        out->write(pointerAt, oldPointer.data(), oldPointer.size());
        out->sync();
        cut = true;
        out->truncate(oldSize);
        out->sync();
    } catch (const std::system_error& e) {
        // Back to the state the change left: the added bytes and the new pointer.
        bool restored = !out;
        if (out) {
            try {
                if (cut) {
                    const ReadableFile tail(aside);
                    out->copyFrom(tail, 0, added, oldSize);
                }
                out->write(pointerAt, newPointer.data(), newPointer.size());
                out->sync();
                after = out->stamp();
                restored = true;
            } catch (...) {
            }
        }
        files.remove(aside);
        throw writeFailure(file, e.code().value(), restored);
    }
    before = out->stamp();
    kept = aside;
}

void UndoRecord::redoExtended(FileLayer& files)
{
    const std::uint64_t added = after.size - oldSize;
    const auto tailStamp = FileStamp::of(kept);
    if (kept.empty() || !tailStamp || tailStamp->size != added)
        throw keptGone(file);
    std::unique_ptr<WritableFile> out;
    try {
        const ReadableFile tail(kept);
        out = files.openForUpdate(file);
        // The pages are durable before the pointer leads to them.
        out->copyFrom(tail, 0, added, oldSize);
        out->sync();
        out->write(pointerAt, newPointer.data(), newPointer.size());
        out->sync();
    } catch (const std::system_error& e) {
        bool restored = !out;
        if (out) {
            try {
                out->write(pointerAt, oldPointer.data(), oldPointer.size());
                out->truncate(oldSize);
                out->sync();
                before = out->stamp();
                restored = true;
            } catch (...) {
            }
        }
        throw writeFailure(file, e.code().value(), restored);
    }
    after = out->stamp();
    files.remove(kept);
    kept.clear();
}

void UndoRecord::swapKept(FileLayer& files, FileLock* lock, const FileStamp& keptExpected)
{
    expectKept(kept, keptExpected, file);
    // The version now in place gets a second name beside the kept one, on the same disk.
    fs::path other;
    try {
        other =
            keepUnder({kept.parent_path()}, [&](const fs::path& name) { files.link(file, name); });
    } catch (const std::system_error& e) {
        throw writeFailure(file, e.code().value());
    }
    // The kept version is locked before its name is the file's, so that the file is never
    // an unlocked one while this holds it.
    std::unique_ptr<WritableFile> incoming;
    try {
        if (lock) {
            incoming = files.openForLock(kept);
            lock->lockReplacement(*incoming);
        }
        files.rename(kept, file);
    } catch (const std::system_error& e) {
        files.remove(other);
        throw writeFailure(file, e.code().value());
    }
    if (lock)
        lock->replacedBy(std::move(incoming));
    kept = other;
}

void UndoRecord::moveAside(FileLayer& files, const fs::path& folder)
{
    try {
        kept = keepUnder(keptFolders(folder, file, false),
                         [&](const fs::path& name) { files.rename(file, name); });
    } catch (const std::system_error& e) {
        throw writeFailure(file, e.code().value());
    }
}

void UndoRecord::putBack(FileLayer& files)
{
    const auto taken = [this] {
        return EngineError(ErrorKind::Changed, "A file named " + quoted(file) +
                                                   " has been made since; nothing was changed.");
    };
    std::error_code ec;
    if (fs::exists(fs::symlink_status(file, ec)))
        throw taken();
    expectKept(kept, after, file);
    try {
        // A link never replaces a file that came meanwhile; a disk without links renames.
        try {
            files.link(kept, file);
            files.remove(kept);
        } catch (const std::system_error& e) {
            if (e.code().value() == EEXIST)
                throw taken();
            if (!withoutLinks(e.code().value()))
                throw;
            files.rename(kept, file);
        }
    } catch (const std::system_error& e) {
        throw writeFailure(file, e.code().value());
    }
    kept.clear();
}

void UndoRecord::syncFolder(FileLayer& files) const
{
    try {
        files.syncFolder(file.parent_path());
    } catch (const std::system_error& e) {
        const EngineError error = writeFailure(file, e.code().value(), false);
        throw EngineError(error.kind(), std::string(error.what()) +
                                            " The change was made, but the disk may not have "
                                            "stored it safely yet.");
    }
}

bool UndoRecord::intact() const
{
    std::error_code ec;
    const bool fileThere = fs::exists(file, ec);
    const bool keptThere = !kept.empty() && fs::exists(kept, ec);
    switch (kind) {
    case Kind::Extended:
        return fileThere && (!undone || keptThere);
    case Kind::Replaced:
        return fileThere && keptThere;
    case Kind::Created:
        return undone ? keptThere : fileThere;
    }
    return false;
}

std::uint64_t UndoRecord::keptBytes() const
{
    if (kept.empty())
        return 0;
    const auto stamp = FileStamp::of(kept);
    return stamp ? stamp->size : 0;
}

bool UndoRecord::isKeptName(const fs::path& name)
{
    return name.filename().string().rfind(keptPrefix, 0) == 0;
}

void UndoRecord::discard(FileLayer& files) const
{
    if (!kept.empty())
        files.remove(kept);
}

} // namespace tessary
