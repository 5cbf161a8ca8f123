// The HTMLHelp class on the portable platform: our own help window showing a help file
// compiled at build time from sample/.

#include "HTMLHelp.h"
#include "HelpBrowser.h"
#include "HelpPopup.h"
#include "HelpWindow.h"
#include "PortableHelpPlatform.h"
#include "ScriptedMessageBoxService.h"

#include <QApplication>
#include <QDir>
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

} // namespace

class TestHelpWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void topicIsShownWithItsImageAndLinks();
    void contentsListsTheTableOfContents();
    void indexFindsPagesByKeyword();
    void searchFindsPagesByTheirText();
    void lookups_data();
    void lookups();
    void contextNumberShowsItsPage();
    void oneWindowPerWindowType();
    void ownerKeepsTheWindowAbove();
    void textPopups_data();
    void textPopups();
    void closeAllClosesEveryWindow();
    void registeredFileIsFoundByName();
    void damagedHelpFileShowsNothing();

private:
    HelpWindow* onlyWindow() const;
    HTMLHelp help() { return HTMLHelp(*m_platform); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedMessageBoxService> m_boxes;
    std::unique_ptr<PortableHelpPlatform> m_platform;
};

void TestHelpWindow::init()
{
    QVERIFY2(QFileInfo::exists(SampleFile), qPrintable(SampleFile));
    m_dir = std::make_unique<QTemporaryDir>();
    m_boxes = std::make_unique<ScriptedMessageBoxService>();
    m_platform =
        std::make_unique<PortableHelpPlatform>(*m_boxes, m_dir->filePath(u"registry.ini"_s));
}

void TestHelpWindow::cleanup()
{
    m_platform.reset();
    QCOMPARE(m_boxes->unexpected(), 0);
}

HelpWindow* TestHelpWindow::onlyWindow() const
{
    const QList<HelpWindow*> windows = m_platform->helpControl().windows();
    return windows.size() == 1 ? windows.first() : nullptr;
}

void TestHelpWindow::topicIsShownWithItsImageAndLinks()
{
    HTMLHelp help(*m_platform);
    help.setCHMFile(SampleFile);
    help.setHHWindow(u"Main"_s);
    help.setHHTopicURL(u"welcome.html"_s);
    help.HHDisplayTopicURL();

    HelpWindow* window = onlyWindow();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), u"Sample Help"_s); // the window type's title
    QCOMPARE(window->parentWidget(), nullptr);
    QCOMPARE(window->currentTopic(), u"welcome.html"_s);
    auto* browser = window->findChild<HelpBrowser*>(u"topic"_s);
    QVERIFY(browser->toPlainText().contains(u"The zebra crosses here."_s));
    const QVariant image = browser->loadResource(QTextDocument::ImageResource, QUrl(u"logo.png"_s));
    QCOMPARE(QImage::fromData(image.toByteArray()).size(), QSize(8, 8));

    // A relative link leads to the other page of the file.
    browser->setSource(QUrl(u"settings.html"_s));
    QCOMPARE(window->currentTopic(), u"settings.html"_s);
    QVERIFY(browser->toPlainText().contains(u"giraffe"_s));
    // A page the file does not hold leaves the window as it was.
    help.setHHTopicURL(u"missing.html"_s);
    help.HHDisplayTopicURL();
    QCOMPARE(window->currentTopic(), u"settings.html"_s);
}

