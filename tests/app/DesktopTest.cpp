#include "FileListBox.h"
#include "ImagingEdit.h"
#include "Tessary.h"
#include "WindowFixture.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace tessary;
using tessary::testing::WindowFixture;

namespace {

const QString sameFileText =
    QStringLiteral("You cannot open the same image file as the source and destination");

} // namespace

// Files opened from the desktop: named on the command line.
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

private:
    QString scan(const QString& name) const
    {
        return QDir::toNativeSeparators(QDir(m_scans).absoluteFilePath(name));
    }

    WindowFixture f;
    QString m_scans;
};

int runDesktopTests(int argc, char** argv)
{
    DesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DesktopTest.moc"
