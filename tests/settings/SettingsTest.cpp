// The settings store. The folder browser is tested through the windows that use it.

#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

using namespace tessary;

class SettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_folder.emplace(); }

    void textIsStoredExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("word") << "Move";
        QTest::newRow("trailing blank kept") << "Copy ";
        QTest::newRow("windows folder") << "C:\\Scans\\2024";
        QTest::newRow("root with separator") << "C:\\";
        QTest::newRow("comma is no list") << "/home/ann/scans, old";
        QTest::newRow("leading at sign") << "@Variant(x)";
        QTest::newRow("semicolon and quotes") << "a;b \"c\" = d";
        QTest::newRow("non-latin") << "/home/jürgen/Сканы/書類";
        QTest::newRow("empty") << "";
    }

    void textIsStoredExactly()
    {
        QFETCH(QString, text);
        SettingsStore store(m_folder->path());
        // A value never written reads as empty text.
        QCOMPARE(store.read(SettingsStore::SrcDir), QString());
        QVERIFY(store.write(SettingsStore::DefaultMode, "Copy"));
        QVERIFY(store.write(SettingsStore::SrcDir, text));
        // A write replaces its own value only.
        QVERIFY(store.write(SettingsStore::DefaultMode, "Move"));
        QCOMPARE(
            (QStringList{store.read(SettingsStore::SrcDir), store.read(SettingsStore::DefaultMode),
                         store.read(SettingsStore::PromptActions)}),
            (QStringList{text, "Move", ""}));
        // A second store (another run of the program) reads the same.
        QCOMPARE(SettingsStore(m_folder->path()).read(SettingsStore::SrcDir), text);
    }

    void valuesLiveInAFileNamedAfterTheApplication()
    {
        SettingsStore store(m_folder->path(), [] { return QStringLiteral("Tessary"); });
        QVERIFY(store.write(SettingsStore::DesDir, "/srv/out"));
        QSettings ini(iniFile("Tessary"), QSettings::IniFormat);
        QCOMPARE(ini.childGroups(), QStringList{"DefaultSettings"});
        QCOMPARE(ini.value("DefaultSettings/DesDir").toString(), "/srv/out");
        // Without a name of its own, the store takes the executable's.
        QCOMPARE(SettingsStore::executableName(), "settings_tests");
        QVERIFY(SettingsStore(m_folder->path()).write(SettingsStore::SrcDir, "x"));
        QVERIFY(QFile::exists(iniFile("settings_tests")));
    }

    void handEditedValuesReadAsTheirText()
    {
        QDir().mkpath(QFileInfo(iniFile("Tessary")).path());
        QFile ini(iniFile("Tessary"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[DefaultSettings]\nDefaultMode=Move\nSrcDir=/data/a, b\nDesDir=\"/data/x y\"\n");
        ini.close();
        SettingsStore store(m_folder->path(), [] { return QStringLiteral("Tessary"); });
        QCOMPARE(
            QStringList({store.read(SettingsStore::DefaultMode), store.read(SettingsStore::SrcDir),
                         store.read(SettingsStore::DesDir)}),
            (QStringList{"Move", "/data/a, b", "/data/x y"}));
    }

    void anUnreadableStoreReadsAsEmptyAndReportsFailedWrites()
    {
        // The configuration folder is a file: nothing can be read or written there.
        const QString blocked = QDir(m_folder->path()).filePath("blocked");
        QVERIFY(QFile(blocked).open(QIODevice::WriteOnly));
        SettingsStore store(blocked);
        QVERIFY(store.read(SettingsStore::SrcDir).isEmpty() &&
                !store.write(SettingsStore::SrcDir, "/x"));
    }

private:
    QString iniFile(const QString& application) const
    {
        return QDir(m_folder->path())
            .filePath("VB and VBA Program Settings/" + application + ".ini");
    }

    std::optional<QTemporaryDir> m_folder;
};

QTEST_MAIN(SettingsTest)
#include "SettingsTest.moc"
