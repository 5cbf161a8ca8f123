#include "OperationSupport.h"

#include "EngineCall.h"
#include "EngineError.h"
#include "ImagingEdit.h"
#include "ImagingError.h"
#include "Tessary.h"
#include "UndoHistory.h"
#include "mdlFunctions.h"

#include <QApplication>
#include <QLineEdit>

namespace tessary::operations {

namespace {

const QString shownAgainText = QStringLiteral(" It is shown again as it is now.");

bool changedOnDisk(const ImagingEdit& viewer)
{
    const std::optional<FileStamp> shown = viewer.stamp();
    if (viewer.image().isEmpty() || !shown)
        return false;
    const auto now = FileStamp::of(EngineCall::toPath(viewer.image()));
    return !now || !(*now == *shown);
}

} // namespace

QString showChangedAgain(Tessary& window, const ImagingError& error)
{
    if (error.engineKind() != ErrorKind::Changed)
        return error.message;
    bool shown = false;
    for (const QString& pane : {mdlFunctions::PaneSrc, mdlFunctions::PaneDes}) {
        const bool source = pane == mdlFunctions::PaneSrc;
        ImagingEdit& viewer = source ? *window.imgSrc : *window.imgDes;
        if (!changedOnDisk(viewer))
            continue;
        const std::int32_t page = viewer.page();
        viewer.setImage(viewer.image());
        if (page >= 1 && page <= viewer.pageCount())
            viewer.setPage(page);
        viewer.fitTo(ImagingEdit::FitWholePage);
        viewer.display();
        (source ? window.txtPageSrc : window.txtPageDes)->setText(pageText(viewer));
        mdlFunctions::UpdatePaneCaption(window, pane);
        shown = true;
    }
    return shown ? error.message + shownAgainText : error.message;
}

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
