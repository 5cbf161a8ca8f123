// The pieces of the portable help platform that stand in for the system: the INI-file
// registry, the PE version reader, file search, long paths, environment expansion, boxes.

#include "ChmSiteMap.h"
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
    const QString key = QStringLiteral("VS_VERSION_INFO");
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
    void registryKeyStaysWhenItsLastValueIsDeleted();

    void versionResource_data();
    void versionResource();
    void truncatedImagesGiveNoVersion();
    void versionIsReadFromAFile();

    void findFirstFile_data();
    void findFirstFile();
    void longPathName();
    void environmentExpansion();
    void messageBoxStyles_data();
    void messageBoxStyles();
    void siteMap();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString registryFile() const { return m_dir->filePath(QStringLiteral("registry.ini")); }
};

void TestPortableHelpPlatform::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

// --- Registry -------------------------------------------------------------------------------

void TestPortableHelpPlatform::registryKeepsValuesAcrossInstances()
{
    const QString listKey = QStringLiteral("Software\\Microsoft\\Windows\\HTML Help");
    {
        IniRegistry registry(registryFile());
        QVERIFY(!registry.openKey(RegistryRoot::LocalMachine, listKey));
        std::unique_ptr<RegistryKey> key = registry.createKey(RegistryRoot::LocalMachine, listKey);
        QVERIFY(key);
        QVERIFY(key->setValue(QStringLiteral("Tessary.chm"), RegistryType::String,
                              QStringLiteral("/opt/help/")));
        QVERIFY(key->setValue(QStringLiteral("Other.chm"), RegistryType::ExpandString,
                              QStringLiteral("%HOME%/help/")));
        QVERIFY(key->close());
    }

    IniRegistry registry(registryFile());
    std::unique_ptr<RegistryKey> key = registry.openKey(
        RegistryRoot::LocalMachine, QStringLiteral("SOFTWARE\\microsoft\\WINDOWS\\html help"));
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
            QCOMPARE(value.name, QStringLiteral("Other.chm"));
            QCOMPARE(value.type, RegistryType::ExpandString);
        }
    }
    QCOMPARE(key->queryValue(QStringLiteral("TESSARY.CHM")), QStringLiteral("/opt/help/"));
    QCOMPARE(key->queryValue(QStringLiteral("other.chm")), QStringLiteral("%HOME%/help/"));
    QCOMPARE(key->queryValue(QStringLiteral("Missing.chm")), std::nullopt);
}

void TestPortableHelpPlatform::registryNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("slash") << QStringLiteral("a/b.chm");
    QTest::newRow("backslash") << QStringLiteral("c\\d.chm");
    QTest::newRow("percent") << QStringLiteral("50%.chm");
    QTest::newRow("at sign") << QStringLiteral("@home");
    QTest::newRow("default value") << QString();
    QTest::newRow("General") << QStringLiteral("General");
}

void TestPortableHelpPlatform::registryNames()
{
    QFETCH(QString, name);
    const QString keyPath = QStringLiteral("CLSID\\{4662DAB0-D393-11D0-9A56-00C04FB68B66}");
    IniRegistry(registryFile())
        .createKey(RegistryRoot::ClassesRoot, keyPath)
        ->setValue(name, RegistryType::String, QStringLiteral("data of ") + name);

    std::unique_ptr<RegistryKey> key =
        IniRegistry(registryFile()).openKey(RegistryRoot::ClassesRoot, keyPath);
    QVERIFY(key);
    const std::optional<RegistryValueInfo> value = key->enumValue(0);
    QVERIFY(value);
    QCOMPARE(value->name, name);
    QVERIFY(!key->enumValue(1));
    QCOMPARE(key->queryValue(name), QStringLiteral("data of ") + name);
}

