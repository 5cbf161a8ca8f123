#include "OperationSupport.h"

#include "ImagingEdit.h"
#include "Tessary.h"
#include "UndoHistory.h"
#include "mdlFunctions.h"

#include <QApplication>

namespace tessary::operations {

QWidget* boxOwner(Tessary& window)
{
    QWidget* dialog = QApplication::activeModalWidget();
    return dialog ? dialog : &window;
}

void tell(Tessary& window, const QString& text, MsgIcon icon)
{
    window.messageBoxes().show(boxOwner(window), text, Tessary::AppTitle, MsgButtons::Ok, icon);
}

int ask(Tessary& window, const QString& text)
{
    return window.messageBoxes().show(boxOwner(window), text, Tessary::AppTitle, MsgButtons::YesNo);
}

UndoKeeping* keeping(Tessary& window, const QString& pane)
{
    return window.history() ? window.history()->keeping(pane) : nullptr;
}

UndoCaption::Transfer transferKind(int mode, bool moved)
{
    using namespace mdlFunctions;
    return moved                 ? UndoCaption::Transfer::Move
           : mode == ModeAppend  ? UndoCaption::Transfer::Append
           : mode == ModeInsert  ? UndoCaption::Transfer::Insert
           : mode == ModeReplace ? UndoCaption::Transfer::Replace
                                 : UndoCaption::Transfer::NewFile;
}

QString pageText(const ImagingEdit& viewer)
{
    return viewer.image().isEmpty() ? QString() : QString::number(viewer.page());
}

} // namespace tessary::operations
