// The whole program under random input: clicks, drags and keys on whatever is on top (the
// main window, a dialog, a message box, a file dialog, an open menu), answering whatever
// opens, while a screen reader's questions are asked of every window all along. Nothing
// may crash, and every TIFF file must read whole afterwards. A minute by default;
// TESSARY_SOAK_SECONDS asks for longer, TESSARY_SOAK_SEED repeats a run.

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
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMenu>
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

// The real dialogs, with whatever is chosen outside the test's folder taken as a cancel, so
// that random input never changes a file of the machine's.
class ConfinedFileDialogs : public FileDialogService
{
public:
    explicit ConfinedFileDialogs(const QString& root)
        : m_root(root)
    {}
    std::optional<QString> choose(QWidget* owner, const Request& request) override
    {
        const std::optional<QString> chosen = QtFileDialogService().choose(owner, request);
        return chosen && inside(m_root, *chosen) ? chosen : std::nullopt;
    }

private:
    QString m_root;
};

class ConfinedFolders : public FolderChooser
{
public:
    explicit ConfinedFolders(const QString& root)
        : m_root(root)
    {}
    std::optional<QString> chooseFolder(QWidget* owner, const QString& title,
                                        const QString& start) override
    {
        const std::optional<QString> chosen = QtFolderChooser().chooseFolder(owner, title, start);
        return chosen && inside(m_root, *chosen) ? chosen : std::nullopt;
    }

private:
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
        const int rows = std::min(table->rowCount(), 40);
        const int columns = std::min(table->columnCount(), 4);
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns && budget > 0; ++column)
                if (QAccessibleInterface* cell = table->cellAt(row, column); cell && --budget)
                    (void)cell->text(QAccessible::Name), (void)cell->state(), (void)cell->rect();
        (void)table->selectedCells();
    }
    const int children = std::min(item->childCount(), 200);
    for (int i = 0; i < children && budget > 0; ++i)
        askAsAScreenReader(item->child(i), budget);
}

// Whatever takes the input now: an open menu, else the topmost modal window, else the main
// window.
QWidget* onTop(QWidget* window)
{
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup;
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return window && window->isVisible() ? window : nullptr;
}

const Qt::Key keys[] = {
    Qt::Key_Return,    Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Tab,    Qt::Key_Backtab,
    Qt::Key_Space,     Qt::Key_Up,    Qt::Key_Down,   Qt::Key_Left,   Qt::Key_Right,
    Qt::Key_Home,      Qt::Key_End,   Qt::Key_PageUp, Qt::Key_Insert, Qt::Key_Delete,
    Qt::Key_Backspace, Qt::Key_F1,    Qt::Key_Plus,   Qt::Key_Minus,  Qt::Key_Asterisk,
    Qt::Key_2,         Qt::Key_3,     Qt::Key_4,      Qt::Key_6,      Qt::Key_8,
    Qt::Key_A,         Qt::Key_N,     Qt::Key_Y,      Qt::Key_Z};
const Qt::KeyboardModifiers modifiers[] = {Qt::NoModifier,
                                           Qt::NoModifier,
                                           Qt::ControlModifier,
                                           Qt::AltModifier,
                                           Qt::ShiftModifier,
                                           Qt::ControlModifier | Qt::ShiftModifier,
                                           Qt::KeypadModifier | Qt::ControlModifier,
                                           Qt::KeypadModifier | Qt::AltModifier};

class Soak
{
public:
    Soak(const QString& root, quint32 seed)
        : m_root(root)
        , m_random(seed)
        , m_dialogs(root)
        , m_folders(root)
        , m_program(root + QStringLiteral("/program"))
        , m_settings(root + QStringLiteral("/settings"), [] { return QStringLiteral("Tessary"); })
        , m_history(root + QStringLiteral("/history"))
    {}

    // Random input until seconds have passed; the number of actions taken.
    int run(int seconds)
    {
        m_deadline.start();
        m_seconds = seconds;
        next();
        m_loop.exec();
        return m_actions;
    }

