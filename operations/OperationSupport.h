#pragma once

#include "MessageBoxService.h"

#include <QString>

class QWidget;

namespace tessary {

class ImagingEdit;
class Tessary;

// Small pieces the page operations' handlers, dialogs and routines share.
namespace operations {

inline const QString noSourceText =
    QStringLiteral("You must choose a source file from the list at \r\n"
                   "the bottom left corner of your screen.");

// The window a message box belongs to: the dialog open over the main window, else the
// main window.
QWidget* boxOwner(Tessary& window);

// A box with an OK button and the program's title.
void tell(Tessary& window, const QString& text, MsgIcon icon = MsgIcon::None);

// A Yes/No box with the program's title; the button pressed.
int ask(Tessary& window, const QString& text);

// What a pane's page box shows: the viewer's page, or nothing when it holds no file.
QString pageText(const ImagingEdit& viewer);

} // namespace operations
} // namespace tessary
