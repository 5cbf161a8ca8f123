#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tessary {

// The fixed part of a file's version resource.
struct FixedFileInfo
{
    quint32 dwFileVersionMS = 0; // major << 16 | minor
    quint32 dwFileVersionLS = 0; // build << 16 | revision
    quint32 dwProductVersionMS = 0;
    quint32 dwProductVersionLS = 0;
};

// Reads the fixed file-information block of the version resource of a Windows executable
// or library (PE file, 32 or 64 bit). Every offset is checked against the data, so damaged
// or hostile files give no version rather than a crash.
class PeVersionReader
{
public:
    // Nothing when the file cannot be read, is not a PE file or has no version resource.
    static std::optional<FixedFileInfo> read(const QString& fileName);
    static std::optional<FixedFileInfo> parse(const QByteArray& image);

    // Files larger than this are not read.
    static constexpr qint64 MaxFileSize = 256 * 1024 * 1024;
};

} // namespace tessary
