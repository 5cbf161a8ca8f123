// The HTMLHelp class on a platform that behaves like a Windows machine.

#include "FakeHelpPlatform.h"
#include "HTMLHelp.h"
#include "HelpError.h"

#include <QTest>
#include <QWidget>

using namespace tessary;

namespace {

using Call = FakeHelpPlatform::HelpCall;

const QString HelpFile = QStringLiteral("C:\\Help\\Tessary.chm");
const QString ListKey = QStringLiteral("Software\\Microsoft\\Windows\\HTML Help");
const QString HHClass =
    QStringLiteral("CLSID\\{4662DAB0-D393-11D0-9A56-00C04FB68B66}\\InprocServer32");
const QString IEClass =
    QStringLiteral("CLSID\\{0A89A860-D7B1-11CE-8350-444553540000}\\InProcServer32");
const QString ShowOnTopText =
    QStringLiteral("The HHDisplayContents method was called without a form being specified, while "
                   "HHShowOnTop was set to True.");

enum Member
{
    TopicURL,
    TopicID,
    Search,
    Keyword,
    Index,
    Contents,
    ALink
};

const char* memberName(Member member)
{
    static const char* names[] = {"HHDisplayTopicURL", "HHDisplayTopicID", "HHDisplaySearch",
                                  "HHDisplayKeyword",  "HHDisplayIndex",   "HHDisplayContents",
                                  "HHDisplayALink"};
    return names[member];
}

void display(HTMLHelp& help, Member member, QWidget* form = nullptr)
{
    switch (member) {
    case TopicURL:
        return help.HHDisplayTopicURL(form);
    case TopicID:
        return help.HHDisplayTopicID(form);
    case Search:
        return help.HHDisplaySearch(form);
    case Keyword:
        return help.HHDisplayKeyword(form);
    case Index:
        return help.HHDisplayIndex(form);
    case Contents:
        return help.HHDisplayContents(form);
    case ALink:
        return help.HHDisplayALink(form);
    }
}

quint32 versionMS(quint32 major, quint32 minor)
{
    return major << 16 | minor;
}

QStringList targets(const QList<Call>& calls)
{
    QStringList result;
    for (const Call& call : calls)
        result.append(call.target.value_or(QStringLiteral("<null>")));
    return result;
}

QList<quint32> commands(const QList<Call>& calls)
{
    QList<quint32> result;
    for (const Call& call : calls)
        result.append(call.command);
    return result;
}

} // namespace

class TestHTMLHelp : public QObject
{
    Q_OBJECT

private slots:
    void init();

    // Display members
    void windowSuffixOfTheTarget_data();
    void windowSuffixOfTheTarget();
    void displayMembersPassTheirRecords();
    void bareFileNameIsCompleted_data();
    void bareFileNameIsCompleted();
    void onlyChmFilesAreShown_data();
    void onlyChmFilesAreShown();
    void ownerFollowsHHShowOnTop_data();
    void ownerFollowsHHShowOnTop();
    void lookupRecordsPassNullForEmptyTexts_data();
    void lookupRecordsPassNullForEmptyTexts();
    void controlFailuresAreIgnoredByDisplayMembers();
    void staleRegistryFindingsAreNotUsed();

    // Pop-ups and small members
    void popupFontString_data();
    void popupFontString();
    void popupStylingIsResetAfterAShownPopup();
    void popupsThatShowNothingKeepTheStyling_data();
    void popupsThatShowNothingKeepTheStyling();
    void popupTextSources_data();
    void popupTextSources();
    void popupWithoutStringTableEntryIsReported();
    void setHelpFile_data();
    void setHelpFile();
    void closeAndContextHelp();

    // Registry list
    void checkRegistry_data();
    void checkRegistry();
    void checkRegistryWithEmptyNameChangesNothing();
    void registerFile_data();
    void registerFile();
    void registerReportsAKeyThatCannotBeCreated();
    void unregisterFile_data();
    void unregisterFile();

    // Versions and installation
    void windowsVersion_data();
    void windowsVersion();
    void versionText_data();
    void versionText();
    void longFileNameOfTheRegisteredControl_data();
    void longFileNameOfTheRegisteredControl();
    void verifyMinConfig_data();
    void verifyMinConfig();
    void unknownCodeLeavesUnknownUntilVersionIsRead();
    void missingComponentsAreReported();
    void releaseNames_data();
    void releaseNames();
    void installed_data();
    void installed();

private:
    void registerComponents(const QString& hhPath, quint32 hhMS, quint32 hhLS,
                            const QString& iePath, quint32 ieMS, quint32 ieLS);

    std::unique_ptr<FakeHelpPlatform> m_platform;
};

void TestHTMLHelp::init()
{
    m_platform = std::make_unique<FakeHelpPlatform>();
    m_platform->addFile(HelpFile);
}

void TestHTMLHelp::registerComponents(const QString& hhPath, quint32 hhMS, quint32 hhLS,
                                      const QString& iePath, quint32 ieMS, quint32 ieLS)
{
    m_platform->setRegistryValue(RegistryRoot::ClassesRoot, HHClass, QString(), hhPath);
    m_platform->addFile(hhPath);
    m_platform->setFileVersion(hhPath, hhMS, hhLS);
    m_platform->setRegistryValue(RegistryRoot::ClassesRoot, IEClass, QString(), iePath);
    m_platform->addFile(iePath);
    m_platform->setFileVersion(iePath, ieMS, ieLS);
}

// --- Display members ------------------------------------------------------------------------

void TestHTMLHelp::windowSuffixOfTheTarget_data()
{
    QTest::addColumn<int>("member");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("expectedTargets");
    QTest::addColumn<QList<quint32>>("expectedCommands");

    const QList<std::pair<QString, QString>> windows = {
        {QString(), HelpFile},
        {QStringLiteral("   "), HelpFile},
        {QStringLiteral("Main"), HelpFile + QStringLiteral(">Main")},
        {QStringLiteral(" Main "), HelpFile + QStringLiteral("> Main ")},
    };
    const QList<std::pair<Member, QList<quint32>>> members = {
        {TopicURL, {HH_DISPLAY_TOPIC}}, {TopicID, {HH_HELP_CONTEXT}}, {Search, {HH_DISPLAY_SEARCH}},
        {Index, {HH_DISPLAY_INDEX}},    {Contents, {HH_DISPLAY_TOC}},
    };
    for (const auto& [member, command] : members) {
        for (const auto& [window, target] : windows) {
            QTest::addRow("%s window '%s'", memberName(member), qPrintable(window))
                << int(member) << window << QStringList{target} << command;
        }
    }
    // The lookups always name the file alone; the window goes into their record.
    QTest::newRow("HHDisplayKeyword window 'Main'")
        << int(Keyword) << QStringLiteral("Main") << QStringList{HelpFile, HelpFile}
        << QList<quint32>{HH_DISPLAY_TOPIC, HH_KEYWORD_LOOKUP};
    QTest::newRow("HHDisplayALink window 'Main'")
        << int(ALink) << QStringLiteral("Main") << QStringList{HelpFile}
        << QList<quint32>{HH_ALINK_LOOKUP};
}

