#include "PageEngine.h"

#include "EngineError.h"
#include "Messages.h"
#include "PageCopier.h"
#include "PosixFileLayer.h"
#include "ReencodedPage.h"
#include "RewriteLayout.h"
#include "TiffSource.h"
#include "UndoRecord.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace tessary {

namespace fs = std::filesystem;

namespace {

struct PageRef
{
    TiffSource* source;
    std::int32_t page;
    // How the page is copied otherwise than as stored (a turned page); null: as stored.
    const PageEdit* edit = nullptr;
};

void checkCount(std::int32_t count)
{
    if (count < 1) {
        throw EngineError(ErrorKind::PageRange, "The number of pages must be at least 1, not " +
                                                    std::to_string(count) + ".");
    }
}

void checkRun(const TiffSource& source, std::int32_t first, std::int32_t count)
{
    checkCount(count);
    source.checkPage(first);
    if (count > source.pageCount() - first + 1) {
        throw EngineError(ErrorKind::PageRange,
                          quoted(source.path()) + " has no pages " + std::to_string(first) +
                              " to " + std::to_string(std::int64_t(first) + count - 1) +
                              "; it has " + std::to_string(source.pageCount()) + " page(s).");
    }
}

EngineError changedSinceOpened(const fs::path& path)
{
    return EngineError(ErrorKind::Changed,
                       quoted(path) + " changed on disk after it was opened; nothing was changed.");
}

void checkStamp(const TiffSource& source, const std::optional<FileStamp>& expected)
{
    if (expected && !(*expected == source.file().stamp()))
        throw changedSinceOpened(source.path());
}

// Opens a file the caller saw as expected (when given): a file since removed, replaced or
// rewritten is refused as changed, whatever it now holds.
std::unique_ptr<TiffSource> openAsSeen(const fs::path& path,
                                       const std::optional<FileStamp>& expected,
                                       bool keepDirectories = true)
{
    if (expected) {
        const auto now = FileStamp::of(path);
        if (!now || !(*now == *expected))
            throw changedSinceOpened(path);
    }
    auto source = std::make_unique<TiffSource>(path, keepDirectories);
    checkStamp(*source, expected);
    return source;
}

void checkStillSame(const TiffSource& source)
{
    const auto now = FileStamp::of(source.path());
    if (!now || !(*now == source.file().stamp())) {
        throw EngineError(ErrorKind::Changed,
                          quoted(source.path()) +
                              " changed on disk while the operation ran; nothing was changed.");
    }
}

// Once we have begun to write a file in place its size and time are ours; what may still
// happen is that another program replaced it by another file.
void checkStillThere(const TiffSource& source)
{
    const auto now = FileStamp::of(source.path());
    if (!now || !now->sameFile(source.file().stamp())) {
        throw EngineError(
            ErrorKind::Changed,
            quoted(source.path()) +
                " was replaced on disk while the operation ran; nothing was changed.");
    }
}

// Throws Changed when a file that pages are copied from, other than except, was written or
// truncated by another program while they were read: the copy may hold a torn page.
void checkSourcesUnchanged(const std::vector<PageRef>& pages, const TiffSource* except = nullptr)
{
    const TiffSource* last = nullptr;
    for (const PageRef& ref : pages) {
        if (ref.source == last || ref.source == except)
            continue;
        last = ref.source;
        if (ref.source->file().changedSinceOpened()) {
            throw EngineError(ErrorKind::Changed,
                              quoted(ref.source->path()) +
                                  " changed on disk while its pages were being copied; nothing "
                                  "was changed.");
        }
    }
}

// Writes the planned pages one after the other (each pointing to the next, the last to
// last). Tag values are read from the sources as the pages are written; one that can no
// longer be read (its file cut short under the copy, or damaged where planning did not
// look) ends the copy with an error naming its page.
// With a layout, the pages' directories lie one after the other and are written a MiB at a
// time; the layout then copies the data.
void writePages(const std::vector<PagePlan>& plans, const std::vector<PageRef>& pages,
                WritableFile& out, std::uint64_t last,
                const std::function<void(std::uint64_t)>& progress,
                const TiffSource* writtenInPlace = nullptr, const RewriteLayout* layout = nullptr)
{
    std::vector<std::uint8_t> batch;
    std::uint64_t batchStart = 0;
    const auto flush = [&] {
        if (!batch.empty())
            out.write(batchStart, batch.data(), batch.size());
        batch.clear();
    };
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const PagePlan& plan = plans[i];
        const std::uint64_t next = i + 1 < plans.size() ? plans[i + 1].start() : last;
        try {
            if (!layout) {
                plan.write(out, next, progress);
                continue;
            }
            if (batch.empty())
                batchStart = plan.start();
            const std::size_t at = std::size_t(plan.start() - batchStart);
            batch.resize(at + std::size_t(plan.metadataSize()));
            plan.encodeDirectories(batch.data() + at, next);
            if (progress)
                progress(plan.metadataSize());
            if (batch.size() >= (1u << 20))
                flush();
        } catch (const tiff::StructureError& e) {
            checkSourcesUnchanged(pages, writtenInPlace);
            throw EngineError(ErrorKind::Damaged,
                              capitalized(pageOf(pages[i].page, pages[i].source->path())) +
                                  " is damaged: " + e.what() + ".");
        }
    }
    if (layout) {
        flush();
        layout->copyData(out, progress);
    }
}

