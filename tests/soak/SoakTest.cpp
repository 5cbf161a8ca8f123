// The whole program under random input: clicks, drags and keys on whatever is on top (the
// main window, a dialog, a message box, a file dialog, an open menu), answering whatever
// opens, while a screen reader's questions are asked of every window all along. Nothing
// may crash, and every TIFF file must read whole afterwards. A minute by default;
// TESSARY_SOAK_SECONDS asks for longer, TESSARY_SOAK_SEED repeats a run's choices.

#include "EngineCall.h"
#include "FakeHelpPlatform.h"
#include "FixedScreenSize.h"
#include "OperationHandlers.h"
#include "ProgramFolder.h"
#include "QtFileDialogService.h"
#include "QtFolderChooser.h"
#include "QtMessageBoxService.h"
#include "QtProgressService.h"
#include "RecordingLauncher.h"
#include "SettingsStore.h"
#include "Tessary.h"
#include "TestTiff.h"
#include "TiffDocument.h"
#include "UndoHistory.h"

#include <QAccessible>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDirIterator>
#include <QFileDialog>
#include <QLoggingCategory>
#include <QPointer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

using namespace tessary;
using tessary::testing::TestTiff;

namespace {

bool inside(const QString& root, const QString& path)
{
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return clean == root || clean.startsWith(root + u'/');
}

// The real file and folder dialogs, with whatever is chosen outside the test's folder taken
// as a cancel, so that random input never changes a file of the machine's.
class ConfinedDialogs : public FileDialogService, public FolderChooser
{
public:
    explicit ConfinedDialogs(const QString& root)
        : m_root(root)
    {}
    std::optional<QString> choose(QWidget* owner, const Request& request) override
    {
        return within(QtFileDialogService().choose(owner, request));
    }
    std::optional<QString> chooseFolder(QWidget* owner, const QString& title,
                                        const QString& start) override
    {
        return within(QtFolderChooser().chooseFolder(owner, title, start));
    }

private:
    std::optional<QString> within(const std::optional<QString>& chosen) const
    {
        return chosen && inside(m_root, *chosen) ? chosen : std::nullopt;
    }
    QString m_root;
};

// Asks an interface and its children what a screen reader asks: names, states, places,
// and of tables their rows and cells.
void askAsAScreenReader(QAccessibleInterface* item, int& budget)
{
    if (!item || !item->isValid() || --budget < 0)
        return;
    (void)item->text(QAccessible::Name), (void)item->text(QAccessible::Description);
    (void)item->role(), (void)item->state(), (void)item->rect(), (void)item->parent();
    if (QAccessibleTableInterface* table = item->tableInterface()) {
        for (int row = 0; row < std::min(table->rowCount(), 40); ++row)
            for (int column = 0; column < std::min(table->columnCount(), 4) && budget > 0; ++column)
                if (QAccessibleInterface* cell = table->cellAt(row, column); cell && --budget)
                    (void)cell->text(QAccessible::Name), (void)cell->state(), (void)cell->rect();
    }
    for (int i = 0; i < std::min(item->childCount(), 200) && budget > 0; ++i)
        askAsAScreenReader(item->child(i), budget);
}

// No "." or "/": a name typed at random cannot lead out of the test's folder.
const Qt::Key keys[] = {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Tab,    Qt::Key_Backtab,
                        Qt::Key_Space,  Qt::Key_Up,     Qt::Key_Down,   Qt::Key_Right,
                        Qt::Key_End,    Qt::Key_Insert, Qt::Key_Delete, Qt::Key_Backspace,
                        Qt::Key_F1,     Qt::Key_Plus,   Qt::Key_Minus,  Qt::Key_Asterisk,
                        Qt::Key_2,      Qt::Key_6,      Qt::Key_A,      Qt::Key_Z};
constexpr auto ctrl = Qt::ControlModifier, alt = Qt::AltModifier, pad = Qt::KeypadModifier;
const Qt::KeyboardModifiers modifiers[] = {
    {}, {}, ctrl, alt, Qt::ShiftModifier, ctrl | Qt::ShiftModifier, pad | ctrl, pad | alt};

class Soak
{
public:
    Soak(const QString& root, quint32 seed)
        : m_root(root)
        , m_random(seed)
        , m_dialogs(root)
        , m_program(root + QStringLiteral("/program"))
        , m_settings(root + QStringLiteral("/settings"), [] { return QStringLiteral("Tessary"); })
        , m_history(root + QStringLiteral("/history"))
    {
        m_settings.write(SettingsStore::SrcDir, root + QStringLiteral("/scans"));
        m_settings.write(SettingsStore::DesDir, root + QStringLiteral("/scans"));
    }

