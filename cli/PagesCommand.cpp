#include "PagesCommand.h"

#include "EngineError.h"
#include "PageEngine.h"
#include "TiffDocument.h"
#include "WholeFile.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <ostream>
#include <sstream>

namespace tessary {

namespace {

const char* const usage =
    "Usage: tessary-pages COMMAND ARGUMENTS   (pages count from 1; DEST may be SRC)\n"
    "  info FILE [--json]                   page count and the facts of every page\n"
    "  append DEST SRC FIRST COUNT          add COUNT pages of SRC from FIRST behind DEST's last "
    "page\n"
    "  insert DEST SRC FIRST BEFORE COUNT   put COUNT pages of SRC from FIRST before page BEFORE\n"
    "  replace DEST SRC FIRST AT COUNT      overwrite COUNT pages of DEST from AT with pages of "
    "SRC\n"
    "  delete FILE FIRST COUNT              remove COUNT pages from FIRST\n"
    "  extract SRC FIRST COUNT NEWFILE      write COUNT pages of SRC from FIRST into a new file\n"
    "  rotate FILE FIRST COUNT 90|180|270   turn COUNT pages from FIRST clockwise as they are "
    "seen\n"
    "  render FILE PAGE OUT.pnm             decode one page into a PGM (grey) or PPM (colour) "
    "image\n"
    "Options of the commands that change a file:\n"
    "  --wait SECONDS                       while another program is changing the file, wait\n"
    "                                       up to SECONDS for it (default 30; 0: do not wait)\n"
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

std::string jsonNumber(double value)
{
    std::ostringstream s;
    s.precision(10);
    s << value;
    return s.str();
}

int info(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const bool json = args.size() == 3 && args[2] == "--json";
    if (!json)
        expectArguments(args, 2);
    const auto document = TiffDocument::open(args[1]);
    std::vector<PageInfo> pages;
    for (std::int32_t page = 1; page <= document->pageCount(); ++page)
        pages.push_back(document->pageInfo(page));
    if (!document->complete())
        err << "tessary-pages: warning: " << document->pageListProblem() << "\n";
    if (json) {
        out << "{\"pages\": " << pages.size() << ", \"page\": [";
        for (std::size_t i = 0; i < pages.size(); ++i) {
            const PageInfo& p = pages[i];
            out << (i ? ", " : "") << "{\"width\": " << p.width << ", \"height\": " << p.height
                << ", \"bits\": " << p.bitsPerSample << ", \"samples\": " << p.samplesPerPixel
                << ", \"compression\": " << jsonString(p.compressionName())
                << ", \"photometric\": " << jsonString(p.photometricName())
                << ", \"xres\": " << jsonNumber(p.xResolution)
                << ", \"yres\": " << jsonNumber(p.yResolution)
                << ", \"unit\": " << jsonString(p.resolutionUnitName())
                << ", \"tiled\": " << (p.tiled ? "true" : "false") << "}";
        }
        out << "]}\n";
        return 0;
    }
    out << args[1] << ": " << pages.size() << " page(s)" << (document->bigTiff() ? ", BigTIFF" : "")
        << (document->bigEndian() ? ", big-endian" : ", little-endian") << "\n";
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const PageInfo& p = pages[i];
        out << "  page " << i + 1 << ": " << p.width << " x " << p.height << ", " << p.bitsPerSample
            << " bit(s) x " << p.samplesPerPixel << ", " << p.compressionName() << ", "
            << p.photometricName();
        if (p.xResolution > 0 || p.yResolution > 0) {
            out << ", " << jsonNumber(p.xResolution) << " x " << jsonNumber(p.yResolution)
                << " per " << p.resolutionUnitName();
        }
        out << (p.tiled ? ", tiled" : ", stripped") << "\n";
    }
    return 0;
}

int render(const std::vector<std::string>& args)
{
    expectArguments(args, 4);
    const std::int32_t page = number(args[2], "PAGE");
    const auto document = TiffDocument::open(args[1]);
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
    writeWholeFile(args[3], bytes);
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
    if (command == "info")
        return info(args, out, err);
    OperationOptions options;
    if (command != "render")
        takeWaitOption(args, options);
    if (command == "append") {
        expectArguments(args, 5);
        engine.appendPages(args[1], args[2], number(args[3], "FIRST"), number(args[4], "COUNT"),
                           options);
    } else if (command == "insert") {
        expectArguments(args, 6);
        engine.insertPages(args[1], args[2], number(args[3], "FIRST"), number(args[4], "BEFORE"),
                           number(args[5], "COUNT"), options);
    } else if (command == "replace") {
        expectArguments(args, 6);
        engine.replacePages(args[1], args[2], number(args[3], "FIRST"), number(args[4], "AT"),
                            number(args[5], "COUNT"), options);
    } else if (command == "delete") {
        expectArguments(args, 4);
        engine.deletePages(args[1], number(args[2], "FIRST"), number(args[3], "COUNT"), options);
    } else if (command == "extract") {
        expectArguments(args, 5);
        const std::int32_t first = number(args[2], "FIRST");
        const std::int32_t count = number(args[3], "COUNT");
        std::error_code ec;
        if (std::filesystem::exists(args[4], ec))
            throw UsageError{args[4] + " already exists; extract writes only new files"};
        engine.extractPages(args[1], first, count, args[4], options);
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
            engine.rotatePages(args[1], first, count, degrees, options).message;
        if (!note.empty())
            out << note << "\n";
    } else if (command == "render") {
        return render(args);
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
