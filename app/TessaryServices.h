#pragma once

#include <QList>
#include <cstdint>
#include <functional>

namespace tessary {

class FileDialogService;
class FolderChooser;
class HelpPlatform;
class Launcher;
class MessageBoxService;
class ProgressService;
class ProgramFolder;
class ScreenSize;
class SettingsStore;
class Tessary;
class UndoHistory;

// Pages dropped on the destination's page strip: pages of the source's file (fromSource) or
// of the destination's own file, to go before page `before` of the destination (one past its
// last page: behind it); copy when Ctrl was held while they were dropped.
struct StripDrop
{
    bool fromSource = false;
    QList<std::int32_t> pages;
    std::int32_t before = 0;
    bool copy = false;
};

// What the page-operation buttons run. The program passes the page operations; a window
// given none runs nothing for them (the main window's own tests).
struct PageOperationHandlers
{
    std::function<void(Tessary&)> cmdSwap_Click;
    std::function<void(Tessary&)> cmdRange_Click;
    std::function<void(Tessary&)> cmdDelPage_Click;
    std::function<void(Tessary&)> cmdReorder_Click;
    std::function<void(Tessary&)> mnuInterleave_Click;
    std::function<void(Tessary&)> mnuSplit_Click;
    std::function<void(Tessary&)> mnuMerge_Click;
    // The page strips' gestures: Delete of the pages selected in the destination's strip,
    // and pages dropped on it.
    std::function<void(Tessary&, const QList<std::int32_t>& pages)> deleteStripPages;
    std::function<void(Tessary&, const StripDrop& drop)> dropStripPages;
    // Edit > Rotate Page: the page the destination pane shows turned by quarter turns
    // clockwise (1 right, 2 half round, 3 left); Edit > Rotate Pages...: a range of them.
    std::function<void(Tessary&, int quarters)> mnuRotate_Click;
    std::function<void(Tessary&)> mnuRotatePages_Click;
};

// What the main window reaches of the platform. The program passes the real services;
// tests pass scripted ones, a settings store in a temporary folder and a temporary
// program folder (and a history in a temporary folder, where they want one).
struct TessaryServices
{
    MessageBoxService& messageBoxes;
    FileDialogService& fileDialogs;
    FolderChooser& folders;
    Launcher& launcher;
    const ScreenSize& screen;
    const ProgramFolder& programFolder;
    SettingsStore& settings;
    HelpPlatform& help;
    // Long page operations run through it, showing that they are going on.
    ProgressService& progress;
    PageOperationHandlers pageOperations = {};
    // The undo history of the page operations, in a folder of its own; none keeps nothing,
    // and Edit > Undo and Redo stay greyed.
    UndoHistory* history = nullptr;
};

} // namespace tessary
