#include "FileLock.h"
#include "ImagingEdit.h"
#include "OperationsFixture.h"
#include "Tessary.h"
#include "frmRange.h"
#include "mdlFunctions.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <chrono>

using namespace tessary;
using namespace tessary::mdlFunctions;
using tessary::testing::DialogDriver;
using tessary::testing::LabelledPages;
using tessary::testing::OperationsFixture;
using tessary::testing::TestTiff;

namespace {

// Counts the paint events of a widget.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void clickThroughTheWindowSystem(Tessary& window, QWidget* control)
{
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                      control->mapTo(&window, control->rect().center()));
}

} // namespace

class OneAtATimeTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(f.reset());
        m_source = f.scan(QStringLiteral("source.tif"));
        m_target = f.scan(QStringLiteral("target.tif"));
        QVERIFY(LabelledPages::write(m_source, LabelledPages::run(1, 7)));
        QVERIFY(LabelledPages::write(m_target, LabelledPages::run(11, 15)));
    }

    void aLongOperationShowsTheProgressDialogWhileTheWindowWaits()
    {
        // Large pages, written off the window's thread under the real progress dialog.
        const QString large = f.scan(QStringLiteral("large.tif"));
        QList<TestTiff::Page> pages;
        for (int page = 1; page <= 8; ++page) {
            TestTiff::Page made = TestTiff::plain(2000, 2000, std::uint8_t(page * 20));
            pages.append(made);
        }
        QVERIFY(TestTiff::write(large, pages));
        f.threadedProgress.emplace(std::chrono::milliseconds(0));
        const auto window = f.start();
        QVERIFY(f.showSource(*window, QStringLiteral("large.tif"), 1));
        f.showDestination(*window, QStringLiteral("target.tif"), 2);
        OperationsFixture::chooseMode(*window, ModeAppend);

        PaintCounter painted;
        window->lblDestination->installEventFilter(&painted);
        QString label;
        int paintsUnderTheDialog = -1;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
            if (!dialog || !label.isEmpty())
                return;
            label = dialog->labelText();
            // A click on the window is not taken while the operation runs...
            clickThroughTheWindowSystem(*window, window->cmdDelPage);
            // ...but the window is painted.
            const int before = painted.paints;
            window->lblDestination->update();
            QTRY_VERIFY(painted.paints > before);
            paintsUnderTheDialog = painted.paints - before;
        });
        probe.start(1);
        DialogDriver<frmRange> driver({[](frmRange& dialog) {
            dialog.txtFrom->setText(QStringLiteral("1"));
            dialog.txtTo->setText(QStringLiteral("8"));
            dialog.cmdOK->click();
        }});
        window->cmdRange->click();
        probe.stop();

        QCOMPARE(label, QStringLiteral("Writing target.tif..."));
        QVERIFY(paintsUnderTheDialog > 0);
        QCOMPARE(window->imgDes->pageCount(), 13);
        QCOMPARE(LabelledPages::of(m_target).mid(0, 5), LabelledPages::run(11, 15));
        QVERIFY(f.boxes->boxes().isEmpty());
        // The click taken by nobody deleted nothing.
        QCoreApplication::processEvents();
        QCOMPARE(window->imgDes->pageCount(), 13);
    }

    void aDoubleClickRunsOneOperationPerClickOnWhatTheWindowShows()
    {
        const auto window = f.start(false, true);
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 4));
        f.showDestination(*window, QStringLiteral("target.tif"));
        OperationsFixture::chooseMode(*window, ModeAppend);

        QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {},
                           window->cmdSwap->mapTo(window.get(), window->cmdSwap->rect().center()));
        // The second click moves the page the source shows after the first: page 1.
        QCOMPARE(LabelledPages::of(m_target), (QList<int>{11, 12, 13, 14, 15, 4, 1}));
        QCOMPARE(LabelledPages::of(m_source), (QList<int>{2, 3, 5, 6, 7}));
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void aClickTakenWhileAnOperationRunsWaitsForIt()
    {
        const auto window = f.start(false, true);
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 4));
        f.showDestination(*window, QStringLiteral("target.tif"));
        OperationsFixture::chooseMode(*window, ModeAppend);
        // A click handled by a loop running while the first transfer writes.
        bool clicked = false;
        QList<int> targetAtTheClick;
        f.progress->onReport([&] {
            if (clicked)
                return;
            clicked = true;
            window->cmdSwap->click();
            targetAtTheClick = LabelledPages::of(m_target);
        });

        window->cmdSwap->click();
        QVERIFY(clicked);
        QCOMPARE(targetAtTheClick, LabelledPages::run(11, 15));
        QCOMPARE(LabelledPages::of(m_target), (QList<int>{11, 12, 13, 14, 15, 4}));
        QTRY_COMPARE(LabelledPages::of(m_target), (QList<int>{11, 12, 13, 14, 15, 4, 1}));
        QCOMPARE(LabelledPages::of(m_source), (QList<int>{2, 3, 5, 6, 7}));
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void closingTheWindowDuringAnOperationWaitsForItsEnd()
    {
        const auto window = f.start(false, true);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 4));
        f.showDestination(*window, QStringLiteral("target.tif"));
        OperationsFixture::chooseMode(*window, ModeAppend);
        // The window is closed while the transfer writes, after a second click.
        bool closed = false;
        bool openAfterTheClose = false;
        f.progress->onReport([&] {
            if (closed)
                return;
            closed = true;
            window->cmdSwap->click();
            window->close();
            openAfterTheClose = window->isVisible();
        });

        window->cmdSwap->click();
        QVERIFY(closed);
        QVERIFY(openAfterTheClose);
        // The Move ended whole before the window closed; the second click was dropped.
        QCOMPARE(LabelledPages::of(m_target), (QList<int>{11, 12, 13, 14, 15, 4}));
        QCOMPARE(LabelledPages::of(m_source), (QList<int>{1, 2, 3, 5, 6, 7}));
        QTRY_VERIFY(!window->isVisible());
        QTest::qWait(20);
        QCOMPARE(LabelledPages::of(m_target), (QList<int>{11, 12, 13, 14, 15, 4}));
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void aFileAnotherProgramChangesIsWaitedForVisiblyAndTheWaitMayBeCancelled()
    {
        f.threadedProgress.emplace(std::chrono::milliseconds(0));
        const auto window = f.start(false, true);
        QVERIFY(f.showSource(*window, QStringLiteral("source.tif"), 4));
        f.showDestination(*window, QStringLiteral("target.tif"));
        OperationsFixture::chooseMode(*window, ModeAppend);
        FileLocks other; // another program changing target.tif
        QVERIFY(other.lock(FileLayer::system(), m_target.toStdString(), {}));
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
        QCOMPARE(LabelledPages::of(m_target), LabelledPages::run(11, 15));
        window->cmdSwap->click();
        QCOMPARE(LabelledPages::of(m_source), (QList<int>{1, 2, 3, 5, 6, 7}));
        QCOMPARE(LabelledPages::of(m_target), (QList<int>{11, 12, 13, 14, 15, 4}));
    }

private:
    OperationsFixture f;
    QString m_source;
    QString m_target;
};

int runOneAtATimeTests(int argc, char** argv)
{
    OneAtATimeTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "OneAtATimeTest.moc"
