// The Help menu and the logo: the help file's topics and the About box.

#include "HtmlHelpApi.h"
#include "Tessary.h"
#include "WindowFixture.h"
#include "frmAbout.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace tessary;
using namespace tessary::testing;

class HelpMenuTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_fixture.reset()); }

    void helpItemsOpenTheirTopics_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("page");
        QTest::newRow("Contents") << QStringLiteral("mnuContents") << int(HH_DISPLAY_TOC)
                                  << QString();
        QTest::newRow("About") << QStringLiteral("menuAbout") << int(HH_DISPLAY_TOPIC)
                               << QStringLiteral("abouttessary.html");
    }

    void helpItemsOpenTheirTopics()
    {
        QFETCH(QString, item);
        QFETCH(int, command);
        QFETCH(QString, page);
        const auto window = m_fixture.start();
        auto* action = window->findChild<QAction*>(item);
        QVERIFY(action);
        const QString helpFile = m_fixture.programFolder->filePath(QStringLiteral("Tessary.chm"));

        // Without the help file the user is told so, and nothing opens.
        action->trigger();
        QCOMPARE(m_fixture.boxes->texts(),
                 QStringList{QStringLiteral("Help file: \"Tessary.chm\" is missing, please "
                                            "download a \r\nnew help file from Brovane's web "
                                            "site.")});
        QVERIFY(m_fixture.help->helpCalls().isEmpty());

        m_fixture.help->addFile(helpFile);
        action->trigger();
        QCOMPARE(m_fixture.boxes->boxes().size(), 1);
        QCOMPARE(m_fixture.help->helpCalls().size(), 1);
        const auto& call = m_fixture.help->helpCalls().first();
        QCOMPARE(call.target.value_or(QString()), helpFile + QStringLiteral(">Main"));
        QCOMPARE(int(call.command), command);
        QCOMPARE(call.owner, nullptr); // the help window belongs to no form
        if (!page.isEmpty())
            QCOMPARE(call.text.value_or(QString()), page);
    }

    void versionAndTheLogoShowTheAboutBoxOverTheWindow()
    {
        const auto window = m_fixture.start();
        QVERIFY(QFile::copy(QStringLiteral(TESSARY_RESOURCES_DIR "/about.txt"),
                            m_fixture.programFolder->filePath(QStringLiteral("about.txt"))));
        window->show();
        for (int way = 0; way < 2; ++way) {
            QString version;
            QString description;
            bool mainWindowDisabled = false;
            QTimer::singleShot(0, this, [&] {
                auto* box = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
                if (!box)
                    return;
                version = box->lblVersion->text();
                description = box->txtDescription->toPlainText();
                mainWindowDisabled = !window->isEnabled() || box->isModal();
                QCOMPARE(box->parentWidget(), window.get());
                box->cmdOK->click();
            });
            if (way == 0)
                window->mnuVersion->trigger();
            else
                QTest::mouseClick(window->Picture1, Qt::LeftButton);
            QCOMPARE(version, QStringLiteral("Version 0.9.5"));
            QVERIFY(description.startsWith(QStringLiteral("Tessary")));
            QVERIFY(mainWindowDisabled);
            QVERIFY(!QApplication::activeModalWidget());
        }
        QVERIFY(m_fixture.boxes->boxes().isEmpty());
    }

private:
    WindowFixture m_fixture;
};

int runHelpMenuTests(int argc, char** argv)
{
    HelpMenuTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "HelpMenuTest.moc"
