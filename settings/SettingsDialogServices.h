#pragma once

#include "BrowseTargets.h"

#include <QString>
#include <functional>

namespace tessary {

class MessageBoxService;
class ProgramFolder;
class SettingsStore;

// What the settings dialog reaches outside itself: the store it reads and writes, the
// program folder, the message boxes, the folder browser's targets, and the main window,
// which it reaches only through the callbacks below.
struct SettingsDialogServices
{
    SettingsStore& store;
    const ProgramFolder& programFolder;
    MessageBoxService& messageBoxes;
    // The main window's targets; the dialog adds its two folder boxes to its own copy.
    BrowseTargets browse;
    // True when the text names an existing folder.
    std::function<bool(const QString& path)> folderExists;
    // Applies the saved transfer mode to the running main window: Move after its warning
    // (a No leaves Copy), or Copy.
    std::function<void(bool move)> applyTransferMode;
    // Sets the main window's prompt flag for the rest of the run.
    std::function<void(bool prompt)> applyPromptBeforeAction;
    // Opens the help file at a topic word ("Settings").
    std::function<void(const QString& topic)> showHelpTopic;
};

} // namespace tessary
