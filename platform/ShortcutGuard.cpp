#include "ShortcutGuard.h"

#include "VirtualKey.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

namespace tessary {

ShortcutGuard::ShortcutGuard(QWidget& window, KeyShortcut isKeyShortcut)
    : m_window(&window)
    , m_isKeyShortcut(std::move(isKeyShortcut))
{
    // Shortcut requests go to the control with the focus, key presses first to the
    // window's platform window: the application sees both before either.
    QCoreApplication::instance()->installEventFilter(this);
}

ShortcutGuard::~ShortcutGuard()
{
    if (QCoreApplication* application = QCoreApplication::instance())
        application->removeEventFilter(this);
}

bool ShortcutGuard::inWindow(QObject* object) const
{
    if (!m_window)
        return false;
    if (object == m_window->windowHandle())
        return true;
    const auto* widget = qobject_cast<QWidget*>(object);
    return widget && widget->window() == m_window;
}

bool ShortcutGuard::isActionShortcut(const QKeyEvent& key) const
{
    const QKeySequence pressed(
        QKeyCombination(key.modifiers() & ~Qt::KeypadModifier, Qt::Key(key.key())));
    for (const QAction* action : m_window->findChildren<QAction*>())
        if (action->isEnabled() && action->shortcuts().contains(pressed))
            return true;
    return false;
}

bool ShortcutGuard::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) && inWindow(watched)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Left unaccepted, the request lets the window's shortcut run instead of the
        // control's own use of the key.
        if (type == QEvent::ShortcutOverride && isActionShortcut(*key))
            return true;
        if (type == QEvent::KeyPress && watched == m_window->windowHandle() &&
            m_isKeyShortcut(VirtualKey::code(*key), VirtualKey::shiftState(key->modifiers())))
            return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tessary
