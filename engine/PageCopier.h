#pragma once

#include "TiffStructure.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace tessary {

class ReadableFile;
class WritableFile;

// The kernel copies between files a pipe's worth (64 KiB) at a time from where each call
// starts, and the page cache of a file system that copies (ext4) takes each piece whole
// only where it starts on a multiple of its size; elsewhere it takes it a page at a time,
// which makes the copy and its sync half as slow again. Copies are cut at such a
// multiple of the file written.
inline constexpr std::uint64_t pageCacheUnit = 64u << 10;

// The form of the file a page is copied into.
struct OutputFormat
{
    bool bigEndian = false;
    bool bigTiff = false;

    unsigned headerSize() const { return bigTiff ? 16 : 8; }
};

// A tag of a page's own directory given another value as the page is copied.
struct TagChange
{
    std::uint16_t tag = 0;
    // Short or Long; with numbers, the tag takes them (added where the page lacks it).
    std::uint16_t type = 0;
    std::vector<std::uint64_t> numbers;
    // Without numbers: the value the page's tag valueOf has, as stored; the tag is left out
    // where the page lacks valueOf, or where valueOf is 0.
    std::uint16_t valueOf = 0;
};

// How a page is copied otherwise than as it is stored: its strips or tiles (and their
// counts) taken from the directory at imageDirectory of imageData, when set (the page's
// data encoded anew elsewhere), and tags of its own directory changed.
struct PageEdit
{
    const tiff::Reader* imageData = nullptr;
    std::uint64_t imageDirectory = 0;
    std::vector<TagChange> changes;
};

// A copy of one page, planned before anything is written: every directory of the page
// (its own and the ones it points to: SubIFDs, EXIF, GPS, interoperability), every tag
// value and every block of image data, with the place each will have in the new file.
// The image data is copied as it is stored, never decoded; tags keep their values,
// converted only where the new file's byte order or kind (classic or BigTIFF) demands.
class PagePlan
{
public:
    // Plans the page whose directory is at directoryOffset of source, to be written at
    // start. Throws tiff::StructureError when the page's directory or data cannot be read.
    PagePlan(const tiff::Reader& source, std::uint64_t directoryOffset, std::uint64_t start,
             const OutputFormat& format);
    // The same, but the page's own strips or tiles (and their counts) are taken from the
    // directory at imageDirectory of imageData: the page's data re-encoded elsewhere.
    PagePlan(const tiff::Reader& source, std::uint64_t directoryOffset, std::uint64_t start,
             const OutputFormat& format, const tiff::Reader& imageData,
             std::uint64_t imageDirectory);
    // The same, edited as edit says.
    PagePlan(const tiff::Reader& source, std::uint64_t directoryOffset, std::uint64_t start,
             const OutputFormat& format, const PageEdit& edit);

    // A piece of the page's image data: blocks that touch or overlap in their file, copied
    // as one run of bytes to position.
    struct Run
    {
        const ReadableFile* file = nullptr;
        std::uint64_t sourceOffset = 0;
        std::uint64_t size = 0;
        std::uint64_t position = 0;
    };
    // A range of bytes of the page's source file.
    struct Extent
    {
        std::uint64_t offset = 0;
        std::uint64_t size = 0;
    };

    std::uint64_t start() const { return m_start; }
    // Bytes the page takes, from start, as planned (its image data right behind its
    // directories); the next page may begin at start() + size().
    std::uint64_t size() const { return m_size; }
    // Bytes of the page's directories and tag values, from start.
    std::uint64_t metadataSize() const { return m_metadataSize; }
    const std::vector<Run>& runs() const { return m_runs; }
    // The page's own directories and the tag values they point to, in source().file():
    // bytes of the page itself, which a copy may carry along where they lie between runs.
    const std::vector<Extent>& footprint() const { return m_footprint; }
    const tiff::Reader& source() const { return m_source; }