    // Random input until seconds have passed; the number of actions taken.
    int run(int seconds)
    {
        m_deadline.setRemainingTime(seconds * 1000LL);
        next();
        m_loop.exec();
        return m_actions;
    }

private:
    // A timer does not fire again while its own timeout runs, as it does while a click
    // waits in a dialog's loop: each step has a timer of its own, started before it acts.
    void next()
    {
        QTimer::singleShot(2, &m_loop, [this] { step(); });
    }

    void step()
    {
        if (m_done)
            return;
        next();
        ++m_depth;
        const auto leave = qScopeGuard([this] { --m_depth; });
        // Whatever takes the input now: an open menu, else the topmost modal window.
        QWidget* top = QApplication::activePopupWidget();
        top = top ? top : QApplication::activeModalWidget();
        top = top ? top : m_window && m_window->isVisible() ? m_window.get() : nullptr;
        if (m_deadline.hasExpired())
            return finish(top);
        if (!top) {
            // Closed with File > Exit: started again, as the user would.
            if (m_depth == 1)
                start();
            return;
        }
        confine();
        int budget = 600;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->isVisible())
                askAsAScreenReader(QAccessible::queryAccessibleInterface(widget), budget);
        act(*top);
    }

    void start()
    {
        m_window.reset();
        m_window = std::make_unique<Tessary>(
            TessaryServices{m_boxes, m_dialogs, m_dialogs, m_launcher, m_screen, m_program,
                            m_settings, m_help, m_progress, operations::handlers(), &m_history});
        m_window->show();
        // As "tessary SOURCE DESTINATION" opens them.
        m_window->openFiles({m_root + QStringLiteral("/scans/source.tif"),
                             m_root + QStringLiteral("/scans/target.tif")});
    }

    // A file dialog shows only the test's folder: one that goes elsewhere comes back. Nor
    // may it make, rename or delete anything (its New Folder button, its context menu and
    // the Delete key would, wherever it shows, as a user's answer to its question).
    void confine()
    {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->property("confined").toBool())
            return;
        dialog->setProperty("confined", true);
        dialog->setOption(QFileDialog::ReadOnly, true);
        const auto back = [dialog, root = m_root](const QString& folder) {
            if (!inside(root, folder))
                dialog->setDirectory(root);
        };
        QObject::connect(dialog, &QFileDialog::directoryEntered, dialog, back);
        back(dialog->directory().absolutePath());
    }

    void act(QWidget& top)
    {
        QList<QWidget*> targets{&top};
        for (QWidget* child : top.findChildren<QWidget*>())
            if (child->isVisible() && child->isEnabled() && !child->size().isEmpty())
                targets.append(child);
        // A click may open a nested loop that ends with the target gone.
        const QPointer<QWidget> target = targets[m_random.bounded(targets.size())];
        const auto somewhere = [&] {
            return QPoint(m_random.bounded(std::max(1, target->width())),
                          m_random.bounded(std::max(1, target->height())));
        };
        const Qt::KeyboardModifiers held = modifiers[m_random.bounded(int(std::size(modifiers)))];
        ++m_actions;
        const int action = m_random.bounded(10);
        if (action < 4) {
            QTest::mouseClick(target, Qt::LeftButton, held & ~pad, somewhere());
        } else if (action == 4) {
            QTest::mouseDClick(target, Qt::LeftButton, {}, somewhere());
        } else if (action == 5) {
            QTest::mousePress(target, Qt::LeftButton, {}, somewhere());
            if (target)
                QTest::mouseMove(target, somewhere());
            if (target)
                QTest::mouseRelease(target, Qt::LeftButton, {}, somewhere());
        } else if (action == 6) {
            QTest::mouseClick(target, Qt::RightButton, {}, somewhere());
        } else {
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus && focus->window() == top.window() ? focus : &top,
                            keys[m_random.bounded(int(std::size(keys)))], held);
        }
    }

    // Closes what is open, from the top down, and ends the run once nothing is.
    void finish(QWidget* top)
    {
        if (auto* dialog = qobject_cast<QDialog*>(top))
            dialog->reject();
        else if (top)
            top->close();
        else if (m_depth == 1)
            m_window.reset(), m_done = true, m_loop.exit();
    }

    QString m_root;
    QRandomGenerator m_random;
    QtMessageBoxService m_boxes;
    ConfinedDialogs m_dialogs;
    RecordingLauncher m_launcher;
    FixedScreenSize m_screen{QSize(1024, 768)};
    ProgramFolder m_program;
    SettingsStore m_settings;
    FakeHelpPlatform m_help;
    QtProgressService m_progress;
    UndoHistory m_history;
    std::unique_ptr<Tessary> m_window;
    QDeadlineTimer m_deadline;
    QEventLoop m_loop;
    int m_depth = 0;
    int m_actions = 0;
    bool m_done = false;
};