void TestHelpWindow::contentsListsTheTableOfContents()
{
    HTMLHelp help(*m_platform);
    help.setCHMFile(SampleFile);
    help.HHDisplayContents();

    HelpWindow* window = onlyWindow();
    QVERIFY(window);
    auto* tabs = window->findChild<QTabWidget*>(u"navigation"_s);
    auto* contents = window->findChild<QTreeWidget*>(u"contents"_s);
    QVERIFY(contents);
    QCOMPARE(tabs->currentWidget(), contents);
    QCOMPARE(contents->topLevelItemCount(), 1);
    QTreeWidgetItem* welcome = contents->topLevelItem(0);
    QCOMPARE(welcome->text(0), u"Welcome"_s);
    QCOMPARE(welcome->childCount(), 1);
    QCOMPARE(welcome->child(0)->text(0), u"Settings & folders"_s);
    // Without a topic named, the default topic is shown and marked in the contents.
    QCOMPARE(window->currentTopic(), u"welcome.html"_s);
    QCOMPARE(contents->currentItem(), welcome);

    const QRect row = contents->visualItemRect(welcome->child(0));
    QTest::mouseClick(contents->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(window->currentTopic(), u"settings.html"_s);
}

void TestHelpWindow::indexFindsPagesByKeyword()
{
    HTMLHelp help(*m_platform);
    help.setCHMFile(SampleFile);
    help.setHHWindow(u"Main"_s);
    help.HHDisplayIndex();

    HelpWindow* window = onlyWindow();
    QVERIFY(window);
    auto* index = window->findChild<QListWidget*>(u"index"_s);
    auto* filter = window->findChild<QLineEdit*>(u"indexFilter"_s);
    QVERIFY(index && filter);
    QCOMPARE(window->findChild<QTabWidget*>(u"navigation"_s)->currentWidget(),
             index->parentWidget());
    QCOMPARE(itemTexts(index), (QStringList{"folders", "welcome"}));

    QTest::keyClicks(filter, u"FOL"_s);
    QCOMPARE(index->currentItem()->text(), u"folders"_s);
    QTest::keyClick(filter, Qt::Key_Return);
    QCOMPARE(window->currentTopic(), u"settings.html"_s);
}

void TestHelpWindow::searchFindsPagesByTheirText()
{
    HTMLHelp help(*m_platform);
    help.setCHMFile(SampleFile);
    help.setHHWindow(u"Main"_s);
    help.HHDisplaySearch();

    HelpWindow* window = onlyWindow();
    QVERIFY(window);
    auto* text = window->findChild<QLineEdit*>(u"searchText"_s);
    auto* button = window->findChild<QPushButton*>(u"searchButton"_s);
    auto* results = window->findChild<QListWidget*>(u"searchResults"_s);
    QVERIFY(text && button && results);
    QCOMPARE(window->findChild<QTabWidget*>(u"navigation"_s)->currentWidget(),
             text->parentWidget());
    QVERIFY(text->text().isEmpty());
    QCOMPARE(results->count(), 0); // an empty query runs nothing

    QTest::keyClicks(text, u"Giraffe corner"_s);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(itemTexts(results), QStringList{"Settings"});
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {},
                      results->visualItemRect(results->item(0)).center());
    QCOMPARE(window->currentTopic(), u"settings.html"_s);

    text->clear();
    QTest::keyClicks(text, u"zebra giraffe"_s);
    QTest::keyClick(text, Qt::Key_Return);
    QCOMPARE(itemTexts(results), QStringList{"No topics found."});
}

void TestHelpWindow::lookups_data()
{
    QTest::addColumn<bool>("associative");
    QTest::addColumn<QString>("names");
    QTest::addColumn<QString>("defaultUrl");
    QTest::addColumn<QString>("msgText");
    QTest::addColumn<QString>("msgTitle");
    QTest::addColumn<QString>("expectedTopic"); // empty: no window
    QTest::addColumn<QString>("expectedBox");
    QTest::addColumn<QString>("expectedCaption");

    QTest::newRow("keyword found") << false << u"nothing; Folders"_s << QString() << u"Not here"_s
                                   << QString() << u"settings.html"_s << QString() << QString();
    QTest::newRow("keyword falls back to the default topic")
        << false << u"nothing"_s << u"settings.html"_s << u"Not here"_s << QString()
        << u"settings.html"_s << QString() << QString();
    QTest::newRow("keyword falls back to the message")
        << false << u"nothing"_s << QString() << u"Not here"_s << u"Sample lookup"_s
        << u"welcome.html"_s << u"Not here"_s << u"Sample lookup"_s;
    QTest::newRow("keyword with nothing to fall back to")
        << false << QString() << QString() << QString() << QString() << u"welcome.html"_s
        << QString() << QString();
    QTest::newRow("link found") << true << u"begin"_s << QString() << QString() << QString()
                                << u"welcome.html"_s << QString() << QString();
    QTest::newRow("link falls back to the message")
        << true << u"missing"_s << QString() << u"No link"_s << QString() << QString()
        << u"No link"_s << u"Sample"_s;
}

