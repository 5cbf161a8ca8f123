#include "ThumbnailProvider.h"

#include "EngineCall.h"
#include "TiffDocument.h"

#include <QHash>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <deque>
#include <mutex>
#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace tessary {

namespace {

// What a failed page costs in the cache: it holds no picture.
constexpr qsizetype failedCost = 64;
// Open files kept between requests, so that a file of many pages is not read again for
// each screenful.
constexpr std::size_t idleDocuments = 4;

// Thumbnails made ahead of the eye are made at a lower priority than the window's thread,
// so that the window answers at once while they are made. Linux weighs each thread by its
// own nice value; a thread's priority cannot be raised again, so each lane has its own.
void lowerPriority()
{
    QThread::currentThread()->setPriority(QThread::LowPriority);
#ifdef Q_OS_LINUX
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), 10);
#endif
}

struct Job
{
    const void* owner = nullptr;
    QString path;
    ThumbnailKey key;
};

} // namespace

size_t qHash(const ThumbnailKey& key, size_t seed)
{
    return qHashMulti(seed, key.file.volume, key.file.inode, key.file.size, key.file.modifiedNs,
                      key.file.changedNs, key.page, key.size.width(), key.size.height());
}

struct ThumbnailProvider::Shared
{
    std::mutex mutex;
    // The pages in view, made at the window's priority, and those made ahead of the eye,
    // at a lower one; the next first.
    std::deque<Job> queues[2];
    int workers[2] = {};
    QSet<ThumbnailKey> inFlight; // queued or being made, not yet kept
    std::vector<std::unique_ptr<TiffDocument>> idle;
    int maxWorkers[2] = {1, 1};
    bool stopping = false;

    // An open document of path as stamp says, from those kept idle or opened now.
    std::unique_ptr<TiffDocument> document(const QString& path, const FileStamp& stamp)
    {
        const std::filesystem::path wanted = EngineCall::toPath(path);
        {
            const std::lock_guard lock(mutex);
            for (auto it = idle.begin(); it != idle.end(); ++it) {
                if ((*it)->path() == wanted && (*it)->stamp() == stamp) {
                    std::unique_ptr<TiffDocument> found = std::move(*it);
                    idle.erase(it);
                    return found;
                }
            }
        }
        return TiffDocument::open(wanted);
    }

    void putBack(std::unique_ptr<TiffDocument> document)
    {
        if (!document)
            return;
        const std::lock_guard lock(mutex);
        idle.push_back(std::move(document));
        if (idle.size() > idleDocuments)
            idle.erase(idle.begin());
    }

    void drop(const void* owner)
    {
        for (std::deque<Job>& queue : queues) {
            std::erase_if(queue, [&](const Job& job) {
                if (job.owner != owner)
                    return false;
                inFlight.remove(job.key);
                return true;
            });
        }
    }
};

ThumbnailProvider::ThumbnailProvider(qsizetype maxBytes, int threads, QObject* parent)
    : QObject(parent)
    , m_cache(maxBytes)
    , m_shared(std::make_shared<Shared>())
{
    // Both lanes use every core: the pages in view as soon as they can, those ahead giving
    // way to anything else.
    const int cores = threads > 0 ? threads : std::clamp(QThread::idealThreadCount(), 1, 4);
    m_shared->maxWorkers[0] = cores;
    m_shared->maxWorkers[1] = cores;
    for (int lane = 0; lane < 2; ++lane)
        m_pools[lane].setMaxThreadCount(m_shared->maxWorkers[lane]);
}

ThumbnailProvider::~ThumbnailProvider()
{
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->stopping = true;
        for (std::deque<Job>& queue : m_shared->queues)
            queue.clear();
    }
    for (QThreadPool& pool : m_pools)
        pool.waitForDone();
}

const ThumbnailProvider::Thumbnail* ThumbnailProvider::find(const ThumbnailKey& key)
{
    return m_cache.object(key);
}

int ThumbnailProvider::pending() const
{
    const std::lock_guard lock(m_shared->mutex);
    return int(m_shared->inFlight.size());
}

