#include "PageStripModel.h"

#include "PageDrag.h"

#include <QMimeData>
#include <algorithm>

namespace tessary {

PageStripModel::PageStripModel(ThumbnailProvider& provider, QObject* parent)
    : QAbstractListModel(parent)
    , m_provider(provider)
{
    connect(&m_provider, &ThumbnailProvider::made, this, &PageStripModel::thumbnailMade);
}

PageStripModel::~PageStripModel()
{
    m_provider.cancel(this);
}

void PageStripModel::setFile(const QString& path, const std::optional<FileStamp>& stamp,
                             std::int32_t pageCount)
{
    const std::int32_t count = stamp ? std::max(pageCount, 0) : 0;
    if (path == m_file && stamp == m_stamp && count == m_count)
        return;
    beginResetModel();
    m_provider.cancel(this);
    m_file = path;
    m_stamp = stamp;
    m_count = count;
    m_shown = 0;
    m_firstVisible = m_lastVisible = -1;
    endResetModel();
}

void PageStripModel::setShownPage(std::int32_t page)
{
    if (page == m_shown)
        return;
    const std::int32_t old = std::exchange(m_shown, page);
    for (const std::int32_t changed : {old, page}) {
        if (changed >= 1 && changed <= m_count)
            emit dataChanged(index(changed - 1), index(changed - 1), {ShownRole});
    }
}

void PageStripModel::setThumbnailSize(QSize size)
{
    if (size == m_size)
        return;
    beginResetModel();
    m_provider.cancel(this);
    m_size = size;
    m_thumbnailBytes = 0;
    m_firstVisible = m_lastVisible = -1;
    endResetModel();
}

void PageStripModel::setVisibleRows(int first, int last)
{
    first = std::clamp(first, 0, std::max(m_count - 1, 0));
    last = std::clamp(last, first, std::max(m_count - 1, 0));
    if (m_count == 0 || (first == m_firstVisible && last == m_lastVisible))
        return;
    m_firstVisible = first;
    m_lastVisible = last;
    requestAround(first, last);
}

void PageStripModel::requestAround(int first, int last)
{
    // As many rows as fill three quarters of the cache, at the size of the thumbnails made so
    // far (a grey page's bytes before the first): beyond that, thumbnails made ahead would
    // push out those in view.
    const qsizetype each =
        std::max<qsizetype>(m_thumbnailBytes, qsizetype(m_size.width()) * m_size.height());
    const int reach = int(std::min<qsizetype>(m_count, m_provider.maxBytes() * 3 / 4 / each));
    std::vector<std::int32_t> pages;
    pages.reserve(std::size_t(std::max(reach, last - first + 1)));
    for (int row = first; row <= last; ++row)
        pages.push_back(row + 1);
    for (int step = 1; int(pages.size()) < reach; ++step) {
        const bool after = last + step < m_count;
        const bool before = first - step >= 0;
        if (!after && !before)
            break;
        if (after)
            pages.push_back(last + step + 1);
        if (before && int(pages.size()) < reach)
            pages.push_back(first - step + 1);
    }
    m_provider.request(this, m_file, *m_stamp, m_size, pages, std::size_t(last - first + 1));
}

void PageStripModel::thumbnailMade(const ThumbnailKey& key)
{
    if (!m_stamp || !(key.file == *m_stamp) || key.size != m_size || key.page < 1 ||
        key.page > m_count)
        return;
    if (const ThumbnailProvider::Thumbnail* made = m_provider.find(key))
        m_thumbnailBytes = std::max(m_thumbnailBytes, made->image.sizeInBytes());
    const QModelIndex row = index(key.page - 1);
    emit dataChanged(row, row, {ThumbnailRole, FailedRole});
}

int PageStripModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count;
}

QVariant PageStripModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_count)
        return {};
    const std::int32_t page = index.row() + 1;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return QStringLiteral("Page %1").arg(page);
    case ShownRole:
        return page == m_shown;
    case ThumbnailRole:
    case FailedRole: {
        const ThumbnailProvider::Thumbnail* made = m_provider.find({*m_stamp, page, m_size});
        if (role == FailedRole)
            return made && made->failed;
        return made ? made->image : QImage();
    }
    default:
        return {};
    }
}

Qt::ItemFlags PageStripModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

QStringList PageStripModel::mimeTypes() const
{
    return {PageDrag::mimeType};
}

QMimeData* PageStripModel::mimeData(const QModelIndexList& indexes) const
{
    if (!m_stamp || indexes.isEmpty())
        return nullptr;
    PageDrag drag{m_file, *m_stamp, {}};
    for (const QModelIndex& index : indexes)
        if (index.isValid() && index.model() == this)
            drag.pages.append(index.row() + 1);
    std::sort(drag.pages.begin(), drag.pages.end());
    drag.pages.erase(std::unique(drag.pages.begin(), drag.pages.end()), drag.pages.end());
    return drag.toMimeData();
}

Qt::DropActions PageStripModel::supportedDragActions() const
{
    return Qt::CopyAction | Qt::MoveAction;
}

} // namespace tessary