void TestHTMLHelp::windowSuffixOfTheTarget()
{
    QFETCH(int, member);
    QFETCH(QString, window);
    QFETCH(QStringList, expectedTargets);
    QFETCH(QList<quint32>, expectedCommands);

    HTMLHelp help(*m_platform);
    help.setCHMFile(HelpFile);
    help.setHHWindow(window);
    display(help, Member(member));

    QCOMPARE(targets(m_platform->helpCalls()), expectedTargets);
    QCOMPARE(commands(m_platform->helpCalls()), expectedCommands);
    QCOMPARE(help.HHWindow(), window);
    QVERIFY(m_platform->boxes().isEmpty());
}

void TestHTMLHelp::displayMembersPassTheirRecords()
{
    HTMLHelp help(*m_platform);
    help.setCHMFile(HelpFile);
    help.setHHTopicURL(QStringLiteral("settings.html"));
    help.setHHTopicID(42);

    help.HHDisplayTopicURL();
    help.HHDisplayTopicID();
    help.HHDisplaySearch();
    help.HHDisplayIndex();
    help.HHDisplayContents();

    const QList<Call>& calls = m_platform->helpCalls();
    QCOMPARE(calls.size(), 5);
    QCOMPARE(calls[0].data, Call::Data::Text);
    QCOMPARE(calls[0].text, QStringLiteral("settings.html"));
    QCOMPARE(calls[1].data, Call::Data::Number);
    QCOMPARE(calls[1].number, 42);
    QCOMPARE(calls[2].data, Call::Data::FtsQuery);
    QCOMPARE(calls[2].queryNumbers, (QList<qint32>{32, 0, 0, 0, 0, 1}));
    QCOMPARE(calls[2].searchQuery, QString()); // an empty text, not a null pointer
    QVERIFY(calls[2].searchQuery.has_value());
    QVERIFY(calls[2].queryWindow.has_value() && calls[2].queryWindow->isEmpty());
    QCOMPARE(calls[3].data, Call::Data::None);
    QCOMPARE(calls[4].data, Call::Data::None);
    for (const Call& call : calls)
        QCOMPARE(call.owner, nullptr);
}

void TestHTMLHelp::bareFileNameIsCompleted_data()
{
    QTest::addColumn<QString>("registeredFolder"); // empty: not in the list
    QTest::addColumn<bool>("expandable");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("expectedFile");
    QTest::addColumn<bool>("shown");

    const QString appFile = QStringLiteral("C:\\Program Files\\Tessary\\Tessary.chm");
    const QString docFile = QStringLiteral("D:\\Docs\\Help\\Tessary.chm");
    QTest::newRow("listed, folder ends in separator")
        << QStringLiteral("D:\\Docs\\Help\\") << false << QStringList{docFile} << docFile << true;
    QTest::newRow("listed, folder without closing separator")
        << QStringLiteral("D:\\Docs\\Help") << false << QStringList{docFile} << docFile << true;
    QTest::newRow("listed with an environment variable")
        << QStringLiteral("%HELPDIR%\\") << true << QStringList{docFile} << docFile << true;
    QTest::newRow("listed but missing there")
        << QStringLiteral("D:\\Docs\\Help\\") << false << QStringList{appFile} << docFile << false;
    QTest::newRow("not listed, in the program folder")
        << QString() << false << QStringList{appFile} << appFile << true;
    QTest::newRow("not listed, nowhere") << QString() << false << QStringList() << appFile << false;
}

void TestHTMLHelp::bareFileNameIsCompleted()
{
    QFETCH(QString, registeredFolder);
    QFETCH(bool, expandable);
    QFETCH(QStringList, files);
    QFETCH(QString, expectedFile);
    QFETCH(bool, shown);

    for (const QString& file : files)
        m_platform->addFile(file);
    m_platform->setEnvironment(QStringLiteral("HelpDir"), QStringLiteral("D:\\Docs\\Help"));
    if (!registeredFolder.isEmpty()) {
        m_platform->setRegistryValue(
            RegistryRoot::LocalMachine, ListKey, QStringLiteral("TESSARY.CHM"), registeredFolder,
            expandable ? RegistryType::ExpandString : RegistryType::String);
    }

    HTMLHelp help(*m_platform);
    help.setCHMFile(QStringLiteral("Tessary.chm"));
    help.setHHWindow(QStringLiteral("Main"));
    help.HHDisplayContents();

    QCOMPARE(help.CHMFile(), expectedFile);
    QCOMPARE(m_platform->helpCalls().size(), shown ? 1 : 0);
    if (shown)
        QCOMPARE(m_platform->helpCalls()[0].target, expectedFile + QStringLiteral(">Main"));
    QVERIFY(m_platform->boxes().isEmpty());
    QCOMPARE(m_platform->openKeys(), 0);
}

void TestHTMLHelp::onlyChmFilesAreShown_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("txt file") << QStringLiteral("C:\\Help\\Tessary.txt") << false;
    QTest::newRow("empty name") << QString() << false;
    QTest::newRow("chm in upper case") << QStringLiteral("C:\\Help\\TESSARY.CHM") << true;
    QTest::newRow("chm without a dot") << QStringLiteral("C:\\Help\\Tessarychm") << true;
}

void TestHTMLHelp::onlyChmFilesAreShown()
{
    QFETCH(QString, file);
    QFETCH(bool, accepted);

    m_platform->addFile(QStringLiteral("C:\\Help\\Tessarychm"));
    m_platform->addFile(QStringLiteral("C:\\Help\\Tessary.txt"));
    HTMLHelp help(*m_platform);
    help.setCHMFile(file);
    help.HHDisplayIndex();

    QCOMPARE(m_platform->helpCalls().size(), accepted ? 1 : 0);
    if (accepted) {
        QVERIFY(m_platform->boxes().isEmpty());
        return;
    }
    QCOMPARE(m_platform->boxTexts(), QStringList{file + " is not a valid HTML Help file."});
    const MessageBoxParams& box = m_platform->boxes().first();
    QCOMPARE(box.cbSize, 40u);
    QCOMPARE(box.hwndOwner, nullptr);
    QCOMPARE(box.lpszCaption, QStringLiteral("HTML Help Class"));
    QCOMPARE(box.dwStyle, 0x10u);
}

void TestHTMLHelp::ownerFollowsHHShowOnTop_data()
{
    QTest::addColumn<int>("member");
    QTest::addColumn<bool>("showOnTop");
    QTest::addColumn<bool>("withForm");

    for (int member = TopicURL; member <= ALink; ++member) {
        const char* name = memberName(Member(member));
        QTest::addRow("%s on top without a form", name) << member << true << false;
        QTest::addRow("%s on top with a form", name) << member << true << true;
        QTest::addRow("%s not on top with a form", name) << member << false << true;
    }
}

