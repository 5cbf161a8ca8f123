#pragma once

#include "BrowseTargets.h"

#include <QString>

namespace tessary::mdlBrowse {

// The chooser's title.
inline const QString BrowseTitle = QStringLiteral("Select a folder or shared resource.");

// The caller tags and the target each names, compared exactly (letter case counts):
//   "Tessary"       the main window's file list (targets.fileListFolder)
//   "Settings_Src"  the settings dialog's source folder box (targets.txtSrcDir)
//   "Settings_Des"  the settings dialog's destination folder box (targets.txtDesDir)
inline const QString TagTessary = QStringLiteral("Tessary");
inline const QString TagSettingsSrc = QStringLiteral("Settings_Src");
inline const QString TagSettingsDes = QStringLiteral("Settings_Des");

// Shows the folder chooser over targets.owner, opened at start, and writes the folder
// chosen into the target that tag names. Returns the folder chosen, or "" when the user
// cancelled; then nothing is written. Any other tag, or a target that is not there,
// writes nothing although the chooser is shown.
QString BrowseForFolder(const BrowseTargets& targets, const QString& start, const QString& tag);

} // namespace tessary::mdlBrowse
