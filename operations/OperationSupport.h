#pragma once

#include "ImagingAdmin.h"
#include "MessageBoxService.h"
#include "UndoCaption.h"

#include <QString>

class QWidget;

namespace tessary {

class ImagingEdit;
class ImagingError;
class Tessary;
struct UndoKeeping;

// Small pieces the page operations' handlers, dialogs and routines share.
namespace operations {

// Keeps the write locks of files, and of the files the page operations change, from the
// first page operation of a Move (or a reorder) to its last, so that no other program comes
// between its steps (ImagingAdmin::holdFiles).
class HeldFiles
{
public:
    HeldFiles(ImagingAdmin& admin, const QStringList& files)
        : m_admin(admin)
    {
        admin.holdFiles(files);
    }
    ~HeldFiles() { m_admin.endHolding(); }
    HeldFiles(const HeldFiles&) = delete;
    HeldFiles& operator=(const HeldFiles&) = delete;

private:
    ImagingAdmin& m_admin;
};

inline const QString noSourceText =
    QStringLiteral("You must choose a source file from the list at \r\n"
                   "the bottom left corner of your screen.");

// The refusal of a delete that would leave a file without pages.
inline const QString lastPageText = QStringLiteral("You cannot delete the last page of a file.");

// The question before a page is deleted.
inline const QString deleteQuestion = QStringLiteral("Do you really want to delete this page?");

// The window a message box belongs to: the dialog open over the main window, else the
// main window.
QWidget* boxOwner(Tessary& window);

// A box with an OK button and the program's title.
void tell(Tessary& window, const QString& text, MsgIcon icon = MsgIcon::None);

// What tells the user that a page operation failed with error. A file that changed on disk
// since its pane showed it (which is why an operation is refused as changed) is shown again
// first, read afresh, in the pane that shows it, its page box and caption with it, and the
// text says so: the window then shows every file as it is, and the operation may be
// repeated on what the user sees.
QString showChangedAgain(Tessary& window, const ImagingError& error);

// A Yes/No box with the program's title; the button pressed.
int ask(Tessary& window, const QString& text);

// Where a page operation on the file shown in pane ("Src" or "Des") keeps what it needs to
// be undone: the step the window's history is recording; null when none is.
UndoKeeping* keeping(Tessary& window, const QString& pane);

// What the undo history calls a transfer in the page mode mode (an optMode index) that did
// or did not move its pages out of the source.
UndoCaption::Transfer transferKind(int mode, bool moved);

// What a pane's page box shows: the viewer's page, or nothing when it holds no file.
QString pageText(const ImagingEdit& viewer);

} // namespace operations
} // namespace tessary
