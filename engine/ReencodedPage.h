#pragma once

#include "ReadableFile.h"
#include "TiffStructure.h"

#include <cstdint>
#include <filesystem>
#include <memory>

namespace tessary {

class TiffSource;

// The image data of one page decoded and encoded again, with the same compression and
// layout, in the other byte order: for pages whose samples (16-bit and wider, without a
// byte-stream codec) would change their meaning if their stored bytes were copied into a
// file of the other byte order. Only lossless codecs are re-encoded, so the pixels stay
// exactly the same. The data lives in a scratch file beside the target, written through
// libtiff and unlinked as soon as it is open for reading.
class ReencodedPage
{
public:
    // Throws EngineError: Unsupported (a codec that cannot encode losslessly), Damaged
    // (the page cannot be decoded), Io (the scratch file cannot be written).
    ReencodedPage(TiffSource& source, std::int32_t page, bool bigEndian,
                  const std::filesystem::path& target);
    ~ReencodedPage();
    ReencodedPage(const ReencodedPage&) = delete;
    ReencodedPage& operator=(const ReencodedPage&) = delete;

    const tiff::Reader& reader() const { return *m_reader; }
    std::uint64_t directory() const { return m_reader->header().firstIfd; }

private:
    std::unique_ptr<ReadableFile> m_file;
    std::unique_ptr<tiff::Reader> m_reader;
};

} // namespace tessary
