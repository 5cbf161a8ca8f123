#pragma once

#include "PageCopier.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tessary {

class TiffSource;

// What turning pages did beyond turning their image data: the pages whose data could not
// be turned without loss, whose turn is recorded in their Orientation tag instead.
struct RotationResult
{
    enum class Reason
    {
        JpegPartialBlocks, // JPEG data that does not end on whole blocks where the turn moves it
        JpegUnreadable,    // JPEG data that cannot be turned without compressing it again
        Compression,       // a compression that cannot be written again without loss
        Subsampled,        // colour stored subsampled (YCbCr) other than in JPEG data
        Damaged,           // image data that cannot be decoded whole
        TooLarge,          // a page too large to be turned in memory
    };
    struct Recorded
    {
        std::int32_t page = 0;
        Reason reason = Reason::Compression;
        std::uint16_t compression = 0;
    };
    std::vector<Recorded> byOrientation;
    // Sentences for the user naming the file, the pages and why; "" when every page was
    // turned in its data.
    std::string message;
};

// Pages of one file turned as they are seen (their Orientation tag applied) by quarter
// turns clockwise, and stored upright, planned for a copy of the file (PageEdit):
//  - JPEG data is turned in the DCT domain (JpegTurn.h), never compressed again;
//  - data in a compression that can be written again without loss (none, CCITT RLE, G3 and
//    G4, LZW, Deflate, PackBits, JBIG, LZMA, ZSTD, lossless WebP) is decoded, turned and
//    encoded again with the page's compression, predictor, fill order, samples, planes and
//    strips or tiles of a like size; data of a codec whose exact round trip the tests do
//    not prove is decoded once more and must give exactly the turned pixels;
//  - any other page keeps its data, and its turn is recorded in its Orientation tag.
// Width and length, for a quarter turn the x and y resolution and the tile size, the
// strips, the rows per strip, the Orientation (1 when the page has the tag) and the
// sampling of JPEG data in YCbCr are what changes; every other tag stays as it is.
// The turned data lives in scratch files beside the target, unlinked once they are open.
class TurnedPages
{
public:
    // Turns count pages of source, from first, for a copy into a file of the given byte
    // order beside target, on two threads where there are two cores. progress is told
    // how many pages are turned, on the calling thread, and may throw to stop. Throws
    // EngineError: Damaged (a page whose directory cannot be read), Io (a scratch file
    // cannot be written).
    TurnedPages(TiffSource& source, std::int32_t first, std::int32_t count, int quarterTurns,
                bool bigEndian, const std::filesystem::path& target,
                const std::function<void(std::int32_t done)>& progress = {});
    ~TurnedPages();
    TurnedPages(const TurnedPages&) = delete;
    TurnedPages& operator=(const TurnedPages&) = delete;

    // How page (one of those turned) is copied.
    const PageEdit& edit(std::int32_t page) const { return m_edits.at(page); }
    const RotationResult& result() const { return m_result; }

    // The scratch file of one thread, open for reading.
    struct Turned;

private:
    std::map<std::int32_t, PageEdit> m_edits;
    RotationResult m_result;
    std::vector<std::unique_ptr<Turned>> m_turned;
};

} // namespace tessary
