#pragma once

#include <QSize>
#include <QStyledItemDelegate>

namespace tessary {

// Draws one page of a page strip: its thumbnail in a box (a light box while it is being
// made, a white one crossed out in red when the page cannot be decoded), its number below,
// the page the pane shows framed and its number bold, the selected pages on the selection's
// colour. The only place that knows how a page in a strip looks.
class PageStripDelegate : public QStyledItemDelegate
{
public:
    // box: the thumbnail's box in logical pixels.
    explicit PageStripDelegate(QSize box, QObject* parent = nullptr);

    // The cell of one page: the box with its margins and the number's line.
    QSize cellSize(const QFont& font) const;
    QSize box() const { return m_box; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static constexpr int margin = 6;

private:
    QSize m_box;
};

} // namespace tessary
