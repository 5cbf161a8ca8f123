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

    tessary::Tessary window(
        {messageBoxes, fileDialogs, folders, launcher, screen, programFolder, settings});
    window.show();
    return QApplication::exec();
}
