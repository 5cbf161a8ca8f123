#include "ViewerWindow.h"

#include "ImagingEdit.h"
#include "TestTiff.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <optional>

using namespace tessary;
using tessary::testing::TestTiff;

namespace {

// What the window shows of its place in the file: the view's page, the page box, the page
// count, and which of <<, <, >, >>, zoom in and zoom out can be clicked.
QStringList placeOf(const ViewerWindow& window)
{
    QString enabled;
    for (const QToolButton* button : {window.firstPage, window.previousPage, window.nextPage,
                                      window.lastPage, window.zoomIn, window.zoomOut})
        enabled += button->isEnabled() ? '1' : '0';
    return {QString::number(window.view->page()), window.pageBox->text(), window.pageCount->text(),
            enabled};
}

} // namespace

class ViewerWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir.emplace();
        m_five = m_dir->filePath("five pages.tif");
        QList<TestTiff::Page> pages;
        for (int page = 1; page <= 5; ++page)
            pages.append(TestTiff::plain(40, 60, std::uint8_t(page * 10)));
        QVERIFY(TestTiff::write(m_five, pages));
        m_window.emplace();
    }

    void opensAtTheAskedPage_data()
    {
        QTest::addColumn<int>("asked");
        QTest::addColumn<QStringList>("place");
        QTest::newRow("page 3") << 3 << QStringList{"3", "3", " of 5 ", "111111"};
        QTest::newRow("the last page") << 5 << QStringList{"5", "5", " of 5 ", "110011"};
        QTest::newRow("page 0 shows page 1") << 0 << QStringList{"1", "1", " of 5 ", "001111"};
        QTest::newRow("past the last page shows page 1")
            << 6 << QStringList{"1", "1", " of 5 ", "001111"};
    }

    void opensAtTheAskedPage()
    {
        QFETCH(int, asked);
        QFETCH(QStringList, place);
        m_window->openFile(m_five, asked);
        QCOMPARE(QStringList(
                     {m_window->view->image(), m_window->windowTitle(), m_window->view->notice()}) +
                     placeOf(*m_window),
                 QStringList({m_five, "five pages.tif - Tessary Viewer", ""}) + place);
    }

    void buttonsAndThePageBoxTurnThePages()
    {
        ViewerWindow& window = *m_window;
        window.openFile(m_five, 2);
        QStringList pages;
        for (QToolButton* button :
             {window.nextPage, window.lastPage, window.previousPage, window.firstPage}) {
            button->click();
            pages << placeOf(window).mid(0, 2).join('/');
        }
        QCOMPARE(pages, (QStringList{"3/3", "5/5", "4/4", "1/1"}));

        // A page past the end, an empty box and a letter leave the page shown.
        pages.clear();
        for (const char* typed : {"4", "9", "", "x", " 2 "}) {
            window.pageBox->setText(typed);
            QTest::keyClick(window.pageBox, Qt::Key_Return);
            pages << placeOf(window).mid(0, 2).join('/');
        }
        QCOMPARE(pages, (QStringList{"4/4", "4/4", "4/4", "4/4", "2/2"}));
    }

    void zoomStepsAndFitKeepThePage()
    {
        ViewerWindow& window = *m_window;
        window.resize(400, 500);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.openFile(m_five, 3);
        const float fitted = window.view->zoom();
        QList<int> zooms; // in percent of the fitted zoom
        for (QToolButton* button :
             {window.zoomIn, window.zoomOut, window.zoomOut, window.fitPage}) {
            button->click();
            zooms << qRound(100 * window.view->zoom() / fitted);
        }
        QCOMPARE(zooms, (QList<int>{125, 100, 80, 100}));
        QCOMPARE(window.view->page(), 3);
    }

    void aFileItCannotReadIsExplainedInTheView()
    {
        // Text with a .tif name, an empty file, a missing one.
        const QString path = m_dir->filePath("bad.tif");
        for (const QByteArray& content :
             {QByteArray("not a picture\n"), QByteArray(), QByteArray("-")}) {
            QFile file(path);
            if (content != "-")
                QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) >= 0);
            else
                QVERIFY(file.remove());
            file.close();
            m_window->openFile(path, 2);
            QCOMPARE(m_window->view->pageCount(), 0);
            QVERIFY(m_window->view->notice().contains("bad.tif"));
            QCOMPARE(placeOf(*m_window).mid(1), (QStringList{"", " of 0 ", "000000"}));
        }
    }

    void theProgramWithoutAFileSaysHowToCallIt()
    {
        QProcess program;
        program.start(TESSARY_VIEW_PROGRAM, {});
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 2);
        QVERIFY(program.readAllStandardError().contains("usage: tessary-view FILE"));
    }

private:
    std::optional<QTemporaryDir> m_dir;
    std::optional<ViewerWindow> m_window;
    QString m_five;
};

QTEST_MAIN(ViewerWindowTest)
#include "ViewerWindowTest.moc"
