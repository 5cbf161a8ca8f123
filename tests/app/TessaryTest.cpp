#include "Tessary.h"

#include "FakeHelpPlatform.h"
#include "FileListBox.h"
#include "FixedScreenSize.h"
#include "HiddenFiles.h"
#include "ImagingEdit.h"
#include "ProgramFolder.h"
#include "RecordingLauncher.h"
#include "ScriptedFileDialogService.h"
#include "ScriptedFolderChooser.h"
#include "ScriptedMessageBoxService.h"
#include "SettingsStore.h"
#include "mdlFunctions.h"

#include <QAccessible>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

using namespace tessary;

namespace {

const QString resources = QStringLiteral(TESSARY_RESOURCES_DIR);

bool touch(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

QStringList entries(const FileListBox& list)
{
    QStringList names;
    for (int i = 0; i < list.count(); ++i)
        names.append(list.entry(i));
    return names;
}

// Moves the mouse over the window's client area at point, as the platform would report it.
void moveMouse(Tessary& window, QPoint point)
{
    QWidget* client = window.centralWidget();
    QMouseEvent move(QEvent::MouseMove, QPointF(point), client->mapToGlobal(QPointF(point)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(client, &move);
}

} // namespace

class TessaryTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_root.emplace();
        QDir(m_root->path()).mkpath(QStringLiteral("program"));
        m_programFolder.emplace(dir(QStringLiteral("program")));
        QVERIFY(QFile::copy(resources + QStringLiteral("/blank.tif"),
                            program(QStringLiteral("blank.tif"))));
        m_settings.emplace(dir(QStringLiteral("settings")),
                           [] { return QStringLiteral("Tessary"); });
        m_boxes.emplace();
        m_dialogs.emplace();
        m_folders.emplace();
        m_launcher.emplace();
    }

    void firstAndSecondStart()
    {
        {
            const auto window = start();
            QVERIFY(window->mnuCopy->isChecked());
            QVERIFY(!window->mnuMove->isChecked());
            QVERIFY(window->optMode(4)->isChecked());
            for (const int index : {1, 2, 3})
                QVERIFY(!window->optMode(index)->isChecked());
            // Prompting stays off for the first run although "Yes" is stored for the next.
            QVERIFY(!window->flags.PromptBeforeAction);
            QCOMPARE(window->TiffFileList->path(), m_programFolder->path());
            QCOMPARE(window->lblSource->text(), QStringLiteral("Source Image"));
            QCOMPARE(window->lblDestination->text(), QStringLiteral("Destination Image"));
            QCOMPARE(window->imgSrc->image(), QString());
            QCOMPARE(window->imgDes->image(), QString());
            QCOMPARE(window->txtPageSrc->text(), QString());
            QCOMPARE(window->txtPageDes->text(), QString());
            QVERIFY(m_boxes->boxes().isEmpty());
        }
        QCOMPARE(m_settings->read(SettingsStore::DefaultMode), QStringLiteral("Copy"));
        QCOMPARE(m_settings->read(SettingsStore::PromptActions), QStringLiteral("Yes"));
        QCOMPARE(m_settings->read(SettingsStore::SrcDir), QString());
        QCOMPARE(m_settings->read(SettingsStore::DesDir), QString());

        const auto second = start();
        QVERIFY(second->flags.PromptBeforeAction);
        QVERIFY(second->mnuCopy->isChecked());
    }

    void storedWordsAreReadExactly_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<bool>("move");
        QTest::addColumn<bool>("prompting");
        QTest::addColumn<QString>("modeAfter");
        QTest::addColumn<QString>("promptAfter");
        QTest::newRow("Move, Yes") << "Move"
                                   << "Yes" << true << true << "Move"
                                   << "Yes";
        QTest::newRow("Copy, No") << "Copy"
                                  << "No" << false << false << "Copy"
                                  << "No";
        QTest::newRow("lower case") << "move"
                                    << "yes" << false << false << "move"
                                    << "yes";
        QTest::newRow("trailing blanks") << "Move "
                                         << "Yes " << false << false << "Move "
                                         << "Yes ";
        QTest::newRow("only the mode stored") << "Move"
                                              << "" << true << false << "Move"
                                              << "Yes";
        QTest::newRow("only the prompt stored") << ""
                                                << "Yes" << false << true << "Copy"
                                                << "Yes";
    }

