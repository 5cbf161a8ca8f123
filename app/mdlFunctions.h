#pragma once

#include <QString>

namespace tessary {

class Tessary;

// Routines that several handlers of the main window share.
namespace mdlFunctions {

// Tidies the working files of the program folder: hides blank.tif and deletes a temp.tif
// left behind. True when blank.tif exists.
bool CheckWorkingFiles(Tessary& window);

// True when path names an existing folder.
bool FolderExists(const QString& path);

} // namespace mdlFunctions
} // namespace tessary
