// The help-topic routine and the About box.

#include "FakeHelpPlatform.h"
#include "HTMLHelp.h"
#include "HtmlHelpApi.h"
#include "ProgramFolder.h"
#include "RecordingLauncher.h"
#include "ScriptedMessageBoxService.h"
#include "ShowHelpTopic.h"
#include "frmAbout.h"

#ifdef TESSARY_PORTABLE_HELP
#include "HelpBrowser.h"
#include "HelpWindow.h"
#include "PortableHelpPlatform.h"
#include "PortableHtmlHelp.h"
#endif

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace tessary;
using namespace Qt::StringLiterals;

namespace {

const QString missingHelp = u"Help file: \"Tessary.chm\" is missing, please download a \r\n"
                            "new help file from Brovane's web site."_s;

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// The mouse moving over a widget, as the window system reports it.
void moveMouseOver(QWidget* widget, QPoint at)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(widget->mapToGlobal(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

} // namespace

class TestHelpTopics : public QObject
{
    Q_OBJECT

private slots:
    void topicWordsReachTheHelpControl_data();
    void topicWordsReachTheHelpControl();
    void aMissingHelpFileIsReportedUntilItComesBack();
#ifdef TESSARY_PORTABLE_HELP
    void theProgramsOwnHelpFileHoldsItsPagesContentsAndIndex();
#endif
};

void TestHelpTopics::topicWordsReachTheHelpControl_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<int>("command"); // -1: no call
    QTest::addColumn<QString>("page");
    QTest::newRow("About") << u"About"_s << int(HH_DISPLAY_TOPIC) << u"abouttessary.html"_s;
    QTest::newRow("Settings") << u"Settings"_s << int(HH_DISPLAY_TOPIC) << u"settings.html"_s;
    QTest::newRow("Contents") << u"Contents"_s << int(HH_DISPLAY_TOC) << QString();
    QTest::newRow("Index") << u"Index"_s << int(HH_DISPLAY_INDEX) << QString();
    QTest::newRow("contents in lower case") << u"contents"_s << -1 << QString();
    QTest::newRow("another word") << u"Search"_s << -1 << QString();
}

void TestHelpTopics::topicWordsReachTheHelpControl()
{
    QFETCH(QString, topic);
    QFETCH(int, command);
    QFETCH(QString, page);
    FakeHelpPlatform platform;
    ScriptedMessageBoxService boxes;
    const ProgramFolder folder(u"C:\\Program Files\\Tessary"_s);
    const QString helpFile = folder.filePath(u"Tessary.chm"_s);
    platform.addFile(helpFile);

    ShowHelpTopic(topic, platform, boxes, folder);

    QVERIFY(boxes.boxes().isEmpty());
    QVERIFY(platform.boxes().isEmpty());
    if (command < 0) {
        QVERIFY(platform.helpCalls().isEmpty());
        return;
    }
    QCOMPARE(platform.helpCalls().size(), 1);
    const FakeHelpPlatform::HelpCall& call = platform.helpCalls().first();
    QCOMPARE(call.owner, nullptr);
    QCOMPARE(call.target, std::optional<QString>(helpFile + u">Main"_s));
    QCOMPARE(int(call.command), command);
    if (!page.isEmpty())
        QCOMPARE(call.text, std::optional<QString>(page));
    else
        QCOMPARE(call.number, 0);
}

void TestHelpTopics::aMissingHelpFileIsReportedUntilItComesBack()
{
    FakeHelpPlatform platform;
    ScriptedMessageBoxService boxes;
    const ProgramFolder folder(u"C:\\Tessary"_s);
    for (const QString& topic : {u"Contents"_s, u"About"_s, u"Settings"_s})
        ShowHelpTopic(topic, platform, boxes, folder);
    QCOMPARE(boxes.boxes().size(), 3);
    for (const auto& box : boxes.boxes()) {
        QCOMPARE(box.text, missingHelp);
        QCOMPARE(box.caption, u"Tessary"_s);
        QCOMPARE(box.buttons, MsgButtons::Ok);
        QCOMPARE(box.icon, MsgIcon::None);
    }
    QVERIFY(platform.helpCalls().isEmpty());

    // Copied in while the program runs, the file is found at the next request.
    platform.addFile(folder.filePath(u"Tessary.chm"_s));
    ShowHelpTopic(u"Contents"_s, platform, boxes, folder);
    QCOMPARE(boxes.boxes().size(), 3);
    QCOMPARE(platform.helpCalls().size(), 1);
}

#ifdef TESSARY_PORTABLE_HELP
void TestHelpTopics::theProgramsOwnHelpFileHoldsItsPagesContentsAndIndex()
{
    QTemporaryDir dir;
    QVERIFY(QFile::copy(QStringLiteral(TESSARY_HELP_FILE), dir.filePath(u"Tessary.chm"_s)));
    ScriptedMessageBoxService boxes;
    PortableHelpPlatform platform(boxes, dir.filePath(u"registry.ini"_s));
    const ProgramFolder folder(dir.path());

    ShowHelpTopic(u"About"_s, platform, boxes, folder);
    const QList<HelpWindow*> windows = platform.helpControl().windows();
    QCOMPARE(windows.size(), 1);
    HelpWindow* window = windows.first();
    QCOMPARE(window->windowTitle(), u"Tessary Help"_s);
    QCOMPARE(window->currentTopic(), u"abouttessary.html"_s);
    auto* browser = window->findChild<HelpBrowser*>(u"topic"_s);
    QVERIFY(browser->toPlainText().contains(u"Your pages are safe"_s));

    ShowHelpTopic(u"Settings"_s, platform, boxes, folder);
    QCOMPARE(platform.helpControl().windows().size(), 1); // the same window, reused
    QCOMPARE(window->currentTopic(), u"settings.html"_s);
    QVERIFY(browser->toPlainText().contains(u"Default Source Directory"_s));

    ShowHelpTopic(u"Contents"_s, platform, boxes, folder);
    auto* contents = window->findChild<QTreeWidget*>(u"contents"_s);
    QCOMPARE(window->findChild<QTabWidget*>(u"navigation"_s)->currentWidget(), contents);
    QStringList titles;
    for (QTreeWidgetItemIterator it(contents); *it; ++it)
        titles.append((*it)->text(0));
    for (const QString& title :
         {u"About Tessary"_s, u"The main window"_s, u"Page modes, Copy and Move"_s,
          u"Transferring a range of pages"_s, u"Reordering pages"_s, u"Keyboard shortcuts"_s,
          u"Settings"_s, u"Troubleshooting"_s})
        QVERIFY2(titles.contains(title), qPrintable(title));

    ShowHelpTopic(u"Index"_s, platform, boxes, folder);
    auto* index = window->findChild<QListWidget*>(u"index"_s);
    QCOMPARE(window->findChild<QTabWidget*>(u"navigation"_s)->currentWidget(),
             index->parentWidget());
    QStringList keywords;
    for (int i = 0; i < index->count(); ++i)
        keywords.append(index->item(i)->text());
    for (const QString& keyword :
         {u"Append"_s, u"Keyboard shortcuts"_s, u"Reorder"_s, u"Settings"_s, u"Zoom"_s})
        QVERIFY2(keywords.contains(keyword), qPrintable(keyword));
    QCOMPARE(boxes.unexpected(), 0);
    HTMLHelp(platform).HHClose();
    QVERIFY(platform.helpControl().windows().isEmpty() || !window->isVisible());
}
#endif

class TestAboutBox : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void theVersionLineComesFromTheVersionRecord_data();
    void theVersionLineComesFromTheVersionRecord();
    void theDescriptionIsReadAtEveryShowing();
    void theAddressLightsUpUntilTheMouseReachesTheBackground();
    void theAddressWritesAMail();
    void okIsTheDefaultAndTheCancelButton();

private:
    std::unique_ptr<frmAbout> box(const QString& version = u"0.9.0.5"_s);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProgramFolder> m_folder;
    RecordingLauncher m_launcher;
    ScriptedMessageBoxService m_boxes;
};

