#pragma once

#include "BrowseTargets.h"
#include "FormLayout.h"
#include "ModuleFlags.h"
#include "TessaryServices.h"

#include <QList>
#include <QMainWindow>
#include <QSize>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;

namespace tessary {

class FileListBox;
class KeyUpWatcher;
class PaneStrips;
class ShortcutGuard;
class ImagingAdmin;
class ImagingEdit;
class ProgramFolder;
class SettingsStore;
class UndoHistory;

// The main window: the source pane on the left, the destination pane on the right, the
// page-mode group and the transfer buttons between them. Its controls carry the names
// the shared routines use to reach them.
class Tessary : public QMainWindow
{
    Q_OBJECT

public:
    // Builds the window and runs Form_Load.
    explicit Tessary(const TessaryServices& services, QWidget* parent = nullptr);
    ~Tessary() override;

    // The program's title, the caption of message boxes that name none of their own.
    static inline const QString AppTitle = QStringLiteral("Tessary");

    MessageBoxService& messageBoxes() const { return m_services.messageBoxes; }
    FileDialogService& fileDialogs() const { return m_services.fileDialogs; }
    FolderChooser& folderChooser() const { return m_services.folders; }
    Launcher& launcher() const { return m_services.launcher; }
    const ProgramFolder& programFolder() const { return m_services.programFolder; }
    SettingsStore& settings() const { return m_services.settings; }
    // Long work on files runs through it, showing that it is going on.
    ProgressService& progress() const { return m_services.progress; }
    // The undo history the page operations record their steps in; null when none is kept.
    UndoHistory* history() const { return m_services.history; }

    // The option buttons of the page-mode group, by index 1 (Append) to 4 (New File);
    // nullptr for any other index.
    QRadioButton* optMode(int index) const;
    // Selects the page mode index as the program does, which raises the group's click
    // handling for it as a click of the user's would (optMode_Click).
    void selectPageMode(int index);

    // The folder browser's targets as the main window knows them: its own file list, and
    // no settings dialog boxes. The settings dialog adds its boxes to a copy.
    BrowseTargets browseTargets();

    // Files opened from outside the window: named on the command line or dropped from the
    // file manager. openSource lists the file's folder with the file selected and loads it
    // as a click on its entry does (a file the list leaves out, such as a ".tiff" name, is
    // loaded all the same); openDestination loads it as the Open button loads the file
    // chosen in its dialog. Both throw the engine's failure (ImagingError) for a file that
    // cannot be opened as a TIFF file, and change nothing then.
    void openSource(const QString& fileName);
    void openDestination(const QString& fileName);
    // The files named on the command line: the first opened as the source, the second as
    // the destination, each inside the event boundary (a failure is shown in a message box
    // and the other file still opens). "" opens nothing; further names are left alone.
    void openFiles(const QStringList& fileNames);
    // True while the window takes files dropped on it: no page operation runs and no
    // dialog is open.
    bool takesFiles() const;

    // The size the window is designed for, which Form_MouseMove restores.
    QSize designedSize() const { return m_designedSize; }

    ModuleFlags flags;

    // Controls of the source pane.
    QLabel* lblSource = nullptr;
    ImagingEdit* imgSrc = nullptr;
    std::array<QPushButton*, 4> cmdSrc{}; // first, previous, next, last page
    QLineEdit* txtPageSrc = nullptr;
    QPushButton* cmdZoomIn = nullptr;
    QPushButton* cmdZoomOut = nullptr;
    QPushButton* cmdReset = nullptr;
    FileListBox* TiffFileList = nullptr;
    QPushButton* cmdBrowseSrc = nullptr;

    // Between the panes.
    QGroupBox* fraMode = nullptr;
    QPushButton* cmdSwap = nullptr;
    QPushButton* cmdRange = nullptr;
    QLabel* Picture1 = nullptr;

    // Controls of the destination pane.
    QLabel* lblDestination = nullptr;
    ImagingEdit* imgDes = nullptr;
    std::array<QPushButton*, 4> cmdDes{};
    QLineEdit* txtPageDes = nullptr;
    QPushButton* cmdZoomIn_ImgDes = nullptr;
    QPushButton* cmdZoomOut_ImgDes = nullptr;
    QPushButton* cmdReset_ImgDes = nullptr;
    QPushButton* cmdOpenDes = nullptr;
    QPushButton* cmdCloseDes = nullptr;
    QPushButton* cmdReorder = nullptr;
    QPushButton* cmdDelPage = nullptr;

    // The administration control; it has no window.
    std::unique_ptr<ImagingAdmin> imgAdmSrc;

    // Menus.
    QMenu* mnuFile = nullptr;
    QMenu* mnuOpen = nullptr;
    QAction* mnuOpenSrc = nullptr;
    QAction* mnuOpenDes = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuEdit = nullptr;
    QMenu* mnuMode = nullptr;
    QAction* mnuCopy = nullptr;
    QAction* mnuMove = nullptr;
    QAction* mnuSettings = nullptr;
    QMenu* mnuRotate = nullptr;
    QAction* mnuRotateRight = nullptr;
    QAction* mnuRotateLeft = nullptr;
    QAction* mnuRotate180 = nullptr;
    QAction* mnuRotatePages = nullptr;
    QAction* mnuUndo = nullptr;
    QAction* mnuRedo = nullptr;
    QMenu* mnuView = nullptr;
    QAction* mnuPageStrips = nullptr;
    QMenu* mnuTools = nullptr;
    QAction* mnuInterleave = nullptr;
    QAction* mnuSplit = nullptr;
    QAction* mnuMerge = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuContents = nullptr;
    QAction* menuAbout = nullptr;
    QAction* mnuVersion = nullptr;

public slots:
    void Form_Load();
    void Form_Unload();
    void Form_MouseMove();
    void mnuExit_Click();

