// The page strips on the 500-page A4 300 dpi G4 scan in the main window, as a user meets
// them: the first screenful of thumbnails after the file is opened, all 500 made while the
// strip is scrolled, the longest event on the window's thread meanwhile, the thumbnails'
// memory (also for a file of 20,000 pages), and deleting 10 selected pages against deleting
// one. References measured in the same run: libtiff decoding the same pages, and the goals.
// Runs on any Qt platform; with no display, set QT_QPA_PLATFORM=offscreen.
//   tessary-bench-strips CORPUS-FOLDER [RUNS] [MANY-PAGES.tif]

#include "Corpus.h"
#include "ImagingAdminControl.h"
#include "ImagingEdit.h"
#include "PageStrip.h"
#include "PageStripModel.h"
#include "PortableHelpPlatform.h"
#include "PrimaryScreenSize.h"
#include "ProcessLauncher.h"
#include "ProgramFolder.h"
#include "QtFileDialogService.h"
#include "QtFolderChooser.h"
#include "QtMessageBoxService.h"
#include "QtProgressService.h"
#include "SettingsStore.h"
#include "Tessary.h"
#include "ThumbnailProvider.h"
#include "TiffDocument.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <tiffio.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr double slowEventMs = 30;

// Times every event the window's thread delivers, outermost deliveries only.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth++ > 0) {
            const bool done = QApplication::notify(receiver, event);
            --m_depth;
            return done;
        }
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = threadCpuMs();
        const bool done = QApplication::notify(receiver, event);
        --m_depth;
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (recording) {
            longestCpuMs = std::max(longestCpuMs, threadCpuMs() - cpuBefore);
            longestMs = std::max(longestMs, ms);
            slow += ms > slowEventMs ? 1 : 0;
        }
        return done;
    }

    // The processor time the window's thread spent on it, without the time it waited for
    // a processor while other programs ran.
    static double threadCpuMs()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    }

    bool recording = false;
    double longestMs = 0;
    double longestCpuMs = 0;
    int slow = 0;

private:
    int m_depth = 0;
};

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

// The processor time of every thread of the program so far.
double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs the window's events until done() holds or timeoutMs passes; samples() on the way.
// The loop sleeps between events as the window's own does: done() is looked at every 2 ms,
// not after every event in a spinning loop, which would take a core from the thumbnails.
bool runUntil(const std::function<bool()>& done, int timeoutMs,
              const std::function<void()>& sample = {})
{
    if (done())
        return true;
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    bool held = false;
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (sample)
            sample();
        held = done();
        if (held || timer.elapsed() > timeoutMs)
            loop.quit();
    });
    check.start(2);
    loop.exec();
    return held;
}

bool made(const tessary::PageStrip& strip, int row)
{
    return !strip.model()
                ->data(strip.model()->index(row, 0), tessary::PageStripModel::ThumbnailRole)
                .value<QImage>()
                .isNull();
}

// The rows the strip shows now.
std::pair<int, int> inView(const tessary::PageStrip& strip)
{
    const QModelIndex first = strip.indexAt(QPoint(2, strip.viewport()->height() / 2));
    const int columns = strip.viewport()->width() / std::max(strip.gridSize().width(), 1) + 1;
    const int from = first.isValid() ? first.row() : 0;
    return {from, std::min(strip.model()->rowCount() - 1, from + columns - 1)};
}

bool screenfulMade(const tessary::PageStrip& strip)
{
    const auto [first, last] = inView(strip);
    for (int row = first; row <= last; ++row)
        if (!made(strip, row))
            return false;
    return last >= first;
}

