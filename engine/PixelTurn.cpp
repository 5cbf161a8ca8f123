#include "PixelTurn.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tessary {

namespace {

// The turn as the matrix that takes a pixel of the result to the pixel of the original it
// comes from, about the centre, columns first: {{a, b}, {c, d}}.
struct Matrix
{
    int a, b, c, d;
};

Matrix matrixOf(const Turn& t)
{
    const int columns = t.mirrorColumns ? -1 : 1;
    const int rows = t.mirrorRows ? -1 : 1;
    return t.transpose ? Matrix{0, columns, rows, 0} : Matrix{columns, 0, 0, rows};
}

Turn turnOf(const Matrix& m)
{
    if (m.b == 0)
        return {false, m.d < 0, m.a < 0};
    return {true, m.c < 0, m.b < 0};
}

std::uint64_t getBits(const std::uint8_t* row, std::size_t at, unsigned bits)
{
    std::uint64_t value = 0;
    for (unsigned i = 0; i < bits; ++i, ++at)
        value = value << 1 | ((row[at >> 3] >> (7 - (at & 7))) & 1u);
    return value;
}

// Into a row of cleared bits.
void setBits(std::uint8_t* row, std::size_t at, unsigned bits, std::uint64_t value)
{
    for (unsigned i = 0; i < bits; ++i, ++at) {
        if ((value >> (bits - 1 - i)) & 1u)
            row[at >> 3] |= std::uint8_t(0x80u >> (at & 7));
    }
}

// Each byte with its units of bits bits (1, 2 or 4) in the opposite order.
std::array<std::uint8_t, 256> reversedUnits(unsigned bits)
{
    std::array<std::uint8_t, 256> table{};
    for (unsigned v = 0; v < 256; ++v) {
        unsigned r = 0;
        for (unsigned i = 0; i < 8; i += bits)
            r |= ((v >> i) & ((1u << bits) - 1)) << (8 - bits - i);
        table[v] = std::uint8_t(r);
    }
    return table;
}

// Clears the bits of a row behind its last pixel.
void clearTail(std::uint8_t* row, std::uint32_t width, unsigned bits, std::size_t stride)
{
    const std::size_t used = std::size_t(width) * bits;
    const std::size_t full = used / 8;
    if (used % 8 != 0)
        row[full] &= std::uint8_t(0xff00u >> (used % 8));
    const std::size_t from = (used + 7) / 8;
    if (from < stride)
        std::memset(row + from, 0, stride - from);
}

void copyRow(const std::uint8_t* in, std::uint8_t* out, std::uint32_t width, unsigned bits,
             bool reverse)
{
    const std::size_t used = Raster::strideFor(width, bits);
    if (!reverse) {
        std::memcpy(out, in, used);
        return;
    }
    if (bits % 8 == 0) {
        const std::size_t unit = bits / 8;
        for (std::uint32_t x = 0; x < width; ++x)
            std::memcpy(out + x * unit, in + std::size_t(width - 1 - x) * unit, unit);
        return;
    }
    if (8 % bits == 0) {
        static const std::array<std::array<std::uint8_t, 256>, 3> tables = {
            reversedUnits(1), reversedUnits(2), reversedUnits(4)};
        const auto& table = tables[bits == 1 ? 0 : bits == 2 ? 1 : 2];
        // The row's bytes reversed hold its pixels reversed behind the padding pixels of its
        // last byte, which a shift then drops.
        const unsigned shift = unsigned(used * 8 - std::size_t(width) * bits);
        for (std::size_t i = 0; i < used; ++i) {
            const unsigned here = table[in[used - 1 - i]];
            const unsigned next = i + 1 < used ? table[in[used - 2 - i]] : 0;
            out[i] = std::uint8_t(shift ? (here << shift | next >> (8 - shift)) : here);
        }
        return;
    }
    std::memset(out, 0, used);
    for (std::uint32_t x = 0; x < width; ++x)
        setBits(out, std::size_t(x) * bits, bits,
                getBits(in, std::size_t(width - 1 - x) * bits, bits));
}

// The eight rows of bits given as the bytes of x, first row highest, as eight columns.
std::uint64_t transpose8(std::uint64_t x)
{
    std::uint64_t t = (x ^ (x >> 7)) & 0x00aa00aa00aa00aaull;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000cccc0000ccccull;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000f0f0f0f0ull;
    x ^= t ^ (t << 28);
    return x;
}

template <std::size_t Unit>
void transposeUnits(const Raster& in, std::uint32_t width, std::uint32_t height, Raster& out,
                    std::size_t unit)
{
    const std::size_t size = Unit ? Unit : unit;
    // In tiles, so that both images are read and written a cache line at a time.
    constexpr std::uint32_t tile = 64;
    for (std::uint32_t r0 = 0; r0 < height; r0 += tile) {
        for (std::uint32_t c0 = 0; c0 < width; c0 += tile) {
            const std::uint32_t r1 = std::min(height, r0 + tile);
            const std::uint32_t c1 = std::min(width, c0 + tile);
            for (std::uint32_t c = c0; c < c1; ++c) {
                std::uint8_t* row = out.bytes.data() + std::size_t(c) * out.stride;
                for (std::uint32_t r = r0; r < r1; ++r)
                    std::memcpy(row + std::size_t(r) * size,
                                in.bytes.data() + std::size_t(r) * in.stride + c * size, size);
            }
        }
    }
}

void transposeBits(const Raster& in, std::uint32_t width, std::uint32_t height, Raster& out)
{
    const std::size_t columnBytes = (width + 7) / 8;
    for (std::uint32_t r0 = 0; r0 < height; r0 += 8) {
        for (std::size_t cb = 0; cb < columnBytes; ++cb) {
            std::uint64_t x = 0;
            for (std::uint32_t k = 0; k < 8; ++k) {
                const std::uint64_t byte =
                    r0 + k < height ? in.bytes[std::size_t(r0 + k) * in.stride + cb] : 0;
                x |= byte << (56 - 8 * k);
            }
            if (x == 0)
                continue;
            x = transpose8(x);
            for (std::uint32_t j = 0; j < 8; ++j) {
                const std::size_t column = cb * 8 + j;
                if (column < width)
                    out.bytes[column * out.stride + r0 / 8] = std::uint8_t(x >> (56 - 8 * j));
            }
        }
    }
}

// out (height by width) from the part width by height of in, rows become columns.
void transpose(const Raster& in, std::uint32_t width, std::uint32_t height, Raster& out)
{
    switch (in.bits) {
    case 1:
        return transposeBits(in, width, height, out);
    case 8:
        return transposeUnits<1>(in, width, height, out, 1);
    case 16:
        return transposeUnits<2>(in, width, height, out, 2);
    case 24:
        return transposeUnits<3>(in, width, height, out, 3);
    case 32:
        return transposeUnits<4>(in, width, height, out, 4);
    case 64:
        return transposeUnits<8>(in, width, height, out, 8);
    default:
        break;
    }
    if (in.bits % 8 == 0)
        return transposeUnits<0>(in, width, height, out, in.bits / 8);
    for (std::uint32_t c = 0; c < width; ++c) {
        std::uint8_t* row = out.bytes.data() + std::size_t(c) * out.stride;
        for (std::uint32_t r = 0; r < height; ++r)
            setBits(row, std::size_t(r) * in.bits, in.bits,
                    getBits(in.bytes.data() + std::size_t(r) * in.stride, std::size_t(c) * in.bits,
                            in.bits));
    }
}

} // namespace