void TestHTMLHelp::ownerFollowsHHShowOnTop()
{
    QFETCH(int, member);
    QFETCH(bool, showOnTop);
    QFETCH(bool, withForm);

    QWidget form;
    HTMLHelp help(*m_platform);
    help.setCHMFile(HelpFile);
    help.setHHShowOnTop(showOnTop);
    display(help, Member(member), withForm ? &form : nullptr);

    if (showOnTop && !withForm) {
        QVERIFY(m_platform->helpCalls().isEmpty());
        QCOMPARE(m_platform->boxTexts(), QStringList{ShowOnTopText});
        QCOMPARE(m_platform->boxes().first().dwStyle, 0x10u);
        return;
    }
    QVERIFY(m_platform->boxes().isEmpty());
    QVERIFY(!m_platform->helpCalls().isEmpty());
    for (const Call& call : m_platform->helpCalls())
        QCOMPARE(call.owner, showOnTop ? &form : nullptr);
}

void TestHTMLHelp::lookupRecordsPassNullForEmptyTexts_data()
{
    QTest::addColumn<int>("member");
    QTest::addColumn<QString>("names");
    QTest::addColumn<QString>("defaultUrl");
    QTest::addColumn<QString>("msgText");
    QTest::addColumn<QString>("msgTitle");
    QTest::addColumn<QString>("window");

    for (const Member member : {Keyword, ALink}) {
        const char* name = memberName(member);
        QTest::addRow("%s, all empty", name)
            << int(member) << QString() << QString() << QString() << QString() << QString();
        QTest::addRow("%s, all set", name)
            << int(member) << QStringLiteral("folders;pages") << QStringLiteral("welcome.html")
            << QStringLiteral("Nothing found") << QStringLiteral("Tessary Help")
            << QStringLiteral("Main");
        QTest::addRow("%s, blank window", name)
            << int(member) << QStringLiteral("folders") << QString()
            << QStringLiteral("Nothing found") << QString() << QStringLiteral("  ");
    }
}

void TestHTMLHelp::lookupRecordsPassNullForEmptyTexts()
{
    QFETCH(int, member);
    QFETCH(QString, names);
    QFETCH(QString, defaultUrl);
    QFETCH(QString, msgText);
    QFETCH(QString, msgTitle);
    QFETCH(QString, window);

    HTMLHelp help(*m_platform);
    help.setCHMFile(HelpFile);
    if (member == Keyword)
        help.setHHKeyword(names);
    else
        help.setHHALink(names);
    help.setHHDefaultURL(defaultUrl);
    help.setHHMsgText(msgText);
    help.setHHMsgTitle(msgTitle);
    help.setHHWindow(window);
    display(help, Member(member));

    const auto orNull = [](const QString& text) {
        return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
    };
    const Call& lookup = m_platform->helpCalls().last();
    QCOMPARE(lookup.data, Call::Data::AkLink);
    QCOMPARE(lookup.linkSize, 32);
    QCOMPARE(lookup.linkReserved, 0);
    QCOMPARE(lookup.indexOnFail, 0);
    QVERIFY(lookup.keywords.has_value()); // passed even when empty
    QCOMPARE(*lookup.keywords, names);
    QCOMPARE(lookup.url, orNull(defaultUrl));
    QCOMPARE(lookup.msgText, orNull(msgText));
    QCOMPARE(lookup.msgTitle, orNull(msgTitle));
    QCOMPARE(lookup.linkWindow, orNull(window.trimmed().isEmpty() ? QString() : window));
    if (member == Keyword) {
        QCOMPARE(m_platform->helpCalls().size(), 2);
        QCOMPARE(m_platform->helpCalls().first().data, Call::Data::None);
    }
    // The properties still read back as they were set.
    QCOMPARE(help.HHDefaultURL(), defaultUrl);
    QCOMPARE(help.HHMsgText(), msgText);
}

void TestHTMLHelp::controlFailuresAreIgnoredByDisplayMembers()
{
    m_platform->setHelpControlMissing(true);
    HTMLHelp help(*m_platform);
    help.setCHMFile(HelpFile);
    help.setHHKeyword(QStringLiteral("folders"));

    help.HHDisplayKeyword(); // must not throw, and goes on to the lookup
    QCOMPARE(commands(m_platform->helpCalls()),
             (QList<quint32>{HH_DISPLAY_TOPIC, HH_KEYWORD_LOOKUP}));
    help.HHClose();
    QCOMPARE(m_platform->helpCalls().last().command, HH_CLOSE_ALL);

    // A pop-up reports the failure and keeps its styling.
    help.setHHPopupType(HTMLHelp::PopupText);
    help.setHHPopupText(QStringLiteral("Hint"));
    help.setHHPopupTextFont(QStringLiteral("Verdana"));
    QVERIFY_THROWS_EXCEPTION(HelpError, help.HHDisplayPopup(nullptr));
    m_platform->setHelpControlMissing(false);
    help.HHDisplayPopup(nullptr);
    QCOMPARE(m_platform->helpCalls().last().popupFont, QStringLiteral("Verdana, 10, ascii, "));
}

void TestHTMLHelp::staleRegistryFindingsAreNotUsed()
{
    m_platform->setRegistryValue(RegistryRoot::LocalMachine, ListKey, QStringLiteral("Tessary.chm"),
                                 QStringLiteral("C:\\Help\\"));
    HTMLHelp help(*m_platform);
    QCOMPARE(help.HHCheckRegistry(QStringLiteral("Tessary.chm")), std::optional<bool>(false));
    QCOMPARE(help.HHRegFileName(), QStringLiteral("Tessary.chm"));
    QVERIFY(help.HHRegFileExists());

    QString name = QStringLiteral("notes.txt");
    QVERIFY(!help.EnsureFileExists(name));
    QCOMPARE(name, QStringLiteral("C:\\Program Files\\Tessary\\notes.txt"));
    QCOMPARE(m_platform->boxTexts(), QStringList{"notes.txt is not a valid HTML Help file."});
}

// --- Pop-ups and small members --------------------------------------------------------------

void TestHTMLHelp::popupFontString_data()
{
    QTest::addColumn<QString>("face");
    QTest::addColumn<QString>("size");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<bool>("underline");
    QTest::addColumn<QString>("expected");

    QTest::newRow("defaults") << QString() << QString() << false << false << false
                              << QStringLiteral("Arial, 10, ascii, ");
    QTest::newRow("all styles") << QStringLiteral("Verdana") << QStringLiteral("12") << true << true
                                << true
                                << QStringLiteral("Verdana, 12, ascii, Bold Italic Underline");
    QTest::newRow("italic only") << QString() << QStringLiteral("8") << false << true << false
                                 << QStringLiteral("Arial, 8, ascii, Italic ");
    QTest::newRow("bold and underline")
        << QStringLiteral("Tahoma") << QString() << true << false << true
        << QStringLiteral("Tahoma, 10, ascii, Bold Underline");
}

