// What a Windows user's files meet there: a file another program keeps open, letting others
// read it or not, this program's own reader of a file it replaces, and names outside the
// ANSI code page given to tessary-pages.exe. (A read-only file, and failures of every write,
// sync and rename, are the shared tests'; two writers at once, the concurrency test's.)

#include "TestTiff.h"

#include <windows.h>

using namespace testtiff;

namespace {

struct Holding
{
    DWORD share;         // what the other program lets others do with the file it holds
    const char* command; // on files of the test's folder
    const char* message;
    friend void PrintTo(const Holding& h, std::ostream* out) { *out << h.command; }
};

const std::string keptToItself = "is open in another program that keeps it to itself";
const std::string notChanged = "dest.tif is open in another program that does not let it be "
                               "changed; close it there and try again; it was not changed.";

const Holding holdings[] = {
    // A program that keeps the file to itself: it cannot even be read.
    {0, "append dest.tif source.tif 1 1", keptToItself.c_str()},
    {0, "delete dest.tif 1 1", keptToItself.c_str()},
    {0, "extract dest.tif 1 1 new.tif", keptToItself.c_str()},
    // A viewer that lets others read the file but not change it: the pages cannot be written
    // into it, nor a new version put in its place.
    {FILE_SHARE_READ, "append dest.tif source.tif 1 1", notChanged.c_str()},
    {FILE_SHARE_READ, "delete dest.tif 1 1", notChanged.c_str()},
    {FILE_SHARE_READ, "extract source.tif 1 1 dest.tif", notChanged.c_str()},
    // One that lets it be written but not deleted: it may grow in place, but not be replaced.
    {FILE_SHARE_READ | FILE_SHARE_WRITE, "replace dest.tif source.tif 1 2 1", notChanged.c_str()},
};

class HeldByAnotherProgram : public ::testing::TestWithParam<Holding>
{};

TEST_P(HeldByAnotherProgram, isReportedAndLeftAsItWas)
{
    TempDir dir;
    write(dir / "dest.tif", numbered(3));
    write(dir / "source.tif", numbered(2, {}, "s"));
    const auto dest = bytes(dir / "dest.tif");
    const auto entries = listing(dir.path());
    const HANDLE held = ::CreateFileW((dir / "dest.tif").c_str(), GENERIC_READ, GetParam().share,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    PageEngine engine;
    const std::string message =
        errorOf([&] { run(engine, dir.path(), GetParam().command); }, ErrorKind::Busy);
    ::CloseHandle(held);
    EXPECT_TRUE(contains(message, GetParam().message));
    EXPECT_EQ(bytes(dir / "dest.tif"), dest);
    EXPECT_EQ(listing(dir.path()), entries);
}

INSTANTIATE_TEST_SUITE_P(Sharings, HeldByAnotherProgram, ::testing::ValuesIn(holdings));

TEST(WindowsFiles, aFileThisProgramReadsIsReplacedAllTheSame)
{
    TempDir dir;
    write(dir / "dest.tif", numbered(3));
    const auto shown = TiffDocument::open(dir / "dest.tif");
    shown->decode(1);
    PageEngine().deletePages(dir / "dest.tif", 1, 1);
    EXPECT_EQ(pageNames(dir / "dest.tif"), "2 3");
    EXPECT_TRUE(shown->changedOnDisk());
}

TEST(WindowsFiles, aFileRewrittenAgainUnderTheLockItsFirstRewriteHoldsIsReplacedAgain)
{
    TempDir dir;
    write(dir / "dest.tif", numbered(4));
    tessary::FileLocks held({dir / "dest.tif"});
    tessary::OperationOptions options;
    options.held = &held;
    PageEngine().deletePages(dir / "dest.tif", 1, 1, options);
    PageEngine().deletePages(dir / "dest.tif", 2, 1, options);
    EXPECT_EQ(pageNames(dir / "dest.tif"), "2 4");
}

// tessary-pages.exe, run with its arguments in UTF-16 as Windows passes them.
ProgramRun pages(const std::vector<fs::path>& args)
{
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::vector<std::string> line = {(fs::path(self).parent_path() / "tessary-pages.exe").string()};
    for (const fs::path& arg : args)
        line.push_back(arg.string()); // UTF-8 in libstdc++ on Windows
    return runProgram(line);
}

TEST(WindowsFiles, namesOutsideTheAnsiCodePageWorkInEveryFormOfTheCommandLine)
{
    TempDir dir;
    const fs::path transfer = dir.path() / fs::path(u8"Überweisung €.tif");
    const fs::path invoice = dir.path() / fs::path(u8"請求書.tif");
    const fs::path made = dir.path() / fs::path(u8"Ἀρχεῖον.tif");
    write(transfer, numbered(2, {}, "t"));
    write(invoice, numbered(2, {}, "i"));
    const fs::path list = fs::path(invoice.u8string() + u8":2,1");
    const struct
    {
        std::vector<fs::path> args;
        fs::path file;
        const char* names;
    } steps[] = {
        {{"append", transfer, invoice, "2", "1"}, transfer, "t1 t2 i2"},
        {{"insert", transfer, invoice, "1", "1", "1"}, transfer, "i1 t1 t2 i2"},
        {{"replace", transfer, invoice, "2", "2", "1"}, transfer, "i1 i2 t2 i2"},
        {{"delete", transfer, "1-2"}, transfer, "t2 i2"},
        {{"arrange", transfer, "2", list}, transfer, "i2 i2 t2"},
        {{"extract", invoice, "2", "1", made}, made, "i2"},
        {{"merge", dir.path() / fs::path(u8"Σύνολο.tif"), made, invoice},
         dir.path() / fs::path(u8"Σύνολο.tif"),
         "i2 i1 i2"},
    };
    for (const auto& step : steps) {
        const ProgramRun run = pages(step.args);
        EXPECT_EQ(run.status, 0) << step.args[0] << ": " << run.output;
        EXPECT_EQ(pageNames(step.file), step.names) << step.args[0];
    }
    const ProgramRun info = pages({"info", invoice});
    EXPECT_TRUE(contains(info.output, reinterpret_cast<const char*>(u8"請求書.tif: 2 page(s)")));
    const ProgramRun refused = pages({"delete", made, "1"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(contains(refused.output, reinterpret_cast<const char*>(u8"Ἀρχεῖον.tif")));
}

} // namespace
