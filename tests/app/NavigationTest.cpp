// Paging, zooming and scrolling the two panes: the page buttons, the page boxes, the zoom
// buttons, Reset, a drawn rectangle and the keypad keys.

#include "TestTiff.h"
#include "WindowFixture.h"
#include "frmSettings.h"

#include <QScrollBar>
#include <QTimer>
#include <QWindow>

using namespace tessary;
using namespace tessary::testing;
using namespace Qt::StringLiterals;

namespace {

// The controls of one pane: its view, its page box, and its buttons <<, <, >, >>, +, - and
// Reset.
struct Pane
{
    ImagingEdit* viewer;
    QLineEdit* box;
    QList<QPushButton*> buttons;
};
const QStringList buttonNames = {"<<", "<", ">", ">>", "+", "-", "Reset"};

Pane paneOf(Tessary& w, bool s)
{
    const auto& turns = s ? w.cmdSrc : w.cmdDes;
    return {s ? w.imgSrc : w.imgDes,
            s ? w.txtPageSrc : w.txtPageDes,
            {turns[0], turns[1], turns[2], turns[3], s ? w.cmdZoomIn : w.cmdZoomIn_ImgDes,
             s ? w.cmdZoomOut : w.cmdZoomOut_ImgDes, s ? w.cmdReset : w.cmdReset_ImgDes}};
}

// The page a pane is at, its page box, and the page its view shows: page p is grey 40 p.
QString placeOf(const Pane& p)
{
    const QImage shot = p.viewer->viewport()->grab().toImage();
    return QString("%1 %2 %3")
        .arg(p.viewer->page())
        .arg(p.box->text())
        .arg(qGray(shot.pixel(shot.rect().center())) / 40);
}

float fittedZoom(ImagingEdit& viewer)
{
    const float zoom = viewer.zoom();
    viewer.fitTo(ImagingEdit::FitWholePage);
    const float fitted = viewer.zoom();
    viewer.setZoom(zoom);
    return fitted;
}

// The page and zoom a pane shows before; what the user does: a button ("<<", "<", ">",
// ">>", "+", "-", "Reset") or text typed over the page box, then Enter; the page shown,
// the page box and the zoom after (-1: the page fitted into the view).
const std::tuple<const char*, int, float, QString, int, QString, float> inputs[] = {
    {"<< from page 4", 4, 250, "<<", 1, "1", -1},
    {"< from page 3", 3, 250, "<", 2, "2", -1},
    {"< on the first page", 1, 250, "<", 1, "1", -1},
    {"> from page 3", 3, 250, ">", 4, "4", -1},
    {"> on the last page", 5, 250, ">", 5, "5", -1},
    {">> from page 2", 2, 250, ">>", 5, "5", -1},
    {"typed 3", 1, 250, "3", 3, "3", -1},
    {"typed past the last page", 1, 250, "9", 1, "1", -1},
    {"typed page 0", 1, 250, "0", 1, "1", -1},
    {"typed 3.5, read as 4", 1, 250, "3.5", 4, "3.5", -1},
    // The sign alone is no number: the next key puts the box back first.
    {"typed -2, read as 12", 1, 250, "-2", 1, "1", -1},
    {"typed a letter, then Enter", 1, 250, "x", 1, "1", 250},
    {"zoom in from 100", 1, 100, "+", 1, "1", 115},
    {"zoom in from 6500", 1, 6500, "+", 1, "1", 6515},
    {"zoom in from 6501 takes no step", 1, 6501, "+", 1, "1", 6501},
    {"zoom out from 100", 1, 100, "-", 1, "1", 85},
    {"zoom out from 31", 1, 31, "-", 1, "1", 16},
    {"zoom out from 30 fits", 1, 30, "-", 1, "1", -1},
    {"Reset from 400 fits", 1, 400, "Reset", 1, "1", -1},
};

// The pane (true: source), the rectangle reported, or drawn with the mouse; whether it is
// zoomed to.
const std::tuple<const char*, bool, QRect, bool, bool> rectangles[] = {
    {"source, a rectangle", true, {100, 200, 300, 400}, false, true},
    {"all zeros", true, {0, 0, 0, 0}, false, false},
    {"numbers that cancel out", false, {-30, 10, 20, 0}, false, false},
    {"destination, drawn with the mouse", false, {-20, -20, 40, 40}, true, true},
};

constexpr int ctrl = Qt::ControlModifier | Qt::KeypadModifier;
constexpr int alt = Qt::AltModifier | Qt::KeypadModifier;

// The key, its modifiers, the control holding the focus; the pane the key is for (true:
// source), its zoom after (from 100; 0 unchanged, -1 fitted with the rectangle removed)
// and how far it scrolls across and down.
const std::tuple<const char*, int, int, const char*, bool, float, int, int> keys[] = {
    {"Ctrl+keypad +", Qt::Key_Plus, ctrl, "txtPageSrc", true, 115, 0, 0},
    {"Ctrl+keypad -", Qt::Key_Minus, ctrl, "txtPageDes", true, 85, 0, 0},
    {"Ctrl+keypad 2", Qt::Key_2, ctrl, "TiffFileList", true, 0, 0, 150},
    {"Ctrl+keypad 8", Qt::Key_8, ctrl, "cmdSwap", true, 0, 0, -150},
    {"Ctrl+keypad 6", Qt::Key_6, ctrl, "txtPageDes", true, 0, 150, 0},
    {"Ctrl+keypad 4", Qt::Key_4, ctrl, "imgDes", true, 0, -150, 0},
    {"Ctrl+keypad /", Qt::Key_Slash, ctrl, "txtPageSrc", true, -1, 0, 0},
    {"Alt+keypad +", Qt::Key_Plus, alt, "txtPageDes", false, 115, 0, 0},
    {"Alt+keypad -", Qt::Key_Minus, alt, "txtPageSrc", false, 85, 0, 0},
    {"Alt+keypad 2", Qt::Key_2, alt, "cmdDes", false, 0, 0, 150},
    {"Alt+keypad 8", Qt::Key_8, alt, "txtPageSrc", false, 0, 0, -150},
    {"Alt+keypad 6", Qt::Key_6, alt, "TiffFileList", false, 0, 150, 0},
    {"Alt+keypad 4", Qt::Key_4, alt, "imgSrc", false, 0, -150, 0},
    {"Alt+keypad *", Qt::Key_Asterisk, alt, "txtPageDes", false, -1, 0, 0},
    // Nothing matches these.
    {"Ctrl+keypad *", Qt::Key_Asterisk, ctrl, "txtPageSrc", true, 0, 0, 0},
    {"Alt+keypad /", Qt::Key_Slash, alt, "txtPageSrc", true, 0, 0, 0},
    {"Ctrl+Shift+keypad +", Qt::Key_Plus, ctrl | Qt::ShiftModifier, "imgSrc", true, 0, 0, 0},
    {"keypad + alone", Qt::Key_Plus, Qt::KeypadModifier, "imgSrc", true, 0, 0, 0},
    {"Ctrl and the + of the main keyboard", Qt::Key_Plus, Qt::ControlModifier, "imgSrc", true, 0, 0,
     0},
    {"Ctrl+keypad 2 with Num Lock off", Qt::Key_Down, ctrl, "cmdSwap", true, 0, 0, 0},
};

} // namespace

