#pragma once

#include <QSet>
#include <QString>

namespace tessary {

// Hidden files. On Windows a file is hidden by its attribute; elsewhere by a leading dot
// in its name or by its name on a line of the folder's ".hidden" file, as the desktop's
// file managers read it.
class HiddenFiles
{
public:
    // Hides the file (on Windows: hidden plus archive). False when that failed.
    static bool hide(const QString& filePath);
    static bool isHidden(const QString& filePath);
    // The names listed in folder's ".hidden" file (empty on Windows).
    static QSet<QString> listedIn(const QString& folder);
};

} // namespace tessary
