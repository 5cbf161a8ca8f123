#pragma once

#include "FileLayer.h"
#include "FileLock.h"
#include "FileStamp.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tessary {

// Where the files kept to undo changes go, and whose they are.
struct KeptFiles
{
    // The keeping folder: what is kept of a file on its disk goes there (the added bytes of
    // an append, which are copied, go there from any disk).
    std::filesystem::path folder;
    // Names the keeper in every kept name, so that a keeper clearing what it left never
    // takes what another keeper keeps.
    std::string owner;
    // Told a place other than folder before the first file is kept there, so that the
    // keeper can find and clear it whatever becomes of its steps; false refuses the place.
    // Only a keeper that is told its places gets a hidden folder of its own at the top of a
    // disk the keeping folder is not on (a place that stays where it is when the user's
    // folders are renamed); without one, what is kept there stays beside the file.
    std::function<bool(const std::filesystem::path& place)> placing;
};

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
// Extended record on any disk), otherwise in the keeper's hidden folder at the top of the
// file's disk, or beside the file, hidden (KeptFiles).
//
// Undo and redo are atomic: each holds the file's write lock (FileLock), refuses a file that
// is read-only now or not exactly as the record left it, writes durably (synced, renamed,
// the folder synced) and on a failure leaves the file byte-identical to before. A version
// put back takes the permissions of the file it replaces.
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
    // they are now on disk wherever they lie: undo and redo keep them up to date.
    FileStamp before;
    FileStamp after;
    // The file as the change found it, before it touched it (none for a Created file): a
    // change that found the file as another record left it began where that one ended.
    FileStamp found;
    // Extended: the length before the change, and the pointer that linked the new pages
    // in: where it lies, the bytes it held before and after.
    std::uint64_t oldSize = 0;
    std::uint64_t pointerAt = 0;
    std::vector<std::uint8_t> oldPointer;
    std::vector<std::uint8_t> newPointer;

    // Puts the file back as it was before the change; places says where what is kept of it
    // meanwhile goes. locks holds the file's lock or takes it, waiting as wait says. Nothing
    // when the record is undone already. Throws EngineError: ReadOnly (the file or its
    // folder may not be written now: nothing changes, and the record can be undone once it
    // may), Changed (the file is not as the change left it: another program or a change
    // outside the history came since), NotFound (what was kept is gone), Busy and Cancelled
    // (FileLock::take), NoSpace, Io (a failed write: the file is as it was, and the record
    // too). A failed sync of the folder after the change is reported as Io after the record
    // has been brought up to date: the change stands.
    void undo(FileLayer& files, FileLocks& locks, const LockWait& wait, const KeptFiles& places);
    // Makes the change again, exactly; nothing when the record is not undone. Throws as
    // undo(); Changed also for a Created file whose name is taken again.
    void redo(FileLayer& files, FileLocks& locks, const LockWait& wait);

    // True when what undo (or, undone, redo) needs is on disk: the file and what is kept.
    bool intact() const;
    // The bytes kept on disk for the record.
    std::uint64_t keptBytes() const;
    // Removes what is kept: the record can be neither undone nor redone afterwards.
    void discard(FileLayer& files) const;

    // True for the name of a file kept for a record (never one of the user's files); with
    // owner, for a file kept by that keeper (KeptFiles::owner).
    static bool isKeptName(const std::filesystem::path& name);
    static bool isKeptName(const std::filesystem::path& name, const std::string& owner);
    // The name of a keeper's hidden folder at the top of a disk (KeptFiles::placing).
    static std::string topFolderName();

private:
    void undoExtended(FileLayer& files, const KeptFiles& places);
    void redoExtended(FileLayer& files);
    // Swaps the version in place (current) and the one kept (waiting), keeping both stamps.
    void swapKept(FileLayer& files, FileLock* lock, FileStamp& current, FileStamp& waiting);
    void moveAside(FileLayer& files, const KeptFiles& places);
    void putBack(FileLayer& files);
    void syncFolder(FileLayer& files) const;
};

// What a page operation is asked to keep of its changes (OperationOptions::keep), so that
// they can be undone: one record per file it changed, added once the change stands.
struct UndoKeeping
{
    KeptFiles places;
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
