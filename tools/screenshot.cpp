// Shows the main window as a user first sees it, with a folder of scans in the file list,
// and saves what the screen shows of it as a PNG file.
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
#include "QtProgressService.h"
#include "SettingsStore.h"
#include "Tessary.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tessary-screenshot BLANK.TIF OUT.png\n");
        return 2;
    }
    const QString blank = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);

    QTemporaryDir work;
    const QDir root(work.path());
    root.mkpath(QStringLiteral("program"));
    root.mkpath(QStringLiteral("scans"));
    QFile::copy(blank, root.filePath(QStringLiteral("program/blank.tif")));
    for (const char* name :
         {"contract-2024-signed.tif", "delivery-note-0815.tif", "fax-from-archive.TIF",
          "invoice-2024-03.tif", "letter-tax-office.tif", "scan-0001.tif", "scan-0002.tif"})
        QFile::copy(blank, root.filePath(QStringLiteral("scans/") + QString::fromLatin1(name)));

    // The program's own services, as main() passes them: nothing asks a question while the
    // picture is taken, and the settings and program folder are temporary.
    tessary::QtMessageBoxService messageBoxes;
    tessary::QtFileDialogService fileDialogs;
    tessary::QtFolderChooser folders;
    tessary::ProcessLauncher launcher;
    tessary::PrimaryScreenSize screen;
    const tessary::ProgramFolder programFolder(root.filePath(QStringLiteral("program")));
    tessary::SettingsStore settings(root.filePath(QStringLiteral("settings")),
                                    [] { return QStringLiteral("Tessary"); });
    settings.write(tessary::SettingsStore::SrcDir, root.filePath(QStringLiteral("scans")));
#ifdef Q_OS_WIN
    tessary::WindowsHelpPlatform help;
#else
    tessary::PortableHelpPlatform help(messageBoxes, root.filePath(QStringLiteral("help.ini")));
#endif
    tessary::QtProgressService progress;

    tessary::Tessary window({messageBoxes, fileDialogs, folders, launcher, screen, programFolder,
                             settings, help, progress});
    window.show();

    int status = 1;
    QTimer::singleShot(1500, &window, [&] {
        QPixmap shot = window.screen()->grabWindow(window.winId());
        if (shot.isNull())
            shot = window.grab();
        status = shot.save(out, "PNG") ? 0 : 1;
        window.close();
    });
    QApplication::exec();
    return status;
}