// Reports progress to the caller's callback and turns a request to stop into an error.
class Progress
{
public:
    Progress(const OperationOptions& options, const fs::path& target)
        : m_callback(options.progress)
        , m_target(target)
    {}

    void setTotal(std::uint64_t total) { m_total = total; }
    void add(std::uint64_t bytes)
    {
        m_done += bytes;
        if (m_callback && !m_callback(m_done, m_total)) {
            throw EngineError(ErrorKind::Cancelled,
                              "The operation was stopped; " + quoted(m_target) + " is unchanged.");
        }
    }
    std::function<void(std::uint64_t)> sink()
    {
        return [this](std::uint64_t bytes) {
            add(bytes);
        };
    }

private:
    std::function<bool(std::uint64_t, std::uint64_t)> m_callback;
    fs::path m_target;
    std::uint64_t m_total = 0;
    std::uint64_t m_done = 0;
};

OutputFormat formatOf(const TiffSource& source)
{
    return {source.reader().header().bigEndian, source.reader().header().bigTiff};
}

// Plans a copy of every page, laid out one after the other from start, into a file at
// target. Pages whose data must be re-encoded for the format get it in scratch, which
// must outlive the plans. Returns false when the pages do not fit the format (a classic
// file beyond 4 GiB, values too large).
bool planPages(const std::vector<PageRef>& pages, const OutputFormat& format, std::uint64_t start,
               const fs::path& target, std::vector<PagePlan>& plans,
               std::vector<std::unique_ptr<ReencodedPage>>& scratch)
{
    plans.clear();
    plans.reserve(pages.size());
    std::uint64_t position = start;
    for (const PageRef& ref : pages) {
        const std::uint64_t directory = ref.source->chain().pages[std::size_t(ref.page - 1)];
        const auto what = [&ref] {
            return capitalized(pageOf(ref.page, ref.source->path()));
        };
        try {
            if (ref.edit) {
                plans.emplace_back(ref.source->reader(), directory, position, format, *ref.edit);
                const PagePlan& plan = plans.back();
                if (plan.needsBigTiff())
                    return false;
                position = plan.start() + plan.size();
                continue;
            }
            plans.emplace_back(ref.source->reader(), directory, position, format);
            if (plans.back().subImageDependsOnByteOrder()) {
                throw EngineError(ErrorKind::Unsupported,
                                  what() +
                                      " holds sub-images of more than 8 bits a sample in the "
                                      "other byte order; it cannot be copied into " +
                                      quoted(target) + ". Nothing was changed.");
            }
            if (plans.back().dataDependsOnByteOrder()) {
                plans.pop_back();
                scratch.push_back(std::make_unique<ReencodedPage>(*ref.source, ref.page,
                                                                  format.bigEndian, target));
                plans.emplace_back(ref.source->reader(), directory, position, format,
                                   scratch.back()->reader(), scratch.back()->directory());
            }
        } catch (const tiff::StructureError& e) {
            throw EngineError(ErrorKind::Damaged, what() + " is damaged: " + e.what() + ".");
        }
        const PagePlan& plan = plans.back();
        if (plan.needsBigTiff())
            return false;
        position = plan.start() + plan.size();
    }
    return format.bigTiff || position <= 0xffffffffu;
}

