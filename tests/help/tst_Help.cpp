// The help folder: the HTMLHelp class on a platform that behaves like a Windows machine, the
// help-topic routine and the About box. Each table's rows are tuples, named where the test
// takes them apart.

#include "FakeHelpPlatform.h"
#include "HTMLHelp.h"
#include "HelpError.h"
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

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace tessary;
using namespace Qt::StringLiterals;

namespace {

const QString HelpFile = u"C:\\Help\\Tessary.chm"_s;
const QString AppFile = u"C:\\Program Files\\Tessary\\Tessary.chm"_s;
const QString DocFile = u"D:\\Docs\\Help\\Tessary.chm"_s;
const QString ListKey = u"Software\\Microsoft\\Windows\\HTML Help"_s;
const QString HHClass = u"CLSID\\{4662DAB0-D393-11D0-9A56-00C04FB68B66}\\InprocServer32"_s;
const QString IEClass = u"CLSID\\{0A89A860-D7B1-11CE-8350-444553540000}\\InProcServer32"_s;
const QString NotAHelpFile = u" is not a valid HTML Help file."_s;
const QString Unknown = u"unknown"_s;
const QString NoAction = u" will not be run as no action need be taken."_s;
constexpr auto LocalMachine = RegistryRoot::LocalMachine;

struct DisplayMember
{
    const char* name;
    void (HTMLHelp::*show)(QWidget*);
    QList<quint32> commands;
    bool lookup; // names the file alone; the window type goes into the lookup's record
};
const DisplayMember Members[] = {
    {"HHDisplayTopicURL", &HTMLHelp::HHDisplayTopicURL, {HH_DISPLAY_TOPIC}, false},
    {"HHDisplayTopicID", &HTMLHelp::HHDisplayTopicID, {HH_HELP_CONTEXT}, false},
    {"HHDisplaySearch", &HTMLHelp::HHDisplaySearch, {HH_DISPLAY_SEARCH}, false},
    {"HHDisplayIndex", &HTMLHelp::HHDisplayIndex, {HH_DISPLAY_INDEX}, false},
    {"HHDisplayContents", &HTMLHelp::HHDisplayContents, {HH_DISPLAY_TOC}, false},
    {"HHDisplayKeyword", &HTMLHelp::HHDisplayKeyword, {HH_DISPLAY_TOPIC, HH_KEYWORD_LOOKUP}, true},
    {"HHDisplayALink", &HTMLHelp::HHDisplayALink, {HH_ALINK_LOOKUP}, true},
};
constexpr int Keyword = 5, ALink = 6;

QStringList orNone(const QString& text)
{
    return text.isEmpty() ? QStringList() : QStringList{text};
}

using MemberRow = std::tuple<int, QString, bool, bool, bool>;
using FileRow = std::tuple<QString, QString, QString, QString, bool, QString>;
using ListRow = std::tuple<bool, QString, int, QString, QString, QString>;
using VersionRow = std::tuple<QString, QString, QString, qint32, qint32, bool>;
using LongNameRow = std::tuple<quint32, quint32, quint32, QString, qsizetype, bool>;

} // namespace

class TestHelp : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeHelpPlatform> m_platform;
    std::optional<HTMLHelp> help;
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

    // The target, command, text and record of every help call: "C:\Help\Tessary.chm>Main 1".
    QStringList calls() const
    {
        QStringList result;
        for (const FakeHelpPlatform::HelpCall& call : m_platform->helpCalls()) {
            QStringList parts{call.target.value_or(u"null"_s), QString::number(call.command),
                              call.text.value_or(QString()), call.record};
            parts.removeAll(QString());
            result.append(parts.join(u' '));
        }
        return result;
    }

    // The two components at their registered places, with file versions like "4.72.7290.0".
    void registerComponents(const QString& hhVersion, const QString& ieVersion)
    {
        for (const auto& [key, path, version] :
             {std::tuple(HHClass, u"C:\\Windows\\System32\\hhctrl.ocx"_s, hhVersion),
              std::tuple(IEClass, u"C:\\Windows\\System32\\shdocvw.dll"_s, ieVersion)}) {
            const QStringList n = version.split(u'.');
            m_platform->setRegistryValue(RegistryRoot::ClassesRoot, key, QString(), path);
            m_platform->addFile(path);
            m_platform->setFileVersion(path, n[0].toUInt() << 16 | n[1].toUInt(),
                                       n[2].toUInt() << 16 | n[3].toUInt());
        }
    }

