#include "ScriptedFileDialogService.h"

namespace tessary {

std::optional<QString> ScriptedFileDialogService::choose(QWidget*, const Request& request)
{
    m_requests.append(request);
    if (m_script.isEmpty()) {
        ++m_unexpected;
        return std::nullopt;
    }
    return m_script.takeFirst();
}

} // namespace tessary
