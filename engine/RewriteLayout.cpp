#include "RewriteLayout.h"

#include "FileLayer.h"
#include "ReadableFile.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/statvfs.h>
#endif

namespace tessary {

namespace {

// Bytes copied in one call: a disk that copies takes well under a second for them, so that
// progress moves and a request to stop is heard; one that shares takes a fraction of a
// millisecond per call.
constexpr std::uint64_t copyChunk = 64u << 20;

// The smallest position from `from` on that is congruent with sourceOffset modulo unit.
std::uint64_t congruent(std::uint64_t from, std::uint64_t sourceOffset, std::uint64_t unit)
{
    return from + (sourceOffset % unit + unit - from % unit) % unit;
}

} // namespace

#ifdef _WIN32

// The disk's cluster, which a file's data is laid out in.
Disk Disk::of(const std::filesystem::path& folder)
{
    Disk disk;
    std::error_code ec;
    const std::filesystem::path at = std::filesystem::absolute(folder.empty() ? "." : folder, ec);
    const auto stamp = FileStamp::of(at);
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusters = 0;
    DWORD clusters = 0;
    if (!stamp || ec ||
        !::GetDiskFreeSpaceW(at.root_path().c_str(), &sectorsPerCluster, &bytesPerSector,
                             &freeClusters, &clusters))
        return disk;
    disk.volume = stamp->volume;
    const std::uint64_t size = std::uint64_t(sectorsPerCluster) * bytesPerSector;
    if (size >= 512 && size <= (64u << 10) && (size & (size - 1)) == 0)
        disk.blockSize = size;
    return disk;
}

#else

Disk Disk::of(const std::filesystem::path& folder)
{
    Disk disk;
    const char* path = folder.empty() ? "." : folder.c_str();
    const auto stamp = FileStamp::of(path);
    struct statvfs vfs
    {};
    if (!stamp || ::statvfs(path, &vfs) != 0)
        return disk;
    disk.volume = stamp->volume;
    const std::uint64_t size = vfs.f_bsize;
    if (size >= 512 && size <= (64u << 10) && (size & (size - 1)) == 0)
        disk.blockSize = size;
    return disk;
}

#endif

RewriteLayout::RewriteLayout(std::vector<PagePlan>& plans, const OutputFormat& format,
                             const Disk& disk)
    : m_disk(disk)
{
    std::uint64_t metadata = 0;
    for (const PagePlan& plan : plans)
        metadata += plan.metadataSize() + 8; // each page's directories start on a word
    const std::uint64_t start = format.headerSize();
    const std::uint64_t packed = placeData(plans, start, false);
    if (m_disk.blockSize > 1) {
        const std::uint64_t aligned = placeData(plans, start, true);
        const std::uint64_t allowed =
            std::max<std::uint64_t>((packed + metadata) / 100, m_disk.blockSize * plans.size());
        m_aligned =
            aligned - packed <= allowed && (format.bigTiff || aligned + metadata <= 0xffffffffu);
    }
    std::uint64_t position = placeData(plans, start, m_aligned);
    for (PagePlan& plan : plans) {
        plan.moveDirectories(position);
        position = plan.start() + plan.metadataSize();
    }
    m_size = position;
    if (m_aligned)
        collectFootprints(plans);
    for (const PagePlan& plan : plans) {
        if (std::find(m_readers.begin(), m_readers.end(), &plan.source()) == m_readers.end())
            m_readers.push_back(&plan.source());
    }

    for (const PagePlan& plan : plans) {
        for (const PagePlan::Run& run : plan.runs()) {
            const std::uint64_t unit =
                m_aligned && run.file->stamp().volume == m_disk.volume ? m_disk.blockSize : 1;
            if (!m_pieces.empty()) {
                // Copied together with the piece before when the bytes in between go along.
                Piece& last = m_pieces.back();
                const std::uint64_t sourceEnd = last.sourceOffset + last.size;
                const std::uint64_t end = last.position + last.size;
                if (last.file == run.file && run.sourceOffset >= sourceEnd && run.position >= end &&
                    run.sourceOffset - sourceEnd == run.position - end &&
                    (run.position == end ||
                     (run.position - end < unit &&
                      onlyKeptBytes(*run.file, sourceEnd, run.sourceOffset)))) {
                    last.size = run.position + run.size - last.position;
                    continue;
                }
            }
            m_pieces.push_back({run.file, run.sourceOffset, run.size, run.position, unit});
        }
    }
}

std::uint64_t RewriteLayout::placeData(std::vector<PagePlan>& plans, std::uint64_t start,
                                       bool aligned)
{
    std::uint64_t end = start;
    for (PagePlan& plan : plans) {
        for (std::size_t i = 0; i < plan.runs().size(); ++i) {
            const PagePlan::Run& run = plan.runs()[i];
            const std::uint64_t unit =
                aligned && run.file->stamp().volume == m_disk.volume ? m_disk.blockSize : 1;
            const std::uint64_t position = congruent(end, run.sourceOffset, unit);
            plan.moveRun(i, position);
            end = position + run.size;
        }
    }
    return end;
}

void RewriteLayout::collectFootprints(const std::vector<PagePlan>& plans)
{
    auto listOf = [this](const ReadableFile* file) -> std::vector<PagePlan::Extent>& {
        for (auto& [f, list] : m_kept) {
            if (f == file)
                return list;
        }
        return m_kept.emplace_back(file, std::vector<PagePlan::Extent>()).second;
    };
    for (const PagePlan& plan : plans) {
        auto& own = listOf(&plan.source().file());
        own.insert(own.end(), plan.footprint().begin(), plan.footprint().end());
        for (const PagePlan::Run& run : plan.runs())
            listOf(run.file).push_back({run.sourceOffset, run.size});
    }
    for (auto& [file, list] : m_kept) {
        std::sort(list.begin(), list.end(),
                  [](const auto& a, const auto& b) { return a.offset < b.offset; });
        std::vector<PagePlan::Extent> merged;
        for (const PagePlan::Extent& e : list) {
            if (!merged.empty() && e.offset <= merged.back().offset + merged.back().size) {
                PagePlan::Extent& m = merged.back();
                m.size = std::max(m.offset + m.size, e.offset + e.size) - m.offset;
            } else if (e.size > 0) {
                merged.push_back(e);
            }
        }
        list = std::move(merged);
    }
}

bool RewriteLayout::onlyKeptBytes(const ReadableFile& file, std::uint64_t from,
                                  std::uint64_t to) const
{
    static const std::vector<PagePlan::Extent> none;
    const std::vector<PagePlan::Extent>* kept = &none;
    for (const auto& [f, list] : m_kept) {
        if (f == &file)
            kept = &list;
    }
    std::vector<std::uint8_t> bytes;
    auto it = std::upper_bound(kept->begin(), kept->end(), from,
                               [](std::uint64_t at, auto& e) { return at < e.offset + e.size; });
    for (std::uint64_t at = from; at < to;) {
        if (it != kept->end() && it->offset <= at) {
            at = std::min(to, it->offset + it->size);
            ++it;
            continue;
        }
        // Bytes no kept page claims: they go along only when they hold nothing. (They are
        // mostly the padding in front of a page's directory, which its reader holds.)
        const std::uint64_t end = it == kept->end() ? to : std::min(to, it->offset);
        const std::uint8_t* held = nullptr;
        for (const tiff::Reader* reader : m_readers) {
            if (&reader->file() == &file && (held = reader->kept(at, end - at)))
                break;
        }
        if (!held) {
            bytes.resize(std::size_t(end - at));
            if (!file.readAt(at, bytes.data(), bytes.size()))
                return false;
            held = bytes.data();
        }
        if (std::any_of(held, held + (end - at), [](std::uint8_t b) { return b != 0; }))
            return false;
        at = end;
    }
    return true;
}

void RewriteLayout::copyData(WritableFile& out,
                             const std::function<void(std::uint64_t)>& progress) const
{
    for (const Piece& piece : m_pieces) {
        // Up to the source's next block boundary first, so that the rest starts on one in
        // both files, as a file system needs to share the blocks; then up to the new file's
        // next multiple of the page cache's unit, which keeps them so.
        const std::uint64_t head =
            (piece.blockSize - piece.sourceOffset % piece.blockSize) % piece.blockSize;
        const std::uint64_t lead =
            head + (pageCacheUnit - (piece.position + head) % pageCacheUnit) % pageCacheUnit;
        for (std::uint64_t done = 0; done < piece.size;) {
            const std::uint64_t cut = done < head ? head : done < lead ? lead : done + copyChunk;
            const std::uint64_t chunk = std::min(cut, piece.size) - done;
            out.copyFrom(*piece.file, piece.sourceOffset + done, chunk, piece.position + done);
            done += chunk;
            if (progress)
                progress(chunk);
        }
    }
}

} // namespace tessary
