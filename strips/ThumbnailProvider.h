#pragma once

#include "FileStamp.h"

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThreadPool>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace tessary {

class TiffDocument;

// What a thumbnail shows: a page of a file as it was (its identity and version), made to
// fit a box of size pixels.
struct ThumbnailKey
{
    FileStamp file;
    std::int32_t page = 0;
    QSize size;
    bool operator==(const ThumbnailKey&) const = default;
};

size_t qHash(const ThumbnailKey& key, size_t seed = 0);

// Makes thumbnails of pages off the window's thread and keeps them in a cache bounded in
// bytes, the least recently used leaving first. Requests are served newest first; a view
// that scrolls asks again with the pages it now shows, and its requests still waiting for
// pages no longer wanted are dropped. Each page is decoded shrunk while it is read, so that
// no page is held at full size; a page that cannot be decoded is kept as failed.
//
// Used from the thread that made it: the cache and the signals live there.
class ThumbnailProvider : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype defaultBytes = qsizetype(24) << 20;

    struct Thumbnail
    {
        QImage image; // null when failed
        bool failed = false;
    };

    // maxBytes bounds the pictures kept; threads (0: one a processor core) the pages made
    // at once.
    explicit ThumbnailProvider(qsizetype maxBytes = defaultBytes, int threads = 0,
                               QObject* parent = nullptr);
    ~ThumbnailProvider() override;

    // The thumbnail kept for key; null when it is not (yet) made.
    const Thumbnail* find(const ThumbnailKey& key);

    // Asks for the thumbnails of pages of the file at path (stamp: as the caller saw it), in
    // the order given, ahead of every request waiting; owner's earlier requests still
    // waiting are dropped. Pages kept or being made already are left out. The first inView
    // pages are those the user sees: they are made at the window's own priority, the others
    // at a lower one.
    void request(const void* owner, const QString& path, const FileStamp& stamp, QSize size,
                 const std::vector<std::int32_t>& pages, std::size_t inView = SIZE_MAX);
    // Drops owner's requests still waiting.
    void cancel(const void* owner);

    // The bytes of the pictures kept, and the most they may take.
    qsizetype bytes() const { return m_cache.totalCost(); }
    qsizetype maxBytes() const { return m_cache.maxCost(); }
    // Requests waiting or being made.
    int pending() const;

    // The thumbnail of page of document, fitted into size pixels (aspect kept, the page's
    // resolutions taken into account). Throws the engine's failure.
    static QImage make(const TiffDocument& document, std::int32_t page, QSize size);

signals:
    // The thumbnail of key is made (find() has it, or it was dropped again at once to keep
    // the cache within its bytes).
    void made(const tessary::ThumbnailKey& key);

private:
    struct Shared;
    void startWorkers();
    static void work(const std::shared_ptr<Shared>& shared, ThumbnailProvider* provider, int lane);
    void keep(const ThumbnailKey& key, const Thumbnail& thumbnail);

    QCache<ThumbnailKey, Thumbnail> m_cache;
    std::shared_ptr<Shared> m_shared;
    QThreadPool m_pools[2]; // the pages in view, those ahead
};

} // namespace tessary
