#include "PagesCommand.h"

#include "BlankPage.h"
#include "EngineError.h"
#include "Messages.h"
#include "PageEngine.h"
#include "PageList.h"
#include "ScanBatch.h"
#include "TiffDocument.h"
#include "WholeFile.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <ostream>
#include <sstream>

namespace tessary {

namespace {

const char* const usage =
    "Usage: tessary-pages COMMAND ARGUMENTS   (pages count from 1; DEST may be SRC)\n"
    "  info FILE [--json]                   page count and the facts of every page\n"
    "  info FILE --blank [--blank-threshold PERCENT]\n"
    "                                       the blank pages, with their share of ink\n"
    "  append DEST SRC FIRST COUNT          add COUNT pages of SRC from FIRST behind DEST's last "
    "page\n"
    "  insert DEST SRC FIRST BEFORE COUNT   put COUNT pages of SRC from FIRST before page BEFORE\n"
    "  replace DEST SRC FIRST AT COUNT      overwrite COUNT pages of DEST from AT with pages of "
    "SRC\n"
    "  delete FILE FIRST COUNT              remove COUNT pages from FIRST\n"
    "  delete FILE LIST                     remove the pages listed (LIST as for arrange)\n"
    "  arrange FILE LIST...                 give FILE the pages listed, in that order: LIST like\n"
    "                                       1-3,7,5-6 (pages of FILE; 9-7 runs backwards) and\n"
    "                                       OTHER:4-9 (pages of the file OTHER)\n"
    "  extract SRC FIRST COUNT NEWFILE      write COUNT pages of SRC from FIRST into a new file\n"
    "  rotate FILE FIRST COUNT 90|180|270   turn COUNT pages from FIRST clockwise as they are "
    "seen\n"
    "  render FILE PAGE OUT.pnm             decode one page into a PGM (grey) or PPM (colour) "
    "image\n"
    "  interleave FRONTS BACKS OUT [--backs-reversed] [--allow-uneven]\n"
    "                                       front 1, back 1, front 2, back 2, ... into OUT\n"
    "  split FILE OUTPATTERN (--every N | --at-blank [--blank-threshold PERCENT])\n"
    "                                       one file per part, named by OUTPATTERN with %d or\n"
    "                                       %03d for its number; blank separator pages left out\n"
    "  merge OUT FILE...                    every page of every FILE, in order, into OUT\n"
    "Options of the commands that change a file:\n"
    "  --wait SECONDS                       while another program is changing the file, wait\n"
    "                                       up to SECONDS for it (default 30; 0: do not wait)\n"
    "  --force                              interleave, split, merge: replace an OUT or a part\n"
    "                                       that exists already\n"
    "A page is blank when less than PERCENT of it (default 0.5) is ink.\n"
    "Exit status 0 on success; otherwise one line on standard error says why, and no file\n"
    "was changed.\n";

// A mistake in the command line itself.
struct UsageError
{
    std::string message;
};

std::int32_t number(const std::string& text, const char* name)
{
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end)
        throw UsageError{std::string(name) + " must be a whole number, not '" + text + "'"};
    return value;
}

void expectArguments(const std::vector<std::string>& args, std::size_t count)
{
    if (args.size() != count) {
        throw UsageError{"'" + args[0] + "' takes " + std::to_string(count - 1) +
                         " arguments; see tessary-pages --help"};
    }
}

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void appendWhole(std::string& out, std::uint64_t value)
{
    char text[24];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// A number as a stream with ten significant digits writes it.
void appendNumber(std::string& out, double value)
{
    if (value >= 0 && value < 1e10 && value == double(std::uint64_t(value))) {
        appendWhole(out, std::uint64_t(value));
        return;
    }
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%.10g", value);
    out.append(text, std::size_t(std::max(n, 0)));
}

std::string jsonNumber(double value)
{
    std::string text;
    appendNumber(text, value);
    return text;
}

int info(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const bool json = args.size() == 3 && args[2] == "--json";
    if (!json)
        expectArguments(args, 2);
    const auto document = TiffDocument::open(pathOf(args[1]), true);
    const std::int32_t count = document->pageCount();
    // Every page is read before anything is written, so that a damaged page leaves only its
    // error; each line is made in one buffer.
    std::string text;
    if (json) {
        text = "{\"pages\": ";
        appendWhole(text, std::uint64_t(count));
        text += ", \"page\": [";
    } else {
        text = args[1] + ": ";
        appendWhole(text, std::uint64_t(count));
        text += std::string(" page(s)") + (document->bigTiff() ? ", BigTIFF" : "") +
                (document->bigEndian() ? ", big-endian" : ", little-endian") + "\n";
    }
    for (std::int32_t page = 1; page <= count; ++page) {
        const PageInfo p = document->pageInfo(page);
        if (json) {
            text += page > 1 ? ", {\"width\": " : "{\"width\": ";
            appendWhole(text, p.width);
            text += ", \"height\": ";
            appendWhole(text, p.height);
            text += ", \"bits\": ";
            appendWhole(text, p.bitsPerSample);
            text += ", \"samples\": ";
            appendWhole(text, p.samplesPerPixel);
            text += ", \"compression\": " + jsonString(p.compressionName()) +
                    ", \"photometric\": " + jsonString(p.photometricName()) + ", \"xres\": ";
            appendNumber(text, p.xResolution);
            text += ", \"yres\": ";
            appendNumber(text, p.yResolution);
            text += ", \"unit\": " + jsonString(p.resolutionUnitName()) +
                    ", \"tiled\": " + (p.tiled ? "true}" : "false}");
            continue;
        }
        text += "  page ";
        appendWhole(text, std::uint64_t(page));
        text += ": ";
        appendWhole(text, p.width);
        text += " x ";
        appendWhole(text, p.height);
        text += ", ";
        appendWhole(text, p.bitsPerSample);
        text += " bit(s) x ";
        appendWhole(text, p.samplesPerPixel);
        text += ", " + p.compressionName() + ", " + p.photometricName();
        if (p.xResolution > 0 || p.yResolution > 0) {
            text += ", ";
            appendNumber(text, p.xResolution);
            text += " x ";
            appendNumber(text, p.yResolution);
            text += " per " + p.resolutionUnitName();
        }
        text += p.tiled ? ", tiled\n" : ", stripped\n";
    }
    if (json)
        text += "]}\n";
    if (!document->complete())
        err << "tessary-pages: warning: " << document->pageListProblem() << "\n";
    out << text;
    return 0;
}

int render(const std::vector<std::string>& args)
{
    expectArguments(args, 4);
    const std::int32_t page = number(args[2], "PAGE");
    const auto document = TiffDocument::open(pathOf(args[1]));
    std::string damage;
    const PageImage image = document->decode(page, {}, &damage);
    if (!damage.empty())
        throw EngineError(ErrorKind::Damaged, damage);
    const bool grey = image.format == PageImage::Format::Grey8;
    std::string bytes = std::string(grey ? "P5\n" : "P6\n") + std::to_string(image.width) + " " +
                        std::to_string(image.height) + "\n255\n";
    const std::size_t header = bytes.size();
    if (grey) {
        bytes.append(reinterpret_cast<const char*>(image.pixels.data()), image.pixels.size());
    } else {
        // Colour premultiplied by alpha, laid over white.
        bytes.resize(header + std::size_t(image.width) * image.height * 3);
        for (std::size_t i = 0, n = std::size_t(image.width) * image.height; i < n; ++i) {
            const std::uint8_t* p = image.pixels.data() + 4 * i;
            for (int c = 0; c < 3; ++c)
                bytes[header + 3 * i + std::size_t(c)] = char(std::uint8_t(p[c] + (255 - p[3])));
        }
    }
    writeWholeFile(pathOf(args[3]), bytes);
    return 0;
}

// The pages listed by args from first on.
std::vector<PageOf> pageList(const std::vector<std::string>& args, std::size_t first)
{
    try {
        return readPageList({args.begin() + std::ptrdiff_t(first), args.end()});
    } catch (const std::invalid_argument& e) {
        throw UsageError{e.what()};
    }
}

// Takes the flag out of args (anywhere after the command); whether it was there.
bool takeFlag(std::vector<std::string>& args, const std::string& flag)
{
    const auto at = std::find(args.begin() + 1, args.end(), flag);
    if (at == args.end())
        return false;
    args.erase(at);
    return true;
}

// Takes "option VALUE" out of args; its value, or nothing.
std::optional<std::string> takeValue(std::vector<std::string>& args, const std::string& option)
{
    const auto at = std::find(args.begin() + 1, args.end(), option);
    if (at == args.end())
        return std::nullopt;
    if (at + 1 == args.end())
        throw UsageError{option + " needs a value"};
    std::string value = *(at + 1);
    args.erase(at, at + 2);
    return value;
}

double blankThreshold(std::vector<std::string>& args)
{
    const auto percent = takeValue(args, "--blank-threshold");
    if (!percent)
        return BlankPage::defaultThreshold;
    double value = -1;
    const char* end = percent->data() + percent->size();
    const auto [ptr, ec] = std::from_chars(percent->data(), end, value);
    if (ec != std::errc() || ptr != end || value < 0 || value > 100)
        throw UsageError{"--blank-threshold takes a percentage from 0 to 100, not '" + *percent +
                         "'"};
    return value / 100;
}

void refuseExisting(const std::filesystem::path& out, bool force)
{
    std::error_code ec;
    if (!force && std::filesystem::exists(std::filesystem::symlink_status(out, ec)))
        throw UsageError{out.string() + " already exists; --force replaces it"};
}

int blankPages(std::vector<std::string> args, std::ostream& out)
{
    const double threshold = blankThreshold(args);
    expectArguments(args, 2);
    const std::vector<double> shares = BlankPage::inkShares(pathOf(args[1]));
    std::ostringstream pages;
    int blank = 0;
    for (std::int32_t page = 1; page <= std::int32_t(shares.size()); ++page) {
        const double ink = shares[std::size_t(page - 1)];
        if (ink < threshold) {
            ++blank;
            pages << "  page " << page << ": ink " << jsonNumber(std::round(ink * 10000) / 100)
                  << "%\n";
        }
    }
    out << args[1] << ": " << blank << " blank page(s) of " << shares.size() << " (ink below "
        << jsonNumber(threshold * 100) << "%)\n"
        << pages.str();
    return 0;
}

int batch(std::vector<std::string> args, const OperationOptions& options, std::ostream& out)
{
    const std::string& command = args[0];
    const bool force = takeFlag(args, "--force");
    PageEngine engine;
    if (command == "interleave") {
        const bool reversed = takeFlag(args, "--backs-reversed");
        const bool uneven = takeFlag(args, "--allow-uneven");
        expectArguments(args, 4);
        refuseExisting(pathOf(args[3]), force);
        engine.extractPages(
            ScanBatch::interleave(pathOf(args[1]), pathOf(args[2]), reversed, uneven),
            pathOf(args[3]), options);
        return 0;
    }
    if (command == "merge") {
        if (args.size() < 3)
            throw UsageError{"'merge' takes OUT and one or more files; see tessary-pages --help"};
        refuseExisting(pathOf(args[1]), force);
        std::vector<std::filesystem::path> files;
        for (auto file = args.begin() + 2; file != args.end(); ++file)
            files.push_back(pathOf(*file));
        engine.extractPages(ScanBatch::merge(files), pathOf(args[1]), options);
        return 0;
    }
    const auto every = takeValue(args, "--every");
    const bool atBlank = takeFlag(args, "--at-blank");
    const double threshold = blankThreshold(args);
    expectArguments(args, 3);
    if (every.has_value() == atBlank)
        throw UsageError{"'split' takes --every N or --at-blank; see tessary-pages --help"};
    std::vector<std::int32_t> blanks;
    std::vector<std::vector<std::int32_t>> parts;
    if (every) {
        const std::int32_t n = number(*every, "--every");
        if (n < 1)
            throw UsageError{"--every takes 1 or more pages, not " + *every};
        parts = ScanBatch::splitEvery(TiffDocument::open(pathOf(args[1]))->pageCount(), n);
    } else {
        parts = ScanBatch::splitAtBlanks(pathOf(args[1]), threshold, blanks);
        if (parts.empty()) {
            throw EngineError(ErrorKind::PageRange, tessary::quoted(pathOf(args[1])) +
                                                        " has no page that is not blank; "
                                                        "nothing was written.");
        }
    }
    std::vector<std::filesystem::path> names;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        try {
            names.push_back(ScanBatch::partName(args[2], int(i) + 1));
        } catch (const std::invalid_argument& e) {
            throw UsageError{e.what()};
        }
        refuseExisting(names.back(), force);
    }
    ScanBatch::writeParts(engine, pathOf(args[1]), parts, names, options);
    for (std::size_t i = 0; i < parts.size(); ++i)
        out << names[i].string() << ": pages " << ScanBatch::listText(parts[i]) << "\n";
    if (!blanks.empty())
        out << "blank pages left out: " << ScanBatch::listText(blanks) << "\n";
    return 0;
}

// Takes "--wait SECONDS" out of args (anywhere after the command) into options.
void takeWaitOption(std::vector<std::string>& args, OperationOptions& options)
{
    options.lockWait.limit = std::chrono::seconds(30);
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] != "--wait")
            continue;
        if (i + 1 == args.size())
            throw UsageError{"--wait needs a number of seconds"};
        const std::int32_t seconds = number(args[i + 1], "--wait");
        if (seconds < 0)
            throw UsageError{"--wait takes 0 or more seconds, not " + args[i + 1]};
        options.lockWait.limit = std::chrono::seconds(seconds);
        args.erase(args.begin() + std::ptrdiff_t(i), args.begin() + std::ptrdiff_t(i) + 2);
        return;
    }
}

