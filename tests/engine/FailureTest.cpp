// Refused and failed operations: each gives a sentence naming the file (and page), and
// leaves every file byte for byte as it was, with no temporary file left behind.

#include "TestTiff.h"

#include <fstream>

using namespace testtiff;

namespace {

// What is done to the files before the operation: ' ' nothing; 'd' page 2 of source.tif
// points at strip data past the end of the file; 'u' every entry of page 2 of dest.tif has a
// type no reader knows; 'r' dest.tif is read-only; 'R' so is the folder; 'a' alias.tif is a
// link to source.tif; 's' the progress callback asks to stop.
struct Refusal
{
    char setup;
    const char* command;
    ErrorKind kind;
    const char* message; // held by the message
    friend void PrintTo(const Refusal& r, std::ostream* out) { *out << r.command; }
};

using enum tessary::ErrorKind;

const Refusal refusals[] = {
    {' ', "append dest.tif source.tif 4 1", PageRange,
     "source.tif has no page 4; it has 3 page(s)."},
    {' ', "append dest.tif source.tif 0 1", PageRange, "source.tif has no page 0"},
    {' ', "append dest.tif source.tif 2 3", PageRange,
     "source.tif has no pages 2 to 4; it has 3 page(s)."},
    {' ', "append dest.tif source.tif 1 0", PageRange,
     "The number of pages must be at least 1, not 0."},
    {' ', "insert dest.tif source.tif 1 6 1", PageRange, "dest.tif has no page 6"},
    {' ', "replace dest.tif source.tif 1 5 2", PageRange, "dest.tif has no pages 5 to 6"},
    {' ', "delete dest.tif 1 5", PageRange, "Every page of dest.tif cannot be deleted"},
    {' ', "extract source.tif 3 2 n.tif", PageRange, "source.tif has no pages 3 to 4"},
    {' ', "arrange dest.tif 1 6", PageRange, "dest.tif has no page 6; it has 5 page(s)."},
    {' ', "arrange dest.tif 1 source.tif:4", PageRange, "source.tif has no page 4"},
    {' ', "arrange dest.tif", PageRange, "No page is listed for dest.tif"},
    {' ', "deletelist dest.tif 5 4 3 2 1 1", PageRange, "Every page of dest.tif cannot be deleted"},
    {'d', "arrange dest.tif 1 source.tif:2", Damaged, "Page 2 of source.tif is damaged"},
    {' ', "extractlist source.tif dest.tif:1 source.tif:1", SameFile,
     "source.tif is the file the pages come from"},
    {' ', "append none.tif source.tif 1 1", NotFound, "none.tif does not exist."},
    {' ', "append dest.tif gone.tif 1 1", NotFound, "gone.tif does not exist."},
    {' ', "insert dest.tif notes.tif 1 1 1", NotTiff, "notes.tif is not a TIFF file"},
    {' ', "delete notes.tif 1 1", NotTiff, "notes.tif is not a TIFF file"},
    {' ', "extract source.tif 1 1 nofolder/n.tif", NotFound, "The folder of n.tif does not exist"},
    {' ', "extract source.tif 1 1 source.tif", SameFile,
     "source.tif is the file the pages come from"},
    {'a', "extract source.tif 1 1 alias.tif", SameFile,
     "alias.tif is the file the pages come from"},
    // A damaged page is not copied, in place or into a rewritten file (as an insert or a
    // replace rewrites its destination).
    {'d', "append dest.tif source.tif 2 1", Damaged, "Page 2 of source.tif is damaged"},
    {'d', "extract source.tif 1 2 n.tif", Damaged, "Page 2 of source.tif is damaged"},
    // A page without one readable tag, written as a directory of no entries, would end the
    // page list of the new file there: deleting page 1 would lose page 3 too (a replace
    // keeps the other pages the same way).
    {'u', "delete dest.tif 1 1", Damaged, "Page 2 of dest.tif is damaged"},
    {'u', "extract dest.tif 2 2 n.tif", Damaged, "Page 2 of dest.tif is damaged"},
    {'r', "append dest.tif source.tif 1 1", ReadOnly, "dest.tif is read-only; it was not changed."},
    {'r', "delete dest.tif 1 1", ReadOnly, "dest.tif is read-only"},
    {'R', "delete dest.tif 1 1", ReadOnly, "The folder of dest.tif is read-only"},
    {'R', "extract source.tif 1 1 n.tif", ReadOnly, "The folder of n.tif is read-only"},
    {'s', "append dest.tif source.tif 1 3", Cancelled,
     "The operation was stopped; dest.tif is unchanged."},
    {'s', "replace dest.tif source.tif 1 1 3", Cancelled, "dest.tif is unchanged"},
};

class Failures : public ::testing::TestWithParam<Refusal>
{};

TEST_P(Failures, isRefusedBySentenceAndChangesNothing)
{
    const Refusal& r = GetParam();
    TempDir dir;
    write(dir / "dest.tif", numbered(r.setup == 'u' ? 3 : 5));
    write(dir / "source.tif", numbered(3, r.setup == 'd' ? Page{.rowsPerStrip = 30} : colour));
    std::ofstream(dir / "notes.tif") << "shopping list";
    tessary::OperationOptions options;
    if (r.setup == 'd')
        breakStripOffset(dir / "source.tif", 2);
    if (r.setup == 'u') {
        const auto entries = entryOffsets(dir / "dest.tif", 2);
        for (std::size_t i = 0; i + 1 < entries.size(); ++i)
            patch(dir / "dest.tif", entries[i] + 2, 0x7777, 2);
    }
    if (r.setup == 'r')
        fs::permissions(dir / "dest.tif", fs::perms::owner_write, fs::perm_options::remove);
    if (r.setup == 'R')
        fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    if (r.setup == 'a')
        fs::create_symlink(dir / "source.tif", dir / "alias.tif");
    if (r.setup == 's')
        options.progress = [](std::uint64_t, std::uint64_t) {
            return false;
        };
    const auto dest = bytes(dir / "dest.tif");
    const auto source = bytes(dir / "source.tif");
    const auto entries = listing(dir.path());
    PageEngine engine;
    EXPECT_TRUE(
        contains(errorOf([&] { run(engine, dir.path(), r.command, options); }, r.kind), r.message));
    EXPECT_EQ(bytes(dir / "dest.tif"), dest);
    EXPECT_EQ(bytes(dir / "source.tif"), source);
    EXPECT_EQ(listing(dir.path()), entries);
    if (r.setup == 'd') {
        // The damaged page is refused for display too; the readable pages around it still
        // show and copy.
        const auto document = TiffDocument::open(dir / "source.tif");
        EXPECT_TRUE(contains(errorOf([&] { document->decode(2); }, ErrorKind::Damaged),
                             "page 2 of source.tif is damaged"));
        EXPECT_NO_THROW(document->decode(1));
        run(engine, dir.path(), "append dest.tif source.tif 3 1");
        EXPECT_EQ(pageNames(dir / "dest.tif"), "1 2 3 4 5 3");
    }
}

INSTANTIATE_TEST_SUITE_P(Refusals, Failures, ::testing::ValuesIn(refusals));

} // namespace
