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
          "replace DEST SRC FIRST AT COUNT", "delete FILE FIRST COUNT",
          "extract SRC FIRST COUNT NEWFILE", "rotate FILE FIRST COUNT 90|180|270",
          "render FILE PAGE OUT.pnm", "--wait SECONDS"})
        EXPECT_TRUE(contains(out, form));
}

} // namespace
