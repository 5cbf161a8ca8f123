#include "FaultyFileLayer.h"

#include "ReadableFile.h"

#include <system_error>
#include <unistd.h>

namespace {

class FaultyFile : public tessary::WritableFile
{
public:
    FaultyFile(std::unique_ptr<tessary::WritableFile> inner, FaultyFileLayer& layer,
               std::string name)
        : m_inner(std::move(inner))
        , m_layer(layer)
        , m_name(std::move(name))
    {}

    void write(std::uint64_t offset, const void* data, std::size_t size) override
    {
        if (m_layer.shortWrite && m_layer.failsNext() && size > 1)
            m_inner->write(offset, data, size / 2);
        m_layer.point("write", m_name);
        m_inner->write(offset, data, size);
    }
    void copyFrom(const tessary::ReadableFile& source, std::uint64_t sourceOffset,
                  std::uint64_t size, std::uint64_t offset) override
    {
        if (m_layer.shortWrite && m_layer.failsNext() && size > 1)
            m_inner->copyFrom(source, sourceOffset, size / 2, offset);
        m_layer.point("copy", m_name);
        m_inner->copyFrom(source, sourceOffset, size, offset);
    }
    void truncate(std::uint64_t size) override
    {
        m_layer.point("truncate", m_name);
        m_inner->truncate(size);
    }
    void sync() override
    {
        m_layer.point("sync", m_name);
        m_inner->sync();
    }
    void copyPermissionsFrom(const std::filesystem::path& path) override
    {
        m_layer.point("chmod", m_name);
        m_inner->copyPermissionsFrom(path);
    }
    tessary::LockState tryLock() override
    {
        return m_layer.noLocks ? tessary::LockState::Unsupported : m_inner->tryLock();
    }
    tessary::FileStamp stamp() const override { return m_inner->stamp(); }

private:
    std::unique_ptr<tessary::WritableFile> m_inner;
    FaultyFileLayer& m_layer;
    std::string m_name;
};

} // namespace

bool FaultyFileLayer::failsNext() const
{
    return failAt > 0 && (points + 1 == failAt || (persistent && points + 1 > failAt));
}

void FaultyFileLayer::point(const char* kind, const std::filesystem::path& file)
{
    const bool fails = failsNext();
    ++points;
    trail.push_back(std::string(kind) + " " + file.filename().string());
    if (fails && die)
        _exit(deathStatus);
    if (fails)
        throw std::system_error(error, std::generic_category(), kind);
}

std::unique_ptr<tessary::WritableFile>
FaultyFileLayer::createTemporary(const std::filesystem::path& target,
                                 std::filesystem::path& tempPath)
{
    point("create", target);
    auto file = SystemFileLayer::createTemporary(target, tempPath);
    return std::make_unique<FaultyFile>(std::move(file), *this, tempPath.filename().string());
}

std::unique_ptr<tessary::WritableFile>
FaultyFileLayer::openForUpdate(const std::filesystem::path& path)
{
    point("open", path);
    return std::make_unique<FaultyFile>(SystemFileLayer::openForUpdate(path), *this,
                                        path.filename().string());
}

std::unique_ptr<tessary::WritableFile>
FaultyFileLayer::openForLock(const std::filesystem::path& path)
{
    return std::make_unique<FaultyFile>(SystemFileLayer::openForLock(path), *this,
                                        path.filename().string());
}

void FaultyFileLayer::rename(const std::filesystem::path& from, const std::filesystem::path& to)
{
    point("rename", to);
    SystemFileLayer::rename(from, to);
}

void FaultyFileLayer::link(const std::filesystem::path& existing, const std::filesystem::path& name)
{
    point("link", existing);
    SystemFileLayer::link(existing, name);
}

void FaultyFileLayer::syncFolder(const std::filesystem::path& folder)
{
    point("sync-folder", folder);
    SystemFileLayer::syncFolder(folder);
}