void writeHeader(WritableFile& out, const OutputFormat& format, std::uint64_t firstDirectory)
{
    std::uint8_t header[16] = {};
    header[0] = header[1] = format.bigEndian ? 'M' : 'I';
    tiff::put16(header + 2, format.bigTiff ? 43 : 42, format.bigEndian);
    if (format.bigTiff) {
        tiff::put16(header + 4, 8, format.bigEndian);
        tiff::put64(header + 8, firstDirectory, format.bigEndian);
    } else {
        tiff::put32(header + 4, std::uint32_t(firstDirectory), format.bigEndian);
    }
    out.write(0, header, format.headerSize());
}

// count pages of source from first, each checked to be readable as every page that goes
// into another file must be: its directory by libtiff, as any reader will take it.
std::vector<PageRef> readablePages(TiffSource& source, std::int32_t first, std::int32_t count)
{
    std::vector<PageRef> pages;
    for (std::int32_t i = 0; i < count; ++i) {
        pages.push_back({&source, first + i});
        source.select(first + i);
    }
    return pages;
}

// The locks an operation takes: the caller's, to be kept after it, or its own.
class OperationLocks
{
public:
    explicit OperationLocks(const OperationOptions& options)
        : m_locks(options.held ? *options.held : m_own)
        , m_wait(options.lockWait)
    {}
    // The lock of the file at real (links followed), taken or already held; null when
    // none can be held.
    FileLock* lock(FileLayer& files, const fs::path& real)
    {
        return m_locks.lock(files, real, m_wait);
    }

private:
    FileLocks m_own;
    FileLocks& m_locks;
    const LockWait& m_wait;
};

// The file an operation changes, locked, opened and checked.
struct Target
{
    fs::path real;
    FileLock* lock = nullptr;
    std::unique_ptr<TiffSource> source;
};

// keepDirectories: the directories of its pages will be read (a rewrite, or pages of it
// copied), not only its page list.
Target openTarget(FileLayer& files, OperationLocks& locks, const fs::path& path,
                  const std::optional<FileStamp>& expected, bool keepDirectories = true)
{
    Target target;
    target.real = realPath(path);
    target.lock = locks.lock(files, target.real);
    PageEngine::removeStaleTemporaries(target.real.parent_path());
    target.source = openAsSeen(target.real, expected, keepDirectories);
    // Only a program that takes no locks can have put another file there meanwhile.
    if (target.lock && !target.lock->covers(target.source->file().stamp()))
        throw changedSinceOpened(path);
    if (!target.source->chain().complete) {
        throw EngineError(ErrorKind::PartlyReadable,
                          quoted(path) + " cannot be changed: its list of pages is damaged (" +
                              target.source->chain().problem +
                              "), and rewriting it would lose the pages behind the damage.");
    }
    if (isReadOnly(target.real))
        throw EngineError(ErrorKind::ReadOnly, quoted(path) + " is read-only; it was not changed.");
    return target;
}

// The source of a transfer: the target itself when both name the same file.
TiffSource& openSource(const fs::path& path, Target& target, std::unique_ptr<TiffSource>& storage,
                       const std::optional<FileStamp>& expected)
{
    if (isSameFile(path, target.real)) {
        checkStamp(*target.source, expected);
        return *target.source;
    }
    storage = openAsSeen(realPath(path), expected);
    return *storage;
}

void checkFolderWritable(const fs::path& real, const fs::path& shown)
{
    const fs::path folder = real.parent_path();
    if (isReadOnly(folder)) {
        throw EngineError(ErrorKind::ReadOnly,
                          "The folder of " + quoted(shown) + " is read-only; nothing was changed.");
    }
}

} // namespace

PageEngine::PageEngine(FileLayer& files)
    : m_files(files)
{}

