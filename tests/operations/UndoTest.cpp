#include "EngineCall.h"
#include "ImagingEdit.h"
#include "OperationHandlers.h"
#include "OperationsFixture.h"
#include "PageEngine.h"
#include "Tessary.h"
#include "UndoHistory.h"
#include "frmInterleave.h"
#include "frmMerge.h"
#include "frmRange.h"
#include "frmReorder.h"
#include "frmRotate.h"
#include "frmSplit.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

using namespace tessary;
using namespace tessary::testing;

class UndoTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_history.reset();
        QVERIFY(f.reset());
        // The source a.tif of pages 1 to 6 at page 4, the destination b.tif of pages 21 to
        // 25 at page 2; c.tif is the new file.
        QVERIFY(writeLabelled(f.scan(QStringLiteral("a.tif")), labels(1, 6)));
        QVERIFY(writeLabelled(f.scan(QStringLiteral("b.tif")), labels(21, 25)));
        m_history.emplace(f.dir(QStringLiteral("history")));
    }

    void everyOperationIsUndoneAndRedoneExactly_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("mode"); // the page mode; for a reorder, 1 copies
        QTest::addColumn<bool>("move");
        QTest::addColumn<QString>("caption");
        const auto row = [](const char* name, const char* action, int mode, bool move,
                            const char* caption) {
            QTest::newRow(name) << QString::fromLatin1(action) << mode << move
                                << QString::fromLatin1(caption);
        };
        row("delete", "delete", 0, false, "Delete Page 2 of b.tif");
        row("append", "page", 1, false, "Append Page 4 of a.tif to b.tif");
        row("insert", "page", 2, false, "Insert Page 4 of a.tif into b.tif");
        row("replace", "page", 3, false, "Replace with Page 4 of a.tif in b.tif");
        row("new file", "page", 4, false, "Extract Page 4 of a.tif to c.tif");
        row("move, append", "page", 1, true, "Move Page 4 of a.tif to b.tif");
        row("move, new file", "page", 4, true, "Move Page 4 of a.tif to c.tif");
        row("range, append", "range", 1, false, "Append 2 Pages to b.tif");
        row("range, insert", "range", 2, false, "Insert 2 Pages into b.tif");
        row("range, replace", "range", 3, false, "Replace with 2 Pages in b.tif");
        row("range, new file", "range", 4, false, "Extract 2 Pages to c.tif");
        row("range, move, insert", "range", 2, true, "Move 2 Pages to b.tif");
        row("range, move, new file", "range", 4, true, "Move 2 Pages to c.tif");
        row("reorder", "reorder", 0, false, "Move Page 4 of b.tif before Page 2");
        row("reorder, copy", "reorder", 1, false, "Copy Page 4 of b.tif before Page 2");
        row("rotate", "rotate", 0, false, "Rotate Page 2 of b.tif");
        row("rotate a range", "rotate range", 0, false, "Rotate Pages 2 to 3 of b.tif");
    }

    void everyOperationIsUndoneAndRedoneExactly()
    {
        QFETCH(QString, action);
        QFETCH(int, mode);
        QFETCH(bool, move);
        QFETCH(QString, caption);
        const QStringList files = {f.scan(QStringLiteral("a.tif")), f.scan(QStringLiteral("b.tif")),
                                   f.scan(QStringLiteral("c.tif"))};
        const QList<QByteArray> before = bytesOf(files);
        const auto window = start(move);
        if (action == QLatin1String("delete")) {
            window->cmdDelPage->click();
        } else if (action == QLatin1String("rotate")) {
            window->mnuRotateRight->trigger();
        } else if (action == QLatin1String("rotate range")) {
            drive<frmRotate>([&] { window->mnuRotatePages->trigger(); },
                             [&](frmRotate& dialog) {
                                 dialog.txtFrom->setText(QStringLiteral("2"));
                                 dialog.txtTo->setText(QStringLiteral("3"));
                                 dialog.cmdOK->click();
                             });
        } else if (action == QLatin1String("reorder")) {
            drive<frmReorder>([&] { window->cmdReorder->click(); },
                              [&](frmReorder& dialog) {
                                  dialog.txtPage->setText(QStringLiteral("4"));
                                  dialog.txtInsert->setText(QStringLiteral("2"));
                                  dialog.chkCopy->setChecked(mode == 1);
                                  dialog.cmdOK->click();
                              });
        } else {
            f.chooseMode(*window, mode);
            f.dialogs->choosePath(files[2]);
            f.press(*window, action == QLatin1String("page") ? QString() : QStringLiteral("2,3"));
        }
        // Each page box shows the page its pane shows, after the step and its undo and redo.
        const auto mirrored = [&] {
            const QStringList s = f.seen(*window, true), d = f.seen(*window, false);
            return s[2] == s[3] && d[2] == (d[0].isEmpty() ? QString() : d[3]);
        };
        QVERIFY(mirrored());
        const QList<QByteArray> after = bytesOf(files);
        QVERIFY(after != before);
        QCOMPARE(after[0] != before[0], move);
        QCOMPARE(window->mnuUndo->text(), QStringLiteral("Undo ") + caption);
        QVERIFY(window->mnuUndo->isEnabled() && !window->mnuRedo->isEnabled());

        window->mnuUndo->trigger();
        QCOMPARE(bytesOf(files), before);
        QCOMPARE(window->mnuRedo->text(), QStringLiteral("Redo ") + caption);
        QVERIFY(!window->mnuUndo->isEnabled() && window->mnuRedo->isEnabled());
        // The files are shown again; an undone new file is gone from its pane.
        QCOMPARE(window->imgSrc->image(), files[0]);
        QCOMPARE(window->imgDes->image(),
                 mode == 4 && action != QLatin1String("reorder") ? QString() : files[1]);
        // A turn is taken back on the page it turned.
        QVERIFY(!action.startsWith(QLatin1String("rotate")) || window->imgDes->page() == 2);
        QCOMPARE(window->imgDes->pageCount(), window->imgDes->image().isEmpty() ? 0 : 5);
        QVERIFY(mirrored());

        window->mnuRedo->trigger();
        QCOMPARE(bytesOf(files), after);
        QVERIFY(mirrored());
        QCOMPARE(window->mnuUndo->text(), QStringLiteral("Undo ") + caption);
        QCOMPARE(f.boxes->unexpected(), 0);
    }

    void aFileChangedSinceIsNotUndone()
    {
        const auto window = start();
        window->cmdDelPage->click();
        window->cmdDelPage->click();
        const QString target = f.scan(QStringLiteral("b.tif"));
        QVERIFY(writeLabelled(target, {7, 8}));
        f.boxes->answer(MsgOk);
        window->mnuUndo->trigger();
        QCOMPARE(f.boxes->texts(),
                 QStringList{QStringLiteral("Delete Page 1 of b.tif cannot be undone: b.tif has "
                                            "been changed since; nothing was changed. The step "
                                            "is taken off the history.")});
        QCOMPARE(labelsOf(target), (QList<int>{7, 8}));
        QCOMPARE(window->mnuUndo->text(), QStringLiteral("Undo Delete Page 2 of b.tif"));
        // A step whose file is gone drops out quietly, and the one before is not taken for it.
        QVERIFY(writeLabelled(f.scan(QStringLiteral("c.tif")), {9, 10}));
        f.show(*window, false, QStringLiteral("c.tif"), 1);
        window->cmdDelPage->click();
        QVERIFY(QFile::remove(f.scan(QStringLiteral("c.tif"))));
        window->mnuUndo->trigger();
        QCOMPARE(window->mnuUndo->text(), QStringLiteral("Undo Delete Page 2 of b.tif"));
        QCOMPARE(f.boxes->boxes().size(), 1);
        QVERIFY(QFile::remove(target));
        emit window->mnuEdit->aboutToShow();
        QCOMPARE(window->mnuUndo->text(), QStringLiteral("Undo"));
        QCOMPARE(f.boxes->boxes().size(), 1);
    }

    void theHistoryOutlivesTheWindowAndANewStepEndsRedo()
    {
        const QString target = f.scan(QStringLiteral("b.tif"));
        const QByteArray original = f.bytesOf(target);
        {
            const auto window = start();
            window->cmdDelPage->click();
            window->cmdDelPage->click();
            window->mnuUndo->trigger();
            QCOMPARE(window->mnuRedo->text(), QStringLiteral("Redo Delete Page 1 of b.tif"));
        }
        m_history.emplace(f.dir(QStringLiteral("history")));
        const auto window = start(false, false);
        QCOMPARE(window->mnuRedo->text(), QStringLiteral("Redo Delete Page 1 of b.tif"));
        window->mnuUndo->trigger();
        QCOMPARE(f.bytesOf(target), original);
        // Shown in the pane it was changed in.
        QCOMPARE(QFileInfo(window->imgDes->image()).canonicalFilePath(),
                 QFileInfo(target).canonicalFilePath());
        QCOMPARE(window->mnuRedo->text(), QStringLiteral("Redo Delete Page 2 of b.tif"));
        window->cmdDelPage->click();
        QVERIFY(!window->mnuRedo->isEnabled());
        QCOMPARE(window->mnuRedo->text(), QStringLiteral("Redo"));
    }

    void theSpaceLimitDropsTheOldestSteps()
    {
        const qint64 size = f.bytesOf(f.scan(QStringLiteral("b.tif"))).size();
        m_history.emplace(f.dir(QStringLiteral("history")), std::uint64_t(size * 3 / 2));
        const auto window = start();
        window->cmdDelPage->click();
        window->cmdDelPage->click();
        window->mnuUndo->trigger();
        QCOMPARE(labelsOf(f.scan(QStringLiteral("b.tif"))), (QList<int>{21, 23, 24, 25}));
        QVERIFY(!window->mnuUndo->isEnabled());
    }

    void theLastTwentyStepsAreKept()
    {
        const QString target = f.scan(QStringLiteral("b.tif"));
        QVERIFY(writeLabelled(target, labels(1, 22)));
        const auto window = start();
        for (int i = 0; i < 21; ++i)
            window->cmdDelPage->click();
        int undone = 0;
        for (; window->mnuUndo->isEnabled(); ++undone)
            window->mnuUndo->trigger();
        QCOMPARE(undone, 20);
        QList<int> first = labels(1, 22);
        first.removeAt(1);
        QCOMPARE(labelsOf(target), first);
    }

    void aStepThatCannotBeKeptIsDoneAndSaysSo_data()
    {
        QTest::addColumn<QString>("why");
        QTest::addColumn<QString>("reason"); // begins the reason shown over the item
        QTest::newRow("beyond the space limit") << "space"
                                                << "It needs more room than";
        QTest::newRow("a folder that cannot be made") << "folder"
                                                      << "The history folder";
        QTest::newRow("kept by another window") << "window"
                                                << "Another Tessary window";
    }

    void aStepThatCannotBeKeptIsDoneAndSaysSo()
    {
        QFETCH(QString, why);
        QFETCH(QString, reason);
        std::optional<UndoHistory> other;
        if (why == QLatin1String("space")) {
            m_history.emplace(f.dir(QStringLiteral("history")), 1);
        } else if (why == QLatin1String("folder")) {
            QVERIFY(f.writeBytes(f.dir(QStringLiteral("file")), "x"));
            m_history.emplace(f.dir(QStringLiteral("file/history")));
        } else {
            m_history.reset();
            other.emplace(f.dir(QStringLiteral("history")));
            m_history.emplace(f.dir(QStringLiteral("history")));
        }
        const auto window = start();
        window->cmdDelPage->click();
        QCOMPARE(labelsOf(f.scan(QStringLiteral("b.tif"))), (QList<int>{21, 23, 24, 25}));
        QCOMPARE(window->mnuUndo->text(), QStringLiteral("Cannot Undo Delete Page 2 of b.tif"));
        QVERIFY(!window->mnuUndo->isEnabled());
        QVERIFY2(window->mnuUndo->toolTip().startsWith(reason),
                 qPrintable(window->mnuUndo->toolTip()));
        // Nothing is left behind beside the file.
        QCOMPARE(QDir(f.dir(QStringLiteral("scans"))).entryList(QDir::Hidden | QDir::Files),
                 (QStringList{QStringLiteral("a.tif"), QStringLiteral("b.tif"),
                              QStringLiteral("source.tif"), QStringLiteral("target.tif")}));
    }

    void aFileChangedOnDiskIsShownAgainAndThenWorkedOn()
    {
        const auto window = start();
        f.chooseMode(*window, 1);
        const QString source = f.scan(QStringLiteral("a.tif"));
        const QString target = f.scan(QStringLiteral("b.tif"));
        const QString shownAgain =
            QStringLiteral(" changed on disk after it was opened; nothing was changed. It is "
                           "shown again as it is now.");
        // Another program adds a page to a file: refused while the window showed the file as
        // it was; once it shows it as it is, the operations go ahead on what it shows.
        PageEngine().appendPages(EngineCall::toPath(target), EngineCall::toPath(source), 1, 1);
        window->cmdDelPage->click();
        PageEngine().appendPages(EngineCall::toPath(source), EngineCall::toPath(source), 1, 1);
        window->cmdSwap->click();
        QCOMPARE(f.boxes->texts(), (QStringList{QStringLiteral("b.tif") + shownAgain,
                                                QStringLiteral("a.tif") + shownAgain}));
        QCOMPARE(window->lblSource->text(), QStringLiteral("Source Image - 7 Page(s)   a.tif"));
        QCOMPARE(window->txtPageSrc->text(), QStringLiteral("4"));
        window->cmdDelPage->click();
        window->cmdSwap->click();
        QCOMPARE(f.boxes->texts().size(), 2);
        QCOMPARE(labelsOf(target), (QList<int>{21, 23, 24, 25, 1, 4}));
    }

    void theToolsMakeNewFilesInOneStep_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("made");
        QTest::addColumn<QList<QList<int>>>("pages"); // of each file made
        QTest::addColumn<QString>("caption");
        QTest::newRow("interleave, backs reversed and fewer")
            << "interleave" << QStringList{"c.tif"}
            << QList<QList<int>>{{1, 25, 2, 24, 3, 23, 4, 22, 5, 21, 6}}
            << "Interleave a.tif and b.tif into c.tif";
        QTest::newRow("split every 4 pages")
            << "split" << QStringList{"a-001.tif", "a-002.tif"}
            << QList<QList<int>>{{1, 2, 3, 4}, {5, 6}} << "Split a.tif into 2 Files";
        QTest::newRow("merge the files shown")
            << "merge" << QStringList{"merged.tif"}
            << QList<QList<int>>{{1, 2, 3, 4, 5, 6, 21, 22, 23, 24, 25}}
            << "Merge 2 Files into merged.tif";
    }

    void theToolsMakeNewFilesInOneStep()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, made);
        QFETCH(QList<QList<int>>, pages);
        QFETCH(QString, caption);
        const auto window = start();
        const QString backs = f.scan(QStringLiteral("b.tif"));
        const auto madeExist = [&] {
            return std::all_of(made.begin(), made.end(),
                               [&](const QString& name) { return QFile::exists(f.scan(name)); });
        };
        if (tool == QLatin1String("interleave")) {
            // Unequal counts are refused unless allowed; the dialog stays open for that.
            drive<frmInterleave>([&] { window->mnuInterleave->trigger(); },
                                 [&](frmInterleave& dialog) {
                                     dialog.txtBacks->setText(backs);
                                     dialog.chkReversed->setChecked(true);
                                     dialog.txtResult->setText(f.scan(made[0]));
                                     dialog.cmdOK->click();
                                     QVERIFY(dialog.isVisible());
                                     dialog.chkUneven->setChecked(true);
                                     dialog.cmdOK->click();
                                 });
            QCOMPARE(f.boxes->texts(),
                     QStringList{QStringLiteral("a.tif has 6 page(s) and b.tif has 5; the sides of "
                                                "a two-sided scan have as many pages each. Nothing "
                                                "was written.")});
        } else if (tool == QLatin1String("split")) {
            drive<frmSplit>([&] { window->mnuSplit->trigger(); },
                            [&](frmSplit& dialog) {
                                dialog.optEvery->setChecked(true);
                                dialog.spnEvery->setValue(4);
                                dialog.cmdOK->click();
                            });
            QCOMPARE(f.boxes->texts(),
                     QStringList{QStringLiteral("a.tif was split into 2 files:\r\na-001.tif: pages "
                                                "1-4\r\na-002.tif: pages 5-6")});
        } else {
            drive<frmMerge>([&] { window->mnuMerge->trigger(); },
                            [&](frmMerge& dialog) { dialog.cmdOK->click(); });
        }
        for (int i = 0; i < made.size(); ++i)
            QCOMPARE(labelsOf(f.scan(made[i])), pages[i]);
        // The first file made is the destination now; Undo takes every file made away.
        QCOMPARE(window->imgDes->image(), f.scan(made[0]));
        QCOMPARE(window->mnuUndo->text(), QStringLiteral("Undo ") + caption);
        window->mnuUndo->trigger();
        QVERIFY(!std::any_of(made.begin(), made.end(),
                             [&](const QString& name) { return QFile::exists(f.scan(name)); }));
        QVERIFY(window->imgDes->image().isEmpty());
        window->mnuRedo->trigger();
        QVERIFY(madeExist());
        QCOMPARE(labelsOf(f.scan(made.back())), pages.back());
    }

private:
    // The window with the history, Copy or Move, a.tif and b.tif shown unless show is false.
    std::unique_ptr<Tessary> start(bool move = false, bool show = true)
    {
        f.settings->write(SettingsStore::PromptActions, QStringLiteral("No"));
        f.settings->write(SettingsStore::DefaultMode,
                          move ? QStringLiteral("Move") : QStringLiteral("Copy"));
        auto window = std::make_unique<Tessary>(TessaryServices{
            *f.boxes, *f.dialogs, *f.folders, *f.launcher, *f.screen, *f.programFolder, *f.settings,
            *f.help, *f.progress, operations::handlers(), &*m_history});
        if (show) {
            f.show(*window, true, QStringLiteral("a.tif"), 4);
            f.show(*window, false, QStringLiteral("b.tif"), 2);
        }
        return window;
    }

    static QList<QByteArray> bytesOf(const QStringList& files)
    {
        QList<QByteArray> bytes;
        for (const QString& file : files)
            bytes.append(OperationsFixture::bytesOf(file));
        return bytes;
    }

    OperationsFixture f;
    std::optional<UndoHistory> m_history;
};

QTEST_MAIN(UndoTest)
#include "UndoTest.moc"
