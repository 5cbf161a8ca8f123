#include "TiffSource.h"

#include "EngineError.h"
#include "Messages.h"

namespace tessary {

namespace {

tiff::Reader readLayout(const ReadableFile& file)
{
    try {
        return tiff::Reader(file);
    } catch (const tiff::StructureError& e) {
        if (file.size() == 0)
            throw EngineError(ErrorKind::NotTiff, quoted(file.path()) + " is empty.");
        throw EngineError(ErrorKind::NotTiff,
                          quoted(file.path()) + " is not a TIFF file: " + e.what() + ".");
    }
}

} // namespace

TiffSource::TiffSource(const std::filesystem::path& path, bool keepDirectories)
    : m_file(path)
    , m_reader(readLayout(m_file))
    , m_chain(m_reader.readChain(10000000, keepDirectories))
{
    if (m_chain.pages.empty()) {
        if (m_chain.complete)
            throw EngineError(ErrorKind::Damaged, quoted(path) + " holds no pages.");
        throw EngineError(ErrorKind::Damaged,
                          quoted(path) + " is damaged: " + m_chain.problem + ".");
    }
    if (m_chain.pages.size() > 0x7fffffff)
        throw EngineError(ErrorKind::Unsupported, quoted(path) + " has too many pages.");
}

LibtiffHandle& TiffSource::handle()
{
    if (!m_libtiff)
        m_libtiff = std::make_unique<LibtiffHandle>(m_file, &m_reader);
    return *m_libtiff;
}

void TiffSource::checkPage(std::int32_t page) const
{
    if (page < 1 || page > pageCount()) {
        throw EngineError(ErrorKind::PageRange, quoted(path()) + " has no page " +
                                                    std::to_string(page) + "; it has " +
                                                    std::to_string(pageCount()) + " page(s).");
    }
}

void TiffSource::select(std::int32_t page)
{
    checkPage(page);
    LibtiffHandle& h = handle();
    h.clearErrors();
    if (!h.selectDirectory(m_chain.pages[std::size_t(page - 1)])) {
        const std::string reason = h.firstError();
        throw EngineError(ErrorKind::Damaged, capitalized(pageOf(page, path())) + " is damaged" +
                                                  (reason.empty() ? "" : " (" + reason + ")") +
                                                  ".");
    }
}

} // namespace tessary
