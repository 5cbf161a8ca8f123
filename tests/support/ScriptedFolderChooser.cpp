#include "ScriptedFolderChooser.h"

namespace tessary {

std::optional<QString> ScriptedFolderChooser::chooseFolder(QWidget* owner, const QString& title,
                                                           const QString& start)
{
    m_requests.append({owner, title, start});
    if (m_script.isEmpty()) {
        ++m_unexpected;
        return std::nullopt;
    }
    return m_script.takeFirst();
}

} // namespace tessary
