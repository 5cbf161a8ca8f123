#include "EngineCall.h"
#include "EngineError.h"
#include "ImagingAdminControl.h"
#include "ImagingEditControl.h"
#include "ImagingError.h"
#include "QtFileDialogService.h"
#include "ScriptedFileDialogService.h"
#include "TestTiff.h"
#include "TiffDocument.h"

#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

using namespace tessary;
using tessary::testing::TestTiff;

namespace {

const QString testdata = QStringLiteral(TESSARY_TESTDATA_DIR);

// The grey level of each page of a file made by these tests, read back with the engine:
// each page of them is of one grey level, so it names the page.
QList<int> pageLevels(const QString& path)
{
    QList<int> levels;
    const auto document = TiffDocument::open(EngineCall::toPath(path));
    for (std::int32_t page = 1; page <= document->pageCount(); ++page)
        levels.append(document->decode(page).pixels.at(0));
    return levels;
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The smallest rectangle of the view's pixels that differ from its background.
QRect drawnArea(ImagingEditControl& viewer)
{
    const QImage shot = viewer.viewport()->grab().toImage();
    const QRgb background = shot.pixel(0, 0);
    QRect area;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (shot.pixel(x, y) != background)
                area |= QRect(x, y, 1, 1);
    return area;
}

// Shows the viewer at its size, so that its view is laid out as on the screen.
bool shown(ImagingEditControl& viewer, QSize size)
{
    viewer.resize(size);
    viewer.show();
    return QTest::qWaitForWindowExposed(&viewer);
}

template <typename Call>
std::optional<ImagingError> failureOf(Call call)
{
    try {
        call();
    } catch (const ImagingError& error) {
        return error;
    }
    return std::nullopt;
}

} // namespace

class ImagingTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir.emplace();
        // Five pages of grey levels 10 to 50, of different sizes.
        m_five = path(QStringLiteral("five.tif"));
        QVERIFY(TestTiff::write(m_five, {TestTiff::plain(40, 30, 10), TestTiff::plain(30, 40, 20),
                                         TestTiff::plain(50, 50, 30), TestTiff::plain(60, 20, 40),
                                         TestTiff::plain(20, 60, 50)}));
        m_three = path(QStringLiteral("three.tif"));
        QVERIFY(
            TestTiff::write(m_three, {TestTiff::plain(16, 16, 110), TestTiff::plain(16, 16, 120),
                                      TestTiff::plain(16, 16, 130)}));
    }

    // Viewer.

    void aPageTooLargeToHoldIsShownShrunkAndSaysSo()
    {
        // 100000 by 100000 pixels declared in a few kilobytes: in full it would take ten
        // gigabytes.
        const QString bomb =
            testdata + QStringLiteral("/generated/bomb-g4-100000x100000-blank.tif");
        if (!QFile::exists(bomb))
            QSKIP("the shared sample files are not beside the repository");
        ImagingEditControl viewer;
        QVERIFY(shown(viewer, QSize(300, 300)));
        viewer.setImage(bomb);
        viewer.fitTo(ImagingEdit::FitWholePage);
        viewer.display();
        QVERIFY2(viewer.notice().contains(QStringLiteral("too large to show in full")),
                 qPrintable(viewer.notice()));
        // Fitted as the whole page: the zoom is the view's size over the page's, not over
        // the shrunk image's.
        QVERIFY(viewer.zoom() < 0.3f);
        QVERIFY(!drawnArea(viewer).isEmpty());
    }

    void loadingCountsPagesAndExplainsFilesItCannotRead_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("explained");
        QTest::newRow("made here") << QStringLiteral("five.tif") << 5 << false;
        QTest::newRow("G4 scans") << testdata + QStringLiteral("/multipage/g4-multi.tiff") << 3
                                  << false;
        QTest::newRow("text with a .tif name")
            << testdata + QStringLiteral("/generated/not-tiff-text.tif") << 0 << true;
        QTest::newRow("empty file")
            << testdata + QStringLiteral("/generated/empty-0-bytes.tif") << 0 << true;
        QTest::newRow("no pages") << testdata +
                                         QStringLiteral("/generated/zero-pages-ifd-offset-0.tif")
                                  << 0 << true;
        QTest::newRow("missing") << QStringLiteral("gone.tif") << 0 << true;
    }

    void loadingCountsPagesAndExplainsFilesItCannotRead()
    {
        QFETCH(QString, file);
        QFETCH(int, pages);
        QFETCH(bool, explained);
        if (!file.contains(QLatin1Char('/')))
            file = path(file);
        else if (!QFile::exists(file) && file.startsWith(testdata))
            QSKIP("the shared sample files are not beside the repository");
        ImagingEditControl viewer;
        viewer.setImage(file);
        QCOMPARE(viewer.image(), file);
        QCOMPARE(viewer.pageCount(), pages);
        QCOMPARE(viewer.page(), pages > 0 ? 1 : 0);
        viewer.fitTo(ImagingEdit::FitWholePage);
        viewer.setPage(1);
        viewer.display(); // no exception, no message box: the view says it
        QCOMPARE(!viewer.notice().isEmpty(), explained);
        QCOMPARE(viewer.accessibleDescription(), viewer.notice());

        viewer.clearDisplay();
        viewer.setImage(QString());
        QCOMPARE(viewer.image(), QString());
        QCOMPARE(viewer.pageCount(), 0);
    }

    void pagesThatCannotBeDecodedSayWhyAndCanBePassed()
    {
        const QString file = testdata + QStringLiteral("/valid/flower-rgb-contig-02.tif");
        if (!QFile::exists(file))
            QSKIP("the shared sample files are not beside the repository");
        ImagingEditControl viewer;
        viewer.setImage(file);
        QCOMPARE(viewer.pageCount(), 1);
        viewer.display();
        QVERIFY(!viewer.notice().isEmpty());
        QCOMPARE(viewer.page(), 1);
    }

    void pagesOutsideTheFileRaise1019AndKeepThePageShown_data()
    {
        QTest::addColumn<int>("asked");
        QTest::newRow("0") << 0;
        QTest::newRow("-1") << -1;
        QTest::newRow("one past the last") << 6;
        QTest::newRow("far past") << 2147483647;
    }

    void pagesOutsideTheFileRaise1019AndKeepThePageShown()
    {
        QFETCH(int, asked);
        ImagingEditControl viewer;
        viewer.setImage(m_five);
        viewer.setPage(3);
        viewer.display();
        viewer.setPage(asked);
        viewer.fitTo(ImagingEdit::FitWholePage);
        const std::optional<ImagingError> error = failureOf([&] { viewer.display(); });
        QVERIFY(error);
        QCOMPARE(error->number, int(ImagingError::CannotShowPage));
        QCOMPARE(viewer.page(), 3);
        // The page shown stays usable.
        viewer.display();
        viewer.setPage(5);
        viewer.display();
        QCOMPARE(viewer.page(), 5);
    }

    void pageBoxTextIsReadAsANumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("page"); // 0: error 1019 at display; -1: not a number
        QTest::newRow("plain") << QStringLiteral("4") << 4;
        QTest::newRow("blanks around") << QStringLiteral("  2 ") << 2;
        QTest::newRow("half rounds to even, down") << QStringLiteral("2.5") << 2;
        QTest::newRow("half rounds to even, up") << QStringLiteral("3.5") << 4;
        QTest::newRow("exponent") << QStringLiteral("5e0") << 5;
        QTest::newRow("past the last page") << QStringLiteral("9") << 0;
        QTest::newRow("huge") << QStringLiteral("1e30") << 0;
        QTest::newRow("negative") << QStringLiteral("-2") << 0;
        QTest::newRow("letters") << QStringLiteral("x3") << -1;
        QTest::newRow("empty") << QString() << -1;
    }

    void pageBoxTextIsReadAsANumber()
    {
        QFETCH(QString, text);
        QFETCH(int, page);
        ImagingEditControl viewer;
        viewer.setImage(m_five);
        viewer.display();
        const std::optional<ImagingError> setting = failureOf([&] { viewer.setPage(text); });
        if (page == -1) {
            QVERIFY(setting);
            QCOMPARE(setting->number, int(ImagingError::InvalidArgument));
            return;
        }
        QVERIFY(!setting);
        const std::optional<ImagingError> shown = failureOf([&] { viewer.display(); });
        if (page == 0) {
            QVERIFY(shown);
            QCOMPARE(shown->number, int(ImagingError::CannotShowPage));
            QCOMPARE(viewer.page(), 1);
        } else {
            QVERIFY(!shown);
            QCOMPARE(viewer.page(), page);
        }
    }

    void displayShowsTheCurrentPage()
    {
        ImagingEditControl viewer;
        QVERIFY(shown(viewer, QSize(300, 300)));
        viewer.setImage(m_five);
        for (const int page : {4, 2, 5}) {
            viewer.setPage(page);
            viewer.fitTo(ImagingEdit::FitWholePage);
            viewer.display();
            const QImage shot = viewer.viewport()->grab().toImage();
            QCOMPARE(qGray(shot.pixel(shot.rect().center())), page * 10);
        }
        viewer.clearDisplay();
        QVERIFY(drawnArea(viewer).isEmpty());
    }

    void fitShowsTheWholePageInItsProportions_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("xDpi");
        QTest::addColumn<int>("yDpi");
        QTest::newRow("wide") << 800 << 300 << 200 << 200;
        QTest::newRow("tall") << 300 << 900 << 200 << 200;
        QTest::newRow("small page grows") << 40 << 30 << 200 << 200;
        QTest::newRow("fax, half the lines") << 1728 << 1100 << 204 << 98;
    }

    void fitShowsTheWholePageInItsProportions()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, xDpi);
        QFETCH(int, yDpi);
        TestTiff::Page page = TestTiff::plain(std::uint32_t(width), std::uint32_t(height), 0);
        page.xDpi = std::uint32_t(xDpi);
        page.yDpi = std::uint32_t(yDpi);
        const QString file = path(QStringLiteral("page.tif"));
        QVERIFY(TestTiff::write(file, {page}));

        ImagingEditControl viewer;
        QVERIFY(shown(viewer, QSize(320, 400)));
        viewer.setImage(file);
        viewer.fitTo(ImagingEdit::FitWholePage);
        viewer.display();
        const QRect area = drawnArea(viewer);
        const QSize view = viewer.viewport()->size();
        QVERIFY2(viewer.viewport()->rect().contains(area), "the whole page is visible");
        QVERIFY2(area.width() >= view.width() - 1 || area.height() >= view.height() - 1,
                 "the page fills the view in one direction");
        const double shownHeight = double(height) * xDpi / yDpi;
        QVERIFY(qAbs(double(area.width()) / area.height() - width / shownHeight) < 0.02);
        QCOMPARE(viewer.horizontalScrollBar()->maximum(), 0);
        QCOMPARE(viewer.verticalScrollBar()->maximum(), 0);
    }

    void shrinkingAveragesBlackAndWhiteLines()
    {
        // One-pixel black and white columns; shrunk to about a third they must turn grey,
        // not into a random pattern of black and white.
        TestTiff::Page page;
        page.width = 900;
        page.height = 900;
        page.bits = 1;
        page.pixel = [](std::uint32_t x, std::uint32_t) {
            return std::uint8_t(x % 2 ? 255 : 0);
        };
        const QString file = path(QStringLiteral("lines.tif"));
        QVERIFY(TestTiff::write(file, {page}));

        ImagingEditControl viewer;
        QVERIFY(shown(viewer, QSize(300, 300)));
        viewer.setImage(file);
        viewer.fitTo(ImagingEdit::FitWholePage);
        viewer.display();
        QVERIFY(viewer.zoom() < 40);
        const QImage shot = viewer.viewport()->grab().toImage();
        const QRect area = drawnArea(viewer).adjusted(2, 2, -2, -2);
        QVERIFY(area.width() > 200);
        const int y = area.center().y();
        for (int x = area.left(); x <= area.right(); ++x) {
            const int grey = qGray(shot.pixel(x, y));
            QVERIFY2(grey > 80 && grey < 180,
                     qPrintable(QStringLiteral("x %1 grey %2").arg(x).arg(grey)));
        }
    }

    void zoomAndScroll()
    {
        ImagingEditControl viewer;
        QVERIFY(shown(viewer, QSize(200, 200)));
        viewer.setImage(m_five);
        viewer.setPage(3); // 50 x 50
        viewer.display();
        viewer.setZoom(1000);
        QCOMPARE(viewer.zoom(), 1000.0f);
        QScrollBar* down = viewer.verticalScrollBar();
        QScrollBar* across = viewer.horizontalScrollBar();
        QCOMPARE(down->maximum(), 500 - viewer.viewport()->height());
        // Zooming keeps the middle of the page in the middle of the view.
        QVERIFY(qAbs(down->value() - down->maximum() / 2) <= 1);

        down->setValue(0);
        viewer.scroll(ImagingEdit::ScrollDown, 150);
        QCOMPARE(down->value(), 150);
        viewer.scroll(ImagingEdit::ScrollUp, 100);
        QCOMPARE(down->value(), 50);
        across->setValue(0);
        viewer.scroll(ImagingEdit::ScrollRight, 150);
        QCOMPARE(across->value(), 150);
        viewer.scroll(ImagingEdit::ScrollLeft, 1000000);
        QCOMPARE(across->value(), 0);
        viewer.scroll(ImagingEdit::ScrollDown, 2147483647);
        QCOMPARE(down->value(), down->maximum());

        const std::optional<ImagingError> direction = failureOf([&] { viewer.scroll(4, 10); });
        QVERIFY(direction && direction->number == ImagingError::InvalidArgument);
        const std::optional<ImagingError> zoom = failureOf([&] { viewer.setZoom(0); });
        QVERIFY(zoom && zoom->number == ImagingError::InvalidArgument);
        QCOMPARE(viewer.zoom(), 1000.0f);
    }

    void aDrawnRectangleIsReportedInImagePixelsAndZoomedTo()
    {
        ImagingEditControl viewer;
        QVERIFY(shown(viewer, QSize(300, 300)));
        viewer.setImage(m_five);
        viewer.setPage(3); // 50 x 50
        viewer.display();
        viewer.setZoom(400); // 200 x 200 on the screen, in the middle of the view
        const QSize view = viewer.viewport()->size();
        const QPoint origin((view.width() - 200) / 2, (view.height() - 200) / 2);

        QSignalSpy drawn(&viewer, &ImagingEdit::selectionRectDrawn);
        QTest::mousePress(viewer.viewport(), Qt::LeftButton, {}, origin + QPoint(40, 80));
        QTest::mouseMove(viewer.viewport(), origin + QPoint(100, 120));
        QTest::mouseRelease(viewer.viewport(), Qt::LeftButton, {}, origin + QPoint(120, 160));
        QCOMPARE(drawn.count(), 1);
        const QList<QVariant> rectangle = drawn.takeFirst();
        QCOMPARE(rectangle.at(0).toInt(), 10);
        QCOMPARE(rectangle.at(1).toInt(), 20);
        QCOMPARE(rectangle.at(2).toInt(), 20);
        QCOMPARE(rectangle.at(3).toInt(), 20);
        QCOMPARE(viewer.selectionRect(), QRect(10, 20, 20, 20));

        viewer.zoomToSelection();
        // The 20 pixels fill the view, beside the scroll bars.
        QVERIFY(viewer.zoom() > 1000);
        QVERIFY(20 * viewer.zoom() / 100 <= view.width());
        viewer.setSelectionRect(0, 0, 0, 0);
        QVERIFY(viewer.selectionRect().isEmpty());
        const float zoom = viewer.zoom();
        viewer.zoomToSelection();
        QCOMPARE(viewer.zoom(), zoom);
    }

    void savesWriteTheLoadedPagesAsStored()
    {
        ImagingEditControl viewer;
        viewer.setImage(m_five);
        viewer.setPage(3);
        viewer.display();

        const QString whole = path(QStringLiteral("whole.tif"));
        viewer.saveAs(whole);
        QCOMPARE(pageLevels(whole), pageLevels(m_five));

        const QString part = path(QStringLiteral("part.tif"));
        viewer.saveImage(part, 2);
        QCOMPARE(pageLevels(part), (QList<int>{30, 40}));

        // An existing file is replaced.
        viewer.saveImage(whole, 1);
        QCOMPARE(pageLevels(whole), (QList<int>{30}));

        const QString tooMany = path(QStringLiteral("too-many.tif"));
        const std::optional<ImagingError> error = failureOf([&] { viewer.saveImage(tooMany, 4); });
        QVERIFY(error);
        QCOMPARE(error->engineKind(), std::optional<ErrorKind>(ErrorKind::PageRange));
        QVERIFY(!error->message.isEmpty());
        QVERIFY(!QFile::exists(tooMany));

        ImagingEditControl empty;
        const std::optional<ImagingError> nothing = failureOf([&] { empty.saveAs(whole); });
        QVERIFY(nothing && nothing->number == ImagingError::NoFile);
    }

    void aFileChangedSinceLoadingIsNotSavedFromItsOldView()
    {
        ImagingEditControl viewer;
        viewer.setImage(m_five);
        viewer.display();
        ScriptedFileDialogService dialogs;
        ImagingAdminControl admin(dialogs);
        admin.setFileName(m_five);
        admin.deletePages(1, 1);

        const QString copy = path(QStringLiteral("copy.tif"));
        const std::optional<ImagingError> error = failureOf([&] { viewer.saveAs(copy); });
        QVERIFY(error);
        QCOMPARE(error->engineKind(), std::optional<ErrorKind>(ErrorKind::Changed));
        QVERIFY(!QFile::exists(copy));

        // Loading the name again reads the file as it is now.
        viewer.setImage(m_five);
        QCOMPARE(viewer.pageCount(), 4);
        viewer.saveAs(copy);
        QCOMPARE(pageLevels(copy), (QList<int>{20, 30, 40, 50}));
    }

    // Administration control.

    void pageOperationsChangeTheNamedFile_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QList<int>>("arguments");
        QTest::addColumn<QList<int>>("levels");
        QTest::newRow("append 2 from page 2") << QStringLiteral("append") << QList<int>{2, 2}
                                              << QList<int>{10, 20, 30, 40, 50, 120, 130};
        QTest::newRow("insert 1 before page 3") << QStringLiteral("insert") << QList<int>{1, 3, 1}
                                                << QList<int>{10, 20, 110, 30, 40, 50};
        QTest::newRow("insert 3 before page 1") << QStringLiteral("insert") << QList<int>{1, 1, 3}
                                                << QList<int>{110, 120, 130, 10, 20, 30, 40, 50};
        QTest::newRow("replace page 5")
            << QStringLiteral("replace") << QList<int>{2, 5, 1} << QList<int>{10, 20, 30, 40, 120};
        QTest::newRow("replace 2 from page 2")
            << QStringLiteral("replace") << QList<int>{2, 2, 2} << QList<int>{10, 120, 130, 40, 50};
        QTest::newRow("delete pages 2 and 3")
            << QStringLiteral("delete") << QList<int>{2, 2} << QList<int>{10, 40, 50};
    }

    void pageOperationsChangeTheNamedFile()
    {
        QFETCH(QString, operation);
        QFETCH(QList<int>, arguments);
        QFETCH(QList<int>, levels);
        ScriptedFileDialogService dialogs;
        ImagingAdminControl admin(dialogs);
        admin.setFileName(m_five);
        run(admin, operation, m_three, arguments);
        QCOMPARE(pageLevels(m_five), levels);
        QCOMPARE(pageLevels(m_three), (QList<int>{110, 120, 130}));
        QCOMPARE(admin.fileName(), m_five);
    }

    void theSourceMayBeTheFileBeingChanged()
    {
        ScriptedFileDialogService dialogs;
        ImagingAdminControl admin(dialogs);
        admin.setFileName(m_five);
        admin.insertPages(m_five, 5, 1, 1);
        QCOMPARE(pageLevels(m_five), (QList<int>{50, 10, 20, 30, 40, 50}));
        admin.appendPages(m_five, 1, 2);
        QCOMPARE(pageLevels(m_five), (QList<int>{50, 10, 20, 30, 40, 50, 50, 10}));
    }

    void failedOperationsRaiseTheEnginesSentenceAndLeaveTheFile_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QList<int>>("arguments");
        QTest::newRow("source missing")
            << QStringLiteral("append") << QStringLiteral("gone.tif") << QList<int>{1, 1};
        QTest::newRow("source page past its end")
            << QStringLiteral("append") << QStringLiteral("three.tif") << QList<int>{3, 2};
        QTest::newRow("insert past the last page")
            << QStringLiteral("insert") << QStringLiteral("three.tif") << QList<int>{1, 7, 1};
        QTest::newRow("replace past the last page")
            << QStringLiteral("replace") << QStringLiteral("three.tif") << QList<int>{1, 5, 2};
        QTest::newRow("count of 0")
            << QStringLiteral("insert") << QStringLiteral("three.tif") << QList<int>{1, 1, 0};
        QTest::newRow("delete every page")
            << QStringLiteral("delete") << QString() << QList<int>{1, 5};
        QTest::newRow("delete from page 0")
            << QStringLiteral("delete") << QString() << QList<int>{0, 1};
    }

    void failedOperationsRaiseTheEnginesSentenceAndLeaveTheFile()
    {
        QFETCH(QString, operation);
        QFETCH(QString, source);
        QFETCH(QList<int>, arguments);
        const QByteArray before = contentOf(m_five);
        ScriptedFileDialogService dialogs;
        ImagingAdminControl admin(dialogs);
        admin.setFileName(m_five);
        const std::optional<ImagingError> error =
            failureOf([&] { run(admin, operation, path(source), arguments); });
        QVERIFY(error);
        QVERIFY(error->engineKind());
        QVERIFY(!error->message.isEmpty());
        QCOMPARE(contentOf(m_five), before);
    }

    void pageOperationsNeedAFileName()
    {
        ScriptedFileDialogService dialogs;
        ImagingAdminControl admin(dialogs);
        const std::optional<ImagingError> error = failureOf([&] { admin.deletePages(1, 1); });
        QVERIFY(error && error->number == ImagingError::NoFile);
    }

    void theFileDialogSetsTheFileNameOrRaises32755()
    {
        ScriptedFileDialogService dialogs;
        ImagingAdminControl admin(dialogs);
        admin.setFilter(QStringLiteral("TIFF Image|*.tif|"));
        admin.setFlags(12);
        admin.setInitialFolder(m_dir->path());
        admin.setFileName(m_three);

        dialogs.choosePath(m_five);
        admin.showFileDialog(ImagingAdmin::OpenDialog, nullptr);
        QCOMPARE(admin.fileName(), m_five);
        QCOMPARE(dialogs.requests().at(0).mode, FileDialogService::Mode::Open);
        QCOMPARE(dialogs.requests().at(0).folder, m_dir->path());
        QCOMPARE(dialogs.requests().at(0).nameFilters,
                 QStringList{QStringLiteral("TIFF Image (*.tif)")});

        dialogs.cancel();
        const std::optional<ImagingError> cancelled =
            failureOf([&] { admin.showFileDialog(ImagingAdmin::SaveDialog, nullptr); });
        QVERIFY(cancelled);
        QCOMPARE(cancelled->number, 32755);
        QCOMPARE(dialogs.requests().at(1).mode, FileDialogService::Mode::Save);
        QCOMPARE(admin.fileName(), m_five);

        const std::optional<ImagingError> unknown =
            failureOf([&] { admin.showFileDialog(2, nullptr); });
        QVERIFY(unknown && unknown->number == ImagingError::InvalidArgument);
        QCOMPARE(dialogs.unexpected(), 0);
    }

    void filtersBecomeNameFiltersThatIgnoreLetterCase_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("nameFilters");
        QTest::addColumn<QString>("shown");
        QTest::newRow("the program's") << QStringLiteral("TIFF Image|*.tif|")
                                       << QStringList{QStringLiteral("TIFF Image (*.tif)")}
                                       << QStringLiteral("TIFF Image (*.[tT][iI][fF])");
        QTest::newRow("two pairs, two patterns")
            << QStringLiteral("TIFF|*.tif;*.tiff|All Files|*.*|")
            << QStringList{QStringLiteral("TIFF (*.tif *.tiff)"), QStringLiteral("All Files (*.*)")}
            << QStringLiteral("TIFF (*.[tT][iI][fF] *.[tT][iI][fF][fF])");
        QTest::newRow("without the last bar") << QStringLiteral("TIFF Image|*.tif")
                                              << QStringList{QStringLiteral("TIFF Image (*.tif)")}
                                              << QStringLiteral("TIFF Image (*.[tT][iI][fF])");
        QTest::newRow("empty") << QString() << QStringList{} << QString();
        QTest::newRow("description alone")
            << QStringLiteral("TIFF Image|") << QStringList{} << QString();
    }

    void filtersBecomeNameFiltersThatIgnoreLetterCase()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, nameFilters);
        QFETCH(QString, shown);
        QCOMPARE(ImagingAdminControl::nameFilters(filter), nameFilters);
        if (!nameFilters.isEmpty())
            QCOMPARE(QtFileDialogService::caseless(nameFilters.first()), shown);
    }

private:
    QString path(const QString& name) const
    {
        return name.isEmpty() ? QString() : QDir(m_dir->path()).filePath(name);
    }

    static void run(ImagingAdmin& admin, const QString& operation, const QString& source,
                    const QList<int>& a)
    {
        if (operation == QStringLiteral("append"))
            admin.appendPages(source, a[0], a[1]);
        else if (operation == QStringLiteral("insert"))
            admin.insertPages(source, a[0], a[1], a[2]);
        else if (operation == QStringLiteral("replace"))
            admin.replacePages(source, a[0], a[1], a[2]);
        else
            admin.deletePages(a[0], a[1]);
    }

    std::optional<QTemporaryDir> m_dir;
    QString m_five;
    QString m_three;
};

QTEST_MAIN(ImagingTest)
#include "ImagingTest.moc"
