// The settings dialog, opened from the main window's Settings item: its opening repair,
// the stored words, Save, Cancel, the folder buttons, the tool tips and Help.

#include "FileListBox.h"
#include "HtmlHelpApi.h"
#include "Tessary.h"
#include "WindowFixture.h"
#include "frmSettings.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <functional>

using namespace tessary;
using tessary::testing::WindowFixture;

namespace {

const QString moveQuestion =
    QStringLiteral("If you enable this option pages will be deleted from the source file, \r\n"
                   "are you sure you want to enable this option?");

// Opens the settings dialog from the menu and runs act on it while it is open. A dialog
// that act leaves open is closed afterwards without its question and without saving.
// False when no settings dialog came up.
bool whileOpen(Tessary& window, const std::function<void(frmSettings&)>& act)
{
    bool seen = false;
    QTimer::singleShot(0, &window, [&] {
        auto* dialog = qobject_cast<frmSettings*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen = true;
        act(*dialog);
        if (dialog->isVisible())
            dialog->done(QDialog::Rejected);
    });
    window.mnuSettings->trigger();
    return seen;
}

} // namespace

class SettingsDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(f.reset());
        m_src = f.folder(QStringLiteral("stored-src"));
        m_des = f.folder(QStringLiteral("stored-des"));
    }

    void openingRepairsAFolderThatIsNotThereBeforeTheDialogShows_data()
    {
        QTest::addColumn<QString>("source"); // "" nothing stored, "gone", "file" or "folder"
        QTest::addColumn<QString>("destination");
        QTest::newRow("nothing stored") << ""
                                        << "";
        QTest::newRow("source folder deleted") << "gone"
                                               << "folder";
        QTest::newRow("destination names a file") << "folder"
                                                  << "file";
        QTest::newRow("both folders there") << "folder"
                                            << "folder";
    }

    void openingRepairsAFolderThatIsNotThereBeforeTheDialogShows()
    {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        const auto stored = [this](const QString& kind, const QString& folder) {
            if (kind == QLatin1String("gone"))
                QDir(folder).removeRecursively();
            if (kind == QLatin1String("file"))
                WindowFixture::writeBytes(folder + QStringLiteral(".txt"), "x");
            return kind == QLatin1String("file") ? folder + QStringLiteral(".txt") : folder;
        };
        if (!source.isEmpty())
            f.settings->write(SettingsStore::SrcDir, stored(source, m_src));
        if (!destination.isEmpty())
            f.settings->write(SettingsStore::DesDir, stored(destination, m_des));
        const bool repairSrc = source != QLatin1String("folder");
        const bool repairDes = destination != QLatin1String("folder");
        const auto window = f.start();

        QStringList shownBeforeDialog;
        QString srcBox;
        QString desBox;
        QVERIFY(whileOpen(*window, [&](frmSettings& dialog) {
            shownBeforeDialog = f.boxes->texts();
            srcBox = dialog.txtSrcDir->text();
            desBox = dialog.txtDesDir->text();
            f.boxes->answer(MsgYes);
            dialog.cmdCancelSettings->click();
        }));

        QStringList repairs;
        if (repairSrc)
            repairs << QStringLiteral("Registry settings lost or Source Directory is invalid or "
                                      "no longer exists, setting\r\n path to application's "
                                      "default directory");
        if (repairDes)
            repairs << QStringLiteral("Registry settings lost or Destination Directory is "
                                      "invalid or no longer exists, setting\r\n path to "
                                      "application's default directory");
        QCOMPARE(shownBeforeDialog, repairs);
        for (qsizetype i = 0; i < repairs.size(); ++i) {
            QCOMPARE(f.boxes->boxes()[i].caption, QStringLiteral("Tessary"));
            QCOMPARE(f.boxes->boxes()[i].buttons, MsgButtons::Ok);
            QCOMPARE(f.boxes->boxes()[i].icon, MsgIcon::None);
        }
        const QString program = f.programFolder->path();
        QCOMPARE(srcBox, repairSrc ? program : m_src);
        QCOMPARE(desBox, repairDes ? program : m_des);
        // The repair stays although the dialog was cancelled.
        QCOMPARE(f.settings->read(SettingsStore::SrcDir), srcBox);
        QCOMPARE(f.settings->read(SettingsStore::DesDir), desBox);
    }

    void onlyTheExactWordsSelectMoveAndNo_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<bool>("moveSelected");
        QTest::addColumn<bool>("noSelected");
        QTest::newRow("Move, No") << "Move"
                                  << "No" << true << true;
        QTest::newRow("Copy, Yes") << "Copy"
                                   << "Yes" << false << false;
        QTest::newRow("move, no") << "move"
                                  << "no" << false << false;
        QTest::newRow("with a trailing blank") << "Move "
                                               << "No " << false << false;
        QTest::newRow("empty") << ""
                               << "" << false << false;
        QTest::newRow("other words") << "Verschieben"
                                     << "false" << false << false;
    }

    void onlyTheExactWordsSelectMoveAndNo()
    {
        QFETCH(QString, mode);
        QFETCH(QString, prompt);
        QFETCH(bool, moveSelected);
        QFETCH(bool, noSelected);
        storeFolders();
        const auto window = f.start();
        // After start-up, which stores its own defaults in place of empty values.
        f.settings->write(SettingsStore::DefaultMode, mode);
        f.settings->write(SettingsStore::PromptActions, prompt);

        QVERIFY(whileOpen(*window, [&](frmSettings& dialog) {
            QCOMPARE(dialog.optModeSettings[1]->isChecked(), moveSelected);
            QCOMPARE(dialog.optModeSettings[0]->isChecked(), !moveSelected);
            QCOMPARE(dialog.optPromptSettings[1]->isChecked(), noSelected);
            QCOMPARE(dialog.optPromptSettings[0]->isChecked(), !noSelected);
        }));
        // The words stay as they were until the next Save.
        QCOMPARE(f.settings->read(SettingsStore::DefaultMode), mode);
        QCOMPARE(f.settings->read(SettingsStore::PromptActions), prompt);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void saveStoresAllFourBeforeTheMoveWarning_data()
    {
        QTest::addColumn<bool>("moveBefore");
        QTest::addColumn<bool>("promptBefore");
        QTest::addColumn<bool>("move");
        QTest::addColumn<bool>("prompt");
        QTest::addColumn<int>("answer"); // to the Move warning; 0: none expected
        QTest::addColumn<bool>("moveAfter");
        QTest::newRow("Copy and prompts, from Move without prompts")
            << true << false << false << true << 0 << false;
        QTest::newRow("Move, warning answered Yes")
            << false << true << true << false << int(MsgYes) << true;
        QTest::newRow("Move, warning answered No")
            << false << true << true << true << int(MsgNo) << false;
        QTest::newRow("Move while in Move, answered No")
            << true << true << true << false << int(MsgNo) << false;
    }

    void saveStoresAllFourBeforeTheMoveWarning()
    {
        QFETCH(bool, moveBefore);
        QFETCH(bool, promptBefore);
        QFETCH(bool, move);
        QFETCH(bool, prompt);
        QFETCH(int, answer);
        QFETCH(bool, moveAfter);
        storeFolders();
        f.settings->write(SettingsStore::DefaultMode, QString(moveBefore ? "Move" : "Copy"));
        f.settings->write(SettingsStore::PromptActions, QString(promptBefore ? "Yes" : "No"));
        const auto window = f.start();
        QCOMPARE(window->mnuMove->isChecked(), moveBefore);
        QCOMPARE(window->flags.PromptBeforeAction, promptBefore);
        const QString listFolder = window->TiffFileList->path();
        const QString chosen = f.folder(QStringLiteral("chosen"));
        f.folders->choose(chosen);
        if (answer != 0)
            f.boxes->answer(answer);

        bool closed = false;
        QVERIFY(whileOpen(*window, [&](frmSettings& dialog) {
            dialog.cmdBrowseSrc->click();
            dialog.optModeSettings[move ? 1 : 0]->click();
            dialog.optPromptSettings[prompt ? 0 : 1]->click();
            dialog.cmdSaveSettings->click();
            closed = !dialog.isVisible();
        }));

        QVERIFY(closed);
        QCOMPARE(f.boxes->texts(), answer != 0 ? QStringList{moveQuestion} : QStringList());
        QCOMPARE(f.boxes->unexpected(), 0);
        QCOMPARE(window->mnuMove->isChecked(), moveAfter);
        QCOMPARE(window->mnuCopy->isChecked(), !moveAfter);
        QCOMPARE(window->flags.PromptBeforeAction, prompt);
        QCOMPARE(f.settings->read(SettingsStore::SrcDir), chosen);
        QCOMPARE(f.settings->read(SettingsStore::DesDir), m_des);
        QCOMPARE(f.settings->read(SettingsStore::DefaultMode), QString(move ? "Move" : "Copy"));
        QCOMPARE(f.settings->read(SettingsStore::PromptActions), QString(prompt ? "Yes" : "No"));
        // The saved source folder waits for the next start.
        QCOMPARE(window->TiffFileList->path(), listFolder);

        // The next start follows what was stored, whatever the warning's answer was.
        f.boxes->clear();
        const auto next = f.start();
        QCOMPARE(next->mnuMove->isChecked(), move);
        QCOMPARE(next->flags.PromptBeforeAction, prompt);
        QCOMPARE(next->TiffFileList->path(), chosen);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void saveStoresTheFolderBoxesWithoutTestingThem_data()
    {
        QTest::addColumn<bool>("empty");
        QTest::newRow("empty boxes store the program folder") << true;
        QTest::newRow("folders deleted meanwhile are stored as shown") << false;
    }

    void saveStoresTheFolderBoxesWithoutTestingThem()
    {
        QFETCH(bool, empty);
        storeFolders();
        const auto window = f.start();
        QVERIFY(whileOpen(*window, [&](frmSettings& dialog) {
            // Typing does not change a folder box.
            QTest::keyClicks(dialog.txtSrcDir, QStringLiteral("typed"));
            QCOMPARE(dialog.txtSrcDir->text(), m_src);
            if (empty) {
                dialog.txtSrcDir->clear();
                dialog.txtDesDir->clear();
            } else {
                QDir(m_src).removeRecursively();
                QDir(m_des).removeRecursively();
            }
            dialog.cmdSaveSettings->click();
        }));
        const QString program = f.programFolder->path();
        QCOMPARE(f.settings->read(SettingsStore::SrcDir), empty ? program : m_src);
        QCOMPARE(f.settings->read(SettingsStore::DesDir), empty ? program : m_des);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void cancellingAsksFirstAndStoresNothing_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("Cancel button") << "button";
        QTest::newRow("Escape key") << "escape";
        QTest::newRow("close box") << "close";
    }

    void cancellingAsksFirstAndStoresNothing()
    {
        QFETCH(QString, way);
        storeFolders();
        const auto window = f.start();
        const QString chosen = f.folder(QStringLiteral("chosen"));
        f.folders->choose(chosen);
        f.boxes->answer(MsgNo);
        f.boxes->answer(MsgYes);
        const auto cancel = [&way](frmSettings& dialog) {
            if (way == QLatin1String("button"))
                dialog.cmdCancelSettings->click();
            else if (way == QLatin1String("escape"))
                QTest::keyClick(&dialog, Qt::Key_Escape);
            else
                dialog.close();
        };

        bool openAfterNo = false;
        bool editsKept = false;
        bool closedAfterYes = false;
        QVERIFY(whileOpen(*window, [&](frmSettings& dialog) {
            dialog.cmdBrowseSrc->click();
            dialog.optModeSettings[1]->click();
            cancel(dialog);
            openAfterNo = dialog.isVisible();
            editsKept =
                dialog.txtSrcDir->text() == chosen && dialog.optModeSettings[1]->isChecked();
            cancel(dialog);
            closedAfterYes = !dialog.isVisible();
        }));

        QVERIFY(openAfterNo);
        QVERIFY(editsKept);
        QVERIFY(closedAfterYes);
        QCOMPARE(f.boxes->boxes().size(), 2);
        for (const ScriptedMessageBoxService::Box& box : f.boxes->boxes()) {
            QCOMPARE(box.text, QStringLiteral("Do you really want to cancel without saving "
                                              "changes?"));
            QCOMPARE(box.caption, QStringLiteral("Cancel"));
            QCOMPARE(box.buttons, MsgButtons::YesNo);
            QCOMPARE(box.icon, MsgIcon::None);
        }
        QCOMPARE(f.settings->read(SettingsStore::SrcDir), m_src);
        QCOMPARE(f.settings->read(SettingsStore::DefaultMode), QStringLiteral("Copy"));
        QVERIFY(window->mnuCopy->isChecked());

        // The next opening shows the stored folder again.
        QString shown;
        QVERIFY(whileOpen(*window, [&](frmSettings& dialog) { shown = dialog.txtSrcDir->text(); }));
        QCOMPARE(shown, m_src);
    }

    void folderButtonsAlwaysStartAtTheProgramFolder_data()
    {
        QTest::addColumn<bool>("source");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("source, chosen") << true << false;
        QTest::newRow("source, cancelled") << true << true;
        QTest::newRow("destination, chosen") << false << false;
        QTest::newRow("destination, cancelled") << false << true;
    }

    void folderButtonsAlwaysStartAtTheProgramFolder()
    {
        QFETCH(bool, source);
        QFETCH(bool, cancel);
        storeFolders();
        const auto window = f.start();
        const QString chosen = f.folder(QStringLiteral("chosen"));
        if (cancel)
            f.folders->cancel();
        else
            f.folders->choose(chosen);

        QString srcBox;
        QString desBox;
        QVERIFY(whileOpen(*window, [&](frmSettings& dialog) {
            (source ? dialog.cmdBrowseSrc : dialog.cmdBrowseDes)->click();
            srcBox = dialog.txtSrcDir->text();
            desBox = dialog.txtDesDir->text();
        }));

        QCOMPARE(f.folders->requests().size(), 1);
        QCOMPARE(f.folders->requests().first().start, f.programFolder->path());
        QCOMPARE(f.folders->requests().first().owner, window.get());
        QCOMPARE(srcBox, source && !cancel ? chosen : m_src);
        QCOMPARE(desBox, !source && !cancel ? chosen : m_des);
        // Only Save stores a choice.
        QCOMPARE(f.settings->read(SettingsStore::SrcDir), m_src);
        QCOMPARE(f.settings->read(SettingsStore::DesDir), m_des);
    }

    void aFolderBoxShowsItsTextAsToolTipWhenTheMouseMoves()
    {
        storeFolders();
        const auto window = f.start();
        QString srcTip;
        QString desTip;
        QVERIFY(whileOpen(*window, [&](frmSettings& dialog) {
            dialog.txtDesDir->setToolTip(QStringLiteral("earlier"));
            dialog.txtDesDir->clear();
            for (QLineEdit* box : {dialog.txtSrcDir, dialog.txtDesDir}) {
                const QPointF at = box->rect().center();
                QMouseEvent move(QEvent::MouseMove, at, box->mapToGlobal(at), Qt::NoButton,
                                 Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(box, &move);
            }
            srcTip = dialog.txtSrcDir->toolTip();
            desTip = dialog.txtDesDir->toolTip();
        }));
        QCOMPARE(srcTip, m_src);
        QCOMPARE(desTip, QStringLiteral("earlier")); // an empty box keeps its tip
    }

    void helpOpensTheSettingsPageAndTheDialogStaysOpen()
    {
        storeFolders();
        const QString helpFile = f.programFolder->filePath(QStringLiteral("Tessary.chm"));
        f.help->addFile(helpFile);
        const auto window = f.start();
        bool open = false;
        QVERIFY(whileOpen(*window, [&](frmSettings& dialog) {
            QCOMPARE(dialog.parentWidget(), window.get());
            QVERIFY(dialog.isModal());
            dialog.cmdHelpSettings->click();
            open = dialog.isVisible();
        }));
        QVERIFY(open);
        QCOMPARE(f.help->helpCalls().size(), 1);
        const auto& call = f.help->helpCalls().first();
        QCOMPARE(call.target.value_or(QString()), helpFile + QStringLiteral(">Main"));
        QCOMPARE(call.command, HH_DISPLAY_TOPIC);
        QCOMPARE(call.text.value_or(QString()), QStringLiteral("settings.html"));
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void saveSaysSoWhenTheSettingsCannotBeStored()
    {
        // A file where the store's folder belongs: nothing can be written.
        QVERIFY(WindowFixture::writeBytes(f.dir(QStringLiteral("settings")), "x"));
        const auto window = f.start();
        QVERIFY(whileOpen(*window, [&](frmSettings& dialog) { dialog.cmdSaveSettings->click(); }));
        const QStringList texts = f.boxes->texts();
        QCOMPARE(texts.size(), 3); // the two repairs, then the failure
        QCOMPARE(texts.last(), frmSettings::NotSavedText);
        QCOMPARE(f.boxes->boxes().last().icon, MsgIcon::Exclamation);
        // What was chosen applies to this run all the same.
        QVERIFY(window->flags.PromptBeforeAction);
        QVERIFY(window->mnuCopy->isChecked());
    }

private:
    void storeFolders()
    {
        f.settings->write(SettingsStore::SrcDir, m_src);
        f.settings->write(SettingsStore::DesDir, m_des);
    }

    WindowFixture f;
    QString m_src;
    QString m_des;
};

int runSettingsDialogTests(int argc, char** argv)
{
    SettingsDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SettingsDialogTest.moc"
