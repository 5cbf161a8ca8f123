// The HTMLHelp class on a platform that behaves like a Windows machine.

#include "FakeHelpPlatform.h"
#include "HTMLHelp.h"
#include "HelpError.h"

#include <QTest>
#include <QWidget>

using namespace tessary;
using namespace Qt::StringLiterals;

namespace {

using Call = FakeHelpPlatform::HelpCall;

const QString HelpFile = u"C:\\Help\\Tessary.chm"_s;
const QString ListKey = u"Software\\Microsoft\\Windows\\HTML Help"_s;
const QString HHClass = u"CLSID\\{4662DAB0-D393-11D0-9A56-00C04FB68B66}\\InprocServer32"_s;
const QString IEClass = u"CLSID\\{0A89A860-D7B1-11CE-8350-444553540000}\\InProcServer32"_s;
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
        result.append(call.target.value_or(u"<null>"_s));
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
        {u"   "_s, HelpFile},
        {u"Main"_s, HelpFile + u">Main"_s},
        {u" Main "_s, HelpFile + u"> Main "_s},
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
        << int(Keyword) << u"Main"_s << QStringList{HelpFile, HelpFile}
        << QList<quint32>{HH_DISPLAY_TOPIC, HH_KEYWORD_LOOKUP};
    QTest::newRow("HHDisplayALink window 'Main'")
        << int(ALink) << u"Main"_s << QStringList{HelpFile} << QList<quint32>{HH_ALINK_LOOKUP};
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

void TestHTMLHelp::bareFileNameIsCompleted_data()
{
    QTest::addColumn<QString>("registeredFolder"); // empty: not in the list
    QTest::addColumn<bool>("expandable");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("expectedFile");
    QTest::addColumn<bool>("shown");

    const QString appFile = u"C:\\Program Files\\Tessary\\Tessary.chm"_s;
    const QString docFile = u"D:\\Docs\\Help\\Tessary.chm"_s;
    QTest::newRow("listed, folder ends in separator")
        << u"D:\\Docs\\Help\\"_s << false << QStringList{docFile} << docFile << true;
    QTest::newRow("listed, folder without closing separator")
        << u"D:\\Docs\\Help"_s << false << QStringList{docFile} << docFile << true;
    QTest::newRow("listed with an environment variable")
        << u"%HELPDIR%\\"_s << true << QStringList{docFile} << docFile << true;
    QTest::newRow("listed but missing there")
        << u"D:\\Docs\\Help\\"_s << false << QStringList{appFile} << docFile << false;
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
    m_platform->setEnvironment(u"HelpDir"_s, u"D:\\Docs\\Help"_s);
    if (!registeredFolder.isEmpty()) {
        m_platform->setRegistryValue(
            RegistryRoot::LocalMachine, ListKey, u"TESSARY.CHM"_s, registeredFolder,
            expandable ? RegistryType::ExpandString : RegistryType::String);
    }

    HTMLHelp help(*m_platform);
    help.setCHMFile(u"Tessary.chm"_s);
    help.setHHWindow(u"Main"_s);
    help.HHDisplayContents();

    QCOMPARE(help.CHMFile(), expectedFile);
    QCOMPARE(m_platform->helpCalls().size(), shown ? 1 : 0);
    if (shown)
        QCOMPARE(m_platform->helpCalls()[0].target, expectedFile + u">Main"_s);
    QVERIFY(m_platform->boxes().isEmpty());
    QCOMPARE(m_platform->openKeys(), 0);
}

void TestHTMLHelp::onlyChmFilesAreShown_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("txt file") << u"C:\\Help\\Tessary.txt"_s << false;
    QTest::newRow("empty name") << QString() << false;
    QTest::newRow("chm in upper case") << u"C:\\Help\\TESSARY.CHM"_s << true;
    QTest::newRow("chm without a dot") << u"C:\\Help\\Tessarychm"_s << true;
}

