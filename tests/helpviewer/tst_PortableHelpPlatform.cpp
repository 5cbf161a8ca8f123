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

void putWord(QByteArray& data, qsizetype offset, quint16 value)
{
    qToLittleEndian(value, data.data() + offset);
}

void putDword(QByteArray& data, qsizetype offset, quint32 value)
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
    const qsizetype resourceSize = 0x58 + 92;
    QByteArray image(raw + resourceSize, '\0');

    putWord(image, 0, 0x5A4D);
    putDword(image, 0x3C, pe);
    putDword(image, pe, 0x00004550);
    putWord(image, pe + 4, plus ? 0x8664 : 0x14C);
    putWord(image, pe + 6, 1);
    putWord(image, pe + 20, quint16(optionalSize));
    putWord(image, optional, plus ? 0x20B : 0x10B);
    putDword(image, optional + (plus ? 108 : 92), 16);
    const qsizetype directories = optional + (plus ? 112 : 96);
    putDword(image, directories + 16, rva);
    putDword(image, directories + 20, resourceSize);
    image.replace(sectionTable, 5, ".rsrc");
    putDword(image, sectionTable + 8, resourceSize);
    putDword(image, sectionTable + 12, rva);
    putDword(image, sectionTable + 16, resourceSize);
    putDword(image, sectionTable + 20, raw);

    // Type, name and language directories, each with one entry.
    putWord(image, raw + 14, 1);
    putDword(image, raw + 16, resourceType);
    putDword(image, raw + 20, 0x80000000 | 0x18);
    putWord(image, raw + 0x18 + 14, 1);
    putDword(image, raw + 0x18 + 16, 1);
    putDword(image, raw + 0x18 + 20, 0x80000000 | 0x30);
    putWord(image, raw + 0x30 + 14, 1);
    putDword(image, raw + 0x30 + 16, 0x409);
    putDword(image, raw + 0x30 + 20, 0x48);
    putDword(image, raw + 0x48, rva + 0x58);
    putDword(image, raw + 0x48 + 4, 92);

    const qsizetype info = raw + 0x58;
    putWord(image, info, 92);
    putWord(image, info + 2, 52);
    const QString key = u"VS_VERSION_INFO"_s;
    for (qsizetype i = 0; i < key.size(); ++i)
        putWord(image, info + 6 + i * 2, key.at(i).unicode());
    putDword(image, info + 40, 0xFEEF04BD);
    putDword(image, info + 44, 0x00010000);
    putDword(image, info + 48, fileMS);
    putDword(image, info + 52, fileLS);
    putDword(image, info + 56, fileMS);
    putDword(image, info + 60, fileLS);
    return image;
}

} // namespace

class TestPortableHelpPlatform : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void registryKeepsValuesAcrossInstances();
    void registryNames_data();
    void registryNames();

    void versionResource_data();
    void versionResource();
    void truncatedImagesGiveNoVersion();
    void versionIsReadFromAFile();

    void findFirstFile_data();
    void findFirstFile();
    void longPathName();
    void environmentExpansion();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString registryFile() const { return m_dir->filePath(u"registry.ini"_s); }
};

void TestPortableHelpPlatform::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

// --- Registry -------------------------------------------------------------------------------

void TestPortableHelpPlatform::registryKeepsValuesAcrossInstances()
{
    const QString listKey = u"Software\\Microsoft\\Windows\\HTML Help"_s;
    {
        IniRegistry registry(registryFile());
        QVERIFY(!registry.openKey(RegistryRoot::LocalMachine, listKey));
        std::unique_ptr<RegistryKey> key = registry.createKey(RegistryRoot::LocalMachine, listKey);
        QVERIFY(key);
        QVERIFY(key->setValue(u"Tessary.chm"_s, RegistryType::String, u"/opt/help/"_s));
        QVERIFY(key->setValue(u"Other.chm"_s, RegistryType::ExpandString, u"%HOME%/help/"_s));
        QVERIFY(key->close());
    }

    IniRegistry registry(registryFile());
    std::unique_ptr<RegistryKey> key =
        registry.openKey(RegistryRoot::LocalMachine, u"SOFTWARE\\microsoft\\WINDOWS\\html help"_s);
    QVERIFY(key);
    QVERIFY(!registry.openKey(RegistryRoot::CurrentUser, listKey));
    QList<RegistryValueInfo> values;
    for (quint32 i = 0; const auto value = key->enumValue(i); ++i)
        values.append(*value);
    QCOMPARE(values.size(), 2);
    for (const RegistryValueInfo& value : values) {
        if (value.name == QLatin1String("Tessary.chm")) {
            QCOMPARE(value.type, RegistryType::String);
            QCOMPARE(value.dataSize, 11u); // the text and its terminating zero
        } else {
            QCOMPARE(value.name, u"Other.chm"_s);
            QCOMPARE(value.type, RegistryType::ExpandString);
        }
    }
    QCOMPARE(key->queryValue(u"TESSARY.CHM"_s), u"/opt/help/"_s);
    QCOMPARE(key->queryValue(u"other.chm"_s), u"%HOME%/help/"_s);
    QCOMPARE(key->queryValue(u"Missing.chm"_s), std::nullopt);
}

