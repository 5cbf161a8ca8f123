// The page strips in the main window: shown from the View menu, in step with their panes,
// selecting, deleting and dragging pages through the real event path, each gesture one step
// to undo; and the thumbnails' provider and its cache.

#include "ImagingEdit.h"
#include "OperationHandlers.h"
#include "OperationsFixture.h"
#include "PageStrip.h"
#include "PageStripModel.h"
#include "Tessary.h"
#include "ThumbnailProvider.h"
#include "UndoHistory.h"

#include <QAccessible>
#include <QAction>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QWindow>

using namespace tessary;
using namespace tessary::testing;

namespace {

PageStrip* strip(const Tessary& window, bool source)
{
    return window.findChild<PageStrip*>(source ? "stripSrc" : "stripDes");
}

QModelIndex row(const PageStrip& strip, int page)
{
    return strip.model()->index(page - 1, 0);
}

// Clicks page in strip as the user does, keys held.
void click(PageStrip& strip, int page, Qt::KeyboardModifiers keys = {})
{
    strip.scrollTo(row(strip, page));
    QTest::mouseClick(strip.viewport(), Qt::LeftButton, keys,
                      strip.visualRect(row(strip, page)).center());
}

// Drags the pages selected in from over the window to the destination strip's gap before
// page `before`, and drops them there, as the platform delivers a drag: enter, move, drop at
// the window. Whether the drop was taken.
bool dragAndDrop(Tessary& window, PageStrip& from, int before, Qt::KeyboardModifiers keys)
{
    const std::unique_ptr<QMimeData> data(
        from.model()->mimeData(from.selectionModel()->selectedIndexes()));
    PageStrip& to = *strip(window, false);
    const int count = to.model()->rowCount();
    to.scrollTo(row(to, std::min(before, count)));
    const QRect cell = to.visualRect(row(to, std::min(before, count)));
    const QPoint at = to.viewport()->mapTo(
        &window, QPoint(before > count ? cell.right() - 2 : cell.left() + 2, cell.center().y()));
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, offered, data.get(), Qt::LeftButton, keys);
    QApplication::sendEvent(window.windowHandle(), &enter);
    QDragMoveEvent move(at, offered, data.get(), Qt::LeftButton, keys);
    QApplication::sendEvent(window.windowHandle(), &move);
    QDropEvent drop(at, offered, data.get(), Qt::LeftButton, keys);
    QApplication::sendEvent(window.windowHandle(), &drop);
    return drop.isAccepted();
}

void select(PageStrip& strip, const QList<int>& pages)
{
    strip.selectionModel()->clear();
    for (const int page : pages)
        strip.selectionModel()->select(row(strip, page), QItemSelectionModel::Select);
}

} // namespace

class StripsTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(f.reset());
        m_history.emplace(f.dir(QStringLiteral("history")));
    }

    void cleanup() { m_history.reset(); }

    void stripsAreOffUntilChosenAndTheWindowIsAsDesignedWithout()
    {
        auto window = start(false, false, false);
        QVERIFY(!window->mnuPageStrips->isChecked() && !strip(*window, true));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QList<QRect> designed;
        for (const QWidget* control :
             window->centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            designed.append(control->geometry());

        window->mnuPageStrips->trigger();
        QCOMPARE(f.settings->read(SettingsStore::PageStrips), QStringLiteral("Yes"));
        PageStrip* source = strip(*window, true);
        QVERIFY(source && source->isVisible() && strip(*window, false)->isVisible());
        QCOMPARE(source->model()->rowCount(), 12);
        QCOMPARE(strip(*window, false)->model()->rowCount(), 6);
        // It fits the screen, and grows with the window: viewers wider and taller, the strips
        // below them.
        QVERIFY(window->width() <= 1280 && window->height() <= 1024);
        const QSize viewer = window->imgSrc->size();
        window->resize(1240, 980);
        QTRY_COMPARE(window->size(), QSize(1240, 980));
        QVERIFY(window->imgSrc->width() > viewer.width() + 200);
        QVERIFY(window->imgDes->height() > viewer.height() + 200);
        QVERIFY(source->geometry().top() > window->TiffFileList->geometry().bottom());
        QVERIFY(window->centralWidget()->rect().contains(strip(*window, false)->geometry()));

        window->mnuPageStrips->trigger();
        QCOMPARE(f.settings->read(SettingsStore::PageStrips), QStringLiteral("No"));
        QList<QRect> again;
        for (const QWidget* control :
             window->centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!qobject_cast<const PageStrip*>(control))
                again.append(control->geometry());
        QCOMPARE(again, designed);
        QVERIFY(!source->isVisible());
        QCOMPARE(window->size(), window->designedSize());
        QCOMPARE(window->minimumSize(), window->maximumSize());

        // The choice holds at the next start.
        window.reset();
        f.settings->write(SettingsStore::PageStrips, QStringLiteral("Yes"));
        window = start(false, false, false);
        QVERIFY(window->mnuPageStrips->isChecked() && strip(*window, true)->isVisible());
    }

    void theStripAndItsPaneShowTheSamePage()
    {
        const auto window = start();
        PageStrip& source = *strip(*window, true);
        click(source, 5);
        QCOMPARE(window->imgSrc->page(), 5);
        QCOMPARE(window->txtPageSrc->text(), QStringLiteral("5"));
        window->cmdSrc[2]->click();
        QCOMPARE(source.pages().shownPage(), 6);
        QCOMPARE(source.currentIndex().row(), 5);
        QVERIFY(source.model()->data(row(source, 6), PageStripModel::ShownRole).toBool());
        // Each thumbnail is a list item named after its page, its selection told.
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&source);
        QCOMPARE(list->role(), QAccessible::List);
        QCOMPARE(list->child(5)->text(QAccessible::Name), QStringLiteral("Page 6"));
        QCOMPARE(list->child(5)->role(), QAccessible::ListItem);
        QVERIFY(list->child(5)->state().selected && !list->child(4)->state().selected);
        // The thumbnails come: page 6 of grey 6 on a white page (the strip's pages are
        // labelled by their grey).
        QTRY_VERIFY(!source.model()
                         ->data(row(source, 6), PageStripModel::ThumbnailRole)
                         .value<QImage>()
                         .isNull());
        const QImage thumbnail =
            source.model()->data(row(source, 6), PageStripModel::ThumbnailRole).value<QImage>();
        QCOMPARE(qGray(thumbnail.pixel(thumbnail.width() / 2, thumbnail.height() / 2)), 6);
    }

    void selection_data()
    {
        QTest::addColumn<QStringList>("gestures");
        QTest::addColumn<QList<int>>("selected");
        QTest::newRow("click") << QStringList{"3"} << QList<int>{3};
        QTest::newRow("shift+click") << QStringList{"2", "shift 5"} << QList<int>{2, 3, 4, 5};
        QTest::newRow("ctrl+click") << QStringList{"2", "ctrl 5", "ctrl 9"} << QList<int>{2, 5, 9};
        QTest::newRow("ctrl+click again") << QStringList{"2", "ctrl 5", "ctrl 2"} << QList<int>{5};
        QTest::newRow("ctrl+a") << QStringList{"4", "key ctrl a"} << labels(1, 12);
        QTest::newRow("shift+arrows")
            << QStringList{"4", "key shift right", "key shift right", "key shift left"}
            << QList<int>{4, 5};
    }

    void selection()
    {
        QFETCH(QStringList, gestures);
        QFETCH(QList<int>, selected);
        const auto window = start();
        PageStrip& source = *strip(*window, true);
        for (const QString& gesture : gestures) {
            const QStringList words = gesture.split(' ');
            const Qt::KeyboardModifiers keys = words.contains("shift")  ? Qt::ShiftModifier
                                               : words.contains("ctrl") ? Qt::ControlModifier
                                                                        : Qt::NoModifier;
            if (words.first() != "key") {
                click(source, words.last().toInt(), keys);
                continue;
            }
            const Qt::Key key = words.last() == "a"       ? Qt::Key_A
                                : words.last() == "right" ? Qt::Key_Right
                                                          : Qt::Key_Left;
            QTest::keyClick(&source, key, keys);
        }
        QCOMPARE(source.selectedPages(), selected);
        // The pane shows the page last made current.
        QCOMPARE(window->imgSrc->page(), source.currentIndex().row() + 1);
    }

    void deleteTakesTheSelectedPagesInOneStep_data()
    {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<int>("answer"); // 0: prompting off
        QTest::addColumn<QString>("box");
        QTest::addColumn<QList<int>>("after"); // the labels; none: unchanged
        QTest::addColumn<QString>("caption");
        const QString several = QStringLiteral("Do you really want to delete these 3 pages?");
        QTest::newRow("three, silent") << QList<int>{2, 4, 5} << 0 << QString()
                                       << QList<int>{21, 23, 26} << "Delete 3 Pages of target.tif";
        QTest::newRow("three, asked, yes")
            << QList<int>{2, 4, 5} << int(MsgYes) << several << QList<int>{21, 23, 26}
            << "Delete 3 Pages of target.tif";
        QTest::newRow("three, asked, no")
            << QList<int>{2, 4, 5} << int(MsgNo) << several << QList<int>{} << QString();
        QTest::newRow("one, asked")
            << QList<int>{6} << int(MsgYes) << "Do you really want to delete this page?"
            << labels(21, 25) << "Delete Page 6 of target.tif";
        QTest::newRow("every page")
            << labels(1, 6) << 0 << "You cannot delete the last page of a file." << QList<int>{}
            << QString();
    }

    void deleteTakesTheSelectedPagesInOneStep()
    {
        QFETCH(QList<int>, selected);
        QFETCH(int, answer);
        QFETCH(QString, box);
        QFETCH(QList<int>, after);
        QFETCH(QString, caption);
        const auto window = start(answer != 0);
        PageStrip& destination = *strip(*window, false);
        select(destination, selected);
        if (answer != 0)
            f.boxes->answer(answer);
        else if (!box.isEmpty())
            f.boxes->answer(MsgOk);
        f.keep();
        QTest::keyClick(&destination, Qt::Key_Delete);
        QCOMPARE(f.boxes->texts(), box.isEmpty() ? QStringList() : QStringList{box});
        QCOMPARE(f.boxes->unexpected(), 0);
        if (after.isEmpty()) {
            QCOMPARE(f.changed(), QString());
            QCOMPARE(window->mnuUndo->text(), QStringLiteral("Undo"));
            return;
        }
        QCOMPARE(labelsOf(f.target), after);
        QCOMPARE(destination.model()->rowCount(), after.size());
        QCOMPARE(window->imgDes->page(), std::min(selected.first(), int(after.size())));
        undoAndRedo(*window, caption, labels(21, 26), after, {}, {});
    }

    void droppedPagesArriveWhereDroppedInOneStep_data()
    {
        QTest::addColumn<bool>("fromSource");
        QTest::addColumn<bool>("move"); // the transfer mode
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<int>("before");
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<QList<int>>("target"); // none: unchanged
        QTest::addColumn<QList<int>>("source");
        QTest::addColumn<QString>("caption");
        QTest::newRow("move within to the front")
            << false << false << QList<int>{4, 5} << 1 << false
            << QList<int>{24, 25, 21, 22, 23, 26} << labels(1, 12) << "Move 2 Pages of target.tif";
        QTest::newRow("copy within to the end, ctrl")
            << false << false << QList<int>{1, 3} << 7 << true
            << QList<int>{21, 22, 23, 24, 25, 26, 21, 23} << labels(1, 12)
            << "Copy 2 Pages of target.tif";
        QTest::newRow("within where they are") << false << false << QList<int>{2, 3} << 3 << false
                                               << QList<int>{} << labels(1, 12) << QString();
        QTest::newRow("copy from the source")
            << true << false << QList<int>{3, 7} << 2 << false
            << QList<int>{21, 3, 7, 22, 23, 24, 25, 26} << labels(1, 12)
            << "Copy 2 Pages of source.tif to target.tif";
        QTest::newRow("move from the source to the end")
            << true << true << QList<int>{1, 2} << 7 << false
            << QList<int>{21, 22, 23, 24, 25, 26, 1, 2} << labels(3, 12)
            << "Move 2 Pages of source.tif to target.tif";
        QTest::newRow("move of every source page") << true << true << labels(1, 12) << 1 << false
                                                   << QList<int>{} << labels(1, 12) << QString();
    }

    void droppedPagesArriveWhereDroppedInOneStep()
    {
        QFETCH(bool, fromSource);
        QFETCH(bool, move);
        QFETCH(QList<int>, selected);
        QFETCH(int, before);
        QFETCH(bool, ctrl);
        QFETCH(QList<int>, target);
        QFETCH(QList<int>, source);
        QFETCH(QString, caption);
        const auto window = start(false, move);
        PageStrip& from = *strip(*window, fromSource);
        select(from, selected);
        f.keep();
        if (target.isEmpty() && fromSource)
            f.boxes->answer(MsgOk);
        QVERIFY(dragAndDrop(*window, from, before, ctrl ? Qt::ControlModifier : Qt::NoModifier));
        if (target.isEmpty()) {
            QTest::qWait(50);
            QCOMPARE(f.changed(), QString());
            QCOMPARE(f.boxes->texts(),
                     fromSource ? QStringList{"You cannot delete the last page of a file."}
                                : QStringList());
            return;
        }
        QTRY_COMPARE(labelsOf(f.target), target);
        QCOMPARE(labelsOf(f.source), source);
        QCOMPARE(strip(*window, false)->model()->rowCount(), target.size());
        QCOMPARE(strip(*window, true)->model()->rowCount(), source.size());
        QCOMPARE(f.boxes->unexpected(), 0);
        undoAndRedo(*window, caption, labels(21, 26), target, labels(1, 12), source);
    }

    void aFileDroppedFromTheFileManagerOnAStripOpensInItsPane()
    {
        const auto window = start();
        const QString other = f.scan(QStringLiteral("other.tif"));
        QVERIFY(writeLabelled(other, {40, 41, 42}));
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(other)});
        PageStrip& destination = *strip(*window, false);
        const QPoint at = destination.mapTo(window.get(), destination.rect().center());
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window->windowHandle(), &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window->windowHandle(), &drop);
        QTRY_COMPARE(window->imgDes->image(), other);
        QCOMPARE(destination.model()->rowCount(), 3);
    }

    void thumbnailsAreKeptByFileStampAndPage()
    {
        // Room for three thumbnails of the 24 by 16 pages (84 by 56 grey pixels).
        ThumbnailProvider provider(16000);
        const auto stamp = FileStamp::of(f.source.toStdString());
        QVERIFY(stamp);
        const QSize size(84, 112);
        const auto made = [&](const FileStamp& file, int page) {
            const ThumbnailProvider::Thumbnail* kept = provider.find({file, page, size});
            return !kept ? -1 : kept->failed ? -2 : qGray(kept->image.pixel(40, 50));
        };
        provider.request(this, f.source, *stamp, size, {1, 2});
        QTRY_VERIFY(made(*stamp, 1) == 1 && made(*stamp, 2) == 2);

        // A file changed since is decoded anew, under its new stamp.
        QVERIFY(writeLabelled(f.source, {7, 8, 9}));
        const auto changed = FileStamp::of(f.source.toStdString());
        QVERIFY(changed && !(*changed == *stamp));
        provider.request(this, f.source, *changed, size, {2});
        QTRY_COMPARE(made(*changed, 2), 8);
        // Asked as the old file, the changed file's pages are not shown for it.
        provider.request(this, f.source, *stamp, size, {3});
        QTRY_COMPARE(made(*stamp, 3), -2);

        // A page that cannot be decoded is kept as failed; the cache keeps within its bytes.
        QVERIFY(f.damageSource());
        const auto damaged = FileStamp::of(f.source.toStdString());
        provider.request(this, f.source, *damaged, size, {1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 4});
        QTRY_COMPARE(provider.pending(), 0);
        QCOMPARE(made(*damaged, 4), -2);
        QVERIFY(provider.bytes() <= provider.maxBytes());
        QVERIFY(made(*damaged, 12) == 12 && made(*damaged, 1) == -1);
    }

