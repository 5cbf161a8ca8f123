#include "EventBoundary.h"
#include "FileListBox.h"
#include "ImagingEdit.h"
#include "ImagingError.h"
#include "Tessary.h"
#include "WindowFixture.h"
#include "mdlFunctions.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <new>
#include <stdexcept>

using namespace tessary;
using namespace tessary::mdlFunctions;
using tessary::testing::WindowFixture;

namespace {

const QString moveQuestion =
    QStringLiteral("If you enable this option pages will be deleted from the source file, \r\n"
                   "are you sure you want to enable this option?");

int checkedMode(const Tessary& window)
{
    int checked = 0;
    for (int index = 1; index <= 4; ++index)
        if (window.optMode(index)->isChecked())
            checked = checked == 0 ? index : -1;
    return checked;
}

} // namespace

class ModesTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(f.reset());
        m_scans = f.folder(QStringLiteral("scans"));
        for (const char* name : {"source.tif", "target.tif", "open.tif"})
            QVERIFY(WindowFixture::writeTiff(scan(QString::fromLatin1(name)), 3));
        f.settings->write(SettingsStore::SrcDir, m_scans);
    }

    void pageModesAskForADestinationOnlyWhenOneIsNeeded_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("destinationOpen");
        QTest::addColumn<QString>("answer"); // "cancel", "target", "source" or "" for no dialog
        QTest::addColumn<int>("modeAfter");
        QTest::addColumn<QString>("destinationAfter");
        QTest::newRow("Append, none open, cancelled") << 1 << false << "cancel" << 1 << "";
        QTest::newRow("Insert, none open, cancelled") << 2 << false << "cancel" << 2 << "";
        QTest::newRow("Replace, none open, cancelled") << 3 << false << "cancel" << 3 << "";
        QTest::newRow("Insert, none open, a file chosen")
            << 2 << false << "target" << 2 << "target.tif";
        QTest::newRow("Append, none open, the source chosen") << 1 << false << "source" << 4 << "";
        QTest::newRow("Insert, none open, the source chosen") << 2 << false << "source" << 4 << "";
        QTest::newRow("Replace, none open, the source chosen") << 3 << false << "source" << 4 << "";
        QTest::newRow("New File, none open") << 4 << false << "" << 4 << "";
        QTest::newRow("Append, one open") << 1 << true << "" << 1 << "open.tif";
        QTest::newRow("Replace, one open") << 3 << true << "" << 3 << "open.tif";
        QTest::newRow("New File, one open") << 4 << true << "" << 4 << "open.tif";
    }

    void pageModesAskForADestinationOnlyWhenOneIsNeeded()
    {
        QFETCH(int, index);
        QFETCH(bool, destinationOpen);
        QFETCH(QString, answer);
        QFETCH(int, modeAfter);
        QFETCH(QString, destinationAfter);
        const auto window = f.start();
        QVERIFY(WindowFixture::pick(*window, QStringLiteral("source.tif")));
        if (destinationOpen)
            f.openDestination(*window, scan(QStringLiteral("open.tif")));
        const qsizetype dialogsBefore = f.dialogs->requests().size();
        if (answer == QLatin1String("cancel"))
            f.dialogs->cancel();
        else if (!answer.isEmpty())
            f.dialogs->choosePath(scan(answer + QStringLiteral(".tif")));

        window->optMode(index)->click();
        QCOMPARE(f.dialogs->requests().size() - dialogsBefore, answer.isEmpty() ? 0 : 1);
        QCOMPARE(f.dialogs->unexpected(), 0);
        QCOMPARE(checkedMode(*window), modeAfter);
        QCOMPARE(window->imgDes->image(),
                 destinationAfter.isEmpty() ? QString() : scan(destinationAfter));
        QCOMPARE(window->flags.SameFileRefused, answer == QLatin1String("source"));
        QCOMPARE(f.boxes->boxes().size(), answer == QLatin1String("source") ? 1 : 0);
        QCOMPARE(window->imgSrc->image(), scan(QStringLiteral("source.tif")));
    }

    void theTransferModeItems_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("moveBefore");
        QTest::addColumn<int>("answer"); // 0: no box expected
        QTest::addColumn<bool>("moveAfter");
        QTest::newRow("Move from Copy, Yes") << "Move" << false << int(MsgYes) << true;
        QTest::newRow("Move from Copy, No") << "Move" << false << int(MsgNo) << false;
        QTest::newRow("Move again, Yes") << "Move" << true << int(MsgYes) << true;
        QTest::newRow("Move again, No switches to Copy") << "Move" << true << int(MsgNo) << false;
        QTest::newRow("Move, a box closed without Yes")
            << "Move" << false << int(MsgCancel) << false;
        QTest::newRow("Copy while Copy") << "Copy" << false << 0 << false;
        QTest::newRow("Copy while Move") << "Copy" << true << 0 << false;
    }

    void theTransferModeItems()
    {
        QFETCH(QString, item);
        QFETCH(bool, moveBefore);
        QFETCH(int, answer);
        QFETCH(bool, moveAfter);
        const QString stored = moveBefore ? QStringLiteral("Move") : QStringLiteral("Copy");
        f.settings->write(SettingsStore::DefaultMode, stored);
        const auto window = f.start();
        QCOMPARE(window->mnuMove->isChecked(), moveBefore);
        if (answer != 0)
            f.boxes->answer(answer);

        (item == QLatin1String("Move") ? window->mnuMove : window->mnuCopy)->trigger();
        QCOMPARE(window->mnuMove->isChecked(), moveAfter);
        QCOMPARE(window->mnuCopy->isChecked(), !moveAfter);
        QCOMPARE(f.boxes->boxes().size(), answer != 0 ? 1 : 0);
        QCOMPARE(f.boxes->unexpected(), 0);
        if (answer != 0) {
            const ScriptedMessageBoxService::Box& box = f.boxes->boxes().first();
            QCOMPARE(box.text, moveQuestion);
            QCOMPARE(box.caption, QStringLiteral("Move Page(s) Mode"));
            QCOMPARE(box.buttons, MsgButtons::YesNo);
            QCOMPARE(box.icon, MsgIcon::Exclamation);
        }
        // The menu changes the mode of this run only.
        QCOMPARE(f.settings->read(SettingsStore::DefaultMode), stored);
    }

    void aPaneOpensInTheImageViewer_data()
    {
        QTest::addColumn<QString>("pane");
        QTest::addColumn<QString>("name"); // "" for an empty pane
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("startFails");
        QTest::newRow("source at page 3") << "Src"
                                          << "source.tif" << 3 << false;
        QTest::newRow("destination at page 2") << "Des"
                                               << "target.tif" << 2 << false;
        QTest::newRow("a name a shell would split") << "Src"
                                                    << "it's a $(scan); `x` & y.tif" << 1 << false;
        QTest::newRow("empty source") << "Src"
                                      << "" << 0 << false;
        QTest::newRow("empty destination") << "Des"
                                           << "" << 0 << false;
        QTest::newRow("the viewer cannot be started") << "Src"
                                                      << "source.tif" << 1 << true;
    }

    void aPaneOpensInTheImageViewer()
    {
        QFETCH(QString, pane);
        QFETCH(QString, name);
        QFETCH(int, page);
        QFETCH(bool, startFails);
        if (!name.isEmpty())
            QVERIFY(WindowFixture::writeTiff(scan(name), 3));
        if (startFails)
            f.launcher->failStarts();
        const auto window = f.start();
        const bool source = pane == PaneSrc;
        ImagingEdit& viewer = source ? *window->imgSrc : *window->imgDes;
        if (!name.isEmpty()) {
            if (source) {
                QTRY_VERIFY(window->TiffFileList->findItems(name, Qt::MatchExactly).size() == 1);
                QVERIFY(WindowFixture::pick(*window, name));
            } else {
                f.openDestination(*window, scan(name));
            }
            viewer.setPage(page);
            viewer.display();
        }

        (source ? window->mnuOpenSrc : window->mnuOpenDes)->trigger();
        if (name.isEmpty()) {
            QVERIFY(f.launcher->starts().isEmpty());
            QVERIFY(f.boxes->boxes().isEmpty());
            return;
        }
        QCOMPARE(f.launcher->starts().size(), 1);
        const RecordingLauncher::Start& started = f.launcher->starts().first();
        // The viewer beside the program, the file name as one argument, then the page.
        QCOMPARE(started.program, ImagingApplicationPath(*window));
        QCOMPARE(QFileInfo(started.program).dir().path(), QDir(f.programFolder->path()).path());
        QVERIFY(QFileInfo(started.program).fileName().startsWith(QStringLiteral("tessary-view")));
        QCOMPARE(started.arguments, (QStringList{scan(name), QString::number(page)}));
        // The pane is not touched.
        QCOMPARE(viewer.image(), scan(name));
        QCOMPARE(viewer.page(), page);
        if (startFails) {
            QCOMPARE(f.boxes->boxes().size(), 1);
            const ScriptedMessageBoxService::Box& box = f.boxes->boxes().first();
            QVERIFY(box.text.contains(scan(name)));
            QVERIFY(box.text.contains(started.program));
            QCOMPARE(box.caption, QStringLiteral("Tessary"));
            QCOMPARE(box.buttons, MsgButtons::Ok);
        } else {
            QVERIFY(f.boxes->boxes().isEmpty());
        }
    }

    void failuresLeftToTheEventAreShownAndTheProgramGoesOn_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing fails") << 0 << "";
        QTest::newRow("a component's error") << 1 << "scan.tif is not a TIFF file";
        QTest::newRow("no memory") << 2 << "There is not enough memory to finish the action.";
        QTest::newRow("anything else")
            << 3 << "The action could not be finished: the disk went away";
    }

    void failuresLeftToTheEventAreShownAndTheProgramGoesOn()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        bool ran = false;
        EventBoundary::run(*f.boxes, nullptr, [&] {
            ran = true;
            switch (kind) {
            case 1:
                throw ImagingError(ImagingError::EngineFailure,
                                   QStringLiteral("scan.tif is not a TIFF file"));
            case 2:
                throw std::bad_alloc();
            case 3:
                throw std::runtime_error("the disk went away");
            default:
                break;
            }
        });
        QVERIFY(ran);
        QCOMPARE(f.boxes->texts(), text.isEmpty() ? QStringList() : QStringList{text});
        if (!text.isEmpty())
            QCOMPARE(f.boxes->boxes().first().caption, QStringLiteral("Tessary"));
    }

private:
    QString scan(const QString& name) const
    {
        return QDir::toNativeSeparators(m_scans + QLatin1Char('/') + name);
    }

    WindowFixture f;
    QString m_scans;
};

int runModesTests(int argc, char** argv)
{
    ModesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ModesTest.moc"