void TestHTMLHelp::popupFontString()
{
    QFETCH(QString, face);
    QFETCH(QString, size);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(bool, underline);
    QFETCH(QString, expected);

    HTMLHelp help(*m_platform);
    help.setHHPopupType(HTMLHelp::PopupText);
    help.setHHPopupText(QStringLiteral("Hint"));
    help.setHHPopupTextFont(face);
    help.setHHPopupTextSize(size);
    help.setHHPopupTextBold(bold);
    help.setHHPopupTextItalic(italic);
    help.setHHPopupTextUnderline(underline);
    help.HHDisplayPopup(nullptr);

    QCOMPARE(m_platform->helpCalls().size(), 1);
    QCOMPARE(m_platform->helpCalls()[0].popupFont, expected);
}

void TestHTMLHelp::popupStylingIsResetAfterAShownPopup()
{
    HTMLHelp help(*m_platform);
    help.setHHPopupType(HTMLHelp::PopupText);
    help.setHHPopupText(QStringLiteral("First"));
    help.setHHPopupTextColor(0x0000FF);
    help.setHHPopupBackColor(0xE0FFFF);
    help.setHHPopupCustomTextColor(0x00FF00);
    help.setHHPopupCustomBackColor(0x202020);
    help.setHHPopupCustomColors(true);
    help.setHHPopupTextFont(QStringLiteral("Verdana"));
    help.setHHPopupTextSize(QStringLiteral("12"));
    help.setHHPopupTextBold(true);
    help.HHDisplayPopup(nullptr);
    help.setHHPopupCustomColors(false);
    help.HHDisplayPopup(nullptr);
    help.setHHPopupCustomColors(true);
    help.HHDisplayPopup(nullptr);

    const QList<Call>& calls = m_platform->helpCalls();
    QCOMPARE(calls.size(), 3);
    QCOMPARE(calls[0].popup.clrForeground, 0x00FF00u); // the custom pair while it is chosen
    QCOMPARE(calls[0].popup.clrBackground, 0x202020u);
    QCOMPARE(calls[0].popupFont, QStringLiteral("Verdana, 12, ascii, Bold "));
    for (const Call& call : calls.mid(1)) {
        QCOMPARE(call.popup.clrForeground, 0u);
        QCOMPARE(call.popup.clrBackground, 0u);
        QCOMPARE(call.popupFont, QStringLiteral("Arial, 10, ascii, "));
        QCOMPARE(call.popupText, QStringLiteral("First")); // the text is kept
    }
    QVERIFY(help.HHPopupCustomColors());
}

void TestHTMLHelp::popupsThatShowNothingKeepTheStyling_data()
{
    QTest::addColumn<qint32>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("chmFile");
    QTest::addColumn<QString>("popupFile");
    QTest::addColumn<QStringList>("boxes");

    QTest::newRow("type 0") << 0 << QStringLiteral("Hint") << HelpFile << QString()
                            << QStringList();
    QTest::newRow("type 4 without text")
        << 4 << QString() << HelpFile << QString() << QStringList();
    QTest::newRow("type 3") << 3 << QStringLiteral("Hint") << HelpFile << QString()
                            << QStringList();
    QTest::newRow("type 1 with a txt help file")
        << 1 << QString() << QStringLiteral("C:\\Help\\Tessary.txt") << QStringLiteral("popups.txt")
        << QStringList{"C:\\Help\\Tessary.txt is not a valid HTML Help file."};
    QTest::newRow("type 1 with a missing help file")
        << 1 << QString() << QStringLiteral("C:\\Help\\Gone.chm") << QStringLiteral("popups.txt")
        << QStringList();
    QTest::newRow("type 1 with an htm pop-up file")
        << 1 << QString() << HelpFile << QStringLiteral("popups.htm")
        << QStringList{"The file specified as the text popup source, 'popups.htm', is not a "
                       "valid popup file."};
}

void TestHTMLHelp::popupsThatShowNothingKeepTheStyling()
{
    QFETCH(qint32, type);
    QFETCH(QString, text);
    QFETCH(QString, chmFile);
    QFETCH(QString, popupFile);
    QFETCH(QStringList, boxes);

    HTMLHelp help(*m_platform);
    help.setCHMFile(chmFile);
    help.setHHPopupType(type);
    help.setHHPopupText(text);
    help.setHHPopupFile(popupFile);
    help.setHHPopupTextFont(QStringLiteral("Verdana"));
    help.setHHPopupTextColor(0x0000FF);
    help.setHHPopupTextItalic(true);
    help.HHDisplayPopup(nullptr);

    QVERIFY(m_platform->helpCalls().isEmpty());
    QCOMPARE(m_platform->boxTexts(), boxes);

    // The next pop-up still carries the styling set before.
    help.setHHPopupType(HTMLHelp::PopupText);
    help.setHHPopupText(QStringLiteral("Next"));
    help.HHDisplayPopup(nullptr);
    QCOMPARE(m_platform->helpCalls().size(), 1);
    QCOMPARE(m_platform->helpCalls()[0].popupFont, QStringLiteral("Verdana, 10, ascii, Italic "));
    QCOMPARE(m_platform->helpCalls()[0].popup.clrForeground, 0x0000FFu);
}

void TestHTMLHelp::popupTextSources_data()
{
    QTest::addColumn<qint32>("type");
    QTest::addColumn<QString>("chmFile");
    QTest::addColumn<std::optional<QString>>("expectedTarget");
    QTest::addColumn<quint32>("expectedId");
    QTest::addColumn<std::optional<QString>>("expectedText");
    QTest::addColumn<QString>("expectedFile");

    QTest::newRow("text file in the help file")
        << 1 << QStringLiteral("Tessary.chm")
        << std::optional<QString>("C:\\Program Files\\Tessary\\Tessary.chm::/popups.txt") << 100u
        << std::optional<QString>() << QStringLiteral("C:\\Program Files\\Tessary\\Tessary.chm");
    QTest::newRow("string table") << 2 << QStringLiteral("none.txt") << std::optional<QString>()
                                  << 0u << std::optional<QString>("From the table")
                                  << QStringLiteral("none.txt");
    QTest::newRow("literal text") << 4 << QString() << std::optional<QString>() << 0u
                                  << std::optional<QString>("Literal") << QString();
}

void TestHTMLHelp::popupTextSources()
{
    QFETCH(qint32, type);
    QFETCH(QString, chmFile);
    QFETCH(std::optional<QString>, expectedTarget);
    QFETCH(quint32, expectedId);
    QFETCH(std::optional<QString>, expectedText);
    QFETCH(QString, expectedFile);

    m_platform->addFile(QStringLiteral("C:\\Program Files\\Tessary\\Tessary.chm"));
    m_platform->setString(100, QStringLiteral("From the table"));
    m_platform->setCursorPos(QPoint(300, 200));
    QWidget form;
    HTMLHelp help(*m_platform);
    help.setCHMFile(chmFile);
    help.setHHPopupType(type);
    help.setHHPopupID(100);
    help.setHHPopupText(QStringLiteral("Literal"));
    help.setHHPopupFile(QStringLiteral("popups.txt"));
    help.HHDisplayPopup(&form);

    QCOMPARE(m_platform->helpCalls().size(), 1);
    const Call& call = m_platform->helpCalls()[0];
    QCOMPARE(call.owner, &form); // pop-ups belong to the calling window whatever HHShowOnTop says
    QCOMPARE(call.command, HH_DISPLAY_TEXT_POPUP);
    QCOMPARE(call.target, expectedTarget);
    QCOMPARE(call.popup.cbStruct, 52);
    QCOMPARE(call.popup.hinst, quintptr(0));
    QCOMPARE(call.popup.idString, expectedId);
    QCOMPARE(call.popupText, expectedText);
    QCOMPARE(call.popup.pt.x, 300);
    QCOMPARE(call.popup.pt.y, 200);
    QCOMPARE(call.popup.rcMargins.left, -1);
    QCOMPARE(call.popup.rcMargins.top, -1);
    QCOMPARE(call.popup.rcMargins.right, -1);
    QCOMPARE(call.popup.rcMargins.bottom, -1);
    QCOMPARE(help.CHMFile(), expectedFile);
}

