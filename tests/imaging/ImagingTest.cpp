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
#include <QLabel>
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

// The ImagingError that call raises; one numbered 0 when it raises none.
template <typename Call>
ImagingError errorOf(Call call)
{
    try {
        call();
    } catch (const ImagingError& error) {
        return error;
    }
    return ImagingError(0, QString());
}

} // namespace

class ImagingTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir.emplace();
        // Five pages of grey levels 10 to 50, of different sizes; three of 110 to 130.
        m_five = path(QStringLiteral("five.tif"));
        QVERIFY(TestTiff::write(m_five, {TestTiff::plain(40, 30, 10), TestTiff::plain(30, 40, 20),
                                         TestTiff::plain(50, 50, 30), TestTiff::plain(60, 20, 40),
                                         TestTiff::plain(20, 60, 50)}));
        m_three = path(QStringLiteral("three.tif"));
        QVERIFY(
            TestTiff::write(m_three, {TestTiff::plain(16, 16, 110), TestTiff::plain(16, 16, 120),
                                      TestTiff::plain(16, 16, 130)}));
        m_viewer.emplace();
        m_viewer->setImage(m_five);
        m_admin.reset();
        m_dialogs.emplace();
        m_admin.emplace(*m_dialogs);
        m_admin->setFileName(m_five);
    }

    // Viewer.

    void loadingCountsPagesAndExplainsWhatItCannotShow_data()
    {
        QTest::addColumn<QString>("file"); // in the shared sample files but for those made here
        QTest::addColumn<int>("pages");
        QTest::addColumn<bool>("explained");
        const auto row = [](const char* name, const char* file, int pages, bool explained) {
            QTest::newRow(name) << QString::fromLatin1(file) << pages << explained;
        };
        row("made here", "five.tif", 5, false);
        row("G4 scans", "multipage/g4-multi.tiff", 3, false);
        row("a page that cannot be decoded", "valid/flower-rgb-contig-02.tif", 1, true);
        row("text with a .tif name", "generated/not-tiff-text.tif", 0, true);
        row("empty file", "generated/empty-0-bytes.tif", 0, true);
        row("no pages", "generated/zero-pages-ifd-offset-0.tif", 0, true);
        row("missing", "gone.tif", 0, true);
    }

    void loadingCountsPagesAndExplainsWhatItCannotShow()
    {
        QFETCH(QString, file);
        QFETCH(int, pages);
        QFETCH(bool, explained);
        if (!file.contains(u'/'))
            file = path(file);
        else if (!QFile::exists(file = testdata + u'/' + file))
            QSKIP("the shared sample files are not beside the repository");
        m_viewer->setImage(file);
        QCOMPARE(m_viewer->pageCount(), pages);
        QCOMPARE(m_viewer->page(), pages > 0 ? 1 : 0);
        m_viewer->fitTo(ImagingEdit::FitWholePage);
        m_viewer->setPage(1);
        m_viewer->display(); // no exception, no message box: the view says it
        QCOMPARE(!m_viewer->notice().isEmpty(), explained);
        QCOMPARE(m_viewer->accessibleDescription(), m_viewer->notice());
        QCOMPARE(m_viewer->page(), pages > 0 ? 1 : 0);

        m_viewer->clearDisplay();
        m_viewer->setImage(QString());
        QCOMPARE(m_viewer->pageCount(), 0);
    }

    void pagesAreReadAsNumbersAndThoseOutsideTheFileRaise1019_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("page"); // 0: error 1019 at display; -1: not a number
        // Blanks around, halves to even, an exponent; past the file; not numbers.
        const std::pair<const char*, int> rows[] = {
            {"4", 4}, {"  2 ", 2}, {"2.5", 2}, {"3.5", 4}, {"5e0", 5}, {"0", 0},
            {"6", 0}, {"1e30", 0}, {"-2", 0},  {"x3", -1}, {"", -1}};
        for (const auto& [text, page] : rows)
            QTest::newRow(*text ? text : "empty") << QString::fromLatin1(text) << page;
    }

    void pagesAreReadAsNumbersAndThoseOutsideTheFileRaise1019()
    {
        QFETCH(QString, text);
        QFETCH(int, page);
        m_viewer->setPage(3);
        m_viewer->display();
        QCOMPARE(errorOf([&] { m_viewer->setPage(text); }).number,
                 page == -1 ? int(ImagingError::InvalidArgument) : 0);
        m_viewer->fitTo(ImagingEdit::FitWholePage);
        QCOMPARE(errorOf([&] { m_viewer->display(); }).number,
                 page == 0 ? int(ImagingError::CannotShowPage) : 0);
        // A page refused keeps the page shown, which stays usable.
        QCOMPARE(m_viewer->page(), page > 0 ? page : 3);
        QCOMPARE(errorOf([&] { m_viewer->display(); }).number, 0);
        m_viewer->setPage(5);
        m_viewer->display();
        QCOMPARE(m_viewer->page(), 5);
    }

    void displayShowsTheCurrentPage()
    {
        QVERIFY(shown(QSize(300, 300)));
        for (const int page : {4, 2, 5}) {
            m_viewer->setPage(page);
            m_viewer->fitTo(ImagingEdit::FitWholePage);
            m_viewer->display();
            const QImage shot = m_viewer->viewport()->grab().toImage();
            QCOMPARE(qGray(shot.pixel(shot.rect().center())), page * 10);
        }
        m_viewer->clearDisplay();
        QVERIFY(drawnArea().isEmpty());
    }

    void aPageTooLargeToHoldIsShownShrunkAndSaysSo()
    {
        // 100000 by 100000 pixels declared in a few kilobytes: in full it would take ten
        // gigabytes.
        const QString bomb =
            testdata + QStringLiteral("/generated/bomb-g4-100000x100000-blank.tif");
        if (!QFile::exists(bomb))
            QSKIP("the shared sample files are not beside the repository");
        QVERIFY(shown(QSize(300, 300)));
        m_viewer->setImage(bomb);
        m_viewer->fitTo(ImagingEdit::FitWholePage);
        m_viewer->display();
        QVERIFY2(m_viewer->notice().contains(QStringLiteral("too large to show in full")),
                 qPrintable(m_viewer->notice()));
        // Fitted as the whole page: the zoom is the view's size over the page's, not over
        // the shrunk image's.
        QVERIFY(m_viewer->zoom() < 0.3f);
        // The note stands beside the page, which shows whole and white.
        const QRect area = drawnArea();
        const QImage page = m_viewer->viewport()->grab().toImage().copy(area);
        QImage white(page.size(), page.format());
        white.fill(Qt::white);
        QVERIFY(!area.isEmpty() && page == white);
        const auto* note = m_viewer->findChild<QLabel*>();
        QVERIFY(note && note->isVisible() && note->text() == m_viewer->notice());
    }

    void fitShowsTheWholePageInItsProportions_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("dpi");
        QTest::addColumn<int>("bits"); // 1: black and white columns of one pixel
        const QSize square(200, 200);
        QTest::newRow("wide") << QSize(800, 300) << square << 8;
        QTest::newRow("tall") << QSize(300, 900) << square << 8;
        QTest::newRow("small page grows") << QSize(40, 30) << square << 8;
        QTest::newRow("fax, half the lines") << QSize(1728, 1100) << QSize(204, 98) << 8;
        QTest::newRow("lines shrunk to a third") << QSize(900, 900) << square << 1;
    }

    void fitShowsTheWholePageInItsProportions()
    {
        QFETCH(QSize, size);
        QFETCH(QSize, dpi);
        QFETCH(int, bits);
        TestTiff::Page page =
            TestTiff::plain(std::uint32_t(size.width()), std::uint32_t(size.height()), 0);
        page.xDpi = std::uint32_t(dpi.width());
        page.yDpi = std::uint32_t(dpi.height());
        page.bits = bits;
        if (bits == 1)
            page.pixel = [](std::uint32_t x, std::uint32_t) {
                return std::uint8_t(x % 2 * 255);
            };
        const QString file = path(QStringLiteral("page.tif"));
        QVERIFY(TestTiff::write(file, {page}));

        QVERIFY(shown(QSize(320, 400)));
        m_viewer->setImage(file);
        m_viewer->fitTo(ImagingEdit::FitWholePage);
        m_viewer->display();
        const QRect area = drawnArea();
        const QSize view = m_viewer->viewport()->size();
        QVERIFY2(m_viewer->viewport()->rect().contains(area), "the whole page is visible");
        QVERIFY2(area.width() >= view.width() - 1 || area.height() >= view.height() - 1,
                 "the page fills the view in one direction");
        const double shownHeight = double(size.height()) * dpi.width() / dpi.height();
        QVERIFY(qAbs(double(area.width()) / area.height() - size.width() / shownHeight) < 0.02);
        // The zoom is the view's size over the page's.
        QVERIFY(qAbs(m_viewer->zoom() / 100 * size.width() - area.width()) <= 2);
        QCOMPARE(m_viewer->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(m_viewer->verticalScrollBar()->maximum(), 0);
        // Shrunk, black and white lines turn grey, not into a random pattern.
        const QImage shot = m_viewer->viewport()->grab().toImage();
        for (int x = area.left() + 2; bits == 1 && x <= area.right() - 2; ++x) {
            const int grey = qGray(shot.pixel(x, area.center().y()));
            QVERIFY2(grey > 80 && grey < 180,
                     qPrintable(QStringLiteral("x %1 grey %2").arg(x).arg(grey)));
        }
    }

    void zoomAndScroll()
    {
        QVERIFY(shown(QSize(200, 200)));
        m_viewer->setPage(3); // 50 x 50
        m_viewer->display();
        m_viewer->setZoom(1000);
        QScrollBar* down = m_viewer->verticalScrollBar();
        QScrollBar* across = m_viewer->horizontalScrollBar();
        QCOMPARE(down->maximum(), 500 - m_viewer->viewport()->height());
        // Zooming keeps the middle of the page in the middle of the view.
        QVERIFY(qAbs(down->value() - down->maximum() / 2) <= 1);

        // Each step from where the one before left the bars; far steps stop at the ends.
        down->setValue(0);
        across->setValue(0);
        QList<int> values;
        for (const auto& [direction, amount] : {std::pair{ImagingEdit::ScrollDown, 150},
                                                {ImagingEdit::ScrollUp, 100},
                                                {ImagingEdit::ScrollRight, 150},
                                                {ImagingEdit::ScrollLeft, 1000000},
                                                {ImagingEdit::ScrollDown, 2147483647}}) {
            m_viewer->scroll(direction, amount);
            values << down->value() << across->value();
        }
        QCOMPARE(values, (QList{150, 0, 50, 0, 50, 150, 50, 0, down->maximum(), 0}));
        QCOMPARE(errorOf([&] { m_viewer->scroll(4, 10); }).number,
                 int(ImagingError::InvalidArgument));
        QCOMPARE(errorOf([&] { m_viewer->setZoom(0); }).number, int(ImagingError::InvalidArgument));
        QCOMPARE(m_viewer->zoom(), 1000.0f);
        // Fitted again, as Reset does, the page needs no scroll bars, and none stay.
        QTRY_VERIFY(down->isVisible() && across->isVisible());
        m_viewer->fitTo(ImagingEdit::FitWholePage);
        QTRY_VERIFY(!down->isVisible() && !across->isVisible());
        QCOMPARE(down->maximum() + across->maximum(), 0);
    }

    // The reason an empty view gives is drawn in the palette's colour for text, readable in
    // light and dark themes alike.
    void theReasonInAnEmptyViewIsInThePalettesTextColour()
    {
        QPalette palette = m_viewer->palette();
        palette.setColor(QPalette::Light, Qt::red);
        palette.setColor(QPalette::WindowText, Qt::blue);
        m_viewer->setPalette(palette);
        QVERIFY(shown(QSize(300, 300)));
        m_viewer->setImage(path(QStringLiteral("gone.tif")));
        m_viewer->display();
        const QImage shot =
            m_viewer->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const auto* pixels = reinterpret_cast<const QRgb*>(shot.constBits());
        const auto count = [&](QRgb colour) {
            return std::count(pixels, pixels + shot.width() * shot.height(), colour);
        };
        QVERIFY(count(qRgb(0, 0, 255)) > 0 && count(qRgb(255, 0, 0)) == 0);
    }

    // On a screen of two device pixels to a pixel (QT_SCALE_FACTOR=2, as on a laptop's fine
    // screen), a page shrunk for the view is drawn at the screen's own pixels: columns of two
    // page pixels, black and white, drawn half size, stay one black and one white device
    // pixel instead of turning into grey blocks.
    void aShrunkPageIsDrawnAtTheScreensOwnPixels()
    {
        const double ratio =
            qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1")).toDouble();
        TestTiff::Page page = TestTiff::plain(400, 400, 0);
        page.pixel = [](std::uint32_t x, std::uint32_t) {
            return std::uint8_t(x / 2 % 2 * 255);
        };
        QVERIFY(TestTiff::write(path(QStringLiteral("columns.tif")), {page}));
        QVERIFY(shown(QSize(300, 300)));
        QCOMPARE(m_viewer->viewport()->devicePixelRatioF(), ratio);
        m_viewer->setImage(path(QStringLiteral("columns.tif")));
        m_viewer->display();
        m_viewer->setZoom(float(50 / ratio));
        const QImage shot = m_viewer->viewport()->grab().toImage();
        QString row; // across the middle of the page: 0 black, 1 grey, 2 white
        for (int x = shot.width() / 2 - 40; x < shot.width() / 2 + 40; ++x)
            row += QString::number(qGray(shot.pixel(x, shot.height() / 2)) * 3 / 256);
        QVERIFY2(!row.contains(u'1') && !row.contains(QStringLiteral("00")) &&
                     !row.contains(QStringLiteral("22")),
                 qPrintable(row));
    }

    void aDrawnRectangleIsReportedInImagePixelsAndZoomedTo()
    {
        QVERIFY(shown(QSize(300, 300)));
        m_viewer->setPage(3); // 50 x 50
        m_viewer->display();
        m_viewer->setZoom(400); // 200 x 200 on the screen, in the middle of the view
        const QSize view = m_viewer->viewport()->size();
        const QPoint origin((view.width() - 200) / 2, (view.height() - 200) / 2);

        QSignalSpy drawn(&*m_viewer, &ImagingEdit::selectionRectDrawn);
        QTest::mousePress(m_viewer->viewport(), Qt::LeftButton, {}, origin + QPoint(40, 80));
        QTest::mouseMove(m_viewer->viewport(), origin + QPoint(100, 120));
        QTest::mouseRelease(m_viewer->viewport(), Qt::LeftButton, {}, origin + QPoint(120, 160));
        QCOMPARE(drawn.count(), 1);
        QCOMPARE(drawn.takeFirst(), (QList<QVariant>{10, 20, 20, 20}));
        QCOMPARE(m_viewer->selectionRect(), QRect(10, 20, 20, 20));

        m_viewer->zoomToSelection();
        // The 20 pixels fill the view, beside the scroll bars.
        QVERIFY(m_viewer->zoom() > 1000);
        QVERIFY(20 * m_viewer->zoom() / 100 <= view.width());
        m_viewer->setSelectionRect(0, 0, 0, 0);
        QVERIFY(m_viewer->selectionRect().isEmpty());
        const float zoom = m_viewer->zoom();
        m_viewer->zoomToSelection();
        QCOMPARE(m_viewer->zoom(), zoom);
    }

    void savesWriteTheLoadedPagesAsStored()
    {
        m_viewer->setPage(3);
        m_viewer->display();
        const QString whole = path(QStringLiteral("whole.tif"));
        m_viewer->saveAs(whole);
        QCOMPARE(pageLevels(whole), pageLevels(m_five));
        const QString part = path(QStringLiteral("part.tif"));
        m_viewer->saveImage(part, 2);
        QCOMPARE(pageLevels(part), (QList<int>{30, 40}));
        // An existing file is replaced.
        m_viewer->saveImage(whole, 1);
        QCOMPARE(pageLevels(whole), (QList<int>{30}));

        const QString tooMany = path(QStringLiteral("too-many.tif"));
        const ImagingError error = errorOf([&] { m_viewer->saveImage(tooMany, 4); });
        QVERIFY(!error.message.isEmpty() && error.engineKind() == ErrorKind::PageRange);
        QVERIFY(!QFile::exists(tooMany));
        ImagingEditControl empty;
        QCOMPARE(errorOf([&] { empty.saveAs(whole); }).number, int(ImagingError::NoFile));
    }

    void aFileChangedSinceLoadingIsNotSavedFromItsOldView()
    {
        m_viewer->display();
        m_admin->deletePages(1, 1);
        const QString copy = path(QStringLiteral("copy.tif"));
        QCOMPARE(errorOf([&] { m_viewer->saveAs(copy); }).engineKind(),
                 std::optional<ErrorKind>(ErrorKind::Changed));
        QVERIFY(!QFile::exists(copy));
        // Loading the name again reads the file as it is now.
        m_viewer->setImage(m_five);
        QCOMPARE(m_viewer->pageCount(), 4);
        m_viewer->saveAs(copy);
        QCOMPARE(pageLevels(copy), (QList<int>{20, 30, 40, 50}));
    }

    // Administration control.

    void pageOperationsChangeTheNamedFileOrLeaveIt_data()
    {
        // The operation, its source (but for delete) and its arguments in the control's order.
        QTest::addColumn<QString>("call");
        QTest::addColumn<QList<int>>("levels"); // empty: the engine's failure is raised
        const auto row = [](const char* call, const QList<int>& levels) {
            QTest::newRow(call) << QString::fromLatin1(call) << levels;
        };
        row("append three.tif 2 2", {10, 20, 30, 40, 50, 120, 130});
        row("insert three.tif 1 3 1", {10, 20, 110, 30, 40, 50});
        row("replace three.tif 2 2 2", {10, 120, 130, 40, 50});
        row("delete 2 2", {10, 40, 50});
        row("insert five.tif 5 1 1", {50, 10, 20, 30, 40, 50});
        row("append five.tif 1 2", {10, 20, 30, 40, 50, 10, 20});
        row("append gone.tif 1 1", {});
        row("insert three.tif 1 7 1", {});
        row("insert three.tif 1 1 0", {});
        row("delete 1 5", {});
    }

    void pageOperationsChangeTheNamedFileOrLeaveIt()
    {
        QFETCH(QString, call);
        QFETCH(QList<int>, levels);
        QStringList parts = call.split(QLatin1Char(' '));
        const QString operation = parts.takeFirst();
        const QString from =
            operation == QLatin1String("delete") ? QString() : path(parts.takeFirst());
        QList<int> a;
        for (const QString& part : parts)
            a.append(part.toInt());
        const QByteArray before = contentOf(m_five);
        const ImagingError error = errorOf([&] {
            if (operation == QLatin1String("append"))
                m_admin->appendPages(from, a[0], a[1]);
            else if (operation == QLatin1String("insert"))
                m_admin->insertPages(from, a[0], a[1], a[2]);
            else if (operation == QLatin1String("replace"))
                m_admin->replacePages(from, a[0], a[1], a[2]);
            else
                m_admin->deletePages(a[0], a[1]);
        });
        QCOMPARE(pageLevels(m_three), (QList<int>{110, 120, 130}));
        if (!levels.isEmpty()) {
            QVERIFY2(error.number == 0, qPrintable(error.message));
            QCOMPARE(pageLevels(m_five), levels);
            return;
        }
        // The engine's sentence, and the file as it was.
        QVERIFY(error.engineKind() && !error.message.isEmpty());
        QCOMPARE(contentOf(m_five), before);
    }

    void theFileDialogSetsTheFileNameOrRaises32755()
    {
        m_admin->setFileName(QString());
        QCOMPARE(errorOf([&] { m_admin->deletePages(1, 1); }).number, int(ImagingError::NoFile));
        m_admin->setFilter(QStringLiteral("TIFF Image|*.tif|"));
        m_admin->setFlags(12);
        m_admin->setInitialFolder(m_dir->path());
        m_admin->setFileName(m_three);

        m_dialogs->choosePath(m_five);
        m_admin->showFileDialog(ImagingAdmin::OpenDialog, nullptr);
        QCOMPARE(m_admin->fileName(), m_five);
        const FileDialogService::Request& open = m_dialogs->requests().at(0);
        QVERIFY(open.mode == FileDialogService::Mode::Open && open.folder == m_dir->path() &&
                open.nameFilters == QStringList{QStringLiteral("TIFF Image (*.tif)")});

        m_dialogs->cancel();
        QCOMPARE(
            errorOf([&] { m_admin->showFileDialog(ImagingAdmin::SaveDialog, nullptr); }).number,
            32755);
        QCOMPARE(m_dialogs->requests().at(1).mode, FileDialogService::Mode::Save);
        QCOMPARE(m_admin->fileName(), m_five);
        QCOMPARE(errorOf([&] { m_admin->showFileDialog(2, nullptr); }).number,
                 int(ImagingError::InvalidArgument));
        QCOMPARE(m_dialogs->unexpected(), 0);
    }

    void filtersBecomeNameFiltersThatIgnoreLetterCase()
    {
        // The program's filter, without its last bar, two pairs and two patterns; none.
        const std::pair<const char*, const char*> filters[] = {
            {"TIFF Image|*.tif|", "TIFF Image (*.tif)"},
            {"TIFF Image|*.tif", "TIFF Image (*.tif)"},
            {"TIFF|*.tif;*.tiff|All Files|*.*|", "TIFF (*.tif *.tiff);All Files (*.*)"},
            {"", ""},
            {"TIFF Image|", ""}};
        for (const auto& [filter, nameFilters] : filters)
            QCOMPARE(ImagingAdminControl::nameFilters(filter).join(u';'), nameFilters);
        QCOMPARE(QtFileDialogService::caseless("TIFF Image (*.tif)"),
                 "TIFF Image (*.[tT][iI][fF])");
        QCOMPARE(QtFileDialogService::caseless("TIFF (*.tif *.tiff)"),
                 "TIFF (*.[tT][iI][fF] *.[tT][iI][fF][fF])");
    }

private:
    QString path(const QString& name) const
    {
        return name.isEmpty() ? QString() : QDir(m_dir->path()).filePath(name);
    }

    // Shows the viewer at its size, so that its view is laid out as on the screen.
    bool shown(QSize size)
    {
        m_viewer->resize(size);
        m_viewer->show();
        return QTest::qWaitForWindowExposed(&*m_viewer);
    }

    // The smallest rectangle of the view's pixels that differ from its background.
    QRect drawnArea()
    {
        const QImage shot = m_viewer->viewport()->grab().toImage();
        QRect area;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (shot.pixel(x, y) != shot.pixel(0, 0))
                    area |= QRect(x, y, 1, 1);
        return area;
    }

    std::optional<QTemporaryDir> m_dir;
    QString m_five;
    QString m_three;
    std::optional<ImagingEditControl> m_viewer;
    std::optional<ScriptedFileDialogService> m_dialogs;
    std::optional<ImagingAdminControl> m_admin;
};

QTEST_MAIN(ImagingTest)
#include "ImagingTest.moc"
