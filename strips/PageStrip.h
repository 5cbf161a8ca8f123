#pragma once

#include "FileStamp.h"
#include "PageDrag.h"

#include <QList>
#include <QListView>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>

namespace tessary {

class PageStripDelegate;
class PageStripModel;
class ThumbnailProvider;

// A strip of page thumbnails, one row from left to right, of the file a pane shows. The
// user selects pages with the mouse (click, Shift+click, Ctrl+click) and the keyboard
// (arrows, Shift+arrows, Ctrl+A), and drags the selection out as PageDrag data. A click or
// an arrow key that makes another page current asks for it to be shown (pageChosen); the
// pane tells the strip what it shows (showFile), which marks that page.
//
// A strip that takes deletes asks for the selected pages' removal on the Delete key; one
// that takes drops shows where dragged pages would go and says where they were dropped.
// The strip itself changes no file.
class PageStrip : public QListView
{
    Q_OBJECT

public:
    PageStrip(ThumbnailProvider& provider, QWidget* parent = nullptr);
    ~PageStrip() override;

    PageStripModel& pages() const { return *m_model; }
    // The strip's height for one row of thumbnails with its scroll bar.
    int stripHeight() const;

    // The pane shows page of the file at path (stamp as it was read; pageCount pages): the
    // strip shows that file's pages with page marked and current. The selection is kept
    // while that page is current already, and is that page alone otherwise.
    void showFile(const QString& path, const std::optional<FileStamp>& stamp,
                  std::int32_t pageCount, std::int32_t page);

    // The pages selected, in order.
    QList<std::int32_t> selectedPages() const;

    // With deletes taken, the Delete key asks for the selected pages' removal.
    void takeDeletes(bool take) { m_takesDeletes = take; }
    // Drags whose pages accepts takes are taken; none when accepts is empty.
    void takeDrops(std::function<bool(const PageDrag&)> accepts);
    // Where a drop at position (in the viewport) puts the pages: before this page, from 1;
    // one past the last page for the end.
    std::int32_t dropPosition(QPoint position) const;

signals:
    void pageChosen(std::int32_t page);
    void deleteRequested(const QList<std::int32_t>& pages);
    // Pages were dropped before page `before`; copy when Ctrl was held.
    void pagesDropped(const tessary::PageDrag& drag, std::int32_t before, bool copy);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The x position of a cell's left edge in the viewport, and the width from one cell to
    // the next.
    int cellLeft(int row) const;
    int pitch() const;
    bool takeDrag(QDropEvent* event);
    void scrollWhileDragging();

    PageStripModel* m_model;
    PageStripDelegate* m_delegate;
    bool m_takesDeletes = false;
    std::function<bool(const PageDrag&)> m_accepts;
    bool m_following = false;      // the strip follows its pane: no page is chosen
    std::int32_t m_dropBefore = 0; // where a drag over the strip would put its pages
    QPoint m_dragPosition;
    QTimer m_dragScroll;
};

} // namespace tessary
