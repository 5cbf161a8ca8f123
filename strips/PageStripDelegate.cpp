#include "PageStripDelegate.h"

#include "PageStripModel.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>

namespace tessary {

PageStripDelegate::PageStripDelegate(QSize box, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_box(box)
{}

QSize PageStripDelegate::cellSize(const QFont& font) const
{
    const QFontMetrics metrics(font);
    return {m_box.width() + 2 * margin, m_box.height() + 2 * margin + metrics.height()};
}

QSize PageStripDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return cellSize(option.font);
}

void PageStripDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    painter->save();
    const QRect cell = option.rect;
    const QPalette& palette = option.palette;
    const bool selected = option.state & QStyle::State_Selected;
    const bool shown = index.data(PageStripModel::ShownRole).toBool();
    if (selected)
        painter->fillRect(cell.adjusted(1, 1, -1, -1), palette.color(QPalette::Highlight));

    const QRect box(cell.left() + margin, cell.top() + margin, m_box.width(), m_box.height());
    const QImage image = index.data(PageStripModel::ThumbnailRole).value<QImage>();
    QRect page = box;
    if (!image.isNull()) {
        const QSize logical = (QSizeF(image.size()) / image.devicePixelRatio()).toSize();
        page = QRect(QPoint(), logical.scaled(m_box, Qt::KeepAspectRatio));
        page.moveCenter(box.center());
        painter->drawImage(page, image);
    } else if (index.data(PageStripModel::FailedRole).toBool()) {
        // A page that cannot be decoded: a blank page crossed out.
        painter->fillRect(box, Qt::white);
        painter->setPen(QPen(Qt::red, 2));
        painter->drawLine(box.topLeft(), box.bottomRight());
        painter->drawLine(box.topRight(), box.bottomLeft());
    } else {
        painter->fillRect(box, palette.color(QPalette::Midlight));
    }
    painter->setPen(QPen(palette.color(QPalette::Mid), 1));
    painter->drawRect(page.adjusted(0, 0, -1, -1));
    if (shown) {
        painter->setPen(QPen(selected ? palette.color(QPalette::HighlightedText)
                                      : palette.color(QPalette::Highlight),
                             3));
        painter->drawRect(page.adjusted(-2, -2, 1, 1));
    }

    QFont font = option.font;
    font.setBold(shown);
    painter->setFont(font);
    painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect number(cell.left(), box.bottom() + margin / 2, cell.width(),
                       cell.bottom() - box.bottom() - margin / 2);
    painter->drawText(number, Qt::AlignHCenter | Qt::AlignTop, QString::number(index.row() + 1));
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = cell.adjusted(1, 1, -1, -1);
        const QWidget* widget = option.widget;
        (widget ? widget->style() : QApplication::style())
            ->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
    painter->restore();
}

} // namespace tessary
