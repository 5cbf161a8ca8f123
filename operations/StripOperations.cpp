#include "StripOperations.h"

#include "FileListBox.h"
#include "ImagingAdmin.h"
#include "ImagingEdit.h"
#include "ImagingError.h"
#include "OperationSupport.h"
#include "PageOperations.h"
#include "Tessary.h"
#include "UndoCaption.h"
#include "UndoHistory.h"
#include "mdlFunctions.h"

#include <QAction>
#include <QLineEdit>
#include <QSet>
#include <algorithm>
#include <functional>
#include <optional>

namespace tessary::operations {

namespace {

const QString deleteSeveralQuestion =
    QStringLiteral("Do you really want to delete these %1 pages?");

using Change = std::function<void(ImagingAdmin&, const ImagingAdmin::Expected&)>;

// Shows file in a pane, read afresh, at page (the nearest page there is).
void showAt(Tessary& window, bool source, const QString& file, std::int32_t page)
{
    ImagingEdit& viewer = source ? *window.imgSrc : *window.imgDes;
    viewer.setImage(file);
    if (viewer.pageCount() > 0)
        viewer.setPage(std::clamp(page, 1, viewer.pageCount()));
    viewer.fitTo(ImagingEdit::FitWholePage);
    viewer.display();
    (source ? window.txtPageSrc : window.txtPageDes)->setText(pageText(viewer));
    mdlFunctions::UpdatePaneCaption(window, source ? mdlFunctions::PaneSrc : mdlFunctions::PaneDes);
}

// Changes the file a pane shows, as the pane shows it (and the source's pages as the source
// pane shows them); true when the change stands. A failure is shown and said.
bool change(Tessary& window, bool source, const Change& operation,
            const std::optional<FileStamp>& sourceStamp = std::nullopt)
{
    ImagingEdit& viewer = source ? *window.imgSrc : *window.imgDes;
    const QString file = viewer.image();
    const std::int32_t page = viewer.page();
    ImagingAdmin& admin = *window.imgAdmSrc;
    admin.setFileName(file);
    const ImagingAdmin::Expected expected{
        viewer.stamp(), sourceStamp,
        keeping(window, source ? mdlFunctions::PaneSrc : mdlFunctions::PaneDes)};
    viewer.clearDisplay();
    try {
        operation(admin, expected);
        return true;
    } catch (const ImagingError& error) {
        const QString text = showChangedAgain(window, error);
        showAt(window, source, file, page);
        tell(window, text, MsgIcon::Exclamation);
        return false;
    }
}

// The destination's pages with pages put before page `before`; where the first of them
// lands, from 1, in firstAt. Without keep, the pages of the destination listed in moved
// leave their places.
QList<ImagingAdmin::ListedPage> withPages(std::int32_t count, const QString& file,
                                          const QList<std::int32_t>& pages, std::int32_t before,
                                          const QSet<std::int32_t>& moved, std::int32_t* firstAt)
{
    QList<ImagingAdmin::ListedPage> list;
    for (std::int32_t page = 1; page <= count + 1; ++page) {
        if (page == before) {
            *firstAt = std::int32_t(list.size()) + 1;
            for (const std::int32_t dropped : pages)
                list.append({file, dropped});
        }
        if (page <= count && !moved.contains(page))
            list.append({QString(), page});
    }
    return list;
}

bool validPages(const QList<std::int32_t>& pages, std::int32_t count)
{
    return !pages.isEmpty() && std::all_of(pages.begin(), pages.end(), [&](std::int32_t page) {
        return page >= 1 && page <= count;
    });
}

void arrangeWithin(Tessary& window, const StripDrop& drop)
{
    const ImagingEdit& destination = *window.imgDes;
    const QString file = destination.image();
    const std::int32_t count = destination.pageCount();
    const QSet<std::int32_t> moved =
        drop.copy ? QSet<std::int32_t>() : QSet<std::int32_t>(drop.pages.begin(), drop.pages.end());
    std::int32_t firstAt = 0;
    const QList<ImagingAdmin::ListedPage> list =
        withPages(count, QString(), drop.pages, drop.before, moved, &firstAt);
    // Pages dropped where they are already change nothing.
    bool inPlace = list.size() == count;
    for (std::int32_t i = 0; inPlace && i < count; ++i)
        inPlace = list[i].page == i + 1;
    if (inPlace)
        return;
    UndoHistory::Recording recording(window.history());
    recording.setCaption(
        UndoCaption::arrange(drop.copy, drop.pages.first(), std::int32_t(drop.pages.size()), file));
    if (change(window, false, [&](ImagingAdmin& admin, const ImagingAdmin::Expected& expected) {
            admin.arrangePages(list, expected);
        }))
        showAt(window, false, file, firstAt);
}

void bringFromSource(Tessary& window, const StripDrop& drop)
{
    const ImagingEdit& source = *window.imgSrc;
    const ImagingEdit& destination = *window.imgDes;
    const QString sourceFile = source.image();
    const QString file = destination.image();
    if (sourceFile.isEmpty() || !validPages(drop.pages, source.pageCount()))
        return;
    const bool move = window.mnuMove->isChecked();
    if (move && drop.pages.size() >= source.pageCount()) {
        tell(window, lastPageText, MsgIcon::Exclamation);
        return;
    }
    const std::int32_t count = destination.pageCount();
    const bool append = drop.before > count;
    if (mdlFunctions::ConfirmPageAction(window, window.flags.PromptBeforeAction,
                                        append ? QStringLiteral("Append")
                                               : QStringLiteral("Insert")) == MsgNo)
        return;

    // The pages' arrival and, with Move, their removal from the source are one step.
    UndoHistory::Recording recording(window.history());
    const auto caption = [&](bool moved) {
        recording.setCaption(UndoCaption::bring(moved, drop.pages.first(),
                                                std::int32_t(drop.pages.size()), sourceFile, file));
    };
    caption(false);
    std::optional<HeldFiles> held;
    if (move)
        held.emplace(*window.imgAdmSrc, QStringList{file, sourceFile});
    std::int32_t firstAt = 0;
    const QList<ImagingAdmin::ListedPage> list =
        withPages(count, sourceFile, drop.pages, drop.before, {}, &firstAt);
    const bool written = change(
        window, false,
        [&](ImagingAdmin& admin, const ImagingAdmin::Expected& expected) {
            admin.arrangePages(list, expected);
        },
        source.stamp());
    if (!written)
        return;
    showAt(window, false, file, firstAt);
    if (move &&
        change(window, true, [&](ImagingAdmin& admin, const ImagingAdmin::Expected& expected) {
            admin.deletePages(drop.pages, expected);
        })) {
        showAt(window, true, sourceFile, drop.pages.first());
        caption(true);
    }
    window.TiffFileList->refresh();
}

} // namespace

void deleteStripPages(Tessary& window, const QList<std::int32_t>& pages)
{
    const ImagingEdit& destination = *window.imgDes;
    if (destination.image().isEmpty() || !validPages(pages, destination.pageCount()))
        return;
    if (pages.size() >= destination.pageCount()) {
        tell(window, lastPageText, MsgIcon::Exclamation);
        return;
    }
    const QString question =
        pages.size() == 1 ? deleteQuestion : deleteSeveralQuestion.arg(pages.size());
    if (window.flags.PromptBeforeAction && ask(window, question) != MsgYes)
        return;
    const QString file = destination.image();
    UndoHistory::Recording recording(window.history());
    recording.setCaption(UndoCaption::deletePages(pages, file));
    if (change(window, false, [&](ImagingAdmin& admin, const ImagingAdmin::Expected& expected) {
            admin.deletePages(pages, expected);
        }))
        showAt(window, false, file, *std::min_element(pages.begin(), pages.end()));
}

void dropStripPages(Tessary& window, const StripDrop& drop)
{
    const ImagingEdit& destination = *window.imgDes;
    if (destination.image().isEmpty() || drop.before < 1 ||
        drop.before > destination.pageCount() + 1)
        return;
    if (drop.fromSource)
        bringFromSource(window, drop);
    else if (validPages(drop.pages, destination.pageCount()))
        arrangeWithin(window, drop);
}

} // namespace tessary::operations
