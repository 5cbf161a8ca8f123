#include "ScriptedFolderChooser.h"
#include "mdlBrowse.h"

#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <optional>

using namespace tessary;

class BrowseForFolderTest : public QObject
{
    Q_OBJECT

private slots:
    void theChosenFolderGoesOnlyToTheTargetItsTagNames_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<bool>("withBoxes"); // a settings dialog is open
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("written"); // "list", "src", "des" or ""
        QTest::newRow("Tessary") << "Tessary" << false << false << "list";
        QTest::newRow("Settings_Src") << "Settings_Src" << true << false << "src";
        QTest::newRow("Settings_Des") << "Settings_Des" << true << false << "des";
        QTest::newRow("tessary in lower case") << "tessary" << true << false << "";
        QTest::newRow("settings_src in lower case") << "settings_src" << true << false << "";
        QTest::newRow("SETTINGS_DES") << "SETTINGS_DES" << true << false << "";
        QTest::newRow("a blank after the tag") << "Tessary " << true << false << "";
        QTest::newRow("no tag") << "" << true << false << "";
        QTest::newRow("Settings_Src without a settings dialog")
            << "Settings_Src" << false << false << "";
        QTest::newRow("Tessary, cancelled") << "Tessary" << true << true << "";
        QTest::newRow("Settings_Src, cancelled") << "Settings_Src" << true << true << "";
        QTest::newRow("Settings_Des, cancelled") << "Settings_Des" << true << true << "";
    }

    void theChosenFolderGoesOnlyToTheTargetItsTagNames()
    {
        QFETCH(QString, tag);
        QFETCH(bool, withBoxes);
        QFETCH(bool, cancel);
        QFETCH(QString, written);

        const QString before = QStringLiteral("/kept/before");
        const QString chosen = QStringLiteral("/scans/2024");
        ScriptedFolderChooser chooser;
        if (cancel)
            chooser.cancel();
        else
            chooser.choose(chosen);
        QWidget mainWindow;
        QLineEdit src(before);
        QLineEdit des(before);
        QString list = before;
        BrowseTargets targets{chooser, &mainWindow, [&list](const QString& folder) {
                                  list = folder;
                              }};
        if (withBoxes) {
            targets.txtSrcDir = &src;
            targets.txtDesDir = &des;
        }

        const QString result = mdlBrowse::BrowseForFolder(targets, QStringLiteral("/start"), tag);

        // The chooser is shown whatever the tag, over the main window, at the start folder.
        QCOMPARE(chooser.requests().size(), 1);
        QCOMPARE(chooser.requests().first().owner, &mainWindow);
        QCOMPARE(chooser.requests().first().title,
                 QStringLiteral("Select a folder or shared resource."));
        QCOMPARE(chooser.requests().first().start, QStringLiteral("/start"));
        QCOMPARE(result, cancel ? QString() : chosen);
        QCOMPARE(list, written == QLatin1String("list") ? chosen : before);
        QCOMPARE(src.text(), written == QLatin1String("src") ? chosen : before);
        QCOMPARE(des.text(), written == QLatin1String("des") ? chosen : before);
    }
};

int runBrowseForFolderTests(int argc, char** argv)
{
    BrowseForFolderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "BrowseForFolderTest.moc"