namespace {

// Writes pages into a new file that then replaces target (or becomes it, when there is
// none), keeping the replaced file's permissions. existing, when given, is the file being
// replaced as it was read; it is checked once more just before the rename. The data of
// unchanged pages keeps its place within the disk's blocks (RewriteLayout), so that the
// file system shares or copies it in the kernel.
void rewrite(FileLayer& files, const fs::path& target, const std::vector<PageRef>& pages,
             OutputFormat format, const TiffSource* existing, FileLock* lock,
             const OperationOptions& options)
{
    std::vector<PagePlan> plans;
    std::vector<std::unique_ptr<ReencodedPage>> scratch;
    const Disk disk = Disk::of(target.parent_path());
    std::optional<RewriteLayout> layout;
    if (planPages(pages, format, format.headerSize(), target, plans, scratch))
        layout.emplace(plans, format, disk);
    if (!layout || (!format.bigTiff && layout->size() > 0xffffffffu)) {
        format.bigTiff = true;
        planPages(pages, format, format.headerSize(), target, plans, scratch);
        layout.emplace(plans, format, disk);
    }
    Progress progress(options, target);
    progress.setTotal(layout->size());

    fs::path tempPath;
    std::unique_ptr<WritableFile> out;
    try {
        out = files.createTemporary(target, tempPath);
    } catch (const std::system_error& e) {
        throw writeFailure(target, e.code().value());
    }
    std::error_code ec;
    const bool replacing = fs::exists(target, ec);
    fs::path kept;
    FileStamp found;
    // A change that fails was not made: what it could not keep is no problem to report.
    const auto forgetKept = [&, problems = options.keep ? options.keep->problems.size() : 0] {
        if (!kept.empty())
            files.remove(kept);
        if (options.keep)
            options.keep->problems.resize(problems);
    };
    try {
        writeHeader(*out, format, plans.front().start());
        writePages(plans, pages, *out, 0, progress.sink(), nullptr, &*layout);
        if (replacing)
            out->copyPermissionsFrom(target);
        out->sync();
        if (existing)
            checkStillSame(*existing);
        checkSourcesUnchanged(pages);
        // The new file is locked before its name is the target's, so that the target is
        // never an unlocked file while this operation holds it.
        if (lock)
            lock->lockReplacement(*out);
        // The file about to be replaced lives on under a second name, to undo the change.
        if (options.keep && replacing) {
            found = existing ? existing->file().stamp() : FileStamp::of(target).value_or(found);
            kept = options.keep->linkReplaced(files, target, existing ? &found : nullptr);
        }
        files.rename(tempPath, target);
    } catch (const std::system_error& e) {
        out.reset();
        files.remove(tempPath);
        forgetKept();
        // A source cut short under the copy reads as a failed copy; say what happened.
        checkSourcesUnchanged(pages);
        throw writeFailure(target, e.code().value());
    } catch (...) {
        out.reset();
        files.remove(tempPath);
        forgetKept();
        throw;
    }
    if (lock)
        lock->replacedBy(std::move(out));
    out.reset();
    if (options.keep && (!replacing || !kept.empty())) {
        UndoRecord record;
        record.kind = replacing ? UndoRecord::Kind::Replaced : UndoRecord::Kind::Created;
        record.file = target;
        record.kept = kept;
        if (replacing) {
            record.before = FileStamp::of(kept).value_or(FileStamp());
            record.found = found;
        }
        record.after = FileStamp::of(target).value_or(FileStamp());
        options.keep->records.push_back(std::move(record));
    }
    try {
        files.syncFolder(target.parent_path());
    } catch (const std::system_error& e) {
        EngineError error = writeFailure(target, e.code().value(), false);
        throw EngineError(error.kind(), std::string(error.what()) +
                                            " The change was made, but the disk may not have "
                                            "stored it safely yet.");
    }
}

// The file pages come from, opened once however many of its pages come, as the caller saw
// it (when expected is given).
TiffSource& openOther(std::vector<std::unique_ptr<TiffSource>>& opened, const fs::path& file,
                      const std::optional<FileStamp>& expected)
{
    const fs::path real = realPath(file);
    const auto known = std::find_if(opened.begin(), opened.end(),
                                    [&](const auto& source) { return source->path() == real; });
    if (known != opened.end())
        return **known;
    opened.push_back(openAsSeen(real, expected));
    return *opened.back();
}

// Refuses a new file's name that cannot be written: a link to no file that can be made, a
// folder, a read-only file, a missing or read-only folder. shown is the name as given.
void checkNewFile(const fs::path& real, const fs::path& shown)
{
    std::error_code ec;
    const bool exists = fs::exists(real, ec);
    // A link that leads nowhere, even through other links, is not written over.
    if (fs::is_symlink(fs::symlink_status(real, ec)) && !exists) {
        throw EngineError(ErrorKind::NotFound, quoted(shown) +
                                                   " is a link that leads to no file that can "
                                                   "be made; nothing was written.");
    }
    if (!exists && !fs::is_directory(real.parent_path(), ec)) {
        throw EngineError(ErrorKind::NotFound, "The folder of " + quoted(shown) +
                                                   " does not exist; nothing was written.");
    }
    if (exists && fs::is_directory(real, ec))
        throw EngineError(ErrorKind::NotTiff, quoted(shown) + " is a folder.");
    if (exists && isReadOnly(real))
        throw EngineError(ErrorKind::ReadOnly,
                          quoted(shown) + " is read-only; it was not replaced.");
    checkFolderWritable(real, shown);
}

void refuseSameFile(const fs::path& real, const TiffSource& source, const fs::path& shown)
{
    if (isSameFile(real, source.path())) {
        throw EngineError(ErrorKind::SameFile, quoted(shown) +
                                                   " is the file the pages come from; choose "
                                                   "another name. Nothing was changed.");
    }
}

// Gives the target the pages listed, in one rewrite; nothing when they are the pages it has,
// in their order.
void arrange(FileLayer& files, Target& target, const std::vector<PageRef>& pages,
             const fs::path& shown, const OperationOptions& options)
{
    bool unchanged = std::int64_t(pages.size()) == target.source->pageCount();
    for (std::size_t i = 0; unchanged && i < pages.size(); ++i)
        unchanged = pages[i].source == target.source.get() && pages[i].page == std::int32_t(i) + 1;
    if (unchanged)
        return;
    checkFolderWritable(target.real, shown);
    rewrite(files, target.real, pages, formatOf(*target.source), target.source.get(), target.lock,
            options);
}

// Writes pages at the end of target and links them into its page chain before page
// `before` (0: behind the last page) with one pointer write. Returns false, having
// written nothing, when the pages do not fit the file's format in place.
bool linkInPlace(FileLayer& files, Target& target, const std::vector<PageRef>& pages,
                 std::int32_t before, const OperationOptions& options)
{
    const TiffSource& dest = *target.source;
    const OutputFormat format = formatOf(dest);
    const std::uint64_t originalSize = dest.file().size();
    std::vector<PagePlan> plans;
    std::vector<std::unique_ptr<ReencodedPage>> scratch;
    if (!planPages(pages, format, originalSize, target.real, plans, scratch))
        return false;

    const tiff::Chain& chain = dest.chain();
    const std::uint64_t followingPage = before == 0 ? 0 : chain.pages[std::size_t(before - 1)];
    const std::uint64_t pointerAt = before == 0   ? chain.nextFields.back()
                                    : before == 1 ? (format.bigTiff ? 8 : 4)
                                                  : chain.nextFields[std::size_t(before - 2)];
    const unsigned pointerSize = format.bigTiff ? 8 : 4;
    std::uint8_t oldPointer[8] = {};
    std::uint8_t newPointer[8] = {};
    if (!dest.file().readAt(pointerAt, oldPointer, pointerSize))
        throw EngineError(ErrorKind::Changed,
                          quoted(dest.path()) + " changed on disk; nothing was changed.");
    if (format.bigTiff)
        tiff::put64(newPointer, plans.front().start(), format.bigEndian);
    else
        tiff::put32(newPointer, std::uint32_t(plans.front().start()), format.bigEndian);

    Progress progress(options, target.real);
    progress.setTotal(plans.back().start() + plans.back().size() - originalSize);

    std::unique_ptr<WritableFile> out;
    try {
        out = files.openForUpdate(target.real);
    } catch (const std::system_error& e) {
        throw writeFailure(target.real, e.code().value());
    }
    checkStillSame(dest);
    bool linked = false;
    try {
        // Padding up to the first new directory, so the file's tail is fully written.
        const std::uint64_t padding = plans.front().start() - originalSize;
        if (padding > 0) {
            const std::uint8_t zeros[8] = {};
            out->write(originalSize, zeros, std::size_t(padding));
        }
        writePages(plans, pages, *out, followingPage, progress.sink(), &dest);
        // The new pages are durable before anything points at them.
        out->sync();
        checkStillThere(dest);
        checkSourcesUnchanged(pages, &dest);
        linked = true;
        out->write(pointerAt, newPointer, pointerSize);
        out->sync();
    } catch (...) {
        // Put the file back as it was: the old pointer, then the old length.
        bool restored = true;
        try {
            if (linked)
                out->write(pointerAt, oldPointer, pointerSize);
            out->truncate(originalSize);
            out->sync();
        } catch (...) {
            restored = false;
        }
        try {
            throw;
        } catch (const std::system_error& e) {
            if (restored)
                checkSourcesUnchanged(pages, &dest);
            throw writeFailure(target.real, e.code().value(), restored);
        }
    }
    if (options.keep) {
        // The old length and pointer undo this change; the new pointer redoes it.
        UndoRecord record;
        record.kind = UndoRecord::Kind::Extended;
        record.file = target.real;
        record.before = dest.file().stamp();
        record.found = record.before;
        record.after = out->stamp();
        record.oldSize = originalSize;
        record.pointerAt = pointerAt;
        record.oldPointer.assign(oldPointer, oldPointer + pointerSize);
        record.newPointer.assign(newPointer, newPointer + pointerSize);
        options.keep->records.push_back(std::move(record));
    }
    return true;
}

} // namespace

