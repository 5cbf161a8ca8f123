// Times a page turn in the viewer as the navigation buttons make it (the page set, fitted,
// decoded, scaled and painted) on the 500-page scan, to the first and to the last page,
// against libtiff decoding the same page in an open file. Runs on any Qt platform; with no
// display, set QT_QPA_PLATFORM=offscreen.

#include "Corpus.h"
#include "ImagingEditControl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <tiffio.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Median milliseconds of turn(), each run after prepare().
double timeTurn(int reps, const std::function<void()>& prepare, const std::function<void()>& turn)
{
    std::vector<double> runs;
    for (int i = 0; i < reps; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        turn();
        runs.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(runs);
}

// libtiff's fastest decode of one page of an open file, strip by strip into one buffer.
void libtiffDecode(TIFF* tif, int page)
{
    TIFFSetDirectory(tif, tdir_t(page - 1));
    const std::uint32_t strips = TIFFNumberOfStrips(tif);
    const tmsize_t size = TIFFStripSize(tif);
    std::vector<std::uint8_t> buffer(std::size_t(size) * strips);
    for (std::uint32_t s = 0; s < strips; ++s)
        TIFFReadEncodedStrip(tif, s, buffer.data() + std::size_t(size) * s, size);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    if (argc < 2) {
        std::fprintf(stderr, "usage: tessary-bench-view CORPUS-FOLDER [RUNS]\n");
        return 2;
    }
    const fs::path corpus = argv[1];
    const int reps = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    bench::makeCorpus(corpus);
    const fs::path scan = corpus / "scan500.tif";

    // The source viewer's size in the main window.
    tessary::ImagingEditControl viewer;
    viewer.resize(297, 377);
    viewer.show();
    viewer.setImage(QString::fromStdString(scan.string()));
    const auto showPage = [&viewer](int page) {
        viewer.setPage(page);
        viewer.fitTo(tessary::ImagingEditControl::FitWholePage);
        viewer.display();
        viewer.viewport()->repaint();
    };
    if (viewer.pageCount() != 500) {
        std::fprintf(stderr, "%s does not hold 500 pages\n", scan.c_str());
        return 1;
    }

    TIFF* tif = TIFFOpen(scan.c_str(), "rm");
    const double libtiffFirst = timeTurn(
        reps, [&] { libtiffDecode(tif, 2); }, [&] { libtiffDecode(tif, 1); });
    const double libtiffLast = timeTurn(
        reps, [&] { libtiffDecode(tif, 499); }, [&] { libtiffDecode(tif, 500); });
    TIFFClose(tif);
    // "<<" from page 2 and ">>" from page 499: each turn decodes a page not shown before it.
    const double first = timeTurn(
        reps, [&] { showPage(2); }, [&] { showPage(1); });
    const double last = timeTurn(
        reps, [&] { showPage(499); }, [&] { showPage(500); });

    std::printf("Page turn in the viewer on a 500-page A4 300 dpi G4 scan, median of %d\n", reps);
    std::printf("%-30s %10s %14s %7s\n", "turn", "viewer ms", "libtiff ms", "ratio");
    std::printf("%-30s %10.2f %14.2f %7.2f\n", "to page 1 (\"<<\")", first, libtiffFirst,
                first / libtiffFirst);
    std::printf("%-30s %10.2f %14.2f %7.2f\n", "to page 500 (\">>\")", last, libtiffLast,
                last / libtiffLast);
    std::printf("turn to page 500 / turn to page 1: %.2f\n", last / first);
    return 0;
}
