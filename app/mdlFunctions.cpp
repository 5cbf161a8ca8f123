#include "mdlFunctions.h"

#include "HiddenFiles.h"
#include "ProgramFolder.h"
#include "Tessary.h"

#include <QFile>
#include <QFileInfo>

namespace tessary::mdlFunctions {

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

} // namespace tessary::mdlFunctions
