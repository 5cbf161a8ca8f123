#include "DisplaySettingsTool.h"

#include "Launcher.h"

#include <QByteArray>

namespace tessary {

std::optional<DisplaySettingsTool::Command> DisplaySettingsTool::find(const Launcher& launcher)
{
#ifdef Q_OS_WIN
    const QString rundll = launcher.findProgram(QStringLiteral("rundll32.exe"));
    if (rundll.isEmpty())
        return std::nullopt;
    return Command{rundll,
                   {QStringLiteral("shell32.dll,Control_RunDLL"), QStringLiteral("desk.cpl,,3")}};
#else
    struct Candidate
    {
        const char* desktop; // the XDG_CURRENT_DESKTOP word the tool belongs to
        const char* program;
        QStringList arguments;
    };
    const Candidate candidates[] = {
        {"GNOME", "gnome-control-center", {QStringLiteral("display")}},
        {"KDE", "kcmshell6", {QStringLiteral("kcm_kscreen")}},
        {"KDE", "kcmshell5", {QStringLiteral("kcm_kscreen")}},
        {"XFCE", "xfce4-display-settings", {}},
        {"MATE", "mate-display-properties", {}},
        {"X-Cinnamon", "cinnamon-settings", {QStringLiteral("display")}},
        {"LXQt", "lxqt-config-monitor", {}},
        {"", "arandr", {}},
    };
    // The running desktop's own tool comes first; any other installed one will do.
    const QByteArray desktops = qgetenv("XDG_CURRENT_DESKTOP");
    for (const bool ownDesktopOnly : {true, false}) {
        for (const Candidate& candidate : candidates) {
            const bool own = *candidate.desktop && desktops.split(':').contains(candidate.desktop);
            if (ownDesktopOnly && !own)
                continue;
            const QString path = launcher.findProgram(QString::fromLatin1(candidate.program));
            if (!path.isEmpty())
                return Command{path, candidate.arguments};
        }
    }
    return std::nullopt;
#endif
}

} // namespace tessary
