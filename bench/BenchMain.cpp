// Times every tessary-pages operation on a corpus of large files against cp of the file
// written, cp with sync and rename, and tiffcp doing the same job; times decoding pages
// against libtiff's own fastest decode; times reading a file's structure against program
// start, and the rewrites that cost little more against a durable copy. Prints medians,
// ratios and peak memory. With --disk, times the operations on the largest files on a
// second disk against cp alone, and the rewrites against a durable copy there. Last, what
// keeping each operation's undo step costs, with and without it side by side, and what
// turning pages costs against deleting one and decoding one.

#include "BlankPage.h"
#include "Corpus.h"
#include "PageEngine.h"
#include "PageRotation.h"
#include "TiffDocument.h"
#include "TiffSource.h"
#include "UndoRecord.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <tiffio.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Run
{
    double ms = 0;
    long peakKiB = 0;
};

// Runs a command (no shell), returning its wall time and peak resident memory. quiet sends
// its standard output to /dev/null.
Run spawn(const std::vector<std::string>& args, bool quiet = false)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet)
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    int status = 0;
    struct rusage usage
    {};
    wait4(pid, &status, 0, &usage);
    const auto end = Clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::string line;
        for (const auto& a : args)
            line += a + " ";
        std::fprintf(stderr, "command failed: %s\n", line.c_str());
        std::exit(1);
    }
    return {std::chrono::duration<double, std::milli>(end - start).count(), usage.ru_maxrss};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A fresh work copy, already on disk as a user's file would be, so that no operation pays
// for writing out the copy itself.
void copyFile(const fs::path& from, const fs::path& to)
{
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
    spawn({"sync", to.string()});
}

// tiffcp's list of directory numbers (from 0) first to last.
std::string range(int first, int last)
{
    std::string list;
    for (int i = first; i <= last; ++i)
        list += (i > first ? "," : "") + std::to_string(i);
    return list;
}

