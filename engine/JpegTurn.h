#pragma once

#include "PixelTurn.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tessary {

// The JPEG data of one page: its strips or tiles, each a JPEG stream of its own (without
// the tables the page's JPEGTables hold, where it has them).
struct JpegPage
{
    std::vector<std::uint8_t> tables;
    std::vector<std::vector<std::uint8_t>> blocks;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool tiled = false;
    // The tile's size; for strips, the page's width and rows per strip.
    std::uint32_t blockWidth = 0;
    std::uint32_t blockHeight = 0;
};

// A page's JPEG data turned: new strips or tiles of the turned page, each a complete JPEG
// stream with its own tables, and their size; the sampling of the first component, which
// a page in YCbCr states in its YCbCrSubSampling tag.
struct TurnedJpeg
{
    std::vector<std::vector<std::uint8_t>> blocks;
    std::uint32_t blockWidth = 0;
    std::uint32_t blockHeight = 0;
    std::uint16_t horizontalSampling = 1;
    std::uint16_t verticalSampling = 1;
};

enum class JpegTurnRefusal
{
    PartialBlocks, // the turn moves an edge of the page that does not end on whole blocks
    Unreadable,    // libjpeg cannot take the data as it is, or its parts do not fit together
};

// Turns page without decoding it: the DCT coefficients of every 8 by 8 block are moved to
// the block's new place, transposed and their signs changed as the turn demands, and
// entropy-coded again; nothing is quantised again, so every coefficient keeps its value.
// Strips of the turned page hold about as many pixels as rowsLike rows of the page did,
// rounded down to whole rows of blocks; tiles keep their size, turned. Returns nothing,
// with the reason in refusal, where the turn cannot be made so.
std::optional<TurnedJpeg> turnJpeg(const JpegPage& page, const Turn& turn,
                                   JpegTurnRefusal& refusal);

} // namespace tessary