void PageEngine::appendPages(const fs::path& destination, const fs::path& source,
                             std::int32_t first, std::int32_t count,
                             const OperationOptions& options)
{
    checkCount(count);
    OperationLocks locks(options);
    // Pages added in place need the file's page list alone, unless they come from it.
    Target target = openTarget(m_files, locks, destination, options.expectDestination,
                               isSameFile(source, destination));
    std::unique_ptr<TiffSource> storage;
    TiffSource& src = openSource(source, target, storage, options.expectSource);
    checkRun(src, first, count);
    const std::vector<PageRef> incoming = readablePages(src, first, count);
    if (linkInPlace(m_files, target, incoming, 0, options))
        return;
    checkFolderWritable(target.real, destination);
    std::vector<PageRef> pages;
    for (std::int32_t i = 1; i <= target.source->pageCount(); ++i)
        pages.push_back({target.source.get(), i});
    pages.insert(pages.end(), incoming.begin(), incoming.end());
    rewrite(m_files, target.real, pages, formatOf(*target.source), target.source.get(), target.lock,
            options);
}

void PageEngine::insertPages(const fs::path& destination, const fs::path& source,
                             std::int32_t first, std::int32_t before, std::int32_t count,
                             const OperationOptions& options)
{
    checkCount(count);
    OperationLocks locks(options);
    // Pages added in place need the file's page list alone, unless they come from it.
    Target target = openTarget(m_files, locks, destination, options.expectDestination,
                               isSameFile(source, destination));
    target.source->checkPage(before);
    std::unique_ptr<TiffSource> storage;
    TiffSource& src = openSource(source, target, storage, options.expectSource);
    checkRun(src, first, count);
    const std::vector<PageRef> incoming = readablePages(src, first, count);
    if (linkInPlace(m_files, target, incoming, before, options))
        return;
    checkFolderWritable(target.real, destination);
    std::vector<PageRef> pages;
    for (std::int32_t i = 1; i < before; ++i)
        pages.push_back({target.source.get(), i});
    pages.insert(pages.end(), incoming.begin(), incoming.end());
    for (std::int32_t i = before; i <= target.source->pageCount(); ++i)
        pages.push_back({target.source.get(), i});
    rewrite(m_files, target.real, pages, formatOf(*target.source), target.source.get(), target.lock,
            options);
}