void TestHelpWindow::lookups()
{
    QFETCH(bool, associative);
    QFETCH(QString, names);
    QFETCH(QString, defaultUrl);
    QFETCH(QString, msgText);
    QFETCH(QString, msgTitle);
    QFETCH(QString, expectedTopic);
    QFETCH(QString, expectedBox);
    QFETCH(QString, expectedCaption);

    if (!expectedBox.isEmpty())
        m_boxes->answer(MsgOk);
    HTMLHelp help(*m_platform);
    help.setCHMFile(SampleFile);
    help.setHHWindow(u"Main"_s);
    help.setHHDefaultURL(defaultUrl);
    help.setHHMsgText(msgText);
    help.setHHMsgTitle(msgTitle);
    if (associative) {
        help.setHHALink(names);
        help.HHDisplayALink();
    } else {
        help.setHHKeyword(names);
        help.HHDisplayKeyword();
    }

    HelpWindow* window = onlyWindow();
    QCOMPARE(window != nullptr, !expectedTopic.isEmpty());
    if (window)
        QCOMPARE(window->currentTopic(), expectedTopic);
    QCOMPARE(m_boxes->texts(), expectedBox.isEmpty() ? QStringList() : QStringList{expectedBox});
    if (!expectedBox.isEmpty())
        QCOMPARE(m_boxes->boxes().first().caption, expectedCaption);
}

void TestHelpWindow::contextNumberShowsItsPage()
{
    HTMLHelp help(*m_platform);
    help.setCHMFile(SampleFile);
    help.setHHTopicID(42);
    help.HHDisplayTopicID();
    QVERIFY(onlyWindow());
    QCOMPARE(onlyWindow()->currentTopic(), u"settings.html"_s);

    help.HHClose();
    help.setHHTopicID(43); // not mapped: nothing opens
    help.HHDisplayTopicID();
    QVERIFY(m_platform->helpControl().windows().isEmpty());
}

void TestHelpWindow::oneWindowPerWindowType()
{
    HTMLHelp help(*m_platform);
    help.setCHMFile(SampleFile);
    help.setHHWindow(u"Main"_s);
    help.setHHTopicURL(u"welcome.html"_s);
    help.HHDisplayTopicURL();
    help.setHHTopicURL(u"settings.html"_s);
    help.HHDisplayTopicURL();
    help.setHHWindow(QString()); // the file's default window is Main as well
    help.HHDisplayIndex();

    HelpWindow* window = onlyWindow();
    QVERIFY(window);
    QCOMPARE(window->currentTopic(), u"settings.html"_s);

    help.setHHWindow(u"Second"_s);
    help.HHDisplayContents();
    QCOMPARE(m_platform->helpControl().windows().size(), 2);
}

void TestHelpWindow::ownerKeepsTheWindowAbove()
{
    QWidget form;
    form.show();
    HTMLHelp help(*m_platform);
    help.setCHMFile(SampleFile);
    help.setHHShowOnTop(true);
    help.HHDisplayContents(&form);

    HelpWindow* window = onlyWindow();
    QVERIFY(window);
    QCOMPARE(window->parentWidget(), &form);
    QVERIFY(window->isWindow());
    QVERIFY(window->isVisible());

    // A later call without an owner sets the window free again.
    help.setHHShowOnTop(false);
    help.HHDisplayContents(&form);
    QCOMPARE(onlyWindow(), window);
    QCOMPARE(window->parentWidget(), nullptr);
}

void TestHelpWindow::textPopups_data()
{
    QTest::addColumn<qint32>("type");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<bool>("custom");

    QTest::newRow("literal text") << qint32(HTMLHelp::PopupText) << u"A hint."_s << false;
    QTest::newRow("topic of the text file")
        << qint32(HTMLHelp::PopupFromFile) << u"Second pop-up text."_s << true;
    QTest::newRow("string table") << qint32(HTMLHelp::PopupFromStringTable) << u"From the table"_s
                                  << false;
}

