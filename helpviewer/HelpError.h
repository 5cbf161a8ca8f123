#pragma once

#include <QString>
#include <stdexcept>

namespace tessary {

// A failure of the help system that the help class reports to its caller: the help control
// cannot be used, or a pop-up text is not in the program's string table.
class HelpError : public std::runtime_error
{
public:
    explicit HelpError(const QString& message)
        : std::runtime_error(message.toStdString())
    {}
    QString message() const { return QString::fromStdString(what()); }
};

} // namespace tessary
