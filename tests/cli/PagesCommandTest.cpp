// The command-line front, run in-process.

#include "PagesCommand.h"

#include "../engine/TestTiff.h"

#include <iterator>
#include <sstream>
#include <tuple>

using namespace testtiff;
using tessary::runPagesCommand;

namespace {

// Exit status, standard error, standard output.
using Result = std::tuple<int, std::string, std::string>;

class PagesCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        write(dir / "dest.tif", numbered(4));
        write(dir / "colour.tif", numbered(1, colour, "c"));
    }

    // Runs a command line; its words with a dot in them name files of the test's folder.
    Result run(const std::string& line)
    {
        std::istringstream in(line);
        std::vector<std::string> args{std::istream_iterator<std::string>(in), {}};
        for (std::string& arg : args) {
            if (arg.find('.') != std::string::npos && arg[0] != '-')
                arg = (dir / arg).string();
        }
        std::ostringstream out;
        std::ostringstream err;
        const int status = runPagesCommand(args, out, err);
        return {status, err.str(), out.str()};
    }

    TempDir dir;
};

TEST_F(PagesCommand, infoPrintsTheFactsOfEveryPageAsJson)
{
    write(dir / "info.tif", {fax, colour, Page{}});
    const std::string page = R"({"width": 40, "height": 30, "bits": )";
    const std::string facts = R"(, "xres": 300, "yres": 300, "unit": "inch", "tiled": )";
    EXPECT_EQ(run("info info.tif --json"),
              Result(0, "",
                     R"({"pages": 3, "page": [)" + page +
                         R"(1, "samples": 1, "compression": "CCITT G4", "photometric": )"
                         R"("min-is-white")" +
                         facts + "false}, " + page +
                         R"(8, "samples": 3, "compression": "LZW", "photometric": "RGB")" + facts +
                         "true}, " + page +
                         R"(8, "samples": 1, "compression": "none", "photometric": )"
                         R"("min-is-black")" +
                         facts + "false}]}\n"));
}

TEST_F(PagesCommand, eachCommandSaysNothingOrOneLineAndChangesFilesOnlyOnSuccess)
{
    struct Case
    {
        std::string line;
        int status;
        std::string err;
        std::string names = {}; // of dest.tif after success
    };
    std::vector<Case> cases = {
        {"append dest.tif colour.tif 1 1", 0, "", "1 2 3 4 c1"},
        {"insert dest.tif dest.tif 5 1 1", 0, "", "c1 1 2 3 4 c1"},
        {"replace dest.tif dest.tif 2 6 1", 0, "", "c1 1 2 3 4 1"},
        {"delete dest.tif 1 2", 0, "", "2 3 4 1"},
        {"extract dest.tif 2 2 new.tif", 0, "", "2 3 4 1"},
        {"rotate dest.tif 2 2 270", 0, "", "2 3 4 1"},
        {"rotate dest.tif 1 1 45", 2,
         "the angle must be 90, 180 or 270 (degrees clockwise), not 45"},
        {"rotate dest.tif 4 2 180", 1, "dest.tif has no pages 4 to 5; it has 4 page(s)."},
        {"delete dest.tif 9 1", 1, "dest.tif has no page 9; it has 4 page(s)."},
        {"append dest.tif missing.tif 1 1", 1, "missing.tif does not exist."},
        {"delete dest.tif one 1", 2, "FIRST must be a whole number, not 'one'"},
        {"extract dest.tif 1 1 colour.tif", 2,
         (dir / "colour.tif").string() + " already exists; extract writes only new files"},
        {"shuffle dest.tif", 2, "unknown command 'shuffle'; see tessary-pages --help"},
        {"render dest.tif 5 x.pgm", 1, "dest.tif has no page 5; it has 4 page(s)."},
        // Lists: ranges, backwards, overlapping, and pages of another file.
        {"arrange dest.tif 4,1-3", 0, "", "1 2 3 4"},
        {"arrange dest.tif 3-2 colour.tif:1 2,2", 0, "", "3 2 c1 2 2"},
        {"delete dest.tif 2-3,3,5", 0, "", "3 2"},
        {"arrange dest.tif 1,3", 1, "dest.tif has no page 3; it has 2 page(s)."},
        {"arrange dest.tif 1,,2", 2, "the list '1,,2' has an empty item"},
        {"arrange dest.tif 0-1", 2, "pages count from 1; '0-1' names page 0"},
        {"arrange dest.tif 1-x", 2, "'1-x' is no page or range of pages"},
        {"arrange dest.tif", 2,
         "'arrange' takes FILE and a list of pages; see tessary-pages --help"},
        {"delete dest.tif 1-2", 1,
         "Every page of dest.tif cannot be deleted; a file keeps at least one page. Nothing was "
         "changed."},
    };
    // Each command with too few arguments.
    for (const auto& [command, count] : {std::pair{"append", 4},
                                         {"insert", 5},
                                         {"replace", 5},
                                         {"delete", 3},
                                         {"extract", 4},
                                         {"rotate", 4},
                                         {"render", 3}}) {
        cases.push_back({command + std::string(" dest.tif"), 2,
                         "'" + std::string(command) + "' takes " + std::to_string(count) +
                             " arguments; see tessary-pages --help"});
    }
    for (const Case& c : cases) {
        const auto before = bytes(dir / "dest.tif");
        EXPECT_EQ(run(c.line),
                  Result(c.status, c.err.empty() ? "" : "tessary-pages: " + c.err + "\n", ""))
            << c.line;
        EXPECT_TRUE(c.status ? bytes(dir / "dest.tif") == before
                             : pageNames(dir / "dest.tif") == c.names)
            << c.line << ": " << pageNames(dir / "dest.tif");
    }
    EXPECT_EQ(pageNames(dir / "new.tif"), "3 4");
    EXPECT_FALSE(fs::exists(dir / "x.pgm"));
    // A turn that only the orientation tag could take is said on standard output.
    write(dir / "jpeg.tif", {jpeg});
    EXPECT_EQ(run("rotate jpeg.tif 1 1 180"),
              Result(0, "",
                     "Page 1 of jpeg.tif was turned by its orientation tag only, as its JPEG data "
                     "does not end on whole blocks at the edges the turn moves, and JPEG data is "
                     "never compressed again; programs that ignore that tag show it as before.\n"));
}

