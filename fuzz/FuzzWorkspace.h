#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A folder of the fuzzing process's own, on a memory file system where there is one, in
// which the targets write their inputs as files; removed when the process ends normally.
class FuzzWorkspace
{
public:
    static FuzzWorkspace& instance();

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }
    // Writes bytes as the whole of the file name in the folder and returns its path.
    std::filesystem::path write(const std::string& name, const std::uint8_t* data,
                                std::size_t size) const;
    std::filesystem::path write(const std::string& name,
                                const std::vector<std::uint8_t>& bytes) const;
    // Removes every file in the folder.
    void clear() const;

private:
    FuzzWorkspace();
    ~FuzzWorkspace();

    std::filesystem::path m_path;
};
