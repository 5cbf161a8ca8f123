#include "EngineCall.h"
#include "FileLock.h"
#include "ImagingAdmin.h"
#include "OperationsFixture.h"
#include "PageEngine.h"
#include "TestTiff.h"
#include "frmRange.h"
#include "frmReorder.h"
#include "frmRotate.h"
#include "frmSettings.h"

#include <QCheckBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QWindow>
#include <chrono>

using namespace tessary;
using namespace tessary::mdlFunctions;
using namespace tessary::testing;

namespace {

const QString noSourceText = QStringLiteral("You must choose a source file from the list at \r\n"
                                            "the bottom left corner of your screen.");
const QString sameFileText =
    QStringLiteral("You cannot open the same image file as the source and destination");
const QString sourceNameText =
    QStringLiteral("You cannot overwrite the same file you have open as the source image.");
const QString workingFileText =
    QStringLiteral("You cannot save the new file as %1: Tessary uses that file for its own "
                   "work.\r\nPlease choose another name.");
const QString invalidRange =
    QStringLiteral("Invalid range selected, valid choices are between 1 and 12");
const QString rangeOrder =
    QStringLiteral("Invalid range selected, 'From' value is greater than the 'To value");
const QString rangeMaximum = QStringLiteral("Invalid range selected, maximum is: 12");
const QString moveAll = QStringLiteral("You cannot move all the pages out of a file.");
const QString invalidChoices =
    QStringLiteral("Invalid choices, you must select a page from 1 to 5");
const QString samePage = QStringLiteral("You cannot reorder the same page within the file.");
const QString lastPageText = QStringLiteral("You cannot delete the last page of a file.");
const QString reorderQuestion = QStringLiteral("Do you really wish to reorder these pages?");

const QList<int> target = labels(21, 26);
const QList<int> five = labels(1, 5);

// The question before a transfer in the page mode, when prompting is on.
Box confirmation(int mode)
{
    const char* actions[] = {"", "append page(s)", "insert page(s)", "replace page(s)",
                             "extract page(s) to a new file"};
    return {QStringLiteral("Do you really want to %1?").arg(QLatin1String(actions[mode])),
            QStringLiteral("Confirm"), MsgButtons::YesNo, MsgIcon::None};
}

// The source's pages after a Move of count pages from first.
QList<int> sourceWithout(int first, int count)
{
    QList<int> left = labels(1, 12);
    left.remove(first - 1, count);
    return left;
}

// Opens the reorder dialog, says in opened what it shows at first, types order
// ("page,before") into it, ticks Copy Page? when asked and presses OK; a dialog left open
// (said in leftOpen) is cancelled. Returns the number of dialogs shown.
int reorder(Tessary& window, const QString& order, bool copy = false, bool* leftOpen = nullptr,
            QString* opened = nullptr)
{
    return drive<frmReorder>(
        [&] { window.cmdReorder->click(); },
        [=](frmReorder& dialog) {
            if (opened)
                *opened = QStringLiteral("%1,%2 %3, the page box %4 the focus")
                              .arg(dialog.txtPage->text(), dialog.txtInsert->text(),
                                   dialog.chkCopy->isChecked() ? "ticked" : "unticked",
                                   dialog.focusWidget() == dialog.txtPage ? "has" : "has not");
            dialog.chkCopy->setChecked(copy);
            typeInto(dialog, dialog.txtPage, dialog.txtInsert, order, leftOpen);
        });
}

// The transfers of source page 4 or of a range in each page mode: the mode, Move, the
// answer to the question (0: prompting off), the range typed ("" for the page shown), the
// destination's page (0: none open), and the pages of the destination or the new file after.
const std::tuple<const char*, int, bool, int, const char*, int, QList<int>> transfers[] = {
    {"Append, Copy", 1, false, 0, "", 3, target + QList{4}},
    {"Append, Move, asked", 1, true, MsgYes, "", 3, target + QList{4}},
    {"Append at page 1 still at the end", 1, false, MsgYes, "", 1, target + QList{4}},
    {"Insert at 3, Copy, asked", 2, false, MsgYes, "", 3, {21, 22, 4, 23, 24, 25, 26}},
    {"Insert at 3, Move", 2, true, 0, "", 3, {21, 22, 4, 23, 24, 25, 26}},
    {"Insert at page 1", 2, false, 0, "", 1, QList{4} + target},
    {"Replace at 3, Copy", 3, false, 0, "", 3, {21, 22, 4, 24, 25, 26}},
    {"Replace at 3, Move, asked", 3, true, MsgYes, "", 3, {21, 22, 4, 24, 25, 26}},
    {"Replace the last page", 3, false, 0, "", 6, {21, 22, 23, 24, 25, 4}},
    {"New File, Copy, asked", 4, false, MsgYes, "", 0, {4}},
    {"New File, Move", 4, true, 0, "", 0, {4}},
    {"range, Append, Copy, asked", 1, false, MsgYes, "3,7", 4, target + labels(3, 7)},
    {"range, Append, Move", 1, true, 0, "3,7", 4, target + labels(3, 7)},
    {"range, Insert at 4, Move, asked",
     2,
     true,
     MsgYes,
     "3,7",
     4,
     {21, 22, 23, 3, 4, 5, 6, 7, 24, 25, 26}},
    {"range, Replace from 2, Copy", 3, false, 0, "3,7", 2, {21, 3, 4, 5, 6, 7}},
    {"range, Replace from 2, Move, asked", 3, true, MsgYes, "3,7", 2, {21, 3, 4, 5, 6, 7}},
    {"range, New File, Copy", 4, false, 0, "3,7", 0, labels(3, 7)},
    {"range, New File, Move, asked", 4, true, MsgYes, "3,7", 0, labels(3, 7)},
    // Answered No: nothing is written, and the range dialog stays open.
    {"Append, answered No", 1, true, MsgNo, "", 2, target},
    {"New File, answered No", 4, true, MsgNo, "", 2, target},
    {"range, Append, answered No", 1, true, MsgNo, "3,5", 2, target},
    {"range, Insert, answered No", 2, true, MsgNo, "3,5", 2, target},
    {"range, Replace, answered No", 3, true, MsgNo, "3,5", 2, target},
    {"range, New File, answered No", 4, true, MsgNo, "3,5", 2, target},
};

// Presses without a source or a destination: the range, blank.tif in the program folder, a
// source shown, the choice at the destination chooser ("cancel" or none), the text told.
const std::tuple<const char*, bool, bool, bool, const char*, QString> withouts[] = {
    {"page, no source", false, true, false, "", noSourceText},
    {"page, cancelled", false, true, true, "cancel", ""},
    {"page, a file chosen", false, true, true, "target.tif", ""},
    {"page, the source chosen", false, true, true, "source.tif", sameFileText},
    {"range, no source", true, true, false, "", noSourceText},
    {"range, cancelled", true, true, true, "cancel", ""},
    {"range, a file chosen", true, true, true, "target.tif", ""},
    {"range, the source chosen", true, true, true, "source.tif", sameFileText},
    {"range, blank.tif missing", true, false, true, "",
     "You are missing blank.tif, please download from Brovane's web site."},
};

// New files not made: the range, the choice at the Save dialog ("" cancels), the refusal
// or the file a failure names.
const std::tuple<const char*, bool, const char*, QString> notMade[] = {
    {"page, Save dialog cancelled", false, "", ""},
    {"page, the source's own name", false, "source", sourceNameText},
    {"page, a damaged page", false, "damaged", "source.tif"},
    {"page, a read-only folder", false, "locked", "new.tif"},
    {"range, Save dialog cancelled", true, "", ""},
    {"range, the source's own name", true, "source", sourceNameText},
    {"range, a damaged page", true, "damaged", "source.tif"},
    {"range, a read-only folder", true, "locked", "new.tif"},
    {"the source through another spelling", false, "source, spelt another way", sourceNameText},
    {"the source through a link", false, "link", sourceNameText},
    {"temp.tif", false, "temp.tif", workingFileText.arg("temp.tif")},
};

// The range dialog's checks: the mode, Move, the destination's page, the range typed, the
// refusal ("" when the range is taken) and the destination's page count after.
const std::tuple<const char*, int, bool, int, const char*, QString, int> rangeChecks[] = {
    {"From empty", 1, false, 1, ",5", invalidRange, 6},
    {"To empty", 1, false, 1, "3,", invalidRange, 6},
    {"From above To", 1, false, 1, "7,3", rangeOrder, 6},
    {"order before maximum", 1, false, 1, "14,13", rangeOrder, 6},
    {"9 to 10, compared as numbers", 1, false, 1, "9,10", "", 8},
    {"To beyond the source", 1, false, 1, "3,13", rangeMaximum, 6},
    {"From 0", 1, false, 1, "0,5", invalidRange, 6},
    {"a negative From", 1, false, 1, "-2,5", invalidRange, 6},
    {"one page", 1, false, 1, "4,4", "", 7},
    {"halves round to even", 1, false, 1, "2.5,3.5", "", 9},
    {"Copy of every page", 1, false, 1, "1,12", "", 18},
    {"Move of every page", 1, true, 1, "1,12", moveAll, 6},
    {"Move of every page, From rounding to 1", 1, true, 1, "1.4,12", moveAll, 6},
    {"Move of all but one page", 1, true, 1, "2,12", "", 17},
    {"Replace at 4 of 6, 3 pages", 3, false, 4, "1,3", "", 6},
    {"Replace at 4 of 6, 4 pages", 3, false, 4, "1,4", "You can only replace existing pages", 6},
    {"maximum before the Replace fit", 3, false, 4, "1,20", rangeMaximum, 6},
};

// Insert with modifiers, the focus on one of four controls, and the destination's pages after.
const std::tuple<const char*, int, int, QList<int>> insertKeys[] = {
    {"Ctrl: the page shown", Qt::ControlModifier, 0, target + QList{3}},
    {"Alt: the range dialog", Qt::AltModifier, 1, target + labels(2, 4)},
    {"alone", Qt::NoModifier, 2, target},
    {"Shift", Qt::ShiftModifier, 3, target},
    {"Ctrl+Shift", Qt::ControlModifier | Qt::ShiftModifier, 0, target},
    {"Alt+Shift", Qt::AltModifier | Qt::ShiftModifier, 1, target},
    {"Ctrl+Alt", Qt::ControlModifier | Qt::AltModifier, 2, target},
};

// Delete Page on a file of pages pages showing page, the answer (0: prompting off), and the
// pages after.
const std::tuple<const char*, int, int, int, QList<int>> deletions[] = {
    {"page 3 of 5, asked, Yes", 5, 3, MsgYes, {1, 2, 4, 5}},
    {"page 3 of 5, asked, No", 5, 3, MsgNo, five},
    {"prompting off", 5, 5, 0, {1, 2, 3, 4}},
    {"page 1 of 2", 2, 1, 0, {2}},
    {"the last page of a file", 1, 1, 0, {1}},
};

// Reorders in a file of five pages shown at page 3: page,before typed, Copy Page?, the
// answer (0: prompting off), the pages after, the page shown, and the refusal that leaves
// the dialog open.
const std::tuple<const char*, const char*, bool, int, QList<int>, int, QString> reorders[] = {
    {"P 4, I 2", "4,2", false, MsgYes, {1, 4, 2, 3, 5}, 1, ""},
    {"P 2, I 5", "2,5", false, MsgYes, {1, 3, 4, 2, 5}, 1, ""},
    {"P 2, I 3 changes nothing", "2,3", false, MsgYes, five, 1, ""},
    {"P 5, I 1", "5,1", false, MsgYes, {5, 1, 2, 3, 4}, 1, ""},
    {"P 1, I 5", "1,5", false, MsgYes, {2, 3, 4, 1, 5}, 1, ""},
    {"P 3 and 03 pass as different texts", "3,03", false, MsgYes, five, 1, ""},
    {"halves round to even", "4.5,1.5", false, MsgYes, {1, 4, 2, 3, 5}, 1, ""},
    {"prompting off", "4,2", false, 0, {1, 4, 2, 3, 5}, 1, ""},
    {"copy: P 4, I 2", "4,2", true, MsgYes, {1, 4, 2, 3, 4, 5}, 2, ""},
    {"copy: P 1, I 5", "1,5", true, MsgYes, {1, 2, 3, 4, 1, 5}, 5, ""},
    {"the question answered No", "4,2", false, MsgNo, five, 3, ""},
    {"the place left at ?", "3,?", false, MsgYes, five, 3, invalidChoices},
    {"a letter", "x,2", false, MsgYes, five, 3, invalidChoices},
    {"an empty page", ",2", false, MsgYes, five, 3, invalidChoices},
    {"the same text", "3,3", false, MsgYes, five, 3, samePage},
    {"the same text before the range", "9,9", false, MsgYes, five, 3, samePage},
    {"page 0", "0,2", false, MsgYes, five, 3, invalidChoices},
    {"page past the last", "6,2", false, MsgYes, five, 3, invalidChoices},
    {"behind the last page", "2,6", false, MsgYes, five, 3, invalidChoices},
    {"a place below 1", "2,-1", false, MsgYes, five, 3, invalidChoices},
};

// Turns of target.tif shown at page 3: Ctrl with a key for the page shown, or the rotate
// dialog with "from,to" and its option (0 right, 1 left, 2 half round); the answer (0:
// prompting off); the pages turned (count 0: none) and by how many degrees clockwise; the
// refusal that leaves the dialog open.
const std::tuple<const char*, int, const char*, int, int, int, int, int, QString> rotations[] = {
    {"Ctrl+R: right", Qt::Key_R, "", 0, 0, 3, 1, 90, ""},
    {"Ctrl+L: left", Qt::Key_L, "", 0, 0, 3, 1, 270, ""},
    {"Ctrl+U: half round, asked", Qt::Key_U, "", 0, MsgYes, 3, 1, 180, ""},
    {"Ctrl+R answered No", Qt::Key_R, "", 0, MsgNo, 3, 0, 0, ""},
    {"dialog: 2 to 5 left, asked", 0, "2,5", 1, MsgYes, 2, 4, 270, ""},
    {"dialog: every page half round", 0, "1,6", 2, 0, 1, 6, 180, ""},
    {"dialog: one page right", 0, "4,4", 0, 0, 4, 1, 90, ""},
    {"dialog answered No", 0, "2,5", 0, MsgNo, 2, 0, 0, ""},
    {"dialog: To beyond the file", 0, "2,7", 0, 0, 2, 0, 0,
     QStringLiteral("Invalid range selected, maximum is: 6")},
    {"dialog: From above To", 0, "5,2", 0, 0, 2, 0, 0, rangeOrder},
    {"dialog: From 0", 0, "0,2", 0, 0, 2, 0, 0,
     QStringLiteral("Invalid range selected, valid choices are between 1 and 6")},
};

const char* const faults[] = {"a damaged source page", "the destination changed since it was shown",
                              "the source changed since it was shown",
                              "stopped in the progress dialog"};

} // namespace

