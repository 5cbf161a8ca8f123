// The platform's own pieces: reading typed numbers, the progress dialog and the file dialog.

#include "HiddenFiles.h"
#include "NumericText.h"
#include "QtFileDialogService.h"
#include "QtProgressService.h"

#include <QApplication>
#include <QFileDialog>
#include <QListView>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
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

    void operator()(const ProgressService::Report& report)
    {
        for (std::uint64_t done = 0; !release; done += 10) {
            if (!report(std::min<std::uint64_t>(done, 100), 100)) {
                stopped = true;
                throw std::runtime_error("stopped");
            }
            std::this_thread::sleep_for(5ms);
        }
    }
};

// Probes every 10 ms for the progress dialog while service runs work, and calls seen with
// it until seen returns true.
void runProbing(QtProgressService& service, HeldWork& work,
                const std::function<bool(QProgressDialog&)>& seen)
{
    QTimer probe;
    bool done = false;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (QProgressDialog* dialog = shownDialog(); dialog && !done)
            done = seen(*dialog);
    });
    probe.start(10);
    service.run("Writing scan.tif...", std::ref(work));
}

} // namespace

class PlatformTest : public QObject
{
    Q_OBJECT

private slots:
    void textsReadAsNumbersAsThePlatformReadsThem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("whole");
        QTest::newRow("digits") << "12" << 12.0 << 12;
        QTest::newRow("blanks around") << "  7 " << 7.0 << 7;
        QTest::newRow("tabs around") << "\t7\t" << 7.0 << 7;
        QTest::newRow("plus sign") << "+3" << 3.0 << 3;
        QTest::newRow("minus sign") << "-3" << -3.0 << -3;
        QTest::newRow("leading zeros") << "03" << 3.0 << 3;
        QTest::newRow("decimal point") << "2.25" << 2.25 << 2;
        QTest::newRow("point first") << ".75" << 0.75 << 1;
        QTest::newRow("point last") << "4." << 4.0 << 4;
        QTest::newRow("exponent") << "5e2" << 500.0 << 500;
        QTest::newRow("exponent, capital, signed") << "25E-1" << 2.5 << 2;
        QTest::newRow("half to even, down") << "2.5" << 2.5 << 2;
        QTest::newRow("half to even, up") << "3.5" << 3.5 << 4;
        QTest::newRow("half to even, negative") << "-0.5" << -0.5 << 0;
        QTest::newRow("above the 32-bit range") << "1e12" << 1e12 << INT32_MAX;
        QTest::newRow("below the 32-bit range") << "-1e12" << -1e12 << INT32_MIN;
    }

    void textsReadAsNumbersAsThePlatformReadsThem()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(int, whole);
        QVERIFY(NumericText::isNumber(text) && NumericText::readWhole(text).has_value());
        QCOMPARE(*NumericText::read(text), value);
        QCOMPARE(*NumericText::readWhole(text), std::int32_t(whole));
    }

    void textsThatAreNoNumbers()
    {
        // Empty, blanks only, lone signs and points, letters, a bad exponent, two points or
        // signs, a blank inside, a group separator, spelt-out infinity and not-a-number,
        // hexadecimal, too large for a double.
        for (const char* text : {"", "   ", "-", "+", ".", "-.", "a", "3a", "1e", "e5", "1.2.3",
                                 "--1", "1 2", "1,000", "inf", "nan", "0x10", "1e400"}) {
            QVERIFY2(!NumericText::isNumber(text) && !NumericText::read(text) &&
                         !NumericText::readWhole(text),
                     text);
        }
    }

    // The Save dialog lists a folder's TIFF files except those the folder hides (the
    // working files blank.tif and temp.tif in the program folder).
    void theFileDialogLeavesOutTheFilesAFolderHides()
    {
        QTemporaryDir folder;
        for (const char* name : {"scan.tif", "blank.tif", "temp.tif", "notes.txt"})
            QVERIFY(QFile(folder.filePath(name)).open(QIODevice::WriteOnly));
        QVERIFY(HiddenFiles::hide(folder.filePath("blank.tif")) &&
                HiddenFiles::hide(folder.filePath("temp.tif")));
        QStringList listed;
        int probes = 0; // the folder is read in the background: 5 s at most
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            const auto* view = dialog ? dialog->findChild<QListView*>("listView") : nullptr;
            if (!view)
                return;
            listed.clear();
            for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
                if (!view->isRowHidden(row))
                    listed << view->model()->index(row, 0, view->rootIndex()).data().toString();
            if (listed == QStringList{"scan.tif"} || ++probes == 250)
                dialog->reject();
        });
        probe.start(20);
        QtFileDialogService().choose(
            nullptr,
            {FileDialogService::Mode::Save, "Save As", folder.path(), {"TIFF Image (*.tif)"}});
        QCOMPARE(listed, QStringList{"scan.tif"});
    }

    void shortWorkRunsWithoutADialogAndWithoutOtherEvents()
    {
        bool eventHandled = false, ran = false;
        QTimer::singleShot(0, this, [&] { eventHandled = true; });
        QtProgressService(2000ms).run("Writing a.tif...",
                                      [&](const ProgressService::Report&) { ran = !eventHandled; });
        QVERIFY(ran && !eventHandled);
        QTRY_VERIFY(eventHandled);
    }

    void longWorkShowsAModalDialogWhileTheWindowTakesNoClicks()
    {
        QWidget window;
        auto* button = new QPushButton("Go", &window);
        int clicks = 0;
        connect(button, &QPushButton::clicked, this, [&] { ++clicks; });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Through the window system, as a user's click comes.
        const auto click = [&] {
            QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {},
                              button->mapTo(&window, button->rect().center()));
        };

        QtProgressService service(50ms);
        HeldWork work;
        QString seen;
        runProbing(service, work, [&](QProgressDialog& dialog) {
            if (dialog.value() <= 0)
                return false; // the first progress has not been shown yet
            seen = dialog.labelText();
            click();
            work.release = true;
            return true;
        });
        QCOMPARE(seen, "Writing scan.tif...");
        QVERIFY(!work.stopped && clicks == 0 && !shownDialog());
        // The same click once the work is done reaches the window.
        click();
        QCOMPARE(clicks, 1);
    }

    void cancelAsksTheWorkToStopAndWaitsForIt()
    {
        QtProgressService service(0ms);
        HeldWork work;
        QString labelAfterCancel, failure;
        try {
            runProbing(service, work, [&](QProgressDialog& dialog) {
                const QList<QPushButton*> buttons = dialog.findChildren<QPushButton*>();
                if (buttons.size() != 1)
                    return false;
                buttons.first()->click();
                labelAfterCancel = dialog.labelText();
                return true;
            });
        } catch (const std::runtime_error& error) {
            failure = QString::fromLatin1(error.what());
        }
        QCOMPARE(labelAfterCancel + ' ' + failure, "Stopping... stopped");
        QVERIFY(work.stopped && !shownDialog());
    }
};

QTEST_MAIN(PlatformTest)
#include "PlatformTest.moc"
