#pragma once

#include <QString>
#include <cstdint>
#include <functional>

namespace tessary {

// Runs long work on files: the work is done before run() returns, while the user sees that
// it is going on and may ask it to stop. Tests replace the real service with one that runs
// the work on the calling thread.
class ProgressService
{
public:
    // What the work tells while it runs. Each call returns false when the user asked the
    // work to stop, which the work should then do.
    struct Report
    {
        // The work done so far and the work in all (any unit, total 0 when unknown).
        std::function<bool(std::uint64_t done, std::uint64_t total)> progress;
        // Why the work waits, said in place of the label ("scan.tif is being changed by
        // another program..."); "" says the label again.
        std::function<bool(const QString& text)> waiting;

        bool operator()(std::uint64_t done, std::uint64_t total) const
        {
            return progress(done, total);
        }
    };
    using Work = std::function<void(const Report& report)>;

    virtual ~ProgressService() = default;

    // Runs work to its end and returns when it is done; what work throws is thrown again
    // here. label says what is being done ("Writing scan.tif..."). While work runs, no other
    // handler of the program's windows runs.
    virtual void run(const QString& label, const Work& work) = 0;
};

} // namespace tessary
