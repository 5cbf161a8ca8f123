#pragma once

#include "PageCopier.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

namespace tessary {

class ReadableFile;
class WritableFile;

// The disk a file is written to: which one, and the block size at which its file system
// shares or copies data between files.
struct Disk
{
    std::uint64_t volume = 0; // FileStamp::volume
    // A power of two from 512 to 64 KiB; 1 where the file system tells none that fits.
    std::uint64_t blockSize = 1;

    // The disk that holds folder; blockSize 1 when it cannot be asked.
    static Disk of(const std::filesystem::path& folder);
};

// Where the pages of a rewritten file go: the header, then the pages' image data run by
// run, in page order, then every page's directories and tag values. Each run of data from
// a file on the same disk starts at an offset congruent with its offset in that file
// modulo the block size (behind up to a block less one of unused bytes), so that a file
// system that shares blocks between files (XFS, btrfs) shares them instead of copying,
// and one that does not copies them in the kernel. Runs of one file that follow each other
// there are copied as one piece when what lies between them is under a block and holds
// nothing but zeros and the bytes of pages that are in the new file; the bytes of every
// other page (deleted, replaced, or not extracted) never reach the new file.
//
// The unused bytes stay under a block per run, whatever the history of the file. When
// they would pass 1% of the file or one block per page, whichever is larger (a file whose
// pages are scattered in many runs), the data is packed instead: the file is compacted.
class RewriteLayout
{
public:
    // Moves the directories and data of plans, planned for a file of format on disk, to
    // their places; the plans must outlive the layout.
    RewriteLayout(std::vector<PagePlan>& plans, const OutputFormat& format, const Disk& disk);

    // The size of the file.
    std::uint64_t size() const { return m_size; }
    // False when the data is packed.
    bool aligned() const { return m_aligned; }

    // Copies the pages' image data into out, telling progress the bytes copied. Throws
    // std::system_error as the file layer does.
    void copyData(WritableFile& out, const std::function<void(std::uint64_t)>& progress) const;

private:
    struct Piece
    {
        const ReadableFile* file = nullptr;
        std::uint64_t sourceOffset = 0;
        std::uint64_t size = 0;
        std::uint64_t position = 0;
        std::uint64_t blockSize = 1;
    };

    std::uint64_t placeData(std::vector<PagePlan>& plans, std::uint64_t start, bool aligned);
    void collectFootprints(const std::vector<PagePlan>& plans);
    bool onlyKeptBytes(const ReadableFile& file, std::uint64_t from, std::uint64_t to) const;

    const Disk m_disk;
    std::uint64_t m_size = 0;
    bool m_aligned = false;
    std::vector<Piece> m_pieces;
    // Per source file, the sorted, merged footprints of the pages taken from it.
    std::vector<std::pair<const ReadableFile*, std::vector<PagePlan::Extent>>> m_kept;
    // The readers of the pages' files, which hold in memory what they read of them.
    std::vector<const tiff::Reader*> m_readers;
};

} // namespace tessary
