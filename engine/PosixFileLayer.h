#pragma once

#include "FileLayer.h"

namespace tessary {

// The file layer on POSIX calls: pwrite, copy_file_range, fsync, rename, link, and open
// file description locks.
class PosixFileLayer : public FileLayer
{
public:
    std::unique_ptr<WritableFile> createTemporary(const std::filesystem::path& target,
                                                  std::filesystem::path& tempPath) override;
    std::unique_ptr<WritableFile> openForUpdate(const std::filesystem::path& path) override;
    std::unique_ptr<WritableFile> openForLock(const std::filesystem::path& path) override;
    void rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void link(const std::filesystem::path& existing, const std::filesystem::path& name) override;
    void syncFolder(const std::filesystem::path& folder) override;
    void remove(const std::filesystem::path& path) noexcept override;
};

// The prefix and suffix of the temporary files the engine makes beside a target; a name
// between them identifies the process that made it.
std::string temporaryName(const std::filesystem::path& target, long processId, unsigned serial);
bool isTemporaryName(const std::string& name, long* processId);

// True when no process runs under processId, so that the temporary files it named may go.
bool processIsGone(long processId);

// A fresh temporary name beside target, for a scratch file of this process.
std::filesystem::path scratchPathBeside(const std::filesystem::path& target);

} // namespace tessary