void TestPortableHelpPlatform::registryKeyStaysWhenItsLastValueIsDeleted()
{
    IniRegistry registry(registryFile());
    std::unique_ptr<RegistryKey> key =
        registry.createKey(RegistryRoot::LocalMachine, QStringLiteral("Software\\Empty"));
    QVERIFY(key);
    QVERIFY(registry.openKey(RegistryRoot::LocalMachine, QStringLiteral("Software\\Empty")));
    QVERIFY(key->setValue(QStringLiteral("x"), RegistryType::String, QStringLiteral("1")));
    QVERIFY(key->deleteValue(QStringLiteral("X")));
    QVERIFY(!key->deleteValue(QStringLiteral("X")));
    std::unique_ptr<RegistryKey> again =
        registry.openKey(RegistryRoot::LocalMachine, QStringLiteral("software\\empty"));
    QVERIFY(again);
    QVERIFY(!again->enumValue(0));
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
    QFile file(m_dir->filePath(QStringLiteral("hhctrl.ocx")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(peImage(false, 0x0004004A, 0x21760000));
    file.close();

    ScriptedMessageBoxService boxes;
    PortableHelpPlatform platform(boxes, registryFile());
    const std::optional<FixedFileInfo> info = platform.fileVersionInfo(file.fileName());
    QVERIFY(info);
    QCOMPARE(info->dwFileVersionMS, 0x0004004Au);
    QVERIFY(!platform.fileVersionInfo(m_dir->filePath(QStringLiteral("missing.ocx"))));
    QVERIFY(!platform.fileVersionInfo(m_dir->path()));
}

// --- File system, environment, boxes ----------------------------------------------------------

void TestPortableHelpPlatform::findFirstFile_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<std::optional<QString>>("expected");

    QTest::newRow("exact name") << QStringLiteral("help/Tessary.chm")
                                << std::optional<QString>("Tessary.chm");
    QTest::newRow("folder") << QStringLiteral("help") << std::optional<QString>("help");
    QTest::newRow("star") << QStringLiteral("help/*.chm") << std::optional<QString>("Library.chm");
    QTest::newRow("question mark")
        << QStringLiteral("help/Tess?ry.*") << std::optional<QString>("Tessary.chm");
    QTest::newRow("no match") << QStringLiteral("help/*.txt") << std::optional<QString>();
    QTest::newRow("missing folder") << QStringLiteral("gone/*.chm") << std::optional<QString>();
    QTest::newRow("trailing separator") << QStringLiteral("help/") << std::optional<QString>();
    QTest::newRow("wildcard in a folder")
        << QStringLiteral("h*/Tessary.chm") << std::optional<QString>();
}

void TestPortableHelpPlatform::findFirstFile()
{
    QFETCH(QString, pattern);
    QFETCH(std::optional<QString>, expected);

    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("help")));
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
    const QString real = m_dir->filePath(QStringLiteral("real"));
    QVERIFY(QDir().mkpath(real));
    QVERIFY(QFile::link(real, m_dir->filePath(QStringLiteral("link"))));
    const QString canonical = QFileInfo(real).canonicalFilePath();

    ScriptedMessageBoxService boxes;
    PortableHelpPlatform platform(boxes, registryFile());
    QCOMPARE(platform.longPathName(m_dir->filePath(QStringLiteral("link"))), canonical);
    QCOMPARE(platform.longPathName(m_dir->filePath(QStringLiteral("link/"))),
             canonical + QLatin1Char('/'));
    QCOMPARE(platform.longPathName(m_dir->filePath(QStringLiteral("link/../real/"))),
             canonical + QLatin1Char('/'));
    QCOMPARE(platform.longPathName(m_dir->filePath(QStringLiteral("missing"))), std::nullopt);
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
    QCOMPARE(platform.expandEnvironmentStrings(QStringLiteral("%TESSARY_HELP_DIR%/x/")),
             QStringLiteral("/srv/help/x/"));
    QCOMPARE(platform.expandEnvironmentStrings(QStringLiteral("%TESSARY_UNSET_DIR%/x")),
             QStringLiteral("%TESSARY_UNSET_DIR%/x"));
    QCOMPARE(platform.expandEnvironmentStrings(QStringLiteral("100% sure")),
             QStringLiteral("100% sure"));
}

void TestPortableHelpPlatform::messageBoxStyles_data()
{
    QTest::addColumn<quint32>("style");
    QTest::addColumn<MsgButtons>("buttons");
    QTest::addColumn<MsgIcon>("icon");
    QTest::addColumn<int>("answer");

    QTest::newRow("error box") << 0x10u << MsgButtons::Ok << MsgIcon::Critical << int(MsgOk);
    QTest::newRow("information box")
        << 0x40u << MsgButtons::Ok << MsgIcon::Information << int(MsgOk);
    QTest::newRow("question") << 0x24u << MsgButtons::YesNo << MsgIcon::Question << int(MsgNo);
    QTest::newRow("plain") << 0x00u << MsgButtons::Ok << MsgIcon::None << int(MsgOk);
}

void TestPortableHelpPlatform::messageBoxStyles()
{
    QFETCH(quint32, style);
    QFETCH(MsgButtons, buttons);
    QFETCH(MsgIcon, icon);
    QFETCH(int, answer);

    ScriptedMessageBoxService boxes;
    boxes.answer(answer);
    PortableHelpPlatform platform(boxes, registryFile());
    MessageBoxParams params;
    params.lpszText = QStringLiteral("Text");
    params.lpszCaption = QStringLiteral("HTML Help Class");
    params.dwStyle = style;
    QCOMPARE(platform.messageBoxIndirect(params), answer);
    QCOMPARE(boxes.boxes().size(), 1);
    QCOMPARE(boxes.boxes()[0].text, QStringLiteral("Text"));
    QCOMPARE(boxes.boxes()[0].caption, QStringLiteral("HTML Help Class"));
    QCOMPARE(boxes.boxes()[0].buttons, buttons);
    QCOMPARE(boxes.boxes()[0].icon, icon);
}

void TestPortableHelpPlatform::siteMap()
{
    const QString html = QStringLiteral(
        "<HTML><BODY><OBJECT type=\"text/site properties\"><param name=\"Name\" value=\"x\">"
        "</OBJECT><UL>"
        "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Pages &amp; files\">"
        "<param name=\"Local\" value=\"pages.htm\"><param name=\"Local\" value=\"files.htm\">"
        "</OBJECT><UL><LI><object TYPE='text/sitemap'><param name=Name value=\"&#65;dd\">"
        "<param name=\"Local\" value=\"add.htm#top\"></object></UL>"
        "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Last\"></OBJECT>"
        "</UL></BODY></HTML>");
    const QList<ChmSiteMap::Entry> entries = ChmSiteMap::parse(html);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].name, QStringLiteral("Pages & files"));
    QCOMPARE(entries[0].locals, (QStringList{"pages.htm", "files.htm"}));
    QCOMPARE(entries[0].children.size(), 1);
    QCOMPARE(entries[0].children[0].name, QStringLiteral("Add"));
    QCOMPARE(entries[0].children[0].locals, QStringList{"add.htm#top"});
    QCOMPARE(entries[1].name, QStringLiteral("Last"));
    QVERIFY(entries[1].locals.isEmpty());
    QVERIFY(ChmSiteMap::parse(QStringLiteral("<ul><li><object type=\"text/sitemap\">")).isEmpty());
}

QTEST_MAIN(TestPortableHelpPlatform)
#include "tst_PortableHelpPlatform.moc"
