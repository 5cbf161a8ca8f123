#pragma once

#include "PageEngine.h"

#include <QString>
#include <filesystem>
#include <functional>

namespace tessary {

// The one place where the Imaging components call the page engine: it runs an operation
// and turns every failure into an ImagingError carrying the engine's sentence.
class EngineCall
{
public:
    using Operation = std::function<void(const OperationOptions& options)>;

    static void run(const Operation& operation, const OperationOptions& options = {});

    static std::filesystem::path toPath(const QString& fileName);
};

} // namespace tessary
