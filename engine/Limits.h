#pragma once

#include <cstdint>

namespace tessary {

// The largest block of memory the engine allocates at once, for libtiff and for its own
// buffers alike: a damaged or hostile file may declare sizes of any magnitude, and none of
// them may turn into an allocation beyond this.
inline constexpr std::uint64_t maxAllocationBytes = 256u << 20;

// The most entries one directory may hold. Classic TIFF cannot state more; libtiff reads
// far fewer; a BigTIFF directory claiming more is damaged.
inline constexpr std::uint64_t maxDirectoryEntries = 0xffff;

// The most elements of one integer tag the engine reads (strip and tile tables): enough for
// a page of four million strips, and a bound on the tables built from them.
inline constexpr std::uint64_t maxTableElements = maxAllocationBytes / 64;

} // namespace tessary
