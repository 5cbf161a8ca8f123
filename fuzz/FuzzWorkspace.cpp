#include "FuzzWorkspace.h"

#include <fstream>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

FuzzWorkspace& FuzzWorkspace::instance()
{
    static FuzzWorkspace workspace;
    return workspace;
}

FuzzWorkspace::FuzzWorkspace()
{
    std::error_code ec;
    fs::path root = fs::temp_directory_path(ec);
    if (fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0)
        root = "/dev/shm";
    std::string pattern = (root / "tessary-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a folder for fuzzing");
    m_path = pattern;
}

FuzzWorkspace::~FuzzWorkspace()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

fs::path FuzzWorkspace::write(const std::string& name, const std::uint8_t* data,
                              std::size_t size) const
{
    const fs::path file = m_path / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
    return file;
}

fs::path FuzzWorkspace::write(const std::string& name, const std::vector<std::uint8_t>& bytes) const
{
    return write(name, bytes.data(), bytes.size());
}

void FuzzWorkspace::clear() const
{
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(m_path, ec))
        fs::remove(entry.path(), ec);
}