    // Lays the page out anew: its directories and tag values from start, and run index at
    // position. Neither may overlap what else the file holds.
    void moveDirectories(std::uint64_t start);
    void moveRun(std::size_t index, std::uint64_t position);
    // Bytes of image data copied as they are.
    std::uint64_t dataSize() const { return m_dataSize; }
    // True when the page cannot be written into a classic TIFF (values too large).
    bool needsBigTiff() const { return m_needsBigTiff; }
    // True when the page's stored samples mean different numbers in the other byte order,
    // so its data would have to be re-encoded to be copied into the planned format.
    bool dataDependsOnByteOrder() const { return m_byteOrderDependent; }
    // True when a sub-directory of the page (an overview, a thumbnail) holds such data.
    bool subImageDependsOnByteOrder() const { return m_subImageByteOrderDependent; }

    // Writes the page; next is the directory offset of the page that follows, or 0.
    // progress, when set, is told the bytes written as the copy goes on.
    void write(WritableFile& out, std::uint64_t next,
               const std::function<void(std::uint64_t)>& progress = {}) const;
    // Writes the page's directories and tag values only; its runs are the caller's to copy.
    void writeDirectories(WritableFile& out, std::uint64_t next,
                          const std::function<void(std::uint64_t)>& progress = {}) const;
    // The same into buffer, which holds metadataSize() bytes, zeroed.
    void encodeDirectories(std::uint8_t* buffer, std::uint64_t next) const;

private:
    enum class Kind
    {
        Raw,        // bytes of the source value, byte-swapped when the orders differ
        Numbers,    // explicit whole numbers
        Blocks,     // offsets of data blocks
        Directories // offsets of directories
    };

    struct PlannedEntry
    {
        std::uint16_t tag = 0;
        std::uint16_t type = 0;
        std::uint64_t count = 0;
        Kind kind = Kind::Raw;
        tiff::Entry source;
        std::vector<std::uint64_t> values; // numbers, or block / directory indexes
        std::uint64_t valuePosition = 0;   // where an out-of-line value goes; 0 inline
    };

    struct PlannedDirectory
    {
        std::vector<PlannedEntry> entries;
        long nextDirectory = -1;
        std::uint64_t position = 0;
    };

    struct Block
    {
        const ReadableFile* file = nullptr;
        std::uint64_t sourceOffset = 0;
        std::uint64_t size = 0;
        std::size_t run = 0; // the run that holds it
    };

    long addDirectory(std::uint64_t offset, int depth, bool mainDirectory);
    void addImageData(const tiff::Directory& dir, std::uint16_t offsetsTag, std::uint16_t countsTag,
                      bool mainDirectory, PlannedDirectory& planned);
    void addDirectoryPointers(const tiff::Entry& entry, int depth, PlannedDirectory& planned);
    void addJpegTables(const tiff::Entry& entry, const tiff::Directory& dir,
                       PlannedDirectory& planned);
    void addRaw(const tiff::Entry& entry, PlannedDirectory& planned);
    void applyChanges(const tiff::Directory& dir, PlannedDirectory& planned);
    std::size_t addBlock(const ReadableFile& file, std::uint64_t offset, std::uint64_t size);
    std::uint16_t widthFor(std::uint16_t sourceType, const std::vector<std::uint64_t>& values);
    void layOut();
    std::uint64_t layOutDirectories();
    std::uint64_t align(std::uint64_t position) const;
    // Bytes of the source at hand at once, from start: kept by the source's reader, or read.
    struct ValueWindow
    {
        std::uint64_t start = 0;
        std::span<const std::uint8_t> bytes;
        std::vector<std::uint8_t> owned;
    };
    // The page's tag values that lie out of its directory entries, when they span little.
    void valueWindow(ValueWindow& window) const;
    void encodeValue(const PlannedEntry& entry, std::uint8_t* out, const ValueWindow& window) const;

    const tiff::Reader& m_source;
    OutputFormat m_format;
    std::uint64_t m_start;
    std::uint64_t m_size = 0;
    std::uint64_t m_dataSize = 0;
    std::uint64_t m_metadataSize = 0;
    std::size_t m_entryCount = 0;
    bool m_needsBigTiff = false;
    bool m_byteOrderDependent = false;
    bool m_subImageByteOrderDependent = false;
    const tiff::Reader* m_imageData = nullptr;
    std::uint64_t m_imageDirectory = 0;
    std::vector<TagChange> m_changes;
    std::vector<PlannedDirectory> m_directories;
    std::vector<std::uint64_t> m_visited;
    std::vector<Block> m_blocks;
    std::vector<Run> m_runs;
    std::vector<Extent> m_footprint;
};

} // namespace tessary
