#include "TestTiff.h"

#include <QFile>

namespace tessary::testing {

namespace {

// Appends value's bytes, least significant first.
void put(QByteArray& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xff));
}

// The page's one strip; for 1-bit pages min-is-black, a set bit white.
QByteArray strip(const TestTiff::Page& page)
{
    QByteArray data;
    for (std::uint32_t y = 0; y < page.height; ++y) {
        std::uint8_t byte = 0;
        for (std::uint32_t x = 0; x < page.width; ++x) {
            if (page.bits == 8) {
                data.append(char(page.pixel(x, y)));
                continue;
            }
            if (page.pixel(x, y) >= 128)
                byte |= std::uint8_t(0x80 >> (x % 8));
            if (x % 8 == 7 || x + 1 == page.width)
                data.append(char(std::exchange(byte, 0)));
        }
    }
    return data;
}

} // namespace

TestTiff::Page TestTiff::plain(std::uint32_t width, std::uint32_t height, std::uint8_t grey)
{
    const auto level = [grey](std::uint32_t, std::uint32_t) {
        return grey;
    };
    return {width, height, 8, level};
}

QByteArray TestTiff::bytes(const QList<Page>& pages)
{
    QByteArray out("II*\0", 4);
    qsizetype nextLink = out.size();
    put(out, 0, 4);
    for (const Page& page : pages) {
        const QByteArray data = strip(page);
        const std::uint32_t dataOffset = std::uint32_t(out.size());
        out.append(data);
        if (out.size() % 2)
            out.append('\0');
        const std::uint32_t resolutionOffset = std::uint32_t(out.size());
        for (const std::uint32_t value : {page.xDpi, 1u, page.yDpi, 1u})
            put(out, value, 4);

        // Link the previous directory (or the header) to this one.
        QByteArray link;
        put(link, std::uint32_t(out.size()), 4);
        out.replace(nextLink, 4, link);
        // Width, length, bits, no compression, min-is-black, the strip's offset, one sample,
        // rows per strip, the strip's bytes, the two resolutions, per inch.
        const std::uint16_t tags[] = {256, 257, 258, 259, 262, 273, 277, 278, 279, 282, 283, 296};
        const std::uint16_t types[] = {4, 4, 3, 3, 3, 4, 3, 4, 4, 5, 5, 3}; // SHORT, LONG, RATIONAL
        const auto bits = std::uint32_t(page.bits);
        const auto size = std::uint32_t(data.size());
        const std::uint32_t values[] = {
            page.width,       page.height,          bits, 1, 1, dataOffset, 1, page.height, size,
            resolutionOffset, resolutionOffset + 8, 2};
        put(out, std::size(tags), 2);
        for (std::size_t i = 0; i < std::size(tags); ++i) {
            put(out, tags[i], 2);
            put(out, types[i], 2);
            put(out, 1, 4);
            put(out, values[i], 4); // a SHORT in its first two bytes
        }
        nextLink = out.size();
        put(out, 0, 4);
    }
    return out;
}

bool TestTiff::write(const QString& path, const QList<Page>& pages)
{
    QFile file(path);
    const QByteArray content = bytes(pages);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

} // namespace tessary::testing
