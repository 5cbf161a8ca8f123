// The help viewer: the portable help platform's stand-ins for the system (the INI-file
// registry, the PE version reader, file search, long paths, environment expansion) and the
// HTMLHelp class on that platform, our own help window showing a help file compiled at build
// time from sample/.

#include "HTMLHelp.h"
#include "HelpBrowser.h"
#include "HelpPopup.h"
#include "HelpWindow.h"
#include "IniRegistry.h"
#include "PeVersionReader.h"
#include "PortableHelpPlatform.h"
#include "ScriptedMessageBoxService.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QtEndian>

using namespace tessary;
using namespace Qt::StringLiterals;

namespace {

const QString SampleFile = QStringLiteral(TESSARY_SAMPLE_CHM);

QStringList itemTexts(const QListWidget* list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts.append(list->item(row)->text().trimmed());
    return texts;
}

void click(QAbstractItemView* view, const QModelIndex& index)
{
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

// a link lookup; names, default topic, message, title; the topic shown (empty: no window);
// whether the message is shown
using LookupRow = std::tuple<bool, QString, QString, QString, QString, QString, bool>;
// type; the text shown; custom colours
using PopupRow = std::tuple<qint32, QString, bool>;

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

class TestHelpViewer : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedMessageBoxService> m_boxes;
    std::unique_ptr<PortableHelpPlatform> m_platform;

    void makePlatform(QHash<quint32, QString> strings = {})
    {
        m_platform = std::make_unique<PortableHelpPlatform>(
            *m_boxes, m_dir->filePath(u"registry.ini"_s), std::move(strings));
    }
    HTMLHelp sample(const QString& window = u"Main"_s)
    {
        HTMLHelp help(*m_platform);
        help.setCHMFile(SampleFile);
        help.setHHWindow(window);
        return help;
    }
    QList<HelpWindow*> windows() const { return m_platform->helpControl().windows(); }
    HelpWindow* onlyWindow() const { return windows().size() == 1 ? windows().first() : nullptr; }
    template <typename T>
    T* part(const QString& name) const
    {
        return onlyWindow() ? onlyWindow()->findChild<T*>(name) : nullptr;
    }

private slots:
    void init()
    {
        QVERIFY2(QFileInfo::exists(SampleFile), qPrintable(SampleFile));
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_boxes = std::make_unique<ScriptedMessageBoxService>();
        makePlatform();
    }
    void cleanup()
    {
        m_platform.reset();
        QCOMPARE(m_boxes->unexpected(), 0);
    }

    // --- The portable platform -------------------------------------------------------------

    void registryKeepsValuesAcrossInstances()
    {
        const QString listKey = u"Software\\Microsoft\\Windows\\HTML Help"_s;
        // Among them names that mean something of their own in an INI file.
        const QStringList names{"Tessary.chm", "a/b.chm", "c\\d.chm", "50%.chm",
                                "@home",       "@",       "",         "General"};
        {
            IniRegistry registry(m_dir->filePath(u"registry.ini"_s));
            QVERIFY(!registry.openKey(RegistryRoot::LocalMachine, listKey));
            const auto key = registry.createKey(RegistryRoot::LocalMachine, listKey);
            QVERIFY(key);
            for (const QString& name : names)
                QVERIFY(key->setValue(name, RegistryType::String, u"data of "_s + name));
            QVERIFY(key->setValue(u"Other.chm"_s, RegistryType::ExpandString, u"%HOME%/help/"_s));
            QVERIFY(key->close());
        }

        const IniRegistry registry(m_dir->filePath(u"registry.ini"_s));
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

    // --- The help window --------------------------------------------------------------------

    void topicsAreShownWithTheirImagesAndLinks()
    {
        HTMLHelp help = sample();
        help.setHHTopicID(43); // not mapped: nothing opens
        help.HHDisplayTopicID();
        QVERIFY(windows().isEmpty());
        help.setHHTopicID(42);
        help.HHDisplayTopicID();
        HelpWindow* window = onlyWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), u"Sample Help"_s); // the window type's title
        QCOMPARE(window->parentWidget(), nullptr);
        QCOMPARE(window->currentTopic(), u"settings.html"_s);
        auto* browser = part<HelpBrowser>(u"topic"_s);
        QVERIFY(browser->toPlainText().contains(u"giraffe"_s));

        // A relative link leads to the other page of the file, with its image.
        browser->setSource(QUrl(u"welcome.html"_s));
        QCOMPARE(window->currentTopic(), u"welcome.html"_s);
        QVERIFY(browser->toPlainText().contains(u"The zebra crosses here."_s));
        const QVariant image =
            browser->loadResource(QTextDocument::ImageResource, QUrl(u"logo.png"_s));
        QCOMPARE(QImage::fromData(image.toByteArray()).size(), QSize(8, 8));
        // A page the file does not hold leaves the window as it was.
        help.setHHTopicURL(u"missing.html"_s);
        help.HHDisplayTopicURL();
        QCOMPARE(window->currentTopic(), u"welcome.html"_s);
        help.setHHTopicURL(u"settings.html"_s);
        help.HHDisplayTopicURL();
        QCOMPARE(window->currentTopic(), u"settings.html"_s);
    }

