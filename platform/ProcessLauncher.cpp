#include "ProcessLauncher.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace tessary {

bool ProcessLauncher::startDetached(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

QString ProcessLauncher::findProgram(const QString& name) const
{
    return QStandardPaths::findExecutable(name);
}

bool ProcessLauncher::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace tessary