class NavigationTest : public QObject
{
    Q_OBJECT

private slots:
    // The pages are only read: one folder of them serves every test.
    void initTestCase()
    {
        QList<TestTiff::Page> pages;
        for (int page = 1; page <= 5; ++page)
            pages.append(TestTiff::plain(900, 1200, std::uint8_t(40 * page)));
        for (const char* name : {"source.tif", "target.tif"})
            QVERIFY(TestTiff::write(m_pages.filePath(name), pages));
    }

    void init()
    {
        QVERIFY(f.reset());
        f.settings->write(SettingsStore::SrcDir, QDir::toNativeSeparators(m_pages.path()));
    }

    void buttonsAndTypedPagesTurnAndZoomOnePane_data() { addRows(inputs); }

    void buttonsAndTypedPagesTurnAndZoomOnePane()
    {
        const auto& [name, from, zoom, input, page, box, zoomAfter] = rowOf(inputs);
        const auto window = startWithBothPanes();
        const int button = buttonNames.indexOf(input);
        for (const bool source : {true, false}) {
            const Pane p = paneOf(*window, source);
            const ImagingEdit& other = *paneOf(*window, !source).viewer;
            p.viewer->setPage(from);
            p.viewer->display();
            p.viewer->setZoom(zoom);
            p.viewer->setSelectionRect(10, 20, 30, 40);
            const QList<QVariant> otherBefore = {other.page(), other.zoom()};
            if (button >= 0) {
                // A page button rewrites the box whatever it held.
                if (button < 4)
                    p.box->setText("stale");
                p.buttons[button]->click();
            } else {
                QCOMPARE(p.box->text(), QString::number(from));
                p.box->selectAll();
                QTest::keyClicks(p.box, input);
                QTest::keyClick(p.box, Qt::Key_Return);
            }
            QCOMPARE(placeOf(p), QString("%1 %2 %1").arg(page).arg(box));
            QCOMPARE(p.viewer->zoom(), zoomAfter < 0 ? fittedZoom(*p.viewer) : zoomAfter);
            // Of the zoom buttons only Reset removes the rectangle.
            if (button >= 4)
                QCOMPARE(p.viewer->selectionRect().isEmpty(), input == "Reset");
            // The other pane stays as it was.
            QCOMPARE((QList<QVariant>{other.page(), other.zoom()}), otherBefore);
        }
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void anEmptyPaneDoesNothingNotEvenToItsBox()
    {
        const auto window = f.start();
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        for (const bool source : {true, false}) {
            const Pane p = paneOf(*window, source);
            // The box selects from the cursor to the end when it gets the focus.
            p.buttons[0]->setFocus();
            p.box->setText("123");
            p.box->setCursorPosition(source ? 1 : 3);
            p.box->setFocus(Qt::OtherFocusReason);
            QCOMPARE(p.box->selectedText(), source ? "23" : "");
            p.box->setText("7");
            for (const int button : {0, 1, 2, 3, 6})
                p.buttons[button]->click();
            // Enter on a number with no file shows nothing either.
            p.box->setCursorPosition(1);
            QTest::keyClick(p.box, Qt::Key_Return);
            QCOMPARE(QString::number(p.viewer->page()) + p.box->text() + p.viewer->image(), "07");
            // A letter in the box of an empty pane is put back to no page at the next key.
            QTest::keyClicks(p.box, "x2");
            QCOMPARE(p.box->text(), "2");
        }
        // Nor do the keypad keys scroll it.
        for (const Qt::Key key : {Qt::Key_2, Qt::Key_8, Qt::Key_4, Qt::Key_6, Qt::Key_Slash})
            QTest::keyClick(window->windowHandle(), key, Qt::ControlModifier | Qt::KeypadModifier);
        QCOMPARE(window->imgSrc->verticalScrollBar()->value(), 0);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    void rectanglesAreZoomedToUnlessTheyAddUpToNothing_data() { addRows(rectangles); }

    void rectanglesAreZoomedToUnlessTheyAddUpToNothing()
    {
        const auto& [name, source, reported, mouse, zoomed] = rowOf(rectangles);
        const auto window = startWithBothPanes();
        ImagingEdit& viewer = *paneOf(*window, source).viewer;
        ImagingEdit& other = *paneOf(*window, !source).viewer;
        const float before = viewer.zoom();
        if (mouse) {
            QWidget* view = viewer.viewport();
            const QPoint middle = view->rect().center();
            QTest::mousePress(view, Qt::LeftButton, {}, middle + reported.topLeft());
            QTest::mouseMove(view, middle);
            QTest::mouseRelease(view, Qt::LeftButton, {}, middle + reported.bottomRight());
        } else {
            // The rectangle the viewer holds, as if drawn.
            viewer.setSelectionRect(100, 200, 300, 400);
            emit viewer.selectionRectDrawn(reported.x(), reported.y(), reported.width(),
                                           reported.height());
        }
        QCOMPARE(viewer.zoom() != before, zoomed);
        QVERIFY(!zoomed || viewer.zoom() > 2 * before);
        QCOMPARE(other.zoom(), fittedZoom(other));
    }

    void theKeyTable_data() { addRows(keys); }

    void theKeyTable()
    {
        const auto& [name, key, modifiers, focus, source, zoom, across, down] = rowOf(keys);
        const auto window = startWithBothPanes();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QList<float> fitted;
        QRect selection;
        for (const bool pane : {true, false}) {
            ImagingEdit& viewer = *paneOf(*window, pane).viewer;
            fitted.append(fittedZoom(viewer));
            viewer.setZoom(100);
            viewer.horizontalScrollBar()->setValue(300);
            viewer.verticalScrollBar()->setValue(400);
            viewer.setSelectionRect(10, 20, 30, 40);
            selection = viewer.selectionRect();
        }
        QWidget* focused = window->findChild<QWidget*>(focus);
        QVERIFY(focused);
        focused->setFocus();
        QCOMPARE(QApplication::focusWidget(), focused);

        QTest::keyClick(window->windowHandle(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        for (const bool pane : {true, false}) {
            ImagingEdit& viewer = *paneOf(*window, pane).viewer;
            const bool zoomed = pane == source && zoom != 0;
            QCOMPARE(viewer.zoom(), !zoomed ? 100.0f : zoom < 0 ? fitted[pane ? 0 : 1] : zoom);
            QCOMPARE(viewer.selectionRect(), zoomed && zoom < 0 ? QRect() : selection);
            // A zoom keeps the middle of the view: only the zoom is compared.
            const QPoint scrolled(viewer.horizontalScrollBar()->value(),
                                  viewer.verticalScrollBar()->value());
            if (!zoomed)
                QCOMPARE(scrolled, QPoint(300, 400) + QPoint(across, down) * (pane == source));
        }
        // A key the window takes as a shortcut types nothing into the page box.
        if (zoom != 0 || across != 0 || down != 0)
            QCOMPARE(window->txtPageSrc->text() + window->txtPageDes->text(), u"11"_s);
        QVERIFY(f.boxes->boxes().isEmpty());
    }

    // Ctrl+M, Ctrl+C and Ctrl+T run their menu items whichever control has the focus: a
    // page box does not take Ctrl+C as its own copy.
    void theMenuShortcutsRunFromEveryControl()
    {
        f.settings->write(SettingsStore::DesDir, QDir::toNativeSeparators(m_pages.path()));
        const auto window = startWithBothPanes();
        int settingsShown = 0;
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            if (auto* dialog = qobject_cast<frmSettings*>(QApplication::activeModalWidget())) {
                ++settingsShown;
                f.boxes->answer(MsgYes); // to leaving without saving
                dialog->reject();
            }
        });
        closer.start(10);
        QStringList modes;
        for (const char* name : {"txtPageSrc", "txtPageDes", "TiffFileList", "cmdSwap", "imgDes"}) {
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window.get()));
            window->findChild<QWidget*>(name)->setFocus();
            f.boxes->answer(MsgYes); // to the Move warning
            for (const Qt::Key key : {Qt::Key_M, Qt::Key_C, Qt::Key_T}) {
                QTest::keyClick(window->windowHandle(), key, Qt::ControlModifier);
                modes << f.transferMode(*window);
            }
        }
        QCOMPARE(modes.join(u' '), u"Move Copy Copy "_s.repeated(5).trimmed());
        QCOMPARE(settingsShown, 5);
        QCOMPARE(f.boxes->unexpected(), 0);
    }

private:
    // The window with source.tif in the source pane and target.tif in the destination
    // pane, both at page 1.
    std::unique_ptr<Tessary> startWithBothPanes()
    {
        auto window = f.start();
        if (f.pick(*window, "source.tif"))
            f.openDestination(*window, QDir::toNativeSeparators(m_pages.filePath("target.tif")));
        return window;
    }

    QTemporaryDir m_pages;
    WindowFixture f;
};

TESSARY_WINDOW_TEST(NavigationTest)

#include "NavigationTest.moc"