    // The panes.
    void TiffFileList_Click();
    void TiffFileList_MouseMove();
    void cmdBrowseSrc_Click();
    void cmdOpenDes_Click();
    void cmdCloseDes_Click();

    // Page navigation and viewing. index: 0 first page, 1 previous, 2 next, 3 last.
    void cmdSrc_Click(int index);
    void cmdDes_Click(int index);
    void txtPageSrc_GotFocus();
    void txtPageDes_GotFocus();
    // key: the character code of the key pressed in the box, before it takes effect.
    void txtPageSrc_KeyPress(std::int16_t key);
    void txtPageDes_KeyPress(std::int16_t key);
    void cmdZoomIn_Click();
    void cmdZoomIn_ImgDes_Click();
    void cmdZoomOut_Click();
    void cmdZoomOut_ImgDes_Click();
    void cmdReset_Click();
    void cmdReset_ImgDes_Click();
    void imgSrc_SelectionRectDrawn(std::int32_t left, std::int32_t top, std::int32_t width,
                                   std::int32_t height);
    void imgDes_SelectionRectDrawn(std::int32_t left, std::int32_t top, std::int32_t width,
                                   std::int32_t height);
    // The keyboard shortcuts, for every key released while the window is active, whichever
    // of its controls has the focus: keyCode a virtual-key code, shift the modifiers held
    // (Shift 1, Ctrl 2, Alt 4; see VirtualKey).
    void Form_KeyUp(std::int16_t keyCode, std::int16_t shift);
    // Whether Form_KeyUp takes the key as a shortcut: its press then types nothing into
    // the control with the focus.
    static bool isKeyShortcut(std::int16_t keyCode, std::int16_t shift);

    // Modes and menus.
    void optMode_Click(int index);
    void mnuCopy_Click();
    void mnuMove_Click();
    void mnuOpenSrc_Click();
    void mnuOpenDes_Click();

    // Page operations. One that starts while another is still running (a click taken by a
    // dialog's own loop meanwhile) runs when that one has ended, on the files as it left
    // them.
    void cmdSwap_Click();
    void cmdRange_Click();
    void cmdDelPage_Click();
    void cmdReorder_Click();
    void mnuRotateRight_Click();
    void mnuRotateLeft_Click();
    void mnuRotate180_Click();
    void mnuRotatePages_Click();
    // Undoes the newest step of the history, or redoes the step undone last, and shows the
    // files it changed in their panes; a step that cannot be taken is said in a box and
    // changes nothing. They wait for a page operation still running, as the operations do.
    void mnuUndo_Click();
    void mnuRedo_Click();
    // The Tools menu's dialogs for scanned batches; page operations like the others.
    void mnuInterleave_Click();
    void mnuSplit_Click();
    void mnuMerge_Click();

    // Settings.
    void mnuSettings_Click();
    // Shows or hides the panes' page strips as the View menu's item is checked, and keeps
    // the choice for the next start.
    void mnuPageStrips_Click();

    // Help and About.
    void mnuContents_Click();
    void menuAbout_Click();
    void mnuVersion_Click();
    void Picture1_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void acceptFileDrops();
    void showSourcePage();
    void buildMenus();
    void connectHandlers();
    void showAboutBox();
    // Runs handler for each signal of sender, inside the event boundary.
    template <typename Sender, typename Signal>
    void handle(Sender* sender, Signal signal, std::function<void()> handler);
    void openDisplaySettings();
    void navigate(ImagingEdit& viewer, QLineEdit& pageBox, int index);
    void typePage(ImagingEdit& viewer, QLineEdit& pageBox, std::int16_t key);
    void selectPageText(QLineEdit& pageBox);
    void connectViewing();
    QRect twips(int left, int top, int width, int height) const;
    using Slot = void (Tessary::*)();
    void runPageOperation(Slot slot, const std::function<void(Tessary&)>& operation);
    void takeHistoryStep(bool undo);
    void showStrips(bool shown);
    // A gesture of the page strips, run as a page operation; none is taken while another
    // operation runs.
    void runStripOperation(const std::function<void(Tessary&)>& gesture);
    void updateHistoryItems();

    TessaryServices m_services;
    QWidget* m_client = nullptr;
    std::array<QRadioButton*, 4> m_optMode{};
    QSize m_designedSize;
    FormLayout m_layout;
    std::unique_ptr<KeyUpWatcher> m_keyUp;
    std::unique_ptr<ShortcutGuard> m_shortcuts;
    bool m_unloaded = false;
    bool m_pageOperationRunning = false;
    bool m_closeRequested = false;
    QList<Slot> m_waitingOperations;
    std::unique_ptr<PaneStrips> m_strips;
};

} // namespace tessary
