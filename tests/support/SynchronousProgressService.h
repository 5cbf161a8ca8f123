#pragma once

#include "ProgressService.h"

#include <functional>

namespace tessary {

// A progress service for tests: runs the work on the calling thread and answers its
// reports from a script.
class SynchronousProgressService : public ProgressService
{
public:
    void run(const QString&, const Work& work) override
    {
        work([this](std::uint64_t, std::uint64_t) {
            ++m_reports;
            if (m_onReport)
                m_onReport();
            return m_stopAt == 0 || m_reports < m_stopAt;
        });
    }

    // The work's reports from the n-th on (counting from 1, over all runs) ask it to stop,
    // as a press of Cancel would.
    void stopAtReport(int n) { m_stopAt = n; }
    // Called at each report, before it is answered, as events handled while the work runs.
    void onReport(std::function<void()> hook) { m_onReport = std::move(hook); }

private:
    int m_reports = 0;
    int m_stopAt = 0;
    std::function<void()> m_onReport;
};

} // namespace tessary