void TestPortableHelpPlatform::registryNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("slash") << u"a/b.chm"_s;
    QTest::newRow("backslash") << u"c\\d.chm"_s;
    QTest::newRow("percent") << u"50%.chm"_s;
    QTest::newRow("at sign") << u"@home"_s;
    QTest::newRow("default value") << QString();
    QTest::newRow("General") << u"General"_s;
}

void TestPortableHelpPlatform::registryNames()
{
    QFETCH(QString, name);
    const QString keyPath = u"CLSID\\{4662DAB0-D393-11D0-9A56-00C04FB68B66}"_s;
    IniRegistry(registryFile())
        .createKey(RegistryRoot::ClassesRoot, keyPath)
        ->setValue(name, RegistryType::String, u"data of "_s + name);

    std::unique_ptr<RegistryKey> key =
        IniRegistry(registryFile()).openKey(RegistryRoot::ClassesRoot, keyPath);
    QVERIFY(key);
    const std::optional<RegistryValueInfo> value = key->enumValue(0);
    QVERIFY(value);
    QCOMPARE(value->name, name);
    QVERIFY(!key->enumValue(1));
    QCOMPARE(key->queryValue(name), u"data of "_s + name);
}

// --- Version resources --------------------------------------------------------------------

void TestPortableHelpPlatform::versionResource_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<bool>("found");

    QTest::newRow("32-bit image") << peImage(false, 0x00040048, 0x1C7A0000) << true;
    QTest::newRow("64-bit image") << peImage(true, 0x00040048, 0x1C7A0000) << true;
    QByteArray notPe = peImage(false, 0x00040048, 0x1C7A0000);
    notPe[0] = 'Z';
    QTest::newRow("not an executable") << notPe << false;
    QTest::newRow("no version resource") << peImage(false, 0x00040048, 0x1C7A0000, 3) << false;
    QByteArray badSignature = peImage(false, 0x00040048, 0x1C7A0000);
    badSignature[0x200 + 0x58 + 40] = 0;
    QTest::newRow("damaged fixed record") << badSignature << false;
    QByteArray farHeader = peImage(false, 0x00040048, 0x1C7A0000);
    putDword(farHeader, 0x3C, 0x7FFFFFF0);
    QTest::newRow("header offset past the end") << farHeader << false;
    QByteArray farResources = peImage(true, 0x00040048, 0x1C7A0000);
    putDword(farResources, 0x40 + 24 + 112 + 16, 0xFFFFFFF0);
    QTest::newRow("resource address outside every section") << farResources << false;
}

void TestPortableHelpPlatform::versionResource()
{
    QFETCH(QByteArray, image);
    QFETCH(bool, found);

    const std::optional<FixedFileInfo> info = PeVersionReader::parse(image);
    QCOMPARE(info.has_value(), found);
    if (found) {
        QCOMPARE(info->dwFileVersionMS, 0x00040048u);
        QCOMPARE(info->dwFileVersionLS, 0x1C7A0000u);
    }
}

void TestPortableHelpPlatform::truncatedImagesGiveNoVersion()
{
    const QByteArray image = peImage(false, 0x00050000, 0x090A03E8);
    for (qsizetype size = 0; size < image.size(); ++size)
        QVERIFY2(!PeVersionReader::parse(image.left(size)), qPrintable(QString::number(size)));
    QVERIFY(PeVersionReader::parse(image));
}

