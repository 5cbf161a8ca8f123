#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

using tessary::SettingsStore;

class SettingsStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_folder.emplace(); }

    void missingValuesReadAsEmptyText()
    {
        SettingsStore store(m_folder->path());
        QCOMPARE(store.read(SettingsStore::SrcDir), QString());
        QVERIFY(store.write(SettingsStore::DefaultMode, QStringLiteral("Copy")));
        QCOMPARE(store.read(SettingsStore::PromptActions), QString());
    }

    void textIsStoredExactly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("word") << QStringLiteral("Move");
        QTest::newRow("trailing blank kept") << QStringLiteral("Copy ");
        QTest::newRow("windows folder") << QStringLiteral("C:\\Scans\\2024");
        QTest::newRow("root with separator") << QStringLiteral("C:\\");
        QTest::newRow("comma is no list") << QStringLiteral("/home/ann/scans, old");
        QTest::newRow("leading at sign") << QStringLiteral("@Variant(x)");
        QTest::newRow("semicolon and quotes") << QStringLiteral("a;b \"c\" = d");
        QTest::newRow("non-latin") << QStringLiteral("/home/jürgen/Сканы/書類");
        QTest::newRow("empty") << QString();
    }

    void textIsStoredExactly()
    {
        QFETCH(QString, text);
        SettingsStore store(m_folder->path());
        QVERIFY(store.write(SettingsStore::SrcDir, text));
        QCOMPARE(store.read(SettingsStore::SrcDir), text);
        // A second store (another run of the program) reads the same.
        QCOMPARE(SettingsStore(m_folder->path()).read(SettingsStore::SrcDir), text);
    }

    void writeReplacesAndKeepsOtherValues()
    {
        SettingsStore store(m_folder->path());
        store.write(SettingsStore::DefaultMode, QStringLiteral("Copy"));
        store.write(SettingsStore::PromptActions, QStringLiteral("Yes"));
        store.write(SettingsStore::DefaultMode, QStringLiteral("Move"));
        QCOMPARE(store.read(SettingsStore::DefaultMode), QStringLiteral("Move"));
        QCOMPARE(store.read(SettingsStore::PromptActions), QStringLiteral("Yes"));
    }

    void valuesLiveInTheSectionUnderTheApplicationName()
    {
        SettingsStore store(m_folder->path(), [] { return QStringLiteral("Tessary"); });
        store.write(SettingsStore::DesDir, QStringLiteral("/srv/out"));
        const QString file =
            QDir(m_folder->path())
                .filePath(QStringLiteral("VB and VBA Program Settings/Tessary.ini"));
        QVERIFY2(QFile::exists(file), qPrintable(file));
        QSettings ini(file, QSettings::IniFormat);
        QCOMPARE(ini.childGroups(), QStringList{QStringLiteral("DefaultSettings")});
        QCOMPARE(ini.value(QStringLiteral("DefaultSettings/DesDir")).toString(),
                 QStringLiteral("/srv/out"));
    }

    void theApplicationNameIsAskedForAtEveryCall()
    {
        QString name = QStringLiteral("Tessary");
        SettingsStore store(m_folder->path(), [&name] { return name; });
        store.write(SettingsStore::DefaultMode, QStringLiteral("Move"));
        // The same program started under another name starts afresh.
        name = QStringLiteral("Tessary2");
        QCOMPARE(store.read(SettingsStore::DefaultMode), QString());
        name = QStringLiteral("Tessary");
        QCOMPARE(store.read(SettingsStore::DefaultMode), QStringLiteral("Move"));
    }

    void theDefaultApplicationNameIsTheExecutablesName()
    {
        QCOMPARE(SettingsStore::executableName(), QStringLiteral("settings_tests"));
        SettingsStore store(m_folder->path());
        store.write(SettingsStore::SrcDir, QStringLiteral("x"));
        QVERIFY(QFile::exists(
            QDir(m_folder->path())
                .filePath(QStringLiteral("VB and VBA Program Settings/settings_tests.ini"))));
    }

    void handEditedValuesReadAsTheirText_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QByteArray("DefaultMode=Move") << QStringLiteral("Move");
        QTest::newRow("commas") << QByteArray("SrcDir=/data/a, b") << QStringLiteral("/data/a, b");
        QTest::newRow("quoted") << QByteArray("SrcDir=\"/data/x y\"")
                                << QStringLiteral("/data/x y");
    }

    void handEditedValuesReadAsTheirText()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, text);
        const QString folder = QDir(m_folder->path()).filePath(SettingsStore::organisation);
        QDir().mkpath(folder);
        QFile ini(QDir(folder).filePath(QStringLiteral("Tessary.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[DefaultSettings]\n" + line + "\n");
        ini.close();
        SettingsStore store(m_folder->path(), [] { return QStringLiteral("Tessary"); });
        const QString name = QString::fromLatin1(line.left(line.indexOf('=')));
        QCOMPARE(store.read(name), text);
    }

    void anUnreadableStoreReadsAsEmptyAndReportsFailedWrites()
    {
        // The configuration folder is a file: nothing can be read or written there.
        const QString blocked = QDir(m_folder->path()).filePath(QStringLiteral("blocked"));
        QFile file(blocked);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        SettingsStore store(blocked);
        QCOMPARE(store.read(SettingsStore::SrcDir), QString());
        QVERIFY(!store.write(SettingsStore::SrcDir, QStringLiteral("/x")));
    }

private:
    std::optional<QTemporaryDir> m_folder;
};

int runSettingsStoreTests(int argc, char** argv)
{
    SettingsStoreTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SettingsStoreTest.moc"
