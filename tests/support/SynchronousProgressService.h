#pragma once

#include "ProgressService.h"

#include <QStringList>
#include <functional>

namespace tessary {

// A progress service for tests: runs the work on the calling thread, records what was run
// and how often the work reported, and answers the reports from a script.
class SynchronousProgressService : public ProgressService
{
public:
    void run(const QString& label, const Work& work) override;

    // The work's reports from the n-th on (counting from 1, over all runs) ask it to stop,
    // as a press of Cancel would.
    void stopAtReport(int n) { m_stopAt = n; }
    // Called at each report, before it is answered, as events handled while the work runs.
    void onReport(std::function<void()> hook) { m_onReport = std::move(hook); }

    const QStringList& labels() const { return m_labels; }
    int reports() const { return m_reports; }

private:
    QStringList m_labels;
    int m_reports = 0;
    int m_stopAt = 0;
    std::function<void()> m_onReport;
};

} // namespace tessary
