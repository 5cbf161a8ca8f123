#pragma once

#include <QList>
#include <QObject>
#include <QRect>
#include <QString>
#include <functional>
#include <utility>

class QMimeData;
class QWidget;

namespace tessary {

// Takes TIFF files dropped from the file manager on a widget. The widget is divided into
// zones, each opening a dropped file in its own way. A drop is taken in a zone, while the
// owner takes files, of a local file that begins as a TIFF or BigTIFF file does; the pointer
// shows the drop over such a zone and a refusal anywhere else, and a refused drop says
// nothing. The widget's children that take no drops of their own pass theirs on to it.
//
// The file manager keeps its file: a drop is taken as a copy or a link, never as a move, so
// that no drag source removes the file it has handed over. The zone opens the file after
// the drop has ended, so that a message it shows does not hold up the file manager.
class FileDrop : public QObject
{
public:
    using Open = std::function<void(const QString& fileName)>;
    // Where a zone is now, in the widget's coordinates.
    using Zone = std::function<QRect()>;

    // takesFiles tells whether the owner takes a file now; it is asked when a drag arrives
    // and again before a dropped file is opened.
    FileDrop(QWidget& area, std::function<bool()> takesFiles);

    // Drops on zone (in the widget's coordinates) open their file with open. The first
    // zone added that holds the point takes the drop.
    void addZone(const QRect& zone, Open open);
    // The same for a zone that moves with the widget's layout.
    void addZone(Zone zone, Open open);

    // The file a drop of data opens: the first file it names, when that is a local TIFF
    // file; "" otherwise.
    static QString droppedFile(const QMimeData& data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const Open* zoneAt(const QPoint& position) const;

    QWidget& m_area;
    std::function<bool()> m_takesFiles;
    QList<std::pair<Zone, Open>> m_zones;
    // The file of the drag over the widget, read once when it arrives.
    QString m_dragged;
};

} // namespace tessary