void PageEngine::replacePages(const fs::path& destination, const fs::path& source,
                              std::int32_t first, std::int32_t at, std::int32_t count,
                              const OperationOptions& options)
{
    checkCount(count);
    OperationLocks locks(options);
    Target target = openTarget(m_files, locks, destination, options.expectDestination);
    checkRun(*target.source, at, count);
    std::unique_ptr<TiffSource> storage;
    TiffSource& src = openSource(source, target, storage, options.expectSource);
    checkRun(src, first, count);
    const std::vector<PageRef> incoming = readablePages(src, first, count);
    checkFolderWritable(target.real, destination);
    std::vector<PageRef> pages;
    for (std::int32_t i = 1; i < at; ++i)
        pages.push_back({target.source.get(), i});
    pages.insert(pages.end(), incoming.begin(), incoming.end());
    for (std::int32_t i = at + count; i <= target.source->pageCount(); ++i)
        pages.push_back({target.source.get(), i});
    rewrite(m_files, target.real, pages, formatOf(*target.source), target.source.get(), target.lock,
            options);
}

void PageEngine::deletePages(const fs::path& file, std::int32_t first, std::int32_t count,
                             const OperationOptions& options)
{
    checkCount(count);
    OperationLocks locks(options);
    Target target = openTarget(m_files, locks, file, options.expectDestination);
    checkRun(*target.source, first, count);
    if (count == target.source->pageCount()) {
        throw EngineError(ErrorKind::PageRange, "Every page of " + quoted(file) +
                                                    " cannot be deleted; a file keeps at least "
                                                    "one page. Nothing was changed.");
    }
    checkFolderWritable(target.real, file);
    std::vector<PageRef> pages;
    for (std::int32_t i = 1; i <= target.source->pageCount(); ++i) {
        if (i < first || i >= first + count)
            pages.push_back({target.source.get(), i});
    }
    rewrite(m_files, target.real, pages, formatOf(*target.source), target.source.get(), target.lock,
            options);
}

