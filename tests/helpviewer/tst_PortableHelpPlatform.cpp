// The pieces of the portable help platform that stand in for the system: the INI-file
// registry, the PE version reader, file search, long paths, environment expansion.

#include "IniRegistry.h"
#include "PeVersionReader.h"
#include "PortableHelpPlatform.h"
#include "ScriptedMessageBoxService.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace tessary;
using namespace Qt::StringLiterals;

namespace {

template <typename T>
void put(QByteArray& data, qsizetype offset, T value)
{
    qToLittleEndian(value, data.data() + offset);
}

// A minimal PE image with one resource section holding one version resource.
QByteArray peImage(bool plus, quint32 fileMS, quint32 fileLS, quint32 resourceType = 16)
{
    const qsizetype pe = 0x40;
    const qsizetype optionalSize = plus ? 240 : 224;
    const qsizetype optional = pe + 24;
    const qsizetype sectionTable = optional + optionalSize;
    const qsizetype raw = 0x200;
    const quint32 rva = 0x1000;
    const quint32 resourceSize = 0x58 + 92;
    QByteArray image(raw + resourceSize, '\0');

    put<quint16>(image, 0, 0x5A4D);
    put<quint32>(image, 0x3C, pe);
    put<quint32>(image, pe, 0x00004550);
    put<quint16>(image, pe + 4, plus ? 0x8664 : 0x14C);
    put<quint16>(image, pe + 6, 1);
    put<quint16>(image, pe + 20, quint16(optionalSize));
    put<quint16>(image, optional, plus ? 0x20B : 0x10B);
    put<quint32>(image, optional + (plus ? 108 : 92), 16);
    const qsizetype directories = optional + (plus ? 112 : 96);
    put(image, directories + 16, rva);
    put(image, directories + 20, resourceSize);
    image.replace(sectionTable, 5, ".rsrc");
    put(image, sectionTable + 8, resourceSize);
    put(image, sectionTable + 12, rva);
    put(image, sectionTable + 16, resourceSize);
    put<quint32>(image, sectionTable + 20, raw);

    // Type, name and language directories, each with one entry.
    for (const auto& [at, id, next] :
         {std::tuple(0x00, resourceType, 0x80000018u), std::tuple(0x18, 1u, 0x80000030u),
          std::tuple(0x30, 0x409u, 0x48u)}) {
        put<quint16>(image, raw + at + 14, 1);
        put(image, raw + at + 16, id);
        put(image, raw + at + 20, next);
    }
    put(image, raw + 0x48, rva + 0x58);
    put<quint32>(image, raw + 0x48 + 4, 92);

    const qsizetype info = raw + 0x58;
    put<quint16>(image, info, 92);
    put<quint16>(image, info + 2, 52);
    const QString key = u"VS_VERSION_INFO"_s;
    for (qsizetype i = 0; i < key.size(); ++i)
        put<quint16>(image, info + 6 + i * 2, key.at(i).unicode());
    for (const auto& [at, value] :
         {std::pair(40, 0xFEEF04BDu), std::pair(44, 0x00010000u), std::pair(48, fileMS),
          std::pair(52, fileLS), std::pair(56, fileMS), std::pair(60, fileLS)})
        put(image, info + at, value);
    return image;
}

} // namespace

