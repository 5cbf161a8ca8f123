// Blank separator sheets are told from pages with a little on them: bilevel, grey and colour
// scans, with scanner shadow at the edge, dust, toned paper and noise.

#include "BlankPage.h"

#include "TestTiff.h"

using namespace testtiff;
using tessary::BlankPage;

namespace {

// A sheet of 4 by 5 1/3 inches at 300 pixels an inch.
constexpr std::uint32_t width = 1200;
constexpr std::uint32_t height = 1600;

// Whether there is ink at (x, y).
using Marks = bool (*)(std::uint32_t x, std::uint32_t y);

bool none(std::uint32_t, std::uint32_t)
{
    return false;
}
// A dark band along the left edge, as a scanner's lid leaves, and dust: one pixel in a
// thousand.
bool shadowAndDust(std::uint32_t x, std::uint32_t y)
{
    return x < width * 3 / 100 || (x * 7919u + y * 104729u) % 997u == 0;
}
// Three short lines of text: strokes three pixels wide.
bool text(std::uint32_t x, std::uint32_t y)
{
    return x >= 300 && x < 700 && x % 8 < 3 && y >= 600 && y < 750 && (y - 600) % 60 < 30;
}

struct Sheet
{
    const char* name;
    char kind; // 'b' bilevel (G4), 'g' grey, 'c' colour
    Marks marks;
    bool blank;
};

const Sheet sheets[] = {
    {"bilevel, shadow at the edge and dust", 'b', shadowAndDust, true},
    {"bilevel, three short lines of text", 'b', text, false},
    {"grey, toned paper with noise", 'g', none, true},
    {"grey, three short lines of text", 'g', text, false},
    {"colour, cream paper with noise and shadow", 'c', shadowAndDust, true},
    {"colour, three short lines of red text", 'c', text, false},
};

Page page(const Sheet& sheet)
{
    Page p;
    p.width = width;
    p.height = height;
    p.compression = 5;
    const Marks marks = sheet.marks;
    if (sheet.kind == 'b') {
        p = sized(fax, width, height);
        p.pixels = [marks](std::size_t i, std::uint32_t y) {
            std::uint8_t byte = 0;
            for (std::uint32_t bit = 0; bit < 8; ++bit)
                byte |= std::uint8_t(marks(std::uint32_t(i * 8 + bit), y) << (7 - bit));
            return byte;
        };
    } else if (sheet.kind == 'g') {
        p.pixels = [marks](std::size_t i, std::uint32_t y) {
            const std::uint32_t x = std::uint32_t(i);
            return std::uint8_t(marks(x, y) ? 40 : 225 + (x * 31 + y * 17) % 15);
        };
    } else {
        p.samples = 3;
        p.photometric = 2;
        p.pixels = [marks](std::size_t i, std::uint32_t y) {
            const std::uint32_t x = std::uint32_t(i / 3);
            static constexpr std::uint8_t paper[3] = {245, 236, 210};
            static constexpr std::uint8_t ink[3] = {190, 30, 25};
            return std::uint8_t((marks(x, y) ? ink : paper)[i % 3] - (x * 13 + y * 7) % 9);
        };
    }
    return p;
}

class BlankPages : public ::testing::TestWithParam<Sheet>
{};

TEST_P(BlankPages, areToldFromPagesWithALittleOnThem)
{
    TempDir dir;
    write(dir / "page.tif", {page(GetParam())});
    const auto document = TiffDocument::open(dir / "page.tif");
    const double ink = BlankPage::inkShare(*document, 1);
    EXPECT_EQ(ink < BlankPage::defaultThreshold, GetParam().blank) << ink;
}

INSTANTIATE_TEST_SUITE_P(Sheets, BlankPages, ::testing::ValuesIn(sheets),
                         [](const ::testing::TestParamInfo<Sheet>& info) {
                             std::string name;
                             for (const char c : std::string(info.param.name))
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

} // namespace
