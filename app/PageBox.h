#pragma once

#include <QLineEdit>
#include <cstdint>

namespace tessary {

// A pane's page box: a line of text that tells the window when it gets the focus and,
// before the key takes effect, which character key was pressed in it.
class PageBox : public QLineEdit
{
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

    // The character code of a key: 13 for Enter and Return, else the first character the
    // key types; 0 for a key that types nothing (arrows, Delete, a modifier alone).
    static std::int16_t characterCode(const QKeyEvent& event);

signals:
    // After the box has taken the focus (and selected its text when tabbed into).
    void gotFocus();
    // A character key, while the text is still as it was before it; the key then goes on
    // into the box.
    void keyPress(std::int16_t key);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace tessary
