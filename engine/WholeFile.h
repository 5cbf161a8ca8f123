#pragma once

#include "FileLayer.h"

#include <filesystem>
#include <string_view>

namespace tessary {

// Writes bytes as the whole content of path, atomically: through a temporary file in the
// same folder that is synced and renamed over path. Throws EngineError naming path; on
// failure path is as it was.
void writeWholeFile(const std::filesystem::path& path, std::string_view bytes,
                    FileLayer& files = FileLayer::system());

} // namespace tessary