    void storedWordsAreReadExactly()
    {
        QFETCH(QString, mode);
        QFETCH(QString, prompt);
        QFETCH(bool, move);
        QFETCH(bool, prompting);
        QFETCH(QString, modeAfter);
        QFETCH(QString, promptAfter);
        if (!mode.isEmpty())
            m_settings->write(SettingsStore::DefaultMode, mode);
        if (!prompt.isEmpty())
            m_settings->write(SettingsStore::PromptActions, prompt);
        const auto window = start();
        QCOMPARE(window->mnuMove->isChecked(), move);
        QCOMPARE(window->mnuCopy->isChecked(), !move);
        QCOMPARE(window->flags.PromptBeforeAction, prompting);
        QCOMPARE(m_settings->read(SettingsStore::DefaultMode), modeAfter);
        QCOMPARE(m_settings->read(SettingsStore::PromptActions), promptAfter);
        QVERIFY(m_boxes->boxes().isEmpty());
    }

    void theFileListShowsTheStoredSourceFolderWhenItExists_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("shown");
        QTest::newRow("existing folder") << QStringLiteral("scans") << true;
        QTest::newRow("deleted folder") << QStringLiteral("gone") << false;
        QTest::newRow("a file, not a folder") << QStringLiteral("scans/a.tif") << false;
        QTest::newRow("nothing stored") << QString() << false;
    }

    void theFileListShowsTheStoredSourceFolderWhenItExists()
    {
        QFETCH(QString, stored);
        QFETCH(bool, shown);
        QDir(m_root->path()).mkpath(QStringLiteral("scans"));
        QVERIFY(touch(dir(QStringLiteral("scans/a.tif"))));
        const QString value = stored.isEmpty() ? QString() : dir(stored);
        if (!value.isEmpty())
            m_settings->write(SettingsStore::SrcDir, value);
        const auto window = start();
        QCOMPARE(window->TiffFileList->path(), shown ? value : m_programFolder->path());
        // The stored folder is left as it was, even when it is not used.
        QCOMPARE(m_settings->read(SettingsStore::SrcDir), value);
        QVERIFY(m_boxes->boxes().isEmpty());
    }

    void theFileListShowsVisibleTifFilesInListOrder()
    {
        const QString scans = dir(QStringLiteral("scans"));
        QDir(m_root->path()).mkpath(QStringLiteral("scans/folder.tif"));
        for (const char* name : {"b.tif", "A.TIF", "c.Tif", "a2.tif", "d.tiff", "e.txt", "tif",
                                 ".dot.tif", "listed.tif", "x.tif.bak"})
            QVERIFY(touch(scans + QLatin1Char('/') + QString::fromLatin1(name)));
        QVERIFY(HiddenFiles::hide(scans + QStringLiteral("/listed.tif")));
        m_settings->write(SettingsStore::SrcDir, scans);
        const auto window = start();
        QCOMPARE(entries(*window->TiffFileList),
                 (QStringList{"A.TIF", "a2.tif", "b.tif", "c.Tif"}));

        // The list follows its folder.
        QVERIFY(touch(scans + QStringLiteral("/0-new.tif")));
        QTRY_COMPARE(window->TiffFileList->entry(0), QStringLiteral("0-new.tif"));
        QCOMPARE(window->TiffFileList->entry(99), QString());
    }

    void workingFilesAreTidiedAtStartAndExit()
    {
        QVERIFY(touch(program(QStringLiteral("temp.tif"))));
        auto window = start();
        QVERIFY(!QFile::exists(program(QStringLiteral("temp.tif"))));
        QVERIFY(QFile::exists(program(QStringLiteral("blank.tif"))));
        QVERIFY(HiddenFiles::isHidden(program(QStringLiteral("blank.tif"))));
        // The program folder is the source folder here: the hidden blank.tif is not listed.
        QVERIFY(!entries(*window->TiffFileList).contains(QStringLiteral("blank.tif")));
        QVERIFY(mdlFunctions::CheckWorkingFiles(*window));

        // A temp.tif made during the run is gone after File > Exit.
        window->show();
        QVERIFY(touch(program(QStringLiteral("temp.tif"))));
        window->mnuExit->trigger();
        QVERIFY(!window->isVisible());
        QVERIFY(!QFile::exists(program(QStringLiteral("temp.tif"))));
        QVERIFY(HiddenFiles::isHidden(program(QStringLiteral("blank.tif"))));

        QVERIFY(QFile::remove(program(QStringLiteral("blank.tif"))));
        QVERIFY(!mdlFunctions::CheckWorkingFiles(*window));
        QVERIFY(m_boxes->boxes().isEmpty());
    }

    void aMissingBlankIsNotReportedAtStart()
    {
        QVERIFY(QFile::remove(program(QStringLiteral("blank.tif"))));
        const auto window = start();
        QVERIFY(m_boxes->boxes().isEmpty());
    }

    void aLowScreenIsReportedAndOpensTheDisplaySettings_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<bool>("reported");
        QTest::newRow("640 by 480") << QSize(640, 480) << true;
        QTest::newRow("799 by 599") << QSize(799, 599) << true;
        QTest::newRow("800 by 600") << QSize(800, 600) << false;
        QTest::newRow("1024 by 480") << QSize(1024, 480) << false;
        QTest::newRow("640 by 768") << QSize(640, 768) << false;
    }

    void aLowScreenIsReportedAndOpensTheDisplaySettings()
    {
        QFETCH(QSize, screen);
        QFETCH(bool, reported);
        installDisplayTool();
        const auto window = start(screen);
        if (!reported) {
            QVERIFY(m_boxes->boxes().isEmpty());
            QVERIFY(m_launcher->starts().isEmpty());
            return;
        }
        QCOMPARE(m_boxes->boxes().size(), 1);
        const ScriptedMessageBoxService::Box& box = m_boxes->boxes().first();
        QCOMPARE(box.text,
                 QStringLiteral("The minimal screen resolution to use Tessary is 800 by 600"));
        QCOMPARE(box.caption, QStringLiteral("Tessary"));
        QCOMPARE(box.buttons, MsgButtons::Ok);
        QCOMPARE(m_launcher->starts().size(), 1);
        QCOMPARE(m_launcher->starts().first().program, m_displayTool);
        QCOMPARE(m_launcher->starts().first().arguments, m_displayArguments);
        // Start-up goes on as usual.
        QVERIFY(window->optMode(4)->isChecked());
        QCOMPARE(m_settings->read(SettingsStore::PromptActions), QStringLiteral("Yes"));
    }

    void aLowScreenWithoutADisplayToolOnlyShowsTheMessage()
    {
        const auto window = start(QSize(640, 480));
        QCOMPARE(m_boxes->boxes().size(), 1);
        QVERIFY(m_launcher->starts().isEmpty());
    }

    void aDisplayToolThatFailsToStartIsReported()
    {
        installDisplayTool();
        m_launcher->failStarts();
        const auto window = start(QSize(640, 480));
        QCOMPARE(m_boxes->boxes().size(), 2);
        QVERIFY(m_boxes->boxes().at(1).text.contains(m_displayTool));
        QCOMPARE(m_boxes->boxes().at(1).caption, QStringLiteral("Tessary"));
        QVERIFY(window->mnuCopy->isChecked());
    }

    void movingOverTheBackgroundRestoresAWindowChangedInBothDirections()
    {
        const auto window = start();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QSize designed = window->size();
        QCOMPARE(designed, window->designedSize());
        QCOMPARE(window->minimumSize(), window->maximumSize());

        // As a window manager may force it despite the fixed border.
        window->setMinimumSize(0, 0);
        window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        window->resize(designed.width() + 60, designed.height());
        moveMouse(*window, QPoint(1, 1));
        QCOMPARE(window->size(), QSize(designed.width() + 60, designed.height()));

        window->resize(designed + QSize(60, 40));
        const QPoint overButton = window->cmdSwap->geometry().center();
        moveMouse(*window, overButton);
        QCOMPARE(window->size(), designed + QSize(60, 40));
        moveMouse(*window, QPoint(1, 1));
        QCOMPARE(window->size(), designed);
    }

    void theWindowIsLaidOutInTwips_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QRect>("pixels");
        // 15 twips to the pixel on a screen of 96 dots per inch.
        QTest::newRow("client area") << QStringLiteral("client") << QRect(0, 0, 735, 548);
        QTest::newRow("cmdDelPage") << QStringLiteral("cmdDelPage") << QRect(648, 428, 81, 29);
        QTest::newRow("imgDes") << QStringLiteral("imgDes") << QRect(432, 20, 297, 377);
    }

    void theWindowIsLaidOutInTwips()
    {
        QFETCH(QString, control);
        QFETCH(QRect, pixels);
        const auto window = start();
        if (window->logicalDpiX() != 96)
            QSKIP("the screen is not of 96 dots per inch");
        QWidget* found = window->findChild<QWidget*>(control);
        QVERIFY(found);
        QCOMPARE(found->geometry(), pixels);
        QCOMPARE(window->optMode(4)->geometry(), QRect(20, 152, 69, 17));
    }

    void theWindowAsFirstShown()
    {
        const auto window = start();
        QCOMPARE(window->windowTitle(), QStringLiteral("Brovane's Tessary"));
        QVERIFY(!window->windowIcon().isNull());
        QCOMPARE(window->Picture1->pixmap().size(), QSize(87, 52));
        QCOMPARE(window->Picture1->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(window->Picture1->palette().color(QPalette::Window),
                 window->palette().color(QPalette::Window));
        QCOMPARE(window->cmdSwap->toolTip(),
                 QStringLiteral("Append, Insert, Replace or Create a New File"));
        QCOMPARE(window->cmdRange->toolTip(),
                 QStringLiteral("Append, Insert Replace Multiple Pages"));
        QCOMPARE(window->mnuCopy->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
        QCOMPARE(window->mnuMove->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
        QCOMPARE(window->mnuSettings->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
        QCOMPARE(window->optMode(0), nullptr);
        QCOMPARE(window->optMode(5), nullptr);
    }

    void choosingTheCheckedCopyItemKeepsExactlyCopyChecked()
    {
        const auto window = start();
        window->mnuCopy->trigger();
        QVERIFY(window->mnuCopy->isChecked());
        QVERIFY(!window->mnuMove->isChecked());
    }

    void everyControlHasADistinctAccessibleName()
    {
        const auto window = start();
        QSet<QString> names;
        int controls = 0;
        for (QWidget* control : window->centralWidget()->findChildren<QWidget*>()) {
            if (control->objectName().isEmpty() ||
                control->objectName().startsWith(QLatin1String("qt_")))
                continue;
            ++controls;
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY(accessible);
            const QString name = accessible->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), qPrintable(control->objectName()));
            QVERIFY2(!names.contains(name), qPrintable(name));
            names.insert(name);
        }
        QCOMPARE(controls, 34);
        QVERIFY(names.contains(QStringLiteral("Source page number")));
        QVERIFY(names.contains(QStringLiteral("Page Mode")));
        QVERIFY(names.contains(QStringLiteral("Delete Page")));
    }

private:
    QString dir(const QString& name) const { return QDir(m_root->path()).filePath(name); }
    QString program(const QString& name) const { return m_programFolder->filePath(name); }

    std::unique_ptr<Tessary> start(QSize screen = QSize(1024, 768))
    {
        m_screen.emplace(screen);
        return std::make_unique<Tessary>(TessaryServices{*m_boxes, *m_dialogs, *m_folders,
                                                         *m_launcher, *m_screen, *m_programFolder,
                                                         *m_settings, m_help});
    }

    void installDisplayTool()
    {
#ifdef Q_OS_WIN
        m_displayTool = QStringLiteral("C:\\Windows\\System32\\rundll32.exe");
        m_launcher->install(QStringLiteral("rundll32.exe"), m_displayTool);
        m_displayArguments = {QStringLiteral("shell32.dll,Control_RunDLL"),
                              QStringLiteral("desk.cpl,,3")};
#else
        m_displayTool = QStringLiteral("/usr/bin/xfce4-display-settings");
        m_launcher->install(QStringLiteral("xfce4-display-settings"), m_displayTool);
        m_displayArguments = {};
#endif
    }

    std::optional<QTemporaryDir> m_root;
    std::optional<ProgramFolder> m_programFolder;
    std::optional<SettingsStore> m_settings;
    std::optional<ScriptedMessageBoxService> m_boxes;
    std::optional<ScriptedFileDialogService> m_dialogs;
    std::optional<ScriptedFolderChooser> m_folders;
    std::optional<RecordingLauncher> m_launcher;
    std::optional<FixedScreenSize> m_screen;
    FakeHelpPlatform m_help;
    QString m_displayTool;
    QStringList m_displayArguments;
};

int runTessaryTests(int argc, char** argv)
{
    TessaryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "TessaryTest.moc"
