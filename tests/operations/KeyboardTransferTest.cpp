#include "FileListBox.h"
#include "ImagingEdit.h"
#include "OperationsFixture.h"
#include "Tessary.h"
#include "frmRange.h"
#include "mdlFunctions.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWindow>

using namespace tessary;
using namespace tessary::mdlFunctions;
using tessary::testing::DialogDriver;
using tessary::testing::LabelledPages;
using tessary::testing::OperationsFixture;

// Ctrl+Insert and Alt+Insert start the two transfers from the keyboard, whichever control
// has the focus.
class KeyboardTransferTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(f.reset());
        m_source = f.scan(QStringLiteral("source.tif"));
        m_target = f.scan(QStringLiteral("target.tif"));
        QVERIFY(LabelledPages::write(m_source, LabelledPages::run(1, 5)));
        QVERIFY(LabelledPages::write(m_target, LabelledPages::run(11, 13)));
    }

    void ctrlInsertWithNoSourceIsAClickOnTheTransferButton()
    {
        const auto window = shown();
        window->cmdSwap->click();
        const QStringList clicked = f.boxes->texts();
        QCOMPARE(clicked.size(), 1);
        f.boxes->clear();

        window->txtPageDes->setFocus();
        QTest::keyClick(window->windowHandle(), Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(f.boxes->texts(), clicked);
    }

    void ctrlInsertTransfersThePageShown()
    {
        const auto window = shown();
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 3));
        f.showDestination(*window, QStringLiteral("target.tif"));
        OperationsFixture::chooseMode(*window, ModeAppend);
        window->txtPageSrc->setFocus();

        QTest::keyClick(window->windowHandle(), Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(LabelledPages::of(m_target), (QList<int>{11, 12, 13, 3}));
        QCOMPARE(LabelledPages::of(m_source), LabelledPages::run(1, 5));
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void altInsertOpensTheRangeDialog()
    {
        const auto window = shown();
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif")));
        f.showDestination(*window, QStringLiteral("target.tif"));
        OperationsFixture::chooseMode(*window, ModeAppend);
        window->TiffFileList->setFocus();
        DialogDriver<frmRange> driver({[](frmRange& dialog) {
            dialog.txtFrom->setText(QStringLiteral("2"));
            dialog.txtTo->setText(QStringLiteral("4"));
            dialog.cmdOK->click();
        }});

        QTest::keyClick(window->windowHandle(), Qt::Key_Insert, Qt::AltModifier);
        QCOMPARE(driver.shown(), 1);
        QCOMPARE(LabelledPages::of(m_target), (QList<int>{11, 12, 13, 2, 3, 4}));
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void insertWithOtherModifiersStartsNothing_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::newRow("alone") << int(Qt::NoModifier);
        QTest::newRow("Shift") << int(Qt::ShiftModifier);
        QTest::newRow("Ctrl+Shift") << int(Qt::ControlModifier | Qt::ShiftModifier);
        QTest::newRow("Alt+Shift") << int(Qt::AltModifier | Qt::ShiftModifier);
        QTest::newRow("Ctrl+Alt") << int(Qt::ControlModifier | Qt::AltModifier);
    }

    void insertWithOtherModifiersStartsNothing()
    {
        QFETCH(int, modifiers);
        // With no source either transfer would say so at once.
        const auto window = shown();
        window->cmdZoomIn->setFocus();
        QTest::keyClick(window->windowHandle(), Qt::Key_Insert, Qt::KeyboardModifiers(modifiers));
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void aHeldKeyStartsOneTransfer()
    {
        const auto window = shown();
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 2));
        f.showDestination(*window, QStringLiteral("target.tif"));
        OperationsFixture::chooseMode(*window, ModeAppend);

        // A held key repeats its press and release, the repeats marked as such.
        QWindow* platformWindow = window->windowHandle();
        QTest::keyPress(platformWindow, Qt::Key_Insert, Qt::ControlModifier);
        for (int repeat = 0; repeat < 3; ++repeat) {
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Insert, Qt::ControlModifier, QString(),
                              true);
            QCoreApplication::sendEvent(platformWindow, &release);
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Insert, Qt::ControlModifier, QString(), true);
            QCoreApplication::sendEvent(platformWindow, &press);
        }
        QCOMPARE(LabelledPages::of(m_target), LabelledPages::run(11, 13));
        QTest::keyRelease(platformWindow, Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(LabelledPages::of(m_target), (QList<int>{11, 12, 13, 2}));
    }

private:
    std::unique_ptr<Tessary> shown()
    {
        auto window = f.start();
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get()))
            qWarning("the window did not become active");
        return window;
    }

    OperationsFixture f;
    QString m_source;
    QString m_target;
};

int runKeyboardTransferTests(int argc, char** argv)
{
    KeyboardTransferTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "KeyboardTransferTest.moc"
