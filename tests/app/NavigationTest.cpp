#include "FileListBox.h"
#include "ImagingEdit.h"
#include "Tessary.h"
#include "TestTiff.h"
#include "WindowFixture.h"
#include "mdlFunctions.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWindow>

using namespace tessary;
using tessary::testing::TestTiff;
using tessary::testing::WindowFixture;

namespace {

// Pages larger than the view at 100 %, each of a grey level of its own.
constexpr int pageCount = 5;
constexpr std::uint32_t pageWidth = 900;
constexpr std::uint32_t pageHeight = 1200;

int levelOf(int page)
{
    return 40 * page;
}

bool writePages(const QString& path)
{
    QList<TestTiff::Page> pages;
    for (int page = 1; page <= pageCount; ++page)
        pages.append(TestTiff::plain(pageWidth, pageHeight, std::uint8_t(levelOf(page))));
    return TestTiff::write(path, pages);
}

// The controls of one pane.
struct Pane
{
    ImagingEdit* viewer;
    QLineEdit* box;
    std::array<QPushButton*, 4> buttons;
    QPushButton* zoomIn;
    QPushButton* zoomOut;
    QPushButton* reset;
};

Pane paneOf(Tessary& window, const QString& name)
{
    if (name == QLatin1String("Src"))
        return {window.imgSrc,    window.txtPageSrc, window.cmdSrc,
                window.cmdZoomIn, window.cmdZoomOut, window.cmdReset};
    return {window.imgDes,           window.txtPageDes,        window.cmdDes,
            window.cmdZoomIn_ImgDes, window.cmdZoomOut_ImgDes, window.cmdReset_ImgDes};
}

// The grey level in the middle of the view: which page it shows.
int shownLevel(ImagingEdit& viewer)
{
    const QImage shot = viewer.viewport()->grab().toImage();
    return qGray(shot.pixel(shot.rect().center()));
}

float fittedZoom(ImagingEdit& viewer)
{
    const float zoom = viewer.zoom();
    viewer.fitTo(ImagingEdit::FitWholePage);
    const float fitted = viewer.zoom();
    viewer.setZoom(zoom);
    return fitted;
}

// What the keys may change in a pane.
struct ViewState
{
    float zoom;
    int across;
    int down;
    QRect selection;

    static ViewState of(ImagingEdit& viewer)
    {
        return {viewer.zoom(), viewer.horizontalScrollBar()->value(),
                viewer.verticalScrollBar()->value(), viewer.selectionRect()};
    }
};

} // namespace

class NavigationTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(f.reset());
        m_scans = f.folder(QStringLiteral("scans"));
        QVERIFY(writePages(scan(QStringLiteral("source.tif"))));
        QVERIFY(writePages(scan(QStringLiteral("target.tif"))));
        f.settings->write(SettingsStore::SrcDir, m_scans);
    }

    void theButtonsTurnPagesAndAlwaysRefitAndRewriteTheBox_data()
    {
        QTest::addColumn<QString>("pane");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("to");
        for (const char* pane : {"Src", "Des"}) {
            const auto row = [pane](const char* name) -> QTestData& {
                return QTest::addRow("%s: %s", pane, name) << QString::fromLatin1(pane);
            };
            row("<< from page 4") << 4 << 0 << 1;
            row("<< on the first page") << 1 << 0 << 1;
            row("< from page 3") << 3 << 1 << 2;
            row("< on the first page") << 1 << 1 << 1;
            row("> from page 3") << 3 << 2 << 4;
            row("> on the last page") << 5 << 2 << 5;
            row(">> from page 2") << 2 << 3 << 5;
            row(">> on the last page") << 5 << 3 << 5;
        }
    }

    void theButtonsTurnPagesAndAlwaysRefitAndRewriteTheBox()
    {
        QFETCH(QString, pane);
        QFETCH(int, from);
        QFETCH(int, index);
        QFETCH(int, to);
        const auto window = startWithBothPanes();
        const Pane p = paneOf(*window, pane);
        const Pane other = paneOf(*window, pane == QLatin1String("Src") ? QStringLiteral("Des")
                                                                        : QStringLiteral("Src"));
        p.viewer->setPage(from);
        p.viewer->display();
        p.viewer->setZoom(250);
        p.box->setText(QStringLiteral("stale"));
        const ViewState otherBefore = ViewState::of(*other.viewer);

        p.buttons[std::size_t(index)]->click();
        QCOMPARE(p.viewer->page(), to);
        QCOMPARE(p.box->text(), QString::number(to));
        QCOMPARE(shownLevel(*p.viewer), levelOf(to));
        QVERIFY(p.viewer->zoom() != 250.0f);
        QCOMPARE(fittedZoom(*p.viewer), p.viewer->zoom());
        QCOMPARE(other.viewer->page(), 1);
        QCOMPARE(ViewState::of(*other.viewer).zoom, otherBefore.zoom);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void anEmptyPaneDoesNothingNotEvenToItsBox_data()
    {
        QTest::addColumn<QString>("pane");
        QTest::newRow("source") << "Src";
        QTest::newRow("destination") << "Des";
    }

    void anEmptyPaneDoesNothingNotEvenToItsBox()
    {
        QFETCH(QString, pane);
        const auto window = f.start();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const Pane p = paneOf(*window, pane);
        p.box->setText(QStringLiteral("7"));
        for (QPushButton* button : p.buttons)
            button->click();
        p.reset->click();
        QCOMPARE(p.box->text(), QStringLiteral("7"));
        // Enter on a number with no file shows nothing either.
        p.box->setCursorPosition(1);
        QTest::keyClick(p.box, Qt::Key_Return);
        QCOMPARE(p.box->text(), QStringLiteral("7"));
        QCOMPARE(p.viewer->image(), QString());
        QCOMPARE(p.viewer->page(), 0);
        QVERIFY(f.boxes->boxes().isEmpty());
        // A letter in the box of an empty pane is put back to no page at the next key.
        QTest::keyClicks(p.box, QStringLiteral("x2"));
        QCOMPARE(p.box->text(), QStringLiteral("2"));
    }

    void aTypedPageIsShownOnEnter_data()
    {
        QTest::addColumn<QString>("pane");
        QTest::addColumn<QString>("typed"); // over the selected box, then Enter
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("box");
        for (const char* pane : {"Src", "Des"}) {
            const auto row = [pane](const char* name) -> QTestData& {
                return QTest::addRow("%s: %s", pane, name) << QString::fromLatin1(pane);
            };
            row("3") << "3" << 3 << "3";
            row("the last page") << "5" << 5 << "5";
            row("past the last page") << "9" << 1 << "1";
            row("page 0") << "0" << 1 << "1";
            row("2.5, rounded to even") << "2.5" << 2 << "2.5";
            row("3.5, rounded to even") << "3.5" << 4 << "3.5";
            // The sign alone is no number: the next key puts the box back first.
            row("-2, read as 12") << "-2" << 1 << "1";
            row("a letter, then Enter") << "x" << 1 << "1";
        }
    }

    void aTypedPageIsShownOnEnter()
    {
        QFETCH(QString, pane);
        QFETCH(QString, typed);
        QFETCH(int, page);
        QFETCH(QString, box);
        const auto window = startWithBothPanes();
        const Pane p = paneOf(*window, pane);
        QCOMPARE(p.box->text(), QStringLiteral("1"));
        p.viewer->setZoom(250);

        p.box->selectAll();
        QTest::keyClicks(p.box, typed);
        QTest::keyClick(p.box, Qt::Key_Return);
        QCOMPARE(p.viewer->page(), page);
        QCOMPARE(p.box->text(), box);
        QCOMPARE(shownLevel(*p.viewer), levelOf(page));
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void aLetterIsTakenAndTheNextKeyPutsTheBoxBackFirst()
    {
        const auto window = startWithBothPanes();
        window->cmdSrc[2]->click();
        window->cmdSrc[2]->click();
        QCOMPARE(window->txtPageSrc->text(), QStringLiteral("3"));

        window->txtPageSrc->end(false);
        QTest::keyClick(window->txtPageSrc, Qt::Key_X);
        QCOMPARE(window->txtPageSrc->text(), QStringLiteral("3x"));
        QTest::keyClick(window->txtPageSrc, Qt::Key_5);
        QCOMPARE(window->txtPageSrc->text(), QStringLiteral("35"));
        QTest::keyClick(window->txtPageSrc, Qt::Key_Return);
        QCOMPARE(window->txtPageSrc->text(), QStringLiteral("3"));
        QCOMPARE(window->imgSrc->page(), 3);
        QCOMPARE(shownLevel(*window->imgSrc), levelOf(3));
        QCOMPARE(window->txtPageDes->text(), QStringLiteral("1"));
    }

    void theBoxSelectsFromTheCursorToTheEndWhenItGetsTheFocus_data()
    {
        QTest::addColumn<QString>("pane");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("selected");
        QTest::newRow("source, cursor at the start") << "Src" << 0 << "123";
        QTest::newRow("source, cursor inside") << "Src" << 1 << "23";
        QTest::newRow("destination, cursor inside") << "Des" << 2 << "3";
        QTest::newRow("destination, cursor at the end") << "Des" << 3 << "";
    }

    void theBoxSelectsFromTheCursorToTheEndWhenItGetsTheFocus()
    {
        QFETCH(QString, pane);
        QFETCH(int, cursor);
        QFETCH(QString, selected);
        const auto window = f.start();
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        const Pane p = paneOf(*window, pane);
        p.buttons[0]->setFocus();
        p.box->setText(QStringLiteral("123"));
        p.box->setCursorPosition(cursor);

        p.box->setFocus(Qt::OtherFocusReason);
        QVERIFY(p.box->hasFocus());
        QCOMPARE(p.box->selectedText(), selected);
        if (!selected.isEmpty())
            QCOMPARE(p.box->selectionStart(), cursor);
    }

    void zoomStepsStopAtTheirLimits_data()
    {
        QTest::addColumn<QString>("pane");
        QTest::addColumn<bool>("in");
        QTest::addColumn<float>("from");
        QTest::addColumn<float>("to"); // -1: the page fitted into the view
        for (const char* pane : {"Src", "Des"}) {
            const auto row = [pane](const char* name) -> QTestData& {
                return QTest::addRow("%s: %s", pane, name) << QString::fromLatin1(pane);
            };
            row("in from 100") << true << 100.0f << 115.0f;
            row("in from 6500") << true << 6500.0f << 6515.0f;
            row("in from 6501 takes no step") << true << 6501.0f << 6501.0f;
            row("out from 100") << false << 100.0f << 85.0f;
            row("out from 45") << false << 45.0f << 30.0f;
            row("out from 31") << false << 31.0f << 16.0f;
            row("out from 30 fits") << false << 30.0f << -1.0f;
            row("out from 16 fits") << false << 16.0f << -1.0f;
        }
    }

    void zoomStepsStopAtTheirLimits()
    {
        QFETCH(QString, pane);
        QFETCH(bool, in);
        QFETCH(float, from);
        QFETCH(float, to);
        const auto window = startWithBothPanes();
        const Pane p = paneOf(*window, pane);
        const float fitted = fittedZoom(*p.viewer);
        p.viewer->setZoom(from);

        (in ? p.zoomIn : p.zoomOut)->click();
        QCOMPARE(p.viewer->zoom(), to < 0 ? fitted : to);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void zoomActsOnAnEmptyPaneToo()
    {
        const auto window = f.start();
        window->imgDes->setZoom(100);
        window->cmdZoomIn_ImgDes->click();
        QCOMPARE(window->imgDes->zoom(), 115.0f);
        window->cmdZoomOut_ImgDes->click();
        window->cmdZoomOut_ImgDes->click();
        QCOMPARE(window->imgDes->zoom(), 85.0f);
    }

    void resetFitsThePageAndRemovesTheRectangle()
    {
        const auto window = startWithBothPanes();
        for (const char* name : {"Src", "Des"}) {
            const Pane p = paneOf(*window, QString::fromLatin1(name));
            const float fitted = fittedZoom(*p.viewer);
            p.viewer->setZoom(400);
            p.viewer->setSelectionRect(10, 20, 30, 40);
            p.reset->click();
            QCOMPARE(p.viewer->zoom(), fitted);
            QVERIFY(p.viewer->selectionRect().isEmpty());
        }
    }

    void aDrawnRectangleIsZoomedToUnlessItsNumbersAddUpToNothing_data()
    {
        QTest::addColumn<QString>("pane");
        QTest::addColumn<QRect>("reported");
        QTest::addColumn<bool>("zoomed");
        QTest::newRow("source, a rectangle") << "Src" << QRect(100, 200, 300, 400) << true;
        QTest::newRow("destination, a rectangle") << "Des" << QRect(100, 200, 300, 400) << true;
        QTest::newRow("all zeros") << "Src" << QRect(0, 0, 0, 0) << false;
        QTest::newRow("numbers that cancel out") << "Des" << QRect(-30, 10, 20, 0) << false;
    }

    void aDrawnRectangleIsZoomedToUnlessItsNumbersAddUpToNothing()
    {
        QFETCH(QString, pane);
        QFETCH(QRect, reported);
        QFETCH(bool, zoomed);
        const auto window = startWithBothPanes();
        const Pane p = paneOf(*window, pane);
        // The rectangle the viewer holds, as if drawn.
        p.viewer->setSelectionRect(100, 200, 300, 400);
        const float before = p.viewer->zoom();

        emit p.viewer->selectionRectDrawn(reported.x(), reported.y(), reported.width(),
                                          reported.height());
        QCOMPARE(p.viewer->zoom() != before, zoomed);
        if (zoomed)
            QVERIFY(p.viewer->zoom() > 2 * before);
    }

    void aRectangleDrawnWithTheMouseIsZoomedTo()
    {
        const auto window = startWithBothPanes();
        QWidget* view = window->imgDes->viewport();
        const float before = window->imgDes->zoom();
        const QPoint middle = view->rect().center();
        QTest::mousePress(view, Qt::LeftButton, {}, middle - QPoint(20, 20));
        QTest::mouseMove(view, middle);
        QTest::mouseRelease(view, Qt::LeftButton, {}, middle + QPoint(20, 20));
        QVERIFY(window->imgDes->zoom() > 4 * before);
        QCOMPARE(window->imgSrc->zoom(), fittedZoom(*window->imgSrc));
    }

    void theKeyTable_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("focus"); // the control holding the focus
        QTest::addColumn<QString>("pane");  // the pane changed; "" for none
        QTest::addColumn<QString>("effect");
        const int ctrl = Qt::ControlModifier | Qt::KeypadModifier;
        const int alt = Qt::AltModifier | Qt::KeypadModifier;
        const auto row = [](const char* name, int key, int modifiers,
                            const char* focus) -> QTestData& {
            return QTest::newRow(name) << key << modifiers << QString::fromLatin1(focus);
        };
        row("Ctrl+keypad +", Qt::Key_Plus, ctrl, "txtPageSrc") << "Src"
                                                               << "in";
        row("Ctrl+keypad -", Qt::Key_Minus, ctrl, "imgSrc") << "Src"
                                                            << "out";
        row("Ctrl+keypad 2", Qt::Key_2, ctrl, "TiffFileList") << "Src"
                                                              << "down";
        row("Ctrl+keypad 8", Qt::Key_8, ctrl, "cmdSwap") << "Src"
                                                         << "up";
        row("Ctrl+keypad 6", Qt::Key_6, ctrl, "txtPageDes") << "Src"
                                                            << "right";
        row("Ctrl+keypad 4", Qt::Key_4, ctrl, "imgDes") << "Src"
                                                        << "left";
        row("Ctrl+keypad /", Qt::Key_Slash, ctrl, "cmdReset") << "Src"
                                                              << "reset";
        row("Alt+keypad +", Qt::Key_Plus, alt, "txtPageDes") << "Des"
                                                             << "in";
        row("Alt+keypad -", Qt::Key_Minus, alt, "imgDes") << "Des"
                                                          << "out";
        row("Alt+keypad 2", Qt::Key_2, alt, "cmdDes") << "Des"
                                                      << "down";
        row("Alt+keypad 8", Qt::Key_8, alt, "txtPageSrc") << "Des"
                                                          << "up";
        row("Alt+keypad 6", Qt::Key_6, alt, "TiffFileList") << "Des"
                                                            << "right";
        row("Alt+keypad 4", Qt::Key_4, alt, "imgSrc") << "Des"
                                                      << "left";
        row("Alt+keypad *", Qt::Key_Asterisk, alt, "cmdZoomIn") << "Des"
                                                                << "reset";
        // Nothing matches these.
        row("Ctrl+keypad *", Qt::Key_Asterisk, ctrl, "txtPageSrc") << ""
                                                                   << "";
        row("Alt+keypad /", Qt::Key_Slash, alt, "txtPageSrc") << ""
                                                              << "";
        row("Ctrl+Shift+keypad +", Qt::Key_Plus, ctrl | Qt::ShiftModifier, "imgSrc") << ""
                                                                                     << "";
        row("Alt+Shift+keypad 2", Qt::Key_2, alt | Qt::ShiftModifier, "imgSrc") << ""
                                                                                << "";
        row("Ctrl+Alt+keypad +", Qt::Key_Plus, ctrl | Qt::AltModifier, "imgSrc") << ""
                                                                                 << "";
        row("Ctrl+Alt+keypad 2", Qt::Key_2, ctrl | Qt::AltModifier, "imgSrc") << ""
                                                                              << "";
        row("keypad + alone", Qt::Key_Plus, int(Qt::KeypadModifier), "imgSrc") << ""
                                                                               << "";
        row("Shift+keypad -", Qt::Key_Minus, Qt::ShiftModifier | Qt::KeypadModifier, "imgSrc")
            << ""
            << "";
        row("Ctrl and the + of the main keyboard", Qt::Key_Plus, int(Qt::ControlModifier), "imgSrc")
            << ""
            << "";
        row("Alt and the 2 of the main keyboard", Qt::Key_2, int(Qt::AltModifier), "imgSrc") << ""
                                                                                             << "";
        row("Ctrl+keypad 2 with Num Lock off", Qt::Key_Down, ctrl, "cmdSwap") << ""
                                                                              << "";
    }

    void theKeyTable()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, focus);
        QFETCH(QString, pane);
        QFETCH(QString, effect);
        const auto window = startWithBothPanes();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        const QStringList panes = {QStringLiteral("Src"), QStringLiteral("Des")};
        QList<float> fitted;
        QList<ViewState> before;
        for (const QString& name : panes) {
            ImagingEdit& viewer = *paneOf(*window, name).viewer;
            fitted.append(fittedZoom(viewer));
            viewer.setZoom(100);
            viewer.horizontalScrollBar()->setValue(300);
            viewer.verticalScrollBar()->setValue(400);
            viewer.setSelectionRect(10, 20, 30, 40);
            before.append(ViewState::of(viewer));
        }
        QWidget* focused = window->findChild<QWidget*>(focus);
        QVERIFY(focused);
        focused->setFocus();
        QCOMPARE(QApplication::focusWidget(), focused);

        QTest::keyClick(window->windowHandle(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        for (qsizetype i = 0; i < panes.size(); ++i) {
            const ViewState after = ViewState::of(*paneOf(*window, panes[i]).viewer);
            ViewState expected = before[i];
            if (panes[i] == pane) {
                if (effect == QLatin1String("in") || effect == QLatin1String("out")) {
                    // The zoom keeps the middle of the view; only the zoom is compared.
                    expected = after;
                    expected.zoom = effect == QLatin1String("in") ? 115.0f : 85.0f;
                } else if (effect == QLatin1String("reset")) {
                    expected = after;
                    expected.zoom = fitted[i];
                    expected.selection = QRect();
                } else if (effect == QLatin1String("down")) {
                    expected.down += 150;
                } else if (effect == QLatin1String("up")) {
                    expected.down -= 150;
                } else if (effect == QLatin1String("right")) {
                    expected.across += 150;
                } else if (effect == QLatin1String("left")) {
                    expected.across -= 150;
                }
            }
            QCOMPARE(after.zoom, expected.zoom);
            QCOMPARE(after.across, expected.across);
            QCOMPARE(after.down, expected.down);
            QCOMPARE(after.selection, expected.selection);
        }
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void scrollKeysDoNothingOnAnEmptyPane()
    {
        const auto window = f.start();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        for (const Qt::Key key : {Qt::Key_2, Qt::Key_8, Qt::Key_4, Qt::Key_6, Qt::Key_Slash})
            QTest::keyClick(window->windowHandle(), key, Qt::ControlModifier | Qt::KeypadModifier);
        QCOMPARE(window->imgSrc->image(), QString());
        QCOMPARE(window->imgSrc->verticalScrollBar()->value(), 0);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

private:
    QString scan(const QString& name) const { return m_scans + QDir::separator() + name; }

    // The window with source.tif in the source pane and target.tif in the destination
    // pane, both at page 1.
    std::unique_ptr<Tessary> startWithBothPanes()
    {
        auto window = f.start();
        if (!WindowFixture::pick(*window, QStringLiteral("source.tif")))
            return window;
        f.openDestination(*window, scan(QStringLiteral("target.tif")));
        return window;
    }

    WindowFixture f;
    QString m_scans;
};

int runNavigationTests(int argc, char** argv)
{
    NavigationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "NavigationTest.moc"
