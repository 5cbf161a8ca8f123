#pragma once

#include "FileLayer.h"
#include "FileLock.h"
#include "FileStamp.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tessary {

// What one page operation changed in one file, with what it keeps to put the file back,
// byte for byte, as it was before (undo) and as the operation left it (redo), without a
// copy of the file:
//  - Extended (an append or insert in place): the new pages were written behind the old
//    end and linked in by one pointer; the old length and the old pointer undo it. Undo
//    moves the added bytes aside (kept), from where redo writes them back.
//  - Replaced (a rewrite: delete, replace, a transfer too large to be made in place, an
//    extract over an existing file): a new file was renamed over the old one, which is kept
//    under a second name (a hard link made before the rename). Undo and redo swap the two.
//  - Created (an extract into a new name): undo moves the file aside, redo puts it back.
// Kept files lie in the keeping folder when it is on the file's disk (the added bytes of an
// Extended record on any disk), otherwise beside the file, hidden.
//
// Undo and redo are atomic: each holds the file's write lock (FileLock), refuses a file that
// is not as the record left it, writes durably (synced, renamed, the folder synced) and on
// a failure leaves the file byte-identical to before.
struct UndoRecord
{
    enum class Kind
    {
        Extended,
        Replaced,
        Created,
    };

    Kind kind = Kind::Replaced;
    // The file changed, links followed.
    std::filesystem::path file;
    // The version of the file that is not at file now (Replaced), the file or its added
    // bytes while the change is undone (Created, Extended); empty otherwise.
    std::filesystem::path kept;
    bool undone = false;
    // The file before the change (none for a Created file) and as the change left it, as
    // they are now on disk: undo and redo keep them up to date.
    FileStamp before;
    FileStamp after;
    // Extended: the length before the change, and the pointer that linked the new pages
    // in: where it lies, the bytes it held before and after.
    std::uint64_t oldSize = 0;
    std::uint64_t pointerAt = 0;
    std::vector<std::uint8_t> oldPointer;
    std::vector<std::uint8_t> newPointer;

    // Puts the file back as it was before the change; folder is where the added bytes of an
    // Extended record, or a Created file, go (see above). locks holds the file's lock or
    // takes it, waiting as wait says. Nothing when the record is undone already. Throws
    // EngineError: Changed (the file is not as the change left it: another program or a
    // change outside the history came since), NotFound (what was kept is gone), Busy and
    // Cancelled (FileLock::take), NoSpace, ReadOnly, Io (a failed write: the file is as it
    // was, and the record too). A failed sync of the folder after the change is reported
    // as Io after the record has been brought up to date: the change stands.
    void undo(FileLayer& files, FileLocks& locks, const LockWait& wait,
              const std::filesystem::path& folder);
    // Makes the change again, exactly; nothing when the record is not undone. Throws as
    // undo(); Changed also for a Created file whose name is taken again.
    void redo(FileLayer& files, FileLocks& locks, const LockWait& wait);

    // True when what undo (or, undone, redo) needs is on disk: the file and what is kept.
    bool intact() const;
    // The bytes kept on disk for the record.
    std::uint64_t keptBytes() const;
    // Removes what is kept: the record can be neither undone nor redone afterwards.
    void discard(FileLayer& files) const;

    // True for the name of a file kept for a record (never one of the user's files).
    static bool isKeptName(const std::filesystem::path& name);

private:
    void undoExtended(FileLayer& files, const std::filesystem::path& folder);
    void redoExtended(FileLayer& files);
    void swapKept(FileLayer& files, FileLock* lock, const FileStamp& keptExpected);
    void moveAside(FileLayer& files, const std::filesystem::path& folder);
    void putBack(FileLayer& files);
    void syncFolder(FileLayer& files) const;
};

// What a page operation is asked to keep of its changes (OperationOptions::keep), so that
// they can be undone: one record per file it changed, added once the change stands.
struct UndoKeeping
{
    // Where kept files go when it lies on the disk of the file changed; empty, or another
    // disk: beside the file, hidden.
    std::filesystem::path folder;
    std::vector<UndoRecord> records;
    // Why a change could not be kept, one sentence each; the operation itself went on.
    std::vector<std::string> problems;

    // Gives the file at path, about to be replaced, a second name where kept files go and
    // returns it. expected, when given, is the file as the operation read it: another file
    // found there is not kept. Returns an empty path, with the reason in problems, when it
    // cannot be kept.
    std::filesystem::path linkReplaced(FileLayer& files, const std::filesystem::path& path,
                                       const FileStamp* expected);
};

} // namespace tessary
