#pragma once

#include <QString>
#include <cstdint>

class QLineEdit;

namespace tessary {

class ImagingEdit;
class Tessary;

// The routines that change the pages of files, shared by the page operations' handlers.
// They belong to the main window's module of shared routines and reach its controls
// through the window they are given.
//
// Every routine that writes reports whether it did. A page operation that fails (a damaged
// page, a file that may not be written, a full disk, a file changed on disk since it was
// shown) is reported in a message box naming the file and the reason; the files are as
// they were, the pane written to shows its file again, and the routine returns false, so
// that its caller removes no page from the source.
namespace mdlFunctions {

// The answer of ConfirmPageAction when no question was asked.
inline constexpr std::int16_t NotAsked = 0;

// Asks "Do you really want to ... page(s)?" (Yes/No, title "Confirm") for the action word
// "Replace", "Insert", "Append", "New" or "Rotate" when prompt is set, and returns the button
// pressed (6 Yes, 7 No); returns NotAsked and shows nothing when it is not.
std::int16_t ConfirmPageAction(Tessary& window, const bool& prompt, const QString& action);

// Copy count pages of the source file (imgSrc's), from first, into the destination file
// (imgDes's): behind its last page; before its current page, the first of them taking its
// number; over its pages from the current one on. The destination pane then shows the
// file afresh, fitted (at page 1); its page box is left as it is. Nothing is done, and
// false returned, when the destination pane holds no file.
bool AppendPages(Tessary& window, std::int32_t first, std::int32_t count);
bool InsertPages(Tessary& window, std::int32_t first, std::int32_t count);
bool ReplacePages(Tessary& window, std::int32_t first, std::int32_t count);

// Writes count pages of the source, from the page it shows, to tempPath, shows that file in
// the destination pane at page 1 and lets the user save it under a new name (SaveNewFile).
// True when the new file was saved; false when the pages could not be written (said in a
// box; the destination pane shows what it showed before), or when SaveNewFile saved
// nothing.
bool ExtractPageToNewFile(Tessary& window, const QString& tempPath, std::int32_t count);

// Lets the user name the new file the destination pane shows in the Save dialog, saves it
// under that name, shows it at page 1 and selects the page mode Append. Afterwards:
//  - saved: true;
//  - cancelled, or the new file could not be written (said in a box): false, the pane is
//    empty, the administration control's file name "", flags.SameFileRefused set and the
//    page mode New File;
//  - the name is the source file's, or a working file's (temp.tif, blank.tif): false,
//    said in a box, the pane is empty and flags.NewFileRefused set.
bool SaveNewFile(Tessary& window);

// The working file that path names (temp.tif or blank.tif, in the program folder or the
// folder that holds temp.tif), or "": a file the program removes or takes over.
QString workingFileNamed(const Tessary& window, const QString& path);

// Empties the destination pane's viewer.
void ClearDestination(Tessary& window);

// Builds a new file of the source's pages from to to (blank.tif copied to temp.tif, the
// pages appended, the blank page removed), shows it in the destination pane and lets the
// user save it (SaveNewFile); temp.tif is removed afterwards. True when the new file was
// saved.
bool ExtractRangeToNewFile(Tessary& window, std::int32_t from, std::int32_t to);

// Removes count pages, from first, from the file viewer shows, which then shows the file
// at page 1; pageBox gets the page shown. A file of one page is refused with a message
// and not touched. Nothing is done when viewer holds no file. True when pages were
// removed.
bool DeletePages(Tessary& window, ImagingEdit& viewer, QLineEdit& pageBox, std::int32_t first,
                 std::int32_t count);

// Turns count pages, from first, of the file the destination pane shows by quarters
// quarter turns clockwise (1 right, 2 half round, 3 left) as they are seen. The pane then
// shows the file afresh at the page it showed, its page box with it. Pages whose turn only
// their orientation tag could take are named in a box. Nothing is done, and false
// returned, when the pane holds no file.
bool RotatePages(Tessary& window, std::int32_t first, std::int32_t count, int quarters);

} // namespace mdlFunctions
} // namespace tessary
