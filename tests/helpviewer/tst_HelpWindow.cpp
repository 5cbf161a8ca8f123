// The HTMLHelp class on the portable platform: our own help window showing a help file
// compiled at build time from sample/.

#include "HTMLHelp.h"
#include "HelpBrowser.h"
#include "HelpPopup.h"
#include "HelpWindow.h"
#include "PortableHelpPlatform.h"
#include "ScriptedMessageBoxService.h"

#include <QApplication>
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

void click(QAbstractItemView* view, const QModelIndex& index)
{
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

// a link lookup; names, default topic, message, title; the topic shown (empty: no window);
// whether the message is shown
using LookupRow = std::tuple<bool, QString, QString, QString, QString, QString, bool>;
// type; the text shown; custom colours
using PopupRow = std::tuple<qint32, QString, bool>;

} // namespace

class TestHelpWindow : public QObject
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
        m_boxes = std::make_unique<ScriptedMessageBoxService>();
        makePlatform();
    }
    void cleanup()
    {
        m_platform.reset();
        QCOMPARE(m_boxes->unexpected(), 0);
    }

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

int runPortableHelpPlatformTests(int argc, char** argv);

// Runs the test classes of the help viewer folder in one executable.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestHelpWindow test;
    const int failures = QTest::qExec(&test, argc, argv) + runPortableHelpPlatformTests(argc, argv);
    return failures == 0 ? 0 : 1;
}

#include "tst_HelpWindow.moc"
