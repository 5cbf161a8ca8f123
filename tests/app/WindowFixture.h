#pragma once

#include "FakeHelpPlatform.h"
#include "FixedScreenSize.h"
#include "ProgramFolder.h"
#include "RecordingLauncher.h"
#include "ScriptedFileDialogService.h"
#include "ScriptedFolderChooser.h"
#include "ScriptedMessageBoxService.h"
#include "SettingsStore.h"

#include <QTemporaryDir>
#include <memory>
#include <optional>

namespace tessary {
class Tessary;
}

namespace tessary::testing {

// The real main window on scripted services: a temporary program folder holding
// blank.tif, a settings store in a temporary folder, scripted message boxes, file dialogs
// and folder chooser, and a launcher that only records.
class WindowFixture
{
public:
    // Starts afresh: new folders, empty scripts.
    bool reset();
    std::unique_ptr<Tessary> start();

    // A path below the temporary root.
    QString dir(const QString& name) const;
    // Makes the folder name below the root and returns its path.
    QString folder(const QString& name) const;

    // Writes a TIFF file of pages grey pages.
    static bool writeTiff(const QString& path, int pages);
    static bool writeBytes(const QString& path, const QByteArray& bytes);
    static QByteArray bytesOf(const QString& path);

    // Clicks the entry name of the window's file list as the user does; false when the
    // list has no such entry.
    static bool pick(Tessary& window, const QString& name);
    // Opens path as destination with the Open button.
    void openDestination(Tessary& window, const QString& path);

    std::optional<QTemporaryDir> root;
    std::optional<ProgramFolder> programFolder;
    std::optional<SettingsStore> settings;
    std::optional<ScriptedMessageBoxService> boxes;
    std::optional<ScriptedFileDialogService> dialogs;
    std::optional<ScriptedFolderChooser> folders;
    std::optional<RecordingLauncher> launcher;
    std::optional<FixedScreenSize> screen;
    std::optional<FakeHelpPlatform> help;
};

} // namespace tessary::testing