Turn Turn::ofOrientation(std::uint16_t orientation)
{
    switch (orientation) {
    case 2:
        return {false, false, true};
    case 3:
        return {false, true, true};
    case 4:
        return {false, true, false};
    case 5:
        return {true, false, false};
    case 6:
        return {true, true, false};
    case 7:
        return {true, true, true};
    case 8:
        return {true, false, true};
    default:
        return {};
    }
}

Turn Turn::clockwise(int quarters)
{
    switch (((quarters % 4) + 4) % 4) {
    case 1:
        return ofOrientation(6);
    case 2:
        return ofOrientation(3);
    case 3:
        return ofOrientation(8);
    default:
        return {};
    }
}

std::uint16_t Turn::orientation() const
{
    for (std::uint16_t value = 1; value <= 8; ++value) {
        if (ofOrientation(value) == *this)
            return value;
    }
    return 1;
}

Turn Turn::then(const Turn& next) const
{
    // The result of both takes its pixel from the first's result, which takes it from
    // the original: the matrices multiply in that order.
    const Matrix x = matrixOf(*this);
    const Matrix y = matrixOf(next);
    return turnOf({x.a * y.a + x.b * y.c, x.a * y.b + x.b * y.d, x.c * y.a + x.d * y.c,
                   x.c * y.b + x.d * y.d});
}

Raster turned(const Raster& in, std::uint32_t width, std::uint32_t height, const Turn& turn,
              std::size_t outStride)
{
    Raster out;
    out.width = turn.transpose ? height : width;
    out.height = turn.transpose ? width : height;
    out.bits = in.bits;
    out.stride = std::max(outStride, Raster::strideFor(out.width, out.bits));
    out.bytes.assign(out.stride * out.height, 0);
    // A transposed image is then mirrored the other way round.
    const bool flipRows = turn.transpose ? turn.mirrorColumns : turn.mirrorRows;
    const bool flipColumns = turn.transpose ? turn.mirrorRows : turn.mirrorColumns;
    if (!turn.transpose) {
        for (std::uint32_t y = 0; y < out.height; ++y) {
            const std::uint32_t from = flipRows ? out.height - 1 - y : y;
            std::uint8_t* row = out.bytes.data() + std::size_t(y) * out.stride;
            copyRow(in.bytes.data() + std::size_t(from) * in.stride, row, out.width, out.bits,
                    flipColumns);
            clearTail(row, out.width, out.bits, out.stride);
        }
        return out;
    }
    transpose(in, width, height, out);
    std::vector<std::uint8_t> spare(out.stride);
    for (std::uint32_t y = 0; y < out.height; ++y) {
        std::uint8_t* row = out.bytes.data() + std::size_t(y) * out.stride;
        if (flipRows && y < out.height - 1 - y)
            std::swap_ranges(row, row + out.stride,
                             out.bytes.data() + std::size_t(out.height - 1 - y) * out.stride);
        if (flipColumns) {
            copyRow(row, spare.data(), out.width, out.bits, true);
            std::memcpy(row, spare.data(), Raster::strideFor(out.width, out.bits));
        }
        clearTail(row, out.width, out.bits, out.stride);
    }
    return out;
}

} // namespace tessary