    void contentsIndexAndSearchLeadToTheirPagesInOneWindow()
    {
        // No window type named: the file's default, Main, the one the later calls name.
        sample(QString()).HHDisplayContents();
        HelpWindow* window = onlyWindow();
        QVERIFY(window);
        auto* tabs = part<QTabWidget>(u"navigation"_s);
        auto* contents = part<QTreeWidget>(u"contents"_s);
        QCOMPARE(tabs->currentWidget(), contents);
        QCOMPARE(contents->topLevelItemCount(), 1);
        QTreeWidgetItem* welcome = contents->topLevelItem(0);
        QCOMPARE(welcome->text(0), u"Welcome"_s);
        QCOMPARE(welcome->childCount(), 1);
        QCOMPARE(welcome->child(0)->text(0), u"Settings & folders"_s);
        // Without a topic named, the default topic is shown and marked in the contents.
        QCOMPARE(window->currentTopic(), u"welcome.html"_s);
        QCOMPARE(contents->currentItem(), welcome);
        click(contents, contents->indexFromItem(welcome->child(0)));
        QCOMPARE(window->currentTopic(), u"settings.html"_s);

        sample().HHDisplayIndex();
        QCOMPARE(onlyWindow(), window);
        auto* index = part<QListWidget>(u"index"_s);
        auto* filter = part<QLineEdit>(u"indexFilter"_s);
        QCOMPARE(tabs->currentWidget(), index->parentWidget());
        QCOMPARE(itemTexts(index), (QStringList{"folders", "welcome"}));
        QTest::keyClicks(filter, u"WEL"_s);
        QCOMPARE(index->currentItem()->text(), u"welcome"_s);
        QTest::keyClick(filter, Qt::Key_Return);
        QCOMPARE(window->currentTopic(), u"welcome.html"_s);

        sample().HHDisplaySearch();
        QCOMPARE(onlyWindow(), window);
        auto* text = part<QLineEdit>(u"searchText"_s);
        auto* results = part<QListWidget>(u"searchResults"_s);
        QCOMPARE(tabs->currentWidget(), text->parentWidget());
        QVERIFY(text->text().isEmpty());
        QCOMPARE(results->count(), 0); // an empty query runs nothing
        QTest::keyClicks(text, u"Giraffe corner"_s);
        QTest::mouseClick(part<QPushButton>(u"searchButton"_s), Qt::LeftButton);
        QCOMPARE(itemTexts(results), QStringList{"Settings"});
        click(results, results->model()->index(0, 0));
        QCOMPARE(window->currentTopic(), u"settings.html"_s);
        text->clear();
        QTest::keyClicks(text, u"zebra giraffe"_s);
        QTest::keyClick(text, Qt::Key_Return);
        QCOMPARE(itemTexts(results), QStringList{"No topics found."});
    }