// libtiff's fastest decode of every page of path, strip by strip.
// Returns its processor time.
double libtiffDecodeAll(const fs::path& path)
{
    const double before = processCpuMs();
    TIFF* tif = TIFFOpen(path.c_str(), "rm");
    std::vector<std::uint8_t> buffer;
    do {
        const std::uint32_t strips = TIFFNumberOfStrips(tif);
        const tmsize_t size = TIFFStripSize(tif);
        buffer.resize(std::size_t(size) * strips);
        for (std::uint32_t s = 0; s < strips; ++s)
            TIFFReadEncodedStrip(tif, s, buffer.data() + std::size_t(size) * s, size);
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
    return processCpuMs() - before;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication application(argc, argv);
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    if (argc < 2) {
        std::fprintf(stderr, "usage: tessary-bench-strips CORPUS-FOLDER [RUNS] [MANY-PAGES.tif]\n");
        return 2;
    }
    const fs::path corpus = argv[1];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const QString many = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    bench::makeCorpus(corpus);
    const QString scan = QString::fromStdString((corpus / "scan500.tif").string());

    // The window as the program makes it, its settings and program folder temporary, the
    // page strips on, as large as a maximised window on a 1280 by 1024 screen.
    QTemporaryDir work;
    const QDir root(work.path());
    root.mkpath(QStringLiteral("program"));
    QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/blank.tif"),
                root.filePath(QStringLiteral("program/blank.tif")));
    tessary::QtMessageBoxService messageBoxes;
    tessary::QtFileDialogService fileDialogs;
    tessary::QtFolderChooser folders;
    tessary::ProcessLauncher launcher;
    tessary::PrimaryScreenSize screen;
    const tessary::ProgramFolder programFolder(root.filePath(QStringLiteral("program")));
    tessary::SettingsStore settings(root.filePath(QStringLiteral("settings")),
                                    [] { return QStringLiteral("Tessary"); });
    settings.write(tessary::SettingsStore::PageStrips, QStringLiteral("Yes"));
    settings.write(tessary::SettingsStore::PromptActions, QStringLiteral("No"));
    tessary::PortableHelpPlatform help(messageBoxes, root.filePath(QStringLiteral("help.ini")));
    tessary::QtProgressService progress;
    tessary::Tessary window({messageBoxes, fileDialogs, folders, launcher, screen, programFolder,
                             settings, help, progress});
    window.resize(1280, 990);
    window.show();
    QCoreApplication::processEvents();
    auto* strip = window.findChild<tessary::PageStrip*>(QStringLiteral("stripSrc"));
    tessary::ThumbnailProvider& provider = strip->pages().provider();

    // Opening the scan: the pane shows page 1, the strip its first screenful.
    const long residentBefore = residentKiB();
    qsizetype peakBytes = 0;
    const auto sampleBytes = [&] {
        peakBytes = std::max(peakBytes, provider.bytes());
    };
    QElapsedTimer clock;
    clock.start();
    window.openSource(scan);
    const double openedMs = double(clock.nsecsElapsed()) / 1e6;
    application.recording = true;
    const double cpuBefore = processCpuMs();
    if (!runUntil([&] { return screenfulMade(*strip); }, 10000, sampleBytes)) {
        std::fprintf(stderr, "the first screenful was not made\n");
        return 1;
    }
    strip->viewport()->repaint();
    const double firstMs = double(clock.nsecsElapsed()) / 1e6;
    const int screenful = inView(*strip).second - inView(*strip).first + 1;

    // All 500, the strip scrolled a screenful at a time every 100 ms meanwhile.
    QTimer scroller;
    QObject::connect(&scroller, &QTimer::timeout, [&] {
        QScrollBar* bar = strip->horizontalScrollBar();
        bar->setValue(bar->value() + strip->viewport()->width());
    });
    scroller.start(100);
    // Rows are passed over once made (a full check confirms the end), so that the watching
    // costs the window's thread little.
    int madeSoFar = 0;
    const auto allMade = [&] {
        const int rows = strip->model()->rowCount();
        while (madeSoFar < rows && made(*strip, madeSoFar))
            ++madeSoFar;
        if (madeSoFar < rows)
            return false;
        for (int row = 0; row < rows; ++row) {
            if (!made(*strip, row)) {
                madeSoFar = row;
                return false;
            }
        }
        return true;
    };
    if (!runUntil(allMade, 60000, sampleBytes)) {
        std::fprintf(stderr, "not every thumbnail was made\n");
        return 1;
    }
    const double allMs = double(clock.nsecsElapsed()) / 1e6;
    const double allCpuMs = processCpuMs() - cpuBefore;
    scroller.stop();
    application.recording = false;
    const double longest = application.longestMs;
    const double longestCpu = application.longestCpuMs;
    const int slow = application.slow;
    const long residentAfter = residentKiB();
    const double libtiffMs = libtiffDecodeAll(scan.toStdString());

    double load[3] = {};
    getloadavg(load, 3);
    std::printf("Page strips on a 500-page A4 300 dpi G4 scan (%d thumbnails a screenful, "
                "%d cores, load average %.1f)\n",
                screenful, QThread::idealThreadCount(), load[0]);
    std::printf("%-52s %10s %10s %7s\n", "", "measured", "reference", "ratio");
    std::printf("%-52s %8.1f ms %7.1f ms %7.2f   (the pane's own opening: %.1f ms)\n",
                "first screenful drawn, from opening; goal", firstMs, 200.0, firstMs / 200.0,
                openedMs);
    std::printf("%-52s %8.1f ms %7.1f ms %7.2f\n", "all 500 made, from opening; goal", allMs,
                4000.0, allMs / 4000.0);
    std::printf("%-52s %8.1f ms %7.1f ms %7.2f   (wall time on %d idle cores at best: %.0f ms)\n",
                "all 500 made, processor time; libtiff decoding them", allCpuMs, libtiffMs,
                allCpuMs / libtiffMs, QThread::idealThreadCount(),
                allCpuMs / QThread::idealThreadCount());
    std::printf("%-52s %8.1f ms %7.1f ms %7.2f   (%d events over %.0f ms)\n",
                "longest event on the window's thread meanwhile; goal", longest, slowEventMs,
                longest / slowEventMs, slow, slowEventMs);
    std::printf("%-52s %8.1f ms %7.1f ms %7.2f\n",
                "  its processor time at most (without waits); goal", longestCpu, slowEventMs,
                longestCpu / slowEventMs);
    std::printf("%-52s %7.1f MiB %6.1f MiB %7.2f   (resident memory grew %.1f MiB)\n",
                "thumbnail cache, peak; goal", double(peakBytes) / 1048576, 32.0,
                double(peakBytes) / 1048576 / 32.0, double(residentAfter - residentBefore) / 1024);

    // A file of many pages, scrolled from its start to its end in 40 jumps.
    if (!many.isEmpty() && QFile::exists(many)) {
        auto* destination = window.findChild<tessary::PageStrip*>(QStringLiteral("stripDes"));
        peakBytes = 0;
        application.longestMs = 0;
        application.slow = 0;
        application.recording = true;
        window.openDestination(many);
        QElapsedTimer jumps;
        jumps.start();
        const int pages = destination->model()->rowCount();
        for (int jump = 0; jump <= 40; ++jump) {
            destination->scrollTo(destination->model()->index(pages * jump / 40 - (jump == 40), 0),
                                  QAbstractItemView::PositionAtCenter);
            if (!runUntil([&] { return screenfulMade(*destination); }, 20000, sampleBytes)) {
                std::fprintf(stderr, "a screenful of %s was not made\n", qPrintable(many));
                return 1;
            }
        }
        runUntil([&] { return provider.pending() == 0; }, 60000, sampleBytes);
        application.recording = false;
        std::printf("%-52s %7.1f MiB %6.1f MiB %7.2f   (%d pages, 41 screenfuls in %.0f ms, "
                    "longest event %.1f ms)\n",
                    "thumbnail cache on the many-page file, peak; goal",
                    double(peakBytes) / 1048576, 32.0, double(peakBytes) / 1048576 / 32.0, pages,
                    double(jumps.elapsed()), application.longestMs);
    }

    // One thumbnail against libtiff decoding the same page, on one thread, each page of 40.
    {
        const auto document = tessary::TiffDocument::open(scan.toStdString());
        TIFF* tif = TIFFOpen(scan.toStdString().c_str(), "rm");
        std::vector<double> thumbnail;
        std::vector<double> decode;
        std::vector<std::uint8_t> buffer;
        for (int page = 101; page <= 140; ++page) {
            QElapsedTimer timer;
            timer.start();
            tessary::ThumbnailProvider::make(*document, page, strip->pages().thumbnailSize());
            thumbnail.push_back(double(timer.nsecsElapsed()) / 1e6);
            TIFFSetDirectory(tif, tdir_t(page - 1));
            timer.restart();
            const tmsize_t size = TIFFStripSize(tif);
            buffer.resize(std::size_t(size) * TIFFNumberOfStrips(tif));
            for (std::uint32_t s = 0; s < TIFFNumberOfStrips(tif); ++s)
                TIFFReadEncodedStrip(tif, s, buffer.data() + std::size_t(size) * s, size);
            decode.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        TIFFClose(tif);
        std::printf("%-52s %8.2f ms %7.2f ms %7.2f\n",
                    "one thumbnail made; libtiff decoding the page", median(thumbnail),
                    median(decode), median(thumbnail) / median(decode));
    }

    // Deleting 10 selected pages against deleting one, each on a fresh copy of the scan.
    tessary::ImagingAdminControl admin(fileDialogs);
    const QString copy = root.filePath(QStringLiteral("copy.tif"));
    const auto timeDelete = [&](const std::function<void()>& remove) {
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            QFile::remove(copy);
            QFile::copy(scan, copy);
            admin.setFileName(copy);
            QElapsedTimer timer;
            timer.start();
            remove();
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        return median(times);
    };
    const double one = timeDelete([&] { admin.deletePages(250, 1); });
    const double ten = timeDelete([&] {
        admin.deletePages(QList<std::int32_t>{3, 50, 51, 52, 120, 250, 251, 380, 420, 499});
    });
    std::printf("%-52s %8.1f ms %7.1f ms %7.2f   (goal: 1.20, median of %d)\n",
                "delete 10 selected pages; delete 1 page", ten, one, ten / one, runs);
    return 0;
}
