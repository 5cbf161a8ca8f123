#pragma once

#include <stdexcept>
#include <string>

namespace tessary {

// What went wrong, for callers that react differently to different failures.
// The message of the error is always a complete sentence for the user.
enum class ErrorKind
{
    NotFound,       // the file or its folder does not exist
    NotTiff,        // the bytes are not a TIFF file
    Damaged,        // the file or one of its pages cannot be read
    PartlyReadable, // the page list breaks off: the file may be read but never rewritten
    PageRange,      // a page number or count lies outside the file
    ReadOnly,       // the file or its folder may not be written
    NoSpace,        // the disk or the user's quota is full
    Io,             // any other failure of the operating system
    TooLarge,       // a page's decoded size exceeds the set limit
    Unsupported,    // a kind of page this program cannot handle
    Changed,        // the file changed on disk since it was read
    Cancelled,      // the caller asked the operation to stop
    SameFile,       // a new file would overwrite its own source
    Busy,           // another writer kept changing the file longer than the caller would wait
};

class EngineError : public std::runtime_error
{
public:
    EngineError(ErrorKind kind, const std::string& message)
        : std::runtime_error(message)
        , m_kind(kind)
    {}

    ErrorKind kind() const noexcept { return m_kind; }

private:
    ErrorKind m_kind;
};

} // namespace tessary