void TestPortableHelpPlatform::versionIsReadFromAFile()
{
    QFile file(m_dir->filePath(u"hhctrl.ocx"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(peImage(false, 0x0004004A, 0x21760000));
    file.close();

    ScriptedMessageBoxService boxes;
    PortableHelpPlatform platform(boxes, registryFile());
    const std::optional<FixedFileInfo> info = platform.fileVersionInfo(file.fileName());
    QVERIFY(info);
    QCOMPARE(info->dwFileVersionMS, 0x0004004Au);
    QVERIFY(!platform.fileVersionInfo(m_dir->filePath(u"missing.ocx"_s)));
    QVERIFY(!platform.fileVersionInfo(m_dir->path()));
}

// --- File system, environment, boxes ----------------------------------------------------------

void TestPortableHelpPlatform::findFirstFile_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<std::optional<QString>>("expected");

    QTest::newRow("exact name") << u"help/Tessary.chm"_s << std::optional<QString>("Tessary.chm");
    QTest::newRow("folder") << u"help"_s << std::optional<QString>("help");
    QTest::newRow("star") << u"help/*.chm"_s << std::optional<QString>("Library.chm");
    QTest::newRow("question mark") << u"help/Tess?ry.*"_s << std::optional<QString>("Tessary.chm");
    QTest::newRow("no match") << u"help/*.txt"_s << std::optional<QString>();
    QTest::newRow("missing folder") << u"gone/*.chm"_s << std::optional<QString>();
    QTest::newRow("trailing separator") << u"help/"_s << std::optional<QString>();
    QTest::newRow("wildcard in a folder") << u"h*/Tessary.chm"_s << std::optional<QString>();
}

void TestPortableHelpPlatform::findFirstFile()
{
    QFETCH(QString, pattern);
    QFETCH(std::optional<QString>, expected);

    QVERIFY(QDir(m_dir->path()).mkdir(u"help"_s));
    for (const char* name : {"help/Tessary.chm", "help/Library.chm"}) {
        QFile file(m_dir->filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    ScriptedMessageBoxService boxes;
    PortableHelpPlatform platform(boxes, registryFile());
    QCOMPARE(platform.findFirstFile(m_dir->path() + QLatin1Char('/') + pattern), expected);
}

void TestPortableHelpPlatform::longPathName()
{
    const QString real = m_dir->filePath(u"real"_s);
    QVERIFY(QDir().mkpath(real));
    QVERIFY(QFile::link(real, m_dir->filePath(u"link"_s)));
    const QString canonical = QFileInfo(real).canonicalFilePath();

    ScriptedMessageBoxService boxes;
    PortableHelpPlatform platform(boxes, registryFile());
    QCOMPARE(platform.longPathName(m_dir->filePath(u"link"_s)), canonical);
    QCOMPARE(platform.longPathName(m_dir->filePath(u"link/"_s)), canonical + QLatin1Char('/'));
    QCOMPARE(platform.longPathName(m_dir->filePath(u"link/../real/"_s)),
             canonical + QLatin1Char('/'));
    QCOMPARE(platform.longPathName(m_dir->filePath(u"missing"_s)), std::nullopt);
    QCOMPARE(platform.separator(), QLatin1Char('/'));
    OsVersionInfo info;
    info.dwOSVersionInfoSize = 148;
    QVERIFY(!platform.versionEx(info)); // not a Windows system
}

void TestPortableHelpPlatform::environmentExpansion()
{
    qputenv("TESSARY_HELP_DIR", "/srv/help");
    qunsetenv("TESSARY_UNSET_DIR");
    ScriptedMessageBoxService boxes;
    PortableHelpPlatform platform(boxes, registryFile());
    QCOMPARE(platform.expandEnvironmentStrings(u"%TESSARY_HELP_DIR%/x/"_s), u"/srv/help/x/"_s);
    QCOMPARE(platform.expandEnvironmentStrings(u"%TESSARY_UNSET_DIR%/x"_s),
             u"%TESSARY_UNSET_DIR%/x"_s);
    QCOMPARE(platform.expandEnvironmentStrings(u"100% sure"_s), u"100% sure"_s);
}

int runPortableHelpPlatformTests(int argc, char** argv)
{
    TestPortableHelpPlatform test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_PortableHelpPlatform.moc"
