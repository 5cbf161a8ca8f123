#pragma once

#include "PosixFileLayer.h"

#ifdef _WIN32
#include "WindowsFileLayer.h"
using SystemFileLayer = tessary::WindowsFileLayer;
#else
using SystemFileLayer = tessary::PosixFileLayer;
#endif

#include <cerrno>
#include <string>
#include <vector>

// A file layer that counts every write, copy, truncate, sync, rename and link and makes the
// N-th of them fail with a chosen error (1-based; 0 never fails). With shortWrite the
// failing write first writes half of its bytes, as a filling disk does. With persistent
// every later point fails too, as a disk that went bad or read-only does. With die the
// process ends at the N-th point instead (_exit with deathStatus), as a killed program or
// a crash would, before that call reaches the disk.
class FaultyFileLayer : public SystemFileLayer
{
public:
    static constexpr int deathStatus = 86;

    int failAt = 0;
    int error = ENOSPC;
    bool shortWrite = false;
    bool persistent = false;
    bool die = false;
    // As a file system that keeps no locks: every lock is refused as unsupported.
    bool noLocks = false;
    int points = 0; // fault points passed so far
    // Each point passed, as its kind and the name of the file it concerns ("sync a.tif";
    // "rename a.tif" for a rename onto a.tif, "sync-folder" with the folder's name).
    std::vector<std::string> trail;

    std::unique_ptr<tessary::WritableFile>
    createTemporary(const std::filesystem::path& target, std::filesystem::path& tempPath) override;
    std::unique_ptr<tessary::WritableFile>
    openForUpdate(const std::filesystem::path& path) override;
    // Locks are no fault points: they never write.
    std::unique_ptr<tessary::WritableFile> openForLock(const std::filesystem::path& path) override;
    void rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    void link(const std::filesystem::path& existing, const std::filesystem::path& name) override;
    void syncFolder(const std::filesystem::path& folder) override;

    // Counts a point of the given kind; throws (or ends the process) when it is to fail.
    void point(const char* kind, const std::filesystem::path& file);
    // True when the next point is to fail.
    bool failsNext() const;
};
