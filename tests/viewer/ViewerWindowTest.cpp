#include "ViewerWindow.h"

#include "ImagingEdit.h"
#include "TestTiff.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <optional>

using namespace tessary;
using tessary::testing::TestTiff;

class ViewerWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir.emplace();
        m_five = QDir(m_dir->path()).filePath(QStringLiteral("five pages.tif"));
        QList<TestTiff::Page> pages;
        for (int page = 1; page <= 5; ++page)
            pages.append(TestTiff::plain(40, 60, std::uint8_t(page * 10)));
        QVERIFY(TestTiff::write(m_five, pages));
        m_window.emplace();
    }

    void cleanup() { m_window.reset(); }

    void opensAtTheAskedPage_data()
    {
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("shown");
        QTest::newRow("page 3") << 3 << 3;
        QTest::newRow("the last page") << 5 << 5;
        QTest::newRow("page 0 shows page 1") << 0 << 1;
        QTest::newRow("past the last page shows page 1") << 6 << 1;
        QTest::newRow("negative shows page 1") << -4 << 1;
    }

    void opensAtTheAskedPage()
    {
        QFETCH(int, asked);
        QFETCH(int, shown);
        ViewerWindow& window = *m_window;
        window.openFile(m_five, asked);
        QCOMPARE(window.view->image(), m_five);
        QCOMPARE(window.view->page(), shown);
        QCOMPARE(window.pageBox->text(), QString::number(shown));
        QCOMPARE(window.pageCount->text(), QStringLiteral(" of 5 "));
        QCOMPARE(window.windowTitle(), QStringLiteral("five pages.tif - Tessary Viewer"));
        QCOMPARE(window.view->notice(), QString());
        QCOMPARE(window.firstPage->isEnabled(), shown > 1);
        QCOMPARE(window.previousPage->isEnabled(), shown > 1);
        QCOMPARE(window.nextPage->isEnabled(), shown < 5);
        QCOMPARE(window.lastPage->isEnabled(), shown < 5);
    }

    void buttonsAndThePageBoxTurnThePages()
    {
        ViewerWindow& window = *m_window;
        window.openFile(m_five, 2);
        const auto expectPage = [&](int page) {
            return window.view->page() == page && window.pageBox->text() == QString::number(page);
        };
        window.nextPage->click();
        QVERIFY(expectPage(3));
        window.lastPage->click();
        QVERIFY(expectPage(5));
        QVERIFY(!window.nextPage->isEnabled());
        window.previousPage->click();
        QVERIFY(expectPage(4));
        window.firstPage->click();
        QVERIFY(expectPage(1));

        for (const auto& [typed, page] :
             {std::pair{QStringLiteral("4"), 4}, std::pair{QStringLiteral("9"), 4},
              std::pair{QStringLiteral(""), 4}, std::pair{QStringLiteral("x"), 4},
              std::pair{QStringLiteral(" 2 "), 2}}) {
            window.pageBox->setText(typed);
            QTest::keyClick(window.pageBox, Qt::Key_Return);
            QVERIFY2(expectPage(page), qPrintable(typed));
        }
    }

    void zoomStepsAndFitKeepThePage()
    {
        ViewerWindow& window = *m_window;
        window.resize(400, 500);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.openFile(m_five, 3);
        const float fitted = window.view->zoom();
        window.zoomIn->click();
        QCOMPARE(window.view->zoom(), fitted * ViewerWindow::zoomStep);
        window.zoomOut->click();
        window.zoomOut->click();
        QCOMPARE(window.view->zoom(), fitted / ViewerWindow::zoomStep);
        window.fitPage->click();
        QCOMPARE(window.view->zoom(), fitted);
        QCOMPARE(window.view->page(), 3);
    }

    void aFileItCannotReadIsExplainedInTheView_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("exists");
        QTest::newRow("text with a .tif name") << QByteArray("not a picture\n") << true;
        QTest::newRow("empty file") << QByteArray() << true;
        QTest::newRow("missing") << QByteArray() << false;
    }

    void aFileItCannotReadIsExplainedInTheView()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, exists);
        const QString path = QDir(m_dir->path()).filePath(QStringLiteral("bad.tif"));
        if (exists) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        ViewerWindow& window = *m_window;
        window.openFile(path, 2);
        QCOMPARE(window.view->pageCount(), 0);
        QVERIFY(window.view->notice().contains(QStringLiteral("bad.tif")));
        QCOMPARE(window.pageCount->text(), QStringLiteral(" of 0 "));
        QCOMPARE(window.pageBox->text(), QString());
        for (QToolButton* button : {window.firstPage, window.previousPage, window.nextPage,
                                    window.lastPage, window.zoomIn, window.zoomOut})
            QVERIFY(!button->isEnabled());
    }

    void theProgramWithoutAFileSaysHowToCallIt()
    {
        QProcess program;
        program.start(QStringLiteral(TESSARY_VIEW_PROGRAM), {});
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
