#pragma once

#include "PageEngine.h"

#include <QString>
#include <filesystem>
#include <functional>

namespace tessary {

class ProgressService;

// The one place where the Imaging components call the page engine: it runs an operation
// and turns every failure into an ImagingError carrying the engine's sentence.
class EngineCall
{
public:
    using Operation = std::function<void(const OperationOptions& options)>;

    // Runs operation with options. With a progress service, the operation runs through it
    // (the service shows that work is going on and may ask it to stop): the engine's
    // reports go to the service, and a request to stop ends the operation with the engine's
    // Cancelled failure, every file as it was. While the operation waits for another program
    // to finish changing a file, the service says so, and a request to stop ends the wait
    // the same way. label says what is being done.
    static void run(const Operation& operation, const OperationOptions& options = {},
                    ProgressService* progress = nullptr, const QString& label = {});

    // "Writing scan.tif...": the label of an operation that changes fileName.
    static QString writingLabel(const QString& fileName);

    static std::filesystem::path toPath(const QString& fileName);
};

} // namespace tessary
