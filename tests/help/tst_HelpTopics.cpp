// The help-topic routine and the About box.

#include "FakeHelpPlatform.h"
#include "HTMLHelp.h"
#include "ProgramFolder.h"
#include "RecordingLauncher.h"
#include "ScriptedMessageBoxService.h"
#include "ShowHelpTopic.h"
#include "frmAbout.h"

#ifdef TESSARY_PORTABLE_HELP
#include "HelpBrowser.h"
#include "HelpWindow.h"
#include "PortableHelpPlatform.h"
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

class TestHelpTopics : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProgramFolder> m_folder;
    std::optional<RecordingLauncher> m_launcher;
    ScriptedMessageBoxService m_boxes;

    std::unique_ptr<frmAbout> aboutBox(const QString& version = u"0.9.0.5"_s)
    {
        return std::make_unique<frmAbout>(nullptr, *m_folder, *m_launcher, m_boxes, version);
    }
    // The mouse moving over a widget, as the window system reports it.
    static void moveMouseOver(QWidget* widget, QPoint at)
    {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(widget->mapToGlobal(at)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_folder = std::make_unique<ProgramFolder>(m_dir->path());
        m_launcher.emplace();
        m_boxes.clear();
    }

    void topicWordsReachTheHelpControlOnceTheFileIsThere_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<int>("command"); // -1: no call
        QTest::addColumn<QString>("page");
        QTest::newRow("About") << "About" << int(HH_DISPLAY_TOPIC) << "abouttessary.html";
        QTest::newRow("Settings") << "Settings" << int(HH_DISPLAY_TOPIC) << "settings.html";
        QTest::newRow("Contents") << "Contents" << int(HH_DISPLAY_TOC) << "";
        QTest::newRow("Index") << "Index" << int(HH_DISPLAY_INDEX) << "";
        QTest::newRow("contents in lower case") << "contents" << -1 << "";
        QTest::newRow("another word") << "Search" << -1 << "";
    }
    void topicWordsReachTheHelpControlOnceTheFileIsThere()
    {
        QFETCH(QString, topic);
        QFETCH(int, command);
        QFETCH(QString, page);
        FakeHelpPlatform platform;
        const ProgramFolder folder(u"C:\\Program Files\\Tessary"_s);
        const QString helpFile = folder.filePath(u"Tessary.chm"_s);

        // Without the file the user is told so, whatever the word.
        ShowHelpTopic(topic, platform, m_boxes, folder);
        QCOMPARE(m_boxes.texts(), QStringList{"Help file: \"Tessary.chm\" is missing, please "
                                              "download a \r\nnew help file from Brovane's web "
                                              "site."});
        QCOMPARE(m_boxes.boxes().first().caption, u"Tessary"_s);
        QCOMPARE(m_boxes.boxes().first().buttons, MsgButtons::Ok);
        QCOMPARE(m_boxes.boxes().first().icon, MsgIcon::None);
        QVERIFY(platform.helpCalls().isEmpty());

        // Copied in while the program runs, the file is found at the next request.
        platform.addFile(helpFile);
        ShowHelpTopic(topic, platform, m_boxes, folder);
        QCOMPARE(m_boxes.boxes().size(), 1);
        QVERIFY(platform.boxes().isEmpty());
        QCOMPARE(platform.helpCalls().size(), command < 0 ? 0 : 1);
        for (const FakeHelpPlatform::HelpCall& call : platform.helpCalls()) {
            QCOMPARE(call.owner, nullptr);
            QCOMPARE(call.target.value_or(QString()), helpFile + u">Main"_s);
            QCOMPARE(int(call.command), command);
            QCOMPARE(call.text.value_or(QString()), page);
            QCOMPARE(call.number, 0);
        }
    }

#ifdef TESSARY_PORTABLE_HELP
    void theProgramsOwnHelpFileHoldsItsPagesContentsAndIndex()
    {
        QVERIFY(
            QFile::copy(QStringLiteral(TESSARY_HELP_FILE), m_folder->filePath(u"Tessary.chm"_s)));
        PortableHelpPlatform platform(m_boxes, m_dir->filePath(u"registry.ini"_s));

        ShowHelpTopic(u"About"_s, platform, m_boxes, *m_folder);
        QCOMPARE(platform.helpControl().windows().size(), 1);
        HelpWindow* window = platform.helpControl().windows().first();
        QCOMPARE(window->windowTitle(), u"Tessary Help"_s);
        QCOMPARE(window->currentTopic(), u"abouttessary.html"_s);
        auto* browser = window->findChild<HelpBrowser*>(u"topic"_s);
        QVERIFY(browser->toPlainText().contains(u"Your pages are safe"_s));

        ShowHelpTopic(u"Settings"_s, platform, m_boxes, *m_folder);
        QCOMPARE(platform.helpControl().windows().size(), 1); // the same window, reused
        QCOMPARE(window->currentTopic(), u"settings.html"_s);
        QVERIFY(browser->toPlainText().contains(u"Default Source Directory"_s));

        auto* tabs = window->findChild<QTabWidget*>(u"navigation"_s);
        ShowHelpTopic(u"Contents"_s, platform, m_boxes, *m_folder);
        auto* contents = window->findChild<QTreeWidget*>(u"contents"_s);
        QCOMPARE(tabs->currentWidget(), contents);
        for (const char* title : {"About Tessary", "The main window", "Page modes, Copy and Move",
                                  "Transferring a range of pages", "Reordering pages",
                                  "Keyboard shortcuts", "Settings", "Troubleshooting"})
            QVERIFY2(!contents->findItems(QLatin1String(title), Qt::MatchRecursive).isEmpty(),
                     title);

        ShowHelpTopic(u"Index"_s, platform, m_boxes, *m_folder);
        auto* index = window->findChild<QListWidget*>(u"index"_s);
        QCOMPARE(tabs->currentWidget(), index->parentWidget());
        for (const char* keyword : {"Append", "Keyboard shortcuts", "Reorder", "Settings", "Zoom"})
            QVERIFY2(!index->findItems(QLatin1String(keyword), Qt::MatchExactly).isEmpty(),
                     keyword);
        QCOMPARE(m_boxes.unexpected(), 0);
        HTMLHelp(platform).HHClose();
        QVERIFY(platform.helpControl().windows().isEmpty() || !window->isVisible());
    }
