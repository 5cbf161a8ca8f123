#ifdef Q_OS_WIN
#include "WindowsHelpPlatform.h"
#else
#include "PortableHelpPlatform.h"
#endif
#include "OperationHandlers.h"
#include "PrimaryScreenSize.h"
#include "ProcessLauncher.h"
#include "ProgramFolder.h"
#include "QtFileDialogService.h"
#include "QtFolderChooser.h"
#include "QtMessageBoxService.h"
#include "QtProgressService.h"
#include "SettingsStore.h"
#include "Tessary.h"
#include "UndoHistory.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessary"));
    QApplication::setApplicationVersion(QStringLiteral(TESSARY_VERSION));

    // Qt's own options (-platform, -style, ...) are taken out by QApplication already.
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Assembles and edits multi-page TIFF files page by page."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("SOURCE"),
        QStringLiteral("A TIFF file to open as the source; its folder is listed with it selected."),
        QStringLiteral("[SOURCE"));
    parser.addPositionalArgument(QStringLiteral("DESTINATION"),
                                 QStringLiteral("A TIFF file to open as the destination."),
                                 QStringLiteral("[DESTINATION]]"));
    parser.process(application);

    tessary::QtMessageBoxService messageBoxes;
    tessary::QtProgressService progress;
    tessary::QtFileDialogService fileDialogs;
    tessary::QtFolderChooser folders;
    tessary::ProcessLauncher launcher;
    tessary::PrimaryScreenSize screen;
    const tessary::ProgramFolder programFolder = tessary::ProgramFolder::ofExecutable();
    tessary::SettingsStore settings;
#ifdef Q_OS_WIN
    tessary::WindowsHelpPlatform help;
#else
    tessary::PortableHelpPlatform help(messageBoxes,
                                       tessary::PortableHelpPlatform::defaultRegistryFile());
#endif

    // The user's own undo history, kept across runs.
    tessary::UndoHistory history(tessary::UndoHistory::userFolder());

    tessary::Tessary window({messageBoxes, fileDialogs, folders, launcher, screen, programFolder,
                             settings, help, progress, tessary::operations::handlers(), &history});
    window.show();
    // Opened once the window is on the screen, so that a message stands over it.
    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty())
        QTimer::singleShot(0, &window, [&window, files] { window.openFiles(files); });
    return QApplication::exec();
}
