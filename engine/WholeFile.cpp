#include "WholeFile.h"

#include "EngineError.h"
#include "Messages.h"

#include <system_error>

namespace tessary {

void writeWholeFile(const std::filesystem::path& path, std::string_view bytes, FileLayer& files)
{
    std::filesystem::path tempPath;
    std::unique_ptr<WritableFile> out;
    try {
        out = files.createTemporary(path, tempPath);
        out->write(0, bytes.data(), bytes.size());
        std::error_code ec;
        if (std::filesystem::exists(path, ec))
            out->copyPermissionsFrom(path);
        out->sync();
        out.reset();
        files.rename(tempPath, path);
    } catch (const std::system_error& e) {
        out.reset();
        if (!tempPath.empty())
            files.remove(tempPath);
        throw writeFailure(path, e.code().value());
    }
    try {
        files.syncFolder(path.parent_path());
    } catch (const std::system_error& e) {
        throw writeFailure(path, e.code().value(), false);
    }
}

} // namespace tessary
