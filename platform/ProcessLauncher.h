#pragma once

#include "Launcher.h"

namespace tessary {

// Starts programs with QProcess, detached, without a shell.
class ProcessLauncher : public Launcher
{
public:
    bool startDetached(const QString& program, const QStringList& arguments) override;
    QString findProgram(const QString& name) const override;
    bool openUrl(const QUrl& url) override;
};

} // namespace tessary
