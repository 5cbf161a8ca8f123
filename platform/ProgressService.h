#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <type_traits>

namespace tessary {

// Runs long work on files: the work is done before run() returns, while the user sees that
// it is going on and may ask it to stop. Tests replace the real service with one that runs
// the work on the calling thread.
class ProgressService
{
public:
    // What the work tells while it runs. Each call returns false when the user asked the
    // work to stop, which the work should then do.
    class Report
    {
    public:
        // progress is told the work done so far and the work in all (any unit, total 0 when
        // unknown); waiting, why the work waits, to be said in place of the label ("scan.tif
        // is being changed by another program..."; "" says the label again).
        template <typename Progress,
                  typename = std::enable_if_t<!std::is_same_v<std::decay_t<Progress>, Report>>>
        Report(Progress progress, std::function<bool(const QString& text)> waiting = {})
            : m_progress(std::move(progress))
            , m_waiting(std::move(waiting))
        {}

        bool operator()(std::uint64_t done, std::uint64_t total) const
        {
            return m_progress(done, total);
        }
        bool waiting(const QString& text) const { return !m_waiting || m_waiting(text); }

    private:
        std::function<bool(std::uint64_t done, std::uint64_t total)> m_progress;
        std::function<bool(const QString& text)> m_waiting;
    };
    using Work = std::function<void(const Report& report)>;

    virtual ~ProgressService() = default;

    // Runs work to its end and returns when it is done; what work throws is thrown again
    // here. label says what is being done ("Writing scan.tif..."). While work runs, no other
    // handler of the program's windows runs.
    virtual void run(const QString& label, const Work& work) = 0;
};

} // namespace tessary
