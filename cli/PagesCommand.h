#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tessary {

// Runs one tessary-pages command line (arguments without the program name), writing
// results to out and a one-line reason to err on failure. Returns the exit status.
int runPagesCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace tessary
