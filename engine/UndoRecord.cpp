#include "UndoRecord.h"

#include "EngineError.h"
#include "Messages.h"
#include "ReadableFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tessary {

namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> keptSerial{0};

const std::string keptPrefix = ".tessary-kept-";

// A hidden name in folder that no other kept file has had: the keeper, the time, this
// process and a serial. Not the name of an engine temporary, which would be tidied away.
fs::path keptName(const fs::path& folder, const std::string& owner)
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return folder /
           (keptPrefix + (owner.empty() ? "" : owner + ".") +
            std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()) +
            "-" + std::to_string(long(::getpid())) + "-" + std::to_string(keptSerial++));
}

bool sameDisk(const fs::path& a, const fs::path& b)
{
    const auto first = FileStamp::of(a);
    const auto second = FileStamp::of(b);
    return first && second && first->volume == second->volume;
}

// The keeper's own hidden folder at the top of the disk that holds folder, made when
// missing; empty when there is none fit to hold what is kept: one that is not a plain folder
// of this user's, private to it, or at a top that other users may rename things in.
fs::path topFolder(const fs::path& folder)
{
#ifdef _WIN32
    (void)folder;
    return {};
#else
    const fs::path top = fileSystemTop(folder);
    struct stat st
    {};
    if (top.empty() || ::stat(top.c_str(), &st) != 0 ||
        ((st.st_mode & S_IWOTH) && !(st.st_mode & S_ISVTX)))
        return {};
    const fs::path place = top / UndoRecord::topFolderName();
    if (::mkdir(place.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    if (::lstat(place.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return place;
#endif
}

using Make = std::function<void(const fs::path&)>;

// Makes something under a new kept name in folder with make, for owner; returns the name,
// or nothing with the reason in last when the folder does not take it (a link across
// mounts of one disk fails there, a folder may not be written).
std::optional<fs::path> keepIn(const fs::path& folder, const std::string& owner, const Make& make,
                               std::error_code& last)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const fs::path name = keptName(folder, owner);
        try {
            make(name);
            return name;
        } catch (const std::system_error& e) {
            last = e.code();
            if (last.value() != EEXIST)
                break;
        }
    }
    return std::nullopt;
}

// Makes something kept of file with make, trying in turn: the keeping folder when it is on
// file's disk (on any disk for a copy), the keeper's folder at the top of file's disk, and
// file's own folder. A place other than the keeping folder is told to the keeper first, and
// passed over when it refuses it. Returns the name; throws the last std::system_error when
// no place takes it.
fs::path keepUnder(const KeptFiles& places, const fs::path& file, bool copy, const Make& make)
{
    std::error_code last(EACCES, std::generic_category());
    std::error_code ec;
    const fs::path& folder = places.folder;
    if (!folder.empty() &&
        (copy ? fs::is_directory(folder, ec) : sameDisk(folder, file.parent_path()))) {
        if (auto made = keepIn(folder, places.owner, make, last))
            return *made;
    }
    if (places.placing) {
        const fs::path top = topFolder(file.parent_path());
        if (!top.empty() && places.placing(top)) {
            if (auto made = keepIn(top, places.owner, make, last))
                return *made;
        }
    }
    const fs::path beside = file.parent_path();
    if (!places.placing || places.placing(beside)) {
        if (auto made = keepIn(beside, places.owner, make, last))
            return *made;
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

// Refuses a file that may not be written now, or whose folder may not be (inPlace: the
// change is written into the file itself, and leaves its folder alone): the refusal changes
// nothing, and the record can be taken once it may. Then refuses a file that is not as
// expected, or not the one locked.
void expectFile(const fs::path& path, const FileStamp& expected, const FileLock* lock, bool inPlace)
{
    if (isReadOnly(path))
        throw EngineError(ErrorKind::ReadOnly, quoted(path) + " is read-only; it was not changed.");
    if (!inPlace && isReadOnly(path.parent_path()))
        throw EngineError(ErrorKind::ReadOnly,
                          "The folder of " + quoted(path) + " is read-only; nothing was changed.");
    const auto now = FileStamp::of(path);
    if (!now || !(*now == expected) || (lock && !lock->covers(*now)))
        throw changedSince(path);
}

// The stamp of a file the record has just renamed or linked (which changes its change
// time), to know it again.
FileStamp restamp(const fs::path& path)
{
    return FileStamp::of(path).value_or(FileStamp());
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
        const fs::path name =
            keepUnder(places, path, false, [&](const fs::path& made) { files.link(path, made); });
        // The link itself changes the file's change time; what it held is what counts.
        const auto kept = FileStamp::of(name);
        if (kept && (!expected || (kept->sameFile(*expected) && kept->size == expected->size &&
                                   kept->modifiedNs == expected->modifiedNs)))
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
                      const KeptFiles& places)
{
    if (undone)
        return;
    FileLock* lock = locks.lock(files, file, wait);
    expectFile(file, after, lock, kind == Kind::Extended);
    switch (kind) {
    case Kind::Extended:
        undoExtended(files, places);
        undone = true;
        return;
    case Kind::Replaced:
        swapKept(files, lock, after, before);
        break;
    case Kind::Created:
        moveAside(files, places);
        after = restamp(kept);
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
        after = restamp(file);
    } else {
        FileLock* lock = locks.lock(files, file, wait);
        expectFile(file, before, lock, kind == Kind::Extended);
        if (kind == Kind::Extended) {
            redoExtended(files);
            undone = false;
            return;
        }
        swapKept(files, lock, before, after);
    }
    undone = false;
    syncFolder(files);
}

void UndoRecord::undoExtended(FileLayer& files, const KeptFiles& places)
{
    const std::uint64_t added = after.size - oldSize;
    // The added bytes go aside first, durably, so that redo can write them back.
    fs::path aside;
    try {
        const ReadableFile current(file);
        aside = keepUnder(places, file, true, [&](const fs::path& name) {
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

void UndoRecord::swapKept(FileLayer& files, FileLock* lock, FileStamp& current, FileStamp& waiting)
{
    expectKept(kept, waiting, file);
    // The version now in place gets a second name beside the kept one, on the same disk,
    // under the same keeper's name.
    const std::string name = kept.filename().string();
    const auto ownerEnd = name.find('.', keptPrefix.size());
    const std::string owner = ownerEnd == std::string::npos
                                  ? std::string()
                                  : name.substr(keptPrefix.size(), ownerEnd - keptPrefix.size());
    std::error_code failed(EACCES, std::generic_category());
    const auto other = keepIn(
        kept.parent_path(), owner, [&](const fs::path& name) { files.link(file, name); }, failed);
    if (!other)
        throw writeFailure(file, failed.value());
    // Links and permissions change the change time of both versions, whose bytes a failure
    // leaves as they were: the record knows them again by their new stamps.
    const auto knowAgain = [&] {
        current = restamp(file);
        waiting = restamp(kept);
    };
    // The kept version takes the permissions the file has now, and is locked before its
    // name is the file's, so that the file is never an unlocked one while this holds it.
    std::unique_ptr<WritableFile> incoming;
    try {
        incoming = files.openForLock(kept);
        incoming->copyPermissionsFrom(file);
        if (lock)
            lock->lockReplacement(*incoming);
        files.rename(kept, file);
    } catch (const std::system_error& e) {
        files.remove(*other);
        knowAgain();
        throw writeFailure(file, e.code().value());
    }
    if (lock)
        lock->replacedBy(std::move(incoming));
    kept = *other;
    current = restamp(kept);
    waiting = restamp(file);
}

void UndoRecord::moveAside(FileLayer& files, const KeptFiles& places)
{
    try {
        kept =
            keepUnder(places, file, false, [&](const fs::path& name) { files.rename(file, name); });
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

bool UndoRecord::isKeptName(const fs::path& name, const std::string& owner)
{
    return !owner.empty() && name.filename().string().rfind(keptPrefix + owner + ".", 0) == 0;
}

std::string UndoRecord::topFolderName()
{
#ifdef _WIN32
    return ".tessary-undo";
#else
    return ".tessary-undo-" + std::to_string(long(::getuid()));
#endif
}

void UndoRecord::discard(FileLayer& files) const
{
    if (!kept.empty())
        files.remove(kept);
}

} // namespace tessary
