// The command-line front, run in-process.

#include "PagesCommand.h"

#include "../engine/TestTiff.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace tessary;
namespace fs = std::filesystem;

namespace {

struct Result
{
    int status;
    std::string out;
    std::string err;
};

class PagesCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testtiff::write(file("dest.tif"), testtiff::numbered(4));
        testtiff::write(file("colour.tif"), testtiff::named("c", 1, colour));
    }
    std::string file(const std::string& name) const { return (dir / name).string(); }

    Result run(std::vector<std::string> args)
    {
        std::ostringstream out;
        std::ostringstream err;
        const int status = runPagesCommand(args, out, err);
        return {status, out.str(), err.str()};
    }

    const testtiff::Page colour{.samples = 3, .photometric = 2, .compression = 5, .tiled = true};
    testtiff::TempDir dir;
};

TEST_F(PagesCommand, infoPrintsTheFactsOfEveryPageAsJson)
{
    testtiff::write(file("info.tif"),
                    {{.bits = 1, .photometric = 0, .compression = 4}, colour, testtiff::Page{}});
    const Result r = run({"info", file("info.tif"), "--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string rest = "\"xres\": 300, \"yres\": 300, \"unit\": \"inch\", \"tiled\": ";
    EXPECT_EQ(r.out,
              "{\"pages\": 3, \"page\": [{\"width\": 40, \"height\": 30, \"bits\": 1, \"samples\": "
              "1, \"compression\": \"CCITT G4\", \"photometric\": \"min-is-white\", " +
                  rest +
                  "false}, {\"width\": 40, \"height\": 30, \"bits\": 8, \"samples\": 3, "
                  "\"compression\": \"LZW\", \"photometric\": \"RGB\", " +
                  rest +
                  "true}, {\"width\": 40, \"height\": 30, \"bits\": 8, \"samples\": 1, "
                  "\"compression\": \"none\", \"photometric\": \"min-is-black\", " +
                  rest + "false}]}\n");
}

TEST_F(PagesCommand, eachOperationChangesTheFileAndSaysNothing)
{
    const std::pair<std::vector<std::string>, std::string> steps[] = {
        {{"append", file("dest.tif"), file("colour.tif"), "1", "1"}, "1 2 3 4 c1"},
        {{"insert", file("dest.tif"), file("dest.tif"), "5", "1", "1"}, "c1 1 2 3 4 c1"},
        {{"replace", file("dest.tif"), file("dest.tif"), "2", "6", "1"}, "c1 1 2 3 4 1"},
        {{"delete", file("dest.tif"), "1", "2"}, "2 3 4 1"},
    };
    for (const auto& [args, names] : steps) {
        const Result r = run(args);
        EXPECT_EQ(r.status, 0) << args[0] << ": " << r.err;
        EXPECT_EQ(r.out + r.err, "");
        EXPECT_EQ(testtiff::pageNames(file("dest.tif")), names) << args[0];
    }
    EXPECT_EQ(run({"extract", file("dest.tif"), "2", "2", file("new.tif")}).status, 0);
    EXPECT_EQ(testtiff::pageNames(file("new.tif")), "3 4");
}

TEST_F(PagesCommand, failuresExitNonZeroWithOneLineAndChangeNothing)
{
    const auto before = testtiff::bytes(file("dest.tif"));
    struct Case
    {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {{"delete", file("dest.tif"), "9", "1"}, 1, "dest.tif has no page 9; it has 4 page(s)."},
        {{"append", file("dest.tif"), file("missing.tif"), "1", "1"},
         1,
         "missing.tif does not exist."},
        {{"delete", file("dest.tif"), "one", "1"}, 2, "FIRST must be a whole number, not 'one'"},
        {{"delete", file("dest.tif"), "1"},
         2,
         "'delete' takes 3 arguments; see tessary-pages --help"},
        {{"extract", file("dest.tif"), "1", "1", file("colour.tif")},
         2,
         file("colour.tif") + " already exists; extract writes only new files"},
        {{"shuffle", file("dest.tif")}, 2, "unknown command 'shuffle'; see tessary-pages --help"},
        {{"render", file("dest.tif"), "5", file("x.pgm")},
         1,
         "dest.tif has no page 5; it has 4 page(s)."},
    };
    for (const Case& c : cases) {
        const Result r = run(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.err, "tessary-pages: " + c.err + "\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(testtiff::bytes(file("dest.tif")), before);
    EXPECT_FALSE(fs::exists(file("new.tif")));
    EXPECT_FALSE(fs::exists(file("x.pgm")));
}

TEST_F(PagesCommand, renderWritesGreyPagesAsPgmAndColourAsPpm)
{
    ASSERT_EQ(run({"render", file("dest.tif"), "2", file("p.pgm")}).status, 0);
    ASSERT_EQ(run({"render", file("colour.tif"), "1", file("c.ppm")}).status, 0);
    std::string grey;
    for (const std::uint32_t pixel : testtiff::rgba(file("dest.tif"), 2))
        grey += char(pixel & 0xff);
    const auto pgm = testtiff::bytes(file("p.pgm"));
    EXPECT_EQ(std::string(pgm.begin(), pgm.end()), "P5\n40 30\n255\n" + grey);
    std::string rgb;
    for (const std::uint32_t pixel : testtiff::rgba(file("colour.tif"), 1))
        rgb += {char(pixel & 0xff), char(pixel >> 8 & 0xff), char(pixel >> 16 & 0xff)};
    const auto ppm = testtiff::bytes(file("c.ppm"));
    EXPECT_EQ(std::string(ppm.begin(), ppm.end()), "P6\n40 30\n255\n" + rgb);
}

TEST_F(PagesCommand, helpPrintsTheForms)
{
    const Result r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* form :
         {"info FILE [--json]", "append DEST SRC FIRST COUNT", "insert DEST SRC FIRST BEFORE COUNT",
          "replace DEST SRC FIRST AT COUNT", "delete FILE FIRST COUNT",
          "extract SRC FIRST COUNT NEWFILE", "render FILE PAGE OUT.pnm"})
        EXPECT_NE(r.out.find(form), std::string::npos) << form;
    // Without a command, the same on standard error.
    const Result none = run({});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, r.out);
}

} // namespace
