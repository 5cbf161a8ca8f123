#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessary {

// One of the eight ways a page can lie: a turn by quarters, possibly mirrored. Read as
// where each pixel of the result comes from: result (x, y) is the pixel of the original at
// row r and column c, where (r, c) is (x, y) when transposed and (y, x) otherwise, then
// mirrored: r counted from the bottom with mirrorRows, c from the right with mirrorColumns.
struct Turn
{
    bool transpose = false;
    bool mirrorRows = false;
    bool mirrorColumns = false;

    // The turn a TIFF Orientation value (1 to 8; others count as 1) asks a viewer to make
    // to show the stored image upright.
    static Turn ofOrientation(std::uint16_t orientation);
    // A turn clockwise by quarter turns (any whole number, negative ones anticlockwise).
    static Turn clockwise(int quarters);
    // The Orientation value that asks for this turn.
    std::uint16_t orientation() const;
    // This turn, then next.
    Turn then(const Turn& next) const;
    bool isIdentity() const { return !transpose && !mirrorRows && !mirrorColumns; }
    friend bool operator==(const Turn&, const Turn&) = default;
};

// An image of pixels of `bits` bits each (1 to 64, or any multiple of 8), packed from the
// most significant bit, rows `stride` bytes apart.
struct Raster
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    unsigned bits = 8;
    std::size_t stride = 0;
    std::vector<std::uint8_t> bytes;

    static std::size_t strideFor(std::uint32_t width, unsigned bits)
    {
        return (std::size_t(width) * bits + 7) / 8;
    }
};

// The part width by height at the top left of in, turned: a raster of the turned size
// whose rows are outStride bytes apart (0: as narrow as they can be), with every bit that
// no pixel fills cleared. Exact for every pixel size.
Raster turned(const Raster& in, std::uint32_t width, std::uint32_t height, const Turn& turn,
              std::size_t outStride = 0);

} // namespace tessary
