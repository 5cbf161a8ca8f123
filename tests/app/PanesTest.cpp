#include "FileListBox.h"
#include "ImagingAdminControl.h"
#include "ImagingEdit.h"
#include "ImagingError.h"
#include "Tessary.h"
#include "WindowFixture.h"
#include "mdlFunctions.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace tessary;
using namespace tessary::mdlFunctions;
using tessary::testing::WindowFixture;

namespace {

const QString sameFileText =
    QStringLiteral("You cannot open the same image file as the source and destination");

QStringList entries(const FileListBox& list)
{
    QStringList names;
    for (int i = 0; i < list.count(); ++i)
        names.append(list.entry(i));
    return names;
}

// An administration control whose chosen steps fail as a component may fail.
class FaultyAdmin : public ImagingAdminControl
{
public:
    using ImagingAdminControl::ImagingAdminControl;

    bool settersFail = false;
    bool dialogFails = false;

    void setFilter(const QString& filter) override
    {
        failIf(settersFail);
        ImagingAdminControl::setFilter(filter);
    }
    void setFlags(std::int32_t flags) override
    {
        failIf(settersFail);
        ImagingAdminControl::setFlags(flags);
    }
    void setInitialFolder(const QString& folder) override
    {
        failIf(settersFail);
        ImagingAdminControl::setInitialFolder(folder);
    }
    void showFileDialog(std::int16_t option, QWidget* owner) override
    {
        failIf(dialogFails);
        ImagingAdminControl::showFileDialog(option, owner);
    }

private:
    static void failIf(bool fail)
    {
        if (fail)
            throw ImagingError(ImagingError::InvalidArgument, QStringLiteral("refused"));
    }
};

} // namespace

class PanesTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(f.reset());
        m_scans = f.folder(QStringLiteral("scans"));
        QVERIFY(WindowFixture::writeTiff(scan(QStringLiteral("x.tif")), 3));
        QVERIFY(WindowFixture::writeTiff(scan(QStringLiteral("other.tif")), 2));
        f.settings->write(SettingsStore::SrcDir, m_scans);
    }

    void pickingAFileShowsItAtPageOne_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("pages"); // -1: not a TIFF file
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("pageBox");
        QTest::newRow("five pages") << "five.tif" << 5 << "Source Image - 5 Page(s)   five.tif"
                                    << "1";
        QTest::newRow("one page, no singular")
            << "one.tif" << 1 << "Source Image - 1 Page(s)   one.tif"
            << "1";
        QTest::newRow("a name with blanks")
            << "letter 2024.TIF" << 2 << "Source Image - 2 Page(s)   letter 2024.TIF"
            << "1";
        QTest::newRow("text with a .tif name")
            << "notes.tif" << -1 << "Source Image - 0 Page(s)   notes.tif"
            << "0";
    }

    void pickingAFileShowsItAtPageOne()
    {
        QFETCH(QString, name);
        QFETCH(int, pages);
        QFETCH(QString, caption);
        QFETCH(QString, pageBox);
        const QString path = scan(name);
        QVERIFY(pages < 0 ? WindowFixture::writeBytes(path, "not a picture\n")
                          : WindowFixture::writeTiff(path, pages));
        const auto window = f.start();
        QTRY_VERIFY(entries(*window->TiffFileList).contains(name));
        QVERIFY(WindowFixture::pick(*window, name));

        // A file that is not a TIFF file is no message: the view says why it shows nothing.
        QVERIFY(f.boxes->boxes().isEmpty());
        QCOMPARE(window->imgSrc->image(), m_scans + QDir::separator() + name);
        QCOMPARE(window->lblSource->text(), caption);
        QCOMPARE(window->txtPageSrc->text(), pageBox);
        QCOMPARE(window->imgSrc->notice().isEmpty(), pages > 0);
        QCOMPARE(window->imgDes->image(), QString());
        QCOMPARE(window->lblDestination->text(), QStringLiteral("Destination Image"));
    }

    void theSameFileIsRefusedInEitherPane_data()
    {
        QTest::addColumn<QString>("direction"); // the pane loaded second
        QTest::addColumn<QString>("listName");  // the source, picked in the list
        QTest::addColumn<QString>("chosen");    // the destination, below the scans folder
        QTest::addColumn<bool>("refused");
        const QList<std::tuple<const char*, QString, QString, bool>> spellings = {
            {"the same name", "x.tif", "x.tif", true},
            {"a symbolic link", "link.tif", "x.tif", true},
            {"a hard link", "hard.tif", "x.tif", true},
            {"a path through ..", "x.tif", "../scans/x.tif", true},
            {"another letter case on a disk that keeps case", "X.tif", "x.tif", false},
            {"the same name in another folder", "x.tif", "../elsewhere/x.tif", false},
        };
        for (const char* direction : {"source", "destination"})
            for (const auto& [what, listName, chosen, refused] : spellings)
                QTest::addRow("%s, %s", direction, what)
                    << QString::fromLatin1(direction) << listName << chosen << refused;
    }

    void theSameFileIsRefusedInEitherPane()
    {
        QFETCH(QString, direction);
        QFETCH(QString, listName);
        QFETCH(QString, chosen);
        QFETCH(bool, refused);
        QVERIFY(QFile::link(scan(QStringLiteral("x.tif")), scan(QStringLiteral("link.tif"))));
#ifdef Q_OS_UNIX
        QVERIFY(::link(QFile::encodeName(scan(QStringLiteral("x.tif"))).constData(),
                       QFile::encodeName(scan(QStringLiteral("hard.tif"))).constData()) == 0);
#else
        if (listName == QLatin1String("hard.tif"))
            QSKIP("hard links are made here on Unix only");
#endif
        QVERIFY(WindowFixture::writeTiff(
            f.folder(QStringLiteral("elsewhere")) + QStringLiteral("/x.tif"), 4));
        if (listName == QLatin1String("X.tif")) {
            QVERIFY(WindowFixture::writeTiff(scan(listName), 1));
            if (WindowFixture::bytesOf(scan(QStringLiteral("x.tif"))) ==
                WindowFixture::bytesOf(scan(listName)))
                QSKIP("this disk ignores letter case");
        }
        const QString destination = QDir::toNativeSeparators(m_scans + QLatin1Char('/') + chosen);
        const auto window = f.start();
        QTRY_VERIFY(entries(*window->TiffFileList).contains(listName));

        if (direction == QLatin1String("source")) {
            f.openDestination(*window, destination);
            window->optMode(ModeAppend)->click();
            const QString destinationCaption = window->lblDestination->text();
            QVERIFY(WindowFixture::pick(*window, listName));
            // The destination pane is untouched either way.
            QCOMPARE(window->imgDes->image(), destination);
            QCOMPARE(window->lblDestination->text(), destinationCaption);
            QCOMPARE(window->txtPageDes->text(), QStringLiteral("1"));
            QVERIFY(window->optMode(ModeAppend)->isChecked());
            if (refused) {
                QCOMPARE(window->imgSrc->image(), QString());
                QCOMPARE(window->lblSource->text(), QStringLiteral("Source Image"));
                QCOMPARE(window->txtPageSrc->text(), QString());
            } else {
                QCOMPARE(window->imgSrc->image(), scan(listName));
                QCOMPARE(window->txtPageSrc->text(), QStringLiteral("1"));
            }
        } else {
            QVERIFY(WindowFixture::pick(*window, listName));
            const QString sourceCaption = window->lblSource->text();
            // A mode chosen earlier, while another destination was open.
            window->optMode(ModeReplace)->setChecked(true);
            f.openDestination(*window, destination);
            QCOMPARE(window->imgSrc->image(), scan(listName));
            QCOMPARE(window->lblSource->text(), sourceCaption);
            QCOMPARE(window->txtPageSrc->text(), QStringLiteral("1"));
            QCOMPARE(window->flags.SameFileRefused, refused);
            QCOMPARE(window->flags.DestinationOpened, !refused);
            QCOMPARE(window->imgAdmSrc->fileName(), QString());
            if (refused) {
                QCOMPARE(window->imgDes->image(), QString());
                QCOMPARE(window->lblDestination->text(), QStringLiteral("Destination Image"));
                QCOMPARE(window->txtPageDes->text(), QString());
                QVERIFY(window->optMode(ModeNewFile)->isChecked());
            } else {
                QCOMPARE(window->imgDes->image(), destination);
                QVERIFY(window->optMode(ModeReplace)->isChecked());
            }
        }
        QCOMPARE(f.boxes->boxes().size(), refused ? 1 : 0);
        if (refused) {
            const ScriptedMessageBoxService::Box& box = f.boxes->boxes().first();
            QCOMPARE(box.text, sameFileText);
            QCOMPARE(box.caption, QStringLiteral("Tessary"));
            QCOMPARE(box.buttons, MsgButtons::Ok);
            QCOMPARE(box.icon, MsgIcon::None);
        }
    }

    void theDestinationDialogStartsInTheStoredFolderWhenItExists_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("used");
        QTest::newRow("existing folder") << "out" << true;
        QTest::newRow("deleted folder") << "gone" << false;
        QTest::newRow("a file, not a folder") << "scans/x.tif" << false;
        QTest::newRow("nothing stored") << "" << false;
    }

    void theDestinationDialogStartsInTheStoredFolderWhenItExists()
    {
        QFETCH(QString, stored);
        QFETCH(bool, used);
        f.folder(QStringLiteral("out"));
        const QString value = stored.isEmpty() ? QString() : f.dir(stored);
        if (!value.isEmpty())
            f.settings->write(SettingsStore::DesDir, value);
        const auto window = f.start();
        f.openDestination(*window, scan(QStringLiteral("x.tif")));

        QCOMPARE(f.dialogs->requests().size(), 1);
        const FileDialogService::Request& request = f.dialogs->requests().first();
        QCOMPARE(request.mode, FileDialogService::Mode::Open);
        QCOMPARE(request.folder, used ? value : f.programFolder->path());
        QCOMPARE(request.nameFilters, QStringList{QStringLiteral("TIFF Image (*.tif)")});
        QCOMPARE(window->imgAdmSrc->filter(), QStringLiteral("TIFF Image|*.tif|"));
        QCOMPARE(window->imgAdmSrc->flags(), 12);
        QCOMPARE(f.settings->read(SettingsStore::DesDir), value);

        QCOMPARE(window->imgDes->image(), scan(QStringLiteral("x.tif")));
        QCOMPARE(window->imgDes->page(), 1);
        QCOMPARE(window->lblDestination->text(),
                 QStringLiteral("Destination Image - 3 Page(s)   x.tif"));
        QCOMPARE(window->txtPageDes->text(), QStringLiteral("1"));
        QCOMPARE(window->imgAdmSrc->fileName(), QString());
        QVERIFY(window->flags.DestinationOpened);
        QVERIFY(!window->flags.SameFileRefused);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void aCancelledDestinationDialogChangesNothing_data()
    {
        QTest::addColumn<bool>("destinationOpen");
        QTest::newRow("no destination open") << false;
        QTest::newRow("a destination open") << true;
    }

    void aCancelledDestinationDialogChangesNothing()
    {
        QFETCH(bool, destinationOpen);
        const auto window = f.start();
        if (destinationOpen)
            f.openDestination(*window, scan(QStringLiteral("x.tif")));
        const QString image = window->imgDes->image();
        const QString caption = window->lblDestination->text();
        const QString pageBox = window->txtPageDes->text();
        window->flags.DestinationOpened = false;
        window->flags.SameFileRefused = true;
        window->imgAdmSrc->setFileName(scan(QStringLiteral("other.tif")));

        f.dialogs->cancel();
        window->cmdOpenDes->click();
        QCOMPARE(f.dialogs->requests().size(), destinationOpen ? 2 : 1);
        QCOMPARE(window->imgDes->image(), image);
        QCOMPARE(window->lblDestination->text(), caption);
        QCOMPARE(window->txtPageDes->text(), pageBox);
        QVERIFY(!window->flags.DestinationOpened);
        QVERIFY(window->flags.SameFileRefused);
        QCOMPARE(window->imgAdmSrc->fileName(), scan(QStringLiteral("other.tif")));
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void aFailingStepOfOpeningIsPassedOverOnce_data()
    {
        QTest::addColumn<bool>("settersFail");
        QTest::addColumn<bool>("dialogFails");
        QTest::addColumn<bool>("opened");
        QTest::newRow("the dialog's settings fail") << true << false << true;
        QTest::newRow("the dialog fails without a choice") << false << true << false;
    }

    void aFailingStepOfOpeningIsPassedOverOnce()
    {
        QFETCH(bool, settersFail);
        QFETCH(bool, dialogFails);
        QFETCH(bool, opened);
        const auto window = f.start();
        auto admin = std::make_unique<FaultyAdmin>(*f.dialogs);
        admin->settersFail = settersFail;
        admin->dialogFails = dialogFails;
        // A name left in the shared slot by an earlier operation.
        admin->setFileName(scan(QStringLiteral("other.tif")));
        window->imgAdmSrc = std::move(admin);
        f.dialogs->choosePath(scan(QStringLiteral("x.tif")));

        window->cmdOpenDes->click();
        QCOMPARE(f.dialogs->requests().size(), dialogFails ? 0 : 1);
        QCOMPARE(window->imgDes->image(), opened ? scan(QStringLiteral("x.tif")) : QString());
        QCOMPARE(window->flags.DestinationOpened, opened);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void closingTheDestination_data()
    {
        QTest::addColumn<bool>("destinationOpen");
        QTest::newRow("a destination open") << true;
        QTest::newRow("none open") << false;
    }

    void closingTheDestination()
    {
        QFETCH(bool, destinationOpen);
        const auto window = f.start();
        if (destinationOpen)
            f.openDestination(*window, scan(QStringLiteral("x.tif")));
        else
            window->txtPageDes->setText(QStringLiteral("7"));
        window->optMode(ModeInsert)->setChecked(true);
        window->flags.SameFileRefused = true;
        window->flags.DestinationOpened = true;

        window->cmdCloseDes->click();
        QCOMPARE(window->imgDes->image(), QString());
        QCOMPARE(window->lblDestination->text(), QStringLiteral("Destination Image"));
        QCOMPARE(window->txtPageDes->text(), destinationOpen ? QString() : QStringLiteral("7"));
        QCOMPARE(window->imgDes->notice(), QString());
        // The page mode and the flags stay.
        QVERIFY(window->optMode(ModeInsert)->isChecked());
        QVERIFY(window->flags.SameFileRefused);
        QVERIFY(window->flags.DestinationOpened);
        QCOMPARE(QFile::exists(scan(QStringLiteral("x.tif"))), true);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void fileNameFromPath_data()
    {
        const QString sep = QDir::separator();
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("a full path") << sep + "scans" + sep + "a.tif"
                                     << "a.tif";
        QTest::newRow("a name alone") << "a.tif"
                                      << "a.tif";
        QTest::newRow("a folder's path") << sep + "scans" + sep << "";
        QTest::newRow("two separators at a root") << sep + sep + "a.tif"
                                                  << "a.tif";
        QTest::newRow("empty") << ""
                               << "";
#ifndef Q_OS_WIN
        // A backslash is a letter of a name here.
        QTest::newRow("a backslash in a name") << "/scans/old\\a.tif"
                                               << "old\\a.tif";
#endif
    }

    void fileNameFromPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(FileNameFromPath(path), name);
    }

    void browsingForTheSourceFolderChangesOnlyTheList_data()
    {
        QTest::addColumn<bool>("storedExists");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("stored folder, a folder chosen") << true << false;
        QTest::newRow("stored folder gone, a folder chosen") << false << false;
        QTest::newRow("cancelled") << true << true;
    }

    void browsingForTheSourceFolderChangesOnlyTheList()
    {
        QFETCH(bool, storedExists);
        QFETCH(bool, cancel);
        const QString chosen = f.folder(QStringLiteral("chosen"));
        QVERIFY(WindowFixture::writeTiff(chosen + QStringLiteral("/new.tif"), 1));
        const auto window = f.start();
        QVERIFY(WindowFixture::pick(*window, QStringLiteral("x.tif")));
        const QString sourceCaption = window->lblSource->text();
        if (!storedExists)
            QVERIFY(QDir(m_scans).removeRecursively());
        if (cancel)
            f.folders->cancel();
        else
            f.folders->choose(chosen);

        window->cmdBrowseSrc->click();
        QCOMPARE(f.folders->requests().size(), 1);
        const ScriptedFolderChooser::Request& request = f.folders->requests().first();
        QCOMPARE(request.start, storedExists ? m_scans : f.programFolder->path());
        QCOMPARE(request.owner, window.get());
        QCOMPARE(request.title, QStringLiteral("Select a folder or shared resource."));
        QCOMPARE(window->TiffFileList->path(), cancel ? m_scans : chosen);
        if (!cancel)
            QCOMPARE(entries(*window->TiffFileList), QStringList{QStringLiteral("new.tif")});
        // The stored folder and the source pane stay as they were.
        QCOMPARE(f.settings->read(SettingsStore::SrcDir), m_scans);
        QCOMPARE(window->imgSrc->image(), scan(QStringLiteral("x.tif")));
        QCOMPARE(window->lblSource->text(), sourceCaption);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void hoveringOverTheListShowsItsFolder()
    {
        const auto window = f.start();
        QCOMPARE(window->TiffFileList->toolTip(), QString());
        QWidget* view = window->TiffFileList->viewport();
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), view->mapToGlobal(QPointF(5, 5)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &move);
        QCOMPARE(window->TiffFileList->toolTip(), m_scans);
    }

    void theListFollowsItsFolderAndKeepsTheSelection()
    {
        const auto window = f.start();
        QCOMPARE(entries(*window->TiffFileList), (QStringList{"other.tif", "x.tif"}));
        QVERIFY(WindowFixture::pick(*window, QStringLiteral("x.tif")));
        const QString sourceCaption = window->lblSource->text();

        QVERIFY(WindowFixture::writeTiff(scan(QStringLiteral("a.tif")), 1));
        QVERIFY(WindowFixture::writeBytes(scan(QStringLiteral("notes.txt")), "text"));
        QTRY_COMPARE(entries(*window->TiffFileList), (QStringList{"a.tif", "other.tif", "x.tif"}));
        QCOMPARE(window->TiffFileList->currentItem()->text(), QStringLiteral("x.tif"));
        QVERIFY(window->TiffFileList->currentItem()->isSelected());

        QVERIFY(QFile::rename(scan(QStringLiteral("other.tif")), scan(QStringLiteral("b.tif"))));
        QTRY_COMPARE(entries(*window->TiffFileList), (QStringList{"a.tif", "b.tif", "x.tif"}));
        QCOMPARE(window->TiffFileList->currentItem()->text(), QStringLiteral("x.tif"));

        QVERIFY(QFile::remove(scan(QStringLiteral("x.tif"))));
        QTRY_COMPARE(entries(*window->TiffFileList), (QStringList{"a.tif", "b.tif"}));
        QVERIFY(window->TiffFileList->selectedItems().isEmpty());
        // Following the folder picks nothing: the source pane keeps what it shows.
        QCOMPARE(window->imgSrc->image(), scan(QStringLiteral("x.tif")));
        QCOMPARE(window->lblSource->text(), sourceCaption);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void theKeyboardPicksAFileAsAClickDoes()
    {
        const auto window = f.start();
        FileListBox& list = *window->TiffFileList;
        // A selection made by the program loads nothing.
        list.setCurrentRow(0);
        QCOMPARE(window->imgSrc->image(), QString());
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(window->imgSrc->image(), scan(QStringLiteral("x.tif")));
        QCOMPARE(window->lblSource->text(), QStringLiteral("Source Image - 3 Page(s)   x.tif"));
        QCOMPARE(window->txtPageSrc->text(), QStringLiteral("1"));
    }

    void aFileThatIsNotATiffIsNeverChanged_data()
    {
        QTest::addColumn<QString>("role"); // the pane the text file is loaded into
        QTest::addColumn<QString>("operation");
        QTest::newRow("source, append") << "source"
                                        << "append";
        QTest::newRow("destination, insert") << "destination"
                                             << "insert";
        QTest::newRow("destination, delete") << "destination"
                                             << "delete";
    }

    void aFileThatIsNotATiffIsNeverChanged()
    {
        QFETCH(QString, role);
        QFETCH(QString, operation);
        const QByteArray text("II*\0 this is not a picture\n", 27);
        QVERIFY(WindowFixture::writeBytes(scan(QStringLiteral("notes.tif")), text));
        const QByteArray good = WindowFixture::bytesOf(scan(QStringLiteral("other.tif")));
        const auto window = f.start();
        const bool textIsSource = role == QLatin1String("source");
        QTRY_VERIFY(entries(*window->TiffFileList).contains(QStringLiteral("notes.tif")));
        QVERIFY(WindowFixture::pick(*window, textIsSource ? QStringLiteral("notes.tif")
                                                          : QStringLiteral("other.tif")));
        f.openDestination(*window, scan(textIsSource ? QStringLiteral("other.tif")
                                                     : QStringLiteral("notes.tif")));
        QVERIFY(f.boxes->boxes().isEmpty());
        QCOMPARE(textIsSource ? window->lblSource->text() : window->lblDestination->text(),
                 textIsSource ? QStringLiteral("Source Image - 0 Page(s)   notes.tif")
                              : QStringLiteral("Destination Image - 0 Page(s)   notes.tif"));

        // What the page operations will do: name the destination, change it from the source.
        ImagingAdmin& admin = *window->imgAdmSrc;
        admin.setFileName(window->imgDes->image());
        const QString source = window->imgSrc->image();
        bool refused = false;
        try {
            if (operation == QLatin1String("append"))
                admin.appendPages(source, 1, 1);
            else if (operation == QLatin1String("insert"))
                admin.insertPages(source, 1, 1, 1);
            else
                admin.deletePages(1, 1);
        } catch (const ImagingError& error) {
            refused = !error.message.isEmpty();
        }
        QVERIFY(refused);
        QCOMPARE(WindowFixture::bytesOf(scan(QStringLiteral("notes.tif"))), text);
        QCOMPARE(WindowFixture::bytesOf(scan(QStringLiteral("other.tif"))), good);
    }

private:
    QString scan(const QString& name) const
    {
        return QDir::toNativeSeparators(m_scans + QLatin1Char('/') + name);
    }

    WindowFixture f;
    QString m_scans;
};

int runPanesTests(int argc, char** argv)
{
    PanesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PanesTest.moc"
