#include "ImagingError.h"

#include "EngineError.h"

namespace tessary {

namespace {

// The last kind of ErrorKind, so that numbers past it are not taken for engine failures.
constexpr int engineKinds = int(ErrorKind::Busy) + 1;

} // namespace

ImagingError::ImagingError(int number, const QString& message)
    : number(number)
    , message(message)
    , m_what(message.toStdString())
{}

ImagingError ImagingError::fromEngine(ErrorKind kind, const std::string& message)
{
    return ImagingError(EngineFailure + int(kind), QString::fromStdString(message));
}

std::optional<ErrorKind> ImagingError::engineKind() const
{
    if (number >= EngineFailure && number < EngineFailure + engineKinds)
        return ErrorKind(number - EngineFailure);
    return std::nullopt;
}

} // namespace tessary
