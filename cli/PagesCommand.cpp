#include "PagesCommand.h"

#include <ostream>

namespace tessary {

namespace {

const char* const usage =
    "Usage: tessary-pages COMMAND ARGUMENTS   (pages count from 1; DEST may be SRC)\n"
    "  info FILE [--json]                   page count and the facts of every page\n"
    "  append DEST SRC FIRST COUNT          add COUNT pages of SRC from FIRST behind DEST's last page\n"
    "  insert DEST SRC FIRST BEFORE COUNT   put COUNT pages of SRC from FIRST before page BEFORE\n"
    "  replace DEST SRC FIRST AT COUNT      overwrite COUNT pages of DEST from AT with pages of SRC\n"
    "  delete FILE FIRST COUNT              remove COUNT pages from FIRST\n"
    "  extract SRC FIRST COUNT NEWFILE      write COUNT pages of SRC from FIRST into a new file\n"
    "  render FILE PAGE OUT.pnm             decode one page into a PGM (grey) or PPM (colour) image\n";

} // namespace

int runPagesCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        (args.empty() ? err : out) << usage;
        return args.empty() ? 2 : 0;
    }
    err << "tessary-pages: unknown command '" << args[0] << "'; see tessary-pages --help\n";
    return 2;
}

} // namespace tessary
