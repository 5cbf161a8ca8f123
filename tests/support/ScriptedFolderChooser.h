#pragma once

#include "FolderChooser.h"

#include <QList>

namespace tessary {

// A folder chooser for tests: records every request and answers from a script.
// A chooser shown when the script is empty is cancelled and counted in unexpected().
class ScriptedFolderChooser : public FolderChooser
{
public:
    struct Request
    {
        QWidget* owner = nullptr;
        QString title;
        QString start;
    };

    std::optional<QString> chooseFolder(QWidget* owner, const QString& title,
                                        const QString& start) override
    {
        m_requests.append({owner, title, start});
        m_unexpected += m_script.isEmpty();
        return m_script.isEmpty() ? std::nullopt : m_script.takeFirst();
    }

    // Queues the folder chosen at the next request.
    void choose(const QString& folder) { m_script.append(folder); }
    // Queues a cancelled chooser.
    void cancel() { m_script.append(std::nullopt); }

    const QList<Request>& requests() const { return m_requests; }
    int unexpected() const { return m_unexpected; }

private:
    QList<std::optional<QString>> m_script;
    QList<Request> m_requests;
    int m_unexpected = 0;
};

} // namespace tessary
