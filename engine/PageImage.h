#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessary {

// One page decoded for display, upright (the page's orientation applied), rows top to
// bottom without padding.
struct PageImage
{
    enum class Format
    {
        Grey8, // one byte a pixel, 0 black, 255 white
        Rgba8, // four bytes a pixel: red, green, blue, alpha; colour premultiplied by alpha
    };

    Format format = Format::Grey8;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> pixels;
    // Each pixel stands for scale × scale pixels of the page (1: the page at full size).
    std::uint32_t scale = 1;
    // The resolution of the image as decoded: the page's own divided by scale; 0 when the
    // page states none.
    double xDpi = 0;
    double yDpi = 0;

    std::size_t bytesPerPixel() const { return format == Format::Grey8 ? 1 : 4; }
    std::size_t stride() const { return std::size_t(width) * bytesPerPixel(); }
    const std::uint8_t* row(std::uint32_t y) const { return pixels.data() + y * stride(); }
};

} // namespace tessary
