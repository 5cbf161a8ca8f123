#include "PageOperations.h"

#include "EngineCall.h"
#include "FileStamp.h"
#include "HiddenFiles.h"
#include "ImagingAdmin.h"
#include "ImagingEdit.h"
#include "ImagingError.h"
#include "MessageBoxService.h"
#include "OperationSupport.h"
#include "ProgramFolder.h"
#include "Tessary.h"
#include "mdlFunctions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <functional>

namespace tessary::mdlFunctions {

using operations::tell;

namespace {

const QString confirmCaption = QStringLiteral("Confirm");
const QString replaceQuestion = QStringLiteral("Do you really want to replace page(s)?");
const QString insertQuestion = QStringLiteral("Do you really want to insert page(s)?");
const QString appendQuestion = QStringLiteral("Do you really want to append page(s)?");
const QString newQuestion = QStringLiteral("Do you really want to extract page(s) to a new file?");
const QString rotateQuestion = QStringLiteral("Do you really want to rotate page(s)?");

const QString sourceNameText =
    QStringLiteral("You cannot overwrite the same file you have open as the source image.");
const QString workingFileText =
    QStringLiteral("You cannot save the new file as %1: Tessary uses that file for its own "
                   "work.\r\nPlease choose another name.");
const QString tempNotWrittenText =
    QStringLiteral("The working file %1 could not be made from %2; no new file was made.");

const QString newFileFilter = QStringLiteral("TIFF Image|*.tif|");
const QString blankName = QStringLiteral("blank.tif");
const QString tempName = QStringLiteral("temp.tif");

enum class Transfer
{
    Append,
    Insert,
    Replace,
};

// Shows viewer's file again after a page operation on it failed, read afresh (a file
// changed on disk is shown as it is now), at the page it showed when that page is still
// there.
void showAgain(ImagingEdit& viewer, const QString& fileName)
{
    const std::int32_t page = viewer.page();
    viewer.setImage(fileName);
    if (page >= 1 && page <= viewer.pageCount())
        viewer.setPage(page);
    viewer.fitTo(ImagingEdit::FitWholePage);
    viewer.display();
}

// Runs a page operation of the administration control on the file viewer shows (fileName).
// A failure leaves the files as they were: the viewer shows its file again and the
// failure is said in a box naming the file and the reason.
bool pageOperation(Tessary& window, ImagingEdit& viewer, const QString& fileName,
                   const std::function<void()>& operation)
{
    try {
        operation();
        return true;
    } catch (const ImagingError& error) {
        const QString text = operations::showChangedAgain(window, error);
        showAgain(viewer, fileName);
        tell(window, text, MsgIcon::Exclamation);
        return false;
    }
}

bool transferPages(Tessary& window, Transfer transfer, std::int32_t first, std::int32_t count)
{
    ImagingEdit& destination = *window.imgDes;
    if (destination.image().isEmpty())
        return false;
    ImagingAdmin& admin = *window.imgAdmSrc;
    // The files as the panes show them: a file changed on disk since is not written.
    const ImagingAdmin::Expected expected{destination.stamp(), window.imgSrc->stamp(),
                                          operations::keeping(window, PaneDes)};
    const QString file = destination.image();

    admin.setFileName(file);
    destination.clearDisplay();
    const QString source = window.imgSrc->image();
    const std::int32_t current = destination.page();
    const bool written = pageOperation(window, destination, file, [&] {
        switch (transfer) {
        case Transfer::Append:
            admin.appendPages(source, first, count, expected);
            break;
        case Transfer::Insert:
            admin.insertPages(source, first, current, count, expected);
            break;
        case Transfer::Replace:
            admin.replacePages(source, first, current, count, expected);
            break;
        }
    });
    if (!written)
        return false;

    destination.setImage(admin.fileName());
    destination.fitTo(ImagingEdit::FitWholePage);
    destination.display();
    destination.refresh();
    return true;
}

// Whether the disk finds the names in folder without regard to letter case: an entry's
// name in other letters still names it. A folder without a name to try follows the
// system's custom.
bool namesIgnoreCase(const QString& folder)
{
    const QDir dir(folder);
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        QString flipped = name;
        for (QChar& c : flipped)
            c = c.isUpper() ? c.toLower() : c.toUpper();
        if (flipped != name)
            return isSameFile(EngineCall::toPath(dir.filePath(name)),
                              EngineCall::toPath(dir.filePath(flipped)));
    }
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return true;
#else
    return false;
#endif
}

// True when the two names lead to one place on disk: the same file, or (for a file not
// made yet) the same folder and the same name, in other letters only where the disk
// ignores letter case.
bool sameLocation(const QString& a, const QString& b)
{
    if (isSameFile(EngineCall::toPath(a), EngineCall::toPath(b)))
        return true;
    const QFileInfo first(a);
    const QFileInfo second(b);
    const QString firstFolder = QFileInfo(first.absolutePath()).canonicalFilePath();
    const QString secondFolder = QFileInfo(second.absolutePath()).canonicalFilePath();
    if (firstFolder.isEmpty() ||
        !isSameFile(EngineCall::toPath(firstFolder), EngineCall::toPath(secondFolder)))
        return false;
    if (first.fileName() == second.fileName())
        return true;
    return first.fileName().compare(second.fileName(), Qt::CaseInsensitive) == 0 &&
           namesIgnoreCase(firstFolder);
}

} // namespace

