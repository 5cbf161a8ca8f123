#pragma once

#include "MessageBoxService.h"

namespace tessary {

// Message boxes shown with QMessageBox.
class QtMessageBoxService : public MessageBoxService
{
public:
    int show(QWidget* owner, const QString& text, const QString& caption, MsgButtons buttons,
             MsgIcon icon) override;
};

} // namespace tessary
