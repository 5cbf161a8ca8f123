#include "FileDrop.h"

#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace tessary {

namespace {

// The first bytes of a TIFF file and of a BigTIFF file, in either byte order.
bool beginsAsTiff(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4);
    for (const char* header : {"II*\0", "MM\0*", "II+\0", "MM\0+"})
        if (head == QByteArray(header, 4))
            return true;
    return false;
}

// Takes the drag or drop as a copy or a link; false when it offers neither.
bool acceptKeepingFile(QDropEvent& event)
{
    const Qt::DropAction proposed = event.proposedAction();
    if (proposed == Qt::CopyAction || proposed == Qt::LinkAction) {
        event.acceptProposedAction();
        return true;
    }
    for (const Qt::DropAction action : {Qt::CopyAction, Qt::LinkAction}) {
        if (event.possibleActions() & action) {
            event.setDropAction(action);
            event.accept();
            return true;
        }
    }
    event.ignore();
    return false;
}

} // namespace

FileDrop::FileDrop(QWidget& area, std::function<bool()> takesFiles)
    : QObject(&area)
    , m_area(area)
    , m_takesFiles(std::move(takesFiles))
{
    m_area.setAcceptDrops(true);
    m_area.installEventFilter(this);
}

void FileDrop::addZone(const QRect& zone, Open open)
{
    addZone([zone] { return zone; }, std::move(open));
}

void FileDrop::addZone(Zone zone, Open open)
{
    m_zones.append({std::move(zone), std::move(open)});
}

QString FileDrop::droppedFile(const QMimeData& data)
{
    const QList<QUrl> urls = data.urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return {};
    const QString path = urls.first().toLocalFile();
    return beginsAsTiff(path) ? path : QString();
}

const FileDrop::Open* FileDrop::zoneAt(const QPoint& position) const
{
    for (const auto& [zone, open] : m_zones)
        if (zone().contains(position))
            return &open;
    return nullptr;
}

bool FileDrop::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &m_area)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto& drag = static_cast<QDragMoveEvent&>(*event);
        if (event->type() == QEvent::DragEnter)
            m_dragged = m_takesFiles() ? droppedFile(*drag.mimeData()) : QString();
        if (m_dragged.isEmpty() || !zoneAt(drag.position().toPoint()))
            drag.ignore();
        else
            acceptKeepingFile(drag);
        return true;
    }
    case QEvent::DragLeave:
        m_dragged.clear();
        return true;
    case QEvent::Drop: {
        auto& drop = static_cast<QDropEvent&>(*event);
        m_dragged.clear();
        const Open* open = zoneAt(drop.position().toPoint());
        const QString file = droppedFile(*drop.mimeData());
        if (!open || file.isEmpty() || !m_takesFiles() || !acceptKeepingFile(drop)) {
            drop.ignore();
            return true;
        }
        QMetaObject::invokeMethod(
            this,
            [this, open = *open, file] {
                if (m_takesFiles())
                    open(file);
            },
            Qt::QueuedConnection);
        return true;
    }
    default:
        return false;
    }
}

} // namespace tessary
