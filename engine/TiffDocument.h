#pragma once

#include "FileStamp.h"
#include "PageImage.h"
#include "PageInfo.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tessary {

struct DecodeLimits
{
    // The largest decoded page, in bytes, that decode() will allocate. The engine never
    // allocates more than 256 MiB at once, so a larger value counts as 256 MiB.
    std::uint64_t maxDecodedBytes = 512u << 20;
    // What to do with a page over that limit: false refuses it (ErrorKind::TooLarge);
    // true decodes it shrunk by the smallest whole factor that fits, each pixel the
    // average of a block of the page's pixels, reading the page a band at a time so that
    // memory stays within the limit (PageImage::scale tells the factor).
    bool scaleToFit = false;
};

// A TIFF file opened for reading: its pages, their facts and their decoded images.
// The file stays open, so turning to any page costs the same; it is read by position and
// never memory-mapped. One thread at a time may use a document.
class TiffDocument
{
public:
    // Opens path and reads its list of pages. everyPage says that the facts of most pages
    // will be asked for (pageInfo): the directories read with the list are then kept for
    // them instead of being read again; a document shown page by page keeps nothing.
    // Throws EngineError: NotFound, NotTiff (not a TIFF file, empty), Damaged (no page can
    // be reached), ReadOnly (no permission to read), Io. The message names the file.
    static std::unique_ptr<TiffDocument> open(const std::filesystem::path& path,
                                              bool everyPage = false);
    ~TiffDocument();

    const std::filesystem::path& path() const;
    std::int32_t pageCount() const;
    // False when the list of pages breaks off (a loop, a pointer past the end): the pages
    // before the damage can be read, but the file must never be rewritten.
    bool complete() const;
    // Why the list of pages breaks off, as a sentence naming the file; "" when complete.
    std::string pageListProblem() const;
    bool bigTiff() const;
    bool bigEndian() const;
    // The file's identity and version when it was opened.
    const FileStamp& stamp() const;
    // True when the file on disk is no longer what was opened (replaced, rewritten,
    // truncated or removed).
    bool changedOnDisk() const;

    // The facts of page (from 1), as its directory states them; nothing else of the page is
    // read, so a page with facts may still be refused by decode(). Throws EngineError:
    // PageRange, Damaged (its directory cannot be read, or states no size).
    PageInfo pageInfo(std::int32_t page) const;
    // Decodes page (from 1) upright. Throws EngineError: PageRange, Damaged (nothing of it
    // can be decoded), TooLarge (over limits.maxDecodedBytes and not to be scaled, or too
    // large even scaled down; nothing is allocated), Unsupported (a kind of page that
    // cannot be shown). When only part of the page decodes, the rest is white and damage,
    // if given, receives a sentence saying so.
    PageImage decode(std::int32_t page, const DecodeLimits& limits = {},
                     std::string* damage = nullptr) const;

    // Where page's directory starts in the file.
    std::uint64_t directoryOffset(std::int32_t page) const;

private:
    struct Impl;
    explicit TiffDocument(std::unique_ptr<Impl> impl);
    void checkPage(std::int32_t page) const;

    std::unique_ptr<Impl> m_impl;
};

} // namespace tessary
