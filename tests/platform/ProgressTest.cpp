#include "QtProgressService.h"

#include <QApplication>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace tessary;
using namespace std::chrono_literals;

namespace {

QProgressDialog* shownDialog()
{
    return qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
}

// Work that reports until release is set (or it is asked to stop), then ends.
struct HeldWork
{
    std::atomic<bool> release{false};
    std::atomic<bool> stopped{false};
    std::atomic<bool> onOtherThread{false};
    QThread* caller = QThread::currentThread();

    void operator()(const ProgressService::Report& report)
    {
        onOtherThread = QThread::currentThread() != caller;
        std::uint64_t done = 0;
        while (!release) {
            if (!report(std::min<std::uint64_t>(done, 100), 100)) {
                stopped = true;
                throw std::runtime_error("stopped");
            }
            done += 10;
            std::this_thread::sleep_for(5ms);
        }
    }
};

} // namespace

class ProgressTest : public QObject
{
    Q_OBJECT

private slots:
    void shortWorkRunsWithoutADialogAndWithoutOtherEvents()
    {
        QtProgressService service(2000ms);
        bool eventHandled = false;
        QTimer::singleShot(0, this, [&] { eventHandled = true; });
        bool ran = false;
        service.run(QStringLiteral("Writing a.tif..."),
                    [&](const ProgressService::Report&) { ran = true; });
        QVERIFY(ran);
        QVERIFY(!eventHandled);
        QTRY_VERIFY(eventHandled);
    }

    void longWorkShowsAModalDialogWhileTheWindowTakesNoClicks()
    {
        QWidget window;
        auto* button = new QPushButton(QStringLiteral("Go"), &window);
        int clicks = 0;
        connect(button, &QPushButton::clicked, this, [&] { ++clicks; });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QtProgressService service(50ms);
        HeldWork work;
        QString label;
        int value = -1;
        bool seen = false;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            QProgressDialog* dialog = shownDialog();
            if (!dialog || seen)
                return;
            if (dialog->value() <= 0)
                return; // the first progress has not been shown yet
            seen = true;
            label = dialog->labelText();
            value = dialog->value();
            // Through the window system, as a user's click comes.
            QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                              button->mapTo(&window, button->rect().center()));
            work.release = true;
        });
        probe.start(10);
        service.run(QStringLiteral("Writing scan.tif..."), std::ref(work));
        probe.stop();

        QVERIFY(seen);
        QVERIFY(work.onOtherThread);
        QCOMPARE(label, QStringLiteral("Writing scan.tif..."));
        QVERIFY(value > 0);
        QCOMPARE(clicks, 0);
        QVERIFY(!work.stopped);
        QVERIFY(!shownDialog());
        // The same click once the work is done reaches the window.
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                          button->mapTo(&window, button->rect().center()));
        QCOMPARE(clicks, 1);
    }

    void cancelAsksTheWorkToStopAndWaitsForIt()
    {
        QtProgressService service(0ms);
        HeldWork work;
        QString labelAfterCancel;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            QProgressDialog* dialog = shownDialog();
            if (!dialog || !labelAfterCancel.isEmpty())
                return;
            const QList<QPushButton*> buttons = dialog->findChildren<QPushButton*>();
            QCOMPARE(buttons.size(), 1);
            buttons.first()->click();
            labelAfterCancel = dialog->labelText();
        });
        probe.start(10);
        QString failure;
        try {
            service.run(QStringLiteral("Writing scan.tif..."), std::ref(work));
        } catch (const std::runtime_error& error) {
            failure = QString::fromLatin1(error.what());
        }
        probe.stop();
        QCOMPARE(labelAfterCancel, QtProgressService::stoppingText);
        QVERIFY(work.stopped);
        QCOMPARE(failure, QStringLiteral("stopped"));
        QVERIFY(!shownDialog());
    }
};

int runProgressTests(int argc, char** argv)
{
    ProgressTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ProgressTest.moc"