TEST_F(PagesCommand, scannedBatchesAreInterleavedSplitAtBlanksAndMerged)
{
    write(dir / "fronts.tif", numbered(3, {}, "f"));
    write(dir / "backs.tif", numbered(3, {}, "b"));
    write(dir / "odd.tif", numbered(2, colour, "o"), true, 'b');
    // A batch of three documents with blank separators: half-black pages and white ones.
    Page half{.width = 120, .height = 90};
    half.pixels = [](std::size_t i, std::uint32_t) {
        return std::uint8_t(i < 60 ? 0 : 255);
    };
    Page white = half;
    white.pixels = [](std::size_t, std::uint32_t) {
        return std::uint8_t(255);
    };
    write(dir / "batch.tif", {half, half, white, half, white, white, half});
    fs::create_directory(dir / "p2.tif");
    const std::string d = (dir.path() / "").string(); // with the system's separator
    struct Case
    {
        std::string line;
        int status;
        std::string said; // on standard output on success, else on standard error
        std::string file = {};
        std::string names = {}; // of file afterwards
    };
    const Case cases[] = {
        {"interleave fronts.tif backs.tif two.tif", 0, "", "two.tif", "f1 b1 f2 b2 f3 b3"},
        {"interleave fronts.tif backs.tif two.tif --backs-reversed", 2,
         d + "two.tif already exists; --force replaces it", "two.tif", "f1 b1 f2 b2 f3 b3"},
        {"interleave fronts.tif backs.tif two.tif --backs-reversed --force", 0, "", "two.tif",
         "f1 b3 f2 b2 f3 b1"},
        {"interleave fronts.tif odd.tif uneven.tif", 1,
         "fronts.tif has 3 page(s) and odd.tif has 2; the sides of a two-sided scan have as many "
         "pages each. Nothing was written."},
        {"interleave fronts.tif odd.tif uneven.tif --allow-uneven", 0, "", "uneven.tif",
         "f1 o1 f2 o2 f3"},
        {"merge all.tif dest.tif odd.tif colour.tif", 0, "", "all.tif", "1 2 3 4 o1 o2 c1"},
        {"merge all.tif", 2, "'merge' takes OUT and one or more files; see tessary-pages --help"},
        {"split two.tif part-%02d.tif --every 4", 0,
         d + "part-01.tif: pages 1-4\n" + d + "part-02.tif: pages 5-6\n", "part-02.tif", "f3 b1"},
        {"split two.tif part.tif --every 4", 2,
         "the name pattern '" + d + "part.tif' must hold %d or %03d once, for the part's number"},
        {"split two.tif part%s.tif --every 4", 2,
         "the name pattern '" + d + "part%s.tif' holds a % that is not %d or %0Nd"},
        {"split two.tif p%d.tif", 2,
         "'split' takes --every N or --at-blank; see tessary-pages --help"},
        // A failure half-way takes back the parts written before it.
        {"split two.tif p%d.tif --every 2 --force", 1,
         "p2.tif is a folder. The 1 part(s) written before it were removed.", "p1.tif", ""},
        {"info batch.tif --blank", 0,
         d + "batch.tif: 3 blank page(s) of 7 (ink below 0.5%)\n  page 3: ink 0%\n  page 5: ink "
             "0%\n  page 6: ink 0%\n"},
        {"split batch.tif doc%d.tif --at-blank", 0,
         d + "doc1.tif: pages 1-2\n" + d + "doc2.tif: pages 4\n" + d +
             "doc3.tif: pages 7\nblank pages left out: 3,5-6\n"},
    };
    for (const Case& c : cases) {
        const auto [status, err, out] = run(c.line);
        EXPECT_EQ(std::tuple(status, status ? err : out),
                  std::tuple(c.status, status ? "tessary-pages: " + c.said + "\n" : c.said))
            << c.line;
        if (!c.file.empty()) {
            EXPECT_EQ(fs::exists(dir / c.file) ? pageNames(dir / c.file) : "absent",
                      c.names.empty() ? "absent" : c.names)
                << c.line;
        }
    }
    // Each page merged is the page it came from, whatever its kind and byte order.
    EXPECT_EQ(comparePages(dir / "odd.tif", 2, dir / "all.tif", 6), "");
    EXPECT_EQ(comparePages(dir / "batch.tif", 7, dir / "doc3.tif", 1), "");
}