// The TIFF files below root that do not read whole.
QStringList damagedFiles(const QString& root)
{
    QStringList damaged;
    QDirIterator files(root, {QStringLiteral("*.tif")}, QDir::Files | QDir::Hidden,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        try {
            const auto document = TiffDocument::open(EngineCall::toPath(path));
            for (std::int32_t page = 1; page <= document->pageCount(); ++page)
                document->decode(page);
            if (document->pageListProblem().empty())
                continue;
        } catch (const std::exception&) {
        }
        damaged.append(path);
    }
    return damaged;
}

} // namespace

class SoakTest : public QObject
{
    Q_OBJECT

private slots:
    void randomInputNeitherCrashesNorDamagesAFile()
    {
        QTemporaryDir temporary;
        const QString root = QDir(temporary.path()).canonicalPath();
        QVERIFY(QDir(root).mkpath(QStringLiteral("program")) &&
                QDir(root).mkpath(QStringLiteral("scans")) &&
                QFile::copy(QStringLiteral(TESSARY_RESOURCES_DIR "/blank.tif"),
                            root + QStringLiteral("/program/blank.tif")));
        for (const auto& [name, pages] : {std::pair{"source", 8}, {"target", 5}, {"letter", 2}}) {
            QList<TestTiff::Page> made;
            for (int page = 1; page <= pages; ++page)
                made.append(TestTiff::plain(40 + page, 30, std::uint8_t(page * 25)));
            QVERIFY(TestTiff::write(root + QStringLiteral("/scans/%1.tif").arg(name), made));
        }

        const quint32 seed = qEnvironmentVariableIsSet("TESSARY_SOAK_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("TESSARY_SOAK_SEED"))
                                 : QRandomGenerator::global()->generate();
        qInfo("seed %u", seed);
        Soak soak(root, seed);
        QAccessible::setActive(true);
        // Qt's thousands of remarks (what the offscreen platform cannot do, clicks no widget
        // took, rows a screen reader asks for that a view does not show) would hide the rest.
        QLoggingCategory::setFilterRules(QStringLiteral("*.warning=false"));
        const int seconds = qEnvironmentVariableIntValue("TESSARY_SOAK_SECONDS");
        qInfo("%d actions", soak.run(seconds > 0 ? seconds : 60));
        QCOMPARE(damagedFiles(root), QStringList());
    }
};

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // Qt Test ends a test function after five minutes; a long run asked for takes longer.
    qputenv("QTEST_FUNCTION_TIMEOUT", "1000000000");
    SoakTest test;
    const int result = QTest::qExec(&test, argc, argv);
    // Qt's accessibility cache, torn down with the application, deletes the cells it keeps
    // of item views long gone and can crash doing so: a fault of Qt's teardown after the
    // run, which ends here with its result instead.
    std::fflush(nullptr);
    std::_Exit(result);
}

#include "SoakTest.moc"