class TestPortableHelpPlatform : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedMessageBoxService m_boxes;
    std::unique_ptr<PortableHelpPlatform> m_platform;

    QString registryFile() const { return m_dir->filePath(u"registry.ini"_s); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_platform = std::make_unique<PortableHelpPlatform>(m_boxes, registryFile());
    }

    void registryKeepsValuesAcrossInstances()
    {
        const QString listKey = u"Software\\Microsoft\\Windows\\HTML Help"_s;
        // Among them names that mean something of their own in an INI file.
        const QStringList names{"Tessary.chm", "a/b.chm", "c\\d.chm", "50%.chm",
                                "@home",       "",        "General"};
        {
            IniRegistry registry(registryFile());
            QVERIFY(!registry.openKey(RegistryRoot::LocalMachine, listKey));
            const auto key = registry.createKey(RegistryRoot::LocalMachine, listKey);
            QVERIFY(key);
            for (const QString& name : names)
                QVERIFY(key->setValue(name, RegistryType::String, u"data of "_s + name));
            QVERIFY(key->setValue(u"Other.chm"_s, RegistryType::ExpandString, u"%HOME%/help/"_s));
            QVERIFY(key->close());
        }

        const IniRegistry registry(registryFile());
        QVERIFY(!registry.openKey(RegistryRoot::CurrentUser, listKey));
        const auto key = registry.openKey(RegistryRoot::LocalMachine,
                                          u"SOFTWARE\\microsoft\\WINDOWS\\html help"_s);
        QVERIFY(key);
        QStringList listed;
        for (quint32 i = 0; const auto value = key->enumValue(i); ++i) {
            listed.append(value->name);
            const bool other = value->name == QLatin1String("Other.chm");
            QCOMPARE(value->type, other ? RegistryType::ExpandString : RegistryType::String);
            // The text and its terminating zero.
            QCOMPARE(value->dataSize, quint32(other ? 13 : 9 + value->name.size()));
        }
        QStringList expected = names;
        expected.append(u"Other.chm"_s);
        expected.sort();
        listed.sort();
        QCOMPARE(listed, expected);
        for (const QString& name : names)
            QCOMPARE(key->queryValue(name.toUpper()), u"data of "_s + name);
        QCOMPARE(key->queryValue(u"other.chm"_s), u"%HOME%/help/"_s);
        QCOMPARE(key->queryValue(u"Missing.chm"_s), std::nullopt);
    }

    void versionResource_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<bool>("found");
        const QByteArray image = peImage(false, 0x00040048, 0x1C7A0000);
        QTest::newRow("32-bit image") << image << true;
        QTest::newRow("64-bit image") << peImage(true, 0x00040048, 0x1C7A0000) << true;
        QTest::newRow("not an executable") << QByteArray(image).replace(0, 1, "Z") << false;
        QTest::newRow("no version resource") << peImage(false, 0x00040048, 0x1C7A0000, 3) << false;
        QByteArray damaged = image;
        damaged[0x200 + 0x58 + 40] = 0;
        QTest::newRow("damaged fixed record") << damaged << false;
        QByteArray farHeader = image;
        put<quint32>(farHeader, 0x3C, 0x7FFFFFF0);
        QTest::newRow("header offset past the end") << farHeader << false;
        QByteArray farResources = peImage(true, 0x00040048, 0x1C7A0000);
        put<quint32>(farResources, 0x40 + 24 + 112 + 16, 0xFFFFFFF0);
        QTest::newRow("resource address outside every section") << farResources << false;
    }
    void versionResource()
    {
        QFETCH(QByteArray, image);
        QFETCH(bool, found);
        const std::optional<FixedFileInfo> info = PeVersionReader::parse(image);
        QCOMPARE(info.has_value(), found);
        if (found) {
            QCOMPARE(info->dwFileVersionMS, 0x00040048u);
            QCOMPARE(info->dwFileVersionLS, 0x1C7A0000u);
        }
        // Cut short anywhere, an image gives no version.
        for (qsizetype size = 0; found && size < image.size(); ++size)
            QVERIFY2(!PeVersionReader::parse(image.left(size)), qPrintable(QString::number(size)));

        // The platform reads the same from a file, and nothing from a missing file or folder.
        QFile file(m_dir->filePath(u"hhctrl.ocx"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
        file.close();
        const auto read = m_platform->fileVersionInfo(file.fileName());
        QCOMPARE(read ? read->dwFileVersionLS : 0, info ? info->dwFileVersionLS : 0);
        QVERIFY(!m_platform->fileVersionInfo(m_dir->filePath(u"missing.ocx"_s)));
        QVERIFY(!m_platform->fileVersionInfo(m_dir->path()));
    }

    void findFirstFile_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("expected"); // empty: nothing found
        QTest::newRow("exact name") << u"help/Tessary.chm"_s << "Tessary.chm";
        QTest::newRow("folder") << u"help"_s << "help";
        QTest::newRow("star") << u"help/*.chm"_s << "Library.chm";
        QTest::newRow("question mark") << u"help/Tess?ry.*"_s << "Tessary.chm";
        QTest::newRow("no match") << u"help/*.txt"_s << "";
        QTest::newRow("missing folder") << u"gone/*.chm"_s << "";
        QTest::newRow("trailing separator") << u"help/"_s << "";
        QTest::newRow("wildcard in a folder") << u"h*/Tessary.chm"_s << "";
    }
    void findFirstFile()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, expected);
        QVERIFY(QDir(m_dir->path()).mkdir(u"help"_s));
        for (const char* name : {"help/Tessary.chm", "help/Library.chm"})
            QVERIFY(QFile(m_dir->filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly));
        const std::optional<QString> found =
            m_platform->findFirstFile(m_dir->path() + QLatin1Char('/') + pattern);
        QCOMPARE(found.value_or(QString()), expected);
        QCOMPARE(found.has_value(), !expected.isEmpty());
    }

    void longPathsAndEnvironment()
    {
        const QString real = m_dir->filePath(u"real"_s);
        QVERIFY(QDir().mkpath(real));
        QVERIFY(QFile::link(real, m_dir->filePath(u"link"_s)));
        const QString canonical = QFileInfo(real).canonicalFilePath();
        QCOMPARE(m_platform->longPathName(m_dir->filePath(u"link"_s)), canonical);
        QCOMPARE(m_platform->longPathName(m_dir->filePath(u"link/"_s)), canonical + u'/');
        QCOMPARE(m_platform->longPathName(m_dir->filePath(u"link/../real/"_s)), canonical + u'/');
        QCOMPARE(m_platform->longPathName(m_dir->filePath(u"missing"_s)), std::nullopt);
        QCOMPARE(m_platform->separator(), QLatin1Char('/'));
        OsVersionInfo info;
        info.dwOSVersionInfoSize = 148;
        QVERIFY(!m_platform->versionEx(info)); // not a Windows system

        qputenv("TESSARY_HELP_DIR", "/srv/help");
        qunsetenv("TESSARY_UNSET_DIR");
        QCOMPARE(m_platform->expandEnvironmentStrings(u"%TESSARY_HELP_DIR%/x/"_s),
                 u"/srv/help/x/"_s);
        QCOMPARE(m_platform->expandEnvironmentStrings(u"%TESSARY_UNSET_DIR%/x"_s),
                 u"%TESSARY_UNSET_DIR%/x"_s);
        QCOMPARE(m_platform->expandEnvironmentStrings(u"100% sure"_s), u"100% sure"_s);
    }
};

int runPortableHelpPlatformTests(int argc, char** argv)
{
    TestPortableHelpPlatform test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_PortableHelpPlatform.moc"
