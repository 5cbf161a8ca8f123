// The command-line front, run in-process.

#include "PagesCommand.h"

#include "../engine/TestTiff.h"

#include <fstream>
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

Result run(std::vector<std::string> args)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = runPagesCommand(args, out, err);
    return {status, out.str(), err.str()};
}

class PagesCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testtiff::write(file("dest.tif"), testtiff::numbered(4));
        testtiff::Page colour;
        colour.samples = 3;
        colour.photometric = 2;
        colour.compression = 5;
        colour.name = "c";
        testtiff::write(file("colour.tif"), {colour});
    }
    std::string file(const std::string& name) const { return (dir / name).string(); }

    testtiff::TempDir dir;
};

TEST_F(PagesCommand, infoPrintsEveryPageAsJson)
{
    const Result r = run({"info", file("dest.tif"), "--json"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const std::string page = "{\"width\": 40, \"height\": 30, \"bits\": 8, \"samples\": 1, "
                             "\"compression\": \"none\", \"photometric\": \"min-is-black\", "
                             "\"xres\": 300, \"yres\": 300, \"unit\": \"inch\", \"tiled\": false}";
    EXPECT_EQ(r.out, "{\"pages\": 4, \"page\": [" + page + ", " + page + ", " + page + ", " + page +
                         "]}\n");
}

TEST_F(PagesCommand, eachOperationChangesTheFileAndSaysNothing)
{
    struct Step
    {
        std::vector<std::string> args;
        std::string names;
    };
    const Step steps[] = {
        {{"append", file("dest.tif"), file("colour.tif"), "1", "1"}, "1 2 3 4 c"},
        {{"insert", file("dest.tif"), file("dest.tif"), "5", "1", "1"}, "c 1 2 3 4 c"},
        {{"replace", file("dest.tif"), file("dest.tif"), "2", "6", "1"}, "c 1 2 3 4 1"},
        {{"delete", file("dest.tif"), "1", "2"}, "2 3 4 1"},
    };
    for (const Step& step : steps) {
        const Result r = run(step.args);
        EXPECT_EQ(r.status, 0) << step.args[0] << ": " << r.err;
        EXPECT_EQ(r.out + r.err, "");
        EXPECT_EQ(testtiff::pageNames(file("dest.tif")), step.names) << step.args[0];
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
        {{"delete", file("dest.tif"), "9", "1"},
         1,
         "tessary-pages: dest.tif has no page 9; it has 4 page(s).\n"},
        {{"append", file("dest.tif"), file("missing.tif"), "1", "1"},
         1,
         "tessary-pages: missing.tif does not exist.\n"},
        {{"delete", file("dest.tif"), "one", "1"},
         2,
         "tessary-pages: FIRST must be a whole number, not 'one'\n"},
        {{"delete", file("dest.tif"), "1"},
         2,
         "tessary-pages: 'delete' takes 3 arguments; see tessary-pages --help\n"},
        {{"extract", file("dest.tif"), "1", "1", file("colour.tif")},
         2,
         "tessary-pages: " + file("colour.tif") +
             " already exists; extract writes only new files\n"},
        {{"shuffle", file("dest.tif")},
         2,
         "tessary-pages: unknown command 'shuffle'; see tessary-pages --help\n"},
    };
    for (const Case& c : cases) {
        const Result r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0];
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(testtiff::bytes(file("dest.tif")), before);
    EXPECT_FALSE(fs::exists(file("new.tif")));
}

TEST_F(PagesCommand, renderWritesGreyPagesAsPgmAndColourAsPpm)
{
    ASSERT_EQ(run({"render", file("dest.tif"), "2", file("p.pgm")}).status, 0);
    ASSERT_EQ(run({"render", file("colour.tif"), "1", file("c.ppm")}).status, 0);
    const auto grey = testtiff::bytes(file("p.pgm"));
    const std::string greyHeader = "P5\n40 30\n255\n";
    ASSERT_EQ(grey.size(), greyHeader.size() + 40 * 30);
    EXPECT_EQ(std::string(grey.begin(), grey.begin() + std::ptrdiff_t(greyHeader.size())),
              greyHeader);
    const auto reference = testtiff::rgba(file("dest.tif"), 2);
    for (std::size_t i = 0; i < reference.size(); ++i)
        ASSERT_EQ(grey[greyHeader.size() + i], reference[i] & 0xff) << i;
    const auto colour = testtiff::bytes(file("c.ppm"));
    EXPECT_EQ(colour.size(), std::string("P6\n40 30\n255\n").size() + 40 * 30 * 3);
    EXPECT_EQ(run({"render", file("dest.tif"), "5", file("x.pgm")}).status, 1);
    EXPECT_FALSE(fs::exists(file("x.pgm")));
}

TEST_F(PagesCommand, helpPrintsTheForms)
{
    const Result r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* form :
         {"info FILE [--json]", "append DEST SRC FIRST COUNT", "insert DEST SRC FIRST BEFORE COUNT",
          "replace DEST SRC FIRST AT COUNT", "delete FILE FIRST COUNT",
          "extract SRC FIRST COUNT NEWFILE", "render FILE PAGE OUT.pnm", "--wait SECONDS"})
        EXPECT_NE(r.out.find(form), std::string::npos) << form;
    EXPECT_EQ(run({}).status, 2);
}

} // namespace
