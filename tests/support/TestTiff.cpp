#include "TestTiff.h"

#include <QFile>

namespace tessary::testing {

namespace {

void put16(QByteArray& out, std::uint16_t value)
{
    out.append(char(value & 0xff));
    out.append(char(value >> 8));
}

void put32(QByteArray& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((value >> shift) & 0xff));
}

void set32(QByteArray& out, qsizetype at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = char((value >> (8 * i)) & 0xff);
}

QByteArray strip(const TestTiff::Page& page)
{
    QByteArray data;
    for (std::uint32_t y = 0; y < page.height; ++y) {
        if (page.bits == 8) {
            for (std::uint32_t x = 0; x < page.width; ++x)
                data.append(char(page.pixel(x, y)));
        } else {
            // Min-is-black: a set bit is white.
            std::uint8_t byte = 0;
            for (std::uint32_t x = 0; x < page.width; ++x) {
                if (page.pixel(x, y) >= 128)
                    byte |= std::uint8_t(0x80 >> (x % 8));
                if (x % 8 == 7 || x + 1 == page.width) {
                    data.append(char(byte));
                    byte = 0;
                }
            }
        }
    }
    return data;
}

} // namespace

TestTiff::Page TestTiff::plain(std::uint32_t width, std::uint32_t height, std::uint8_t grey)
{
    Page page;
    page.width = width;
    page.height = height;
    page.pixel = [grey](std::uint32_t, std::uint32_t) {
        return grey;
    };
    return page;
}

QByteArray TestTiff::bytes(const QList<Page>& pages)
{
    QByteArray out("II*\0", 4);
    qsizetype nextLink = out.size();
    put32(out, 0);
    for (const Page& page : pages) {
        const QByteArray data = strip(page);
        const std::uint32_t dataOffset = std::uint32_t(out.size());
        out.append(data);
        if (out.size() % 2)
            out.append('\0');
        const std::uint32_t resolutionOffset = std::uint32_t(out.size());
        put32(out, page.xDpi);
        put32(out, 1);
        put32(out, page.yDpi);
        put32(out, 1);

        const std::uint32_t ifdOffset = std::uint32_t(out.size());
        set32(out, nextLink, ifdOffset);
        struct Entry
        {
            std::uint16_t tag;
            std::uint16_t type; // 3 SHORT, 4 LONG, 5 RATIONAL
            std::uint32_t value;
        };
        const Entry entries[] = {
            {256, 4, page.width},
            {257, 4, page.height},
            {258, 3, std::uint32_t(page.bits)},
            {259, 3, 1},
            {262, 3, 1},
            {273, 4, dataOffset},
            {277, 3, 1},
            {278, 4, page.height},
            {279, 4, std::uint32_t(data.size())},
            {282, 5, resolutionOffset},
            {283, 5, resolutionOffset + 8},
            {296, 3, 2},
        };
        put16(out, std::uint16_t(std::size(entries)));
        for (const Entry& entry : entries) {
            put16(out, entry.tag);
            put16(out, entry.type);
            put32(out, 1);
            if (entry.type == 3) {
                put16(out, std::uint16_t(entry.value));
                put16(out, 0);
            } else {
                put32(out, entry.value);
            }
        }
        nextLink = out.size();
        put32(out, 0);
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
