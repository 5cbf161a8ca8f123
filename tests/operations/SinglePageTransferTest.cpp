#include "FileListBox.h"
#include "ImagingAdmin.h"
#include "ImagingEdit.h"
#include "OperationsFixture.h"
#include "Tessary.h"
#include "mdlFunctions.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace tessary;
using namespace tessary::mdlFunctions;
using tessary::testing::LabelledPages;
using tessary::testing::OperationsFixture;

namespace {

const QString noSourceText = QStringLiteral("You must choose a source file from the list at \r\n"
                                            "the bottom left corner of your screen.");
const QString lastPageText = QStringLiteral("You cannot delete the last page of a file.");
const QString sourceNameText =
    QStringLiteral("You cannot overwrite the same file you have open as the source image.");
const QString sameFileText =
    QStringLiteral("You cannot open the same image file as the source and destination");

QString question(int mode)
{
    switch (mode) {
    case ModeAppend:
        return QStringLiteral("Do you really want to append page(s)?");
    case ModeInsert:
        return QStringLiteral("Do you really want to insert page(s)?");
    case ModeReplace:
        return QStringLiteral("Do you really want to replace page(s)?");
    default:
        return QStringLiteral("Do you really want to extract page(s) to a new file?");
    }
}

int checkedMode(const Tessary& window)
{
    for (int index = 1; index <= 4; ++index)
        if (window.optMode(index)->isChecked())
            return index;
    return 0;
}

} // namespace

class SinglePageTransferTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(f.reset());
        // Source pages 1 to 7, destination pages 11 to 15.
        QVERIFY(
            LabelledPages::write(f.scan(QStringLiteral("source.tif")), LabelledPages::run(1, 7)));
        QVERIFY(
            LabelledPages::write(f.scan(QStringLiteral("target.tif")), LabelledPages::run(11, 15)));
        m_newFile = f.dir(QStringLiteral("new.tif"));
    }

    void eachModeCopiesOrMovesTheShownPage_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("destinationPage");
        QTest::addColumn<bool>("move");
        QTest::addColumn<bool>("prompt");
        QTest::addColumn<QList<int>>("destination"); // the new file's pages for New File
        const QList<int> appended{11, 12, 13, 14, 15, 4};
        const QList<int> inserted{11, 12, 4, 13, 14, 15};
        const QList<int> replaced{11, 12, 4, 14, 15};
        QTest::newRow("Append, Copy") << 1 << 3 << false << false << appended;
        QTest::newRow("Append, Move, asked") << 1 << 3 << true << true << appended;
        QTest::newRow("Append at page 1 still at the end") << 1 << 1 << false << true << appended;
        QTest::newRow("Insert at 3 of 5, Copy, asked") << 2 << 3 << false << true << inserted;
        QTest::newRow("Insert at 3 of 5, Move") << 2 << 3 << true << false << inserted;
        QTest::newRow("Insert at page 1")
            << 2 << 1 << false << false << QList<int>{4, 11, 12, 13, 14, 15};
        QTest::newRow("Replace at 3 of 5, Copy") << 3 << 3 << false << false << replaced;
        QTest::newRow("Replace at 3 of 5, Move, asked") << 3 << 3 << true << true << replaced;
        QTest::newRow("Replace at 5 of 5")
            << 3 << 5 << false << false << QList<int>{11, 12, 13, 14, 4};
        QTest::newRow("New File, Copy, asked") << 4 << 1 << false << true << QList<int>{4};
        QTest::newRow("New File, Move") << 4 << 1 << true << false << QList<int>{4};
    }

    void eachModeCopiesOrMovesTheShownPage()
    {
        QFETCH(int, mode);
        QFETCH(int, destinationPage);
        QFETCH(bool, move);
        QFETCH(bool, prompt);
        QFETCH(QList<int>, destination);
        const QString source = f.scan(QStringLiteral("source.tif"));
        const QString target = f.scan(QStringLiteral("target.tif"));
        const QByteArray sourceBefore = f.bytesOf(source);
        const auto window = f.start(prompt, move);
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 4));
        if (mode != ModeNewFile)
            f.showDestination(*window, QStringLiteral("target.tif"), destinationPage);
        OperationsFixture::chooseMode(*window, mode);
        if (prompt)
            f.boxes->answer(MsgYes);
        if (mode == ModeNewFile)
            f.dialogs->choosePath(m_newFile);
        const qsizetype dialogsBefore = f.dialogs->requests().size();

        window->cmdSwap->click();
        QCOMPARE(f.boxes->unexpected(), 0);
        QCOMPARE(f.dialogs->unexpected(), 0);
        QCOMPARE(f.boxes->texts(), prompt ? QStringList{question(mode)} : QStringList());
        if (prompt) {
            QCOMPARE(f.boxes->boxes().first().caption, QStringLiteral("Confirm"));
            QCOMPARE(f.boxes->boxes().first().buttons, MsgButtons::YesNo);
            QCOMPARE(f.boxes->boxes().first().icon, MsgIcon::None);
        }

        const QString written = mode == ModeNewFile ? m_newFile : target;
        QCOMPARE(LabelledPages::of(written), destination);
        QCOMPARE(window->imgDes->image(), written);
        QCOMPARE(window->lblDestination->text(),
                 QStringLiteral("Destination Image - %1 Page(s)   %2")
                     .arg(destination.size())
                     .arg(QFileInfo(written).fileName()));
        if (mode == ModeNewFile) {
            // Saved through the Save dialog, shown at page 1, and the next press appends.
            QCOMPARE(f.dialogs->requests().size() - dialogsBefore, 1);
            const FileDialogService::Request& save = f.dialogs->requests().last();
            QCOMPARE(save.mode, FileDialogService::Mode::Save);
            QCOMPARE(save.folder, f.programFolder->path());
            QCOMPARE(save.nameFilters, QStringList{QStringLiteral("TIFF Image (*.tif)")});
            QCOMPARE(window->imgDes->page(), 1);
            QCOMPARE(window->txtPageDes->text(), QStringLiteral("1"));
            QCOMPARE(checkedMode(*window), int(ModeAppend));
            // The Move step names the source to the administration control last.
            QCOMPARE(window->imgAdmSrc->fileName(), move ? source : QString());
            QCOMPARE(window->imgDes->notice(), QString());
        } else {
            QCOMPARE(f.dialogs->requests().size(), dialogsBefore);
            QCOMPARE(checkedMode(*window), mode);
        }

        if (move) {
            // The page left the source, which is shown at page 1.
            QCOMPARE(LabelledPages::of(source), (QList<int>{1, 2, 3, 5, 6, 7}));
            QCOMPARE(window->imgSrc->page(), 1);
            QCOMPARE(window->txtPageSrc->text(), QStringLiteral("1"));
            QCOMPARE(window->lblSource->text(),
                     QStringLiteral("Source Image - 6 Page(s)   source.tif"));
        } else {
            QCOMPARE(f.bytesOf(source), sourceBefore);
            QCOMPARE(window->imgSrc->page(), 4);
            QCOMPARE(window->lblSource->text(),
                     QStringLiteral("Source Image - 7 Page(s)   source.tif"));
        }
        QVERIFY(!window->flags.SameFileRefused);
        QVERIFY(!window->flags.NewFileRefused);
    }

    void aNoAnswerChangesNothing_data()
    {
        QTest::addColumn<int>("mode");
        for (int mode = ModeAppend; mode <= ModeNewFile; ++mode)
            QTest::addRow("mode %d", mode) << mode;
    }

    void aNoAnswerChangesNothing()
    {
        QFETCH(int, mode);
        const QString source = f.scan(QStringLiteral("source.tif"));
        const QString target = f.scan(QStringLiteral("target.tif"));
        const QByteArray sourceBefore = f.bytesOf(source);
        const QByteArray targetBefore = f.bytesOf(target);
        const auto window = f.start(true, true);
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 2));
        f.showDestination(*window, QStringLiteral("target.tif"), 2);
        OperationsFixture::chooseMode(*window, mode);
        const qsizetype dialogsBefore = f.dialogs->requests().size();
        f.boxes->answer(MsgNo);

        window->cmdSwap->click();
        QCOMPARE(f.boxes->texts(), QStringList{question(mode)});
        QCOMPARE(f.dialogs->requests().size(), dialogsBefore);
        QCOMPARE(f.bytesOf(source), sourceBefore);
        QCOMPARE(f.bytesOf(target), targetBefore);
        QCOMPARE(window->imgDes->image(), target);
        QCOMPARE(window->imgSrc->page(), 2);
        QVERIFY(!QFile::exists(f.programFolder->filePath(QStringLiteral("temp.tif"))));
    }

    void withoutASourceTheUserIsToldAndNothingAsked()
    {
        const auto window = f.start(true);
        f.showDestination(*window, QStringLiteral("target.tif"), 1);
        const QByteArray targetBefore = f.bytesOf(f.scan(QStringLiteral("target.tif")));
        f.boxes->answer(MsgOk);
        window->cmdSwap->click();
        QCOMPARE(f.boxes->texts(), QStringList{noSourceText});
        QCOMPARE(f.boxes->boxes().first().caption, Tessary::AppTitle);
        QCOMPARE(f.boxes->boxes().first().buttons, MsgButtons::Ok);
        QCOMPARE(f.bytesOf(f.scan(QStringLiteral("target.tif"))), targetBefore);
    }

    void withoutADestinationTheChooserComesFirst_data()
    {
        QTest::addColumn<QString>("choice"); // "" cancels
        QTest::addColumn<QList<int>>("target");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("cancelled") << "" << LabelledPages::run(11, 15) << QStringList();
        QTest::newRow("a file chosen")
            << "target.tif" << QList<int>{11, 12, 13, 14, 15, 4} << QStringList();
        QTest::newRow("the source chosen")
            << "source.tif" << LabelledPages::run(11, 15) << QStringList{sameFileText};
    }

    void withoutADestinationTheChooserComesFirst()
    {
        QFETCH(QString, choice);
        QFETCH(QList<int>, target);
        QFETCH(QStringList, texts);
        const QString source = f.scan(QStringLiteral("source.tif"));
        const QByteArray sourceBefore = f.bytesOf(source);
        const auto window = f.start(false, true);
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 4));
        // Append chosen with a destination open, which is then closed.
        f.showDestination(*window, QStringLiteral("target.tif"));
        OperationsFixture::chooseMode(*window, ModeAppend);
        window->cmdCloseDes->click();
        if (choice.isEmpty())
            f.dialogs->cancel();
        else
            f.dialogs->choosePath(f.scan(choice));
        for (int i = 0; i < texts.size(); ++i)
            f.boxes->answer(MsgOk);

        window->cmdSwap->click();
        QCOMPARE(f.boxes->texts(), texts);
        QCOMPARE(f.dialogs->unexpected(), 0);
        QCOMPARE(LabelledPages::of(f.scan(QStringLiteral("target.tif"))), target);
        if (target.size() == 6) {
            QCOMPARE(LabelledPages::of(source), (QList<int>{1, 2, 3, 5, 6, 7}));
        } else {
            QCOMPARE(f.bytesOf(source), sourceBefore);
            QVERIFY(window->imgDes->image().isEmpty());
        }
        QVERIFY(!window->flags.SameFileRefused);
    }

    void theOnlyPageOfASourceIsCopiedButNotMoved()
    {
        const QString one = f.scan(QStringLiteral("one.tif"));
        QVERIFY(LabelledPages::write(one, {9}));
        const QByteArray oneBefore = f.bytesOf(one);
        const auto window = f.start(false, true);
        QVERIFY(f.showSource(*window, QStringLiteral("one.tif")));
        f.showDestination(*window, QStringLiteral("target.tif"), 2);
        OperationsFixture::chooseMode(*window, ModeAppend);
        f.boxes->answer(MsgOk);

        window->cmdSwap->click();
        QCOMPARE(LabelledPages::of(f.scan(QStringLiteral("target.tif"))),
                 (QList<int>{11, 12, 13, 14, 15, 9}));
        QCOMPARE(f.boxes->texts(), QStringList{lastPageText});
        QCOMPARE(f.boxes->boxes().first().icon, MsgIcon::Exclamation);
        QCOMPARE(f.bytesOf(one), oneBefore);
        QCOMPARE(window->imgSrc->image(), one);
    }

    void aNewFileThatIsNotSavedTakesNothingFromTheSource_data()
    {
        QTest::addColumn<QString>("choice"); // "" cancels
        QTest::addColumn<QString>("text");   // the refusal, "" for none
        QTest::addColumn<int>("modeAfter");
        QTest::newRow("Save dialog cancelled") << ""
                                               << "" << int(ModeNewFile);
        QTest::newRow("the source's own name") << "source" << sourceNameText << int(ModeNewFile);
        QTest::newRow("the source through another spelling")
            << "source, spelt another way" << sourceNameText << int(ModeNewFile);
        QTest::newRow("the source through a link")
            << "link to the source" << sourceNameText << int(ModeNewFile);
        QTest::newRow("temp.tif")
            << "temp.tif"
            << "You cannot save the new file as temp.tif: Tessary uses that file for its own "
               "work.\r\nPlease choose another name."
            << int(ModeNewFile);
        QTest::newRow("blank.tif, in other letters")
            << "BLANK.TIF"
            << "You cannot save the new file as blank.tif: Tessary uses that file for its own "
               "work.\r\nPlease choose another name."
            << int(ModeNewFile);
    }

    void aNewFileThatIsNotSavedTakesNothingFromTheSource()
    {
        QFETCH(QString, choice);
        QFETCH(QString, text);
        QFETCH(int, modeAfter);
        const QString source = f.scan(QStringLiteral("source.tif"));
        const QByteArray sourceBefore = f.bytesOf(source);
        const QString blank = f.programFolder->filePath(QStringLiteral("blank.tif"));
        const QByteArray blankBefore = f.bytesOf(blank);
        QString chosen;
        if (choice == QLatin1String("source"))
            chosen = source;
        else if (choice == QLatin1String("source, spelt another way"))
            chosen = f.scans + QDir::separator() + QStringLiteral("..") + QDir::separator() +
                     QStringLiteral("scans") + QDir::separator() + QStringLiteral("source.tif");
        else if (choice == QLatin1String("link to the source")) {
            chosen = f.dir(QStringLiteral("link.tif"));
            QVERIFY(QFile::link(source, chosen));
        } else if (!choice.isEmpty())
            chosen = f.programFolder->filePath(choice);
        const auto window = f.start(false, true);
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 4));
        OperationsFixture::chooseMode(*window, ModeNewFile);
        if (chosen.isEmpty())
            f.dialogs->cancel();
        else
            f.dialogs->choosePath(chosen);
        if (!text.isEmpty())
            f.boxes->answer(MsgOk);

        window->cmdSwap->click();
        QCOMPARE(f.boxes->texts(), text.isEmpty() ? QStringList() : QStringList{text});
        QCOMPARE(f.bytesOf(source), sourceBefore);
        QCOMPARE(f.bytesOf(blank), blankBefore);
        QVERIFY(window->imgDes->image().isEmpty());
        QCOMPARE(window->lblDestination->text(), QStringLiteral("Destination Image"));
        QCOMPARE(window->imgAdmSrc->fileName(), QString());
        QCOMPARE(checkedMode(*window), modeAfter);
        QCOMPARE(window->imgSrc->page(), 4);
        QVERIFY(!window->flags.SameFileRefused);
        QVERIFY(!window->flags.NewFileRefused);
        if (choice == QLatin1String("temp.tif")) {
            // The working file holds the extracted page still; no file of the user's.
            QCOMPARE(LabelledPages::of(chosen), QList<int>{4});
        }
    }

    void theNextPressAppendsToTheNewFile()
    {
        const auto window = f.start();
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 2));
        OperationsFixture::chooseMode(*window, ModeNewFile);
        f.dialogs->choosePath(m_newFile);
        window->cmdSwap->click();
        window->imgSrc->setPage(6);
        window->imgSrc->display();
        window->cmdSwap->click();
        QCOMPARE(LabelledPages::of(m_newFile), (QList<int>{2, 6}));
        QCOMPARE(f.dialogs->requests().size(), 1);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void aRefusalLeftByThePageModeGroupDoesNotStopALaterMove()
    {
        const QString source = f.scan(QStringLiteral("source.tif"));
        const auto window = f.start(false, true);
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 4));
        // Choosing Append asks for a destination; the source is refused as one.
        f.dialogs->choosePath(source);
        f.boxes->answer(MsgOk);
        OperationsFixture::chooseMode(*window, ModeAppend);
        QVERIFY(window->flags.SameFileRefused);
        f.showDestination(*window, QStringLiteral("target.tif"), 1);
        OperationsFixture::chooseMode(*window, ModeAppend);

        window->cmdSwap->click();
        QCOMPARE(LabelledPages::of(f.scan(QStringLiteral("target.tif"))),
                 (QList<int>{11, 12, 13, 14, 15, 4}));
        QCOMPARE(LabelledPages::of(source), (QList<int>{1, 2, 3, 5, 6, 7}));
    }

private:
    OperationsFixture f;
    QString m_newFile;
};

int runSinglePageTransferTests(int argc, char** argv)
{
    SinglePageTransferTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SinglePageTransferTest.moc"