    void lookups_data()
    {
        QTest::addColumn<LookupRow>("row");
        QTest::newRow("keyword found")
            << LookupRow(false, "nothing; Folders", "", "Not here", "", "settings.html", false);
        QTest::newRow("keyword falls back to the default topic")
            << LookupRow(false, "nothing", "settings.html", "Not here", "", "settings.html", false);
        QTest::newRow("keyword falls back to the message")
            << LookupRow(false, "nothing", "", "Not here", "Sample lookup", "welcome.html", true);
        QTest::newRow("keyword with nothing to fall back to")
            << LookupRow(false, "", "", "", "", "welcome.html", false);
        QTest::newRow("link found") << LookupRow(true, "begin", "", "", "", "welcome.html", false);
        QTest::newRow("link falls back to the message")
            << LookupRow(true, "missing", "", "No link", "", "", true);
    }
    void lookups()
    {
        QFETCH(LookupRow, row);
        const auto& [associative, names, defaultUrl, msgText, msgTitle, topic, box] = row;
        if (box)
            m_boxes->answer(MsgOk);
        HTMLHelp help = sample();
        help.setHHDefaultURL(defaultUrl);
        help.setHHMsgText(msgText);
        help.setHHMsgTitle(msgTitle);
        help.setHHALink(names);
        help.setHHKeyword(names);
        if (associative)
            help.HHDisplayALink();
        else
            help.HHDisplayKeyword();

        QCOMPARE(onlyWindow() ? onlyWindow()->currentTopic() : QString(), topic);
        QCOMPARE(windows().size(), topic.isEmpty() ? 0 : 1);
        QCOMPARE(m_boxes->texts(), box ? QStringList{msgText} : QStringList());
        // Captioned with the message title, else with the help file's title.
        for (const ScriptedMessageBoxService::Box& shown : m_boxes->boxes())
            QCOMPARE(shown.caption, msgTitle.isEmpty() ? u"Sample"_s : msgTitle);
    }

    void ownerKeepsTheWindowAbove()
    {
        QWidget form;
        form.show();
        HTMLHelp help = sample(QString());
        help.setHHShowOnTop(true);
        help.HHDisplayContents(&form);
        HelpWindow* window = onlyWindow();
        QVERIFY(window && window->isWindow() && window->isVisible());
        QCOMPARE(window->parentWidget(), &form);

        // A later call without an owner sets the window free again.
        help.setHHShowOnTop(false);
        help.HHDisplayContents(&form);
        QCOMPARE(onlyWindow(), window);
        QCOMPARE(window->parentWidget(), nullptr);
    }

    void textPopups_data()
    {
        QTest::addColumn<PopupRow>("row");
        QTest::newRow("literal text") << PopupRow(HTMLHelp::PopupText, "A hint.", false);
        QTest::newRow("topic of the text file")
            << PopupRow(HTMLHelp::PopupFromFile, "Second pop-up text.", true);
        QTest::newRow("string table")
            << PopupRow(HTMLHelp::PopupFromStringTable, "From the table", false);
    }
    void textPopups()
    {
        QFETCH(PopupRow, row);
        const auto& [type, text, custom] = row;
        makePlatform({{200, u"From the table"_s}});
        QWidget form;
        HTMLHelp help = sample();
        help.setHHPopupType(type);
        help.setHHPopupID(200);
        help.setHHPopupFile(u"popups.txt"_s);
        help.setHHPopupText(u"A hint."_s);
        help.setHHPopupTextFont(u"Liberation Serif"_s);
        help.setHHPopupTextSize(u"14"_s);
        help.setHHPopupTextBold(true);
        help.setHHPopupTextUnderline(true);
        help.setHHPopupCustomColors(custom);
        help.setHHPopupCustomTextColor(0x0000FF); // red
        help.setHHPopupCustomBackColor(0xFFFF00); // cyan
        help.HHDisplayPopup(&form);

        const QList<HelpPopup*> popups = m_platform->helpControl().popups();
        QCOMPARE(popups.size(), 1);
        QPointer<HelpPopup> popup(popups.first());
        QVERIFY(popup->isVisible());
        QCOMPARE(popup->text(), text);
        const QFont font = popup->findChild<QLabel*>()->font();
        QCOMPARE(font.pointSize(), 14);
        QVERIFY(font.bold() && font.underline() && !font.italic());
        const QPalette colours = popup->palette();
        if (custom) {
            QCOMPARE(colours.color(QPalette::WindowText), QColor(255, 0, 0));
            QCOMPARE(colours.color(QPalette::Window), QColor(0, 255, 255));
        } else {
            // Black on black (both colours 0) could not be read: the system's colours are used.
            QVERIFY(colours.color(QPalette::WindowText) != colours.color(QPalette::Window));
        }
        // A click closes it.
        QTest::mouseClick(popup, Qt::LeftButton);
        QTRY_VERIFY(!popup);
    }

