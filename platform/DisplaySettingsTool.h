#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tessary {

class Launcher;

// The desktop's own tool for the screen resolution.
class DisplaySettingsTool
{
public:
    struct Command
    {
        QString program;
        QStringList arguments;
    };

    // The command that opens the display settings on this desktop, or nothing when no
    // known tool is installed. On Windows it is the control panel's display page.
    static std::optional<Command> find(const Launcher& launcher);
};

} // namespace tessary