void TestAboutBox::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_folder = std::make_unique<ProgramFolder>(m_dir->path());
    m_boxes.clear();
}

std::unique_ptr<frmAbout> TestAboutBox::box(const QString& version)
{
    return std::make_unique<frmAbout>(nullptr, *m_folder, m_launcher, m_boxes, version);
}

void TestAboutBox::theVersionLineComesFromTheVersionRecord_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("line");
    QTest::newRow("the program's") << u"0.9.0.5"_s << u"Version 0.9.5"_s;
    QTest::newRow("build left out") << u"1.2.3.4"_s << u"Version 1.2.4"_s;
    QTest::newRow("no leading zeros") << u"10.01.0.012"_s << u"Version 10.1.12"_s;
    QTest::newRow("not a record") << u"0.9.5"_s << QString();
}

void TestAboutBox::theVersionLineComesFromTheVersionRecord()
{
    QFETCH(QString, record);
    QFETCH(QString, line);
    const auto about = box(record);
    QCOMPARE(about->lblVersion->text(), line);
    QCOMPARE(about->lblTitle->text(), u"Tessary"_s);
    QCOMPARE(about->windowTitle(), u"Tessary"_s);
}

void TestAboutBox::theDescriptionIsReadAtEveryShowing()
{
    const QString about = m_folder->filePath(u"about.txt"_s);
    QCOMPARE(box()->txtDescription->toPlainText(), u"About file missing, reinstall."_s);
    writeFile(about, "");
    QCOMPARE(box()->txtDescription->toPlainText(), QString());
    writeFile(about, "Pages in, pages out.\nLine two.");
    QCOMPARE(box()->txtDescription->toPlainText(), u"Pages in, pages out.\nLine two."_s);
    QVERIFY(box()->txtDescription->isReadOnly());
}