private slots:
    void init()
    {
        m_platform = std::make_unique<FakeHelpPlatform>();
        m_platform->addFile(HelpFile);
        help.emplace(*m_platform);
        m_dir = std::make_unique<QTemporaryDir>();
        m_folder = std::make_unique<ProgramFolder>(m_dir->path());
        m_launcher.emplace();
        m_boxes.clear();
    }

    // --- Display members --------------------------------------------------------------------

    void displayMembers_data()
    {
        // member; window type; HHShowOnTop; a calling form; the lookup texts set
        QTest::addColumn<MemberRow>("row");
        const MemberRow cases[] = {{0, "   ", false, true, false},
                                   {0, "Main", true, true, false},
                                   {0, " Main ", false, false, true},
                                   {0, "Main", true, false, true}};
        for (int member = 0; member < int(std::size(Members)); ++member) {
            for (auto [_, window, onTop, withForm, texts] : cases) {
                QTest::addRow("%s '%s'%s%s", Members[member].name, qPrintable(window),
                              onTop ? " on top" : "", withForm ? " with a form" : "")
                    << MemberRow(member, window, onTop, withForm, texts);
            }
        }
    }
    void displayMembers()
    {
        QFETCH(MemberRow, row);
        const auto& [member, window, onTop, withForm, texts] = row;
        QWidget form;
        help->setCHMFile(HelpFile);
        help->setHHWindow(window);
        help->setHHShowOnTop(onTop);
        const QStringList lookup = texts ? QStringList{"a;b", "welcome.html", "None found", "Help"}
                                         : QStringList{"", "", "", ""};
        help->setHHKeyword(member == Keyword ? lookup[0] : u"unused"_s);
        help->setHHALink(member == ALink ? lookup[0] : u"unused"_s);
        help->setHHDefaultURL(lookup[1]);
        help->setHHMsgText(lookup[2]);
        help->setHHMsgTitle(lookup[3]);
        ((*help).*Members[member].show)(withForm ? &form : nullptr);

        if (onTop && !withForm) {
            // Every member reports this under one name.
            QCOMPARE(calls() + m_platform->boxTexts(),
                     QStringList{"The HHDisplayContents method was called without a form being "
                                 "specified, while HHShowOnTop was set to True."});
            return;
        }
        const bool blank = window.trimmed().isEmpty();
        const QString target = HelpFile + (Members[member].lookup || blank ? u""_s : u'>' + window);
        QStringList expected;
        for (const quint32 command : Members[member].commands)
            expected.append(target + u' ' + QString::number(command));
        // A lookup passes empty texts as null pointers, except the names, and the window
        // type in its record.
        if (Members[member].lookup) {
            expected.last() += (texts ? uR"( 32 0 "a;b" "welcome.html" "None found" "Help" %1 0)"_s
                                      : uR"( 32 0 "" null null null %1 0)"_s)
                                   .arg(blank ? u"null"_s : u'"' + window + u'"');
        }
        QCOMPARE(calls() + m_platform->boxTexts(), expected);
        for (const FakeHelpPlatform::HelpCall& call : m_platform->helpCalls())
            QCOMPARE(call.owner, onTop ? &form : nullptr);
    }

    void whichFileIsShown_data()
    {
        // CHMFile; its folder in the list; the file present besides C:\Help\Tessary.chm;
        // CHMFile afterwards; whether it is shown; the box
        QTest::addColumn<FileRow>("row");
        const QString name = u"Tessary.chm"_s;
        const QString txt = u"C:\\Help\\Tessary.txt"_s;
        QTest::newRow("listed, folder ends in separator")
            << FileRow(name, "D:\\Docs\\Help\\", DocFile, DocFile, true, "");
        QTest::newRow("listed in upper case, folder without closing separator") << FileRow(
            "TESSARY.CHM", "D:\\Docs\\Help", DocFile, "D:\\Docs\\Help\\TESSARY.CHM", true, "");
        QTest::newRow("listed with an environment variable")
            << FileRow(name, "%HelpDir%\\", DocFile, DocFile, true, "");
        QTest::newRow("listed but missing there")
            << FileRow(name, "D:\\Docs\\Help\\", AppFile, DocFile, false, "");
        QTest::newRow("in the program folder") << FileRow(name, "", AppFile, AppFile, true, "");
        QTest::newRow("nowhere") << FileRow(name, "", "", AppFile, false, "");
        QTest::newRow("txt file") << FileRow(txt, "", txt, txt, false, txt + NotAHelpFile);
    }
    void whichFileIsShown()
    {
        QFETCH(FileRow, row);
        const auto& [file, listedFolder, present, expectedFile, shown, box] = row;
        m_platform->addFile(present);
        m_platform->environment.insert(u"HELPDIR"_s, u"D:\\Docs\\Help"_s);
        if (!listedFolder.isEmpty()) {
            m_platform->setRegistryValue(LocalMachine, ListKey, u"TESSARY.CHM"_s, listedFolder,
                                         listedFolder.contains(u'%') ? RegistryType::ExpandString
                                                                     : RegistryType::String);
        }
        help->setCHMFile(file);
        help->setHHWindow(u"Main"_s);
        help->HHDisplayContents();

        QCOMPARE(help->CHMFile(), expectedFile);
        QCOMPARE(calls() + m_platform->boxTexts(),
                 shown ? QStringList{expectedFile + u">Main 1"_s} : orNone(box));
        for (const MessageBoxParams& box : m_platform->boxes()) {
            QCOMPARE(std::tuple(box.cbSize, !box.hwndOwner, box.lpszCaption, box.dwStyle),
                     std::tuple(40u, true, u"HTML Help Class"_s, MessageBoxStyle::IconHand));
        }
    }

    void controlFailures()
    {
        m_platform->helpControlMissing = true;
        help->setCHMFile(HelpFile);
        help->setHHKeyword(u"folders"_s);
        help->HHDisplayKeyword(); // must not throw, and goes on to the lookup
        help->HHClose();
        // A pop-up reports the failure and keeps its styling; so does a pop-up whose text is
        // not in the string table, before any help call.
        help->setHHPopupType(HTMLHelp::PopupText);
        help->setHHPopupText(u"Hint"_s);
        help->setHHPopupTextFont(u"Verdana"_s);
        QVERIFY_THROWS_EXCEPTION(HelpError, help->HHDisplayPopup(nullptr));
        m_platform->helpControlMissing = false;
        help->HHDisplayPopup(nullptr);
        help->setHHPopupType(HTMLHelp::PopupFromStringTable);
        QVERIFY_THROWS_EXCEPTION(HelpError, help->HHDisplayPopup(nullptr));
        const QString popup = uR"(null 14 "Verdana, 10, ascii, ")"_s;
        QCOMPARE(calls(), (QStringList{HelpFile + " 0",
                                       HelpFile + R"( 13 32 0 "folders" null null null null 0)",
                                       HelpFile + " 18", popup, popup}));
    }

    // --- Registry list ----------------------------------------------------------------------

    void registryChecksAndEarlierFindings()
    {
        m_platform->setWindowsVersion(2, 5, 0); // folders are made long by the system's call
        for (const char* name : {"Tessary.chm", "Gone.chm"})
            m_platform->setRegistryValue(LocalMachine, ListKey, name, u"C:\\Help\\"_s);
        m_platform->setRegistryValue(LocalMachine, ListKey, u"Binary.chm"_s, u"C:\\Help\\"_s, 3);
        // The answer and the findings: "0 Tessary.chm C:\Help\ 1".
        const auto check = [&](const QString& name) {
            const std::optional<bool> answer = help->HHCheckRegistry(name);
            return QStringList{answer ? QString::number(*answer) : u"-"_s, help->HHRegFileName(),
                               help->HHRegFilePath(), QString::number(help->HHRegFileExists())}
                .join(u' ');
        };
        QCOMPARE(check(u"E:\\Elsewhere\\TESSARY.CHM"_s), u"0 TESSARY.CHM C:\\Help\\ 1"_s);
        QCOMPARE(check(u"Gone.chm"_s), u"0 Gone.chm C:\\Help\\ 0"_s);
        QCOMPARE(check(u"Binary.chm"_s), u"0   0"_s); // a value of another type lists nothing
        QCOMPARE(check(u"Tessary.chm"_s), u"0 Tessary.chm C:\\Help\\ 1"_s);
        QCOMPARE(check(QString()), u"- Tessary.chm C:\\Help\\ 1"_s); // nothing changes
        // A name that is not a help file only clears the existence flag ...
        QCOMPARE(check(u"Tessary.hlp"_s), u"0 Tessary.chm C:\\Help\\ 0"_s);
        // ... and the findings left behind do not complete another name.
        QString name = u"notes.txt"_s;
        QVERIFY(!help->EnsureFileExists(name));
        // The listed folder and the name are joined with one more separator.
        QCOMPARE(m_platform->searches() + m_platform->boxTexts(),
                 (QStringList{"C:\\Help\\\\TESSARY.CHM", "C:\\Help\\\\Gone.chm",
                              "C:\\Help\\\\Tessary.chm", "C:\\Program Files\\Tessary\\notes.txt",
                              u"Tessary.hlp"_s + NotAHelpFile, u"notes.txt"_s + NotAHelpFile}));
    }

    void registryList_data()
    {
        // unregister; the file; 1: listed in D:\Old\, 2: the list cannot be written; the
        // caller's string afterwards; the box; the folder listed under the file's name
        QTest::addColumn<ListRow>("row");
        const QString name = u"Tessary.chm"_s;
        const QString hlp = u"C:\\Help\\Tessary.hlp"_s;
        QTest::newRow("full path") << ListRow(false, HelpFile, 0, name, "", "C:\\Help\\");
        QTest::newRow("short path is made long")
            << ListRow(false, "C:\\HELPFI~1\\TESSARY.CHM", 0, name, "", "C:\\Help Files\\");
        QTest::newRow("bare name found in the program folder")
            << ListRow(false, name, 0, AppFile,
                       "Cannot register Tessary.chm without having a supplied path.\"", "");
        QTest::newRow("already listed") << ListRow(
            false, HelpFile, 1, HelpFile,
            u"The file C:\\Help\\Tessary.chm is already registered.  HHRegister"_s + NoAction,
            "D:\\Old\\");
        QTest::newRow("missing file")
            << ListRow(false, "C:\\Help\\Gone.chm", 0, "C:\\Help\\Gone.chm", "", "");
        QTest::newRow("not a help file") << ListRow(false, hlp, 0, hlp, hlp + NotAHelpFile, "");
        QTest::newRow("list cannot be written")
            << ListRow(false, HelpFile, 2, name, "HTML Help Class: HHRegister Error", "");
        QTest::newRow("unregister") << ListRow(true, HelpFile, 1, name, "", "");
        QTest::newRow("unregister, not listed") << ListRow(
            true, HelpFile, 0, HelpFile,
            u"The file C:\\Help\\Tessary.chm is not registered.  HHUnRegister"_s + NoAction, "");
    }
    void registryList()
    {
        QFETCH(ListRow, row);
        const auto& [unregister, file, listing, string, box, folder] = row;
        m_platform->setWindowsVersion(2, 5, 0); // Windows 2000: the system makes paths long
        m_platform->addFile(AppFile);
        m_platform->addFile(u"C:\\Help Files\\Tessary.chm"_s, u"C:\\HELPFI~1\\TESSARY.CHM"_s);
        m_platform->setRegistryValue(LocalMachine, ListKey, u"Other.chm"_s, u"C:\\Help\\"_s);
        if (listing == 1)
            m_platform->setRegistryValue(LocalMachine, ListKey, u"Tessary.chm"_s, u"D:\\Old\\"_s);
        m_platform->createKeyFails = listing == 2;
        QString name = file;
        ((*help).*(unregister ? &HTMLHelp::HHUnRegister : &HTMLHelp::HHRegister))(name);

        QCOMPARE(name, string);
        QCOMPARE(m_platform->boxTexts(), orNone(box));
        const auto value =
            m_platform->registryValue(LocalMachine, ListKey, file.section(u'\\', -1));
        QCOMPARE(std::pair(value.data, value.type), std::pair(folder, RegistryType::String));
        QVERIFY(!m_platform->registryValue(LocalMachine, ListKey, u"Other.chm"_s).name.isEmpty());
        // The findings are those of the check before the change.
        const bool found = listing == 1 && !unregister;
        QCOMPARE(help->HHRegFileName() + help->HHRegFilePath(),
                 found ? u"Tessary.chmD:\\Old\\"_s : QString());
    }

    // --- Versions and installation ----------------------------------------------------------

    void versions_data()
    {
        // The row's name is the file version of both components; the version text; the
        // release names; minimum codes and whether they are reached.
        QTest::addColumn<VersionRow>("row");
        QTest::newRow("4.72.7290.0") << VersionRow("4.72.7290.00", "1.0", Unknown, 17, 256, false);
        QTest::newRow("4.74.8566.0") << VersionRow("4.74.8566.00", "1.3", Unknown, 23, 256, true);
        QTest::newRow("5.0.2014.2130")
            << VersionRow("5.00.2014.2130", Unknown, "5.0", 16, 268, false);
        QTest::newRow("5.0.2717.2000") << VersionRow(
            "5.00.2717.2000", Unknown, "5.0c (Icon Security Issue Update)", 16, 270, true);
        // Browser rows written with more zeros match a version with the same numbers.
        QTest::newRow("4.70.1215.0") << VersionRow("4.70.1215.00", Unknown, "3.02", 16, 256, false);
        // Versions are compared as text, not as numbers.
        QTest::newRow("10.0.1.0") << VersionRow("10.00.01.00", Unknown, Unknown, 16, 256, false);
        QTest::newRow("4.0.0.5") << VersionRow("4.00.0005", Unknown, Unknown, 16, 256, false);
        // Parts of 32768 or more read as negative numbers; codes beyond the tables are not
        // reached.
        QTest::newRow("65535.65531.0.5")
            << VersionRow("-1.-05.0005", Unknown, Unknown, 24, 271, false);
    }
    void versions()
    {
        QFETCH(VersionRow, row);
        const auto& [text, hhName, ieName, minHH, minIE, reached] = row;
        const QString fileVersion = QString::fromLatin1(QTest::currentDataTag());
        registerComponents(fileVersion, fileVersion);
        // A second instance learns the release names from the minimum check alone.
        HTMLHelp verifier(*m_platform);
        const bool verified = verifier.HHVerifyMinConfig(minHH, minIE);
        QCOMPARE((QStringList{help->HHVersion(), help->IEVersion(), help->HHFriendlyName(),
                              help->IEFriendlyName(), verifier.HHFriendlyName(),
                              verifier.IEFriendlyName()} +
                  m_platform->boxTexts()),
                 (QStringList{text, text, hhName, ieName, hhName, ieName}));
        QCOMPARE(verified, reached);
    }

    void longFileNameOfTheRegisteredControl_data()
    {
        // the system; the control's registered path; the searches; whether it is found there.
        // Windows 98, 2000 and XP ask the system for long names (one search, for the file); on
        // the others the class walks the path's folders itself (one search for each part).
        QTest::addColumn<LongNameRow>("row");
        const QString path = u"C:\\WINNT\\SYSTEM32\\HHCTRL~1.OCX"_s;
        QTest::newRow("NT 4, quoted") << LongNameRow(2, 4, 0, u'"' + path + u'"', 3, true);
        QTest::newRow("NT 4, second folder missing")
            << LongNameRow(2, 4, 0, "C:\\WINNT\\MISSING\\HHCTRL.OCX", 3, false);
        QTest::newRow("Windows 98") << LongNameRow(1, 4, 10, path, 1, true);
        QTest::newRow("Windows Me") << LongNameRow(1, 4, 90, path, 3, true);
        QTest::newRow("Windows 2000") << LongNameRow(2, 5, 0, path, 1, true);
    }
    void longFileNameOfTheRegisteredControl()
    {
        QFETCH(LongNameRow, row);
        const auto& [platformId, major, minor, registered, searches, found] = row;
        m_platform->setWindowsVersion(platformId, major, minor);
        const QString control = u"C:\\WinNT\\System32\\hhctrl.ocx"_s;
        m_platform->addFile(control, u"C:\\WINNT\\SYSTEM32\\HHCTRL~1.OCX"_s);
        m_platform->setFileVersion(control, 4 << 16 | 74, 8566 << 16);
        m_platform->setRegistryValue(RegistryRoot::ClassesRoot, HHClass, QString(), registered);

        QCOMPARE(help->HHVersion(), found ? u"4.74.8566.00"_s : QString());
        QCOMPARE(m_platform->searches().size(), searches);
        QCOMPARE(m_platform->boxTexts(),
                 orNone(found ? QString()
                              : u"Hhctrl.ocx is not in its registered location.  Please reinstall "
                                "HTML Help."_s));
    }

    void missingComponentsAreReported()
    {
        const QString hh = u"Hhctrl.ocx is not registered.  Please install HTML Help."_s;
        const QString ie = u"Shdocvw.dll is not registered.  Please install Internet Explorer."_s;
        QVERIFY(!help->HHVerifyMinConfig(16, 256));
        QCOMPARE(help->HHFriendlyName(), Unknown);
        m_platform->setRegistryValue(RegistryRoot::ClassesRoot, IEClass, QString(),
                                     u"C:\\Windows\\System32\\shdocvw.dll"_s);
        QCOMPARE(help->IEVersion(), QString());
        // Each check runs again for the release names while the version is still unknown;
        // at last the browser's file is not where it is listed.
        QCOMPARE(m_platform->boxTexts(),
                 (QStringList{hh, ie, hh, ie, hh,
                              "Internet Explorer is not in its registered location.  Please "
                              "reinstall Internet Explorer."}));
    }

    // --- The help-topic routine ---------------------------------------------------------------

    void topicWordsReachTheHelpControlOnceTheFileIsThere()
    {
        // Without the file the user is told so; copied in while the program runs, it is found
        // at the next request. Words without a topic open nothing. (About, Settings and
        // Contents are followed from the menus in the window's tests.)
        const ProgramFolder folder(u"C:\\Program Files\\Tessary"_s);
        ShowHelpTopic(u"Index"_s, *m_platform, m_boxes, folder);
        m_platform->addFile(folder.filePath(u"Tessary.chm"_s));
        for (const char* topic : {"Index", "contents", "Search"})
            ShowHelpTopic(QString::fromLatin1(topic), *m_platform, m_boxes, folder);
        const ScriptedMessageBoxService::Box missing{
            "Help file: \"Tessary.chm\" is missing, please download a \r\nnew help file from "
            "Brovane's web site.",
            "Tessary", MsgButtons::Ok, MsgIcon::None};
        QCOMPARE(m_boxes.boxes(), QList{missing});
        QCOMPARE(calls() + m_platform->boxTexts(),
                 QStringList{folder.filePath(u"Tessary.chm"_s) + u">Main 2"_s});
    }

