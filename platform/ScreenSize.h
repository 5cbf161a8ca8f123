#pragma once

#include <QSize>

namespace tessary {

// The size of the screen the program opens on. Tests give a fixed one.
class ScreenSize
{
public:
    virtual ~ScreenSize() = default;

    // Width and height in pixels (device-independent, as windows are laid out).
    virtual QSize pixels() const = 0;
};

} // namespace tessary
