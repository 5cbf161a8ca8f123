#ifdef Q_OS_WIN
#include "WindowsHelpPlatform.h"
#else
#include "PortableHelpPlatform.h"
#endif
#include "PrimaryScreenSize.h"
#include "ProcessLauncher.h"
#include "ProgramFolder.h"
#include "QtFileDialogService.h"
#include "QtFolderChooser.h"
#include "QtMessageBoxService.h"
#include "SettingsStore.h"
#include "Tessary.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessary"));
    QApplication::setApplicationVersion(QStringLiteral(TESSARY_VERSION));

    tessary::QtMessageBoxService messageBoxes;
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

    tessary::Tessary window(
        {messageBoxes, fileDialogs, folders, launcher, screen, programFolder, settings, help});
    window.show();
    return QApplication::exec();
}
