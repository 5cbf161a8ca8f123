// The help viewer: the portable help platform's stand-ins for the system (the INI-file
// registry, the PE version reader, file search, long paths, environment expansion) and the
// HTMLHelp class on that platform, our own help window showing a help file compiled at build
// time from sample/.

#include "HTMLHelp.h"
#include "HelpBrowser.h"
#include "HelpPopup.h"
#include "HelpWindow.h"
#include "PeVersionReader.h"
#include "PortableHelpPlatform.h"
#include "ScriptedMessageBoxService.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

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

// a link lookup; names, default topic, message, title; the topic shown (empty: no window);
// whether the message is shown
using LookupRow = std::tuple<bool, QString, QString, QString, QString, QString, bool>;
// type; help file; pop-up file; text; custom colours; the text shown (empty: no pop-up); the box
using PopupRow = std::tuple<qint32, QString, QString, QString, bool, QString, QString>;

QByteArray& put(QByteArray& data, int at, quint32 value, int bytes = 4)
{
    for (int i = 0; i < bytes; ++i)
        data[at + i] = char(value >> 8 * i);
    return data;
}

// A minimal PE image (PE32, or PE32+ when plus) with one resource section holding one
// resource of the given type: a version resource of file version 4.72.7290.0.
QByteArray peImage(bool plus, quint32 resourceType = 16)
{
    QByteArray image(0x200 + 0xB4, '\0');
    // Offset, value and size of each field: the headers; the type, name and language
    // directories of the resources at 0x200 (address 0x1000); the version record at 0x258.
    const quint32 fields[] = {
        0,     0x5A4D,     2, 0x3C,  0x40,       4, 0x40,  0x4550,     4, 0x46,  1,          2,
        0x20E, 1,          2, 0x214, 0x80000018, 4, 0x226, 1,          2, 0x228, 1,          4,
        0x22C, 0x80000030, 4, 0x23E, 1,          2, 0x240, 0x409,      4, 0x244, 0x48,       4,
        0x248, 0x1058,     4, 0x24C, 92,         4, 0x258, 92,         2, 0x25A, 52,         2,
        0x280, 0xFEEF04BD, 4, 0x284, 0x10000,    4, 0x288, 0x00040048, 4, 0x28C, 0x1C7A0000, 4};
    // The directory count, the resource directory and the section, 16 bytes further on in
    // a PE32+ image.
    const quint32 shifted[] = {0xB4,  16,     4, 0xC8,  0x1000, 4, 0xCC,  0xB4,  4, 0x140, 0xB4, 4,
                               0x144, 0x1000, 4, 0x148, 0xB4,   4, 0x14C, 0x200, 4};
    for (std::size_t i = 0; i < std::size(fields); i += 3)
        put(image, int(fields[i]), fields[i + 1], int(fields[i + 2]));
    for (std::size_t i = 0; i < std::size(shifted); i += 3)
        put(image, int(shifted[i]) + (plus ? 16 : 0), shifted[i + 1], int(shifted[i + 2]));
    put(image, 0x54, plus ? 240 : 224, 2);
    put(image, 0x58, plus ? 0x20B : 0x10B, 2);
    put(image, 0x210, resourceType);
    for (int i = 0; i < 15; ++i)
        put(image, 0x25E + i * 2, u"VS_VERSION_INFO"[i], 2);
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
    // The only pop-up: "A hint. / Arial 10 bold / #ff0000 on #00ffff", " elsewhere" added when
    // it is not at the cursor (the window frame's few pixels aside).
    QString popupShown() const
    {
        const QList<HelpPopup*> popups = m_platform->helpControl().popups();
        if (popups.size() != 1 || !popups.first()->isVisible())
            return u"%1 pop-ups"_s.arg(popups.size());
        const QFont font = popups.first()->findChild<QLabel*>()->font();
        const QPalette colours = popups.first()->palette();
        const QPoint offset = popups.first()->geometry().topLeft() - QCursor::pos();
        return popups.first()->text() + u" / "_s + font.family() + u' ' +
               QString::number(font.pointSize()) + (font.bold() ? u" bold"_s : u""_s) +
               (font.italic() ? u" italic"_s : u""_s) +
               (font.underline() ? u" underline"_s : u""_s) + u" / "_s +
               colours.color(QPalette::WindowText).name() + u" on "_s +
               colours.color(QPalette::Window).name() +
               (offset.manhattanLength() <= 4 ? u""_s : u" elsewhere"_s);
    }
    // The only window's topic ("2 windows" else) and navigation tab: "welcome.html in Contents".
    QString topic() const
    {
        return onlyWindow() ? onlyWindow()->currentTopic() : u"%1 windows"_s.arg(windows().size());
    }
    QString shown() const
    {
        const auto* tabs = part<QTabWidget>(u"navigation"_s);
        return topic() + (tabs ? u" in "_s + tabs->tabText(tabs->currentIndex()) : QString());
    }

private slots:
    void init()
    {
        QVERIFY2(QFileInfo::exists(SampleFile), qPrintable(SampleFile));
        m_dir = std::make_unique<QTemporaryDir>();
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
        const auto open = [&](RegistryRoot root, const QString& key) {
            return m_platform->regOpenKey(root, key, RegistryAccess::QueryValue);
        };
        // Among them names that mean something of their own in an INI file.
        const QStringList names{"Tessary.chm", "a/b.chm", "c\\d.chm", "50%.chm",
                                "@home",       "@",       "",         "General"};
        // Each value as it is listed: name, type, size with the terminating zero, data.
        QStringList written, listed;
        QVERIFY(!open(RegistryRoot::LocalMachine, listKey));
        auto key =
            m_platform->regCreateKey(RegistryRoot::LocalMachine, listKey, RegistryAccess::SetValue);
        QVERIFY(key);
        for (const QString& name : names) {
            const quint32 type =
                written.size() % 2 ? RegistryType::ExpandString : RegistryType::String;
            const QString data = u"%HOME%/"_s + name;
            QVERIFY(key->setValue(name, type, data));
            written.append(u"%1 %2 %3 %4"_s.arg(name).arg(type).arg(data.size() + 1).arg(data));
        }
        QVERIFY(key->setValue(u"Gone.chm"_s, RegistryType::String, u"/"_s));
        QVERIFY(key->deleteValue(u"GONE.CHM"_s) && key->close());

        // A fresh platform on the same registry file.
        makePlatform();
        QVERIFY(!open(RegistryRoot::CurrentUser, listKey));
        key = open(RegistryRoot::LocalMachine, u"SOFTWARE\\microsoft\\WINDOWS\\html help"_s);
        QVERIFY(key);
        for (quint32 i = 0; const auto value = key->enumValue(i); ++i) {
            listed.append(u"%1 %2 %3 %4"_s.arg(value->name)
                              .arg(value->type)
                              .arg(value->dataSize)
                              .arg(key->queryValue(value->name.toUpper()).value_or(u"none"_s)));
        }
        written.sort();
        listed.sort();
        QCOMPARE(listed, written);
        QCOMPARE(key->queryValue(u"Missing.chm"_s), std::nullopt);
    }

    void versionResource_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<bool>("found");
        const QByteArray image = peImage(false);
        QTest::newRow("32-bit image") << image << true;
        QTest::newRow("64-bit image") << peImage(true) << true;
        QTest::newRow("not an executable") << QByteArray(image).replace(0, 1, "Z") << false;
        QTest::newRow("no version resource") << peImage(false, 3) << false;
        QByteArray damaged = image, farHeader = image, farResources = peImage(true);
        QTest::newRow("damaged fixed record") << put(damaged, 0x280, 0, 1) << false;
        QTest::newRow("header offset past the end") << put(farHeader, 0x3C, 0x7FFFFFF0) << false;
        QTest::newRow("resource address outside every section")
            << put(farResources, 0xD8, 0xFFFFFFF0) << false;
    }
    void versionResource()
    {
        QFETCH(QByteArray, image);
        QFETCH(bool, found);
        const std::optional<FixedFileInfo> info = PeVersionReader::parse(image);
        const auto version = [](const std::optional<FixedFileInfo>& v) {
            return v ? std::pair(v->dwFileVersionMS, v->dwFileVersionLS) : std::pair(0u, 0u);
        };
        QCOMPARE(version(info), found ? std::pair(0x00040048u, 0x1C7A0000u) : std::pair(0u, 0u));
        // Cut short anywhere, an image gives no version.
        for (qsizetype size = 0; found && size < image.size(); ++size)
            QVERIFY2(!PeVersionReader::parse(image.left(size)), qPrintable(QString::number(size)));

        // The platform reads the same from a file, and nothing from a missing file or folder.
        QFile file(m_dir->filePath(u"hhctrl.ocx"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
        file.close();
        QCOMPARE(version(m_platform->fileVersionInfo(file.fileName())), version(info));
        QVERIFY(!m_platform->fileVersionInfo(m_dir->filePath(u"missing.ocx"_s)));
        QVERIFY(!m_platform->fileVersionInfo(m_dir->path()));
    }

    void longPathsFileSearchAndEnvironment()
    {
        const QString real = m_dir->filePath(u"real"_s);
        QVERIFY(QDir().mkpath(real));
        QVERIFY(QFile::link(real, m_dir->filePath(u"link"_s)));
        const QString canonical = QFileInfo(real).canonicalFilePath();
        QStringList longPaths;
        for (const char* path : {"link", "link/", "link/../real/", "missing"})
            longPaths.append(m_platform->longPathName(m_dir->filePath(path)).value_or(u"none"_s));
        QCOMPARE(longPaths,
                 (QStringList{canonical, canonical + u'/', canonical + u'/', u"none"_s}));

        // The first match of a pattern; wildcards only in the last part.
        QVERIFY(QDir(m_dir->path()).mkdir(u"help"_s));
        for (const char* name : {"help/Tessary.chm", "help/Library.chm"})
            QVERIFY(QFile(m_dir->filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly));
        QStringList found;
        for (const char* pattern : {"help/Tessary.chm", "help", "help/*.chm", "help/Tess?ry.*",
                                    "gone/*.chm", "help/", "h*/Tessary.chm"})
            found.append(m_platform->findFirstFile(m_dir->filePath(pattern)).value_or(u"none"_s));
        QCOMPARE(found, (QStringList{"Tessary.chm", "help", "Library.chm", "Tessary.chm", "none",
                                     "none", "none"}));

        qputenv("TESSARY_HELP_DIR", "/srv/help");
        qunsetenv("TESSARY_UNSET_DIR");
        QStringList expanded;
        for (const char* text : {"%TESSARY_HELP_DIR%/x/", "%TESSARY_UNSET_DIR%/x", "100% sure"})
            expanded.append(m_platform->expandEnvironmentStrings(QString::fromLatin1(text))
                                .value_or(u"none"_s));
        QCOMPARE(expanded, (QStringList{"/srv/help/x/", "%TESSARY_UNSET_DIR%/x", "100% sure"}));
    }

    // --- The help window --------------------------------------------------------------------

    void topicsAreShownWithTheirImagesAndLinks()
    {
        HTMLHelp help = sample();
        help.setHHTopicID(43); // not mapped: nothing opens
        help.HHDisplayTopicID();
        QCOMPARE(topic(), u"0 windows"_s);
        help.setHHTopicID(42);
        help.HHDisplayTopicID();
        HelpWindow* window = onlyWindow();
        // In the window type's title, owned by no form.
        QCOMPARE(std::tuple(topic(), window->windowTitle(), window->parentWidget() == nullptr,
                            window->isVisible()),
                 std::tuple(u"settings.html"_s, u"Sample Help"_s, true, true));
        auto* browser = part<HelpBrowser>(u"topic"_s);
        QVERIFY(browser->toPlainText().contains(u"giraffe"_s));

        // A relative link leads to the other page of the file, with its image.
        browser->setSource(QUrl(u"welcome.html"_s));
        QCOMPARE(topic(), u"welcome.html"_s);
        QVERIFY(browser->toPlainText().contains(u"The zebra crosses here."_s));
        const QVariant image =
            browser->loadResource(QTextDocument::ImageResource, QUrl(u"logo.png"_s));
        QCOMPARE(QImage::fromData(image.toByteArray()).size(), QSize(8, 8));
        // A page the file does not hold leaves the window as it was.
        QStringList topics;
        for (const char* page : {"missing.html", "settings.html"}) {
            help.setHHTopicURL(QString::fromLatin1(page));
            help.HHDisplayTopicURL();
            topics.append(topic());
        }
        QCOMPARE(topics, (QStringList{"welcome.html", "settings.html"}));
    }

    void contentsIndexAndSearchLeadToTheirPagesInOneWindow()
    {
        // No window type named: the file's default, Main, the one the later calls name.
        // Without a topic named, the default topic is shown and marked in the contents. The
        // calling form owns the window while the help stays on top.
        QWidget form;
        form.show();
        HTMLHelp onTop = sample(QString());
        onTop.setHHShowOnTop(true);
        onTop.HHDisplayContents(&form);
        QCOMPARE(shown(), u"welcome.html in Contents"_s);
        HelpWindow* window = onlyWindow();
        QCOMPARE(std::tuple(window->parentWidget(), window->isWindow(), window->isVisible()),
                 std::tuple(&form, true, true));
        auto* contents = part<QTreeWidget>(u"contents"_s);
        QTreeWidgetItem* welcome = contents->topLevelItem(0);
        QCOMPARE(std::tuple(contents->topLevelItemCount(), welcome->text(0), welcome->childCount(),
                            welcome->child(0)->text(0), contents->currentItem()),
                 std::tuple(1, u"Welcome"_s, 1, u"Settings & folders"_s, welcome));
        QTest::mouseClick(contents->viewport(), Qt::LeftButton, {},
                          contents->visualItemRect(welcome->child(0)).center());
        QCOMPARE(shown(), u"settings.html in Contents"_s);

        // A later call without an owner sets the window free again.
        sample().HHDisplayIndex();
        QCOMPARE(std::tuple(onlyWindow(), window->parentWidget(), shown()),
                 std::tuple(window, static_cast<QWidget*>(nullptr), u"settings.html in Index"_s));
        auto* filter = part<QLineEdit>(u"indexFilter"_s);
        QCOMPARE(itemTexts(part<QListWidget>(u"index"_s)), (QStringList{"folders", "welcome"}));
        QTest::keyClicks(filter, u"WEL"_s);
        QTest::keyClick(filter, Qt::Key_Return);
        QCOMPARE(shown(), u"welcome.html in Index"_s);

        sample().HHDisplaySearch();
        QCOMPARE(std::pair(onlyWindow(), shown()), std::pair(window, u"welcome.html in Search"_s));
        auto* text = part<QLineEdit>(u"searchText"_s);
        auto* results = part<QListWidget>(u"searchResults"_s);
        QCOMPARE(text->text() + QString::number(results->count()), u"0"_s); // nothing run
        QTest::keyClicks(text, u"Giraffe corner"_s);
        QTest::mouseClick(part<QPushButton>(u"searchButton"_s), Qt::LeftButton);
        QCOMPARE(itemTexts(results), QStringList{"Settings"});
        QTest::mouseClick(results->viewport(), Qt::LeftButton, {},
                          results->visualItemRect(results->item(0)).center());
        QCOMPARE(shown(), u"settings.html in Search"_s);
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
        (help.*(associative ? &HTMLHelp::HHDisplayALink : &HTMLHelp::HHDisplayKeyword))(nullptr);

        QCOMPARE(this->topic(), topic.isEmpty() ? u"0 windows"_s : topic);
        // Captioned with the message title, else with the help file's title.
        const QString caption = msgTitle.isEmpty() ? u"Sample"_s : msgTitle;
        QCOMPARE(m_boxes->texts() + QStringList(m_boxes->boxes().value(0).caption),
                 (box ? QStringList{msgText, caption} : QStringList{QString()}));
    }

    void textPopups_data()
    {
        QTest::addColumn<PopupRow>("row");
        const QString txt = u"/help/Sample.txt"_s;
        QTest::newRow("literal text")
            << PopupRow(HTMLHelp::PopupText, SampleFile, "", "A hint.", false, "A hint.", "");
        QTest::newRow("topic of the text file in the custom colours") << PopupRow(
            HTMLHelp::PopupFromFile, SampleFile, "popups.txt", "", true, "Second pop-up text.", "");
        QTest::newRow("string table, whatever the help file") << PopupRow(
            HTMLHelp::PopupFromStringTable, "none.txt", "", "", false, "From the table", "");
        QTest::newRow("unknown type") << PopupRow(3, SampleFile, "", "A hint.", false, "", "");
        QTest::newRow("literal text left empty")
            << PopupRow(HTMLHelp::PopupText, SampleFile, "", "", false, "", "");
        QTest::newRow("text file of a txt help file")
            << PopupRow(HTMLHelp::PopupFromFile, txt, "popups.txt", "", false, "",
                        txt + u" is not a valid HTML Help file."_s);
        QTest::newRow("htm pop-up file")
            << PopupRow(HTMLHelp::PopupFromFile, SampleFile, "popups.htm", "", false, "",
                        "The file specified as the text popup source, 'popups.htm', is not a "
                        "valid popup file.");
    }
    void textPopups()
    {
        QFETCH(PopupRow, row);
        const auto& [type, chmFile, popupFile, text, custom, shownText, box] = row;
        makePlatform({{200, u"From the table"_s}});
        if (!box.isEmpty())
            m_boxes->answer(MsgOk);
        QCursor::setPos(300, 200);
        HTMLHelp help = sample();
        help.setCHMFile(chmFile);
        help.setHHPopupType(type);
        help.setHHPopupID(200);
        help.setHHPopupFile(popupFile);
        help.setHHPopupText(text);
        help.setHHPopupTextFont(u"Liberation Serif"_s);
        help.setHHPopupTextSize(u"14"_s);
        help.setHHPopupTextBold(true);
        help.setHHPopupTextItalic(true);
        help.setHHPopupTextUnderline(true);
        help.setHHPopupTextColor(0x0000FF);       // red
        help.setHHPopupBackColor(0xFFFF00);       // cyan
        help.setHHPopupCustomTextColor(0x00FF00); // green
        help.setHHPopupCustomBackColor(0x202020);
        help.setHHPopupCustomColors(custom);
        help.HHDisplayPopup(nullptr);

        const QString styled = u" / Liberation Serif 14 bold italic underline / "_s;
        const QString colours = custom ? u"#00ff00 on #202020"_s : u"#ff0000 on #00ffff"_s;
        QCOMPARE(popupShown(), shownText.isEmpty() ? u"0 pop-ups"_s : shownText + styled + colours);
        QCOMPARE(m_boxes->texts(), box.isEmpty() ? QStringList() : QStringList{box});
        // A click closes it.
        if (QPointer<HelpPopup> popup = m_platform->helpControl().popups().value(0)) {
            QTest::mouseClick(popup, Qt::LeftButton);
            QTRY_VERIFY(!popup);
        }

        // A shown pop-up resets the styling for the next one, not the text: black on black
        // could not be read, so the system's colours are used. One that shows nothing keeps it.
        help.setHHPopupType(HTMLHelp::PopupText);
        if (text.isEmpty())
            help.setHHPopupText(u"Hint"_s);
        help.HHDisplayPopup(nullptr);
        const QPalette system = QApplication::palette();
        QCOMPARE(popupShown(),
                 (text.isEmpty() ? u"Hint"_s : text) +
                     (shownText.isEmpty()
                          ? styled + u"#ff0000 on #00ffff"_s
                          : u" / Arial 10 / "_s + system.color(QPalette::ToolTipText).name() +
                                u" on "_s + system.color(QPalette::ToolTipBase).name()));
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
        // One window for each window type, and the pop-up.
        const QList<QPointer<QWidget>> shown{windows().value(0), windows().value(1),
                                             m_platform->helpControl().popups().value(0)};
        QVERIFY(windows().size() == 2 && shown.last());

        help.HHClose();
        QVERIFY(windows().isEmpty() && m_platform->helpControl().popups().isEmpty());
        for (const QPointer<QWidget>& window : shown)
            QTRY_VERIFY(!window);
        sample().HHDisplayContents(); // the next request opens a fresh window
        QCOMPARE(topic(), u"welcome.html"_s);
    }

    // A damaged file shows no window, and the user is told which file could not be opened.
    void damagedHelpFileShowsNothing()
    {
        QFile sampleFile(SampleFile);
        QVERIFY(sampleFile.open(QIODevice::ReadOnly));
        HTMLHelp help = sample();
        help.setCHMFile(m_dir->filePath(u"damaged.chm"_s));
        help.setHHTopicURL(u"settings.html"_s);
        for (const QByteArray& content :
             {QByteArray("not a help file"), sampleFile.read(sampleFile.size() / 4)}) {
            QFile damaged(help.CHMFile());
            QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(content) == content.size());
            damaged.close();
            m_boxes->clear();
            m_boxes->answer(MsgOk);
            help.HHDisplayTopicURL();
            QCOMPARE(topic(), u"0 windows"_s);
            const QString path = QDir::toNativeSeparators(QFileInfo(damaged).canonicalFilePath());
            QCOMPARE(m_boxes->texts() << m_boxes->boxes().value(0).caption,
                     (QStringList{u"Cannot open the file: "_s + path, u"HTML Help"_s}));
        }
    }
};

QTEST_MAIN(TestHelpViewer)
#include "tst_HelpViewer.moc"
