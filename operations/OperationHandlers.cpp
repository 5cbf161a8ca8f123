#include "OperationHandlers.h"

#include "FileListBox.h"
#include "ImagingAdmin.h"
#include "ImagingEdit.h"
#include "OperationSupport.h"
#include "PageOperations.h"
#include "ProgramFolder.h"
#include "StripOperations.h"
#include "Tessary.h"
#include "UndoCaption.h"
#include "UndoHistory.h"
#include "frmInterleave.h"
#include "frmMerge.h"
#include "frmRange.h"
#include "frmReorder.h"
#include "frmRotate.h"
#include "frmSplit.h"
#include "mdlFunctions.h"

#include <QAction>
#include <QLineEdit>
#include <QRadioButton>
#include <optional>

namespace tessary::operations {

using namespace mdlFunctions;

namespace {

const QString missingBlankText =
    QStringLiteral("You are missing blank.tif, please download from Brovane's web site.");
const QString rotateQuestion = QStringLiteral("Do you really want to rotate this page?");

} // namespace

void cmdSwap_Click(Tessary& window)
{
    if (window.imgSrc->image().isEmpty()) {
        tell(window, noSourceText);
        return;
    }
    int mode = 0;
    for (const int index : {ModeReplace, ModeInsert, ModeAppend, ModeNewFile}) {
        if (window.optMode(index)->isChecked()) {
            mode = index;
            break;
        }
    }
    if (mode == 0)
        return;
    const QString word = mode == ModeReplace  ? QStringLiteral("Replace")
                         : mode == ModeInsert ? QStringLiteral("Insert")
                         : mode == ModeAppend ? QStringLiteral("Append")
                                              : QStringLiteral("New");
    if (ConfirmPageAction(window, window.flags.PromptBeforeAction, word) == MsgNo)
        return;

    // A refusal left by an earlier choice of destination (through the page-mode group)
    // says nothing about this transfer.
    window.flags.SameFileRefused = false;
    // The transfer and, with Move, the page's removal from the source are one step to undo.
    UndoHistory::Recording recording(window.history());
    const QString source = window.imgSrc->image();
    const std::int32_t sourcePage = window.imgSrc->page();
    bool written = false;
    std::optional<HeldFiles> held;
    if (mode != ModeNewFile) {
        if (window.imgDes->image().isEmpty())
            OpenDestinationFile(window);
        if (window.mnuMove->isChecked())
            held.emplace(*window.imgAdmSrc,
                         QStringList{window.imgDes->image(), window.imgSrc->image()});
        const std::int32_t page = window.imgSrc->page();
        if (mode == ModeReplace)
            written = ReplacePages(window, page, 1);
        else if (mode == ModeInsert)
            written = InsertPages(window, page, 1);
        else
            written = AppendPages(window, page, 1);
    } else {
        const QString temp = window.programFolder().workingFilePath(QStringLiteral("temp.tif"));
        written = ExtractPageToNewFile(window, temp, 1);
        if (window.flags.NewFileRefused) {
            window.flags.NewFileRefused = false;
        } else {
            window.imgAdmSrc->setFileName(QString());
            window.txtPageDes->setText(pageText(*window.imgDes));
        }
    }

    // A page leaves the source only when it was written to the destination.
    bool moved = false;
    if (written && window.mnuMove->isChecked() && !window.flags.SameFileRefused &&
        !window.imgDes->image().isEmpty())
        moved = DeletePages(window, *window.imgSrc, *window.txtPageSrc, window.imgSrc->page(), 1);
    else
        window.flags.SameFileRefused = false;
    recording.setCaption(UndoCaption::transfer(transferKind(mode, moved), sourcePage, 1, source,
                                               window.imgDes->image()));

    window.TiffFileList->refresh();
    UpdatePaneCaption(window, PaneDes);
    UpdatePaneCaption(window, PaneSrc);
}

void cmdRange_Click(Tessary& window)
{
    if (!CheckWorkingFiles(window)) {
        tell(window, missingBlankText);
        return;
    }
    if (window.imgSrc->image().isEmpty()) {
        tell(window, noSourceText);
        return;
    }
    // Only a refusal of the destination chosen just now stops the transfer.
    window.flags.SameFileRefused = false;
    if (!window.optMode(ModeNewFile)->isChecked() && window.imgDes->image().isEmpty())
        OpenDestinationFile(window);
    if (window.flags.SameFileRefused) {
        window.flags.SameFileRefused = false;
        return;
    }
    {
        frmRange dialog(window);
        dialog.exec();
    }
    window.txtPageDes->setText(pageText(*window.imgDes));
    window.TiffFileList->refresh();
    UpdatePaneCaption(window, PaneDes);
}

void cmdDelPage_Click(Tessary& window)
{
    ImagingEdit& destination = *window.imgDes;
    if (destination.image().isEmpty())
        return;
    if (window.flags.PromptBeforeAction && ask(window, deleteQuestion) != MsgYes)
        return;
    UndoHistory::Recording recording(window.history());
    recording.setCaption(UndoCaption::deletePage(destination.page(), destination.image()));
    DeletePages(window, destination, *window.txtPageDes, destination.page(), 1);
    UpdatePaneCaption(window, PaneDes);
}

void cmdReorder_Click(Tessary& window)
{
    if (!window.imgDes->image().isEmpty()) {
        frmReorder dialog(window);
        dialog.exec();
        return;
    }
    OpenDestinationFile(window);
    if (window.flags.DestinationOpened && !window.imgDes->image().isEmpty()) {
        frmReorder dialog(window);
        dialog.exec();
    }
    window.flags.DestinationOpened = false;
}

void mnuRotate_Click(Tessary& window, int quarters)
{
    ImagingEdit& destination = *window.imgDes;
    if (destination.image().isEmpty())
        return;
    if (window.flags.PromptBeforeAction && ask(window, rotateQuestion) != MsgYes)
        return;
    UndoHistory::Recording recording(window.history());
    recording.setCaption(UndoCaption::rotate(destination.page(), 1, destination.image()));
    RotatePages(window, destination.page(), 1, quarters);
    UpdatePaneCaption(window, PaneDes);
}

void mnuRotatePages_Click(Tessary& window)
{
    // As the reorder dialog: with no destination open, the user chooses one first.
    if (window.imgDes->image().isEmpty()) {
        OpenDestinationFile(window);
        const bool opened = window.flags.DestinationOpened && !window.imgDes->image().isEmpty();
        window.flags.DestinationOpened = false;
        if (!opened)
            return;
    }
    {
        frmRotate dialog(window);
        dialog.exec();
    }
    UpdatePaneCaption(window, PaneDes);
}

PageOperationHandlers handlers()
{
    return {cmdSwap_Click,
            cmdRange_Click,
            cmdDelPage_Click,
            cmdReorder_Click,
            [](Tessary& window) { frmInterleave(window).exec(); },
            [](Tessary& window) { frmSplit(window).exec(); },
            [](Tessary& window) { frmMerge(window).exec(); },
            deleteStripPages,
            dropStripPages,
            mnuRotate_Click,
            mnuRotatePages_Click};
}

} // namespace tessary::operations