void TestHTMLHelp::onlyChmFilesAreShown()
{
    QFETCH(QString, file);
    QFETCH(bool, accepted);

    m_platform->addFile(u"C:\\Help\\Tessarychm"_s);
    m_platform->addFile(u"C:\\Help\\Tessary.txt"_s);
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
    QCOMPARE(box.lpszCaption, u"HTML Help Class"_s);
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
        QTest::addRow("%s, all set", name) << int(member) << u"folders;pages"_s << u"welcome.html"_s
                                           << u"Nothing found"_s << u"Tessary Help"_s << u"Main"_s;
        QTest::addRow("%s, blank window", name) << int(member) << u"folders"_s << QString()
                                                << u"Nothing found"_s << QString() << u"  "_s;
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
    help.setHHKeyword(u"folders"_s);

    help.HHDisplayKeyword(); // must not throw, and goes on to the lookup
    QCOMPARE(commands(m_platform->helpCalls()),
             (QList<quint32>{HH_DISPLAY_TOPIC, HH_KEYWORD_LOOKUP}));
    help.HHClose();
    QCOMPARE(m_platform->helpCalls().last().command, HH_CLOSE_ALL);

    // A pop-up reports the failure and keeps its styling.
    help.setHHPopupType(HTMLHelp::PopupText);
    help.setHHPopupText(u"Hint"_s);
    help.setHHPopupTextFont(u"Verdana"_s);
    QVERIFY_THROWS_EXCEPTION(HelpError, help.HHDisplayPopup(nullptr));
    m_platform->setHelpControlMissing(false);
    help.HHDisplayPopup(nullptr);
    QCOMPARE(m_platform->helpCalls().last().popupFont, u"Verdana, 10, ascii, "_s);
}