void TestHTMLHelp::popupWithoutStringTableEntryIsReported()
{
    HTMLHelp help(*m_platform);
    help.setHHPopupType(HTMLHelp::PopupFromStringTable);
    help.setHHPopupID(7);
    QVERIFY_THROWS_EXCEPTION(HelpError, help.HHDisplayPopup(nullptr));
    QVERIFY(m_platform->helpCalls().isEmpty());
}

void TestHTMLHelp::setHelpFile_data()
{
    QTest::addColumn<qint16>("selection");
    QTest::addColumn<QString>("expected");

    QTest::newRow("1") << qint16(1) << QStringLiteral("C:\\Program Files\\Tessary\\Library.chm");
    QTest::newRow("2") << qint16(2) << QStringLiteral("Library.txt");
    QTest::newRow("0") << qint16(0) << QString();
    QTest::newRow("3") << qint16(3) << QString();
    QTest::newRow("-1") << qint16(-1) << QString();
}

void TestHTMLHelp::setHelpFile()
{
    QFETCH(qint16, selection);
    QFETCH(QString, expected);

    HTMLHelp help(*m_platform);
    help.setCHMFile(HelpFile);
    QCOMPARE(help.HHSetHelpFile(selection), expected);
    QCOMPARE(help.CHMFile(), HelpFile);
}

void TestHTMLHelp::closeAndContextHelp()
{
    QWidget form;
    HTMLHelp help(*m_platform);
    help.setCHMFile(HelpFile);
    help.HHClose();
    help.HHInvokeWhatsThisHelp(&form);

    QCOMPARE(m_platform->helpCalls().size(), 1);
    const Call& close = m_platform->helpCalls()[0];
    QCOMPARE(close.command, HH_CLOSE_ALL);
    QCOMPARE(close.owner, nullptr);
    QCOMPARE(close.target, HelpFile);
    QCOMPARE(close.data, Call::Data::None);
    QCOMPARE(m_platform->contextHelpWindows(), QList<QWidget*>{&form});
}

// --- Registry list ------------------------------------------------------------------------

void TestHTMLHelp::checkRegistry_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("valueName");
    QTest::addColumn<quint32>("valueType");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expectedName");
    QTest::addColumn<QString>("expectedPath");
    QTest::addColumn<bool>("expectedExists");
    QTest::addColumn<QString>("expectedSearch");

    QTest::newRow("listed, other letter case")
        << QStringLiteral("Tessary.chm") << QStringLiteral("TESSARY.CHM") << RegistryType::String
        << QStringLiteral("C:\\Help\\") << QStringLiteral("Tessary.chm")
        << QStringLiteral("C:\\Help\\") << true << QStringLiteral("C:\\Help\\\\Tessary.chm");
    QTest::newRow("full path is cut to its name")
        << QStringLiteral("E:\\Elsewhere\\Tessary.chm") << QStringLiteral("Tessary.chm")
        << RegistryType::String << QStringLiteral("C:\\Help\\") << QStringLiteral("Tessary.chm")
        << QStringLiteral("C:\\Help\\") << true << QStringLiteral("C:\\Help\\\\Tessary.chm");
    QTest::newRow("listed, file missing")
        << QStringLiteral("Other.chm") << QStringLiteral("Other.chm") << RegistryType::String
        << QStringLiteral("C:\\Help\\") << QStringLiteral("Other.chm")
        << QStringLiteral("C:\\Help\\") << false << QStringLiteral("C:\\Help\\\\Other.chm");
    QTest::newRow("expandable folder")
        << QStringLiteral("Tessary.chm") << QStringLiteral("Tessary.chm")
        << RegistryType::ExpandString << QStringLiteral("%SystemDrive%\\Help\\")
        << QStringLiteral("Tessary.chm") << QStringLiteral("C:\\Help\\") << true
        << QStringLiteral("C:\\Help\\\\Tessary.chm");
    QTest::newRow("value of another type is not a listing")
        << QStringLiteral("Tessary.chm") << QStringLiteral("Tessary.chm") << 3u
        << QStringLiteral("C:\\Help\\") << QString() << QString() << false << QString();
    QTest::newRow("not listed") << QStringLiteral("Tessary.chm") << QStringLiteral("Another.chm")
                                << RegistryType::String << QStringLiteral("C:\\Help\\") << QString()
                                << QString() << false << QString();
}

void TestHTMLHelp::checkRegistry()
{
    QFETCH(QString, file);
    QFETCH(QString, valueName);
    QFETCH(quint32, valueType);
    QFETCH(QString, folder);
    QFETCH(QString, expectedName);
    QFETCH(QString, expectedPath);
    QFETCH(bool, expectedExists);
    QFETCH(QString, expectedSearch);

    m_platform->setWindowsVersion(2, 5, 0); // folders are made long by the system's call
    m_platform->setEnvironment(QStringLiteral("SYSTEMDRIVE"), QStringLiteral("C:"));
    m_platform->setRegistryValue(RegistryRoot::LocalMachine, ListKey, valueName, folder, valueType);
    HTMLHelp help(*m_platform);
    QCOMPARE(help.HHCheckRegistry(file), std::optional<bool>(false));

    QCOMPARE(help.HHRegFileName(), expectedName);
    QCOMPARE(help.HHRegFilePath(), expectedPath);
    QCOMPARE(help.HHRegFileExists(), expectedExists);
    QCOMPARE(m_platform->searches(),
             expectedSearch.isEmpty() ? QStringList() : QStringList{expectedSearch});
    QVERIFY(m_platform->boxes().isEmpty());
    QCOMPARE(m_platform->openKeys(), 0);
}

