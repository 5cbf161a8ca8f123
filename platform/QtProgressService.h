#pragma once

#include "ProgressService.h"

#include <chrono>

namespace tessary {

// Runs the work on a thread of its own. The calling thread waits for it up to showAfter;
// work still running then gets an application-modal progress dialog whose own event loop
// keeps the windows painted while every other window of the program takes no input, so
// the program's handlers still run one at a time and in order. While the work waits for
// something (Report::waiting) the dialog says so instead of the label. Its Cancel button asks
// the work to stop (the next report returns false) and waits for it to end.
class QtProgressService : public ProgressService
{
public:
    explicit QtProgressService(
        std::chrono::milliseconds showAfter = std::chrono::milliseconds(500));

    void run(const QString& label, const Work& work) override;

    // The dialog's text while a cancelled operation winds down.
    static inline const QString stoppingText = QStringLiteral("Stopping...");

private:
    std::chrono::milliseconds m_showAfter;
};

} // namespace tessary