void PageEngine::arrangePages(const fs::path& file, const std::vector<PageOf>& pages,
                              const OperationOptions& options)
{
    if (pages.empty()) {
        throw EngineError(ErrorKind::PageRange, "No page is listed for " + quoted(file) +
                                                    "; a file keeps at least one page. Nothing "
                                                    "was changed.");
    }
    OperationLocks locks(options);
    Target target = openTarget(m_files, locks, file, options.expectDestination);
    std::vector<std::unique_ptr<TiffSource>> others;
    std::vector<PageRef> refs;
    refs.reserve(pages.size());
    for (const PageOf& listed : pages) {
        TiffSource* source = target.source.get();
        if (!listed.file.empty() && !isSameFile(listed.file, target.real)) {
            source = &openOther(others, listed.file, options.expectSource);
            source->select(listed.page);
        } else {
            source->checkPage(listed.page);
        }
        refs.push_back({source, listed.page});
    }
    arrange(m_files, target, refs, file, options);
}

void PageEngine::deletePages(const fs::path& file, const std::vector<std::int32_t>& pages,
                             const OperationOptions& options)
{
    OperationLocks locks(options);
    Target target = openTarget(m_files, locks, file, options.expectDestination);
    const std::int32_t count = target.source->pageCount();
    std::vector<bool> deleted(std::size_t(count) + 1, false);
    for (const std::int32_t page : pages) {
        target.source->checkPage(page);
        deleted[std::size_t(page)] = true;
    }
    std::vector<PageRef> refs;
    for (std::int32_t page = 1; page <= count; ++page) {
        if (!deleted[std::size_t(page)])
            refs.push_back({target.source.get(), page});
    }
    if (refs.empty()) {
        throw EngineError(ErrorKind::PageRange, "Every page of " + quoted(file) +
                                                    " cannot be deleted; a file keeps at least "
                                                    "one page. Nothing was changed.");
    }
    arrange(m_files, target, refs, file, options);
}