void TestHTMLHelp::staleRegistryFindingsAreNotUsed()
{
    m_platform->setRegistryValue(RegistryRoot::LocalMachine, ListKey, u"Tessary.chm"_s,
                                 u"C:\\Help\\"_s);
    HTMLHelp help(*m_platform);
    QCOMPARE(help.HHCheckRegistry(u"Tessary.chm"_s), std::optional<bool>(false));
    QCOMPARE(help.HHRegFileName(), u"Tessary.chm"_s);
    QVERIFY(help.HHRegFileExists());

    QString name = u"notes.txt"_s;
    QVERIFY(!help.EnsureFileExists(name));
    QCOMPARE(name, u"C:\\Program Files\\Tessary\\notes.txt"_s);
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
                              << u"Arial, 10, ascii, "_s;
    QTest::newRow("all styles") << u"Verdana"_s << u"12"_s << true << true << true
                                << u"Verdana, 12, ascii, Bold Italic Underline"_s;
    QTest::newRow("italic only") << QString() << u"8"_s << false << true << false
                                 << u"Arial, 8, ascii, Italic "_s;
    QTest::newRow("bold and underline") << u"Tahoma"_s << QString() << true << false << true
                                        << u"Tahoma, 10, ascii, Bold Underline"_s;
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
    help.setHHPopupText(u"Hint"_s);
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
    help.setHHPopupText(u"First"_s);
    help.setHHPopupTextColor(0x0000FF);
    help.setHHPopupBackColor(0xE0FFFF);
    help.setHHPopupCustomTextColor(0x00FF00);
    help.setHHPopupCustomBackColor(0x202020);
    help.setHHPopupCustomColors(true);
    help.setHHPopupTextFont(u"Verdana"_s);
    help.setHHPopupTextSize(u"12"_s);
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
    QCOMPARE(calls[0].popupFont, u"Verdana, 12, ascii, Bold "_s);
    for (const Call& call : calls.mid(1)) {
        QCOMPARE(call.popup.clrForeground, 0u);
        QCOMPARE(call.popup.clrBackground, 0u);
        QCOMPARE(call.popupFont, u"Arial, 10, ascii, "_s);
        QCOMPARE(call.popupText, u"First"_s); // the text is kept
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

    QTest::newRow("type 0") << 0 << u"Hint"_s << HelpFile << QString() << QStringList();
    QTest::newRow("type 4 without text")
        << 4 << QString() << HelpFile << QString() << QStringList();
    QTest::newRow("type 3") << 3 << u"Hint"_s << HelpFile << QString() << QStringList();
    QTest::newRow("type 1 with a txt help file")
        << 1 << QString() << u"C:\\Help\\Tessary.txt"_s << u"popups.txt"_s
        << QStringList{"C:\\Help\\Tessary.txt is not a valid HTML Help file."};
    QTest::newRow("type 1 with an htm pop-up file")
        << 1 << QString() << HelpFile << u"popups.htm"_s
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
    help.setHHPopupTextFont(u"Verdana"_s);
    help.setHHPopupTextColor(0x0000FF);
    help.setHHPopupTextItalic(true);
    help.HHDisplayPopup(nullptr);

    QVERIFY(m_platform->helpCalls().isEmpty());
    QCOMPARE(m_platform->boxTexts(), boxes);

    // The next pop-up still carries the styling set before.
    help.setHHPopupType(HTMLHelp::PopupText);
    help.setHHPopupText(u"Next"_s);
    help.HHDisplayPopup(nullptr);
    QCOMPARE(m_platform->helpCalls().size(), 1);
    QCOMPARE(m_platform->helpCalls()[0].popupFont, u"Verdana, 10, ascii, Italic "_s);
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
        << 1 << u"Tessary.chm"_s
        << std::optional<QString>("C:\\Program Files\\Tessary\\Tessary.chm::/popups.txt") << 100u
        << std::optional<QString>() << u"C:\\Program Files\\Tessary\\Tessary.chm"_s;
    QTest::newRow("string table") << 2 << u"none.txt"_s << std::optional<QString>() << 0u
                                  << std::optional<QString>("From the table") << u"none.txt"_s;
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

    m_platform->addFile(u"C:\\Program Files\\Tessary\\Tessary.chm"_s);
    m_platform->setString(100, u"From the table"_s);
    m_platform->setCursorPos(QPoint(300, 200));
    QWidget form;
    HTMLHelp help(*m_platform);
    help.setCHMFile(chmFile);
    help.setHHPopupType(type);
    help.setHHPopupID(100);
    help.setHHPopupText(u"Literal"_s);
    help.setHHPopupFile(u"popups.txt"_s);
    help.HHDisplayPopup(&form);

    QCOMPARE(m_platform->helpCalls().size(), 1);
    const Call& call = m_platform->helpCalls()[0];
    QCOMPARE(call.owner, &form); // pop-ups belong to the calling window whatever HHShowOnTop says
    QCOMPARE(call.command, HH_DISPLAY_TEXT_POPUP);
    QCOMPARE(call.target, expectedTarget);
    QCOMPARE(call.popup.idString, expectedId);
    QCOMPARE(call.popupText, expectedText);
    QCOMPARE(call.popup.pt.x, 300);
    QCOMPARE(call.popup.pt.y, 200);
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

    QTest::newRow("1") << qint16(1) << u"C:\\Program Files\\Tessary\\Library.chm"_s;
    QTest::newRow("2") << qint16(2) << u"Library.txt"_s;
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
        << u"Tessary.chm"_s << u"TESSARY.CHM"_s << RegistryType::String << u"C:\\Help\\"_s
        << u"Tessary.chm"_s << u"C:\\Help\\"_s << true << u"C:\\Help\\\\Tessary.chm"_s;
    QTest::newRow("full path is cut to its name")
        << u"E:\\Elsewhere\\Tessary.chm"_s << u"Tessary.chm"_s << RegistryType::String
        << u"C:\\Help\\"_s << u"Tessary.chm"_s << u"C:\\Help\\"_s << true
        << u"C:\\Help\\\\Tessary.chm"_s;
    QTest::newRow("listed, file missing")
        << u"Other.chm"_s << u"Other.chm"_s << RegistryType::String << u"C:\\Help\\"_s
        << u"Other.chm"_s << u"C:\\Help\\"_s << false << u"C:\\Help\\\\Other.chm"_s;
    QTest::newRow("value of another type is not a listing")
        << u"Tessary.chm"_s << u"Tessary.chm"_s << 3u << u"C:\\Help\\"_s << QString() << QString()
        << false << QString();
    QTest::newRow("not listed") << u"Tessary.chm"_s << u"Another.chm"_s << RegistryType::String
                                << u"C:\\Help\\"_s << QString() << QString() << false << QString();
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
    m_platform->setEnvironment(u"SYSTEMDRIVE"_s, u"C:"_s);
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
    m_platform->setRegistryValue(RegistryRoot::LocalMachine, ListKey, u"Tessary.chm"_s,
                                 u"C:\\Help\\"_s);
    HTMLHelp help(*m_platform);
    help.HHCheckRegistry(u"Tessary.chm"_s);
    QVERIFY(help.HHRegFileExists());

    QCOMPARE(help.HHCheckRegistry(QString()), std::nullopt);
    QCOMPARE(help.HHRegFileName(), u"Tessary.chm"_s);
    QCOMPARE(help.HHRegFilePath(), u"C:\\Help\\"_s);
    QVERIFY(help.HHRegFileExists());

    // A name that is not a help file only clears the existence flag.
    QCOMPARE(help.HHCheckRegistry(u"Tessary.hlp"_s), std::optional<bool>(false));
    QVERIFY(!help.HHRegFileExists());
    QCOMPARE(help.HHRegFileName(), u"Tessary.chm"_s);
    QCOMPARE(m_platform->boxTexts(), QStringList{"Tessary.hlp is not a valid HTML Help file."});
}

void TestHTMLHelp::registerFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("listedBefore");
    QTest::addColumn<QString>("expectedString");
    QTest::addColumn<QStringList>("expectedBoxes");
    QTest::addColumn<QString>("expectedFolder"); // empty: nothing written

    QTest::newRow("full path") << HelpFile << false << u"Tessary.chm"_s << QStringList()
                               << u"C:\\Help\\"_s;
    QTest::newRow("short path is made long")
        << u"C:\\HELPFI~1\\TESSARY.CHM"_s << false << u"Tessary.chm"_s << QStringList()
        << u"C:\\Help Files\\"_s;
    QTest::newRow("bare name found in the program folder")
        << u"Tessary.chm"_s << false << u"C:\\Program Files\\Tessary\\Tessary.chm"_s
        << QStringList{"Cannot register Tessary.chm without having a supplied path.\""}
        << QString();
    QTest::newRow("already listed")
        << HelpFile << true << HelpFile
        << QStringList{"The file C:\\Help\\Tessary.chm is already registered.  HHRegister will "
                       "not be run as no action need be taken."}
        << u"D:\\Old\\"_s;
    QTest::newRow("missing file") << u"C:\\Help\\Gone.chm"_s << false << u"C:\\Help\\Gone.chm"_s
                                  << QStringList() << QString();
    QTest::newRow("not a help file")
        << u"C:\\Help\\Tessary.hlp"_s << false << u"C:\\Help\\Tessary.hlp"_s
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
    m_platform->addFile(u"C:\\Program Files\\Tessary\\Tessary.chm"_s);
    m_platform->addFile(u"C:\\Help Files\\Tessary.chm"_s, u"C:\\HELPFI~1\\TESSARY.CHM"_s);
    m_platform->addFile(u"D:\\Old\\Tessary.chm"_s);
    if (listedBefore) {
        m_platform->setRegistryValue(RegistryRoot::LocalMachine, ListKey, u"Tessary.chm"_s,
                                     u"D:\\Old\\"_s);
    }

    HTMLHelp help(*m_platform);
    QString name = file;
    help.HHRegister(name);

    QCOMPARE(name, expectedString);
    QCOMPARE(m_platform->boxTexts(), expectedBoxes);
    const auto value =
        m_platform->registryValue(RegistryRoot::LocalMachine, ListKey, u"Tessary.chm"_s);
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
    QCOMPARE(name, u"Tessary.chm"_s);
}

