#include "FuzzWorkspace.h"

#include <fstream>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <random>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

FuzzWorkspace& FuzzWorkspace::instance()
{
    static FuzzWorkspace workspace;
    return workspace;
}

#ifdef _WIN32

FuzzWorkspace::FuzzWorkspace()
{
    std::random_device random;
    for (int attempt = 0; m_path.empty() && attempt < 100; ++attempt) {
        const fs::path path =
            fs::temp_directory_path() / ("tessary-fuzz-" + std::to_string(random()));
        if (fs::create_directory(path))
            m_path = path;
    }
    if (m_path.empty())
        throw std::runtime_error("cannot make a folder for fuzzing");
}

#else

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

#endif

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
