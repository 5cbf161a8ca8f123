#pragma once

#include <QString>

class QWidget;

namespace tessary {

// Button sets and icons of a message box, with the numbers the program's texts were
// written against.
enum class MsgButtons
{
    Ok = 0,
    OkCancel = 1,
    YesNoCancel = 3,
    YesNo = 4,
};

enum class MsgIcon
{
    None = 0,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
};

// The button that closed a box.
enum MsgResult : int
{
    MsgOk = 1,
    MsgCancel = 2,
    MsgYes = 6,
    MsgNo = 7,
};

// Every message box of the program goes through this service, so that tests can
// answer boxes from a script and read back what was shown.
class MessageBoxService
{
public:
    virtual ~MessageBoxService() = default;

    // Shows a modal box over owner (or over the active window when owner is null) and
    // returns the button pressed. Texts may hold CR LF line breaks.
    virtual int show(QWidget* owner, const QString& text, const QString& caption,
                     MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None) = 0;
};

} // namespace tessary