void TestHTMLHelp::unregisterFile_data()
{
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QString>("expectedString");
    QTest::addColumn<QStringList>("expectedBoxes");

    QTest::newRow("listed") << true << u"Tessary.chm"_s << QStringList();
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

    m_platform->setRegistryValue(RegistryRoot::LocalMachine, ListKey, u"Other.chm"_s,
                                 u"C:\\Help\\"_s);
    if (listed) {
        m_platform->setRegistryValue(RegistryRoot::LocalMachine, ListKey, u"Tessary.chm"_s,
                                     u"C:\\Help\\"_s);
    }
    HTMLHelp help(*m_platform);
    QString name = HelpFile;
    help.HHUnRegister(name);

    QCOMPARE(name, expectedString);
    QCOMPARE(m_platform->boxTexts(), expectedBoxes);
    QVERIFY(!m_platform->registryValue(RegistryRoot::LocalMachine, ListKey, u"Tessary.chm"_s));
    QVERIFY(m_platform->registryValue(RegistryRoot::LocalMachine, ListKey, u"Other.chm"_s));
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

    QTest::newRow("4.72.7290.0") << versionMS(4, 72) << versionMS(7290, 0) << u"4.72.7290.00"_s;
    QTest::newRow("5.0.2314.1000")
        << versionMS(5, 0) << versionMS(2314, 1000) << u"5.00.2314.1000"_s;
    QTest::newRow("4.0.0.5") << versionMS(4, 0) << versionMS(0, 5) << u"4.00.0005"_s;
    QTest::newRow("4.72.1.2") << versionMS(4, 72) << versionMS(1, 2) << u"4.72.01.02"_s;
    QTest::newRow("build of 32768 or more reads negative")
        << versionMS(4, 72) << versionMS(40000, 7) << u"4.72.0007"_s;
    QTest::newRow("negative revision")
        << versionMS(4, 72) << versionMS(5, 65535) << u"4.72.05.-01"_s;
    QTest::newRow("negative major and minor")
        << versionMS(65535, 65531) << versionMS(0, 5) << u"-1.-05.0005"_s;
}

