#include "SynchronousProgressService.h"

namespace tessary {

void SynchronousProgressService::run(const QString& label, const Work& work)
{
    m_labels.append(label);
    work([this](std::uint64_t, std::uint64_t) {
        ++m_reports;
        if (m_onReport)
            m_onReport();
        return m_stopAt == 0 || m_reports < m_stopAt;
    });
}

} // namespace tessary
