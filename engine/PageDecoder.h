#pragma once

#include "EngineError.h"
#include "PageImage.h"

#include <cstdint>
#include <string>

namespace tessary {

class LibtiffHandle;

// Decodes the current directory of a libtiff handle into an upright image.
class PageDecoder
{
public:
    // Pages whose decoded size exceeds maxDecodedBytes (or the engine's cap on any one
    // allocation) are refused, or, with scaleToFit, decoded shrunk so that they fit.
    PageDecoder(LibtiffHandle& handle, std::uint64_t maxDecodedBytes, bool scaleToFit = false);

    // Returns the page; when parts of it could not be decoded, the image holds what could
    // be, and damage() says what went wrong. Throws EngineError (TooLarge, Unsupported,
    // Damaged) with a reason that names no file: the caller adds which page of which file.
    PageImage decode();
    const std::string& damage() const { return m_damage; }

private:
    // Reads the page's strips or tiles as stored (1- or 8-bit grey, 8-bit RGB) into format.
    PageImage decodeNative(PageImage::Format format);
    PageImage decodeWithRgbaReader(bool grey);
    // Decodes the page shrunk by a whole factor so that the result takes at most limit
    // bytes: row by row for pages read natively in strips, else in bands of rows through
    // libtiff's RGBA reader.
    PageImage decodeScaled(bool native, bool grey, std::uint64_t limit);
    PageImage scaleScanlines(bool grey, std::uint32_t factor);
    PageImage scaleWithRgbaReader(bool grey, std::uint32_t factor);
    std::uint32_t scaleFactor(unsigned bytesPerPixel, std::uint64_t limit) const;
    [[noreturn]] void tooLarge(const std::string& why) const;
    void noteDamage();
    void orient(PageImage& image) const;

    LibtiffHandle& m_handle;
    std::uint64_t m_maxDecodedBytes;
    bool m_scaleToFit;
    std::uint32_t m_width = 0;
    std::uint32_t m_height = 0;
    std::uint16_t m_bits = 1;
    std::uint16_t m_samples = 1;
    std::uint16_t m_photometric = 0;
    std::uint16_t m_planar = 1;
    std::uint16_t m_sampleFormat = 1;
    std::uint16_t m_orientation = 1;
    std::uint16_t m_compression = 1;
    std::uint16_t m_extraSamples = 0;
    std::string m_damage;
};

} // namespace tessary