void PageEngine::extractPages(const fs::path& source, std::int32_t first, std::int32_t count,
                              const fs::path& newFile, const OperationOptions& options)
{
    checkCount(count);
    const fs::path real = realPath(newFile);
    // An existing file is replaced: it is locked like any file that is changed.
    OperationLocks locks(options);
    FileLock* lock = locks.lock(m_files, real);
    removeStaleTemporaries(real.parent_path());
    const auto opened = openAsSeen(realPath(source), options.expectSource);
    TiffSource& src = *opened;
    checkRun(src, first, count);
    refuseSameFile(real, src, newFile);
    checkNewFile(real, newFile);
    rewrite(m_files, real, readablePages(src, first, count), formatOf(src), nullptr, lock, options);
}

RotationResult PageEngine::rotatePages(const fs::path& file, std::int32_t first, std::int32_t count,
                                       int degrees, const OperationOptions& options)
{
    if (degrees != 90 && degrees != 180 && degrees != 270) {
        throw EngineError(ErrorKind::Unsupported,
                          "Pages are turned by 90, 180 or 270 degrees, not " +
                              std::to_string(degrees) + "; nothing was changed.");
    }
    checkCount(count);
    OperationLocks locks(options);
    Target target = openTarget(m_files, locks, file, options.expectDestination);
    checkRun(*target.source, first, count);
    checkFolderWritable(target.real, file);

    // One progress from the first page turned to the file written: the turns take the
    // first part, in proportion to their number, the rewrite the rest.
    constexpr std::uint64_t whole = 1u << 20;
    const std::uint64_t turning = whole * std::uint64_t(count) / (std::uint64_t(count) + 4);
    OperationOptions rewriting = options;
    if (options.progress) {
        rewriting.progress = [&](std::uint64_t done, std::uint64_t total) {
            return options.progress(turning + (total ? (whole - turning) * done / total : 0),
                                    whole);
        };
    }
    Progress progress(options, target.real);
    progress.setTotal(whole);
    std::uint64_t told = 0;
    const TurnedPages pages(
        *target.source, first, count, degrees / 90, formatOf(*target.source).bigEndian, target.real,
        [&](std::int32_t done) {
            const std::uint64_t now = turning * std::uint64_t(done) / std::uint64_t(count);
            progress.add(now - told);
            told = now;
        });
    std::vector<PageRef> all;
    for (std::int32_t i = 1; i <= target.source->pageCount(); ++i)
        all.push_back(
            {target.source.get(), i, i >= first && i < first + count ? &pages.edit(i) : nullptr});
    rewrite(m_files, target.real, all, formatOf(*target.source), target.source.get(), target.lock,
            rewriting);
    return pages.result();
}

void PageEngine::extractPages(const std::vector<PageOf>& pages, const fs::path& newFile,
                              const OperationOptions& options)
{
    if (pages.empty()) {
        throw EngineError(ErrorKind::PageRange,
                          "No page is listed for " + quoted(newFile) + "; nothing was written.");
    }
    const fs::path real = realPath(newFile);
    OperationLocks locks(options);
    FileLock* lock = locks.lock(m_files, real);
    removeStaleTemporaries(real.parent_path());
    std::vector<std::unique_ptr<TiffSource>> sources;
    std::vector<PageRef> refs;
    refs.reserve(pages.size());
    for (const PageOf& listed : pages) {
        TiffSource& source = openOther(sources, listed.file, options.expectSource);
        refuseSameFile(real, source, newFile);
        source.select(listed.page);
        refs.push_back({&source, listed.page});
    }
    checkNewFile(real, newFile);
    rewrite(m_files, real, refs, formatOf(*refs.front().source), nullptr, lock, options);
}

void PageEngine::removeStaleTemporaries(const fs::path& folder)
{
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec), end;
         !ec && it != end; it.increment(ec)) {
        long processId = 0;
        const std::string name = it->path().filename().string();
        if (!isTemporaryName(name, &processId) || processId == long(::getpid()))
            continue;
        if (processIsGone(processId))
            FileLayer::system().remove(it->path());
    }
}

} // namespace tessary
