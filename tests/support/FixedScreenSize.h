#pragma once

#include "ScreenSize.h"

namespace tessary {

// A screen of a given size, for tests.
class FixedScreenSize : public ScreenSize
{
public:
    explicit FixedScreenSize(QSize size)
        : m_size(size)
    {}
    QSize pixels() const override { return m_size; }

private:
    QSize m_size;
};

} // namespace tessary
