#pragma once

#include "Launcher.h"

#include <QList>
#include <QMap>
#include <QUrl>

namespace tessary {

// A launcher for tests: starts nothing, records what it was asked to start, and knows
// the programs it was told are installed.
class RecordingLauncher : public Launcher
{
public:
    struct Start
    {
        QString program;
        QStringList arguments;
    };

    bool startDetached(const QString& program, const QStringList& arguments) override
    {
        m_starts.append({program, arguments});
        return !m_fail;
    }
    QString findProgram(const QString& name) const override { return m_installed.value(name); }
    bool openUrl(const QUrl& url) override
    {
        m_urls.append(url);
        return !m_fail;
    }

    // Makes findProgram(name) answer path.
    void install(const QString& name, const QString& path) { m_installed.insert(name, path); }
    // Makes every later start fail.
    void failStarts() { m_fail = true; }

    const QList<Start>& starts() const { return m_starts; }
    const QList<QUrl>& openedUrls() const { return m_urls; }

private:
    QMap<QString, QString> m_installed;
    QList<Start> m_starts;
    QList<QUrl> m_urls;
    bool m_fail = false;
};

} // namespace tessary
