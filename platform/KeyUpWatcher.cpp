#include "KeyUpWatcher.h"

#include "VirtualKey.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

namespace tessary {

KeyUpWatcher::KeyUpWatcher(QWidget& window, Handler handler)
    : m_window(&window)
    , m_handler(std::move(handler))
{
    // Keys reach the window's own platform window before the control with the focus.
    QCoreApplication::instance()->installEventFilter(this);
}

KeyUpWatcher::~KeyUpWatcher()
{
    if (QCoreApplication* application = QCoreApplication::instance())
        application->removeEventFilter(this);
}

bool KeyUpWatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease && m_window && m_window->windowHandle() &&
        watched == m_window->windowHandle()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat())
            m_handler(VirtualKey::code(*key), VirtualKey::shiftState(key->modifiers()));
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tessary
