#include "ImagingAdmin.h"
#include "OperationsFixture.h"
#include "TestTiff.h"
#include "frmRange.h"
#include "frmReorder.h"

#include <QCheckBox>
#include <QProgressDialog>
#include <QWindow>
#include <chrono>
#include <cmath>

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
    QList<int> left = LabelledPages::run(1, 12);
    left.remove(first - 1, count);
    return left;
}

const QString reorderQuestion = QStringLiteral("Do you really wish to reorder these pages?");

const char* const faults[] = {"a damaged source page", "the destination changed since it was shown",
                              "the source changed since it was shown",
                              "stopped in the progress dialog"};

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

    void eachModeTransfersThePages_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("move");
        QTest::addColumn<int>("answer");    // to the question; 0: prompting off
        QTest::addColumn<QString>("range"); // typed in the range dialog; "" for the page shown
        QTest::addColumn<int>("destinationPage"); // 0: no destination open
        QTest::addColumn<QList<int>>("written");  // the destination's pages or the new file's
        const QList<int> appended{21, 22, 23, 24, 25, 26, 4};
        const QList<int> inserted{21, 22, 4, 23, 24, 25, 26};
        const QList<int> replaced{21, 22, 4, 24, 25, 26};
        const QList<int> three{21, 22, 23, 24, 25, 26, 3, 4, 5, 6, 7};
        const QList<int> overTwo{21, 3, 4, 5, 6, 7};
        const QList<int> run = LabelledPages::run(3, 7);
        const int yes = MsgYes;
        QTest::newRow("Append, Copy") << 1 << false << 0 << "" << 3 << appended;
        QTest::newRow("Append, Move, asked") << 1 << true << yes << "" << 3 << appended;
        QTest::newRow("Append at page 1 still at the end")
            << 1 << false << yes << "" << 1 << appended;
        QTest::newRow("Insert at 3, Copy, asked") << 2 << false << yes << "" << 3 << inserted;
        QTest::newRow("Insert at 3, Move") << 2 << true << 0 << "" << 3 << inserted;
        QTest::newRow("Insert at page 1")
            << 2 << false << 0 << "" << 1 << QList<int>{4, 21, 22, 23, 24, 25, 26};
        QTest::newRow("Replace at 3, Copy") << 3 << false << 0 << "" << 3 << replaced;
        QTest::newRow("Replace at 3, Move, asked") << 3 << true << yes << "" << 3 << replaced;
        QTest::newRow("Replace the last page")
            << 3 << false << 0 << "" << 6 << QList<int>{21, 22, 23, 24, 25, 4};
        QTest::newRow("New File, Copy, asked") << 4 << false << yes << "" << 0 << QList<int>{4};
        QTest::newRow("New File, Move") << 4 << true << 0 << "" << 0 << QList<int>{4};
        QTest::newRow("range, Append, Copy, asked") << 1 << false << yes << "3,7" << 4 << three;
        QTest::newRow("range, Append, Move") << 1 << true << 0 << "3,7" << 4 << three;
        QTest::newRow("range, Insert at 4, Move, asked")
            << 2 << true << yes << "3,7" << 4 << QList<int>{21, 22, 23, 3, 4, 5, 6, 7, 24, 25, 26};
        QTest::newRow("range, Replace from 2, Copy") << 3 << false << 0 << "3,7" << 2 << overTwo;
        QTest::newRow("range, Replace from 2, Move, asked")
            << 3 << true << yes << "3,7" << 2 << overTwo;
        QTest::newRow("range, New File, Copy") << 4 << false << 0 << "3,7" << 0 << run;
        QTest::newRow("range, New File, Move, asked") << 4 << true << yes << "3,7" << 0 << run;
        // Answered No: nothing is written, and the range dialog stays open.
        for (const char* range : {"", "3,5"})
            for (int mode = ModeAppend; mode <= ModeNewFile; ++mode)
                QTest::addRow("mode %d%s, answered No", mode, *range ? ", range" : "")
                    << mode << true << int(MsgNo) << QString::fromLatin1(range) << 2
                    << LabelledPages::run(21, 26);
    }

    void eachModeTransfersThePages()
    {
        QFETCH(int, mode);
        QFETCH(bool, move);
        QFETCH(int, answer);
        QFETCH(QString, range);
        QFETCH(int, destinationPage);
        QFETCH(QList<int>, written);
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
        QStringList proposed;
        bool leftOpen = false;
        drive<frmRange>([&] { (range.isEmpty() ? window->cmdSwap : window->cmdRange)->click(); },
                        [&](frmRange& dialog) {
                            proposed = QStringList{dialog.txtFrom->text(), dialog.txtTo->text()};
                            typeInto(dialog, dialog.txtFrom, dialog.txtTo, range, &leftOpen);
                        });
        QCOMPARE(proposed.join(QLatin1Char(',')), range.isEmpty()       ? QString()
                                                  : mode == ModeNewFile ? "1,"
                                                                        : "4,12");
        QCOMPARE(f.boxes->boxes(), answer ? QList<Box>{confirmation(mode)} : QList<Box>());
        QCOMPARE(leftOpen, no && !range.isEmpty());
        // Moved pages left the source, which is shown at page 1; a new file is saved through
        // the Save dialog and shown at page 1, Append selected. Answered No, nothing changes.
        const bool moved = move && !no;
        const QList<int> source =
            moved ? sourceWithout(range.isEmpty() ? 4 : 3, range.isEmpty() ? 1 : 5)
                  : LabelledPages::run(1, 12);
        QCOMPARE(f.changed(), QStringLiteral("%1 %2")
                                  .arg(moved ? "source.tif" : "", no || newFile ? "" : "target.tif")
                                  .trimmed());
        QCOMPARE(LabelledPages::of(f.source), source);
        QCOMPARE(LabelledPages::of(file), written);
        QCOMPARE(f.seen(*window, true), f.showing(true, f.source, source.size(), moved ? 1 : 4));
        QStringList destination = f.showing(false, file, written.size(), no ? 2 : 1);
        if (range.isEmpty() && !newFile && !no)
            destination[2] = QString::number(destinationPage); // the page box is left as it was
        QCOMPARE(f.seen(*window, false), destination);
        QCOMPARE(f.pageMode(*window), newFile ? int(ModeAppend) : mode);
        QCOMPARE(QFile::exists(m_temp), newFile && range.isEmpty());
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
        QCOMPARE(LabelledPages::of(file), written + QList<int>{move ? 1 : 4});
        QCOMPARE(f.dialogs->requests().size() - dialogsBefore, 1);
    }

    void aTransferWithoutSourceOrDestination_data()
    {
        QTest::addColumn<bool>("range");
        QTest::addColumn<bool>("blank");     // blank.tif in the program folder
        QTest::addColumn<bool>("source");    // a source shown
        QTest::addColumn<QString>("choice"); // at the destination chooser, "cancel" or none
        QTest::addColumn<QString>("text");
        for (const bool range : {false, true}) {
            const char* kind = range ? "range" : "page";
            QTest::addRow("%s, no source", kind) << range << true << false << "" << noSourceText;
            QTest::addRow("%s, cancelled", kind) << range << true << true << "cancel" << QString();
            QTest::addRow("%s, a file chosen", kind)
                << range << true << true << "target.tif" << QString();
            QTest::addRow("%s, the source chosen", kind)
                << range << true << true << "source.tif" << sameFileText;
        }
        QTest::newRow("range, blank.tif missing")
            << true << false << true << ""
            << QStringLiteral(
                   "You are missing blank.tif, please download from Brovane's web site.");
    }

    void aTransferWithoutSourceOrDestination()
    {
        QFETCH(bool, range);
        QFETCH(bool, blank);
        QFETCH(bool, source);
        QFETCH(QString, choice);
        QFETCH(QString, text);
        if (!blank)
            QVERIFY(QFile::remove(f.programFolder->filePath(QStringLiteral("blank.tif"))));
        f.keep();
        // Prompting is on without a source: the user is told, nothing asked.
        const auto window = f.open(!source, true, source ? 4 : 0, 0, 0);
        f.dialogs->cancel(); // the page-mode group's own chooser
        OperationsFixture::chooseMode(*window, ModeAppend);
        if (choice == QLatin1String("cancel"))
            f.dialogs->cancel();
        else if (!choice.isEmpty())
            f.dialogs->choosePath(f.scan(choice));
        if (!text.isEmpty())
            f.boxes->answer(MsgOk);
        // The range dialog opens once the checks pass, a destination chosen or not.
        QCOMPARE(f.press(*window, range ? QStringLiteral("4,4") : QString()),
                 range && text.isEmpty() ? 1 : 0);
        QCOMPARE(f.boxes->boxes(), told(text));
        QCOMPARE(f.dialogs->unexpected(), 0);
        const bool written = choice == QLatin1String("target.tif");
        QCOMPARE(window->imgDes->image(), written ? f.target : QString());
        QVERIFY(!window->flags.SameFileRefused);
        QCOMPARE(f.changed(), written ? "source.tif target.tif" : "");
        if (written) {
            QCOMPARE(LabelledPages::of(f.target), (QList<int>{21, 22, 23, 24, 25, 26, 4}));
            QCOMPARE(LabelledPages::of(f.source), sourceWithout(4, 1));
        }
    }

    void theOnlyPageOfASourceIsCopiedButNotMoved()
    {
        QVERIFY(LabelledPages::write(f.source, {9}));
        f.keep();
        const auto window = f.open(false, true, 1, 2, ModeAppend);
        f.boxes->answer(MsgOk);
        f.press(*window);
        QCOMPARE(f.changed(), QStringLiteral("target.tif"));
        QCOMPARE(LabelledPages::of(f.target), (QList<int>{21, 22, 23, 24, 25, 26, 9}));
        QCOMPARE(f.boxes->boxes(),
                 told(QStringLiteral("You cannot delete the last page of a file."),
                      MsgIcon::Exclamation));
        QCOMPARE(window->imgSrc->image(), f.source);
    }

    void aNewFileThatIsNotMadeTakesNothingFromTheSource_data()
    {
        QTest::addColumn<bool>("range");
        QTest::addColumn<QString>("choice"); // at the Save dialog; "" cancels
        QTest::addColumn<QString>("text");   // the refusal, or the file a failure names
        for (const bool range : {false, true}) {
            const char* kind = range ? "range" : "page";
            QTest::addRow("%s, Save dialog cancelled", kind) << range << QString() << QString();
            QTest::addRow("%s, the source's own name", kind) << range << "source" << sourceNameText;
            QTest::addRow("%s, a damaged page", kind)
                << range << "damaged" << QStringLiteral("source.tif");
            QTest::addRow("%s, a read-only folder", kind)
                << range << "locked" << QStringLiteral("new.tif");
        }
        QTest::newRow("the source through another spelling")
            << false << "source, spelt another way" << sourceNameText;
        QTest::newRow("the source through a link") << false << "link" << sourceNameText;
        QTest::newRow("temp.tif") << false << "temp.tif" << workingFileText.arg("temp.tif");
        QTest::newRow("blank.tif, in other letters")
            << false << "BLANK.TIF" << workingFileText.arg("blank.tif");
    }

    void aNewFileThatIsNotMadeTakesNothingFromTheSource()
    {
        QFETCH(bool, range);
        QFETCH(QString, choice);
        QFETCH(QString, text);
        const bool damaged = choice == QLatin1String("damaged");
        if (damaged)
            QVERIFY(f.writeBytes(f.source,
                                 LabelledPages::withDamagedPage(LabelledPages::run(1, 12), 4)));
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
        QVERIFY(LabelledPages::write(m_temp, {2}));
        if (choice.isEmpty())
            f.dialogs->cancel();
        else if (!damaged)
            f.dialogs->choosePath(chosen);
        if (!text.isEmpty())
            f.boxes->answer(MsgOk);
        bool leftOpen = true;
        f.press(*window, range ? QStringLiteral("2,4") : QString(), &leftOpen);
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
        QCOMPARE(leftOpen, !range);
        if (damaged || choice == QLatin1String("locked"))
            QVERIFY2(toldFailureOf(text), qPrintable(f.boxes->texts().join(QLatin1Char('|'))));
        else
            QCOMPARE(f.boxes->boxes(), told(text));
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
        QCOMPARE(LabelledPages::of(m_temp), range ? QList<int>() : QList<int>{damaged ? 2 : 4});
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
            f.showDestination(*window, QStringLiteral("target.tif"), 2);
            OperationsFixture::chooseMode(*window, ModeInsert);
            f.press(*window, range ? QStringLiteral("4,4") : QString());
            QCOMPARE(f.boxes->boxes(), told(sameFileText));
            QCOMPARE(LabelledPages::of(f.target), (QList<int>{21, 4, 22, 23, 24, 25, 26}));
            QCOMPARE(LabelledPages::of(f.source), sourceWithout(4, 1));
        }
    }

    void theRangeChecksRunInOrder_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("move");
        QTest::addColumn<int>("destinationPage");
        QTest::addColumn<QString>("range");
        QTest::addColumn<QString>("refusal"); // "" when the range is taken
        const QString invalid =
            QStringLiteral("Invalid range selected, valid choices are between 1 and 12");
        const QString order =
            QStringLiteral("Invalid range selected, 'From' value is greater than the 'To value");
        const QString maximum = QStringLiteral("Invalid range selected, maximum is: 12");
        const QString moveAll = QStringLiteral("You cannot move all the pages out of a file.");
        const QString replaceFit = QStringLiteral("You can only replace existing pages");
        const QString taken;
        QTest::newRow("From empty") << 1 << false << 1 << ",5" << invalid;
        QTest::newRow("To empty") << 1 << false << 1 << "3," << invalid;
        QTest::newRow("From above To") << 1 << false << 1 << "7,3" << order;
        QTest::newRow("order before maximum") << 1 << false << 1 << "14,13" << order;
        QTest::newRow("9 to 10, compared as numbers") << 1 << false << 1 << "9,10" << taken;
        QTest::newRow("To beyond the source") << 1 << false << 1 << "3,13" << maximum;
        QTest::newRow("From 0") << 1 << false << 1 << "0,5" << invalid;
        QTest::newRow("a negative From") << 1 << false << 1 << "-2,5" << invalid;
        QTest::newRow("one page") << 1 << false << 1 << "4,4" << taken;
        QTest::newRow("halves round to even") << 1 << false << 1 << "2.5,3.5" << taken;
        QTest::newRow("Copy of every page") << 1 << false << 1 << "1,12" << taken;
        QTest::newRow("Move of every page") << 1 << true << 1 << "1,12" << moveAll;
        QTest::newRow("Move of every page, From rounding to 1")
            << 1 << true << 1 << "1.4,12" << moveAll;
        QTest::newRow("Move of all but one page") << 1 << true << 1 << "2,12" << taken;
        QTest::newRow("Replace at 4 of 6, 3 pages") << 3 << false << 4 << "1,3" << taken;
        QTest::newRow("Replace at 4 of 6, 4 pages") << 3 << false << 4 << "1,4" << replaceFit;
        QTest::newRow("maximum before the Replace fit") << 3 << false << 4 << "1,20" << maximum;
    }

    void theRangeChecksRunInOrder()
    {
        QFETCH(int, mode);
        QFETCH(bool, move);
        QFETCH(int, destinationPage);
        QFETCH(QString, range);
        QFETCH(QString, refusal);
        f.keep();
        const auto window = f.open(false, move, 1, destinationPage, mode);
        if (!refusal.isEmpty())
            f.boxes->answer(MsgOk);
        bool leftOpen = false;
        QCOMPARE(f.press(*window, range, &leftOpen), 1);
        QCOMPARE(f.boxes->boxes(), told(refusal));
        QCOMPARE(leftOpen, !refusal.isEmpty());
        const auto whole = [&](int part) {
            return int(std::nearbyint(range.section(QLatin1Char(','), part, part).toDouble()));
        };
        if (refusal.isEmpty())
            QCOMPARE(LabelledPages::of(f.target).size(),
                     mode == ModeReplace ? 6 : 6 + whole(1) - whole(0) + 1);
        else
            QCOMPARE(f.changed(), QString());
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
    void insertWithCtrlOrAltStartsATransfer_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("focus");
        QTest::addColumn<QList<int>>("written");
        const QList<int> none = LabelledPages::run(21, 26);
        QTest::newRow("Ctrl: the page shown")
            << int(Qt::ControlModifier) << 0 << QList<int>{21, 22, 23, 24, 25, 26, 3};
        QTest::newRow("Alt: the range dialog")
            << int(Qt::AltModifier) << 1 << QList<int>{21, 22, 23, 24, 25, 26, 2, 3, 4};
        QTest::newRow("alone") << int(Qt::NoModifier) << 2 << none;
        QTest::newRow("Shift") << int(Qt::ShiftModifier) << 3 << none;
        QTest::newRow("Ctrl+Shift") << int(Qt::ControlModifier | Qt::ShiftModifier) << 0 << none;
        QTest::newRow("Alt+Shift") << int(Qt::AltModifier | Qt::ShiftModifier) << 1 << none;
        QTest::newRow("Ctrl+Alt") << int(Qt::ControlModifier | Qt::AltModifier) << 2 << none;
    }

    void insertWithCtrlOrAltStartsATransfer()
    {
        QFETCH(int, modifiers);
        QFETCH(int, focus);
        QFETCH(QList<int>, written);
        const auto window = active(3);
        const QList<QWidget*> controls{window->txtPageSrc, window->TiffFileList, window->cmdZoomIn,
                                       window->txtPageDes};
        controls.at(focus)->setFocus();
        const auto key = [&] {
            QTest::keyClick(window->windowHandle(), Qt::Key_Insert,
                            Qt::KeyboardModifiers(modifiers));
        };
        QCOMPARE(drive<frmRange>(key,
                                 [](frmRange& dialog) {
                                     typeInto(dialog, dialog.txtFrom, dialog.txtTo, "2,4");
                                 }),
                 modifiers == Qt::AltModifier ? 1 : 0);
        QCOMPARE(LabelledPages::of(f.target), written);
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
        QCOMPARE(LabelledPages::of(f.target), LabelledPages::run(21, 26));
        QTest::keyRelease(platformWindow, Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(LabelledPages::of(f.target), (QList<int>{21, 22, 23, 24, 25, 26, 2}));
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
        QVERIFY(f.showSource(*window, QStringLiteral("large.tif"), 1));
        f.showDestination(*window, QStringLiteral("target.tif"), 2);
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
        QCOMPARE(LabelledPages::of(f.target), (QList<int>{21, 22, 23, 24, 25, 26, 4, 1}));
        QCOMPARE(LabelledPages::of(f.source), sourceWithout(4, 1).mid(1));
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void aClickWhileAnOperationRunsWaitsForIt_data()
    {
        QTest::addColumn<bool>("close"); // the window is closed after the click
        QTest::addColumn<QList<int>>("written");
        QTest::newRow("taken after") << false << QList<int>{21, 22, 23, 24, 25, 26, 4, 1};
        QTest::newRow("dropped at the close") << true << QList<int>{21, 22, 23, 24, 25, 26, 4};
    }

    void aClickWhileAnOperationRunsWaitsForIt()
    {
        QFETCH(bool, close);
        QFETCH(QList<int>, written);
        const auto window = f.open(false, true, 4, 1, ModeAppend);
        // A click handled by a loop running while the first transfer writes.
        bool clicked = false;
        QList<int> targetAtTheClick;
        bool openAfterTheClose = false;
        f.progress->onReport([&] {
            if (std::exchange(clicked, true))
                return;
            window->cmdSwap->click();
            targetAtTheClick = LabelledPages::of(f.target);
            if (close) {
                window->close();
                openAfterTheClose = window->isVisible();
            }
        });

        window->cmdSwap->click();
        QVERIFY(clicked);
        QCOMPARE(targetAtTheClick, LabelledPages::run(21, 26));
        QCOMPARE(openAfterTheClose, close);
        // The Move ends whole before anything else happens.
        QCOMPARE(LabelledPages::of(f.target), written.mid(0, 7));
        QTRY_COMPARE(LabelledPages::of(f.target), written);
        QCOMPARE(LabelledPages::of(f.source), sourceWithout(4, 1).mid(close ? 0 : 1));
        if (close) {
            QTRY_VERIFY(!window->isVisible());
            QTest::qWait(20);
            QCOMPARE(LabelledPages::of(f.target), written);
        }
        QVERIFY(f.boxes->boxes().isEmpty());
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
        if (fault == 0)
            QVERIFY(f.writeBytes(f.source,
                                 LabelledPages::withDamagedPage(LabelledPages::run(1, 12), 4)));
        const int mode = operation == QLatin1String("Insert")    ? ModeInsert
                         : operation == QLatin1String("Replace") ? ModeReplace
                                                                 : ModeAppend;
        const auto window = f.open(false, true, 4, 2, mode);
        if (fault == 1)
            QVERIFY(LabelledPages::write(f.target, {31, 32, 33}));
        else if (fault == 2)
            QVERIFY(LabelledPages::write(f.source, {41, 42, 43, 44}));
        else if (fault == 3)
            f.progress->stopAtReport(1);
        f.keep();
        f.boxes->answer(MsgOk);
        if (operation == QLatin1String("Delete Page"))
            window->cmdDelPage->click();
        else if (operation.startsWith(QLatin1String("Reorder")))
            QCOMPARE(reorder(*window, QStringLiteral("2,1"), operation.endsWith(u'?')), 1);
        else
            QCOMPARE(f.press(*window, range ? QStringLiteral("4,4") : QString()), range ? 1 : 0);
        QCOMPARE(f.changed(), QString());
        QVERIFY2(toldFailureOf(fault % 2 ? "target.tif" : "source.tif"),
                 qPrintable(f.boxes->texts().join(QLatin1Char('|'))));
        // The destination is shown again as it is on disk, at the page it showed.
        QCOMPARE(f.seen(*window, false),
                 f.showing(false, f.target, LabelledPages::of(f.target).size(), 2));
        QVERIFY(!window->flags.SameFileRefused);
    }

    void deletingTheDestinationPage_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("answer"); // to the question; 0: prompting off
        QTest::addColumn<QList<int>>("after");
        const QList<int> five = LabelledPages::run(1, 5);
        QTest::newRow("page 3 of 5, asked, Yes") << 5 << 3 << int(MsgYes) << QList<int>{1, 2, 4, 5};
        QTest::newRow("page 3 of 5, asked, No") << 5 << 3 << int(MsgNo) << five;
        QTest::newRow("prompting off") << 5 << 5 << 0 << QList<int>{1, 2, 3, 4};
        QTest::newRow("page 1 of 2") << 2 << 1 << 0 << QList<int>{2};
        QTest::newRow("the last page of a file") << 1 << 1 << 0 << QList<int>{1};
    }

    void deletingTheDestinationPage()
    {
        QFETCH(int, pages);
        QFETCH(int, page);
        QFETCH(int, answer);
        QFETCH(QList<int>, after);
        QVERIFY(LabelledPages::write(f.target, LabelledPages::run(1, pages)));
        const QByteArray before = f.bytesOf(f.target);
        const auto window = f.open(answer != 0, false, 0, page, 0);
        QList<Box> boxes;
        if (answer != 0) {
            boxes.append(asked(QStringLiteral("Do you really want to delete this page?")));
            f.boxes->answer(answer);
        }
        if (pages == 1) {
            boxes += told(QStringLiteral("You cannot delete the last page of a file."),
                          MsgIcon::Exclamation);
            f.boxes->answer(MsgOk);
        }

        window->cmdDelPage->click();
        QCOMPARE(f.boxes->boxes(), boxes);
        QCOMPARE(LabelledPages::of(f.target), after);
        if (pages == 1)
            QCOMPARE(f.bytesOf(f.target), before);
        QCOMPARE(f.seen(*window, false),
                 f.showing(false, f.target, after.size(), after.size() < pages ? 1 : page));
    }

    void reorderingMovesOrCopiesAPageBeforeAnother_data()
    {
        QTest::addColumn<QString>("order"); // page,before; the dialog opens on 3,?
        QTest::addColumn<bool>("copy");
        QTest::addColumn<int>("answer"); // to the question; 0: prompting off
        QTest::addColumn<QList<int>>("after");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QString>("refusal"); // which leaves the dialog open
        const int yes = MsgYes;
        const QList<int> five = LabelledPages::run(1, 5);
        const auto row = [&](const char* name, const char* order, bool copy, int answer,
                             const QList<int>& after, int shown) {
            QTest::newRow(name) << QString::fromLatin1(order) << copy << answer << after << shown
                                << QString();
        };
        row("P 4, I 2", "4,2", false, yes, {1, 4, 2, 3, 5}, 1);
        row("P 2, I 5", "2,5", false, yes, {1, 3, 4, 2, 5}, 1);
        row("P 2, I 3 changes nothing", "2,3", false, yes, five, 1);
        row("P 5, I 1", "5,1", false, yes, {5, 1, 2, 3, 4}, 1);
        row("P 1, I 5", "1,5", false, yes, {2, 3, 4, 1, 5}, 1);
        row("P 3 and 03 pass as different texts", "3,03", false, yes, five, 1);
        row("halves round to even", "4.5,1.5", false, yes, {1, 4, 2, 3, 5}, 1);
        row("prompting off", "4,2", false, 0, {1, 4, 2, 3, 5}, 1);
        row("copy: P 4, I 2", "4,2", true, yes, {1, 4, 2, 3, 4, 5}, 2);
        row("copy: P 1, I 5", "1,5", true, yes, {1, 2, 3, 4, 1, 5}, 5);
        row("the question answered No", "4,2", false, int(MsgNo), five, 3);
        const QString invalid =
            QStringLiteral("Invalid choices, you must select a page from 1 to 5");
        const QString samePage =
            QStringLiteral("You cannot reorder the same page within the file.");
        const auto refused = [&](const char* name, const char* order, const QString& text) {
            QTest::newRow(name) << QString::fromLatin1(order) << false << yes << five << 3 << text;
        };
        refused("the place left at ?", "3,?", invalid);
        refused("a letter", "x,2", invalid);
        refused("an empty page", ",2", invalid);
        refused("the same text", "3,3", samePage);
        refused("the same text before the range", "9,9", samePage);
        refused("page 0", "0,2", invalid);
        refused("page past the last", "6,2", invalid);
        refused("behind the last page", "2,6", invalid);
        refused("a place below 1", "2,-1", invalid);
    }

    void reorderingMovesOrCopiesAPageBeforeAnother()
    {
        QFETCH(QString, order);
        QFETCH(bool, copy);
        QFETCH(int, answer);
        QFETCH(QList<int>, after);
        QFETCH(int, shown);
        QFETCH(QString, refusal);
        QVERIFY(LabelledPages::write(f.target, LabelledPages::run(1, 5)));
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
        QCOMPARE(LabelledPages::of(f.target), after);
        if (leftOpen)
            QCOMPARE(f.changed(), QString());
        QStringList expected = f.showing(false, f.target, after.size(), shown);
        if (copy)
            expected[2] = QStringLiteral("3"); // the page box is left as it was
        QCOMPARE(f.seen(*window, false), expected);
    }

    void withoutADestination()
    {
        const auto window = f.start(true);
        // Delete Page does nothing, not even to the page box.
        window->txtPageDes->setText(QStringLiteral("7"));
        window->cmdDelPage->click();
        QCOMPARE(f.pane(*window, false), (QStringList{"", "Destination Image", "7"}));
        // Reorder lets the user choose one first: cancelled, no dialog; chosen, the dialog.
        f.dialogs->cancel();
        f.dialogs->choosePath(f.target);
        const auto click = [&] {
            window->cmdReorder->click();
        };
        QCOMPARE(drive<frmReorder>(click), 0);
        QCOMPARE(drive<frmReorder>(click), 1);
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

    // One box told the failure, naming the file.
    bool toldFailureOf(const QString& name) const
    {
        const QList<Box>& boxes = f.boxes->boxes();
        return boxes.size() == 1 && boxes.first().text.contains(name) &&
               boxes == told(boxes.first().text, MsgIcon::Exclamation);
    }

    OperationsFixture f;
    QString m_temp;
};

QTEST_MAIN(OperationsTest)
#include "OperationsTest.moc"
