#include "EngineCall.h"

#include "EngineError.h"
#include "ImagingError.h"

#include <new>

namespace tessary {

void EngineCall::run(const Operation& operation, const OperationOptions& options)
{
    try {
        operation(options);
    } catch (const EngineError& error) {
        throw ImagingError::fromEngine(error.kind(), error.what());
    } catch (const std::bad_alloc&) {
        throw ImagingError::fromEngine(ErrorKind::TooLarge,
                                       "There is not enough memory for this operation.");
    }
}

std::filesystem::path EngineCall::toPath(const QString& fileName)
{
    const QByteArray utf8 = fileName.toUtf8();
    return std::filesystem::path(reinterpret_cast<const char8_t*>(utf8.constData()));
}

} // namespace tessary