#ifdef TESSARY_PORTABLE_HELP
    void theProgramsOwnHelpFileHoldsItsPagesContentsAndIndex()
    {
        QVERIFY(
            QFile::copy(QStringLiteral(TESSARY_HELP_FILE), m_folder->filePath(u"Tessary.chm"_s)));
        PortableHelpPlatform platform(m_boxes, m_dir->filePath(u"registry.ini"_s));
        ShowHelpTopic(u"About"_s, platform, m_boxes, *m_folder);
        const HelpWindow* window = platform.helpControl().windows().value(0);
        QVERIFY(window);
        const auto* browser = window->findChild<HelpBrowser*>(u"topic"_s);
        QCOMPARE(window->windowTitle() + u' ' + window->currentTopic(),
                 u"Tessary Help abouttessary.html"_s);
        QVERIFY(browser->toPlainText().contains(u"Your pages are safe"_s));
        ShowHelpTopic(u"Settings"_s, platform, m_boxes, *m_folder);
        QCOMPARE(window->currentTopic(), u"settings.html"_s);
        QVERIFY(browser->toPlainText().contains(u"Default Source Directory"_s));

        // Every chapter in the contents, the main keywords in the index.
        const auto* contents = window->findChild<QTreeWidget*>(u"contents"_s);
        for (const char* title : {"About Tessary", "The main window", "Page modes, Copy and Move",
                                  "Transferring a range of pages", "Reordering pages",
                                  "Keyboard shortcuts", "Settings", "Troubleshooting"})
            QVERIFY2(!contents->findItems(QLatin1String(title), Qt::MatchRecursive).isEmpty(),
                     title);
        const auto* index = window->findChild<QListWidget*>(u"index"_s);
        for (const char* keyword : {"Append", "Keyboard shortcuts", "Reorder", "Settings", "Zoom"})
            QVERIFY2(!index->findItems(QLatin1String(keyword), Qt::MatchExactly).isEmpty(),
                     keyword);
        // One window, reused, and no box.
        QCOMPARE(platform.helpControl().windows().size() + m_boxes.unexpected(), 1);
    }