void TestHTMLHelp::versionText()
{
    QFETCH(quint32, ms);
    QFETCH(quint32, ls);
    QFETCH(QString, expected);

    registerComponents(u"C:\\Windows\\System32\\hhctrl.ocx"_s, ms, ls,
                       u"C:\\Windows\\System32\\shdocvw.dll"_s, ms, ls);
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
        << 4u << u"\"C:\\WINNT\\SYSTEM32\\HHCTRL~1.OCX\""_s
        << QStringList{"C:\\WINNT", "C:\\WinNT\\SYSTEM32", "C:\\WinNT\\System32\\HHCTRL~1.OCX"}
        << u"4.74.8566.00"_s << QStringList();
    QTest::newRow("second folder missing")
        << 4u << u"C:\\WINNT\\MISSING\\HHCTRL.OCX"_s
        << QStringList{"C:\\WINNT", "C:\\WinNT\\MISSING", "C:\\WINNT\\MISSING\\HHCTRL.OCX"}
        << QString()
        << QStringList{"Hhctrl.ocx is not in its registered location.  Please reinstall HTML "
                       "Help."};
    QTest::newRow("long-path call on Windows 2000")
        << 5u << u"C:\\WINNT\\SYSTEM32\\HHCTRL~1.OCX"_s
        << QStringList{"C:\\WinNT\\System32\\hhctrl.ocx"} << u"4.74.8566.00"_s << QStringList();
}

void TestHTMLHelp::longFileNameOfTheRegisteredControl()
{
    QFETCH(quint32, ntMajor);
    QFETCH(QString, registered);
    QFETCH(QStringList, expectedSearches);
    QFETCH(QString, expectedVersion);
    QFETCH(QStringList, expectedBoxes);

    m_platform->setWindowsVersion(2, ntMajor, 0);
    const QString control = u"C:\\WinNT\\System32\\hhctrl.ocx"_s;
    m_platform->addFile(control, u"C:\\WINNT\\SYSTEM32\\HHCTRL~1.OCX"_s);
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
        << 256 << true << u"1.0"_s << u"3.0"_s;
    QTest::newRow("HTML Help below its minimum")
        << versionMS(4, 72) << versionMS(7290, 0) << versionMS(5, 0) << versionMS(2314, 1000) << 17
        << 256 << false << u"1.0"_s << u"5.0a (Office 2000)"_s;
    QTest::newRow("compared as text, not as numbers")
        << versionMS(10, 0) << versionMS(1, 0) << versionMS(5, 0) << versionMS(2717, 2000) << 16
        << 270 << false << u"unknown"_s << u"5.0c (Icon Security Issue Update)"_s;
    QTest::newRow("unknown browser code")
        << versionMS(4, 72) << versionMS(7290, 0) << versionMS(5, 0) << versionMS(2314, 1000) << 16
        << 271 << false << u"1.0"_s << u"unknown"_s;
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

    registerComponents(u"C:\\Windows\\System32\\hhctrl.ocx"_s, hhMS, hhLS,
                       u"C:\\Windows\\System32\\shdocvw.dll"_s, ieMS, ieLS);
    HTMLHelp help(*m_platform);
    QCOMPARE(help.HHVerifyMinConfig(minHH, minIE), expected);
    QCOMPARE(help.HHFriendlyName(), hhName);
    QCOMPARE(help.IEFriendlyName(), ieName);
    QVERIFY(m_platform->boxes().isEmpty());
    QCOMPARE(m_platform->openKeys(), 0);
}

