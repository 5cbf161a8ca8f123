#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>

class QKeyEvent;
class QWidget;

namespace tessary {

// Keeps a window's shortcuts its own, whichever of its controls has the focus: no control
// claims a shortcut of the window's actions for itself (a line edit would take Ctrl+C as
// its copy), and a key press that the window takes as a shortcut of its key table never
// also reaches the control (Ctrl with keypad plus would type "+" into a text box).
class ShortcutGuard : public QObject
{
public:
    // Whether a key (virtual-key code and modifier sum, see VirtualKey) is one of the
    // window's own key shortcuts.
    using KeyShortcut = std::function<bool(std::int16_t keyCode, std::int16_t shift)>;

    ShortcutGuard(QWidget& window, KeyShortcut isKeyShortcut);
    ~ShortcutGuard() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool inWindow(QObject* object) const;
    bool isActionShortcut(const QKeyEvent& key) const;

    QPointer<QWidget> m_window;
    KeyShortcut m_isKeyShortcut;
};

} // namespace tessary
