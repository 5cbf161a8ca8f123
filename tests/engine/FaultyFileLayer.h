#pragma once

#include "PosixFileLayer.h"

#include <cerrno>
#include <string>
#include <vector>

// A file layer that counts every write, copy, truncate, sync and rename and makes the
// N-th of them fail with a chosen error (1-based; 0 never fails). With shortWrite the
// failing write first writes half of its bytes, as a filling disk does.
class FaultyFileLayer : public tessary::PosixFileLayer
{
public:
    int failAt = 0;
    int error = ENOSPC;
    bool shortWrite = false;
    int points = 0;                 // fault points passed so far
    std::vector<std::string> trail; // the kind of each point, for messages

    std::unique_ptr<tessary::WritableFile>
    createTemporary(const std::filesystem::path& target, std::filesystem::path& tempPath) override;
    std::unique_ptr<tessary::WritableFile>
    openForUpdate(const std::filesystem::path& path) override;
    void rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void syncFolder(const std::filesystem::path& folder) override;

    // Counts a point of the given kind; throws when it is the one to fail.
    void point(const char* kind);
};