void TestHTMLHelp::unknownCodeLeavesUnknownUntilVersionIsRead()
{
    registerComponents(u"C:\\Windows\\System32\\hhctrl.ocx"_s, versionMS(4, 73), versionMS(8561, 0),
                       u"C:\\Windows\\System32\\shdocvw.dll"_s, versionMS(4, 70),
                       versionMS(1155, 0));
    HTMLHelp help(*m_platform);
    QVERIFY(!help.HHVerifyMinConfig(24, 256));
    QCOMPARE(help.HHFriendlyName(), u"unknown"_s);
    QCOMPARE(help.HHFriendlyName(), u"unknown"_s);
    QCOMPARE(help.HHVersion(), u"4.73.8561.00"_s);
    QCOMPARE(help.HHFriendlyName(), u"1.22"_s);
}

void TestHTMLHelp::missingComponentsAreReported()
{
    const QString hhNotRegistered = u"Hhctrl.ocx is not registered.  Please install HTML Help."_s;
    const QString ieNotRegistered =
        u"Shdocvw.dll is not registered.  Please install Internet Explorer."_s;
    HTMLHelp help(*m_platform);
    QVERIFY(!help.HHVerifyMinConfig(16, 256));
    // Each check runs again for the release names while the version is still unknown.
    QCOMPARE(m_platform->boxTexts(),
             (QStringList{hhNotRegistered, ieNotRegistered, hhNotRegistered, ieNotRegistered}));
    QCOMPARE(help.HHFriendlyName(), u"unknown"_s);

    m_platform->clearRecords();
    m_platform->setRegistryValue(RegistryRoot::ClassesRoot, IEClass, QString(),
                                 u"C:\\Windows\\System32\\shdocvw.dll"_s);
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

    QTest::newRow("4.74.8566.0") << versionMS(4, 74) << versionMS(8566, 0) << u"1.3"_s
                                 << u"unknown"_s;
    QTest::newRow("4.70.1215.0") << versionMS(4, 70) << versionMS(1215, 0) << u"unknown"_s
                                 << u"3.02"_s;
    QTest::newRow("4.70.1300.0") << versionMS(4, 70) << versionMS(1300, 0) << u"unknown"_s
                                 << u"3.02"_s;
    QTest::newRow("5.0.518.5000") << versionMS(5, 0) << versionMS(518, 5000) << u"unknown"_s
                                  << u"5.0 beta 1"_s;
    QTest::newRow("6.0.2900.2180")
        << versionMS(6, 0) << versionMS(2900, 2180) << u"unknown"_s << u"unknown"_s;
}

void TestHTMLHelp::releaseNames()
{
    QFETCH(quint32, ms);
    QFETCH(quint32, ls);
    QFETCH(QString, hhName);
    QFETCH(QString, ieName);

    registerComponents(u"C:\\Windows\\System32\\hhctrl.ocx"_s, ms, ls,
                       u"C:\\Windows\\System32\\shdocvw.dll"_s, ms, ls);
    HTMLHelp help(*m_platform);
    QCOMPARE(help.HHFriendlyName(), hhName);
    QCOMPARE(help.IEFriendlyName(), ieName);
}

int runHTMLHelpTests(int argc, char** argv)
{
    TestHTMLHelp test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_HTMLHelp.moc"