void TestAboutBox::theAddressLightsUpUntilTheMouseReachesTheBackground()
{
    const auto about = box();
    about->show();
    QVERIFY(QTest::qWaitForWindowExposed(about.get()));
    auto colour = [&] {
        return about->lblEmail->palette().color(QPalette::WindowText);
    };
    QCOMPARE(colour(), QColor(Qt::black));
    QVERIFY(!about->lblEmail->font().italic());

    moveMouseOver(about->lblEmail, about->lblEmail->rect().center());
    QCOMPARE(colour(), QColor(Qt::blue));
    QVERIFY(about->lblEmail->font().italic());
    // Straight onto the OK button or the description: the address stays lit.
    moveMouseOver(about->cmdOK, about->cmdOK->rect().center());
    moveMouseOver(about->txtDescription->viewport(),
                  about->txtDescription->viewport()->rect().center());
    QCOMPARE(colour(), QColor(Qt::blue));
    // Over the box's own background it turns black and upright again.
    moveMouseOver(about.get(), QPoint(2, about->height() - 2));
    QCOMPARE(colour(), QColor(Qt::black));
    QVERIFY(!about->lblEmail->font().italic());
}

void TestAboutBox::theAddressWritesAMail()
{
    const auto about = box();
    about->show();
    QTest::mouseClick(about->lblEmail, Qt::LeftButton, {}, about->lblEmail->rect().center());
    QCOMPARE(m_launcher.openedUrls().size(), 1);
    QCOMPARE(m_launcher.openedUrls().first(), QUrl(u"mailto:"_s + frmAbout::ContactAddress));
    QVERIFY(m_boxes.boxes().isEmpty());

    // Without a mail program the user is told so, and the box stays open.
    RecordingLauncher failing;
    failing.failStarts();
    frmAbout other(nullptr, *m_folder, failing, m_boxes, u"0.9.0.5"_s);
    other.show();
    QTest::mouseClick(other.lblEmail, Qt::LeftButton, {}, other.lblEmail->rect().center());
    QCOMPARE(m_boxes.boxes().size(), 1);
    QVERIFY(m_boxes.boxes().first().text.contains(frmAbout::ContactAddress));
    QVERIFY(other.isVisible());
}

void TestAboutBox::okIsTheDefaultAndTheCancelButton()
{
    const auto about = box();
    about->show();
    QVERIFY(about->cmdOK->isDefault());
    QTest::keyClick(about.get(), Qt::Key_Escape);
    QVERIFY(!about->isVisible());
    about->show();
    QTest::keyClick(about.get(), Qt::Key_Return);
    QVERIFY(!about->isVisible());
    QCOMPARE(about->result(), int(QDialog::Accepted));
}

int runHelpTopicTests(int argc, char** argv)
{
    TestHelpTopics topics;
    TestAboutBox about;
    return QTest::qExec(&topics, argc, argv) + QTest::qExec(&about, argc, argv);
}

#include "tst_HelpTopics.moc"
