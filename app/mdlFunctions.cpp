#include "mdlFunctions.h"

#include "EngineCall.h"
#include "FileListBox.h"
#include "FileStamp.h"
#include "HiddenFiles.h"
#include "ImagingAdmin.h"
#include "ImagingEdit.h"
#include "ImagingError.h"
#include "Launcher.h"
#include "MessageBoxService.h"
#include "ProgramFolder.h"
#include "SettingsStore.h"
#include "Tessary.h"
#include "TiffDocument.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

namespace tessary::mdlFunctions {

namespace {

const QString sameFileText =
    QStringLiteral("You cannot open the same image file as the source and destination");

const QString sourceCaption = QStringLiteral("Source Image");
const QString sourceCaptionLead = QStringLiteral("Source Image - ");
const QString destinationCaption = QStringLiteral("Destination Image");
const QString destinationCaptionLead = QStringLiteral("Destination Image - ");
const QString pagesWord = QStringLiteral(" Page(s)   ");

const QString destinationFilter = QStringLiteral("TIFF Image|*.tif|");
// Hide the read-only box, keep the working folder.
constexpr std::int32_t destinationDialogFlags = 12;

const QString moveQuestion =
    QStringLiteral("If you enable this option pages will be deleted from the source file, \r\n"
                   "are you sure you want to enable this option?");
const QString moveCaption = QStringLiteral("Move Page(s) Mode");

const QString viewerNotStartedText =
    QStringLiteral("%1 cannot be shown in the image viewer: the viewer %2 could not be started.");

#ifdef Q_OS_WIN
const QString viewerProgram = QStringLiteral("tessary-view.exe");
#else
const QString viewerProgram = QStringLiteral("tessary-view");
#endif

// The page box of a pane: the viewer's page, or nothing when the pane has no file.
QString pageText(const ImagingEdit& viewer)
{
    return viewer.image().isEmpty() ? QString() : QString::number(viewer.page());
}

// How one step of OpenDestinationFile ended.
enum class Step
{
    Done,
    Cancelled,
    Failed,
};

template <typename Action>
Step trapped(Action&& action)
{
    try {
        action();
        return Step::Done;
    } catch (const ImagingError& error) {
        return error.number == ImagingError::DialogCancelled ? Step::Cancelled : Step::Failed;
    } catch (const std::exception&) {
        return Step::Failed;
    }
}

} // namespace

bool CheckWorkingFiles(Tessary& window)
{
    const ProgramFolder& folder = window.programFolder();
    const QString blank = folder.filePath(QStringLiteral("blank.tif"));
    const bool blankExists = QFileInfo(blank).isFile();
    if (blankExists)
        HiddenFiles::hide(blank);
    // temp.tif is made where working files may be written: the program folder, or the
    // user's own folder for the program when the program folder is read-only.
    const QString temp = folder.workingFilePath(QStringLiteral("temp.tif"));
    if (QFileInfo(temp).isFile())
        QFile::remove(temp);
    return blankExists;
}

bool FolderExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

void LoadSourceImage(Tessary& window, int listIndex)
{
    if (listIndex < 0 || listIndex >= window.TiffFileList->count())
        return;
    // Built as it stands: a root folder's path already ends in a separator, and the name is
    // passed on with the two separators in a row.
    LoadSourceFile(window, window.TiffFileList->path() + QDir::separator() +
                               window.TiffFileList->entry(listIndex));
}

void LoadSourceFile(Tessary& window, const QString& fileName)
{
    window.imgSrc->setImage(fileName);
    if (CheckNotSameFile(window, fileName, window.imgDes->image(), PaneSrc)) {
        window.imgSrc->fitTo(ImagingEdit::FitWholePage);
        window.imgSrc->setPage(1);
        window.imgSrc->display();
    }
}

void OpenDestinationFile(Tessary& window)
{
    ImagingAdmin& admin = *window.imgAdmSrc;
    ImagingEdit& destination = *window.imgDes;
    SettingsStore& store = window.settings();

    // The routine's error trap: a cancelled dialog ends it at once; any other failure of a
    // step is passed over, and the routine goes on with the next step.
    trapped([&] {
        admin.setInitialFolder(FolderExists(store.read(SettingsStore::DesDir))
                                   ? store.read(SettingsStore::DesDir)
                                   : window.programFolder().startFolder());
    });
    trapped([&] { admin.setFilter(destinationFilter); });
    trapped([&] { admin.setFlags(destinationDialogFlags); });
    // Without a choice there is nothing to go on with: the name the administration
    // control still holds may be a file of an earlier operation.
    if (trapped([&] { admin.showFileDialog(ImagingAdmin::OpenDialog, &window); }) != Step::Done)
        return;
    // A name the control cannot give leaves the viewer's own, which is read afresh.
    QString chosen = destination.image();
    trapped([&] { chosen = admin.fileName(); });
    LoadDestinationFile(window, chosen);
}

void LoadDestinationFile(Tessary& window, const QString& fileName)
{
    ImagingAdmin& admin = *window.imgAdmSrc;
    ImagingEdit& destination = *window.imgDes;
    trapped([&] { destination.setImage(fileName); });
    bool different = false;
    trapped([&] {
        different = CheckNotSameFile(window, window.imgSrc->image(), destination.image(), PaneDes);
    });
    if (!different) {
        window.flags.SameFileRefused = true;
        return;
    }
    trapped([&] { destination.fitTo(ImagingEdit::FitWholePage, false); });
    trapped([&] { destination.display(); });
    trapped([&] { window.txtPageDes->setText(pageText(destination)); });
    trapped([&] { admin.setFileName(QString()); });
    window.flags.DestinationOpened = true;
    trapped([&] { UpdatePaneCaption(window, PaneDes); });
}

void CheckTiffFile(const QString& fileName)
{
    EngineCall::run(
        [&](const OperationOptions&) { TiffDocument::open(EngineCall::toPath(fileName)); });
}

bool CheckNotSameFile(Tessary& window, const QString& candidate, const QString& other,
                      const QString& pane)
{
    // One file may be reached by two names; the guard asks the disk as well.
    if (candidate != other && !isSameFile(EngineCall::toPath(candidate), EngineCall::toPath(other)))
        return true;

    window.messageBoxes().show(&window, sameFileText, Tessary::AppTitle, MsgButtons::Ok);
    if (pane == PaneDes) {
        window.imgDes->clearDisplay();
        window.imgAdmSrc->setFileName(QString());
        window.imgDes->setImage(QString());
        window.lblDestination->setText(destinationCaption);
        // The emptied pane shows no page number of the file it no longer shows.
        window.txtPageDes->clear();
        window.selectPageMode(ModeNewFile);
    } else if (pane == PaneSrc) {
        window.imgSrc->clearDisplay();
        window.imgAdmSrc->setFileName(QString());
        window.imgSrc->setImage(QString());
        window.lblSource->setText(sourceCaption);
        window.txtPageSrc->clear();
    }
    return false;
}

void UpdatePaneCaption(Tessary& window, const QString& pane)
{
    if (pane == PaneSrc) {
        const QString file = window.imgSrc->image();
        window.lblSource->setText(file.isEmpty() ? sourceCaption
                                                 : sourceCaptionLead +
                                                       QString::number(window.imgSrc->pageCount()) +
                                                       pagesWord + QFileInfo(file).fileName());
    } else if (pane == PaneDes) {
        const QString file = window.imgDes->image();
        window.lblDestination->setText(
            file.isEmpty() ? destinationCaption
                           : destinationCaptionLead + QString::number(window.imgDes->pageCount()) +
                                 pagesWord + FileNameFromPath(file));
    }
}

QString FileNameFromPath(const QString& path)
{
    return path.mid(path.lastIndexOf(QDir::separator()) + 1);
}

void ConfirmMoveMode(Tessary& window)
{
    if (!window.mnuMove->isChecked()) {
        window.mnuMove->setChecked(true);
        window.mnuCopy->setChecked(false);
    }
    if (window.mnuMove->isChecked()) {
        // Only a plain Yes keeps Move: a box closed without an answer deletes nothing.
        const int answer = window.messageBoxes().show(&window, moveQuestion, moveCaption,
                                                      MsgButtons::YesNo, MsgIcon::Exclamation);
        if (answer != MsgYes) {
            window.mnuMove->setChecked(false);
            window.mnuCopy->setChecked(true);
        }
    }
}

QString ImagingApplicationPath(const Tessary& window)
{
    return window.programFolder().filePath(viewerProgram);
}

void OpenInImagingApplication(Tessary& window, ImagingEdit& viewer)
{
    const QString file = viewer.image();
    if (file.isEmpty())
        return;
    const QString program = ImagingApplicationPath(window);
    // Each argument reaches the viewer as it is: no shell reads the file name.
    if (!window.launcher().startDetached(program, {file, QString::number(viewer.page())}))
        window.messageBoxes().show(&window, viewerNotStartedText.arg(file, program),
                                   Tessary::AppTitle, MsgButtons::Ok, MsgIcon::Exclamation);
}

void ZoomIn(ImagingEdit& viewer)
{
    const float zoom = viewer.zoom();
    if (zoom > ZoomInLimit)
        return;
    viewer.setZoom(zoom + ZoomStep);
}

void ZoomOut(ImagingEdit& viewer)
{
    const float zoom = viewer.zoom();
    if (zoom > ZoomOutFloor)
        viewer.setZoom(zoom - ZoomStep);
    else
        viewer.fitTo(ImagingEdit::FitWholePage);
}

void ResetView(ImagingEdit& viewer)
{
    if (viewer.image().isEmpty())
        return;
    viewer.fitTo(ImagingEdit::FitWholePage);
    viewer.setSelectionRect(0, 0, 0, 0);
}

void ZoomToSelection(ImagingEdit& viewer)
{
    viewer.zoomToSelection();
}

void ScrollView(ImagingEdit& viewer, std::int16_t direction, std::int32_t amount)
{
    if (viewer.image().isEmpty())
        return;
    viewer.scroll(direction, amount);
}

} // namespace tessary::mdlFunctions