#endif

    // --- The About box ------------------------------------------------------------------------

    void theVersionLineAndTheDescriptionReadAtEveryShowing()
    {
        QFile description(m_folder->filePath(u"about.txt"_s));
        QStringList shown;
        for (const char* record : {"1.2.3.4", "10.01.0.012", "0.9.5"}) {
            const auto about = aboutBox(QString::fromLatin1(record));
            // The labels as a screen reader says them.
            QStringList heard;
            for (QLabel* label : {about->lblTitle, about->lblVersion, about->lblEmail})
                heard << QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name);
            shown.append(about->windowTitle() + u'/' + heard.join(u'/') + u'/' +
                         about->txtDescription->toPlainText());
            QVERIFY(about->txtDescription->isReadOnly());
            // No file at the first showing, an empty one at the second.
            QVERIFY(description.open(QIODevice::Append));
            description.write(shown.size() == 2 ? "Pages in, pages out.\nLine two." : "");
            description.close();
        }
        // The build is left out, leading zeros too; a text that is not a record shows nothing.
        const QString title = u"Tessary/Tessary/"_s, address = u'/' + frmAbout::ContactAddress;
        QCOMPARE(shown,
                 (QStringList{title + "Version 1.2.4" + address + "/About file missing, reinstall.",
                              title + "Version 10.1.12" + address + '/',
                              title + address + "/Pages in, pages out.\nLine two."}));
    }

    void theAddressLightsUpWritesAMailAndOkClosesTheBox()
    {
        const auto about = aboutBox();
        about->show();
        QVERIFY(QTest::qWaitForWindowExposed(about.get()));
        // The address's colour and slant at the start and after each move: onto the address,
        // straight on to OK and the description, then onto the box's own background.
        const auto lit = [&] {
            return about->lblEmail->palette().color(QPalette::WindowText).name() +
                   (about->lblEmail->font().italic() ? u" italic"_s : u" upright"_s);
        };
        QStringList seen{lit()};
        for (QWidget* over : QWidgetList{about->lblEmail, about->cmdOK,
                                         about->txtDescription->viewport(), about.get()}) {
            moveMouseOver(over, over == about.get() ? QPoint(2, about->height() - 2)
                                                    : over->rect().center());
            seen.append(lit());
        }
        QCOMPARE(seen, (QStringList{"#000000 upright", "#0000ff italic", "#0000ff italic",
                                    "#0000ff italic", "#000000 upright"}));

        QTest::mouseClick(about->lblEmail, Qt::LeftButton);
        QCOMPARE(m_launcher->openedUrls(),
                 QList<QUrl>{QUrl(u"mailto:"_s + frmAbout::ContactAddress)});
        QVERIFY(m_boxes.boxes().isEmpty());
        // Without a mail program the user is told so, and the box stays open.
        m_launcher->failStarts();
        QTest::mouseClick(about->lblEmail, Qt::LeftButton);
        QCOMPARE(m_boxes.boxes().size(), 1);
        QVERIFY(m_boxes.boxes().first().text.contains(frmAbout::ContactAddress));
        QVERIFY(about->isVisible());

        // OK is the default and the cancel button.
        QVERIFY(about->cmdOK->isDefault());
        QTest::keyClick(about.get(), Qt::Key_Escape);
        QVERIFY(!about->isVisible());
        about->show();
        QTest::keyClick(about.get(), Qt::Key_Return);
        QCOMPARE(std::pair(about->isVisible(), about->result()),
                 std::pair(false, int(QDialog::Accepted)));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_Help.moc"
