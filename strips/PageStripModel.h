#pragma once

#include "FileStamp.h"
#include "ThumbnailProvider.h"

#include <QAbstractListModel>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>

namespace tessary {

// The pages of one file, a row a page (row 0 is page 1), named "Page N" for the reader and
// for screen readers; their thumbnails come from a provider, asked for the rows in view
// first and then for their neighbours as far as its cache holds them. The page a pane shows
// is marked. Pages drag out as PageDrag data.
class PageStripModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role
    {
        ThumbnailRole = Qt::UserRole + 1, // QImage; null while not made or failed
        FailedRole,                       // bool: the page cannot be decoded
        ShownRole,                        // bool: the page the pane shows
    };

    explicit PageStripModel(ThumbnailProvider& provider, QObject* parent = nullptr);
    ~PageStripModel() override;

    // Shows the pages of the file at path: stamp as it was read (nothing when it could not
    // be), pageCount pages. The same file at the same stamp keeps its rows; anything else
    // starts afresh.
    void setFile(const QString& path, const std::optional<FileStamp>& stamp,
                 std::int32_t pageCount);
    QString file() const { return m_file; }
    std::optional<FileStamp> stamp() const { return m_stamp; }
    // Marks page as the page shown (0: none).
    void setShownPage(std::int32_t page);
    std::int32_t shownPage() const { return m_shown; }

    // The box a thumbnail is fitted in, in device pixels.
    void setThumbnailSize(QSize size);
    QSize thumbnailSize() const { return m_size; }

    // The rows in view, first to last: their thumbnails are asked for ahead of all others,
    // then those of the rows around them, nearest first; requests for rows out of that
    // reach are dropped.
    void setVisibleRows(int first, int last);

    ThumbnailProvider& provider() const { return m_provider; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

private:
    void thumbnailMade(const ThumbnailKey& key);
    void requestAround(int first, int last);

    ThumbnailProvider& m_provider;
    QString m_file;
    std::optional<FileStamp> m_stamp;
    std::int32_t m_count = 0;
    std::int32_t m_shown = 0;
    QSize m_size{84, 112};
    int m_firstVisible = -1;
    int m_lastVisible = -1;
    // The bytes of the largest thumbnail made for this model: how many fit in the cache.
    qsizetype m_thumbnailBytes = 0;
};

} // namespace tessary
