#pragma once

#include "ScreenSize.h"

namespace tessary {

// The size of the primary screen; 0 by 0 when there is no screen.
class PrimaryScreenSize : public ScreenSize
{
public:
    QSize pixels() const override;
};

} // namespace tessary
