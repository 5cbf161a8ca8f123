#include "PrimaryScreenSize.h"

#include <QGuiApplication>
#include <QScreen>

namespace tessary {

QSize PrimaryScreenSize::pixels() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(0, 0);
}

} // namespace tessary
