// The settings: the words the window and the settings dialog read, and the dialog opened
// from the main window's Settings item: its opening repair, Save, Cancel, the folder
// buttons and the tool tips; the topics of the Help menu and of the dialog's Help.

#include "HtmlHelpApi.h"
#include "WindowFixture.h"
#include "frmSettings.h"

#include <QApplication>
#include <QTimer>
#include <QtTest>
#include <functional>

using namespace tessary;
using namespace tessary::testing;

namespace {

// Opens the settings dialog from the menu and runs act on it while it is open. Returns
// what the dialog shows after act: the folder boxes, the mode and prompting selected,
// "open" or "closed"; nothing when no dialog came up. A dialog act leaves open is closed
// afterwards without its question and without saving.
QStringList whileOpen(Tessary& window, const std::function<void(frmSettings&)>& act = {})
{
    QStringList seen;
    QTimer::singleShot(0, &window, [&] {
        auto* dialog = qobject_cast<frmSettings*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (act)
            act(*dialog);
        const auto selected = [](const auto& options, const char* first, const char* second) {
            return QString(options[0]->isChecked() ? first : "") +
                   (options[1]->isChecked() ? second : "");
        };
        seen = QStringList{dialog->txtSrcDir->text(), dialog->txtDesDir->text(),
                           selected(dialog->optModeSettings, "Copy", "Move"),
                           selected(dialog->optPromptSettings, "Yes", "No"),
                           dialog->isVisible() ? "open" : "closed"};
        if (dialog->isVisible())
            dialog->done(QDialog::Rejected);
    });
    window.mnuSettings->trigger();
    return seen;
}

// The words stored for the transfer mode and for prompting; the transfer mode of the window
// and of the dialog; whether the window prompts, and the prompting the dialog selects. Only
// the exact words count.
const std::tuple<const char*, QString, QString, QString, bool, QString> words[] = {
    {"Move, No", "Move", "No", "Move", false, "No"},
    {"Copy, Yes", "Copy", "Yes", "Copy", true, "Yes"},
    {"lower case", "move", "yes", "Copy", false, "Yes"},
    {"trailing blanks", "Move ", "Yes ", "Copy", false, "Yes"},
    {"No with a trailing blank", "Copy", "No ", "Copy", false, "Yes"},
    {"other words", "Verschieben", "false", "Copy", false, "Yes"},
    {"only the mode stored", "Move", "", "Move", true, "Yes"},
    {"only the prompt stored", "", "Yes", "Copy", true, "Yes"},
    {"nothing stored", "", "", "Copy", true, "Yes"},
};

// What the source and the destination folder setting name when the dialog opens: 0
// nothing, 1 a deleted folder, 2 a file, 3 a folder.
const std::tuple<const char*, int, int> repairs[] = {
    {"nothing stored", 0, 0},
    {"source folder deleted", 1, 3},
    {"destination names a file", 3, 2},
    {"both folders there", 3, 3},
};

// Move and prompting before; chosen in the dialog; what is done to the folder boxes
// ("browse" a source folder, "empty" both boxes, "delete" both folders); the answer to the
// Move warning (0: none expected); the transfer mode after.
const std::tuple<const char*, bool, bool, bool, bool, QString, int, QString> saves[] = {
    {"Copy and prompts, from Move without prompts", true, false, false, true, "browse", 0, "Copy"},
    {"Move, warning answered Yes", false, true, true, false, "browse", MsgYes, "Move"},
    {"Move, warning answered No", false, true, true, true, "browse", MsgNo, "Copy"},
    {"Move while in Move, answered No", true, true, true, false, "browse", MsgNo, "Copy"},
    {"empty boxes store the program folder", false, true, false, true, "empty", 0, "Copy"},
    {"folders deleted meanwhile are stored as shown", false, true, false, true, "delete", 0,
     "Copy"},
};

// The folder button clicked (true: source), whether a folder is chosen, and how the dialog
// is cancelled ("button", "escape" or "close").
const std::tuple<const char*, bool, bool, QString> cancels[] = {
    {"source chosen, Cancel button", true, true, "button"},
    {"source not chosen, Escape key", true, false, "escape"},
    {"destination chosen, close box", false, true, "close"},
    {"destination not chosen, Cancel button", false, false, "button"},
};

// The menu item, or the settings dialog's Help button; the help command and page.
const std::tuple<const char*, const char*, int, QString> helpItems[] = {
    {"Contents", "mnuContents", HH_DISPLAY_TOC, ""},
    {"About", "menuAbout", HH_DISPLAY_TOPIC, "abouttessary.html"},
    {"the settings dialog's Help", "cmdHelpSettings", HH_DISPLAY_TOPIC, "settings.html"},
};

} // namespace

class SettingsDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(f.reset());
        m_src = f.folder("stored-src");
        m_des = f.folder("stored-des");
    }

    void theStoredWordsAreReadExactly_data() { addRows(words); }

    void theStoredWordsAreReadExactly()
    {
        const auto& [name, mode, prompt, transfer, prompting, dialogPrompt] = rowOf(words);
        store(mode, prompt);
        const auto window = f.start();
        QCOMPARE(f.transferMode(*window), transfer);
        QCOMPARE(window->flags.PromptBeforeAction, prompting);
        // The start stores the defaults in place of empty words, and leaves any other.
        QCOMPARE(f.stored(), (QStringList{m_src, m_des, mode.isEmpty() ? "Copy" : mode,
                                          prompt.isEmpty() ? "Yes" : prompt}));

        // The dialog reads the words as they are stored when it opens, and leaves them.
        store(mode, prompt);
        QCOMPARE(whileOpen(*window), (QStringList{m_src, m_des, transfer, dialogPrompt, "open"}));
        QCOMPARE(f.stored(), (QStringList{m_src, m_des, mode, prompt}));
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void openingRepairsAFolderThatIsNotThereBeforeTheDialogShows_data() { addRows(repairs); }

    void openingRepairsAFolderThatIsNotThereBeforeTheDialogShows()
    {
        const auto& [name, source, destination] = rowOf(repairs);
        QStringList repaired;
        for (const auto& [setting, kind, folder, which] :
             {std::tuple{SettingsStore::SrcDir, source, m_src, "Source"},
              std::tuple{SettingsStore::DesDir, destination, m_des, "Destination"}}) {
            if (kind == 1)
                QVERIFY(QDir(folder).removeRecursively());
            if (kind == 2)
                QVERIFY(f.writeBytes(folder + ".txt", "x"));
            if (kind != 0)
                f.settings->write(setting, kind == 2 ? folder + ".txt" : folder);
            if (kind != 3)
                repaired << f.box("Tessary", QString("Registry settings lost or %1 Directory is "
                                                     "invalid or no longer exists, setting\r\n "
                                                     "path to application's default directory")
                                                 .arg(which));
        }
        const auto window = f.start();

        QStringList shownBeforeDialog;
        const QStringList seen =
            whileOpen(*window, [&](frmSettings&) { shownBeforeDialog = f.shown(); });
        QCOMPARE(shownBeforeDialog, repaired);
        const QString program = f.programFolder->path();
        const QStringList folders = {source != 3 ? program : m_src,
                                     destination != 3 ? program : m_des};
        QCOMPARE(seen.mid(0, 2), folders);
        // The repair stays although the dialog was cancelled.
        QCOMPARE(f.stored().mid(0, 2), folders);
    }

    void saveStoresAllFourBeforeTheMoveWarning_data() { addRows(saves); }

    void saveStoresAllFourBeforeTheMoveWarning()
    {
        const auto& [name, moveBefore, promptBefore, move, prompt, boxes, answer, transfer] =
            rowOf(saves);
        store(moveBefore ? "Move" : "Copy", promptBefore ? "Yes" : "No");
        const auto window = f.start();
        const QString listFolder = window->TiffFileList->path();
        const QString chosen = f.folder("chosen");
        f.folders->choose(chosen);
        if (answer != 0)
            f.boxes->answer(answer);

        QStringList tips;
        const QStringList seen = whileOpen(*window, [&](frmSettings& dialog) {
            const QList<QLineEdit*> folderBoxes = {dialog.txtSrcDir, dialog.txtDesDir};
            // Hovering over a folder box shows its text as tip; an empty box keeps its tip.
            const auto hover = [&] {
                tips.clear();
                for (QLineEdit* box : folderBoxes) {
                    f.hover(box, box->rect().center());
                    tips << box->toolTip();
                }
            };
            hover();
            // Typing does not change a folder box.
            QTest::keyClicks(dialog.txtSrcDir, "typed");
            if (boxes == "browse")
                dialog.cmdBrowseSrc->click();
            for (int i = 0; i < 2; ++i)
                if (boxes == "empty")
                    folderBoxes[i]->clear();
                else if (boxes == "delete")
                    QDir(i == 0 ? m_src : m_des).removeRecursively();
            hover();
            dialog.optModeSettings[move ? 1 : 0]->click();
            dialog.optPromptSettings[prompt ? 0 : 1]->click();
            // Enter in a folder box saves: it opens no folder browser.
            QTest::keyClick(dialog.txtSrcDir, Qt::Key_Return);
        });
        QCOMPARE(f.folders->requests().size(), boxes == "browse" ? 1 : 0);
        QCOMPARE(tips, (QStringList{boxes == "browse" ? chosen : m_src, m_des}));
        // The folders are stored as the boxes show them, an empty box as the program folder.
        const QString program = f.programFolder->path();
        const QStringList shown = {boxes == "browse"  ? chosen
                                   : boxes == "empty" ? ""
                                                      : m_src,
                                   boxes == "empty" ? "" : m_des};
        const QStringList stored = {shown[0].isEmpty() ? program : shown[0],
                                    shown[1].isEmpty() ? program : shown[1], move ? "Move" : "Copy",
                                    prompt ? "Yes" : "No"};
        QCOMPARE(seen, shown + stored.mid(2) << "closed");
        QCOMPARE(f.shown(), answer != 0 ? QStringList{f.moveWarning()} : QStringList());
        QCOMPARE(f.boxes->unexpected(), 0);
        QCOMPARE(f.transferMode(*window), transfer);
        QCOMPARE(window->flags.PromptBeforeAction, prompt);
        QCOMPARE(f.stored(), stored);
        // The saved source folder waits for the next start.
        QCOMPARE(window->TiffFileList->path(), listFolder);
    }

    void theFolderButtonsAndCancelStoreNothing_data() { addRows(cancels); }

    void theFolderButtonsAndCancelStoreNothing()
    {
        const auto& [name, source, choose, way] = rowOf(cancels);
        store("Copy", "Yes");
        const auto window = f.start();
        const QString chosen = f.folder("chosen");
        choose ? f.folders->choose(chosen) : f.folders->cancel();
        f.boxes->answer(MsgNo);
        f.boxes->answer(MsgYes);
        const auto cancel = [&way](frmSettings& dialog) {
            way == "button"   ? dialog.cmdCancelSettings->click()
            : way == "escape" ? QTest::keyClick(&dialog, Qt::Key_Escape)
                              : void(dialog.close());
        };

        QStringList afterNo;
        const QStringList afterYes = whileOpen(*window, [&](frmSettings& dialog) {
            (source ? dialog.cmdBrowseSrc : dialog.cmdBrowseDes)->click();
            dialog.optModeSettings[1]->click();
            cancel(dialog);
            afterNo = QStringList{dialog.txtSrcDir->text(), dialog.txtDesDir->text()};
            afterNo << (dialog.isVisible() ? "open" : "closed");
            cancel(dialog);
        });
        // The folder chooser always starts at the program folder, over the main window.
        QCOMPARE(f.folders->requests().size(), 1);
        QVERIFY(f.folders->requests().first().owner == window.get() &&
                f.folders->requests().first().start == f.programFolder->path());
        // After No the dialog stays open with the choices kept; after Yes it closes.
        QCOMPARE(afterNo, (QStringList{source && choose ? chosen : m_src,
                                       !source && choose ? chosen : m_des, "open"}));
        QCOMPARE(afterYes.mid(2), (QStringList{"Move", "Yes", "closed"}));
        const QString question = f.box(
            "Cancel", "Do you really want to cancel without saving changes?", MsgButtons::YesNo);
        QCOMPARE(f.shown(), (QStringList{question, question}));
        QCOMPARE(f.stored(), (QStringList{m_src, m_des, "Copy", "Yes"}));
        QCOMPARE(f.transferMode(*window), "Copy");
        // The next opening shows the stored folders again.
        QCOMPARE(whileOpen(*window).mid(0, 2), (QStringList{m_src, m_des}));
    }

    void helpItemsOpenTheirTopics_data() { addRows(helpItems); }

    void helpItemsOpenTheirTopics()
    {
        // The help file's own messages and pages are the help control's.
        const auto& [name, item, command, page] = rowOf(helpItems);
        store("Copy", "Yes");
        const QString helpFile = f.programFolder->filePath("Tessary.chm");
        f.help->addFile(helpFile);
        const auto window = f.start();
        if (auto* action = window->findChild<QAction*>(item)) {
            action->trigger();
        } else {
            // The settings dialog stays open beside the help page, modal to the window only.
            bool overTheWindow = false;
            const QStringList seen = whileOpen(*window, [&](frmSettings& dialog) {
                overTheWindow = dialog.parentWidget() == window.get() &&
                                dialog.windowModality() == Qt::WindowModal;
                dialog.findChild<QPushButton*>(item)->click();
            });
            QVERIFY(overTheWindow && seen.last() == "open");
        }
        QCOMPARE(f.help->helpCalls().size(), 1);
        const auto& call = f.help->helpCalls().first();
        QCOMPARE(call.owner, nullptr); // the help window belongs to no form
        QCOMPARE((QStringList{call.target.value_or(""), QString::number(call.command),
                              call.text.value_or("")}),
                 (QStringList{helpFile + ">Main", QString::number(command), page}));
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void saveSaysSoWhenTheSettingsCannotBeStored()
    {
        // A file where the store's folder belongs: nothing can be written.
        QVERIFY(f.writeBytes(f.dir("settings"), "x"));
        const auto window = f.start();
        whileOpen(*window, [&](frmSettings& dialog) { dialog.cmdSaveSettings->click(); });
        // The two repairs, then the failure.
        QCOMPARE(f.shown().mid(2),
                 QStringList{
                     f.box("Tessary",
                           "The settings could not be saved. They apply until Tessary is closed.",
                           MsgButtons::Ok, MsgIcon::Exclamation)});
        // What was chosen applies to this run all the same.
        QVERIFY(window->flags.PromptBeforeAction && f.transferMode(*window) == "Copy");
    }

private:
    // Stores the folders made at init and the words given.
    void store(const QString& mode, const QString& prompt)
    {
        f.settings->write(SettingsStore::SrcDir, m_src);
        f.settings->write(SettingsStore::DesDir, m_des);
        f.settings->write(SettingsStore::DefaultMode, mode);
        f.settings->write(SettingsStore::PromptActions, prompt);
    }

    WindowFixture f;
    QString m_src;
    QString m_des;
};

TESSARY_WINDOW_TEST(SettingsDialogTest)

#include "SettingsDialogTest.moc"
