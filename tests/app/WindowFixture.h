#pragma once

// The window's tests include this one header for the window, its controls and services.

#include "FakeHelpPlatform.h"
#include "FileListBox.h"
#include "FixedScreenSize.h"
#include "ImagingEdit.h"
#include "ProgramFolder.h"
#include "QtProgressService.h"
#include "RecordingLauncher.h"
#include "ScriptedFileDialogService.h"
#include "ScriptedFolderChooser.h"
#include "ScriptedMessageBoxService.h"
#include "SettingsStore.h"
#include "SynchronousProgressService.h"
#include "Tessary.h"
#include "mdlFunctions.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <tuple>

namespace tessary::testing {

// The real main window on scripted services: a temporary program folder holding
// blank.tif, a settings store in a temporary folder, scripted message boxes, file dialogs
// and folder chooser, and a launcher that only records.
class WindowFixture
{
public:
    // Starts afresh: new folders, empty scripts. With listScans the folder scans is stored
    // as the source folder, so that the window lists it.
    bool reset(bool listScans = false);
    std::unique_ptr<Tessary> start();

    // A path below the temporary root.
    QString dir(const QString& name) const
    {
        return QDir::toNativeSeparators(QDir(root->path()).filePath(name));
    }
    // Makes the folder name below the root and returns its path.
    QString folder(const QString& name) const { return QDir(root->path()).mkpath(name), dir(name); }
    // A path in the folder scans below the root.
    QString scan(const QString& name) const { return dir(QStringLiteral("scans/") + name); }

    // Writes a TIFF file of pages grey pages.
    static bool writeTiff(const QString& path, int pages);
    static bool writeBytes(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    static QByteArray bytesOf(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Clicks the entry name of the window's file list as the user does, once the list has
    // caught up with its folder; false when the list has no such entry.
    static bool pick(Tessary& window, const QString& name);
    // Opens path as destination with the Open button.
    void openDestination(Tessary& window, const QString& path)
    {
        dialogs->choosePath(path);
        window.cmdOpenDes->click();
    }

    // The names the window's file list shows, in order.
    static QStringList listed(const Tessary& window)
    {
        QStringList names;
        for (int i = 0; i < window.TiffFileList->count(); ++i)
            names.append(window.TiffFileList->entry(i));
        return names;
    }
    // What a pane shows: its file, its caption and its page box.
    static QStringList pane(const Tessary& w, bool source)
    {
        return source
                   ? QStringList{w.imgSrc->image(), w.lblSource->text(), w.txtPageSrc->text()}
                   : QStringList{w.imgDes->image(), w.lblDestination->text(), w.txtPageDes->text()};
    }
    // The page mode checked, 1 to 4; 0 for none.
    static int pageMode(const Tessary& window)
    {
        int index = 4;
        while (index > 0 && !window.optMode(index)->isChecked())
            --index;
        return index;
    }
    // The transfer mode checked in the Edit menu: "Copy", "Move", "" or "CopyMove".
    static QString transferMode(const Tessary& window)
    {
        return QString(window.mnuCopy->isChecked() ? "Copy" : "") +
               (window.mnuMove->isChecked() ? "Move" : "");
    }
    // The stored source and destination folders, transfer mode and prompting, in order.
    QStringList stored() const
    {
        return {settings->read(SettingsStore::SrcDir), settings->read(SettingsStore::DesDir),
                settings->read(SettingsStore::DefaultMode),
                settings->read(SettingsStore::PromptActions)};
    }
    // Every message box shown so far, as box() spells it.
    QStringList shown() const
    {
        QStringList described;
        for (const ScriptedMessageBoxService::Box& b : boxes->boxes())
            described.append(box(b.caption, b.text, b.buttons, b.icon));
        return described;
    }
    static QString box(const QString& caption, const QString& text,
                       MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None)
    {
        return caption + QStringLiteral(" [%1/%2]: ").arg(int(buttons)).arg(int(icon)) + text;
    }
    // The warning before the transfer mode becomes Move, as box() spells it.
    static QString moveWarning()
    {
        return box("Move Page(s) Mode",
                   "If you enable this option pages will be deleted from the source file, \r\n"
                   "are you sure you want to enable this option?",
                   MsgButtons::YesNo, MsgIcon::Exclamation);
    }
    // Moves the mouse over widget at point, as the platform reports it.
    static void hover(QWidget* widget, QPointF point)
    {
        QMouseEvent move(QEvent::MouseMove, point, widget->mapToGlobal(point), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &move);
    }

    std::optional<QTemporaryDir> root;
    std::optional<ProgramFolder> programFolder;
    std::optional<SettingsStore> settings;
    std::optional<ScriptedMessageBoxService> boxes;
    std::optional<ScriptedFileDialogService> dialogs;
    std::optional<ScriptedFolderChooser> folders;
    std::optional<RecordingLauncher> launcher;
    std::optional<FixedScreenSize> screen;
    std::optional<FakeHelpPlatform> help;
    std::optional<SynchronousProgressService> progress;
    // When set, the window runs its page operations through the real progress dialog
    // instead of progress.
    std::optional<QtProgressService> threadedProgress;
};

// A data table written as an array of tuples: one row per entry, named by its first
// element. The test function reads its entry with rowOf(the same array).
template <typename Row, std::size_t N>
void addRows(const Row (&rows)[N])
{
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < N; ++i)
        QTest::newRow(std::get<0>(rows[i])) << int(i);
}

template <typename Row, std::size_t N>
const Row& rowOf(const Row (&rows)[N])
{
    QFETCH(int, row);
    return rows[row];
}

} // namespace tessary::testing

// Defines runClass(argc, argv), which runs the test class Class; main() runs them all.
#define TESSARY_WINDOW_TEST(Class)                                                                 \
    int run##Class(int argc, char** argv)                                                          \
    {                                                                                              \
        Class test;                                                                                \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