int run(std::vector<std::string> args, std::ostream& out, std::ostream& err)
{
    const std::string command = args[0];
    PageEngine engine;
    if (command == "info" && std::find(args.begin(), args.end(), "--blank") != args.end()) {
        args.erase(std::find(args.begin(), args.end(), "--blank"));
        return blankPages(args, out);
    }
    if (command == "info")
        return info(args, out, err);
    OperationOptions options;
    if (command != "render")
        takeWaitOption(args, options);
    if (command == "append") {
        expectArguments(args, 5);
        engine.appendPages(pathOf(args[1]), pathOf(args[2]), number(args[3], "FIRST"),
                           number(args[4], "COUNT"), options);
    } else if (command == "insert") {
        expectArguments(args, 6);
        engine.insertPages(pathOf(args[1]), pathOf(args[2]), number(args[3], "FIRST"),
                           number(args[4], "BEFORE"), number(args[5], "COUNT"), options);
    } else if (command == "replace") {
        expectArguments(args, 6);
        engine.replacePages(pathOf(args[1]), pathOf(args[2]), number(args[3], "FIRST"),
                            number(args[4], "AT"), number(args[5], "COUNT"), options);
    } else if (command == "delete" && args.size() == 3) {
        std::vector<std::int32_t> pages;
        for (const PageOf& listed : pageList(args, 2)) {
            if (!listed.file.empty())
                throw UsageError{"delete removes pages of FILE alone, not of " +
                                 listed.file.string()};
            pages.push_back(listed.page);
        }
        engine.deletePages(pathOf(args[1]), pages, options);
    } else if (command == "delete") {
        expectArguments(args, 4);
        engine.deletePages(pathOf(args[1]), number(args[2], "FIRST"), number(args[3], "COUNT"),
                           options);
    } else if (command == "arrange") {
        if (args.size() < 3)
            throw UsageError{"'arrange' takes FILE and a list of pages; see tessary-pages --help"};
        engine.arrangePages(pathOf(args[1]), pageList(args, 2), options);
    } else if (command == "extract") {
        expectArguments(args, 5);
        const std::int32_t first = number(args[2], "FIRST");
        const std::int32_t count = number(args[3], "COUNT");
        std::error_code ec;
        if (std::filesystem::exists(pathOf(args[4]), ec))
            throw UsageError{args[4] + " already exists; extract writes only new files"};
        engine.extractPages(pathOf(args[1]), first, count, pathOf(args[4]), options);
    } else if (command == "rotate") {
        expectArguments(args, 5);
        const std::int32_t first = number(args[2], "FIRST");
        const std::int32_t count = number(args[3], "COUNT");
        const std::int32_t degrees = number(args[4], "the angle");
        if (degrees != 90 && degrees != 180 && degrees != 270)
            throw UsageError{"the angle must be 90, 180 or 270 (degrees clockwise), not " +
                             args[4]};
        // Pages whose turn went into their orientation tag are said, the change made.
        const std::string note =
            engine.rotatePages(pathOf(args[1]), first, count, degrees, options).message;
        if (!note.empty())
            out << note << "\n";
    } else if (command == "render") {
        return render(args);
    } else if (command == "interleave" || command == "merge" || command == "split") {
        return batch(args, options, out);
    } else {
        throw UsageError{"unknown command '" + command + "'; see tessary-pages --help"};
    }
    return 0;
}

} // namespace

int runPagesCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.empty()) {
        err << usage;
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        out << usage;
        return 0;
    }
    try {
        return run(args, out, err);
    } catch (const UsageError& e) {
        err << "tessary-pages: " << e.message << "\n";
        return 2;
    } catch (const EngineError& e) {
        err << "tessary-pages: " << e.what() << "\n";
        return 1;
    } catch (const std::bad_alloc&) {
        err << "tessary-pages: there is not enough memory for this operation; nothing was "
               "changed.\n";
        return 1;
    } catch (const std::exception& e) {
        err << "tessary-pages: " << e.what() << "\n";
        return 1;
    }
}

} // namespace tessary
