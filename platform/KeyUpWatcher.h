#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>

class QWidget;

namespace tessary {

// Tells of every key released while a window is active, whichever of its controls has the
// focus: the key's virtual-key code and the modifiers held (see VirtualKey). A key held
// down repeats its press and release; only the release of the key itself is told, so a
// held key counts once.
class KeyUpWatcher : public QObject
{
public:
    using Handler = std::function<void(std::int16_t keyCode, std::int16_t shift)>;

    KeyUpWatcher(QWidget& window, Handler handler);
    ~KeyUpWatcher() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_window;
    Handler m_handler;
};

} // namespace tessary
