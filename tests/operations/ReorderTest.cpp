#include "ImagingEdit.h"
#include "OperationsFixture.h"
#include "Tessary.h"
#include "frmReorder.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tessary;
using tessary::testing::DialogDriver;
using tessary::testing::LabelledPages;
using tessary::testing::OperationsFixture;

namespace {

const QString invalidText = QStringLiteral("Invalid choices, you must select a page from 1 to 5");
const QString samePageText = QStringLiteral("You cannot reorder the same page within the file.");
const QString reorderQuestion = QStringLiteral("Do you really wish to reorder these pages?");

// Types the page and its place, ticks Copy Page? when asked, and presses OK; a dialog left
// open is cancelled.
DialogDriver<frmReorder>::Action typeOrder(const QString& page, const QString& before, bool copy,
                                           bool* leftOpen = nullptr)
{
    return [=](frmReorder& dialog) {
        if (!page.isNull())
            dialog.txtPage->setText(page);
        if (!before.isNull())
            dialog.txtInsert->setText(before);
        dialog.chkCopy->setChecked(copy);
        dialog.cmdOK->click();
        if (leftOpen)
            *leftOpen = dialog.isVisible();
        if (dialog.isVisible())
            dialog.cmdCancel->click();
    };
}

} // namespace

class ReorderTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(f.reset());
        m_target = f.scan(QStringLiteral("target.tif"));
        QVERIFY(LabelledPages::write(m_target, LabelledPages::run(1, 5)));
    }

    void theDialogOpensOnThePageShownAndTabsInItsOrder()
    {
        const auto window = f.start();
        f.showDestination(*window, QStringLiteral("target.tif"), 3);
        frmReorder dialog(*window);
        QCOMPARE(dialog.txtPage->text(), QStringLiteral("3"));
        QCOMPARE(dialog.txtInsert->text(), QStringLiteral("?"));
        QVERIFY(!dialog.chkCopy->isChecked());
        QList<QWidget*> focus;
        DialogDriver<frmReorder> driver({[&](frmReorder& shown) {
            focus.append(QApplication::focusWidget());
            for (int i = 0; i < 5; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                focus.append(QApplication::focusWidget());
            }
            shown.reject();
        }});
        dialog.exec();
        QCOMPARE(focus, (QList<QWidget*>{dialog.txtPage, dialog.txtInsert, dialog.cmdOK,
                                         dialog.cmdCancel, dialog.chkCopy, dialog.txtPage}));
    }

    void pagesMoveOrAreCopiedBeforeAnother_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("copy");
        QTest::addColumn<QList<int>>("order");
        QTest::addColumn<int>("shown");
        QTest::newRow("P 4, I 2") << "4"
                                  << "2" << false << QList<int>{1, 4, 2, 3, 5} << 1;
        QTest::newRow("P 2, I 5") << "2"
                                  << "5" << false << QList<int>{1, 3, 4, 2, 5} << 1;
        QTest::newRow("P 2, I 3 changes nothing") << "2"
                                                  << "3" << false << QList<int>{1, 2, 3, 4, 5} << 1;
        QTest::newRow("P 5, I 1") << "5"
                                  << "1" << false << QList<int>{5, 1, 2, 3, 4} << 1;
        QTest::newRow("P 1, I 5") << "1"
                                  << "5" << false << QList<int>{2, 3, 4, 1, 5} << 1;
        QTest::newRow("P 3 and 03 pass as different texts")
            << "3"
            << "03" << false << QList<int>{1, 2, 3, 4, 5} << 1;
        QTest::newRow("halves round to even") << "4.5"
                                              << "1.5" << false << QList<int>{1, 4, 2, 3, 5} << 1;
        QTest::newRow("copy: P 4, I 2") << "4"
                                        << "2" << true << QList<int>{1, 4, 2, 3, 4, 5} << 2;
        QTest::newRow("copy: P 1, I 5") << "1"
                                        << "5" << true << QList<int>{1, 2, 3, 4, 1, 5} << 5;
    }

    void pagesMoveOrAreCopiedBeforeAnother()
    {
        QFETCH(QString, page);
        QFETCH(QString, before);
        QFETCH(bool, copy);
        QFETCH(QList<int>, order);
        QFETCH(int, shown);
        const auto window = f.start(true);
        f.showDestination(*window, QStringLiteral("target.tif"));
        f.boxes->answer(MsgYes);
        bool leftOpen = true;
        DialogDriver<frmReorder> driver({typeOrder(page, before, copy, &leftOpen)});

        window->cmdReorder->click();
        QCOMPARE(driver.shown(), 1);
        QVERIFY(!leftOpen);
        QCOMPARE(f.boxes->texts(), QStringList{reorderQuestion});
        QCOMPARE(f.boxes->boxes().first().buttons, MsgButtons::YesNo);
        QCOMPARE(f.boxes->boxes().first().caption, Tessary::AppTitle);
        QCOMPARE(LabelledPages::of(m_target), order);
        QCOMPARE(window->imgDes->image(), m_target);
        QCOMPARE(window->imgDes->page(), shown);
        QCOMPARE(window->lblDestination->text(),
                 QStringLiteral("Destination Image - %1 Page(s)   target.tif").arg(order.size()));
        if (!copy)
            QCOMPARE(window->txtPageDes->text(), QStringLiteral("1"));
    }

    void theChecksKeepTheDialogOpen_data()
    {
        QTest::addColumn<QString>("page"); // a null text keeps what the dialog shows
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("text");
        QTest::newRow("the place left at ?") << QString() << QString() << invalidText;
        QTest::newRow("a letter") << "x"
                                  << "2" << invalidText;
        QTest::newRow("an empty page") << ""
                                       << "2" << invalidText;
        QTest::newRow("the same text") << "3"
                                       << "3" << samePageText;
        QTest::newRow("the same text before the range") << "9"
                                                        << "9" << samePageText;
        QTest::newRow("page 0") << "0"
                                << "2" << invalidText;
        QTest::newRow("page past the last") << "6"
                                            << "2" << invalidText;
        QTest::newRow("behind the last page") << "2"
                                              << "6" << invalidText;
        QTest::newRow("a place below 1") << "2"
                                         << "-1" << invalidText;
    }

    void theChecksKeepTheDialogOpen()
    {
        QFETCH(QString, page);
        QFETCH(QString, before);
        QFETCH(QString, text);
        const QByteArray targetBefore = f.bytesOf(m_target);
        const auto window = f.start(true);
        f.showDestination(*window, QStringLiteral("target.tif"), 3);
        f.boxes->answer(MsgOk);
        bool leftOpen = false;
        DialogDriver<frmReorder> driver({typeOrder(page, before, false, &leftOpen)});
        window->cmdReorder->click();
        QVERIFY(leftOpen);
        QCOMPARE(f.boxes->texts(), QStringList{text});
        QCOMPARE(f.boxes->boxes().first().icon, MsgIcon::None);
        QCOMPARE(f.bytesOf(m_target), targetBefore);
    }

    void aNoAnswerChangesNothing()
    {
        const QByteArray targetBefore = f.bytesOf(m_target);
        const auto window = f.start(true);
        f.showDestination(*window, QStringLiteral("target.tif"), 3);
        f.boxes->answer(MsgNo);
        bool leftOpen = false;
        DialogDriver<frmReorder> driver(
            {typeOrder(QStringLiteral("4"), QStringLiteral("2"), false, &leftOpen)});
        window->cmdReorder->click();
        QVERIFY(leftOpen);
        QCOMPARE(f.bytesOf(m_target), targetBefore);
    }

    void withPromptingOffNothingIsAsked()
    {
        const auto window = f.start(false);
        f.showDestination(*window, QStringLiteral("target.tif"));
        DialogDriver<frmReorder> driver(
            {typeOrder(QStringLiteral("4"), QStringLiteral("2"), false)});
        window->cmdReorder->click();
        QVERIFY(f.boxes->boxes().isEmpty());
        QCOMPARE(LabelledPages::of(m_target), (QList<int>{1, 4, 2, 3, 5}));
    }

    void withoutADestinationTheChooserComesFirst_data()
    {
        QTest::addColumn<bool>("chosen");
        QTest::newRow("cancelled") << false;
        QTest::newRow("chosen") << true;
    }

    void withoutADestinationTheChooserComesFirst()
    {
        QFETCH(bool, chosen);
        const auto window = f.start();
        if (chosen)
            f.dialogs->choosePath(m_target);
        else
            f.dialogs->cancel();
        DialogDriver<frmReorder> driver({});
        window->cmdReorder->click();
        QCOMPARE(driver.shown(), chosen ? 1 : 0);
        QCOMPARE(f.dialogs->requests().size(), 1);
        QVERIFY(!window->flags.DestinationOpened);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void loadedWithoutADestinationItSaysSoAndCloses()
    {
        const auto window = f.start();
        f.boxes->answer(MsgOk);
        frmReorder dialog(*window);
        QCOMPARE(f.boxes->texts(),
                 QStringList{QStringLiteral("You must choose a Destination image.")});
        DialogDriver<frmReorder> driver({});
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QCOMPARE(driver.shown(), 0);
    }

private:
    OperationsFixture f;
    QString m_target;
};

int runReorderTests(int argc, char** argv)
{
    ReorderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ReorderTest.moc"