std::uint64_t largestPage(const fs::path& path)
{
    TIFF* tif = TIFFOpen(path.c_str(), "rm");
    std::uint64_t largest = 0;
    if (!tif)
        return 0;
    do {
        std::uint64_t sum = 0;
        const std::uint32_t n = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
        for (std::uint32_t i = 0; i < n; ++i)
            sum += TIFFGetStrileByteCount(tif, i);
        largest = std::max(largest, sum);
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return largest;
}

// Bytes of path in extents that its file system shares with another file (0 where it
// cannot tell).
std::uint64_t sharedBytes(const fs::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    std::vector<std::uint8_t> buffer(sizeof(fiemap) + 4096 * sizeof(fiemap_extent));
    auto* map = reinterpret_cast<fiemap*>(buffer.data());
    std::uint64_t shared = 0;
    for (std::uint64_t start = 0;;) {
        std::memset(buffer.data(), 0, buffer.size());
        map->fm_start = start;
        map->fm_length = FIEMAP_MAX_OFFSET - start;
        map->fm_flags = FIEMAP_FLAG_SYNC;
        map->fm_extent_count = 4096;
        if (::ioctl(fd, FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0)
            break;
        const fiemap_extent& last = map->fm_extents[map->fm_mapped_extents - 1];
        for (std::uint32_t i = 0; i < map->fm_mapped_extents; ++i) {
            if (map->fm_extents[i].fe_flags & FIEMAP_EXTENT_SHARED)
                shared += map->fm_extents[i].fe_length;
        }
        if (last.fe_flags & FIEMAP_EXTENT_LAST)
            break;
        start = last.fe_logical + last.fe_length;
    }
    ::close(fd);
    return shared;
}

// How a disk is measured: the first against cp and tiffcp, a second disk (a file system
// that shares blocks between files) against cp alone, with how much of each file written
// shares its blocks with the file it came from.
struct DiskOptions
{
    bool tiffcp = true;
    bool shares = false;
};

struct Case
{
    std::string op;
    std::vector<std::string> ours;   // {...} with "W" for the work file, "O" for the output
    std::vector<std::string> tiffcp; // tiffcp arguments after "tiffcp"
    bool writesOutput;               // the file written is O (extract) rather than W
    bool inPlace;                    // W is changed in place rather than rewritten
};

void benchFile(const fs::path& corpus, const fs::path& work, const fs::path& tool,
               const bench::CorpusFile& file, const fs::path& onePage, int reps,
               const DiskOptions& disk)
{
    const fs::path original = corpus / file.name;
    const int n = file.pages;
    const int mid = n / 2;
    const std::string src = onePage.string();
    const std::vector<Case> cases = {
        {"append 1", {"append", "W", src, "1", "1"}, {"W", src + ",0", "O"}, false, true},
        {"insert 1 at middle",
         {"insert", "W", src, "1", std::to_string(mid), "1"},
         {"W," + range(0, mid - 2), src + ",0", "W," + range(mid - 1, n - 1), "O"},
         false,
         true},
        {"replace middle",
         {"replace", "W", src, "1", std::to_string(mid), "1"},
         {"W," + range(0, mid - 2), src + ",0", "W," + range(mid, n - 1), "O"},
         false,
         false},
        {"delete middle",
         {"delete", "W", std::to_string(mid), "1"},
         {"W," + range(0, mid - 2) + "," + range(mid, n - 1), "O"},
         false,
         false},
        {"extract 10 from middle",
         {"extract", "W", std::to_string(mid), "10", "O"},
         {"W," + range(mid - 1, mid + 8), "O"},
         true,
         false},
    };
    const fs::path w = work / ("w-" + file.name);
    const fs::path o = work / ("o-" + file.name);
    const fs::path tmp = work / "cp-target.tif";
    const std::uint64_t largest = largestPage(original);
    auto substitute = [&](std::vector<std::string> args) {
        for (std::string& a : args) {
            if (a.rfind("W", 0) == 0)
                a = w.string() + a.substr(1);
            else if (a == "O")
                a = o.string();
        }
        return args;
    };
    const double sizeMiB = double(fs::file_size(original)) / (1 << 20);
    std::printf("\n%s (%.1f MiB, largest page %.2f MiB)\n", file.description.c_str(), sizeMiB,
                double(largest) / (1 << 20));
    std::printf("%-24s %8s %8s %6s %11s %8s", "operation", "ours ms", "cp ms", "/cp", "cp+sync+mv",
                "/durable");
    if (disk.tiffcp)
        std::printf(" %10s %8s %12s %8s", "tiffcp ms", "tiffcp/", "tiffcp+sync", "tc+sync/");
    if (disk.shares)
        std::printf(" %11s %8s %8s", "...mv over", "/over", "shared");
    std::printf(" %9s\n", "peak MiB");
    for (const Case& c : cases) {
        std::vector<double> ours;
        std::vector<double> cp;
        std::vector<double> durable;
        std::vector<double> over; // the same, renamed over the file a rewrite replaces
        long peak = 0;
        for (int r = 0; r < reps; ++r) {
            copyFile(original, w);
            fs::remove(o);
            std::vector<std::string> args = {tool.string()};
            for (const auto& a : substitute(c.ours))
                args.push_back(a);
            const Run run = spawn(args);
            ours.push_back(run.ms);
            peak = std::max(peak, run.peakKiB);
            const fs::path written = c.writesOutput ? o : w;
            fs::remove(tmp);
            cp.push_back(spawn({"cp", "--reflink=auto", written.string(), tmp.string()}).ms);
            fs::remove(tmp);
            const double a = spawn({"cp", "--reflink=auto", written.string(), tmp.string()}).ms;
            const double b = spawn({"sync", tmp.string()}).ms;
            const double d = spawn({"mv", tmp.string(), (work / "mv-target.tif").string()}).ms;
            durable.push_back(a + b + d);
            if (disk.shares && !c.inPlace && !c.writesOutput) {
                // The work file as the operation found it, replaced as the operation
                // replaces it: its cached pages and its own blocks are let go.
                copyFile(original, w);
                const double e = spawn({"cp", "--reflink=auto", w.string(), tmp.string()}).ms;
                const double f = spawn({"sync", tmp.string()}).ms;
                over.push_back(e + f + spawn({"mv", tmp.string(), w.string()}).ms);
            }
        }
        const double m = median(ours);
        std::printf("%-24s %8.1f %8.1f %6.2f %11.1f %8.2f", c.op.c_str(), m, median(cp),
                    m / median(cp), median(durable), m / median(durable));
        if (disk.shares && over.empty())
            std::printf(" %11s %8s", "-", "-");
        else if (disk.shares)
            std::printf(" %11.1f %8.2f", median(over), m / median(over));
        if (disk.shares && c.inPlace) {
            std::printf(" %8s", "in place");
        } else if (disk.shares) {
            // Once more, with the work file kept under a second name so that its blocks
            // stay in use: the share of the file written that still points at them.
            copyFile(original, w);
            fs::remove(o);
            fs::create_hard_link(w, work / "held.tif");
            std::vector<std::string> args = {tool.string()};
            for (const auto& a : substitute(c.ours))
                args.push_back(a);
            spawn(args);
            const fs::path written = c.writesOutput ? o : w;
            std::printf(" %7.1f%%",
                        100.0 * double(sharedBytes(written)) /
                            double(std::max<std::uintmax_t>(1, fs::file_size(written))));
            fs::remove(work / "held.tif");
        }
        if (!disk.tiffcp) {
            std::printf(" %9.1f\n", double(peak) / 1024);
            continue;
        }
        // tiffcp decodes and re-encodes every page: slow on large files, so fewer runs.
        std::vector<double> tiffcp;
        std::vector<double> tiffcpDurable;
        const int tiffcpReps = sizeMiB > 40 ? 1 : std::min(reps, 3);
        for (int r = 0; r < tiffcpReps; ++r) {
            copyFile(original, w);
            fs::remove(o);
            std::vector<std::string> args = {"tiffcp"};
            for (const auto& a : substitute(c.tiffcp))
                args.push_back(a);
            const double t = spawn(args).ms;
            tiffcp.push_back(t);
            tiffcpDurable.push_back(t + spawn({"sync", o.string()}).ms);
        }
        std::printf(" %10.0f %8.0f %12.0f %8.0f %9.1f\n", median(tiffcp), median(tiffcp) / m,
                    median(tiffcpDurable), median(tiffcpDurable) / m, double(peak) / 1024);
    }
    fs::remove(w);
    fs::remove(o);
}

double timeIt(const std::function<void()>& f, int reps)
{
    std::vector<double> t;
    for (int r = 0; r < reps; ++r) {
        const auto start = Clock::now();
        f();
        t.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return median(t);
}

// A durable copy of from, as a careful program makes one: cp (sharing the blocks where the
// file system can), the copy synced, renamed to `to` and its folder synced.
double durableCopy(const fs::path& from, const fs::path& temporary, const fs::path& to)
{
    return spawn({"cp", "--reflink=auto", from.string(), temporary.string()}).ms +
           spawn({"sync", temporary.string()}).ms +
           spawn({"mv", temporary.string(), to.string()}).ms +
           spawn({"sync", to.parent_path().string()}).ms;
}

void loadLine()
{
    double load[3] = {};
    if (getloadavg(load, 3) == 3)
        std::printf("(load average %.2f %.2f %.2f)\n", load[0], load[1], load[2]);
}

// What reading a file's structure costs, and the operations whose own work is little more
// than that: against program start, and against a durable copy of the file written made on
// the same disk in the same run, by turns with the operation. With onlyRewrites, the
// rewrites of the 500-page scan alone (a second disk).
void benchStructure(const fs::path& corpus, const fs::path& work, const fs::path& tool, int reps,
                    bool onlyRewrites, const fs::path& manyPages)
{
    const fs::path scan = corpus / "scan500.tif";
    const std::string one = (corpus / "one-scan.tif").string();
    const fs::path w = work / "s-work.tif";
    const fs::path o = work / "s-out.tif";
    std::printf("\nStructure and rewrites: medians of %d runs, each by turns with its reference.\n"
                "'structure' is tessary-pages info less program start (--help), then the same\n"
                "read in this process. 'durable copy' is cp --reflink=auto of the file written,\n"
                "sync, mv and sync of the folder; for delete and replace renamed over the work\n"
                "file, as they replace it.\n",
                reps);
    loadLine();
    std::printf("%-44s %9s %16s %7s %s\n", "", "ours ms", "reference ms", "ratio", "goal");
    if (!onlyRewrites) {
        const std::pair<const char*, fs::path> files[] = {{"500-page scan", scan},
                                                          {"20,000 pages", manyPages}};
        for (const auto& [name, file] : files) {
            std::vector<double> info;
            std::vector<double> start;
            for (int r = 0; r < 5 * reps; ++r) {
                start.push_back(spawn({tool.string(), "--help"}, true).ms);
                info.push_back(spawn({tool.string(), "info", file.string()}, true).ms);
            }
            std::printf("%-44s %9.2f %10.2f start %7s <= %s ms\n",
                        ("structure: " + std::string(name)).c_str(), median(info) - median(start),
                        median(start), "", file == scan ? "2" : "40");
            // The same in this process, where no program start blurs it: every page's facts
            // as info reads them, and the page count alone, as the window reads it.
            const fs::path path = file; // older compilers capture no structured binding
            const double facts = timeIt(
                [&] {
                    const auto document = tessary::TiffDocument::open(path, true);
                    for (std::int32_t page = 1; page <= document->pageCount(); ++page)
                        document->pageInfo(page);
                },
                5 * reps);
            std::printf("%-44s %9.2f %26s <= %s ms\n", "  the same, in-process", facts, "",
                        file == scan ? "2" : "40");
            const double count =
                timeIt([&] { tessary::TiffDocument::open(path)->pageCount(); }, 5 * reps);
            std::printf("%-44s %9.2f\n", "  its page count alone, in-process", count);
        }
    }
    struct Operation
    {
        std::string what;
        std::vector<std::string> args; // "W" the work file, "O" a new file
        fs::path file;
        std::string goal;
    };
    std::vector<Operation> operations = {
        {"delete 1 of the 500-page scan",
         {"delete", "W", "250", "1"},
         scan,
         onlyRewrites ? "<= 2" : "<= 1.15"},
        {"replace 1 of the 500-page scan",
         {"replace", "W", one, "1", "250", "1"},
         scan,
         onlyRewrites ? "<= 2" : ""},
    };
    if (!onlyRewrites) {
        operations.push_back({"extract 10 of the 500-page scan",
                              {"extract", "W", "250", "10", "O"},
                              scan,
                              "<= 1.2"});
        for (const auto& [name, file] :
             {std::pair{"the 500-page scan", scan}, std::pair{"20,000 pages", manyPages}}) {
            operations.push_back({"append 1 to " + std::string(name),
                                  {"append", "W", one, "1", "1"},
                                  file,
                                  "<= 10 ms"});
            operations.push_back({"insert 1 into " + std::string(name),
                                  {"insert", "W", one, "1", "250", "1"},
                                  file,
                                  "<= 10 ms"});
        }
    }
    for (const Operation& op : operations) {
        std::vector<std::string> args = {tool.string()};
        for (const std::string& a : op.args)
            args.push_back(a == "W" ? w.string() : a == "O" ? o.string() : a);
        const bool rewrites = op.args[0] == "delete" || op.args[0] == "replace";
        std::vector<double> ours;
        std::vector<double> reference;
        for (int r = 0; r < reps; ++r) {
            copyFile(op.file, w);
            fs::remove(o);
            ours.push_back(spawn(args).ms);
            if (rewrites) {
                copyFile(op.file, w);
                reference.push_back(durableCopy(w, work / "s-copy.tif", w));
            } else if (op.args[0] == "extract") {
                reference.push_back(durableCopy(o, work / "s-copy.tif", work / "s-copied.tif"));
            }
        }
        const double m = median(ours);
        if (reference.empty())
            std::printf("%-44s %9.2f %16s %7s %s\n", op.what.c_str(), m, "", "", op.goal.c_str());
        else
            std::printf("%-44s %9.2f %16.2f %7.2f %s\n", op.what.c_str(), m, median(reference),
                        m / median(reference), op.goal.c_str());
    }
    for (const char* name : {"s-work.tif", "s-out.tif", "s-copy.tif", "s-copied.tif"})
        fs::remove(work / name);
}

// libtiff's fastest decode of a page: every strip or tile decoded into one buffer as
// stored, with JPEG's colour conversion done by libjpeg.
void libtiffDecode(const fs::path& path, int page)
{
    TIFF* tif = TIFFOpen(path.c_str(), "rm");
    TIFFSetDirectory(tif, tdir_t(page - 1));
    std::uint16_t compression = 0;
    std::uint16_t photometric = 0;
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    if (compression == COMPRESSION_JPEG && photometric == PHOTOMETRIC_YCBCR)
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    const std::uint32_t n = TIFFNumberOfStrips(tif);
    const tmsize_t size = TIFFStripSize(tif);
    std::vector<std::uint8_t> buffer(std::size_t(size) * n);
    for (std::uint32_t s = 0; s < n; ++s)
        TIFFReadEncodedStrip(tif, s, buffer.data() + std::size_t(size) * s, size);
    TIFFClose(tif);
}

void benchDecode(const fs::path& corpus, int reps)
{
    std::printf("\nDecoding one page for display (open, find the page, decode), median of %d\n",
                reps);
    std::printf("%-34s %10s %12s %7s\n", "page", "ours ms", "libtiff ms", "ratio");
    struct Item
    {
        const char* file;
        int page;
        const char* what;
    };
    const Item items[] = {
        {"scan500.tif", 1, "G4 A4 scan, page 1 of 500"},
        {"scan500.tif", 500, "G4 A4 scan, page 500 of 500"},
        {"colour100.tif", 50, "LZW colour, page 50 of 100"},
        {"photo50.tif", 25, "JPEG photo, page 25 of 50"},
        {"big200.tif", 200, "G4 BigTIFF, page 200 of 200"},
    };
    std::map<std::string, double> ours;
    for (const Item& item : items) {
        const fs::path path = corpus / item.file;
        const double us = timeIt(
            [&] {
                auto document = tessary::TiffDocument::open(path);
                document->decode(item.page);
            },
            reps);
        const double them = timeIt([&] { libtiffDecode(path, item.page); }, reps);
        ours[item.what] = us;
        std::printf("%-34s %10.2f %12.2f %7.2f\n", item.what, us, them, us / them);
    }
    std::printf("reaching page 500 of 500 / page 1: %.2f\n",
                ours["G4 A4 scan, page 500 of 500"] / ours["G4 A4 scan, page 1 of 500"]);
    // A page turn in an open document: only the page itself is read and decoded.
    auto document = tessary::TiffDocument::open(corpus / "scan500.tif");
    const double first = timeIt([&] { document->decode(1); }, reps);
    const double last = timeIt([&] { document->decode(500); }, reps);
    std::printf("page turn in an open document: page 1 %.2f ms, page 500 %.2f ms (ratio %.2f)\n",
                first, last, last / first);
}

// Judging every page of the 500-page scan blank or not (as a split at blank pages does),
// against libtiff decoding every page at full size on one thread.
void benchBlank(const fs::path& corpus, int reps)
{
    const fs::path scan = corpus / "scan500.tif";
    const double ours = timeIt([&] { tessary::BlankPage::inkShares(scan); }, reps);
    const double them = timeIt(
        [&] {
            for (int page = 1; page <= 500; ++page)
                libtiffDecode(scan, page);
        },
        reps);
    std::printf("\nJudging every page of the 500-page scan blank or not, median of %d: %.0f ms "
                "(%u threads); libtiff decoding every page in full on one thread %.0f ms; ratio "
                "%.2f. Target: 3000 ms.\n",
                reps, ours, std::thread::hardware_concurrency(), them, ours / them);
}

// The cost of keeping each operation's undo step (the program does; tessary-pages does
// not): the engine's operations in this process on a fresh copy, without and with keeping
// the step in a history folder on the same disk, run by turns. 'drop' is removing what the
// step kept, as when it leaves the history.
void benchUndo(const fs::path& corpus, const fs::path& work, int reps,
               const std::map<std::string, std::string>& sources)
{
    std::printf("\nKeeping the undo step: medians of %d runs in-process. Append and insert in "
                "place\nstay within 10 ms; a rewrite within 5%% of its time without.\n",
                reps);
    std::printf("%-44s %9s %9s %7s %8s\n", "operation", "plain ms", "kept ms", "kept/", "drop ms");
    const fs::path history = work / "history";
    fs::create_directories(history);
    using Operation =
        std::function<void(tessary::PageEngine&, const fs::path& file, const fs::path& one, int mid,
                           const tessary::OperationOptions&)>;
    const std::vector<std::pair<std::string, Operation>> operations = {
        {"append 1",
         [](auto& e, auto& f, auto& one, int, auto& o) {
             e.appendPages(f, one, 1, 1, o);
         }},
        {"insert 1 at middle",
         [](auto& e, auto& f, auto& one, int mid, auto& o) {
             e.insertPages(f, one, 1, mid, 1, o);
         }},
        {"replace middle",
         [](auto& e, auto& f, auto& one, int mid, auto& o) {
             e.replacePages(f, one, 1, mid, 1, o);
         }},
        {"delete middle",
         [](auto& e, auto& f, auto&, int mid, auto& o) {
             e.deletePages(f, mid, 1, o);
         }},
    };
    tessary::PageEngine engine;
    for (const auto& file : bench::corpusFiles()) {
        const fs::path w = work / ("u-" + file.name);
        const fs::path one = corpus / sources.at(file.name);
        for (const auto& [name, each] : operations) {
            const Operation& operation = each; // older compilers capture no structured binding
            std::vector<double> plain;
            std::vector<double> kept;
            std::vector<double> drop;
            for (int r = 0; r < reps; ++r) {
                copyFile(corpus / file.name, w);
                plain.push_back(timeIt([&] { operation(engine, w, one, file.pages / 2, {}); }, 1));
                copyFile(corpus / file.name, w);
                tessary::UndoKeeping keeping;
                keeping.places.folder = history;
                tessary::OperationOptions options;
                options.keep = &keeping;
                kept.push_back(
                    timeIt([&] { operation(engine, w, one, file.pages / 2, options); }, 1));
                drop.push_back(timeIt(
                    [&] {
                        for (const auto& record : keeping.records)
                            record.discard(tessary::FileLayer::system());
                    },
                    1));
            }
            const std::string label = name + ", " + file.name;
            std::printf("%-44s %9.2f %9.2f %7.3f %8.2f\n", label.c_str(), median(plain),
                        median(kept), median(kept) / median(plain), median(drop));
        }
        fs::remove(w);
    }
    fs::remove_all(history);
}

// Turning pages of the 500-page scan: one page as tessary-pages turns it against deleting
// one (both rewrite the file); the turn itself (decoding, turning and encoding the page)
// against libtiff's decode of it; a hundred pages in one rewrite, reporting progress
// as the program's progress dialog takes it; the peak memory of both against rendering one
// page, which holds one decoded page.
void benchRotate(const fs::path& corpus, const fs::path& work, const fs::path& tool, int reps)
{
    const fs::path original = corpus / "scan500.tif";
    const fs::path w = work / "rotate.tif";
    const auto fresh = [&](const std::vector<std::string>& args) {
        copyFile(original, w);
        std::vector<std::string> line = {tool.string()};
        line.insert(line.end(), args.begin(), args.end());
        return spawn(line);
    };
    std::vector<double> rotate;
    std::vector<double> remove;
    long rotatePeak = 0;
    long hundredPeak = 0;
    for (int r = 0; r < reps; ++r) {
        const Run turned = fresh({"rotate", w.string(), "250", "1", "90"});
        rotate.push_back(turned.ms);
        rotatePeak = std::max(rotatePeak, turned.peakKiB);
        remove.push_back(fresh({"delete", w.string(), "250", "1"}).ms);
    }
    hundredPeak = fresh({"rotate", w.string(), "201", "100", "90"}).peakKiB;
    const long renderPeak =
        spawn({tool.string(), "render", original.string(), "250", (work / "page.pgm").string()})
            .peakKiB;
    fs::remove(work / "page.pgm");

    tessary::TiffSource source(original);
    const double turn = timeIt(
        [&] { tessary::TurnedPages pages(source, 250, 1, 1, false, work / "turned.tif"); }, reps);
    const double decode = timeIt([&] { libtiffDecode(original, 250); }, reps);

    std::vector<double> hundred;
    int reports = 0;
    tessary::OperationOptions options;
    options.progress = [&](std::uint64_t, std::uint64_t) {
        ++reports;
        return true;
    };
    for (int r = 0; r < reps; ++r) {
        copyFile(original, w);
        hundred.push_back(
            timeIt([&] { tessary::PageEngine().rotatePages(w, 201, 100, 90, options); }, 1));
    }
    fs::remove(w);

    std::printf("\nTurning pages of the 500-page scan (A4, 300 dpi, G4): medians of %d runs\n",
                reps);
    std::printf("%-46s %9.1f ms\n%-46s %9.1f ms   rotate/delete %5.2f (at most 1.5)\n",
                "rotate page 250 (tessary-pages)", median(rotate),
                "delete page 250 (tessary-pages)", median(remove), median(rotate) / median(remove));
    std::printf("%-46s %9.1f ms   (at most 60 ms)\n%-46s %9.1f ms   turn/decode %7.2f\n",
                "the turn itself: decode, turn, encode", turn, "libtiff decoding the page", decode,
                turn / decode);
    std::printf("%-46s %9.1f ms   (at most 3000 ms), %d progress reports\n",
                "rotate pages 201-300 in one rewrite", median(hundred), reports / reps);
    std::printf("%-46s %9.1f ms   per page %.1f ms, /rotate one %5.2f\n", "", median(hundred),
                median(hundred) / 100, median(hundred) / median(rotate));
    std::printf("peak memory: render one page %.1f MiB; rotate one page %.1f MiB (%+.1f MiB), "
                "rotate 100 pages %.1f MiB (%+.1f MiB) (at most +64 MiB)\n",
                double(renderPeak) / 1024, double(rotatePeak) / 1024,
                double(rotatePeak - renderPeak) / 1024, double(hundredPeak) / 1024,
                double(hundredPeak - renderPeak) / 1024);
}

} // namespace

int main(int argc, char** argv)
{
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // --disk NAME: WORK-FOLDER is on a second disk; the files of the operations measured
    // there are copied onto it first.
    // --undo: only what keeping the undo step costs. --rotate: only the turning of pages.
    // --structure: only the structure read
    // and the rewrites that cost little more (after --disk: those of the second disk).
    std::string diskName;
    if (argc > 2 && std::string(argv[1]) == "--disk") {
        diskName = argv[2];
        argv += 2;
        argc -= 2;
    }
    // --blank CORPUS: only the judging of blank pages.
    if (argc > 2 && std::string(argv[1]) == "--blank") {
        bench::makeCorpus(argv[2]);
        benchBlank(argv[2], argc > 3 ? std::max(1, std::atoi(argv[3])) : 3);
        return 0;
    }
    const bool undoOnly = argc > 1 && std::string(argv[1]) == "--undo";
    const bool structureOnly = argc > 1 && std::string(argv[1]) == "--structure";
    const bool rotateOnly = argc > 1 && std::string(argv[1]) == "--rotate";
    if (undoOnly || structureOnly || rotateOnly) {
        ++argv;
        --argc;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: tessary-bench [--disk NAME] [--undo | --structure | --rotate] "
                             "CORPUS-FOLDER WORK-FOLDER TESSARY-PAGES [RUNS]\n");
        return 2;
    }
    fs::path corpus = argv[1];
    const fs::path work = argv[2];
    const fs::path tool = fs::absolute(argv[3]);
    const int reps = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
    bench::makeCorpus(corpus);
    fs::create_directories(work);
    const std::map<std::string, std::string> sources = {{"scan500.tif", "one-scan.tif"},
                                                        {"colour100.tif", "one-colour.tif"},
                                                        {"photo50.tif", "one-photo.tif"},
                                                        {"mixed60.tif", "one-scan.tif"},
                                                        {"big200.tif", "one-scan.tif"}};
    if (!diskName.empty()) {
        // The 500-page scan and the 100-page colour file, with their one-page sources; with
        // --structure, the scan alone.
        const fs::path onDisk = work / "corpus";
        fs::create_directories(onDisk);
        fs::create_directories(work / "work");
        for (const char* name :
             {"scan500.tif", "one-scan.tif", "colour100.tif", "one-colour.tif"}) {
            if (!structureOnly || std::strstr(name, "scan"))
                fs::copy_file(corpus / name, onDisk / name, fs::copy_options::overwrite_existing);
        }
        spawn({"sync"});
        if (!structureOnly) {
            std::printf("On %s: medians of %d runs. 'cp' is cp --reflink=auto, which shares the\n"
                        "file's blocks instead of copying them. '...mv over' is cp+sync+mv "
                        "renamed\nover the work file as replace and delete replace it, letting "
                        "go of its\ncached pages and blocks. 'shared' is the share of the file "
                        "written whose\nblocks it shares with the file it came from.\n",
                        diskName.c_str(), reps);
            for (const auto& file : bench::corpusFiles()) {
                if (fs::exists(onDisk / file.name))
                    benchFile(onDisk, work / "work", tool, file, onDisk / sources.at(file.name),
                              reps, {false, true});
            }
        } else {
            std::printf("On %s:\n", diskName.c_str());
        }
        benchStructure(onDisk, work / "work", tool, structureOnly ? reps : std::max(reps, 9), true,
                       {});
        return 0;
    }
    if (undoOnly) {
        benchUndo(corpus, work, reps, sources);
        return 0;
    }
    if (rotateOnly) {
        benchRotate(corpus, work, tool, reps);
        return 0;
    }
    const fs::path manyPages = bench::manyPagesFile(corpus);
    if (structureOnly) {
        benchStructure(corpus, work, tool, reps, false, manyPages);
        return 0;
    }
    std::printf("Medians of %d runs (tiffcp: 1 run on files over 40 MiB). 'cp' copies the file\n"
                "written; 'cp+sync+mv' also makes it durable and renames it, as every\n"
                "operation here does before it reports success.\n",
                reps);
    for (const auto& file : bench::corpusFiles())
        benchFile(corpus, work, tool, file, corpus / sources.at(file.name), reps, {});
    benchStructure(corpus, work, tool, std::max(reps, 9), false, manyPages);
    benchDecode(corpus, std::max(reps, 9));
    benchBlank(corpus, std::max(reps / 2, 3));
    benchUndo(corpus, work, std::max(reps, 9), sources);
    benchRotate(corpus, work, tool, reps);
    return 0;
}