private:
    std::unique_ptr<Tessary> start(bool prompt = false, bool move = false, bool strips = true)
    {
        f.settings->write(SettingsStore::PromptActions, prompt ? "Yes" : "No");
        f.settings->write(SettingsStore::DefaultMode, move ? "Move" : "Copy");
        if (strips)
            f.settings->write(SettingsStore::PageStrips, QStringLiteral("Yes"));
        auto window = std::make_unique<Tessary>(TessaryServices{
            *f.boxes, *f.dialogs, *f.folders, *f.launcher, *f.screen, *f.programFolder, *f.settings,
            *f.help, *f.progress, operations::handlers(), &*m_history});
        window->show();
        if (!f.show(*window, true, QStringLiteral("source.tif"), 1) ||
            !f.show(*window, false, QStringLiteral("target.tif"), 1))
            return nullptr;
        return window;
    }

    // Undo puts both files back and the strips follow; redo makes the step again.
    void undoAndRedo(Tessary& window, const QString& caption, const QList<int>& targetBefore,
                     const QList<int>& targetAfter, const QList<int>& sourceBefore,
                     const QList<int>& sourceAfter)
    {
        QCOMPARE(window.mnuUndo->text(), "Undo " + caption);
        window.mnuUndo->trigger();
        QCOMPARE(labelsOf(f.target), targetBefore);
        QCOMPARE(strip(window, false)->model()->rowCount(), targetBefore.size());
        if (!sourceBefore.isEmpty())
            QCOMPARE(labelsOf(f.source), sourceBefore);
        window.mnuRedo->trigger();
        QCOMPARE(labelsOf(f.target), targetAfter);
        QCOMPARE(strip(window, false)->model()->rowCount(), targetAfter.size());
        if (!sourceAfter.isEmpty())
            QCOMPARE(labelsOf(f.source), sourceAfter);
        QCOMPARE(f.boxes->unexpected(), 0);
    }

    OperationsFixture f;
    std::optional<UndoHistory> m_history;
};

QTEST_MAIN(StripsTest)
#include "StripsTest.moc"