void ThumbnailProvider::request(const void* owner, const QString& path, const FileStamp& stamp,
                                QSize size, const std::vector<std::int32_t>& pages,
                                std::size_t inView)
{
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->drop(owner);
        std::vector<Job> wanted[2];
        for (std::size_t i = 0; i < pages.size(); ++i) {
            const ThumbnailKey key{stamp, pages[i], size};
            if (m_cache.contains(key) || m_shared->inFlight.contains(key))
                continue;
            m_shared->inFlight.insert(key);
            wanted[i < inView ? 0 : 1].push_back({owner, path, key});
        }
        for (int lane = 0; lane < 2; ++lane)
            m_shared->queues[lane].insert(m_shared->queues[lane].begin(), wanted[lane].begin(),
                                          wanted[lane].end());
    }
    startWorkers();
}

void ThumbnailProvider::cancel(const void* owner)
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->drop(owner);
}

void ThumbnailProvider::startWorkers()
{
    const std::lock_guard lock(m_shared->mutex);
    for (int lane = 0; lane < 2; ++lane) {
        const int wanted =
            std::min<int>(m_shared->maxWorkers[lane], int(m_shared->queues[lane].size()));
        for (; m_shared->workers[lane] < wanted; ++m_shared->workers[lane])
            m_pools[lane].start(
                [shared = m_shared, provider = this, lane] { work(shared, provider, lane); });
    }
}

void ThumbnailProvider::work(const std::shared_ptr<Shared>& shared, ThumbnailProvider* provider,
                             int lane)
{
    if (lane == 1)
        lowerPriority();
    std::unique_ptr<TiffDocument> document;
    for (;;) {
        Job job;
        {
            const std::lock_guard lock(shared->mutex);
            std::deque<Job>& queue = shared->queues[lane];
            if (shared->stopping || queue.empty()) {
                --shared->workers[lane];
                break;
            }
            job = std::move(queue.front());
            queue.pop_front();
        }
        Thumbnail made;
        try {
            if (!document || document->path() != EngineCall::toPath(job.path) ||
                !(document->stamp() == job.key.file)) {
                shared->putBack(std::move(document));
                document = shared->document(job.path, job.key.file);
            }
            // A file changed since the caller saw it no longer holds that page (an open file
            // rewritten in place reads as it is now).
            if (!(document->stamp() == job.key.file) || document->changedOnDisk()) {
                made.failed = true;
                document.reset();
            } else {
                made.image = make(*document, job.key.page, job.key.size);
            }
        } catch (...) {
            made.failed = true;
        }
        made.failed = made.failed || made.image.isNull();
        QMetaObject::invokeMethod(
            provider, [provider, key = job.key, made] { provider->keep(key, made); },
            Qt::QueuedConnection);
    }
    shared->putBack(std::move(document));
}

void ThumbnailProvider::keep(const ThumbnailKey& key, const Thumbnail& thumbnail)
{
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->inFlight.remove(key);
    }
    const qsizetype cost = thumbnail.failed ? failedCost : thumbnail.image.sizeInBytes();
    m_cache.insert(key, new Thumbnail(thumbnail), cost);
    emit made(key);
}

QImage ThumbnailProvider::make(const TiffDocument& document, std::int32_t page, QSize size)
{
    // The page is decoded shrunk by the smallest whole factor that brings it within four
    // times the box's bytes, and then scaled smoothly into the box.
    DecodeLimits limits;
    limits.scaleToFit = true;
    limits.maxDecodedBytes = std::max<std::uint64_t>(
        4096, std::uint64_t(std::max(size.width(), 1)) * std::max(size.height(), 1) * 4);
    const PageImage decoded = document.decode(page, limits);
    if (decoded.width == 0 || decoded.height == 0)
        return {};
    const bool grey = decoded.format == PageImage::Format::Grey8;
    QImage image(int(decoded.width), int(decoded.height),
                 grey ? QImage::Format_Grayscale8 : QImage::Format_RGBA8888_Premultiplied);
    for (std::uint32_t y = 0; y < decoded.height; ++y)
        std::copy_n(decoded.row(y), decoded.stride(), image.scanLine(int(y)));
    // A page of unlike resolutions (a fax) is as tall as it is on paper.
    double height = decoded.height;
    if (decoded.xDpi > 0 && decoded.yDpi > 0)
        height = height * decoded.xDpi / decoded.yDpi;
    QSize fitted =
        QSize(int(decoded.width), std::max(1, int(height + 0.5))).scaled(size, Qt::KeepAspectRatio);
    fitted = fitted.expandedTo(QSize(1, 1));
    image = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return grey ? image : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace tessary