void TestHTMLHelp::checkRegistryWithEmptyNameChangesNothing()
{
    m_platform->setRegistryValue(RegistryRoot::LocalMachine, ListKey, QStringLiteral("Tessary.chm"),
                                 QStringLiteral("C:\\Help\\"));
    HTMLHelp help(*m_platform);
    help.HHCheckRegistry(QStringLiteral("Tessary.chm"));
    QVERIFY(help.HHRegFileExists());

    QCOMPARE(help.HHCheckRegistry(QString()), std::nullopt);
    QCOMPARE(help.HHRegFileName(), QStringLiteral("Tessary.chm"));
    QCOMPARE(help.HHRegFilePath(), QStringLiteral("C:\\Help\\"));
    QVERIFY(help.HHRegFileExists());

    // A name that is not a help file only clears the existence flag.
    QCOMPARE(help.HHCheckRegistry(QStringLiteral("Tessary.hlp")), std::optional<bool>(false));
    QVERIFY(!help.HHRegFileExists());
    QCOMPARE(help.HHRegFileName(), QStringLiteral("Tessary.chm"));
    QCOMPARE(m_platform->boxTexts(), QStringList{"Tessary.hlp is not a valid HTML Help file."});
}

void TestHTMLHelp::registerFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("listedBefore");
    QTest::addColumn<QString>("expectedString");
    QTest::addColumn<QStringList>("expectedBoxes");
    QTest::addColumn<QString>("expectedFolder"); // empty: nothing written

    QTest::newRow("full path") << HelpFile << false << QStringLiteral("Tessary.chm")
                               << QStringList() << QStringLiteral("C:\\Help\\");
    QTest::newRow("short path is made long")
        << QStringLiteral("C:\\HELPFI~1\\TESSARY.CHM") << false << QStringLiteral("Tessary.chm")
        << QStringList() << QStringLiteral("C:\\Help Files\\");
    QTest::newRow("bare name found in the program folder")
        << QStringLiteral("Tessary.chm") << false
        << QStringLiteral("C:\\Program Files\\Tessary\\Tessary.chm")
        << QStringList{"Cannot register Tessary.chm without having a supplied path.\""}
        << QString();
    QTest::newRow("already listed")
        << HelpFile << true << HelpFile
        << QStringList{"The file C:\\Help\\Tessary.chm is already registered.  HHRegister will "
                       "not be run as no action need be taken."}
        << QStringLiteral("D:\\Old\\");
    QTest::newRow("missing file") << QStringLiteral("C:\\Help\\Gone.chm") << false
                                  << QStringLiteral("C:\\Help\\Gone.chm") << QStringList()
                                  << QString();
    QTest::newRow("not a help file")
        << QStringLiteral("C:\\Help\\Tessary.hlp") << false
        << QStringLiteral("C:\\Help\\Tessary.hlp")
        << QStringList{"C:\\Help\\Tessary.hlp is not a valid HTML Help file."} << QString();
    QTest::newRow("empty name") << QString() << false << QString() << QStringList() << QString();
}

void TestHTMLHelp::registerFile()
{
    QFETCH(QString, file);
    QFETCH(bool, listedBefore);
    QFETCH(QString, expectedString);
    QFETCH(QStringList, expectedBoxes);
    QFETCH(QString, expectedFolder);

    m_platform->setWindowsVersion(2, 5, 0); // Windows 2000: the system makes paths long
    m_platform->addFile(QStringLiteral("C:\\Program Files\\Tessary\\Tessary.chm"));
    m_platform->addFile(QStringLiteral("C:\\Help Files\\Tessary.chm"),
                        QStringLiteral("C:\\HELPFI~1\\TESSARY.CHM"));
    m_platform->addFile(QStringLiteral("D:\\Old\\Tessary.chm"));
    if (listedBefore) {
        m_platform->setRegistryValue(RegistryRoot::LocalMachine, ListKey,
                                     QStringLiteral("Tessary.chm"), QStringLiteral("D:\\Old\\"));
    }

    HTMLHelp help(*m_platform);
    QString name = file;
    help.HHRegister(name);

    QCOMPARE(name, expectedString);
    QCOMPARE(m_platform->boxTexts(), expectedBoxes);
    const auto value = m_platform->registryValue(RegistryRoot::LocalMachine, ListKey,
                                                 QStringLiteral("Tessary.chm"));
    QCOMPARE(value.has_value(), !expectedFolder.isEmpty());
    if (value) {
        QCOMPARE(value->data, expectedFolder);
        QCOMPARE(value->type, RegistryType::String);
    }
    if (!listedBefore)
        QCOMPARE(help.HHRegFileName(), QString()); // not refreshed after a write
    QCOMPARE(m_platform->openKeys(), 0);
}

void TestHTMLHelp::registerReportsAKeyThatCannotBeCreated()
{
    m_platform->setCreateKeyFails(true);
    HTMLHelp help(*m_platform);
    QString name = HelpFile;
    help.HHRegister(name);
    QCOMPARE(m_platform->boxTexts(), QStringList{"HTML Help Class: HHRegister Error"});
    QCOMPARE(name, QStringLiteral("Tessary.chm"));
}

void TestHTMLHelp::unregisterFile_data()
{
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QString>("expectedString");
    QTest::addColumn<QStringList>("expectedBoxes");

    QTest::newRow("listed") << true << QStringLiteral("Tessary.chm") << QStringList();
    QTest::newRow("not listed") << false << HelpFile
                                << QStringList{"The file C:\\Help\\Tessary.chm is not registered.  "
                                               "HHUnRegister will not be run as no action need be "
                                               "taken."};
}

void TestHTMLHelp::unregisterFile()
{
    QFETCH(bool, listed);
    QFETCH(QString, expectedString);
    QFETCH(QStringList, expectedBoxes);

    m_platform->setRegistryValue(RegistryRoot::LocalMachine, ListKey, QStringLiteral("Other.chm"),
                                 QStringLiteral("C:\\Help\\"));
    if (listed) {
        m_platform->setRegistryValue(RegistryRoot::LocalMachine, ListKey,
                                     QStringLiteral("Tessary.chm"), QStringLiteral("C:\\Help\\"));
    }
    HTMLHelp help(*m_platform);
    QString name = HelpFile;
    help.HHUnRegister(name);

    QCOMPARE(name, expectedString);
    QCOMPARE(m_platform->boxTexts(), expectedBoxes);
    QVERIFY(!m_platform->registryValue(RegistryRoot::LocalMachine, ListKey,
                                       QStringLiteral("Tessary.chm")));
    QVERIFY(m_platform->registryValue(RegistryRoot::LocalMachine, ListKey,
                                      QStringLiteral("Other.chm")));
    QCOMPARE(help.HHRegFileName(), QString());
    QCOMPARE(help.HHRegFilePath(), QString());
    QCOMPARE(m_platform->openKeys(), 0);
}

// --- Versions and installation ------------------------------------------------------------

