#pragma once

#include <QtGlobal>

namespace tessary {

// The fixed part of a file's version resource.
struct FixedFileInfo
{
    quint32 dwFileVersionMS = 0; // major << 16 | minor
    quint32 dwFileVersionLS = 0; // build << 16 | revision
    quint32 dwProductVersionMS = 0;
    quint32 dwProductVersionLS = 0;
};

} // namespace tessary
