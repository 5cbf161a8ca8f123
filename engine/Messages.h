#pragma once

#include "EngineError.h"

#include <filesystem>
#include <string>

namespace tessary {

// The path that text in UTF-8 names. Every string of the program is UTF-8; on Windows a
// path built from a narrow string would otherwise be read in the ANSI code page, and lose
// every character outside it. (The other way, path::string() gives UTF-8 there already.)
std::filesystem::path pathOf(const std::string& utf8);

// How the engine names a file to the user: its name without the folder.
std::string quoted(const std::filesystem::path& path);

// "page 7 of scan.tif"
std::string pageOf(int page, const std::filesystem::path& path);

// text with its first letter in upper case, to begin a sentence.
std::string capitalized(std::string text);

// The error for a file that could not be opened for reading.
EngineError openFailure(const std::filesystem::path& path, int error);

// The error for a failed write, flush, sync or rename while changing target. unchanged
// says whether the target is known to be as it was, which the message then promises.
EngineError writeFailure(const std::filesystem::path& target, int error, bool unchanged = true);

} // namespace tessary