QString workingFileNamed(const Tessary& window, const QString& path)
{
    const ProgramFolder& folder = window.programFolder();
    for (const QString& name : {tempName, blankName})
        for (const QString& candidate : {folder.filePath(name), folder.workingFilePath(name)})
            if (sameLocation(path, candidate))
                return name;
    return {};
}

namespace {

// The refusal of a name chosen for the new file.
void refuseNewFileName(Tessary& window, const QString& text)
{
    tell(window, text);
    window.imgAdmSrc->setFileName(QString());
    ClearDestination(window);
    window.flags.NewFileRefused = true;
}

// Nothing was saved: the pane is empty, no page may leave the source, and the page mode
// stays New File.
void noNewFile(Tessary& window)
{
    ClearDestination(window);
    window.imgAdmSrc->setFileName(QString());
    window.flags.SameFileRefused = true;
    window.selectPageMode(ModeNewFile);
}

// Copies blank.tif over temp.tif; the copy may be written whatever blank.tif's own
// permissions are.
bool copyBlankToTemp(const QString& blank, const QString& temp)
{
    if (QFileInfo::exists(temp) && !QFile::remove(temp))
        return false;
    if (!QFile::copy(blank, temp))
        return false;
    return QFile::setPermissions(temp, QFile::permissions(temp) | QFileDevice::ReadOwner |
                                           QFileDevice::WriteOwner);
}

} // namespace

std::int16_t ConfirmPageAction(Tessary& window, const bool& prompt, const QString& action)
{
    if (!prompt)
        return NotAsked;
    QString question;
    if (action == QLatin1String("Replace"))
        question = replaceQuestion;
    else if (action == QLatin1String("Insert"))
        question = insertQuestion;
    else if (action == QLatin1String("Append"))
        question = appendQuestion;
    else if (action == QLatin1String("New"))
        question = newQuestion;
    else if (action == QLatin1String("Rotate"))
        question = rotateQuestion;
    return std::int16_t(window.messageBoxes().show(operations::boxOwner(window), question,
                                                   confirmCaption, MsgButtons::YesNo));
}

bool AppendPages(Tessary& window, std::int32_t first, std::int32_t count)
{
    return transferPages(window, Transfer::Append, first, count);
}

bool InsertPages(Tessary& window, std::int32_t first, std::int32_t count)
{
    return transferPages(window, Transfer::Insert, first, count);
}

bool ReplacePages(Tessary& window, std::int32_t first, std::int32_t count)
{
    return transferPages(window, Transfer::Replace, first, count);
}

bool ExtractPageToNewFile(Tessary& window, const QString& tempPath, std::int32_t count)
{
    ImagingEdit& destination = *window.imgDes;
    destination.clearDisplay();
    try {
        window.imgSrc->saveImage(tempPath, count);
    } catch (const ImagingError& error) {
        // Nothing was written; a temp.tif left by an earlier transfer must not be taken
        // for this page.
        const QString text = operations::showChangedAgain(window, error);
        if (!destination.image().isEmpty())
            showAgain(destination, destination.image());
        tell(window, text, MsgIcon::Exclamation);
        return false;
    }
    destination.setImage(tempPath);
    destination.fitTo(ImagingEdit::FitWholePage);
    destination.setPage(1);
    destination.display();
    return SaveNewFile(window);
}

bool SaveNewFile(Tessary& window)
{
    ImagingAdmin& admin = *window.imgAdmSrc;
    ImagingEdit& destination = *window.imgDes;
    admin.setInitialFolder(window.programFolder().startFolder());
    // The working files stay out of the Save dialog's list, as out of every other.
    const ProgramFolder& folder = window.programFolder();
    for (const QString& name : {tempName, blankName})
        for (const QString& path : {folder.filePath(name), folder.workingFilePath(name)})
            if (QFileInfo(path).isFile())
                HiddenFiles::hide(path);
    // A failure of a step passes on to the next, except where going on would write a file
    // the user did not choose.
    try {
        admin.setFilter(newFileFilter);
    } catch (const ImagingError&) {
    }
    try {
        admin.showFileDialog(ImagingAdmin::SaveDialog, destination.ownerWidget());
    } catch (const ImagingError&) {
        // Cancelled, or no choice at all: the name the control still holds is not the
        // user's choice.
        noNewFile(window);
        return false;
    }

    const QString chosen = admin.fileName();
    const QString source = window.imgSrc->image();
    if (chosen == source || (!source.isEmpty() && sameLocation(chosen, source))) {
        refuseNewFileName(window, sourceNameText);
        return false;
    }
    if (const QString working = workingFileNamed(window, chosen); !working.isEmpty()) {
        refuseNewFileName(window, workingFileText.arg(working));
        return false;
    }

    try {
        destination.saveAs(chosen, operations::keeping(window, PaneDes));
    } catch (const ImagingError& error) {
        tell(window, operations::showChangedAgain(window, error), MsgIcon::Exclamation);
        noNewFile(window);
        return false;
    }
    destination.setImage(chosen);
    destination.fitTo(ImagingEdit::FitWholePage);
    destination.display();
    window.selectPageMode(ModeAppend);
    return true;
}

