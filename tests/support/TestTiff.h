#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>

namespace tessary::testing {

// Writes small, plain TIFF files for tests, independently of the page engine: one strip
// per page, no compression, grey pages of 8 bits or black-and-white pages of 1 bit.
class TestTiff
{
public:
    struct Page
    {
        std::uint32_t width = 16;
        std::uint32_t height = 16;
        int bits = 8; // 8 (grey) or 1 (black and white)
        // The grey level (0 black, 255 white) of each pixel; for 1-bit pages values below
        // 128 are black.
        std::function<std::uint8_t(std::uint32_t x, std::uint32_t y)> pixel;
        std::uint32_t xDpi = 200;
        std::uint32_t yDpi = 200;
    };

    // A page of one grey level.
    static Page plain(std::uint32_t width, std::uint32_t height, std::uint8_t grey);

    static QByteArray bytes(const QList<Page>& pages);
    // Writes the file; false when it could not be written.
    static bool write(const QString& path, const QList<Page>& pages);
};

} // namespace tessary::testing
