#include "RecordingLauncher.h"

namespace tessary {

bool RecordingLauncher::startDetached(const QString& program, const QStringList& arguments)
{
    m_starts.append({program, arguments});
    return !m_fail;
}

QString RecordingLauncher::findProgram(const QString& name) const
{
    return m_installed.value(name);
}

bool RecordingLauncher::openUrl(const QUrl& url)
{
    m_urls.append(url);
    return !m_fail;
}

} // namespace tessary
