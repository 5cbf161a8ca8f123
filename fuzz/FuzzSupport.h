#pragma once

// What the fuzz targets share: checks that raise FuzzFinding, fingerprints of decoded
// pages, and sound files made with libtiff (independently of the engine) and read back.

#include "PageImage.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fuzzsupport {

// Throws FuzzFinding with what when ok is false.
void require(bool ok, const std::string& what);
// Throws FuzzFinding unless the message names text (its first letter in either case).
void requireNames(const std::string& message, const std::string& text);

// A number drawn from the input, to choose among ways of treating it.
std::uint64_t digest(const std::uint8_t* data, std::size_t size);
std::uint64_t fingerprint(const tessary::PageImage& image);
std::vector<std::uint8_t> bytes(const std::filesystem::path& path);
// True when name holds a temporary file of the engine.
bool anyTemporaryIn(const std::filesystem::path& folder);

// Writes a sound file of pages named prefix + "1", prefix + "2", ..., each of a different
// kind (fax, tiled colour with metadata, 16-bit grey, JPEG), as libtiff writes them.
void writeSoundFile(const std::filesystem::path& path, const std::string& prefix, int pages,
                    bool bigTiff, bool bigEndian);
// The page names of a file as libtiff reads them, joined by spaces.
std::string pageNames(const std::filesystem::path& path);

} // namespace fuzzsupport