void TestHTMLHelp::windowsVersion_data()
{
    QTest::addColumn<bool>("known");
    QTest::addColumn<quint32>("platformId");
    QTest::addColumn<quint32>("major");
    QTest::addColumn<quint32>("minor");
    QTest::addColumn<qint32>("expected");

    QTest::newRow("Windows 95") << true << 1u << 4u << 0u << 2;
    QTest::newRow("Windows 98") << true << 1u << 4u << 10u << 4;
    QTest::newRow("Windows Me") << true << 1u << 4u << 90u << 0;
    QTest::newRow("NT 3.51") << true << 2u << 3u << 51u << 1;
    QTest::newRow("NT 4") << true << 2u << 4u << 0u << 3;
    QTest::newRow("Windows 2000") << true << 2u << 5u << 0u << 5;
    QTest::newRow("Windows XP") << true << 2u << 5u << 1u << 5;
    QTest::newRow("Vista") << true << 2u << 6u << 0u << 0;
    QTest::newRow("Win32s") << true << 0u << 3u << 1u << 0;
    QTest::newRow("no version record") << false << 0u << 0u << 0u << 0;
}

void TestHTMLHelp::windowsVersion()
{
    QFETCH(bool, known);
    QFETCH(quint32, platformId);
    QFETCH(quint32, major);
    QFETCH(quint32, minor);
    QFETCH(qint32, expected);

    if (known)
        m_platform->setWindowsVersion(platformId, major, minor);
    HTMLHelp help(*m_platform);
    QCOMPARE(help.GetWindowsVersion(), expected);
}

void TestHTMLHelp::versionText_data()
{
    QTest::addColumn<quint32>("ms");
    QTest::addColumn<quint32>("ls");
    QTest::addColumn<QString>("expected");

    QTest::newRow("4.72.7290.0") << versionMS(4, 72) << versionMS(7290, 0)
                                 << QStringLiteral("4.72.7290.00");
    QTest::newRow("5.0.2314.1000")
        << versionMS(5, 0) << versionMS(2314, 1000) << QStringLiteral("5.00.2314.1000");
    QTest::newRow("4.0.0.5") << versionMS(4, 0) << versionMS(0, 5) << QStringLiteral("4.00.0005");
    QTest::newRow("4.72.1.2") << versionMS(4, 72) << versionMS(1, 2)
                              << QStringLiteral("4.72.01.02");
    QTest::newRow("build of 32768 or more reads negative")
        << versionMS(4, 72) << versionMS(40000, 7) << QStringLiteral("4.72.0007");
    QTest::newRow("negative revision")
        << versionMS(4, 72) << versionMS(5, 65535) << QStringLiteral("4.72.05.-01");
    QTest::newRow("negative major and minor")
        << versionMS(65535, 65531) << versionMS(0, 5) << QStringLiteral("-1.-05.0005");
}

void TestHTMLHelp::versionText()
{
    QFETCH(quint32, ms);
    QFETCH(quint32, ls);
    QFETCH(QString, expected);

    registerComponents(QStringLiteral("C:\\Windows\\System32\\hhctrl.ocx"), ms, ls,
                       QStringLiteral("C:\\Windows\\System32\\shdocvw.dll"), ms, ls);
    HTMLHelp help(*m_platform);
    QCOMPARE(help.HHVersion(), expected);
    QCOMPARE(help.IEVersion(), expected);
    QVERIFY(m_platform->boxes().isEmpty());
}

void TestHTMLHelp::longFileNameOfTheRegisteredControl_data()
{
    QTest::addColumn<quint32>("ntMajor");
    QTest::addColumn<QString>("registered");
    QTest::addColumn<QStringList>("expectedSearches");
    QTest::addColumn<QString>("expectedVersion");
    QTest::addColumn<QStringList>("expectedBoxes");

    QTest::newRow("quoted short path, walked")
        << 4u << QStringLiteral("\"C:\\WINNT\\SYSTEM32\\HHCTRL~1.OCX\"")
        << QStringList{"C:\\WINNT", "C:\\WinNT\\SYSTEM32", "C:\\WinNT\\System32\\HHCTRL~1.OCX"}
        << QStringLiteral("4.74.8566.00") << QStringList();
    QTest::newRow("second folder missing")
        << 4u << QStringLiteral("C:\\WINNT\\MISSING\\HHCTRL.OCX")
        << QStringList{"C:\\WINNT", "C:\\WinNT\\MISSING", "C:\\WINNT\\MISSING\\HHCTRL.OCX"}
        << QString()
        << QStringList{"Hhctrl.ocx is not in its registered location.  Please reinstall HTML "
                       "Help."};
    QTest::newRow("long-path call on Windows 2000")
        << 5u << QStringLiteral("C:\\WINNT\\SYSTEM32\\HHCTRL~1.OCX")
        << QStringList{"C:\\WinNT\\System32\\hhctrl.ocx"} << QStringLiteral("4.74.8566.00")
        << QStringList();
}

void TestHTMLHelp::longFileNameOfTheRegisteredControl()
{
    QFETCH(quint32, ntMajor);
    QFETCH(QString, registered);
    QFETCH(QStringList, expectedSearches);
    QFETCH(QString, expectedVersion);
    QFETCH(QStringList, expectedBoxes);

    m_platform->setWindowsVersion(2, ntMajor, 0);
    const QString control = QStringLiteral("C:\\WinNT\\System32\\hhctrl.ocx");
    m_platform->addFile(control, QStringLiteral("C:\\WINNT\\SYSTEM32\\HHCTRL~1.OCX"));
    m_platform->setFileVersion(control, versionMS(4, 74), versionMS(8566, 0));
    m_platform->setRegistryValue(RegistryRoot::ClassesRoot, HHClass, QString(), registered);

    HTMLHelp help(*m_platform);
    QCOMPARE(help.HHVersion(), expectedVersion);
    QCOMPARE(m_platform->searches(), expectedSearches);
    QCOMPARE(m_platform->boxTexts(), expectedBoxes);
}

void TestHTMLHelp::verifyMinConfig_data()
{
    QTest::addColumn<quint32>("hhMS");
    QTest::addColumn<quint32>("hhLS");
    QTest::addColumn<quint32>("ieMS");
    QTest::addColumn<quint32>("ieLS");
    QTest::addColumn<qint32>("minHH");
    QTest::addColumn<qint32>("minIE");
    QTest::addColumn<bool>("expected");
    QTest::addColumn<QString>("hhName");
    QTest::addColumn<QString>("ieName");

    QTest::newRow("first minimums reached")
        << versionMS(4, 72) << versionMS(7290, 0) << versionMS(4, 70) << versionMS(1155, 0) << 16
        << 256 << true << QStringLiteral("1.0") << QStringLiteral("3.0");
    QTest::newRow("HTML Help below its minimum")
        << versionMS(4, 72) << versionMS(7290, 0) << versionMS(5, 0) << versionMS(2314, 1000) << 17
        << 256 << false << QStringLiteral("1.0") << QStringLiteral("5.0a (Office 2000)");
    QTest::newRow("browser below its minimum")
        << versionMS(4, 74) << versionMS(8566, 0) << versionMS(4, 72) << versionMS(3612, 1707) << 23
        << 265 << false << QStringLiteral("1.3") << QStringLiteral("4.0 SP2");
    QTest::newRow("compared as text, not as numbers")
        << versionMS(10, 0) << versionMS(1, 0) << versionMS(5, 0) << versionMS(2717, 2000) << 16
        << 270 << false << QStringLiteral("unknown")
        << QStringLiteral("5.0c (Icon Security Issue Update)");
    QTest::newRow("unknown browser code")
        << versionMS(4, 72) << versionMS(7290, 0) << versionMS(5, 0) << versionMS(2314, 1000) << 16
        << 271 << false << QStringLiteral("1.0") << QStringLiteral("unknown");
}

