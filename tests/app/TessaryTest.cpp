// The main window as it starts and ends: the working files, a low screen, its fixed size,
// the names of its controls, the About box and the failures an event leaves to the window.

#include "EventBoundary.h"
#include "HiddenFiles.h"
#include "ImagingError.h"
#include "WindowFixture.h"
#include "frmAbout.h"

#include <QAccessible>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSet>
#include <QTimer>
#include <QtTest>
#include <new>
#include <stdexcept>

using namespace tessary;
using namespace tessary::testing;

namespace {

#ifdef Q_OS_WIN
const QString displayTool = "C:\\Windows\\System32\\rundll32.exe";
const QStringList displayArguments = {"shell32.dll,Control_RunDLL", "desk.cpl,,3"};
#else
const QString displayTool = "/usr/bin/xfce4-display-settings";
const QStringList displayArguments;
#endif

const std::tuple<const char*, QSize, int, bool> screens[] = {
    {"640 by 480", {640, 480}, 1, true},
    {"799 by 599", {799, 599}, 1, true},
    {"800 by 600", {800, 600}, 1, false},
    {"1024 by 480", {1024, 480}, 1, false},
    {"640 by 768", {640, 768}, 1, false},
    {"no display tool", {640, 480}, 0, true},
    {"a display tool that fails to start", {640, 480}, 2, true},
};

// What a handler throws and the message shown.
const std::tuple<const char*, void (*)(), QString> failures[] = {
    {"a component's error",
     [] { throw ImagingError(ImagingError::EngineFailure, "scan.tif is not a TIFF file"); },
     "scan.tif is not a TIFF file"},
    {"no memory", [] { throw std::bad_alloc(); },
     "There is not enough memory to finish the action."},
    {"anything else", [] { throw std::runtime_error("the disk went away"); },
     "The action could not be finished: the disk went away"},
};

} // namespace

class TessaryTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(f.reset()); }

    void workingFilesAreTidiedAtStartAndExit()
    {
        const QString blank = f.programFolder->filePath("blank.tif");
        const QString temp = f.programFolder->filePath("temp.tif");
        QVERIFY(f.writeBytes(temp, {}));
        auto window = f.start();
        QVERIFY(!QFile::exists(temp) && QFile::exists(blank) && HiddenFiles::isHidden(blank));
        // The program folder is the source folder here: the hidden blank.tif is not listed.
        QVERIFY(!f.listed(*window).contains("blank.tif"));
        QVERIFY(mdlFunctions::CheckWorkingFiles(*window));

        // A temp.tif made during the run is gone after File > Exit.
        window->show();
        QVERIFY(f.writeBytes(temp, {}));
        window->mnuExit->trigger();
        QVERIFY(!window->isVisible() && !QFile::exists(temp) && HiddenFiles::isHidden(blank));

        // A missing blank.tif is told by the check, but not reported at start.
        QVERIFY(QFile::remove(blank) && !mdlFunctions::CheckWorkingFiles(*window));
        window = f.start();
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void aLowScreenIsReportedAndOpensTheDisplaySettings_data() { addRows(screens); }

    void aLowScreenIsReportedAndOpensTheDisplaySettings()
    {
        const auto& [name, screen, tool, reported] = rowOf(screens);
        if (tool != 0)
            f.launcher->install(QFileInfo(displayTool).fileName(), displayTool);
        if (tool == 2)
            f.launcher->failStarts();
        f.screen.emplace(screen);
        const auto window = f.start();

        QStringList expected;
        if (reported)
            expected << f.box("Tessary",
                              "The minimal screen resolution to use Tessary is 800 by 600");
        if (reported && tool == 2)
            expected << f.box("Tessary",
                              "The display settings could not be opened (" + displayTool + ").",
                              MsgButtons::Ok, MsgIcon::Exclamation);
        QCOMPARE(f.shown(), expected);
        QCOMPARE(f.launcher->starts().size(), reported && tool != 0 ? 1 : 0);
        if (reported && tool != 0)
            QCOMPARE(f.launcher->starts().first().program + ' ' +
                         f.launcher->starts().first().arguments.join(' '),
                     QString(displayTool + ' ' + displayArguments.join(' ')));
        // Start-up goes on as usual: Copy, prompting as the stored default says from this
        // first run on, New File, empty panes, the defaults stored.
        QCOMPARE(QStringList({f.transferMode(*window), QString::number(f.pageMode(*window)),
                              window->flags.PromptBeforeAction ? "prompts" : "silent"}) +
                     f.pane(*window, true) + f.pane(*window, false) + f.stored(),
                 (QStringList{"Copy", "4", "prompts", "", "Source Image", "", "",
                              "Destination Image", "", "", "", "Copy", "Yes"}));
    }

    void movingOverTheBackgroundRestoresAWindowChangedInBothDirections()
    {
        const auto window = f.start();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QSize designed = window->designedSize();
        // As a window manager may force it despite the fixed border.
        window->setMinimumSize(0, 0), window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        for (const QSize changed : {QSize(60, 0), QSize(60, 40)}) {
            window->resize(designed + changed);
            f.hover(window->centralWidget(),
                    window->cmdSwap->geometry().center()); // over a control
            QCOMPARE(window->size(), designed + changed);
            f.hover(window->centralWidget(), QPoint(1, 1));
            QCOMPARE(window->size(), changed.height() == 0 ? designed + changed : designed);
        }
    }

    // The menu bar as the user reads it: each menu's items, submenus in brackets.
    void theMenusHoldTheirItemsInOrder()
    {
        const auto window = f.start();
        const std::function<QString(const QList<QAction*>&)> items = [&](const auto& actions) {
            QStringList texts;
            for (const QAction* a : actions)
                texts << (a->isSeparator() ? QString("-")
                          : a->menu()      ? a->text() + " (" + items(a->menu()->actions()) + ")"
                                           : a->text());
            return texts.join(", ");
        };
        QCOMPARE(items(window->menuBar()->actions()),
                 "&File (Open (Source with Imaging, Destination with Imaging), Exit), "
                 "Edi&t (Mode (Copy, Move), Settings, -, Rotate Page (Right (90° clockwise), "
                 "Left (90° anticlockwise), 180°), Rotate Pages..., -, Undo, Redo), "
                 "&View (Page Strips), "
                 "Too&ls (Interleave Two-Sided Scan..., Split into Files..., Merge Files...), "
                 "&Help (Contents, About, Version)");
    }

    void everyControlHasADistinctAccessibleName()
    {
        const auto window = f.start();
        QSet<QString> names;
        for (QWidget* control : window->centralWidget()->findChildren<QWidget*>()) {
            if (control->objectName().isEmpty() || control->objectName().startsWith("qt_"))
                continue;
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            const QString name = accessible ? accessible->text(QAccessible::Name) : QString();
            QVERIFY2(!name.isEmpty() && !names.contains(name), qPrintable(control->objectName()));
            names.insert(name);
        }
        for (const char* name : {"Source page number", "Page Mode", "Delete Page"})
            QVERIFY(names.contains(name));
    }

    void versionAndTheLogoShowTheAboutBoxOverTheWindow()
    {
        const auto window = f.start();
        QVERIFY(QFile::copy(TESSARY_RESOURCES_DIR "/about.txt",
                            f.programFolder->filePath("about.txt")));
        window->show();
        for (const bool logo : {false, true}) {
            QString seen;
            QTimer::singleShot(0, this, [&] {
                auto* box = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
                if (box && box->parentWidget() == window.get() && box->isModal())
                    seen = box->lblVersion->text() + " " + box->txtDescription->toPlainText();
                if (box)
                    box->cmdOK->click();
            });
            logo ? QTest::mouseClick(window->Picture1, Qt::LeftButton)
                 : window->mnuVersion->trigger();
            QVERIFY2(seen.startsWith("Version 0.9.5 Tessary"), qPrintable(seen));
        }
    }

    void failuresLeftToTheEventAreShownAndTheProgramGoesOn_data() { addRows(failures); }

    void failuresLeftToTheEventAreShownAndTheProgramGoesOn()
    {
        const auto& [name, fail, text] = rowOf(failures);
        EventBoundary::run(*f.boxes, nullptr, fail);
        QCOMPARE(f.shown(),
                 QStringList{f.box("Tessary", text, MsgButtons::Ok, MsgIcon::Exclamation)});
    }

private:
    WindowFixture f;
};

TESSARY_WINDOW_TEST(TessaryTest)

#include "TessaryTest.moc"
