#pragma once

#include "LibtiffHandle.h"
#include "ReadableFile.h"
#include "TiffStructure.h"

#include <cstdint>
#include <filesystem>
#include <memory>

namespace tessary {

// One TIFF file open for reading, as documents and page operations share it: the open
// file, its layout, its chain of pages and, when first needed, a libtiff handle on it.
class TiffSource
{
public:
    // Opens path and reads its chain of pages, keeping what it read of the file when
    // keepDirectories says that the pages' directories will be read (reader()). Throws
    // EngineError naming the file: NotFound, NotTiff, Damaged (no page can be reached),
    // ReadOnly, Io.
    explicit TiffSource(const std::filesystem::path& path, bool keepDirectories = true);

    const std::filesystem::path& path() const { return m_file.path(); }
    const ReadableFile& file() const { return m_file; }
    const tiff::Reader& reader() const { return m_reader; }
    const tiff::Chain& chain() const { return m_chain; }
    std::int32_t pageCount() const { return std::int32_t(m_chain.pages.size()); }

    LibtiffHandle& handle();
    // Makes page (from 1) current in libtiff; throws EngineError (Damaged) naming the page
    // when libtiff cannot read its directory.
    void select(std::int32_t page);
    // Throws EngineError (PageRange) naming the file when page is not one of its pages.
    void checkPage(std::int32_t page) const;

private:
    ReadableFile m_file;
    tiff::Reader m_reader;
    tiff::Chain m_chain;
    std::unique_ptr<LibtiffHandle> m_libtiff;
};

} // namespace tessary