void TestHTMLHelp::verifyMinConfig()
{
    QFETCH(quint32, hhMS);
    QFETCH(quint32, hhLS);
    QFETCH(quint32, ieMS);
    QFETCH(quint32, ieLS);
    QFETCH(qint32, minHH);
    QFETCH(qint32, minIE);
    QFETCH(bool, expected);
    QFETCH(QString, hhName);
    QFETCH(QString, ieName);

    registerComponents(QStringLiteral("C:\\Windows\\System32\\hhctrl.ocx"), hhMS, hhLS,
                       QStringLiteral("C:\\Windows\\System32\\shdocvw.dll"), ieMS, ieLS);
    HTMLHelp help(*m_platform);
    QCOMPARE(help.HHVerifyMinConfig(minHH, minIE), expected);
    QCOMPARE(help.HHFriendlyName(), hhName);
    QCOMPARE(help.IEFriendlyName(), ieName);
    QVERIFY(m_platform->boxes().isEmpty());
    QCOMPARE(m_platform->openKeys(), 0);
}

void TestHTMLHelp::unknownCodeLeavesUnknownUntilVersionIsRead()
{
    registerComponents(QStringLiteral("C:\\Windows\\System32\\hhctrl.ocx"), versionMS(4, 73),
                       versionMS(8561, 0), QStringLiteral("C:\\Windows\\System32\\shdocvw.dll"),
                       versionMS(4, 70), versionMS(1155, 0));
    HTMLHelp help(*m_platform);
    QVERIFY(!help.HHVerifyMinConfig(24, 256));
    QCOMPARE(help.HHFriendlyName(), QStringLiteral("unknown"));
    QCOMPARE(help.HHFriendlyName(), QStringLiteral("unknown"));
    QCOMPARE(help.HHVersion(), QStringLiteral("4.73.8561.00"));
    QCOMPARE(help.HHFriendlyName(), QStringLiteral("1.22"));
}

void TestHTMLHelp::missingComponentsAreReported()
{
    const QString hhNotRegistered =
        QStringLiteral("Hhctrl.ocx is not registered.  Please install HTML Help.");
    const QString ieNotRegistered =
        QStringLiteral("Shdocvw.dll is not registered.  Please install Internet Explorer.");
    HTMLHelp help(*m_platform);
    QVERIFY(!help.HHVerifyMinConfig(16, 256));
    // Each check runs again for the release names while the version is still unknown.
    QCOMPARE(m_platform->boxTexts(),
             (QStringList{hhNotRegistered, ieNotRegistered, hhNotRegistered, ieNotRegistered}));
    QCOMPARE(help.HHFriendlyName(), QStringLiteral("unknown"));

    m_platform->clearRecords();
    m_platform->setRegistryValue(RegistryRoot::ClassesRoot, IEClass, QString(),
                                 QStringLiteral("C:\\Windows\\System32\\shdocvw.dll"));
    QCOMPARE(help.IEVersion(), QString());
    QCOMPARE(m_platform->boxTexts(),
             QStringList{"Internet Explorer is not in its registered location.  Please reinstall "
                         "Internet Explorer."});
    for (const MessageBoxParams& box : m_platform->boxes())
        QCOMPARE(box.dwStyle, 0x10u);
}

void TestHTMLHelp::releaseNames_data()
{
    QTest::addColumn<quint32>("ms");
    QTest::addColumn<quint32>("ls");
    QTest::addColumn<QString>("hhName");
    QTest::addColumn<QString>("ieName");

    QTest::newRow("4.74.8566.0") << versionMS(4, 74) << versionMS(8566, 0) << QStringLiteral("1.3")
                                 << QStringLiteral("unknown");
    QTest::newRow("4.70.1215.0") << versionMS(4, 70) << versionMS(1215, 0)
                                 << QStringLiteral("unknown") << QStringLiteral("3.02");
    QTest::newRow("4.70.1300.0") << versionMS(4, 70) << versionMS(1300, 0)
                                 << QStringLiteral("unknown") << QStringLiteral("3.02");
    QTest::newRow("4.72.3110.300") << versionMS(4, 72) << versionMS(3110, 300)
                                   << QStringLiteral("unknown") << QStringLiteral("4.0 SP1");
    QTest::newRow("5.0.518.5000") << versionMS(5, 0) << versionMS(518, 5000)
                                  << QStringLiteral("unknown") << QStringLiteral("5.0 beta 1");
    QTest::newRow("5.0.2614.3500")
        << versionMS(5, 0) << versionMS(2614, 3500) << QStringLiteral("unknown")
        << QStringLiteral("5.0b (Windows 98 SE)");
    QTest::newRow("6.0.2900.2180") << versionMS(6, 0) << versionMS(2900, 2180)
                                   << QStringLiteral("unknown") << QStringLiteral("unknown");
}

void TestHTMLHelp::releaseNames()
{
    QFETCH(quint32, ms);
    QFETCH(quint32, ls);
    QFETCH(QString, hhName);
    QFETCH(QString, ieName);

    registerComponents(QStringLiteral("C:\\Windows\\System32\\hhctrl.ocx"), ms, ls,
                       QStringLiteral("C:\\Windows\\System32\\shdocvw.dll"), ms, ls);
    HTMLHelp help(*m_platform);
    QCOMPARE(help.HHFriendlyName(), hhName);
    QCOMPARE(help.IEFriendlyName(), ieName);
}

void TestHTMLHelp::installed_data()
{
    QTest::addColumn<bool>("keyPresent");
    QTest::addColumn<bool>("accessDenied");
    QTest::addColumn<bool>("closeFails");
    QTest::addColumn<bool>("expected");

    QTest::newRow("type library registered") << true << false << false << true;
    QTest::newRow("type library missing") << false << false << false << false;
    QTest::newRow("no full access") << true << true << false << false;
    QTest::newRow("key does not close") << true << false << true << false;
}

void TestHTMLHelp::installed()
{
    QFETCH(bool, keyPresent);
    QFETCH(bool, accessDenied);
    QFETCH(bool, closeFails);
    QFETCH(bool, expected);

    if (keyPresent) {
        m_platform->addRegistryKey(
            RegistryRoot::LocalMachine,
            QStringLiteral("SOFTWARE\\Classes\\TypeLib\\{ADB880A2-D8FF-11CF-9377-00AA003B7A11}"));
    }
    m_platform->setFullAccessDenied(accessDenied);
    m_platform->setCloseKeyFails(closeFails);
    HTMLHelp help(*m_platform);
    QCOMPARE(help.HHInstalled(), expected);
    QCOMPARE(m_platform->openKeys(), 0);
}

int runHTMLHelpTests(int argc, char** argv)
{
    TestHTMLHelp test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_HTMLHelp.moc"
