#pragma once

#include "FileLayer.h"
#include "FileLock.h"
#include "FileStamp.h"
#include "PageRotation.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace tessary {

struct UndoKeeping;

// One page of a file, counted from 1; an empty file stands for the file being changed.
struct PageOf
{
    std::filesystem::path file;
    std::int32_t page = 0;
};

struct OperationOptions
{
    // When set, the operation refuses (ErrorKind::Changed, "... changed on disk ...") to
    // touch a file that is no longer the one the caller looked at: replaced, rewritten,
    // truncated or removed since. A source written or truncated by another program while
    // its pages are copied is refused the same way, whether or not a stamp is given.
    std::optional<FileStamp> expectDestination;
    std::optional<FileStamp> expectSource;
    // Told the bytes written so far and the bytes to write in all. Returning false stops
    // the operation: it throws ErrorKind::Cancelled and leaves every file as it was.
    std::function<bool(std::uint64_t done, std::uint64_t total)> progress;
    // How to wait while another writer is changing the file this operation changes.
    LockWait lockWait;
    // Locks the caller keeps across several operations (a Move): the operation adds its
    // own to them and leaves them held. Without it the operation releases its lock when it
    // ends. An operation on a file whose lock the caller holds must be given that set, or it
    // would wait for the caller.
    FileLocks* held = nullptr;
    // When set, the operation keeps there what it needs to be undone and redone exactly
    // (UndoRecord.h), once its change stands: a rewrite gives the file it replaces a second
    // name before the rename, an append or insert in place notes the old length and
    // pointer. Nothing is copied. A change that cannot be kept is noted in its problems and
    // made all the same.
    UndoKeeping* keep = nullptr;
};

// The page operations on TIFF files. Pages count from 1. Pages are copied as stored,
// never decoded and re-encoded, with every tag of the page (unknown ones and EXIF/GPS
// directories included); the source may be the file being changed.
//
// Every operation is atomic: it completes, or it throws EngineError and every file is
// byte-for-byte as it was (a process killed while appending or inserting may leave
// unreferenced bytes at the end of the file, which no reader sees). A file is rewritten
// through a temporary file in its own folder that is synced, renamed over it and the
// folder synced before success is reported; appending and inserting write the new pages
// at the end of the file and link them in with one final pointer write. Deleted and
// replaced pages are gone from the file's bytes. A rewritten file keeps each run of image
// data at its offset within the disk's blocks, so that file systems that share blocks
// between files (XFS, btrfs) share them with the file it came from instead of copying.
//
// Every operation holds the write lock of the file it changes (FileLock) from before it
// reads the file until its change is durable, and of its source when that is the same file:
// of two writers of one file, the second waits for the first and then works on the file as
// the first left it, or is refused as Changed when its caller's stamp no longer matches.
// Files that are only read are not locked; their readers are never held up. On a file
// system that keeps no locks the operation goes on without one, and a change by another
// program while it runs is caught, as far as it can be, by its checks of the file's stamp
// just before the rename or the pointer write.
//
// Errors (EngineError, with a sentence naming the file and page): NotFound, NotTiff,
// Damaged (a page that cannot be read), PartlyReadable (a file whose page list breaks
// off is never rewritten), PageRange (pages outside the file, a count below 1),
// ReadOnly, NoSpace, Io, Changed, Cancelled, SameFile, Unsupported, Busy (another writer
// held the file longer than options.lockWait allows).
class PageEngine
{
public:
    explicit PageEngine(FileLayer& files = FileLayer::system());

    // Adds count pages of source, from first, behind the last page of destination.
    void appendPages(const std::filesystem::path& destination, const std::filesystem::path& source,
                     std::int32_t first, std::int32_t count, const OperationOptions& options = {});
    // Puts count pages of source, from first, before page `before` of destination; the
    // first of them takes that page's number.
    void insertPages(const std::filesystem::path& destination, const std::filesystem::path& source,
                     std::int32_t first, std::int32_t before, std::int32_t count,
                     const OperationOptions& options = {});
    // Overwrites count pages of destination, from `at`, one for one with pages of source
    // from first; the page count stays the same.
    void replacePages(const std::filesystem::path& destination, const std::filesystem::path& source,
                      std::int32_t first, std::int32_t at, std::int32_t count,
                      const OperationOptions& options = {});
    // Removes count pages from first; at least one page must remain.
    void deletePages(const std::filesystem::path& file, std::int32_t first, std::int32_t count,
                     const OperationOptions& options = {});
    // Removes the pages listed (each once, in any order); at least one page must remain.
    void deletePages(const std::filesystem::path& file, const std::vector<std::int32_t>& pages,
                     const OperationOptions& options = {});
    // Gives file the pages listed, in that order, in one rewrite: any of its own pages (by
    // their numbers before the change) and any pages of other files, each as often as it is
    // listed; its pages not listed leave it. The list holds at least one page. A list that
    // gives file the pages it has, in their order, changes nothing. With expectSource, the
    // pages of other files all come from one file, as the caller saw it.
    void arrangePages(const std::filesystem::path& file, const std::vector<PageOf>& pages,
                      const OperationOptions& options = {});
    // Writes count pages of source, from first, into newFile in the source's byte order
    // and kind; an existing newFile is replaced. newFile may not be source itself.
    void extractPages(const std::filesystem::path& source, std::int32_t first, std::int32_t count,
                      const std::filesystem::path& newFile, const OperationOptions& options = {});
    // Writes the pages listed, in that order, into newFile, in the byte order and kind of the
    // file of the first page: pages of any files, each as often as it is listed. An existing
    // newFile is replaced; it may not be one of the files the pages come from. With
    // expectSource, the pages all come from one file, as the caller saw it.
    void extractPages(const std::vector<PageOf>& pages, const std::filesystem::path& newFile,
                      const OperationOptions& options = {});

    // Turns count pages of file, from first, by degrees clockwise (90, 180 or 270) as they
    // are seen, and stores them upright (TurnedPages): one rewrite of the file, in which
    // every other page and every other tag stays as it was. Returns the pages whose turn
    // could only be recorded in their Orientation tag, with a message that says so. Throws
    // as the other operations do, and Unsupported for any other angle.
    RotationResult rotatePages(const std::filesystem::path& file, std::int32_t first,
                               std::int32_t count, int degrees,
                               const OperationOptions& options = {});

    // Removes temporary files that operations of processes no longer running left in
    // folder. Operations call it for their own folder; programs may call it at start.
    static void removeStaleTemporaries(const std::filesystem::path& folder);

private:
    FileLayer& m_files;
};

} // namespace tessary