TEST_F(PagesCommand, renderWritesGreyPagesAsPgmAndColourAsPpm)
{
    ASSERT_EQ(run("render dest.tif 2 p.pgm"), Result(0, "", ""));
    ASSERT_EQ(run("render colour.tif 1 c.ppm"), Result(0, "", ""));
    std::string grey = "P5\n40 30\n255\n";
    for (const std::uint32_t pixel : rgba(dir / "dest.tif", 2))
        grey += char(pixel & 0xff);
    std::string rgb = "P6\n40 30\n255\n";
    for (const std::uint32_t pixel : rgba(dir / "colour.tif", 1))
        rgb += {char(pixel & 0xff), char(pixel >> 8 & 0xff), char(pixel >> 16 & 0xff)};
    const auto pgm = bytes(dir / "p.pgm");
    const auto ppm = bytes(dir / "c.ppm");
    EXPECT_EQ(std::string(pgm.begin(), pgm.end()), grey);
    EXPECT_EQ(std::string(ppm.begin(), ppm.end()), rgb);
}

TEST_F(PagesCommand, helpPrintsTheForms)
{
    const auto [status, err, out] = run("--help");
    // Without a command, the same on standard error.
    EXPECT_EQ(std::tuple(status, err, run("")), std::tuple(0, "", Result(2, out, "")));
    for (const char* form :
         {"info FILE [--json]", "append DEST SRC FIRST COUNT", "insert DEST SRC FIRST BEFORE COUNT",
          "replace DEST SRC FIRST AT COUNT", "delete FILE FIRST COUNT", "delete FILE LIST",
          "arrange FILE LIST...", "extract SRC FIRST COUNT NEWFILE",
          "rotate FILE FIRST COUNT 90|180|270", "render FILE PAGE OUT.pnm", "--wait SECONDS"})
        EXPECT_TRUE(contains(out, form));
}

} // namespace
