#pragma once

#include <QString>
#include <functional>

class QLineEdit;
class QWidget;

namespace tessary {

class FolderChooser;

// What the folder browser reaches: the chooser it shows, the main window that owns it
// whichever window asked, and the controls its caller tags name. The main window hands
// out a set with its own file list; the settings dialog adds its two folder boxes to a
// copy of that set before it browses.
struct BrowseTargets
{
    FolderChooser& chooser;
    // The owner of the chooser: the main window.
    QWidget* owner = nullptr;
    // Points the main window's file list at a folder (tag "Tessary").
    std::function<void(const QString& folder)> fileListFolder;
    // The settings dialog's folder boxes (tags "Settings_Src" and "Settings_Des"); null
    // while no settings dialog is open.
    QLineEdit* txtSrcDir = nullptr;
    QLineEdit* txtDesDir = nullptr;
};

} // namespace tessary
