// The two panes and the modes: the file list, picking a source in it, browsing for its
// folder, opening and closing the destination, the same-file guard, the stored folders, the
// page modes, the transfer mode items, and opening a pane in the image viewer.

#include "HiddenFiles.h"
#include "ImagingAdmin.h"
#include "WindowFixture.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace tessary;
using namespace tessary::mdlFunctions;
using namespace tessary::testing;

namespace {

const QStringList noDestination = {"", "Destination Image", ""};

// Gives the file at path a second name; false where this is not done.
bool hardLink(const QString& path, const QString& name)
{
#ifdef Q_OS_UNIX
    return ::link(QFile::encodeName(path), QFile::encodeName(name)) == 0;
#else
    return false;
#endif
}

// The file picked, its pages (-1: not a TIFF file), by the keyboard or a click.
const std::tuple<const char*, QString, int, bool> picks[] = {
    {"five pages", "five.tif", 5, false},
    {"one page, no singular", "one.tif", 1, false},
    {"a name with blanks", "letter 2024.TIF", 2, false},
    {"text with a .tif name", "notes.tif", -1, false},
    {"by the keyboard", "x.tif", 3, true},
};

// The pane loaded second (true: source); the source picked in the list, the destination
// chosen below the scans folder; whether the second is refused.
const std::tuple<const char*, bool, QString, QString, bool> spellings[] = {
    {"source, the same name", true, "x.tif", "x.tif", true},
    {"source, a symbolic link", true, "link.tif", "x.tif", true},
    {"source, a hard link", true, "hard.tif", "x.tif", true},
    {"source, a path through ..", true, "x.tif", "../scans/x.tif", true},
    {"source, another letter case on a disk that keeps case", true, "X.tif", "x.tif", false},
    {"source, the same name in another folder", true, "x.tif", "../elsewhere/x.tif", false},
    {"destination, the same name", false, "x.tif", "x.tif", true},
    {"destination, a symbolic link", false, "link.tif", "x.tif", true},
    {"destination, a hard link", false, "hard.tif", "x.tif", true},
    {"destination, a path through ..", false, "x.tif", "../scans/x.tif", true},
    {"destination, another letter case", false, "X.tif", "x.tif", false},
    {"destination, the same name in another folder", false, "x.tif", "../elsewhere/x.tif", false},
};

// The stored source and destination folder, below the root; whether it is used.
const std::tuple<const char*, QString, bool> storedFolders[] = {
    {"existing folder", "out", true},
    {"a file, not a folder", "scans/x.tif", false},
    {"nothing stored", "", false},
};

// Whether the stored source folder is still there, and whether browsing is cancelled.
const std::tuple<const char*, bool, bool> browsings[] = {
    {"stored folder, a folder chosen", true, false},
    {"stored folder gone, a folder chosen", false, false},
    {"cancelled", true, true},
};

// The mode clicked, with a destination open or not; the answer to the Open dialog
// ("cancel", "target", "source", or "" for no dialog); the mode and destination after.
const std::tuple<const char*, int, bool, QString, int, QString> pageModes[] = {
    {"Append, none open, cancelled", 1, false, "cancel", 1, ""},
    {"Replace, none open, cancelled", 3, false, "cancel", 3, ""},
    {"Insert, none open, a file chosen", 2, false, "target", 2, "target.tif"},
    {"Append, none open, the source chosen", 1, false, "source", 4, ""},
    {"Replace, none open, the source chosen", 3, false, "source", 4, ""},
    {"New File, none open", 4, false, "", 4, ""},
    {"Append, one open", 1, true, "", 1, "x.tif"},
    {"Replace, one open", 3, true, "", 3, "x.tif"},
    {"New File, one open", 4, true, "", 4, "x.tif"},
};

// The item chosen (Move or Copy), Move before, the answer to the warning (0: no box), the
// transfer mode after.
const std::tuple<const char*, bool, bool, int, QString> transferItems[] = {
    {"Move from Copy, Yes", true, false, MsgYes, "Move"},
    {"Move again, No switches to Copy", true, true, MsgNo, "Copy"},
    {"Move, a box closed without Yes", true, false, MsgCancel, "Copy"},
    {"Copy while Copy", false, false, 0, "Copy"},
    {"Copy while Move", false, true, 0, "Copy"},
};

// The pane (true: source), its file ("" for none) at page, and whether starting fails.
const std::tuple<const char*, bool, QString, int, bool> viewerOpenings[] = {
    {"source at page 3", true, "source.tif", 3, false},
    {"destination at page 2", false, "target.tif", 2, false},
    {"a name a shell would split", true, "it's a $(scan); `x` & y.tif", 1, false},
    {"empty source", true, "", 0, false},
    {"empty destination", false, "", 0, false},
    {"the viewer cannot be started", true, "source.tif", 1, true},
};

} // namespace

class PanesTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(f.reset(true));
        for (const char* name : {"x.tif", "source.tif", "target.tif"})
            QVERIFY(f.writeTiff(f.scan(name), 3));
    }

    void pickingAFileShowsItAtPageOne_data() { addRows(picks); }

    void pickingAFileShowsItAtPageOne()
    {
        const auto& [row, name, pages, keyboard] = rowOf(picks);
        const QString path = f.scan(name);
        QVERIFY(pages < 0 ? f.writeBytes(path, "not a picture\n") : f.writeTiff(path, pages));
        const auto window = f.start();
        if (keyboard) {
            // A selection made by the program loads nothing; Down picks the next entry.
            FileListBox& list = *window->TiffFileList;
            list.setCurrentRow(list.row(list.findItems(name, Qt::MatchExactly).first()) - 1);
            QCOMPARE(window->imgSrc->image(), QString());
            list.setFocus();
            QTest::keyClick(&list, Qt::Key_Down);
        } else {
            QVERIFY(f.pick(*window, name));
        }
        // A file that is not a TIFF file is no message: the view says why it shows nothing.
        QVERIFY(f.boxes->boxes().isEmpty());
        QCOMPARE(
            f.pane(*window, true) + f.pane(*window, false),
            QStringList({path, QString("Source Image - %1 Page(s)   ").arg(qMax(pages, 0)) + name,
                         pages > 0 ? "1" : "0"}) +
                noDestination);
        QCOMPARE(window->imgSrc->notice().isEmpty(), pages > 0);
    }

    void theListShowsVisibleTifFilesInOrderAndFollowsItsFolder()
    {
        f.folder("scans/folder.tif");
        QVERIFY(QFile::remove(f.scan("source.tif")) && QFile::remove(f.scan("target.tif")));
        for (const char* name : {"b.tif", "A.TIF", "c.Tif", "a2.tif", "d.tiff", "e.txt", "tif",
                                 ".dot.tif", "hidden.tif", "x.tif.bak"})
            QVERIFY(f.writeBytes(f.scan(name), {}));
        QVERIFY(HiddenFiles::hide(f.scan("hidden.tif")));
        const auto window = f.start();
        QCOMPARE(window->TiffFileList->toolTip(), QString());
        QCOMPARE(f.listed(*window), (QStringList{"A.TIF", "a2.tif", "b.tif", "c.Tif", "x.tif"}));
        QVERIFY(f.pick(*window, "x.tif"));
        const QStringList sourcePane = f.pane(*window, true);

        QVERIFY(f.writeBytes(f.scan("0-new.tif"), {}));
        const QStringList listed = {"0-new.tif", "A.TIF", "a2.tif", "b.tif", "c.Tif", "x.tif"};
        QTRY_COMPARE(f.listed(*window), listed);
        QCOMPARE(window->TiffFileList->currentItem()->text(), "x.tif");
        QVERIFY(window->TiffFileList->currentItem()->isSelected());
        QVERIFY(QFile::rename(f.scan("b.tif"), f.scan("y.tif")));
        QTRY_COMPARE(f.listed(*window),
                     listed.mid(0, 3) + QStringList({"c.Tif", "x.tif", "y.tif"}));
        QCOMPARE(window->TiffFileList->currentItem()->text(), "x.tif");
        QVERIFY(QFile::remove(f.scan("x.tif")));
        QTRY_COMPARE(f.listed(*window), listed.mid(0, 3) + QStringList({"c.Tif", "y.tif"}));
        QVERIFY(window->TiffFileList->selectedItems().isEmpty());
        // Following the folder picks nothing: the source pane keeps what it shows.
        QCOMPARE(f.pane(*window, true), sourcePane);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void theSameFileIsRefusedInEitherPane_data() { addRows(spellings); }

    void theSameFileIsRefusedInEitherPane()
    {
        const auto& [what, source, listName, chosen, refused] = rowOf(spellings);
        const QString x = f.scan("x.tif");
        const QString listed = f.scan(listName);
        const QString destination = f.scan(chosen);
        QVERIFY(QFile::link(x, f.scan("link.tif")));
        if (!hardLink(x, f.scan("hard.tif")) && listName == "hard.tif")
            QSKIP("hard links are made here on Unix only");
        QVERIFY(f.writeTiff(f.folder("elsewhere") + "/x.tif", 4));
        QVERIFY(listName != "X.tif" || f.writeTiff(listed, 1));
        if (listName == "X.tif" && f.bytesOf(x) == f.bytesOf(listed))
            QSKIP("this disk ignores letter case");
        const auto window = f.start();

        // The pane loaded first, with a page mode chosen meanwhile, is untouched either way.
        const auto load = [&](bool sourcePane) {
            if (sourcePane)
                QVERIFY(f.pick(*window, listName));
            else
                f.openDestination(*window, destination);
        };
        load(!source);
        window->optMode(source ? ModeAppend : ModeReplace)->setChecked(true);
        const QStringList first = f.pane(*window, !source);
        QCOMPARE(first.first() + first.last(), (source ? destination : listed) + "1");
        load(source);
        QCOMPARE(f.pane(*window, !source), first);
        const QStringList second = f.pane(*window, source);
        if (refused)
            QCOMPARE(second, (QStringList{"", source ? "Source Image" : "Destination Image", ""}));
        else
            QCOMPARE(second.first() + second.last(), (source ? listed : destination) + "1");
        QCOMPARE(f.shown(), refused ? QStringList{f.box("Tessary", "You cannot open the same image "
                                                                   "file as the source and "
                                                                   "destination")}
                                    : QStringList());
        // Emptying the destination selects New File.
        QCOMPARE(f.pageMode(*window), source ? ModeAppend : refused ? ModeNewFile : ModeReplace);
    }

    void storedFoldersAreUsedOnlyWhenTheyExist_data() { addRows(storedFolders); }

    void storedFoldersAreUsedOnlyWhenTheyExist()
    {
        const auto& [name, stored, used] = rowOf(storedFolders);
        f.folder("out");
        const QString value = stored.isEmpty() ? QString() : f.dir(stored);
        f.settings->write(SettingsStore::SrcDir, value);
        f.settings->write(SettingsStore::DesDir, value);
        const auto window = f.start();
        const QString folder = used ? value : f.programFolder->path();
        QCOMPARE(window->TiffFileList->path(), folder);
        f.openDestination(*window, f.scan("x.tif"));

        QCOMPARE(f.dialogs->requests().size(), 1);
        const FileDialogService::Request& request = f.dialogs->requests().first();
        QCOMPARE(request.mode, FileDialogService::Mode::Open);
        QCOMPARE(QStringList({request.folder}) + request.nameFilters,
                 (QStringList{folder, "TIFF Image (*.tif)"}));
        // The stored folders are left as they were, even when they are not used.
        QCOMPARE(f.stored().mid(0, 2), (QStringList{value, value}));
        QCOMPARE(f.pane(*window, false),
                 (QStringList{f.scan("x.tif"), "Destination Image - 3 Page(s)   x.tif", "1"}));
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void aCancelledOpeningChangesNothing()
    {
        for (const bool destinationOpen : {false, true}) {
            const auto window = f.start();
            if (destinationOpen)
                f.openDestination(*window, f.scan("target.tif"));
            const QStringList before = f.pane(*window, false);
            window->flags.DestinationOpened = false;
            window->flags.SameFileRefused = true;
            // A name left in the shared slot by an earlier operation.
            window->imgAdmSrc->setFileName(f.scan("source.tif"));
            f.dialogs->cancel();

            window->cmdOpenDes->click();
            QCOMPARE(f.pane(*window, false), before);
            QCOMPARE(window->imgAdmSrc->fileName(), f.scan("source.tif"));
            QVERIFY(!window->flags.DestinationOpened && window->flags.SameFileRefused);
        }
        QCOMPARE(f.dialogs->requests().size(), 3);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void closingTheDestinationKeepsTheModeAndTheFlags()
    {
        const auto window = f.start();
        f.openDestination(*window, f.scan("x.tif"));
        window->optMode(ModeInsert)->setChecked(true);
        window->flags.SameFileRefused = true;

        window->cmdCloseDes->click();
        QCOMPARE(f.pane(*window, false), noDestination);
        QCOMPARE(window->imgDes->notice(), QString());
        QCOMPARE(f.pageMode(*window), ModeInsert);
        QVERIFY(window->flags.SameFileRefused && window->flags.DestinationOpened);
        QVERIFY(QFile::exists(f.scan("x.tif")) && f.boxes->boxes().isEmpty());
    }

    void browsingForTheSourceFolderChangesOnlyTheList_data() { addRows(browsings); }

    void browsingForTheSourceFolderChangesOnlyTheList()
    {
        const auto& [name, storedExists, cancel] = rowOf(browsings);
        const QString scans = f.dir("scans");
        const QString chosen = f.folder("chosen");
        QVERIFY(f.writeTiff(chosen + "/new.tif", 1));
        const auto window = f.start();
        QVERIFY(f.pick(*window, "x.tif"));
        const QStringList sourcePane = f.pane(*window, true);
        if (!storedExists)
            QVERIFY(QDir(scans).removeRecursively());
        cancel ? f.folders->cancel() : f.folders->choose(chosen);

        window->cmdBrowseSrc->click();
        QCOMPARE(f.folders->requests().size(), 1);
        const ScriptedFolderChooser::Request& request = f.folders->requests().first();
        QCOMPARE(request.owner, window.get());
        QCOMPARE((QStringList{request.start, request.title}),
                 (QStringList{storedExists ? scans : f.programFolder->path(),
                              "Select a folder or shared resource."}));
        if (!cancel)
            QCOMPARE(f.listed(*window), QStringList{"new.tif"});
        // The stored folder and the source pane stay as they were.
        QCOMPARE(f.stored().first(), scans);
        QCOMPARE(f.pane(*window, true), sourcePane);
        QVERIFY(f.boxes->boxes().isEmpty());
        // Hovering over the list shows the folder it lists.
        f.hover(window->TiffFileList->viewport(), QPointF(5, 5));
        QCOMPARE(window->TiffFileList->toolTip(), cancel ? scans : chosen);
    }

    void pageModesAskForADestinationOnlyWhenOneIsNeeded_data() { addRows(pageModes); }

    void pageModesAskForADestinationOnlyWhenOneIsNeeded()
    {
        const auto& [name, index, destinationOpen, answer, modeAfter, destinationAfter] =
            rowOf(pageModes);
        const auto window = f.start();
        QVERIFY(f.pick(*window, "source.tif"));
        if (destinationOpen)
            f.openDestination(*window, f.scan("x.tif"));
        const qsizetype dialogsBefore = f.dialogs->requests().size();
        if (answer == "cancel")
            f.dialogs->cancel();
        else if (!answer.isEmpty())
            f.dialogs->choosePath(f.scan(answer + ".tif"));

        window->optMode(index)->click();
        QCOMPARE(f.dialogs->requests().size() - dialogsBefore, answer.isEmpty() ? 0 : 1);
        QCOMPARE(f.dialogs->unexpected(), 0);
        QCOMPARE(f.pageMode(*window), modeAfter);
        QCOMPARE(window->imgDes->image(),
                 destinationAfter.isEmpty() ? QString() : f.scan(destinationAfter));
        QCOMPARE(window->flags.SameFileRefused, answer == "source");
        QCOMPARE(f.boxes->boxes().size(), answer == "source" ? 1 : 0);
        QCOMPARE(window->imgSrc->image(), f.scan("source.tif"));
    }

    void theTransferModeItems_data() { addRows(transferItems); }

    void theTransferModeItems()
    {
        const auto& [name, move, moveBefore, answer, after] = rowOf(transferItems);
        const QString stored = moveBefore ? "Move" : "Copy";
        f.settings->write(SettingsStore::DefaultMode, stored);
        const auto window = f.start();
        QCOMPARE(f.transferMode(*window), stored);
        if (answer != 0)
            f.boxes->answer(answer);

        (move ? window->mnuMove : window->mnuCopy)->trigger();
        QCOMPARE(f.transferMode(*window), after);
        QCOMPARE(f.shown(), answer == 0 ? QStringList() : QStringList{f.moveWarning()});
        QCOMPARE(f.boxes->unexpected(), 0);
        // The menu changes the mode of this run only.
        QCOMPARE(f.stored()[2], stored);
    }

    void aPaneOpensInTheImageViewer_data() { addRows(viewerOpenings); }

    void aPaneOpensInTheImageViewer()
    {
        const auto& [row, source, name, page, startFails] = rowOf(viewerOpenings);
        const QString path = name.isEmpty() ? QString() : f.scan(name);
        QVERIFY(name.isEmpty() || f.writeTiff(path, 3));
        if (startFails)
            f.launcher->failStarts();
        const auto window = f.start();
        ImagingEdit& viewer = source ? *window->imgSrc : *window->imgDes;
        if (!name.isEmpty()) {
            if (source)
                QVERIFY(f.pick(*window, name));
            else
                f.openDestination(*window, path);
            viewer.setPage(page);
            viewer.display();
        }

        (source ? window->mnuOpenSrc : window->mnuOpenDes)->trigger();
        QCOMPARE(f.launcher->starts().size(), name.isEmpty() ? 0 : 1);
        if (name.isEmpty()) {
            QVERIFY(f.boxes->boxes().isEmpty());
            return;
        }
        // The viewer beside the program, the file name as one argument, then the page; the
        // pane is not touched.
        const QString program = f.launcher->starts().first().program;
        QCOMPARE(QFileInfo(program).dir().path(), QDir(f.programFolder->path()).path());
        QVERIFY(QFileInfo(program).fileName().startsWith("tessary-view"));
        QCOMPARE(f.launcher->starts().first().arguments,
                 (QStringList{path, QString::number(page)}));
        QCOMPARE(viewer.image() + QString::number(viewer.page()), path + QString::number(page));
        const QString notStarted = path + " cannot be shown in the image viewer: the viewer " +
                                   program + " could not be started.";
        QCOMPARE(f.shown(), startFails ? QStringList{f.box("Tessary", notStarted, MsgButtons::Ok,
                                                           MsgIcon::Exclamation)}
                                       : QStringList());
    }

private:
    WindowFixture f;
};

TESSARY_WINDOW_TEST(PanesTest)

#include "PanesTest.moc"
