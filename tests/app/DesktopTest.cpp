#include "FileListBox.h"
#include "ImagingEdit.h"
#include "Tessary.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <algorithm>

using namespace tessary;
using tessary::testing::WindowFixture;

namespace {

const QString sameFileText =
    QStringLiteral("You cannot open the same image file as the source and destination");

// Drags data over the window to at and drops it there, as the platform delivers a drag
// from another program to the window: enter, move, drop. The action the window takes, as
// the pointer shows it (IgnoreAction: refused), and whether the drop was taken.
std::pair<Qt::DropAction, bool> dragAndDrop(QWidget& window, const QMimeData& data, QPoint at,
                                            Qt::KeyboardModifiers keys)
{
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QWindow* handle = window.windowHandle();
    QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, keys);
    QApplication::sendEvent(handle, &enter);
    QDragMoveEvent move(at, offered, &data, Qt::LeftButton, keys);
    if (enter.isAccepted()) {
        move.setDropAction(enter.dropAction());
        move.accept();
    }
    QApplication::sendEvent(handle, &move);
    const Qt::DropAction shown = move.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
    QDropEvent drop(at, offered, &data, Qt::LeftButton, keys);
    QApplication::sendEvent(handle, &drop);
    return {shown, drop.isAccepted()};
}

} // namespace