// The page operations through the main window: the transfers of pages from the source into
// the destination, of the page shown (the transfer button, Ctrl+Insert) or of a range (the
// range dialog, Alt+Insert); their failures, which leave the files as they were, say why
// naming the file, show the file again and take no page from the source; and the deletion
// and reordering of the destination's pages.
class OperationsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(f.reset());
        m_temp = f.programFolder->filePath(QStringLiteral("temp.tif"));
    }

    void eachModeTransfersThePages_data() { addRows(transfers); }

    void eachModeTransfersThePages()
    {
        const auto& [name, mode, move, answer, range, destinationPage, written] = rowOf(transfers);
        f.keep();
        const bool no = answer == MsgNo;
        const bool newFile = mode == ModeNewFile && !no;
        const QString file = newFile ? f.scan(QStringLiteral("new.tif")) : f.target;
        const auto window = f.open(answer != 0, move, 4, destinationPage, mode);
        if (answer != 0)
            f.boxes->answer(answer);
        f.dialogs->choosePath(file);
        const qsizetype dialogsBefore = f.dialogs->requests().size();
        // The range dialog proposes the source's page to its last page, except for a new file.
        QString proposed;
        bool leftOpen = false;
        f.press(*window, range, &leftOpen, &proposed);
        QCOMPARE(proposed, !*range ? "" : mode == ModeNewFile ? "1," : "4,12");
        QCOMPARE(f.boxes->boxes(), answer ? QList<Box>{confirmation(mode)} : QList<Box>());
        QCOMPARE(leftOpen, no && *range);
        // Moved pages left the source, which is shown at page 1; a new file is saved through
        // the Save dialog and shown at page 1, Append selected. Answered No, nothing changes.
        const bool moved = move && !no;
        const QList<int> source =
            moved ? sourceWithout(*range ? 3 : 4, *range ? 5 : 1) : labels(1, 12);
        QCOMPARE(f.changed(), QStringLiteral("%1 %2")
                                  .arg(moved ? "source.tif" : "", no || newFile ? "" : "target.tif")
                                  .trimmed());
        QCOMPARE(labelsOf(f.source), source);
        QCOMPARE(labelsOf(file), written);
        QCOMPARE(f.seen(*window, true), f.showing(true, f.source, source.size(), moved ? 1 : 4));
        QCOMPARE(f.seen(*window, false), f.showing(false, file, written.size(), no ? 2 : 1));
        QCOMPARE(f.pageMode(*window), newFile ? int(ModeAppend) : mode);
        QCOMPARE(QFile::exists(m_temp), newFile && !*range);
        QCOMPARE(f.dialogs->requests().size() - dialogsBefore, newFile ? 1 : 0);
        if (!newFile)
            return;
        const FileDialogService::Request& save = f.dialogs->requests().last();
        QVERIFY(save.mode == FileDialogService::Mode::Save &&
                save.folder == f.programFolder->path() &&
                save.nameFilters == QStringList{QStringLiteral("TIFF Image (*.tif)")});
        QCOMPARE(window->imgDes->notice(), QString());
        QVERIFY(f.listed(*window).contains(QStringLiteral("new.tif")));
        // The Move step names the source to the administration control last.
        QCOMPARE(window->imgAdmSrc->fileName(), move ? f.source : QString());
        // The next press appends the page shown to the new file.
        if (answer != 0)
            f.boxes->answer(MsgYes);
        window->cmdSwap->click();
        QCOMPARE(labelsOf(file), written + QList{move ? 1 : 4});
        QCOMPARE(f.dialogs->requests().size() - dialogsBefore, 1);
    }

    void aTransferWithoutSourceOrDestination_data() { addRows(withouts); }

    void aTransferWithoutSourceOrDestination()
    {
        const auto& [name, range, blank, source, choice, text] = rowOf(withouts);
        if (!blank)
            QVERIFY(QFile::remove(f.programFolder->filePath(QStringLiteral("blank.tif"))));
        f.keep();
        // Prompting is on without a source: the user is told, nothing asked.
        const auto window = f.open(!source, true, source ? 4 : 0, 0, 0);
        f.dialogs->cancel(); // the page-mode group's own chooser
        OperationsFixture::chooseMode(*window, ModeAppend);
        if (choice == QLatin1String("cancel"))
            f.dialogs->cancel();
        else if (*choice)
            f.dialogs->choosePath(f.scan(choice));
        if (!text.isEmpty())
            f.boxes->answer(MsgOk);
        // The range dialog opens once the checks pass, a destination chosen or not.
        QCOMPARE(f.press(*window, range ? "4,4" : ""), range && text.isEmpty() ? 1 : 0);
        QCOMPARE(f.boxes->boxes(), told(text));
        QCOMPARE(f.dialogs->unexpected(), 0);
        const bool written = choice == QLatin1String("target.tif");
        QCOMPARE(window->imgDes->image(), written ? f.target : QString());
        QVERIFY(!window->flags.SameFileRefused);
        QCOMPARE(f.changed(), written ? "source.tif target.tif" : "");
        if (written) {
            QCOMPARE(labelsOf(f.target), target + QList{4});
            QCOMPARE(labelsOf(f.source), sourceWithout(4, 1));
        }
    }

    void theOnlyPageOfASourceIsCopiedButNotMoved()
    {
        QVERIFY(writeLabelled(f.source, {9}));
        f.keep();
        const auto window = f.open(false, true, 1, 2, ModeAppend);
        f.boxes->answer(MsgOk);
        f.press(*window);
        QCOMPARE(f.changed(), QStringLiteral("target.tif"));
        QCOMPARE(labelsOf(f.target), target + QList{9});
        QCOMPARE(f.boxes->boxes(), told(lastPageText, MsgIcon::Exclamation));
        QCOMPARE(window->imgSrc->image(), f.source);
    }

    void aNewFileThatIsNotMadeTakesNothingFromTheSource_data() { addRows(notMade); }

    void aNewFileThatIsNotMadeTakesNothingFromTheSource()
    {
        const auto& [name, range, choice, text] = rowOf(notMade);
        const bool damaged = choice == QLatin1String("damaged");
        QVERIFY(!damaged || f.damageSource());
        f.keep();
        const QString blank = f.programFolder->filePath(QStringLiteral("blank.tif"));
        const QByteArray blankBefore = f.bytesOf(blank);
        const QString locked = f.folder(QStringLiteral("locked"));
        const QMap<QString, QString> paths{
            {QStringLiteral("source"), f.source},
            {QStringLiteral("source, spelt another way"),
             f.dir(QStringLiteral("scans/../scans/source.tif"))},
            {QStringLiteral("link"), f.dir(QStringLiteral("link.tif"))},
            {QStringLiteral("locked"), locked + QDir::separator() + QStringLiteral("new.tif")}};
        const QString chosen = paths.value(choice, f.programFolder->filePath(choice));
        QVERIFY(choice != QLatin1String("link") || QFile::link(f.source, chosen));
        QVERIFY(choice != QLatin1String("locked") ||
                QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const auto window = f.open(false, true, 4, 0, ModeNewFile);
        // A temp.tif left by an earlier transfer, of another page.
        QVERIFY(writeLabelled(m_temp, {2}));
        if (!*choice)
            f.dialogs->cancel();
        else if (!damaged)
            f.dialogs->choosePath(chosen);
        if (!text.isEmpty())
            f.boxes->answer(MsgOk);
        bool leftOpen = true;
        f.press(*window, range ? "2,4" : "", &leftOpen);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
        QCOMPARE(leftOpen, !range);
        QCOMPARE(f.boxes->boxes(),
                 damaged || choice == QLatin1String("locked") ? failureNaming(text) : told(text));
        QCOMPARE(f.dialogs->requests().size(), damaged ? 0 : 1);
        QCOMPARE(f.changed(), QString());
        QCOMPARE(f.bytesOf(blank), blankBefore);
        QVERIFY(choice != QLatin1String("locked") || !QFile::exists(chosen));
        QCOMPARE(f.seen(*window, false), f.showing(false, QString(), 0, 0));
        QCOMPARE(f.seen(*window, true), f.showing(true, f.source, 12, 4));
        QCOMPARE(window->imgAdmSrc->fileName(), QString());
        QCOMPARE(f.pageMode(*window), int(ModeNewFile));
        QVERIFY(!window->flags.SameFileRefused && !window->flags.NewFileRefused);
        // The working file: the single page extracted, or as it was after a failure; a
        // range's is removed.
        QCOMPARE(labelsOf(m_temp), range ? QList<int>() : QList{damaged ? 2 : 4});
    }

    // On a disk that tells letter case apart, a name in other letters is another file.
    void aNewFileNamedLikeTheSourceOrAWorkingFileInOtherLettersIsMade()
    {
        if (QFileInfo::exists(f.dir(QStringLiteral("SCANS"))))
            QSKIP("the temporary folder's disk ignores letter case");
        const QString blank = f.programFolder->filePath(QStringLiteral("blank.tif"));
        const QByteArray blankBefore = f.bytesOf(blank);
        for (const QString& chosen : {f.scan(QStringLiteral("Source.tif")),
                                      f.programFolder->filePath(QStringLiteral("TEMP.TIF")),
                                      f.programFolder->filePath(QStringLiteral("Blank.tif"))}) {
            const auto window = f.open(false, false, 4, 0, ModeNewFile);
            f.dialogs->choosePath(chosen);
            f.press(*window);
            QCOMPARE(f.boxes->boxes(), QList<Box>());
            QCOMPARE(labelsOf(chosen), QList{4});
        }
        QCOMPARE(labelsOf(f.source), labels(1, 12));
        QCOMPARE(f.bytesOf(blank), blankBefore);
    }

    void aRefusalLeftByThePageModeGroupDoesNotStopALaterTransfer()
    {
        for (const bool range : {false, true}) {
            QVERIFY(f.reset());
            const auto window = f.open(false, true, 4, 0, 0);
            // Choosing Insert asks for a destination; the source is refused as one.
            f.dialogs->choosePath(f.source);
            f.boxes->answer(MsgOk);
            OperationsFixture::chooseMode(*window, ModeInsert);
            f.show(*window, false, QStringLiteral("target.tif"), 2);
            OperationsFixture::chooseMode(*window, ModeInsert);
            f.press(*window, range ? "4,4" : "");
            QCOMPARE(f.boxes->boxes(), told(sameFileText));
            QCOMPARE(labelsOf(f.target), (QList{21, 4, 22, 23, 24, 25, 26}));
            QCOMPARE(labelsOf(f.source), sourceWithout(4, 1));
        }
    }

    void theRangeChecksRunInOrder_data() { addRows(rangeChecks); }

    void theRangeChecksRunInOrder()
    {
        const auto& [name, mode, move, destinationPage, range, refusal, pages] = rowOf(rangeChecks);
        f.keep();
        const auto window = f.open(false, move, 1, destinationPage, mode);
        if (!refusal.isEmpty())
            f.boxes->answer(MsgOk);
        bool leftOpen = false;
        QCOMPARE(f.press(*window, range, &leftOpen), 1);
        QCOMPARE(f.boxes->boxes(), told(refusal));
        QCOMPARE(leftOpen, !refusal.isEmpty());
        QCOMPARE(labelsOf(f.target).size(), pages);
        QVERIFY(refusal.isEmpty() || f.changed().isEmpty());
    }

    void theRangeBoxesTakeOnlyNumbersAndOkHasTheFocus()
    {
        const auto window = f.start();
        frmRange dialog(*window);
        const auto typed = [&](const QString& keys) {
            dialog.txtTo->clear();
            QTest::keyClicks(dialog.txtTo, keys);
            return dialog.txtTo->text();
        };
        dialog.txtFrom->setText(QStringLiteral("-3")); // pasted
        const QString pasted = dialog.txtFrom->text();
        dialog.txtFrom->setText(QStringLiteral("3x"));
        // A blank or a minus sign alone is no number.
        QCOMPARE((QStringList{pasted, dialog.txtFrom->text(), typed(" 12"), typed("12e"),
                              typed("-2.5")}),
                 (QStringList{"-3", "", "12", "", "2.5"}));
        QCOMPARE(dialog.focusWidget(), dialog.cmdOK);
    }

    // Ctrl+Insert and Alt+Insert start the two transfers whichever control has the focus.
    void insertWithCtrlOrAltStartsATransfer_data() { addRows(insertKeys); }

    void insertWithCtrlOrAltStartsATransfer()
    {
        const auto& [name, modifiers, focus, written] = rowOf(insertKeys);
        const auto window = active(3);
        const QList<QWidget*> controls{window->txtPageSrc, window->TiffFileList, window->cmdZoomIn,
                                       window->txtPageDes};
        controls.at(focus)->setFocus();
        const auto keys = Qt::KeyboardModifiers(modifiers);
        const auto typeRange = [](frmRange& dialog) {
            typeInto(dialog, dialog.txtFrom, dialog.txtTo, "2,4");
        };
        const auto press = [&] {
            QTest::keyClick(window->windowHandle(), Qt::Key_Insert, keys);
        };
        QCOMPARE(drive<frmRange>(press, typeRange), modifiers == Qt::AltModifier ? 1 : 0);
        QCOMPARE(labelsOf(f.target), written);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void aHeldKeyStartsOneTransfer()
    {
        const auto window = active(2);
        // A held key repeats its press and release, the repeats marked as such.
        QWindow* platformWindow = window->windowHandle();
        QTest::keyPress(platformWindow, Qt::Key_Insert, Qt::ControlModifier);
        for (int repeat = 0; repeat < 3; ++repeat) {
            for (const QEvent::Type type : {QEvent::KeyRelease, QEvent::KeyPress}) {
                QKeyEvent event(type, Qt::Key_Insert, Qt::ControlModifier, QString(), true);
                QCoreApplication::sendEvent(platformWindow, &event);
            }
        }
        QCOMPARE(labelsOf(f.target), target);
        QTest::keyRelease(platformWindow, Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(labelsOf(f.target), target + QList{2});
    }

    void aLongOperationShowsTheProgressDialogWhileTheWindowWaits()
    {
        // Large pages, written off the window's thread under the real progress dialog.
        QList<TestTiff::Page> pages;
        for (int page = 1; page <= 8; ++page)
            pages.append(TestTiff::plain(2000, 2000, std::uint8_t(page * 20)));
        QVERIFY(TestTiff::write(f.scan(QStringLiteral("large.tif")), pages));
        f.threadedProgress.emplace(std::chrono::milliseconds(0));
        const auto window = f.start();
        QVERIFY(f.show(*window, true, QStringLiteral("large.tif"), 1));
        f.show(*window, false, QStringLiteral("target.tif"), 2);
        OperationsFixture::chooseMode(*window, ModeAppend);

        // The probe runs while the window waits for the operation.
        QString label;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            if (auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget()))
                label = dialog->labelText();
        });
        probe.start(1);
        OperationsFixture::press(*window, QStringLiteral("1,8"));
        probe.stop();

        QCOMPARE(label, QStringLiteral("Writing target.tif..."));
        QCOMPARE(f.seen(*window, false), f.showing(false, f.target, 14, 1));
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void aDoubleClickRunsOneOperationPerClickOnWhatTheWindowShows()
    {
        const auto window = f.open(false, true, 4, 1, ModeAppend);
        QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {},
                           window->cmdSwap->mapTo(window.get(), window->cmdSwap->rect().center()));
        // The second click moves the page the source shows after the first: page 1.
        QCOMPARE(labelsOf(f.target), (target + QList{4, 1}));
        QCOMPARE(labelsOf(f.source), sourceWithout(4, 1).mid(1));
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void aClickWhileAnOperationRunsWaitsForIt()
    {
        // Taken after the first, or dropped when the window is closed after the click.
        for (const bool close : {false, true}) {
            QVERIFY(f.reset());
            const QList<int> written = target + (close ? QList{4} : QList{4, 1});
            const auto window = f.open(false, true, 4, 1, ModeAppend);
            // A click handled by a loop running while the first transfer writes.
            bool clicked = false;
            QList<int> targetAtTheClick;
            bool openAfterTheClose = false;
            f.progress->onReport([&] {
                if (std::exchange(clicked, true))
                    return;
                window->cmdSwap->click();
                targetAtTheClick = labelsOf(f.target);
                if (close) {
                    window->close();
                    openAfterTheClose = window->isVisible();
                }
            });

            window->cmdSwap->click();
            QVERIFY(clicked);
            QCOMPARE(targetAtTheClick, target);
            QCOMPARE(openAfterTheClose, close);
            // The Move ends whole before anything else happens.
            QCOMPARE(labelsOf(f.target), written.mid(0, 7));
            QTRY_COMPARE(labelsOf(f.target), written);
            QCOMPARE(labelsOf(f.source), sourceWithout(4, 1).mid(close ? 0 : 1));
            if (close) {
                QTRY_VERIFY(!window->isVisible());
                QTest::qWait(20);
                QCOMPARE(labelsOf(f.target), written);
            }
            QVERIFY(f.boxes->boxes().isEmpty());
        }
    }

    void aFileAnotherProgramChangesIsWaitedForVisiblyAndTheWaitMayBeCancelled()
    {
        f.threadedProgress.emplace(std::chrono::milliseconds(0));
        const auto window = f.open(false, true, 4, 1, ModeAppend);
        FileLocks other; // another program changing target.tif
        QVERIFY(other.lock(FileLayer::system(), f.target.toStdString(), {}));
        int waits = 0; // the first wait is cancelled; during the second, the other ends
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
            if (dialog && dialog->labelText().startsWith("target.tif is being changed by another "
                                                         "program; waiting for it to finish"))
                ++waits == 1 ? dialog->findChild<QPushButton*>()->click() : other.release();
        });
        probe.start(5);
        window->cmdSwap->click();
        QCOMPARE(f.boxes->texts(), QStringList{QStringLiteral(
                                       "The operation was stopped; target.tif is unchanged.")});
        QCOMPARE(labelsOf(f.target), target);
        window->cmdSwap->click();
        QCOMPARE(labelsOf(f.source), sourceWithout(4, 1));
        QCOMPARE(labelsOf(f.target), target + QList{4});
    }

    void aFailedOperationChangesNoFileAndMovesNothing_data()
    {
        QTest::addColumn<QString>("operation"); // a page mode, Delete Page or Reorder
        QTest::addColumn<bool>("range");
        QTest::addColumn<int>("fault"); // of faults; the odd ones are the destination's
        const char* modes[] = {"Append", "Insert", "Replace"};
        for (int mode = 0; mode < 3; ++mode)
            for (int i = 0; i < 4; ++i) {
                // Each fault in each mode, through the button and the range dialog in turn.
                const bool range = (mode + i) % 2;
                QTest::addRow("%s, %s, %s", modes[mode], range ? "range" : "page", faults[i])
                    << QString::fromLatin1(modes[mode]) << range << i;
            }
        for (const char* operation : {"Delete Page", "Reorder", "Reorder, Copy Page?"})
            QTest::newRow(operation) << QString::fromLatin1(operation) << false << 1;
    }

    void aFailedOperationChangesNoFileAndMovesNothing()
    {
        QFETCH(QString, operation);
        QFETCH(bool, range);
        QFETCH(int, fault);
        QVERIFY(fault != 0 || f.damageSource());
        const int mode = operation == QLatin1String("Insert")    ? ModeInsert
                         : operation == QLatin1String("Replace") ? ModeReplace
                                                                 : ModeAppend;
        const auto window = f.open(false, true, 4, 2, mode);
        if (fault == 1)
            QVERIFY(writeLabelled(f.target, {31, 32, 33}));
        else if (fault == 2)
            QVERIFY(writeLabelled(f.source, {41, 42, 43, 44}));
        else if (fault == 3)
            f.progress->stopAtReport(1);
        f.keep();
        f.boxes->answer(MsgOk);
        if (operation == QLatin1String("Delete Page"))
            window->cmdDelPage->click();
        else if (operation.startsWith(QLatin1String("Reorder")))
            QCOMPARE(reorder(*window, QStringLiteral("2,1"), operation.endsWith(u'?')), 1);
        else
            QCOMPARE(f.press(*window, range ? "4,4" : ""), range ? 1 : 0);
        QCOMPARE(f.changed(), QString());
        QCOMPARE(f.boxes->boxes(), failureNaming(fault % 2 ? "target.tif" : "source.tif"));
        // The destination is shown again as it is on disk, at the page it showed.
        QCOMPARE(f.seen(*window, false), f.showing(false, f.target, labelsOf(f.target).size(), 2));
        QVERIFY(!window->flags.SameFileRefused);
    }

    void deletingTheDestinationPage_data() { addRows(deletions); }

    void deletingTheDestinationPage()
    {
        const auto& [name, pages, page, answer, after] = rowOf(deletions);
        QVERIFY(writeLabelled(f.target, labels(1, pages)));
        const QByteArray before = f.bytesOf(f.target);
        const auto window = f.open(answer != 0, false, 0, page, 0);
        if (answer != 0)
            f.boxes->answer(answer);
        window->cmdDelPage->click();
        const auto question = asked(QStringLiteral("Do you really want to delete this page?"));
        QCOMPARE(f.boxes->boxes(), (answer ? QList{question} : QList<Box>()) +
                                       told(pages == 1 ? lastPageText : "", MsgIcon::Exclamation));
        QCOMPARE(labelsOf(f.target), after);
        QVERIFY(pages != 1 || f.bytesOf(f.target) == before);
        QCOMPARE(f.seen(*window, false),
                 f.showing(false, f.target, after.size(), after.size() < pages ? 1 : page));
    }

    void reorderingMovesOrCopiesAPageBeforeAnother_data() { addRows(reorders); }

    void reorderingMovesOrCopiesAPageBeforeAnother()
    {
        const auto& [name, order, copy, answer, after, shown, refusal] = rowOf(reorders);
        QVERIFY(writeLabelled(f.target, five));
        f.keep();
        const auto window = f.open(answer != 0, false, 0, 3, 0);
        if (answer != 0)
            f.boxes->answer(refusal.isEmpty() ? answer : MsgOk);
        bool leftOpen = true;
        QString opened;
        QCOMPARE(reorder(*window, order, copy, &leftOpen, &opened), 1);
        QCOMPARE(opened, QStringLiteral("3,? unticked, the page box has the focus"));
        QCOMPARE(leftOpen, !refusal.isEmpty() || answer == MsgNo);
        QCOMPARE(f.boxes->boxes(), !refusal.isEmpty() ? told(refusal)
                                   : answer           ? QList<Box>{asked(reorderQuestion)}
                                                      : QList<Box>());
        QCOMPARE(labelsOf(f.target), after);
        QVERIFY(!leftOpen || f.changed().isEmpty());
        QCOMPARE(f.seen(*window, false), f.showing(false, f.target, after.size(), shown));
    }

    // An installed copy's program folder cannot be written: with no folder stored, the
    // dialogs start in the user's documents folder, and Settings repairs to it.
    void aProgramFolderThatCannotBeWrittenSendsTheDialogsToTheDocuments()
    {
        const QString documents = f.folder(QStringLiteral("Documents"));
        f.programFolder.emplace(f.programFolder->path(), documents, f.folder("own"));
        f.settings->write(SettingsStore::SrcDir, QString());
        const auto window = f.start();
        f.dialogs->cancel(), f.folders->cancel();
        window->cmdOpenDes->click(), window->cmdBrowseSrc->click();
        window->openFiles({f.source});
        f.chooseMode(*window, ModeNewFile);
        f.dialogs->cancel();
        f.press(*window);
        // The two repairs, and Yes to leaving without saving.
        f.boxes->answer(MsgOk), f.boxes->answer(MsgOk), f.boxes->answer(MsgYes);
        QCOMPARE(drive<frmSettings>([&] { window->mnuSettings->trigger(); }), 1);
        QStringList starts{f.folders->requests().value(0).start};
        for (const FileDialogService::Request& request : f.dialogs->requests())
            starts << request.folder;
        QCOMPARE(starts, QStringList(3, documents));
        QCOMPARE(f.stored().mid(0, 2), QStringList(2, documents));
        QCOMPARE(f.boxes->unexpected(), 0);
    }

    void rotatingTurnsTheDestinationsPagesAndShowsTheSamePage_data() { addRows(rotations); }

    void rotatingTurnsTheDestinationsPagesAndShowsTheSamePage()
    {
        const auto& [name, key, range, option, answer, first, count, degrees, refusal] =
            rowOf(rotations);
        // Pages that no turn leaves alike, and the file as the engine turns them.
        TestTiff::Page page = TestTiff::plain(24, 16, 0);
        page.pixel = [](std::uint32_t x, std::uint32_t y) {
            return std::uint8_t(x * 9 + y);
        };
        QVERIFY(TestTiff::write(f.target, QList<TestTiff::Page>(6, page)));
        const QString expected = f.scan(QStringLiteral("expected.tif"));
        QVERIFY(QFile::copy(f.target, expected));
        if (count > 0)
            PageEngine().rotatePages(EngineCall::toPath(expected), first, count, degrees);
        const auto window = f.open(answer != 0, false, 1, 3, 0);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        if (answer != 0)
            f.boxes->answer(refusal.isEmpty() ? answer : MsgOk);
        bool leftOpen = false;
        if (key != 0) {
            QTest::keyClick(window->windowHandle(), Qt::Key(key), Qt::ControlModifier);
        } else {
            const QString typed = QString::fromLatin1(range);
            const int opt = option;
            QCOMPARE(drive<frmRotate>([&] { window->mnuRotatePages->trigger(); },
                                      [&](frmRotate& dialog) {
                                          dialog.optTurn[std::size_t(opt)]->setChecked(true);
                                          typeInto(dialog, dialog.txtFrom, dialog.txtTo, typed,
                                                   &leftOpen);
                                      }),
                     1);
        }
        const Box question = key ? asked(QStringLiteral("Do you really want to rotate this page?"))
                                 : Box{QStringLiteral("Do you really want to rotate page(s)?"),
                                       QStringLiteral("Confirm"), MsgButtons::YesNo, MsgIcon::None};
        QCOMPARE(f.boxes->boxes(), !refusal.isEmpty() ? told(refusal)
                                   : answer           ? QList<Box>{question}
                                                      : QList<Box>());
        QCOMPARE(leftOpen, !refusal.isEmpty() || (key == 0 && answer == MsgNo));
        QCOMPARE(f.bytesOf(f.target), f.bytesOf(expected));
        QCOMPARE(f.seen(*window, false), f.showing(false, f.target, 6, 3));
    }

    void withoutADestination()
    {
        const auto window = f.start(true);
        // Delete Page and Rotate Page do nothing, not even to the page box.
        window->txtPageDes->setText(QStringLiteral("7"));
        window->mnuRotateRight->trigger();
        window->cmdDelPage->click();
        QCOMPARE(f.pane(*window, false), (QStringList{"", "Destination Image", "7"}));
        // Reorder lets the user choose one first: cancelled, no dialog; chosen, the dialog.
        f.dialogs->cancel();
        f.dialogs->choosePath(f.target);
        QCOMPARE(drive<frmReorder>([&] { window->cmdReorder->click(); }), 0);
        QCOMPARE(drive<frmReorder>([&] { window->cmdReorder->click(); }), 1);
        QCOMPARE(f.dialogs->requests().size(), 2);
        QVERIFY(!window->flags.DestinationOpened);
        // The dialog made without one says so and closes.
        window->cmdCloseDes->click();
        QVERIFY(f.boxes->boxes().isEmpty());
        f.boxes->answer(MsgOk);
        frmReorder dialog(*window);
        QCOMPARE(f.boxes->boxes(), told(QStringLiteral("You must choose a Destination image.")));
        QCOMPARE(drive<frmReorder>([&] { QCOMPARE(dialog.exec(), int(QDialog::Rejected)); }), 0);
    }

private:
    // The window active, showing the source's page and the destination, Append selected.
    std::unique_ptr<Tessary> active(int sourcePage)
    {
        auto window = f.open(false, false, sourcePage, 1, ModeAppend);
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            qWarning("the window did not become active");
        return window;
    }

    // The one box that tells a failure naming the file.
    QList<Box> failureNaming(const QString& name) const
    {
        const QString text = f.boxes->texts().value(0);
        return told(text.contains(name) ? text : "a failure naming " + name, MsgIcon::Exclamation);
    }

    OperationsFixture f;
    QString m_temp;
};

QTEST_MAIN(OperationsTest)
#include "OperationsTest.moc"