    // The kinds of window that took input, by class.
    QStringList windowsSeen() const
    {
        QStringList seen(m_seen.begin(), m_seen.end());
        seen.sort();
        return seen;
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
        QWidget* top = onTop(m_window.get());
        if (top)
            m_seen.insert(QString::fromLatin1(top->metaObject()->className()));
        if (m_deadline.elapsed() > m_seconds * 1000LL) {
            finish(top);
            return;
        }
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
            TessaryServices{m_boxes, m_dialogs, m_folders, m_launcher, m_screen, m_program,
                            m_settings, m_help, m_progress, operations::handlers(), &m_history});
        m_window->show();
        // As "tessary SOURCE DESTINATION" opens them.
        m_window->openFiles({m_root + QStringLiteral("/scans/source.tif"),
                             m_root + QStringLiteral("/scans/target.tif")});
    }

    // A file dialog shows only the test's folder: one that goes elsewhere comes back.
    void confine()
    {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->property("confined").toBool())
            return;
        dialog->setProperty("confined", true);
        const QString root = m_root;
        QObject::connect(dialog, &QFileDialog::directoryEntered, dialog,
                         [dialog, root](const QString& folder) {
                             if (!inside(root, folder))
                                 dialog->setDirectory(root);
                         });
        if (!inside(root, dialog->directory().absolutePath()))
            dialog->setDirectory(root);
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
        switch (m_random.bounded(10)) {
        case 0:
        case 1:
        case 2:
        case 3:
            QTest::mouseClick(target, Qt::LeftButton, held & ~Qt::KeypadModifier, somewhere());
            break;
        case 4:
            QTest::mouseDClick(target, Qt::LeftButton, {}, somewhere());
            break;
        case 5: {
            const QPoint from = somewhere();
            QTest::mousePress(target, Qt::LeftButton, {}, from);
            if (target)
                QTest::mouseMove(target, somewhere());
            if (target)
                QTest::mouseRelease(target, Qt::LeftButton, {}, somewhere());
            break;
        }
        case 6:
            QTest::mouseClick(target, Qt::RightButton, {}, somewhere());
            break;
        default: {
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus && focus->window() == top.window() ? focus : &top,
                            keys[m_random.bounded(int(std::size(keys)))], held);
        }
        }
    }

    // Closes what is open, from the top down, and ends the run once nothing is.
    void finish(QWidget* top)
    {
        if (auto* menu = qobject_cast<QMenu*>(top))
            menu->close();
        else if (auto* dialog = qobject_cast<QDialog*>(top))
            dialog->reject();
        else if (top && top != m_window.get())
            top->close();
        else if (m_window && m_window->isVisible())
            m_window->close();
        else if (m_depth == 1)
            m_window.reset(), m_done = true, m_loop.exit();
    }

    QString m_root;
    QRandomGenerator m_random;
    QtMessageBoxService m_boxes;
    ConfinedFileDialogs m_dialogs;
    ConfinedFolders m_folders;
    RecordingLauncher m_launcher;
    FixedScreenSize m_screen{QSize(1024, 768)};
    ProgramFolder m_program;
    SettingsStore m_settings;
    FakeHelpPlatform m_help;
    QtProgressService m_progress;
    UndoHistory m_history;
    std::unique_ptr<Tessary> m_window;
    QElapsedTimer m_deadline;
    int m_seconds = 0;
    QEventLoop m_loop;
    int m_depth = 0;
    int m_actions = 0;
    bool m_done = false;
    QSet<QString> m_seen;
};

// Qt's own remarks on what the offscreen platform cannot do, on clicks that no widget took,
// and its item views' answers to a screen reader asking for rows of the model that the view
// does not show, are left out of the log: thousands of them would hide what matters.
QtMessageHandler qtHandler = nullptr;

void leaveOutQtsRemarks(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    for (const char* remark : {"This plugin does not support", "Mouse event ",
                               "QAccessibleTable::", "QAccessibleTree::", "Requested invalid"})
        if (type == QtWarningMsg && text.startsWith(QLatin1String(remark)))
            return;
    qtHandler(type, context, text);
}

// How long the run lasts: a minute, or as TESSARY_SOAK_SECONDS asks.
int soakSeconds()
{
    const int asked = qEnvironmentVariableIntValue("TESSARY_SOAK_SECONDS");
    return asked > 0 ? asked : 60;
}

// The TIFF files below root that do not read whole: their pages, or a page, cannot be read.
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
            if (!document->pageListProblem().empty())
                damaged.append(path);
        } catch (const std::exception& error) {
            damaged.append(path + QStringLiteral(": ") + QString::fromUtf8(error.what()));
        }
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
        QDir(root).mkpath(QStringLiteral("program"));
        QDir(root).mkpath(QStringLiteral("scans"));
        QVERIFY(QFile::copy(QStringLiteral(TESSARY_RESOURCES_DIR "/blank.tif"),
                            root + QStringLiteral("/program/blank.tif")));
        for (const auto& [name, pages] :
             {std::pair{"source.tif", 8}, {"target.tif", 5}, {"letter.tif", 2}}) {
            QList<TestTiff::Page> made;
            for (int page = 1; page <= pages; ++page)
                made.append(TestTiff::plain(40 + page, 30, std::uint8_t(page * 25)));
            QVERIFY(TestTiff::write(root + QStringLiteral("/scans/") + name, made));
        }
        // Where relative names typed into a box lead.
        const QString current = QDir::currentPath();
        QDir::setCurrent(root);
        const auto back = qScopeGuard([current] { QDir::setCurrent(current); });

        const quint32 seed = qEnvironmentVariableIsSet("TESSARY_SOAK_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("TESSARY_SOAK_SEED"))
                                 : QRandomGenerator::global()->generate();
        qInfo("seed %u", seed);
        Soak soak(root, seed);
        for (const char* folder : {"SrcDir", "DesDir"})
            SettingsStore(root + QStringLiteral("/settings"), [] {
                return QStringLiteral("Tessary");
            }).write(QString::fromLatin1(folder), root + QStringLiteral("/scans"));
        QAccessible::setActive(true);
        qtHandler = qInstallMessageHandler(leaveOutQtsRemarks);
        const int actions = soak.run(soakSeconds());
        qInstallMessageHandler(qtHandler);
        qInfo("%d actions on %s", actions, qPrintable(soak.windowsSeen().join(u' ')));
        QCOMPARE(damagedFiles(root), QStringList());
    }
};

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // Qt Test ends a test function after five minutes; a long run asked for takes longer.
    qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number((soakSeconds() + 300) * 1000LL));
    SoakTest test;
    const int result = QTest::qExec(&test, argc, argv);
    // Qt's accessibility cache, torn down with the application, deletes the cells it keeps
    // of item views long gone and can crash doing so: a fault of Qt's teardown after the
    // run, which ends here with its result instead.
    std::fflush(nullptr);
    std::_Exit(result);
}

#include "SoakTest.moc"
