#include "FileLock.h"

#include "EngineError.h"
#include "Messages.h"

#include <algorithm>
#include <system_error>
#include <thread>

namespace tessary {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

EngineError busy(const fs::path& path, const std::chrono::milliseconds& limit)
{
    const long seconds = long((limit.count() + 500) / 1000);
    const std::string waited = limit.count() == 0 ? ""
                               : seconds >= 1
                                   ? " (waited " + std::to_string(seconds) + " s)"
                                   : " (waited " + std::to_string(limit.count()) + " ms)";
    return EngineError(ErrorKind::Busy, quoted(path) + " is being changed by another program" +
                                            waited + "; nothing was changed.");
}

} // namespace

FileLock::FileLock(fs::path path, std::unique_ptr<WritableFile> file)
    : m_path(std::move(path))
    , m_file(std::move(file))
    , m_identity(m_file->stamp())
{}

std::unique_ptr<FileLock> FileLock::take(FileLayer& files, const fs::path& path,
                                         const LockWait& wait)
{
    const auto start = Clock::now();
    bool waited = false;
    auto endWait = [&] {
        if (waited && wait.waiting)
            wait.waiting({});
    };
    // The open file is polled rather than waited on, so that the caller can give up and
    // the limit holds; the pause grows from 1 ms to 16 ms.
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        std::unique_ptr<WritableFile> file;
        try {
            file = files.openForLock(path);
        } catch (const std::system_error&) {
            endWait();
            return nullptr;
        }
        LockState state;
        while ((state = file->tryLock()) == LockState::Busy) {
            const auto spent =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
            if (wait.limit && spent >= *wait.limit)
                throw busy(path, *wait.limit);
            waited = true;
            if (wait.waiting && !wait.waiting(path)) {
                throw EngineError(ErrorKind::Cancelled,
                                  "The operation was stopped; " + quoted(path) + " is unchanged.");
            }
            std::this_thread::sleep_for(wait.limit ? std::min(pause, *wait.limit - spent) : pause);
            pause = std::min(pause * 2, std::chrono::milliseconds(16));
        }
        if (state == LockState::Unsupported) {
            endWait();
            return nullptr;
        }
        // The writer we waited for may have renamed a new file over this one, or removed
        // it; the lock is then on a file nobody will read again.
        const auto now = FileStamp::of(path);
        if (!now) {
            endWait();
            return nullptr;
        }
        if (now->sameFile(file->stamp())) {
            endWait();
            return std::unique_ptr<FileLock>(new FileLock(path, std::move(file)));
        }
    }
}

void FileLock::replacedBy(std::unique_ptr<WritableFile> replacement)
{
    m_file = std::move(replacement);
    m_identity = m_file->stamp();
}

FileLocks::FileLocks(std::vector<fs::path> files)
    : m_wanted(std::move(files))
{}

FileLock* FileLocks::find(const fs::path& path) const
{
    const auto stamp = FileStamp::of(path);
    if (!stamp)
        return nullptr;
    for (const auto& held : m_held) {
        if (held->covers(*stamp))
            return held.get();
    }
    return nullptr;
}

FileLock* FileLocks::lock(FileLayer& files, const fs::path& path, const LockWait& wait)
{
    std::vector<fs::path> paths = {path};
    for (const fs::path& wanted : m_wanted)
        paths.push_back(realPath(wanted));
    std::sort(paths.begin(), paths.end());
    for (const fs::path& next : paths) {
        if (find(next))
            continue;
        if (auto taken = FileLock::take(files, next, wait))
            m_held.push_back(std::move(taken));
    }
    m_wanted.clear();
    return find(path);
}

} // namespace tessary
