#include "ThumbnailProvider.h"

#include "EngineCall.h"
#include "TiffDocument.h"

#include <QHash>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <deque>
#include <mutex>

namespace tessary {

namespace {

// What a failed page costs in the cache: it holds no picture.
constexpr qsizetype failedCost = 64;
// Open files kept between requests, so that a file of many pages is not read again for
// each screenful.
constexpr std::size_t idleDocuments = 4;

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
    std::deque<Job> queue;       // the next first
    QSet<ThumbnailKey> inFlight; // queued or being made, not yet kept
    std::vector<std::unique_ptr<TiffDocument>> idle;
    int workers = 0;
    int maxWorkers = 1;
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
};

ThumbnailProvider::ThumbnailProvider(qsizetype maxBytes, int threads, QObject* parent)
    : QObject(parent)
    , m_cache(maxBytes)
    , m_shared(std::make_shared<Shared>())
{
    m_shared->maxWorkers = threads > 0 ? threads : std::clamp(QThread::idealThreadCount(), 1, 4);
    m_pool.setMaxThreadCount(m_shared->maxWorkers);
}

ThumbnailProvider::~ThumbnailProvider()
{
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->stopping = true;
        m_shared->queue.clear();
    }
    m_pool.waitForDone();
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
                                QSize size, const std::vector<std::int32_t>& pages)
{
    {
        const std::lock_guard lock(m_shared->mutex);
        std::deque<Job>& queue = m_shared->queue;
        for (auto it = queue.begin(); it != queue.end();) {
            if (it->owner == owner) {
                m_shared->inFlight.remove(it->key);
                it = queue.erase(it);
            } else {
                ++it;
            }
        }
        std::vector<Job> wanted;
        wanted.reserve(pages.size());
        for (const std::int32_t page : pages) {
            const ThumbnailKey key{stamp, page, size};
            if (m_cache.contains(key) || m_shared->inFlight.contains(key))
                continue;
            m_shared->inFlight.insert(key);
            wanted.push_back({owner, path, key});
        }
        queue.insert(queue.begin(), wanted.begin(), wanted.end());
    }
    startWorkers();
}

void ThumbnailProvider::cancel(const void* owner)
{
    const std::lock_guard lock(m_shared->mutex);
    std::erase_if(m_shared->queue, [&](const Job& job) {
        if (job.owner != owner)
            return false;
        m_shared->inFlight.remove(job.key);
        return true;
    });
}

void ThumbnailProvider::startWorkers()
{
    const std::lock_guard lock(m_shared->mutex);
    const int wanted = std::min<int>(m_shared->maxWorkers, int(m_shared->queue.size()));
    for (; m_shared->workers < wanted; ++m_shared->workers) {
        m_pool.start([shared = m_shared, provider = this] {
            std::unique_ptr<TiffDocument> document;
            for (;;) {
                Job job;
                {
                    const std::lock_guard lock(shared->mutex);
                    if (shared->stopping || shared->queue.empty()) {
                        --shared->workers;
                        break;
                    }
                    job = std::move(shared->queue.front());
                    shared->queue.pop_front();
                }
                Thumbnail made;
                try {
                    if (!document || document->path() != EngineCall::toPath(job.path) ||
                        !(document->stamp() == job.key.file)) {
                        shared->putBack(std::move(document));
                        document = shared->document(job.path, job.key.file);
                    }
                    // A file changed since the caller saw it no longer holds that page (an
                    // open file rewritten in place reads as it is now).
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
        });
    }
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
