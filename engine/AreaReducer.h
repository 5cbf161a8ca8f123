#pragma once

#include "PageImage.h"

#include <cstdint>
#include <vector>

namespace tessary {

// Shrinks an image by a whole factor as its rows arrive, top to bottom: each pixel of the
// result is the average of a factor × factor block of the source (blocks at the right and
// bottom edges average the pixels they have). Only one row of sums is kept, so a page far
// too large to hold in memory shrinks in the memory of its result.
class AreaReducer
{
public:
    // The result is format (Grey8 or Rgba8), ceil(width / factor) by ceil(height / factor).
    AreaReducer(PageImage::Format format, std::uint32_t width, std::uint32_t height,
                std::uint32_t factor);

    // Adds the next source row of channels bytes a pixel. Rgba8 results take three (red,
    // green, blue; opaque) or four (with alpha); Grey8 results take the first of each
    // pixel's bytes.
    void addRow(const std::uint8_t* row, unsigned channels);
    // Adds the next row of a bilevel source, eight pixels a byte, the first in the highest
    // bit; a set bit is white, or black when minIsWhite. Grey8 results only.
    void addBilevelRow(const std::uint8_t* bits, bool minIsWhite);
    // Adds a white row, for a source row that could not be read.
    void addWhiteRow();
    // Completes the last block of rows and hands over the result.
    PageImage finish();

private:
    void addUniform(const std::uint8_t* pixel, unsigned channels);
    void rowDone();
    void flush();

    PageImage m_image;
    std::uint32_t m_width;
    std::uint32_t m_height;
    std::uint32_t m_factor;
    unsigned m_channels;
    std::uint32_t m_row = 0;         // source rows added
    std::uint32_t m_rowsInBlock = 0; // of the block of rows being summed
    std::vector<std::uint64_t> m_sums;
    // Bilevel rows: the set bits of each block over the block's rows, and how each byte of a
    // row falls into blocks (planBytes).
    struct BytePart
    {
        std::uint32_t block = 0; // of the byte's period
        std::uint8_t mask = 0;   // its bits in that block; 0 ends the byte's parts
    };
    void planBytes();
    std::vector<std::uint64_t> m_ones;
    std::vector<BytePart> m_parts;
    std::size_t m_periodBytes = 0;
    std::size_t m_partsPerByte = 0;
    std::uint32_t m_periodBlocks = 0;
    std::uint32_t m_bilevelRows = 0;
    bool m_minIsWhite = false;
    // Rows whose pixels are all alike are summed once per block instead of per pixel.
    std::uint64_t m_uniform[4] = {};
};

} // namespace tessary
