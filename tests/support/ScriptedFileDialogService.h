#pragma once

#include "FileDialogService.h"

#include <QList>

namespace tessary {

// A file-dialog service for tests: records every request and answers from a script.
// A dialog shown when the script is empty is cancelled and counted in unexpected().
class ScriptedFileDialogService : public FileDialogService
{
public:
    std::optional<QString> choose(QWidget*, const Request& request) override
    {
        m_requests.append(request);
        m_unexpected += m_script.isEmpty();
        return m_script.isEmpty() ? std::nullopt : m_script.takeFirst();
    }

    // Queues the path chosen at the next dialog.
    void choosePath(const QString& path) { m_script.append(path); }
    // Queues a cancelled dialog.
    void cancel() { m_script.append(std::nullopt); }

    const QList<Request>& requests() const { return m_requests; }
    int unexpected() const { return m_unexpected; }

private:
    QList<std::optional<QString>> m_script;
    QList<Request> m_requests;
    int m_unexpected = 0;
};

} // namespace tessary