void ClearDestination(Tessary& window)
{
    window.imgDes->clearDisplay();
    window.imgDes->setImage(QString());
}

bool ExtractRangeToNewFile(Tessary& window, std::int32_t from, std::int32_t to)
{
    ImagingEdit& destination = *window.imgDes;
    ImagingAdmin& admin = *window.imgAdmSrc;
    ClearDestination(window);

    const QString blank = window.programFolder().filePath(blankName);
    const QString temp = window.programFolder().workingFilePath(tempName);
    if (!copyBlankToTemp(blank, temp)) {
        tell(window, tempNotWrittenText.arg(temp, blank), MsgIcon::Exclamation);
        return false;
    }
    admin.setFileName(temp);
    const QString source = window.imgSrc->image();
    const std::int64_t count = std::int64_t(to) - from + 1;
    try {
        if (count < 1 || count > INT32_MAX)
            throw ImagingError(ImagingError::InvalidArgument,
                               QStringLiteral("Pages %1 to %2 are not a range.").arg(from).arg(to));
        admin.appendPages(source, from, std::int32_t(count),
                          {std::nullopt, window.imgSrc->stamp()});
        admin.deletePages(1, 1);
    } catch (const ImagingError& error) {
        QFile::remove(temp);
        admin.setFileName(QString());
        tell(window, operations::showChangedAgain(window, error), MsgIcon::Exclamation);
        return false;
    }

    destination.setImage(admin.fileName());
    destination.clearDisplay();
    destination.fitTo(ImagingEdit::FitWholePage);
    destination.setPage(1);
    destination.display();
    const bool saved = SaveNewFile(window);
    QFile::remove(temp);
    admin.setFileName(QString());
    return saved;
}

bool DeletePages(Tessary& window, ImagingEdit& viewer, QLineEdit& pageBox, std::int32_t first,
                 std::int32_t count)
{
    if (viewer.image().isEmpty())
        return false;
    if (viewer.pageCount() == 1) {
        tell(window, operations::lastPageText, MsgIcon::Exclamation);
        return false;
    }
    ImagingAdmin& admin = *window.imgAdmSrc;
    const ImagingAdmin::Expected expected{
        viewer.stamp(), std::nullopt,
        operations::keeping(window, &viewer == window.imgSrc ? PaneSrc : PaneDes)};
    const QString file = viewer.image();
    admin.setFileName(file);
    viewer.clearDisplay();
    if (!pageOperation(window, viewer, file, [&] { admin.deletePages(first, count, expected); })) {
        pageBox.setText(operations::pageText(viewer));
        return false;
    }
    viewer.setImage(admin.fileName());
    viewer.fitTo(ImagingEdit::FitWholePage);
    viewer.setPage(1);
    viewer.display();
    viewer.redraw();
    pageBox.setText(QString::number(viewer.page()));
    return true;
}

bool RotatePages(Tessary& window, std::int32_t first, std::int32_t count, int quarters)
{
    ImagingEdit& viewer = *window.imgDes;
    if (viewer.image().isEmpty())
        return false;
    ImagingAdmin& admin = *window.imgAdmSrc;
    const ImagingAdmin::Expected expected{viewer.stamp(), std::nullopt,
                                          operations::keeping(window, PaneDes)};
    const QString file = viewer.image();
    const std::int32_t page = viewer.page();
    admin.setFileName(file);
    viewer.clearDisplay();
    QString note;
    const bool turned = pageOperation(window, viewer, file, [&] {
        note = admin.rotatePages(first, count, 90 * quarters, expected);
    });
    if (turned) {
        // The same page, turned.
        viewer.setImage(admin.fileName());
        if (page >= 1 && page <= viewer.pageCount())
            viewer.setPage(page);
        viewer.fitTo(ImagingEdit::FitWholePage);
        viewer.display();
    }
    window.txtPageDes->setText(operations::pageText(viewer));
    if (!note.isEmpty())
        tell(window, note, MsgIcon::Information);
    return turned;
}

} // namespace tessary::mdlFunctions