// Files opened from the desktop: named on the command line, dropped from the file manager.
class DesktopTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(f.reset());
        m_scans = f.folder(QStringLiteral("scans"));
        QVERIFY(WindowFixture::writeTiff(scan(QStringLiteral("letter.tif")), 3));
        QVERIFY(WindowFixture::writeTiff(scan(QStringLiteral("invoice.tif")), 2));
        QVERIFY(WindowFixture::writeTiff(scan(QStringLiteral("fax.tiff")), 1));
        QVERIFY(WindowFixture::writeBytes(scan(QStringLiteral("notes.tif")), "not a picture\n"));
        f.settings->write(SettingsStore::SrcDir, f.folder(QStringLiteral("elsewhere")));
    }

    void theCommandLineOpensItsFiles_data()
    {
        QTest::addColumn<QStringList>("arguments"); // names in the scans folder
        QTest::addColumn<QString>("source");        // "": the pane stays empty
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("message"); // the start of the one box shown; "": none
        const auto row = [](const char* name, const QStringList& arguments, const char* source,
                            const char* destination, const QString& message = {}) {
            QTest::newRow(name) << arguments << QString::fromLatin1(source)
                                << QString::fromLatin1(destination) << message;
        };
        row("a source", {"letter.tif"}, "letter.tif", "");
        row("a source and a destination", {"letter.tif", "invoice.tif"}, "letter.tif",
            "invoice.tif");
        row("a .tiff name the list leaves out", {"fax.tiff"}, "fax.tiff", "");
        row("only a destination", {"", "invoice.tif"}, "", "invoice.tif");
        row("a missing source", {"gone.tif"}, "", "", "gone.tif does not exist");
        row("a source that is not a TIFF file", {"notes.tif"}, "", "",
            "notes.tif is not a TIFF file");
        row("a folder as the destination", {"letter.tif", "."}, "letter.tif", "",
            "scans is a folder");
        row("the same file twice", {"letter.tif", "letter.tif"}, "letter.tif", "", sameFileText);
    }

    void theCommandLineOpensItsFiles()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(QString, message);
        for (QString& argument : arguments)
            if (!argument.isEmpty())
                argument = scan(argument);
        const auto window = f.start();
        window->openFiles(arguments);

        QCOMPARE(f.boxes->boxes().size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QVERIFY2(f.boxes->texts().first().startsWith(message),
                     qPrintable(f.boxes->texts().first()));
        QCOMPARE(window->imgSrc->image(), source.isEmpty() ? QString() : scan(source));
        QCOMPARE(window->txtPageSrc->text(), source.isEmpty() ? QString() : QStringLiteral("1"));
        QCOMPARE(window->imgDes->image(), destination.isEmpty() ? QString() : scan(destination));
        QCOMPARE(window->lblDestination->text().endsWith(QStringLiteral("invoice.tif")),
                 !destination.isEmpty());
        // The source's folder is listed with its entry selected; a bad source lists nothing new.
        QCOMPARE(window->TiffFileList->path(),
                 source.isEmpty() ? f.dir(QStringLiteral("elsewhere")) : m_scans);
        QCOMPARE(window->TiffFileList->currentItem() ? window->TiffFileList->currentItem()->text()
                                                     : QString(),
                 source == QLatin1String("fax.tiff") ? QString() : source);
    }

    void aDroppedFileOpensInThePaneItLandsOn_data()
    {
        QTest::addColumn<QString>("target");  // the control under the pointer
        QTest::addColumn<QString>("dropped"); // a name in the scans folder, or a URL
        QTest::addColumn<QString>("opened");  // "source", "destination" or "" (refused)
        QTest::addColumn<int>("shown");       // the action the pointer shows
        QTest::addColumn<int>("keys");        // held while dragging; -1: a dialog is open
        const auto row = [](const char* name, const char* target, const char* dropped,
                            const char* opened, Qt::DropAction shown, int keys = 0) {
            QTest::newRow(name) << QString::fromLatin1(target) << QString::fromLatin1(dropped)
                                << QString::fromLatin1(opened) << int(shown) << keys;
        };
        const Qt::DropAction none = Qt::IgnoreAction;
        row("on the source viewer", "imgSrc", "letter.tif", "source", Qt::CopyAction);
        row("on the file list", "TiffFileList", "letter.tif", "source", Qt::CopyAction);
        row("on the source page box", "txtPageSrc", "letter.tif", "source", Qt::CopyAction);
        row("on the destination viewer", "imgDes", "invoice.tif", "destination", Qt::CopyAction);
        row("on the destination's Open button", "cmdOpenDes", "invoice.tif", "destination",
            Qt::CopyAction);
        row("a move is taken as a copy: the file manager keeps its file", "imgDes", "invoice.tif",
            "destination", Qt::CopyAction, Qt::ShiftModifier);
        row("between the panes", "fraMode", "letter.tif", "", none);
        row("text with a .tif name", "imgSrc", "notes.tif", "", none);
        row("a folder", "imgSrc", ".", "", none);
        row("a missing file", "imgDes", "gone.tif", "", none);
        row("a remote file", "imgSrc", "https://example.org/letter.tif", "", none);
        row("while a dialog is open", "imgSrc", "letter.tif", "", none, -1);
    }

    void aDroppedFileOpensInThePaneItLandsOn()
    {
        QFETCH(QString, target);
        QFETCH(QString, dropped);
        QFETCH(QString, opened);
        QFETCH(int, shown);
        QFETCH(int, keys);
        const auto window = f.start();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QDialog dialog(window.get());
        if (keys < 0) {
            dialog.setModal(true);
            dialog.show();
        }
        QMimeData data;
        data.setUrls({dropped.contains(QLatin1Char(':')) ? QUrl(dropped)
                                                         : QUrl::fromLocalFile(scan(dropped))});
        const auto* control = window->findChild<QWidget*>(target);
        QVERIFY(control);
        const QPoint at = control->mapTo(window.get(), control->rect().center());
        const auto [action, taken] =
            dragAndDrop(*window, data, at, Qt::KeyboardModifiers(std::max(keys, 0)));
        QCOMPARE(int(action), shown);
        QCOMPARE(taken, shown != Qt::IgnoreAction);
        QCoreApplication::processEvents();

        QCOMPARE(window->imgSrc->image(),
                 opened == QLatin1String("source") ? scan(dropped) : QString());
        QCOMPARE(window->imgDes->image(),
                 opened == QLatin1String("destination") ? scan(dropped) : QString());
        if (opened == QLatin1String("source"))
            QCOMPARE(window->TiffFileList->currentItem()->text(), dropped);
        // A refused drop says nothing.
        QVERIFY(f.boxes->boxes().isEmpty());
    }

private:
    QString scan(const QString& name) const
    {
        return QDir::toNativeSeparators(QDir(m_scans).absoluteFilePath(name));
    }

    WindowFixture f;
    QString m_scans;
};

int runDesktopTest(int argc, char** argv)
{
    DesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DesktopTest.moc"
