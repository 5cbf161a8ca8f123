#include "PageBox.h"

#include <QKeyEvent>

namespace tessary {

std::int16_t PageBox::characterCode(const QKeyEvent& event)
{
    if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter)
        return 13;
    if (event.key() == Qt::Key_Delete || event.text().isEmpty())
        return 0;
    return std::int16_t(event.text().at(0).unicode());
}

void PageBox::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    emit gotFocus();
}

void PageBox::keyPressEvent(QKeyEvent* event)
{
    if (const std::int16_t key = characterCode(*event))
        emit keyPress(key);
    QLineEdit::keyPressEvent(event);
}

} // namespace tessary
