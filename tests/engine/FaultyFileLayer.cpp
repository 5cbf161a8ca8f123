#include "FaultyFileLayer.h"

#include "ReadableFile.h"

#include <system_error>

namespace {

class FaultyFile : public tessary::WritableFile
{
public:
    FaultyFile(std::unique_ptr<tessary::WritableFile> inner, FaultyFileLayer& layer)
        : m_inner(std::move(inner))
        , m_layer(layer)
    {}

    void write(std::uint64_t offset, const void* data, std::size_t size) override
    {
        if (m_layer.shortWrite && m_layer.points + 1 == m_layer.failAt && size > 1)
            m_inner->write(offset, data, size / 2);
        m_layer.point("write");
        m_inner->write(offset, data, size);
    }
    void copyFrom(const tessary::ReadableFile& source, std::uint64_t sourceOffset,
                  std::uint64_t size, std::uint64_t offset) override
    {
        if (m_layer.shortWrite && m_layer.points + 1 == m_layer.failAt && size > 1)
            m_inner->copyFrom(source, sourceOffset, size / 2, offset);
        m_layer.point("copy");
        m_inner->copyFrom(source, sourceOffset, size, offset);
    }
    void truncate(std::uint64_t size) override
    {
        m_layer.point("truncate");
        m_inner->truncate(size);
    }
    void sync() override
    {
        m_layer.point("sync");
        m_inner->sync();
    }
    void copyPermissionsFrom(const std::filesystem::path& path) override
    {
        m_layer.point("chmod");
        m_inner->copyPermissionsFrom(path);
    }

private:
    std::unique_ptr<tessary::WritableFile> m_inner;
    FaultyFileLayer& m_layer;
};

} // namespace

void FaultyFileLayer::point(const char* kind)
{
    ++points;
    trail.emplace_back(kind);
    if (points == failAt)
        throw std::system_error(error, std::generic_category(), kind);
}

std::unique_ptr<tessary::WritableFile>
FaultyFileLayer::createTemporary(const std::filesystem::path& target,
                                 std::filesystem::path& tempPath)
{
    point("create");
    return std::make_unique<FaultyFile>(PosixFileLayer::createTemporary(target, tempPath), *this);
}

std::unique_ptr<tessary::WritableFile>
FaultyFileLayer::openForUpdate(const std::filesystem::path& path)
{
    point("open");
    return std::make_unique<FaultyFile>(PosixFileLayer::openForUpdate(path), *this);
}

void FaultyFileLayer::rename(const std::filesystem::path& from, const std::filesystem::path& to)
{
    point("rename");
    PosixFileLayer::rename(from, to);
}

void FaultyFileLayer::syncFolder(const std::filesystem::path& folder)
{
    point("sync folder");
    PosixFileLayer::syncFolder(folder);
}