void TestHelpWindow::textPopups()
{
    QFETCH(qint32, type);
    QFETCH(QString, expectedText);
    QFETCH(bool, custom);

    m_platform =
        std::make_unique<PortableHelpPlatform>(*m_boxes, m_dir->filePath(u"registry.ini"_s),
                                               QHash<quint32, QString>{{200, u"From the table"_s}});
    QWidget form;
    HTMLHelp help(*m_platform);
    help.setCHMFile(SampleFile);
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
    HelpPopup* popup = popups.first();
    QVERIFY(popup->isVisible());
    QCOMPARE(popup->text(), expectedText);
    auto* label = popup->findChild<QLabel*>();
    QCOMPARE(label->font().pointSize(), 14);
    QVERIFY(label->font().bold());
    QVERIFY(label->font().underline());
    QVERIFY(!label->font().italic());
    const QPalette colours = popup->palette();
    if (custom) {
        QCOMPARE(colours.color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(colours.color(QPalette::Window), QColor(0, 255, 255));
    } else {
        // Black on black (both colours 0) could not be read: the system's colours are used.
        QVERIFY(colours.color(QPalette::WindowText) != colours.color(QPalette::Window));
    }

    // A click closes it.
    QPointer<HelpPopup> guard(popup);
    QTest::mouseClick(popup, Qt::LeftButton);
    QTRY_VERIFY(!guard);
}

void TestHelpWindow::closeAllClosesEveryWindow()
{
    HTMLHelp help(*m_platform);
    help.setCHMFile(SampleFile);
    help.setHHWindow(u"Main"_s);
    help.HHDisplayContents();
    help.setHHWindow(u"Second"_s);
    help.HHDisplayIndex();
    help.setHHPopupType(HTMLHelp::PopupText);
    help.setHHPopupText(u"A hint."_s);
    help.HHDisplayPopup(nullptr);
    QCOMPARE(m_platform->helpControl().windows().size(), 2);
    QList<QPointer<QWidget>> shown;
    for (QWidget* window : m_platform->helpControl().windows())
        shown.append(window);
    shown.append(m_platform->helpControl().popups().value(0));
    QVERIFY(shown.last());

    help.HHClose();
    QVERIFY(m_platform->helpControl().windows().isEmpty());
    QVERIFY(m_platform->helpControl().popups().isEmpty());
    for (const QPointer<QWidget>& window : shown)
        QTRY_VERIFY(!window);

    // The next request opens a fresh window.
    help.setHHWindow(u"Main"_s);
    help.HHDisplayContents();
    QVERIFY(onlyWindow());
}

void TestHelpWindow::registeredFileIsFoundByName()
{
    QTemporaryDir programFolder;
    m_platform->setApplicationFolder(programFolder.path());
    HTMLHelp help(*m_platform);
    QString name = SampleFile;
    help.HHRegister(name);
    QCOMPARE(name, u"Sample.chm"_s);
    QVERIFY(m_boxes->boxes().isEmpty());

    // A fresh platform on the same registry file finds the file by its bare name.
    m_platform =
        std::make_unique<PortableHelpPlatform>(*m_boxes, m_dir->filePath(u"registry.ini"_s));
    m_platform->setApplicationFolder(programFolder.path());
    HTMLHelp later(*m_platform);
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

void TestHelpWindow::damagedHelpFileShowsNothing()
{
    QFile sample(SampleFile);
    QVERIFY(sample.open(QIODevice::ReadOnly));
    const QByteArray bytes = sample.readAll();
    for (const QByteArray& content :
         {QByteArray("not a help file"), bytes.left(bytes.size() / 4)}) {
        QFile damaged(m_dir->filePath(u"damaged.chm"_s));
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write(content);
        damaged.close();
        HTMLHelp help(*m_platform);
        help.setCHMFile(damaged.fileName());
        help.setHHTopicURL(u"settings.html"_s);
        m_boxes->clear();
        m_boxes->answer(MsgOk);
        help.HHDisplayTopicURL();
        QVERIFY(m_platform->helpControl().windows().isEmpty());
        const QString path = QDir::toNativeSeparators(QFileInfo(damaged).canonicalFilePath());
        QCOMPARE(m_boxes->texts(), QStringList{u"Cannot open the file: "_s + path});
        QCOMPARE(m_boxes->boxes().first().caption, u"HTML Help"_s);
    }
}

int runHelpWindowTests(int argc, char** argv)
{
    TestHelpWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_HelpWindow.moc"
