#include "PageStrip.h"

#include "PageStripDelegate.h"
#include "PageStripModel.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace tessary {

namespace {

// The thumbnail's box, in logical pixels: an A4 or letter page upright, at 96 dpi.
const QSize thumbnailBox(84, 112);
// How near the strip's ends a drag scrolls it, and how far each step.
constexpr int dragScrollZone = 24;
constexpr int dragScrollInterval = 40;

} // namespace

PageStrip::PageStrip(ThumbnailProvider& provider, QWidget* parent)
    : QListView(parent)
    , m_model(new PageStripModel(provider, this))
    , m_delegate(new PageStripDelegate(thumbnailBox, this))
{
    setModel(m_model);
    setItemDelegate(m_delegate);
    setViewMode(QListView::IconMode);
    setFlow(QListView::LeftToRight);
    setWrapping(false);
    setMovement(QListView::Static);
    setUniformItemSizes(true);
    setSpacing(0);
    setGridSize(m_delegate->cellSize(font()));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Dragging out is the strip's own (startDrag); drops are taken where takeDrops says.
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setAcceptDrops(false);
    viewport()->setAcceptDrops(false);
    m_dragScroll.setInterval(dragScrollInterval);
    connect(&m_dragScroll, &QTimer::timeout, this, &PageStrip::scrollWhileDragging);
}

PageStrip::~PageStrip() = default;

int PageStrip::stripHeight() const
{
    return gridSize().height() + horizontalScrollBar()->sizeHint().height() + 2 * frameWidth() + 2;
}

void PageStrip::showFile(const QString& path, const std::optional<FileStamp>& stamp,
                         std::int32_t pageCount, std::int32_t page)
{
    const QScopedValueRollback following(m_following, true);
    const qreal ratio = devicePixelRatioF();
    m_model->setThumbnailSize(QSize(int(std::ceil(thumbnailBox.width() * ratio)),
                                    int(std::ceil(thumbnailBox.height() * ratio))));
    m_model->setFile(path, stamp, pageCount);
    m_model->setShownPage(page);
    if (page < 1 || page > m_model->rowCount()) {
        selectionModel()->clear();
        return;
    }
    const QModelIndex shown = m_model->index(page - 1);
    if (currentIndex() != shown) {
        selectionModel()->setCurrentIndex(shown, QItemSelectionModel::ClearAndSelect);
        scrollTo(shown);
    }
}

QList<std::int32_t> PageStrip::selectedPages() const
{
    QList<std::int32_t> pages;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        pages.append(index.row() + 1);
    std::sort(pages.begin(), pages.end());
    return pages;
}

void PageStrip::takeDrops(std::function<bool(const PageDrag&)> accepts)
{
    m_accepts = std::move(accepts);
    viewport()->setAcceptDrops(bool(m_accepts));
}

int PageStrip::pitch() const
{
    return std::max(gridSize().width() + spacing(), 1);
}

int PageStrip::cellLeft(int row) const
{
    return visualRect(m_model->index(0)).left() + row * pitch();
}

std::int32_t PageStrip::dropPosition(QPoint position) const
{
    const int count = m_model->rowCount();
    if (count == 0)
        return 1;
    const int gap = int(std::floor(double(position.x() - cellLeft(0)) / pitch() + 0.5));
    return std::clamp(gap, 0, count) + 1;
}

void PageStrip::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QListView::currentChanged(current, previous);
    if (!m_following && current.isValid())
        emit pageChosen(current.row() + 1);
}

void PageStrip::keyPressEvent(QKeyEvent* event)
{
    if (m_takesDeletes && event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        const QList<std::int32_t> pages = selectedPages();
        if (!pages.isEmpty())
            emit deleteRequested(pages);
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void PageStrip::startDrag(Qt::DropActions)
{
    const QModelIndexList indexes = selectedIndexes();
    QMimeData* data = indexes.isEmpty() ? nullptr : m_model->mimeData(indexes);
    if (!data)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    const QImage image =
        m_model->data(indexes.first(), PageStripModel::ThumbnailRole).value<QImage>();
    if (!image.isNull()) {
        drag->setPixmap(QPixmap::fromImage(image.scaledToHeight(
            std::min(image.height(), gridSize().height() / 2), Qt::SmoothTransformation)));
    }
    // The pages leave nothing behind by the drag itself: whoever takes them changes the files.
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
}

bool PageStrip::takeDrag(QDropEvent* event)
{
    const std::optional<PageDrag> drag = PageDrag::from(*event->mimeData());
    if (!drag || !m_accepts || !m_accepts(*drag)) {
        event->ignore();
        return false;
    }
    m_dragPosition = event->position().toPoint();
    m_dropBefore = dropPosition(m_dragPosition);
    const Qt::DropAction action =
        event->modifiers() & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction;
    if (event->possibleActions() & action) {
        event->setDropAction(action);
        event->accept();
    } else {
        event->acceptProposedAction();
    }
    viewport()->update();
    return true;
}

void PageStrip::dragEnterEvent(QDragEnterEvent* event)
{
    takeDrag(event);
}

void PageStrip::dragMoveEvent(QDragMoveEvent* event)
{
    if (!takeDrag(event))
        return;
    const bool nearEnd = m_dragPosition.x() < dragScrollZone ||
                         m_dragPosition.x() > viewport()->width() - dragScrollZone;
    if (nearEnd)
        m_dragScroll.start();
    else
        m_dragScroll.stop();
}

void PageStrip::dragLeaveEvent(QDragLeaveEvent* event)
{
    m_dropBefore = 0;
    m_dragScroll.stop();
    viewport()->update();
    event->accept();
}

void PageStrip::scrollWhileDragging()
{
    QScrollBar* bar = horizontalScrollBar();
    const int step = pitch() / 3;
    bar->setValue(bar->value() + (m_dragPosition.x() < dragScrollZone ? -step : step));
    m_dropBefore = dropPosition(m_dragPosition);
    viewport()->update();
}

void PageStrip::dropEvent(QDropEvent* event)
{
    m_dragScroll.stop();
    if (!takeDrag(event)) {
        m_dropBefore = 0;
        return;
    }
    const PageDrag drag = *PageDrag::from(*event->mimeData());
    const std::int32_t before = std::exchange(m_dropBefore, 0);
    const bool copy = event->dropAction() == Qt::CopyAction;
    viewport()->update();
    // The drop ends first, so that a question asked meanwhile does not hold up the drag.
    QMetaObject::invokeMethod(
        this, [this, drag, before, copy] { emit pagesDropped(drag, before, copy); },
        Qt::QueuedConnection);
}

void PageStrip::paintEvent(QPaintEvent* event)
{
    // What is painted is what is in view: its thumbnails are asked for first.
    if (const int count = m_model->rowCount(); count > 0) {
        const int left = cellLeft(0);
        m_model->setVisibleRows(-left / pitch(), (viewport()->width() - left) / pitch());
    }
    QListView::paintEvent(event);
    if (m_dropBefore < 1)
        return;
    QPainter painter(viewport());
    const int x = std::clamp(cellLeft(m_dropBefore - 1), 1, viewport()->width() - 2);
    painter.fillRect(QRect(x - 1, 0, 3, viewport()->height()),
                     palette().color(QPalette::Highlight));
}

} // namespace tessary
