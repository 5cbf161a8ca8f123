#include "FileListBox.h"
#include "ImagingAdmin.h"
#include "ImagingEdit.h"
#include "OperationsFixture.h"
#include "Tessary.h"
#include "frmRange.h"
#include "mdlFunctions.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cmath>

using namespace tessary;
using namespace tessary::mdlFunctions;
using tessary::testing::DialogDriver;
using tessary::testing::LabelledPages;
using tessary::testing::OperationsFixture;

namespace {

const QString noSourceText = QStringLiteral("You must choose a source file from the list at \r\n"
                                            "the bottom left corner of your screen.");
const QString missingBlankText =
    QStringLiteral("You are missing blank.tif, please download from Brovane's web site.");
const QString sameFileText =
    QStringLiteral("You cannot open the same image file as the source and destination");

int checkedMode(const Tessary& window)
{
    for (int index = 1; index <= 4; ++index)
        if (window.optMode(index)->isChecked())
            return index;
    return 0;
}

// Types the range and presses OK; a dialog left open is cancelled.
DialogDriver<frmRange>::Action typeRange(const QString& from, const QString& to,
                                         bool* leftOpen = nullptr)
{
    return [=](frmRange& dialog) {
        dialog.txtFrom->setText(from);
        dialog.txtTo->setText(to);
        dialog.cmdOK->click();
        if (leftOpen)
            *leftOpen = dialog.isVisible();
        if (dialog.isVisible())
            dialog.cmdCancel->click();
    };
}

} // namespace

class RangeTransferTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(f.reset());
        // Source pages 1 to 12, destination pages 21 to 26.
        m_source = f.scan(QStringLiteral("source.tif"));
        m_target = f.scan(QStringLiteral("target.tif"));
        QVERIFY(LabelledPages::write(m_source, LabelledPages::run(1, 12)));
        QVERIFY(LabelledPages::write(m_target, LabelledPages::run(21, 26)));
        m_temp = f.programFolder->filePath(QStringLiteral("temp.tif"));
    }

    void okHasTheFocusAndTabFollowsTheDialogsOrder()
    {
        const auto window = f.start();
        frmRange dialog(*window);
        QList<QWidget*> focus;
        DialogDriver<frmRange> driver({[&](frmRange& shown) {
            focus.append(QApplication::focusWidget());
            for (int i = 0; i < 4; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                focus.append(QApplication::focusWidget());
            }
            shown.reject();
        }});
        dialog.exec();
        QCOMPARE(focus, (QList<QWidget*>{dialog.cmdOK, dialog.cmdCancel, dialog.txtFrom,
                                         dialog.txtTo, dialog.cmdOK}));
    }

    void textThatIsNoNumberEmptiesTheBox()
    {
        const auto window = f.start();
        frmRange dialog(*window);
        dialog.txtFrom->setText(QStringLiteral("-3")); // pasted
        QCOMPARE(dialog.txtFrom->text(), QStringLiteral("-3"));
        dialog.txtFrom->setText(QStringLiteral("3x"));
        QCOMPARE(dialog.txtFrom->text(), QString());
        dialog.txtTo->clear();
        QTest::keyClicks(dialog.txtTo, QStringLiteral(" 12"));
        QCOMPARE(dialog.txtTo->text(), QStringLiteral("12")); // the blank alone was no number
        QTest::keyClick(dialog.txtTo, Qt::Key_E);
        QCOMPARE(dialog.txtTo->text(), QString());
        QTest::keyClicks(dialog.txtTo, QStringLiteral("-2.5"));
        QCOMPARE(dialog.txtTo->text(), QStringLiteral("2.5"));
    }

    void theChecksRunInOrder_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("move");
        QTest::addColumn<int>("destinationPage");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("refusal"); // "" when the range is taken
        const QString invalid =
            QStringLiteral("Invalid range selected, valid choices are between 1 and 12");
        const QString order =
            QStringLiteral("Invalid range selected, 'From' value is greater than the 'To value");
        const QString maximum = QStringLiteral("Invalid range selected, maximum is: 12");
        const QString moveAll = QStringLiteral("You cannot move all the pages out of a file.");
        const QString replaceFit = QStringLiteral("You can only replace existing pages");
        QTest::newRow("From empty") << 1 << false << 1 << ""
                                    << "5" << invalid;
        QTest::newRow("To empty") << 1 << false << 1 << "3"
                                  << "" << invalid;
        QTest::newRow("From above To") << 1 << false << 1 << "7"
                                       << "3" << order;
        QTest::newRow("order before maximum") << 1 << false << 1 << "14"
                                              << "13" << order;
        QTest::newRow("9 to 10, compared as numbers") << 1 << false << 1 << "9"
                                                      << "10"
                                                      << "";
        QTest::newRow("To beyond the source") << 1 << false << 1 << "3"
                                              << "13" << maximum;
        QTest::newRow("From 0") << 1 << false << 1 << "0"
                                << "5" << invalid;
        QTest::newRow("a negative From") << 1 << false << 1 << "-2"
                                         << "5" << invalid;
        QTest::newRow("one page") << 1 << false << 1 << "4"
                                  << "4"
                                  << "";
        QTest::newRow("halves round to even") << 1 << false << 1 << "2.5"
                                              << "3.5"
                                              << "";
        QTest::newRow("Copy of every page") << 1 << false << 1 << "1"
                                            << "12"
                                            << "";
        QTest::newRow("Move of every page") << 1 << true << 1 << "1"
                                            << "12" << moveAll;
        QTest::newRow("Move of every page, From rounding to 1") << 1 << true << 1 << "1.4"
                                                                << "12" << moveAll;
        QTest::newRow("Move of all but one page") << 1 << true << 1 << "2"
                                                  << "12"
                                                  << "";
        QTest::newRow("Replace at 4 of 6, 3 pages") << 3 << false << 4 << "1"
                                                    << "3"
                                                    << "";
        QTest::newRow("Replace at 4 of 6, 4 pages") << 3 << false << 4 << "1"
                                                    << "4" << replaceFit;
        QTest::newRow("maximum before the Replace fit") << 3 << false << 4 << "1"
                                                        << "20" << maximum;
    }

    void theChecksRunInOrder()
    {
        QFETCH(int, mode);
        QFETCH(bool, move);
        QFETCH(int, destinationPage);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, refusal);
        const QByteArray sourceBefore = f.bytesOf(m_source);
        const QByteArray targetBefore = f.bytesOf(m_target);
        const auto window = f.start(false, move);
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif")));
        f.showDestination(*window, QStringLiteral("target.tif"), destinationPage);
        OperationsFixture::chooseMode(*window, mode);
        if (!refusal.isEmpty())
            f.boxes->answer(MsgOk);
        bool leftOpen = false;
        DialogDriver<frmRange> driver({typeRange(from, to, &leftOpen)});

        window->cmdRange->click();
        QCOMPARE(driver.shown(), 1);
        QCOMPARE(f.boxes->texts(), refusal.isEmpty() ? QStringList() : QStringList{refusal});
        QCOMPARE(f.boxes->unexpected(), 0);
        QCOMPARE(leftOpen, !refusal.isEmpty());
        if (!refusal.isEmpty()) {
            QCOMPARE(f.bytesOf(m_source), sourceBefore);
            QCOMPARE(f.bytesOf(m_target), targetBefore);
            QCOMPARE(f.boxes->boxes().first().caption, Tessary::AppTitle);
            QCOMPARE(f.boxes->boxes().first().icon, MsgIcon::None);
        } else {
            const std::int32_t first = std::int32_t(std::nearbyint(from.toDouble()));
            const std::int32_t last = std::int32_t(std::nearbyint(to.toDouble()));
            QCOMPARE(LabelledPages::of(m_target).size(),
                     mode == ModeReplace ? 6 : 6 + last - first + 1);
        }
    }

    void eachModeTransfersTheRange_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("move");
        QTest::addColumn<bool>("prompt");
        QTest::addColumn<QList<int>>("destination");
        QTest::newRow("Append, Copy, asked")
            << 1 << false << true << QList<int>{21, 22, 23, 24, 25, 26, 3, 4, 5, 6, 7};
        QTest::newRow("Append, Move")
            << 1 << true << false << QList<int>{21, 22, 23, 24, 25, 26, 3, 4, 5, 6, 7};
        QTest::newRow("Insert at 4, Move, asked")
            << 2 << true << true << QList<int>{21, 22, 23, 3, 4, 5, 6, 7, 24, 25, 26};
        QTest::newRow("Replace from 2, Copy")
            << 3 << false << false << QList<int>{21, 3, 4, 5, 6, 7};
        QTest::newRow("Replace from 2, Move, asked")
            << 3 << true << true << QList<int>{21, 3, 4, 5, 6, 7};
        QTest::newRow("New File, Copy") << 4 << false << false << QList<int>{3, 4, 5, 6, 7};
        QTest::newRow("New File, Move, asked") << 4 << true << true << QList<int>{3, 4, 5, 6, 7};
    }

    void eachModeTransfersTheRange()
    {
        QFETCH(int, mode);
        QFETCH(bool, move);
        QFETCH(bool, prompt);
        QFETCH(QList<int>, destination);
        const QByteArray sourceBefore = f.bytesOf(m_source);
        const QString newFile = f.scan(QStringLiteral("range.tif"));
        const auto window = f.start(prompt, move);
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 3));
        if (mode != ModeNewFile)
            f.showDestination(*window, QStringLiteral("target.tif"), mode == ModeReplace ? 2 : 4);
        OperationsFixture::chooseMode(*window, mode);
        if (prompt)
            f.boxes->answer(MsgYes);
        if (mode == ModeNewFile)
            f.dialogs->choosePath(newFile);
        // The dialog proposes the source's page to its last page, except for a new file.
        QStringList proposed;
        DialogDriver<frmRange> driver({[&](frmRange& dialog) {
            proposed = QStringList{dialog.txtFrom->text(), dialog.txtTo->text()};
            typeRange(QStringLiteral("3"), QStringLiteral("7"))(dialog);
        }});

        window->cmdRange->click();
        QCOMPARE(driver.shown(), 1);
        const QStringList proposal = mode == ModeNewFile
                                         ? QStringList{QStringLiteral("1"), QString()}
                                         : QStringList{QStringLiteral("3"), QStringLiteral("12")};
        QCOMPARE(proposed, proposal);
        QCOMPARE(f.boxes->unexpected(), 0);
        QCOMPARE(f.dialogs->unexpected(), 0);
        QCOMPARE(f.boxes->boxes().size(), prompt ? 1 : 0);
        const QString written = mode == ModeNewFile ? newFile : m_target;
        QCOMPARE(LabelledPages::of(written), destination);
        QCOMPARE(window->imgDes->image(), written);
        QCOMPARE(window->txtPageDes->text(), QString::number(window->imgDes->page()));
        QCOMPARE(window->lblDestination->text(),
                 QStringLiteral("Destination Image - %1 Page(s)   %2")
                     .arg(destination.size())
                     .arg(QFileInfo(written).fileName()));
        if (move) {
            QCOMPARE(LabelledPages::of(m_source), (QList<int>{1, 2, 8, 9, 10, 11, 12}));
            QCOMPARE(window->imgSrc->page(), 1);
            QCOMPARE(window->txtPageSrc->text(), QStringLiteral("1"));
            QCOMPARE(window->lblSource->text(),
                     QStringLiteral("Source Image - 7 Page(s)   source.tif"));
        } else {
            QCOMPARE(f.bytesOf(m_source), sourceBefore);
        }
        if (mode == ModeNewFile) {
            QCOMPARE(window->imgDes->page(), 1);
            QCOMPARE(checkedMode(*window), int(ModeAppend));
            QVERIFY(!QFile::exists(m_temp));
            QVERIFY(window->TiffFileList->findItems(QStringLiteral("range.tif"), Qt::MatchExactly)
                        .size() == 1);
        }
        QVERIFY(!window->flags.SameFileRefused);
        QVERIFY(!window->flags.NewFileRefused);
    }

    void aRangeNewFileOfPagesTwoToFour()
    {
        const QString newFile = f.dir(QStringLiteral("three pages.tif"));
        const auto window = f.start();
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 9));
        f.dialogs->choosePath(newFile);
        DialogDriver<frmRange> driver({typeRange(QStringLiteral("2"), QStringLiteral("4"))});
        window->cmdRange->click();
        QCOMPARE(LabelledPages::of(newFile), (QList<int>{2, 3, 4}));
        QVERIFY(!QFile::exists(m_temp));
        QCOMPARE(window->imgAdmSrc->fileName(), QString());
    }

    void aRangeNewFileNotSavedTakesNothingFromTheSource_data()
    {
        QTest::addColumn<bool>("cancelled"); // else refused: the source's own name
        QTest::newRow("cancelled") << true;
        QTest::newRow("refused") << false;
    }

    void aRangeNewFileNotSavedTakesNothingFromTheSource()
    {
        QFETCH(bool, cancelled);
        const QByteArray sourceBefore = f.bytesOf(m_source);
        const auto window = f.start(false, true);
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 9));
        if (cancelled) {
            f.dialogs->cancel();
        } else {
            f.dialogs->choosePath(m_source);
            f.boxes->answer(MsgOk);
        }
        bool leftOpen = true;
        DialogDriver<frmRange> driver(
            {typeRange(QStringLiteral("2"), QStringLiteral("4"), &leftOpen)});
        window->cmdRange->click();
        QVERIFY(!leftOpen);
        QCOMPARE(f.bytesOf(m_source), sourceBefore);
        QVERIFY(window->imgDes->image().isEmpty());
        QCOMPARE(window->txtPageDes->text(), QString());
        QCOMPARE(checkedMode(*window), int(ModeNewFile));
        QVERIFY(!QFile::exists(m_temp));
        QVERIFY(!window->flags.SameFileRefused);
        QVERIFY(!window->flags.NewFileRefused);
    }

    void aNoAnswerLeavesTheDialogOpen()
    {
        const QByteArray targetBefore = f.bytesOf(m_target);
        const auto window = f.start(true);
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 3));
        f.showDestination(*window, QStringLiteral("target.tif"));
        OperationsFixture::chooseMode(*window, ModeAppend);
        f.boxes->answer(MsgNo);
        bool leftOpen = false;
        DialogDriver<frmRange> driver(
            {typeRange(QStringLiteral("3"), QStringLiteral("5"), &leftOpen)});
        window->cmdRange->click();
        QVERIFY(leftOpen);
        QCOMPARE(f.boxes->texts(),
                 QStringList{QStringLiteral("Do you really want to append page(s)?")});
        QCOMPARE(f.bytesOf(m_target), targetBefore);
    }

    void noDialogWithoutWhatTheRangeNeeds_data()
    {
        QTest::addColumn<bool>("blank");
        QTest::addColumn<bool>("source");
        QTest::addColumn<QString>("destinationChoice"); // Append with no destination open
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("dialogs");
        QTest::newRow("blank.tif missing") << false << true << "" << missingBlankText << 0;
        QTest::newRow("no source") << true << false << "" << noSourceText << 0;
        QTest::newRow("the destination chosen is the source")
            << true << true << "source.tif" << sameFileText << 0;
        QTest::newRow("the destination chosen") << true << true << "target.tif"
                                                << "" << 1;
        QTest::newRow("the destination chooser cancelled") << true << true << "cancel"
                                                           << "" << 1;
    }

    void noDialogWithoutWhatTheRangeNeeds()
    {
        QFETCH(bool, blank);
        QFETCH(bool, source);
        QFETCH(QString, destinationChoice);
        QFETCH(QString, text);
        QFETCH(int, dialogs);
        if (!blank)
            QVERIFY(QFile::remove(f.programFolder->filePath(QStringLiteral("blank.tif"))));
        const auto window = f.start();
        if (source)
            QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 3));
        if (!destinationChoice.isEmpty()) {
            f.dialogs->cancel(); // the page-mode group's own chooser
            OperationsFixture::chooseMode(*window, ModeAppend);
            if (destinationChoice == QLatin1String("cancel"))
                f.dialogs->cancel();
            else
                f.dialogs->choosePath(f.scan(destinationChoice));
        }
        if (!text.isEmpty())
            f.boxes->answer(MsgOk);
        DialogDriver<frmRange> driver({});
        window->cmdRange->click();
        QCOMPARE(driver.shown(), dialogs);
        QCOMPARE(f.boxes->texts(), text.isEmpty() ? QStringList() : QStringList{text});
        QCOMPARE(f.dialogs->unexpected(), 0);
        QVERIFY(!window->flags.SameFileRefused);
        if (destinationChoice == QLatin1String("target.tif"))
            QCOMPARE(window->imgDes->image(), m_target);
    }

    void aRefusalLeftByThePageModeGroupDoesNotStopTheDialog()
    {
        const auto window = f.start();
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 3));
        f.dialogs->choosePath(m_source);
        f.boxes->answer(MsgOk);
        OperationsFixture::chooseMode(*window, ModeInsert);
        QVERIFY(window->flags.SameFileRefused);
        f.showDestination(*window, QStringLiteral("target.tif"), 2);
        OperationsFixture::chooseMode(*window, ModeInsert);
        DialogDriver<frmRange> driver({typeRange(QStringLiteral("5"), QStringLiteral("6"))});
        window->cmdRange->click();
        QCOMPARE(driver.shown(), 1);
        QCOMPARE(LabelledPages::of(m_target), (QList<int>{21, 5, 6, 22, 23, 24, 25, 26}));
    }

private:
    OperationsFixture f;
    QString m_source;
    QString m_target;
    QString m_temp;
};

int runRangeTransferTests(int argc, char** argv)
{
    RangeTransferTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "RangeTransferTest.moc"