    void closeAllClosesEveryWindowOfEveryType()
    {
        HTMLHelp help = sample();
        help.HHDisplayContents();
        help.setHHWindow(u"Second"_s);
        help.HHDisplayIndex();
        help.setHHPopupType(HTMLHelp::PopupText);
        help.setHHPopupText(u"A hint."_s);
        help.HHDisplayPopup(nullptr);
        QCOMPARE(windows().size(), 2); // one per window type
        QList<QPointer<QWidget>> shown;
        for (HelpWindow* window : windows())
            shown.append(window);
        shown.append(m_platform->helpControl().popups().value(0));
        QVERIFY(shown.last());

        help.HHClose();
        QVERIFY(windows().isEmpty());
        QVERIFY(m_platform->helpControl().popups().isEmpty());
        for (const QPointer<QWidget>& window : shown)
            QTRY_VERIFY(!window);
        // The next request opens a fresh window.
        sample().HHDisplayContents();
        QVERIFY(onlyWindow());
    }

    void registeredFileIsFoundByName()
    {
        QTemporaryDir programFolder;
        m_platform->setApplicationFolder(programFolder.path());
        QString name = SampleFile;
        HTMLHelp(*m_platform).HHRegister(name);
        QCOMPARE(name, u"Sample.chm"_s);
        QVERIFY(m_boxes->boxes().isEmpty());

        // A fresh platform on the same registry file finds the file by its bare name.
        makePlatform();
        m_platform->setApplicationFolder(programFolder.path());
        HTMLHelp later = sample();
        later.setCHMFile(u"Sample.chm"_s);
        later.HHDisplayContents();
        QCOMPARE(later.CHMFile(), QFileInfo(SampleFile).canonicalFilePath());
        QVERIFY(onlyWindow());
        QCOMPARE(later.HHRegFilePath(), QFileInfo(SampleFile).canonicalPath() + QLatin1Char('/'));

        QString again = u"Sample.chm"_s;
        later.HHUnRegister(again);
        QVERIFY(later.HHRegFileName().isEmpty());
        QCOMPARE(later.HHCheckRegistry(u"Sample.chm"_s), std::optional<bool>(false));
        QVERIFY(later.HHRegFileName().isEmpty());
    }

    void damagedHelpFileShowsNothing()
    {
        QFile sampleFile(SampleFile);
        QVERIFY(sampleFile.open(QIODevice::ReadOnly));
        const QByteArray start = sampleFile.read(sampleFile.size() / 4);
        for (const QByteArray& content : {QByteArray("not a help file"), start}) {
            QFile damaged(m_dir->filePath(u"damaged.chm"_s));
            QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
            damaged.write(content);
            damaged.close();
            HTMLHelp help = sample();
            help.setCHMFile(damaged.fileName());
            help.setHHTopicURL(u"settings.html"_s);
            help.HHDisplayTopicURL();
            QVERIFY(windows().isEmpty());
        }
    }
};

QTEST_MAIN(TestHelpViewer)
#include "tst_HelpViewer.moc"