#endif

    // --- The About box ------------------------------------------------------------------------

    void theVersionLineComesFromTheVersionRecord_data()
    {
        QTest::addColumn<QString>("record");
        QTest::addColumn<QString>("line");
        QTest::newRow("the program's") << u"0.9.0.5"_s << "Version 0.9.5";
        QTest::newRow("build left out") << u"1.2.3.4"_s << "Version 1.2.4";
        QTest::newRow("no leading zeros") << u"10.01.0.012"_s << "Version 10.1.12";
        QTest::newRow("not a record") << u"0.9.5"_s << "";
    }
    void theVersionLineComesFromTheVersionRecord()
    {
        QFETCH(QString, record);
        QFETCH(QString, line);
        const auto about = aboutBox(record);
        QCOMPARE(about->lblVersion->text(), line);
        QCOMPARE(about->lblTitle->text(), u"Tessary"_s);
        QCOMPARE(about->windowTitle(), u"Tessary"_s);
    }

    void theDescriptionIsReadAtEveryShowing()
    {
        QCOMPARE(aboutBox()->txtDescription->toPlainText(), u"About file missing, reinstall."_s);
        QFile about(m_folder->filePath(u"about.txt"_s));
        QVERIFY(about.open(QIODevice::WriteOnly));
        QCOMPARE(aboutBox()->txtDescription->toPlainText(), QString());
        about.write("Pages in, pages out.\nLine two.");
        about.close();
        QCOMPARE(aboutBox()->txtDescription->toPlainText(), u"Pages in, pages out.\nLine two."_s);
        QVERIFY(aboutBox()->txtDescription->isReadOnly());
    }

    void theAddressLightsUpUntilTheMouseReachesTheBackground()
    {
        const auto about = aboutBox();
        about->show();
        QVERIFY(QTest::qWaitForWindowExposed(about.get()));
        const auto lit = [&](bool on) {
            return about->lblEmail->palette().color(QPalette::WindowText) ==
                       QColor(on ? Qt::blue : Qt::black) &&
                   about->lblEmail->font().italic() == on;
        };
        QVERIFY(lit(false));
        moveMouseOver(about->lblEmail, about->lblEmail->rect().center());
        QVERIFY(lit(true));
        // Straight onto the OK button or the description: the address stays lit.
        moveMouseOver(about->cmdOK, about->cmdOK->rect().center());
        moveMouseOver(about->txtDescription->viewport(),
                      about->txtDescription->viewport()->rect().center());
        QVERIFY(lit(true));
        // Over the box's own background it turns black and upright again.
        moveMouseOver(about.get(), QPoint(2, about->height() - 2));
        QVERIFY(lit(false));
    }

    void theAddressWritesAMail()
    {
        const auto about = aboutBox();
        about->show();
        QTest::mouseClick(about->lblEmail, Qt::LeftButton, {}, about->lblEmail->rect().center());
        QCOMPARE(m_launcher->openedUrls(),
                 QList<QUrl>{QUrl(u"mailto:"_s + frmAbout::ContactAddress)});
        QVERIFY(m_boxes.boxes().isEmpty());

        // Without a mail program the user is told so, and the box stays open.
        m_launcher->failStarts();
        QTest::mouseClick(about->lblEmail, Qt::LeftButton, {}, about->lblEmail->rect().center());
        QCOMPARE(m_boxes.boxes().size(), 1);
        QVERIFY(m_boxes.boxes().first().text.contains(frmAbout::ContactAddress));
        QVERIFY(about->isVisible());
    }

    void okIsTheDefaultAndTheCancelButton()
    {
        const auto about = aboutBox();
        about->show();
        QVERIFY(about->cmdOK->isDefault());
        QTest::keyClick(about.get(), Qt::Key_Escape);
        QVERIFY(!about->isVisible());
        about->show();
        QTest::keyClick(about.get(), Qt::Key_Return);
        QVERIFY(!about->isVisible());
        QCOMPARE(about->result(), int(QDialog::Accepted));
    }
};

int runHelpTopicTests(int argc, char** argv)
{
    TestHelpTopics test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_HelpTopics.moc"
