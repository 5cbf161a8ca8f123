#pragma once

#include <QString>
#include <exception>
#include <optional>
#include <string>

namespace tessary {

enum class ErrorKind;

// A numbered failure of an Imaging component. Callers test the number, as they would the
// error number of the components the program was first written against.
class ImagingError : public std::exception
{
public:
    enum Number : int
    {
        CannotShowPage = 1019,  // the viewer cannot show the page asked for
        NoFile = 1100,          // no file is loaded or named for the operation
        InvalidArgument = 1101, // an option, direction or value the component does not know
        // Failures of a page operation or a save: EngineFailure + the engine's ErrorKind.
        EngineFailure = 1200,
        DialogCancelled = 32755, // the user cancelled a file dialog
    };

    ImagingError(int number, const QString& message);
    // The engine's failure, carrying its sentence for the user.
    static ImagingError fromEngine(ErrorKind kind, const std::string& message);

    // The engine's kind of failure, for numbers from EngineFailure on.
    std::optional<ErrorKind> engineKind() const;

    const char* what() const noexcept override { return m_what.c_str(); }

    int number;
    QString message;

private:
    std::string m_what;
};

} // namespace tessary
