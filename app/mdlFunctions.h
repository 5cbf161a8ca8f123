#pragma once

#include <QString>
#include <cstdint>

namespace tessary {

class ImagingEdit;
class Tessary;

// Routines that several handlers of the main window share.
namespace mdlFunctions {

// The panes, as the routines that act on one of them name it: "Src" is the source pane
// (imgSrc, txtPageSrc, lblSource), "Des" the destination pane (imgDes, txtPageDes,
// lblDestination). Compared exactly; any other text names no pane.
inline const QString PaneSrc = QStringLiteral("Src");
inline const QString PaneDes = QStringLiteral("Des");

// The page-mode group's indexes.
enum PageModeIndex : int
{
    ModeAppend = 1,
    ModeInsert = 2,
    ModeReplace = 3,
    ModeNewFile = 4,
};

// Tidies the working files of the program folder: hides blank.tif and deletes a temp.tif
// left behind. True when blank.tif exists.
bool CheckWorkingFiles(Tessary& window);

// True when path names an existing folder.
bool FolderExists(const QString& path);

// Loads entry listIndex of the window's file list into imgSrc (the list's folder, a
// separator and the entry, exactly as built) as LoadSourceFile does. An index outside the
// list loads nothing.
void LoadSourceImage(Tessary& window, int listIndex);

// Loads fileName into imgSrc after the same-file guard, fitted and shown at page 1. The
// guard empties the source pane when imgDes shows that file.
void LoadSourceFile(Tessary& window, const QString& fileName);

// Throws the engine's failure, an ImagingError with its sentence naming the file, when
// fileName cannot be opened as a TIFF file (missing, a folder, not a TIFF file, no page
// that can be reached, not readable). Nothing when it can.
void CheckTiffFile(const QString& fileName);

// Lets the user choose a destination in the administration control's Open dialog and
// loads it into imgDes. Afterwards:
//  - cancelled: imgDes, the flags and the captions are as they were;
//  - the source file chosen: the guard has emptied the destination pane and selected New
//    File, and flags.SameFileRefused is true;
//  - otherwise imgDes shows the file, txtPageDes its page, the caption is rewritten, the
//    administration control's file name is "" and flags.DestinationOpened is true.
// A step that fails in any other way is passed over without a message and the routine
// goes on with the next; a dialog that fails without a choice ends it as a cancel does.
void OpenDestinationFile(Tessary& window);

// Loads fileName into imgDes as OpenDestinationFile loads the file chosen in its dialog,
// the same-file guard, the flags and the captions included.
void LoadDestinationFile(Tessary& window, const QString& fileName);

// True when candidate and other are different files. When they are the same file (the
// same name, or one file reached by two names: a link, a relative path, another letter
// case on a disk that ignores it), says so in a message box, empties the pane named by
// pane and returns false; emptying the destination pane selects the page mode New File.
bool CheckNotSameFile(Tessary& window, const QString& candidate, const QString& other,
                      const QString& pane);

// Rewrites the caption of the pane from its viewer: "Source Image" or "Destination Image"
// without a file; with one, "Source Image - " or "Destination Image - ", the page count,
// " Page(s)   " and the file's name without its folder. Any other pane: nothing.
void UpdatePaneCaption(Tessary& window, const QString& pane);

// The text after the last separator of path (the platform's own), or the whole of path
// when it holds none; "" for a path that ends in a separator.
QString FileNameFromPath(const QString& path);

// Switches the transfer mode to Move after the warning; a No switches it to Copy. The
// warning is asked on every call, also when Move was checked already.
void ConfirmMoveMode(Tessary& window);

// Opens the viewer's file, at its current page, in the stand-alone image viewer
// (tessary-view beside the program), started on its own: the program neither waits for it
// nor reloads the pane. Nothing when the viewer has no file; a viewer that cannot be
// started is reported in a message box.
void OpenInImagingApplication(Tessary& window, ImagingEdit& viewer);

// The stand-alone image viewer's executable beside the program.
QString ImagingApplicationPath(const Tessary& window);

// Viewing a pane. The zoom is the viewer's, in percent.
inline constexpr float ZoomStep = 15.0f;
// Above this zoom, zooming in takes no step (so the buttons reach at most 6515).
inline constexpr float ZoomInLimit = 6500.0f;
// At or below this zoom, zooming out fits the page instead of taking a step.
inline constexpr float ZoomOutFloor = 30.0f;
// One scroll step, in the viewer's units (screen pixels).
inline constexpr std::int32_t ScrollStep = 150;

// One zoom step in: the zoom plus ZoomStep, unless it is above ZoomInLimit. Acts on the
// viewer whatever it holds.
void ZoomIn(ImagingEdit& viewer);
// One zoom step out: the zoom minus ZoomStep while it is above ZoomOutFloor; at or below
// it the page is fitted into the view. Acts on the viewer whatever it holds.
void ZoomOut(ImagingEdit& viewer);
// Fits the page into the view and removes the selection rectangle; nothing without a file.
void ResetView(ImagingEdit& viewer);
// Zooms to the rectangle the user has drawn.
void ZoomToSelection(ImagingEdit& viewer);
// Scrolls the view amount units in direction (ImagingEdit::ScrollDirection); nothing
// without a file.
void ScrollView(ImagingEdit& viewer, std::int16_t direction, std::int32_t amount);

} // namespace mdlFunctions
} // namespace tessary
