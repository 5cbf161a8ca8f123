#include "AreaReducer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <numeric>
#include <utility>

namespace tessary {

namespace {

// The set bits of each byte value, without a processor instruction for it.
constexpr std::array<std::uint8_t, 256> onesOfByte = [] {
    std::array<std::uint8_t, 256> table{};
    for (unsigned value = 0; value < 256; ++value)
        table[value] = std::uint8_t(std::popcount(value));
    return table;
}();

} // namespace

AreaReducer::AreaReducer(PageImage::Format format, std::uint32_t width, std::uint32_t height,
                         std::uint32_t factor)
    : m_width(width)
    , m_height(height)
    , m_factor(std::max<std::uint32_t>(factor, 1))
    , m_channels(format == PageImage::Format::Grey8 ? 1 : 4)
{
    m_image.format = format;
    m_image.width = std::uint32_t((std::uint64_t(width) + m_factor - 1) / m_factor);
    m_image.height = std::uint32_t((std::uint64_t(height) + m_factor - 1) / m_factor);
    m_image.pixels.assign(std::size_t(m_image.width) * m_image.height * m_channels, 255);
    m_sums.assign(std::size_t(m_image.width) * m_channels, 0);
}

void AreaReducer::addRow(const std::uint8_t* row, unsigned channels)
{
    if (m_width == 0)
        return rowDone();
    if (std::memcmp(row, row + channels, std::size_t(m_width - 1) * channels) == 0)
        return addUniform(row, channels);
    for (std::uint32_t x = 0; x < m_image.width; ++x) {
        const std::uint32_t begin = x * m_factor;
        const std::uint32_t end =
            std::uint32_t(std::min<std::uint64_t>(std::uint64_t(begin) + m_factor, m_width));
        std::uint64_t* sum = m_sums.data() + std::size_t(x) * m_channels;
        const std::uint8_t* p = row + std::size_t(begin) * channels;
        if (m_channels == 1) {
            for (std::uint32_t i = begin; i < end; ++i, p += channels)
                sum[0] += *p;
        } else {
            for (std::uint32_t i = begin; i < end; ++i, p += channels) {
                sum[0] += p[0];
                sum[1] += p[1];
                sum[2] += p[2];
                sum[3] += channels == 4 ? p[3] : 255;
            }
        }
    }
    rowDone();
}

void AreaReducer::addBilevelRow(const std::uint8_t* bits, bool minIsWhite)
{
    const bool firstSet = m_width > 0 && (bits[0] & 0x80) != 0;
    const std::uint32_t wholeBytes = m_width / 8;
    const unsigned rest = m_width % 8;
    const std::uint8_t fill = firstSet ? 0xff : 0x00;
    bool uniform =
        wholeBytes == 0 ||
        (bits[0] == fill && (wholeBytes == 1 || std::memcmp(bits, bits + 1, wholeBytes - 1) == 0));
    if (uniform && rest > 0) {
        const unsigned mask = 0xff00u >> rest & 0xffu;
        uniform = (bits[wholeBytes] & mask) == (fill & mask);
    }
    if (uniform) {
        const std::uint8_t white = firstSet != minIsWhite ? 255 : 0;
        return addUniform(&white, 1);
    }
    // The set bits of each block, a byte at a time through the parts of the byte that fall
    // into each block (which repeat every lcm(8, factor) bits); most bytes of a scanned page
    // are of one colour. Summed over the block's rows, and made sums when it is flushed.
    if (m_parts.empty())
        planBytes();
    const std::uint64_t bytes = (std::uint64_t(m_width) + 7) / 8;
    std::uint32_t base = 0;
    std::size_t inPeriod = 0;
    for (std::uint64_t byte = 0; byte < bytes; ++byte) {
        unsigned value = bits[byte];
        if (byte + 1 == bytes && rest > 0)
            value &= 0xff00u >> rest & 0xffu;
        if (value != 0) {
            for (const BytePart* part = &m_parts[inPeriod * m_partsPerByte]; part->mask != 0;
                 ++part)
                m_ones[base + part->block] += onesOfByte[value & part->mask];
        }
        if (++inPeriod == m_periodBytes) {
            inPeriod = 0;
            base += m_periodBlocks;
        }
    }
    m_minIsWhite = minIsWhite;
    ++m_bilevelRows;
    rowDone();
}

void AreaReducer::addWhiteRow()
{
    const std::uint8_t white[4] = {255, 255, 255, 255};
    addUniform(white, m_channels);
}

void AreaReducer::addUniform(const std::uint8_t* pixel, unsigned channels)
{
    if (m_channels == 1) {
        m_uniform[0] += pixel[0];
    } else {
        for (unsigned c = 0; c < 3; ++c)
            m_uniform[c] += pixel[c];
        m_uniform[3] += channels == 4 ? pixel[3] : 255;
    }
    rowDone();
}

void AreaReducer::rowDone()
{
    ++m_row;
    ++m_rowsInBlock;
    if (m_rowsInBlock == m_factor || m_row == m_height)
        flush();
}

void AreaReducer::planBytes()
{
    const std::uint64_t period = std::lcm<std::uint64_t>(8, m_factor);
    m_periodBytes = std::size_t(period / 8);
    m_periodBlocks = std::uint32_t(period / m_factor);
    // The parts of a byte (at most one more than the blocks eight bits fill), and a part of
    // no bits to end them.
    m_partsPerByte = (8 + m_factor - 1) / m_factor + 2;
    m_parts.assign(m_periodBytes * m_partsPerByte, BytePart{});
    for (std::size_t byte = 0; byte < m_periodBytes; ++byte) {
        BytePart* part = &m_parts[byte * m_partsPerByte];
        const std::uint64_t first = byte * 8;
        for (std::uint64_t at = first; at < first + 8; ++part) {
            const std::uint64_t block = at / m_factor;
            const std::uint64_t end = std::min((block + 1) * m_factor, first + 8);
            // Bits at..end-1 of the byte, counted from the highest.
            part->block = std::uint32_t(block);
            part->mask = std::uint8_t((0xffu >> (at - first)) & (0xff00u >> (end - first)));
            at = end;
        }
    }
    // Blocks past the row's last one are summed and never shown.
    m_ones.assign(std::size_t(m_image.width) + m_periodBlocks + 3, 0);
}

void AreaReducer::flush()
{
    const std::uint32_t y = (m_row - 1) / m_factor;
    std::uint8_t* out = m_image.pixels.data() + std::size_t(y) * m_image.width * m_channels;
    for (std::uint32_t x = 0; x < m_image.width; ++x) {
        const std::uint64_t begin = std::uint64_t(x) * m_factor;
        const std::uint64_t columns = std::min<std::uint64_t>(m_factor, m_width - begin);
        if (m_bilevelRows > 0) {
            const std::uint64_t pixels = columns * m_bilevelRows;
            const std::uint64_t ones = std::exchange(m_ones[x], 0);
            m_sums[x] += 255u * (m_minIsWhite ? pixels - ones : ones);
        }
        const std::uint64_t count = columns * m_rowsInBlock;
        for (unsigned c = 0; c < m_channels; ++c) {
            std::uint64_t& sum = m_sums[std::size_t(x) * m_channels + c];
            const std::uint64_t total = sum + m_uniform[c] * columns;
            out[std::size_t(x) * m_channels + c] = std::uint8_t((total + count / 2) / count);
            sum = 0;
        }
    }
    std::fill(std::begin(m_uniform), std::end(m_uniform), 0);
    m_rowsInBlock = 0;
    m_bilevelRows = 0;
}

PageImage AreaReducer::finish()
{
    while (m_row < m_height)
        addWhiteRow();
    return std::move(m_image);
}

} // namespace tessary
