#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace tessary {

// Starts other programs. Tests replace it with a recording one.
class Launcher
{
public:
    virtual ~Launcher() = default;

    // Starts program with the arguments, each passed as it is (no shell reads them), and
    // does not wait for it. False when it could not be started.
    virtual bool startDetached(const QString& program, const QStringList& arguments) = 0;
    // The full path of the program called name on the search path, or "" when there is
    // none.
    virtual QString findProgram(const QString& name) const = 0;
    // Hands url to the desktop's program for it (a mail program for a mailto: address).
    // False when no program took it.
    virtual bool openUrl(const QUrl& url) = 0;
};

} // namespace tessary
