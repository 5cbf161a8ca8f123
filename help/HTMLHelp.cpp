#include "HTMLHelp.h"

#include "HelpError.h"

#include <QByteArray>
#include <QStringList>
#include <array>
#include <exception>

namespace tessary {

namespace {

const QString BoxCaption = QStringLiteral("HTML Help Class");
const QString HelpFileList = QStringLiteral("Software\\Microsoft\\Windows\\HTML Help");
const QString HHTypeLibKey =
    QStringLiteral("SOFTWARE\\Classes\\TypeLib\\{ADB880A2-D8FF-11CF-9377-00AA003B7A11}");
const QString HHControlClass =
    QStringLiteral("CLSID\\{4662DAB0-D393-11D0-9A56-00C04FB68B66}\\InprocServer32");
const QString WebBrowserClass =
    QStringLiteral("CLSID\\{0A89A860-D7B1-11CE-8350-444553540000}\\InProcServer32");

constexpr qint32 MessageBoxParamsSize = 40;
constexpr qint32 FtsQuerySize = 32;
constexpr qint32 AkLinkSize = 32;
constexpr qint32 PopupSize = 52;
constexpr quint32 VersionInfoSize = 148;
constexpr qint32 LongPathBuffer = 256;
constexpr qsizetype ExpandBuffer = 2048;

// Minimum versions, as text, of the codes accepted by HHVerifyMinConfig.
constexpr qint32 FirstHHCode = 16;
const std::array<const char*, 8> MinHHVersions = {
    "4.72.7290", "4.72.7323", "4.72.7325", "4.72.8164.0",
    "4.73.8252", "4.73.8412", "4.73.8474", "4.73.8561",
};
constexpr qint32 FirstIECode = 256;
const std::array<const char*, 15> MinIEVersions = {
    "4.70.1155",      "4.70.1158",     "4.70.1215",      "4.70.1300",      "4.71.1008.3",
    "4.71.1712.5",    "4.72.2106.7",   "4.72.3110.03",   "4.72.3612.1707", "5.00.0518.5",
    "5.00.0910.1308", "5.00.2014.213", "5.00.2314.1000", "5.00.2614.3500", "5.0.2717.2000",
};

struct ReleaseName
{
    const char* version;
    const char* name;
};

const std::array<ReleaseName, 9> HHReleaseNames = {{
    {"4.72.7290.00", "1.0"},
    {"4.72.7323.00", "1.1"},
    {"4.72.7325.00", "1.1a"},
    {"4.72.8164.00", "1.1b"},
    {"4.73.8252.00", "1.2"},
    {"4.73.8412.00", "1.21"},
    {"4.73.8474.00", "1.21a"},
    {"4.73.8561.00", "1.22"},
    {"4.74.8566.00", "1.3"},
}};

const std::array<ReleaseName, 15> IEReleaseNames = {{
    {"4.70.1155.0000", "3.0"},
    {"4.70.1158.0000", "3.0 OSR2"},
    {"4.70.1215.0000", "3.02"},
    {"4.70.1300.0000", "3.02"},
    {"4.71.1008.3000", "4.0 PP2"},
    {"4.71.1712.5000", "4.0"},
    {"4.72.2106.7000", "4.01"},
    {"4.72.3110.0300", "4.0 SP1"},
    {"4.72.3612.1707", "4.0 SP2"},
    {"5.00.0518.5000", "5.0 beta 1"},
    {"5.00.0910.1308", "5.0 beta 2"},
    {"5.00.2014.2130", "5.0"},
    {"5.00.2314.1000", "5.0a (Office 2000)"},
    {"5.00.2614.3500", "5.0b (Windows 98 SE)"},
    {"5.00.2717.2000", "5.0c (Icon Security Issue Update)"},
}};

// True when both texts hold the same numbers in the same number of parts ("4.70.1215.00"
// and "4.70.1215.0000").
bool sameVersionNumbers(const QString& a, const QString& b)
{
    const QStringList left = a.split(QLatin1Char('.'));
    const QStringList right = b.split(QLatin1Char('.'));
    if (left.size() != right.size())
        return false;
    for (qsizetype i = 0; i < left.size(); ++i) {
        bool leftOk = false;
        bool rightOk = false;
        if (left.at(i).toInt(&leftOk) != right.at(i).toInt(&rightOk) || !leftOk || !rightOk)
            return false;
    }
    return true;
}

// The release name of a version text. Several rows of the browser's table are written with
// more leading zeros than a version text has, so a row also matches a text with the same
// numbers.
template <std::size_t N>
QString releaseName(const std::array<ReleaseName, N>& table, const QString& version)
{
    for (const ReleaseName& row : table) {
        if (version.compare(QLatin1String(row.version), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(row.name);
    }
    for (const ReleaseName& row : table) {
        if (sameVersionNumbers(version, QLatin1String(row.version)))
            return QString::fromLatin1(row.name);
    }
    return QStringLiteral("unknown");
}

// A number with at least `digits` digits after its sign.
QString padded(qint16 value, int digits)
{
    const QString magnitude = QString::number(qAbs(qint32(value))).rightJustified(digits, '0');
    return value < 0 ? QLatin1Char('-') + magnitude : magnitude;
}

bool endsWithIgnoringCase(const QString& name, const QString& suffix)
{
    return name.right(3).compare(suffix, Qt::CaseInsensitive) == 0;
}

// The 8-bit form of a text, or a null pointer for an empty one, as the lookups pass them.
const char* textOrNull(const QByteArray& text)
{
    return text.isEmpty() ? nullptr : text.constData();
}

} // namespace

HTMLHelp::HTMLHelp(HelpPlatform& platform)
    : m_platform(platform)
{}

// Display members -------------------------------------------------------------------------

void HTMLHelp::HHDisplayTopicURL(QWidget* CallingForm)
{
    QWidget* owner = nullptr;
    if (!prepareDisplay(CallingForm, owner))
        return;
    const QByteArray topic = m_HHTopicURL.toLocal8Bit();
    callIgnoringFailure(owner, targetWithWindow(), HH_DISPLAY_TOPIC, topic.constData());
}

void HTMLHelp::HHDisplayTopicID(QWidget* CallingForm)
{
    QWidget* owner = nullptr;
    if (!prepareDisplay(CallingForm, owner))
        return;
    callIgnoringFailure(owner, targetWithWindow(), HH_HELP_CONTEXT, m_HHTopicID);
}

void HTMLHelp::HHDisplaySearch(QWidget* CallingForm)
{
    QWidget* owner = nullptr;
    if (!prepareDisplay(CallingForm, owner))
        return;
    HH_FTS_QUERY query;
    query.cbStruct = FtsQuerySize;
    query.fUniCodeStrings = 0;
    query.pszSearchQuery = "";
    query.iProximity = 0;
    query.fStemmedSearch = 0;
    query.fTitleOnly = 0;
    query.fExecute = 1;
    query.pszWindow = "";
    callIgnoringFailure(owner, targetWithWindow(), HH_DISPLAY_SEARCH, &query);
}

void HTMLHelp::HHDisplayKeyword(QWidget* CallingForm)
{
    QWidget* owner = nullptr;
    if (!prepareDisplay(CallingForm, owner))
        return;
    callIgnoringFailure(owner, m_CHMFile, HH_DISPLAY_TOPIC, std::monostate());

    lookUp(owner, m_HHKeyword, HH_KEYWORD_LOOKUP);
}

void HTMLHelp::HHDisplayIndex(QWidget* CallingForm)
{
    QWidget* owner = nullptr;
    if (!prepareDisplay(CallingForm, owner))
        return;
    callIgnoringFailure(owner, targetWithWindow(), HH_DISPLAY_INDEX, std::monostate());
}

void HTMLHelp::HHDisplayContents(QWidget* CallingForm)
{
    QWidget* owner = nullptr;
    if (!prepareDisplay(CallingForm, owner))
        return;
    callIgnoringFailure(owner, targetWithWindow(), HH_DISPLAY_TOC, std::monostate());
}

void HTMLHelp::HHDisplayALink(QWidget* CallingForm)
{
    QWidget* owner = nullptr;
    if (!prepareDisplay(CallingForm, owner))
        return;
    lookUp(owner, m_HHALink, HH_ALINK_LOOKUP);
}

void HTMLHelp::lookUp(QWidget* owner, const QString& names, quint32 command)
{
    // The record's texts point into these, which live until the call has returned.
    const QByteArray keywords = names.toLocal8Bit();
    const QByteArray url = m_HHDefaultURL.toLocal8Bit();
    const QByteArray msgText = m_HHMsgText.toLocal8Bit();
    const QByteArray msgTitle = m_HHMsgTitle.toLocal8Bit();
    const QByteArray window = m_HHWindow.toLocal8Bit();
    HH_AKLINK link;
    link.cbStruct = AkLinkSize;
    link.fReserved = 0;
    link.pszKeywords = keywords.constData();
    link.pszUrl = textOrNull(url);
    link.pszMsgText = textOrNull(msgText);
    link.pszMsgTitle = textOrNull(msgTitle);
    link.pszWindow = windowIsBlank() ? nullptr : window.constData();
    link.fIndexOnFail = 0;
    callIgnoringFailure(owner, m_CHMFile, command, &link);
}

bool HTMLHelp::prepareDisplay(QWidget* CallingForm, QWidget*& owner)
{
    if (!IsValidCHMFile(m_CHMFile))
        return false;
    if (!EnsureFileExists(m_CHMFile))
        return false;
    owner = m_HHShowOnTop ? CallingForm : nullptr;
    if (m_HHShowOnTop && !CallingForm) {
        // Every display member reports this under one name.
        ShowErrorBox(QStringLiteral("The HHDisplayContents method was called ") +
                     QStringLiteral("without a form being specified, while HHShowOnTop ") +
                     QStringLiteral("was set to True."));
        return false;
    }
    return true;
}

bool HTMLHelp::windowIsBlank() const
{
    // Only blanks count as blank, not tabs or line breaks.
    for (const QChar c : m_HHWindow) {
        if (c != QLatin1Char(' '))
            return false;
    }
    return true;
}

QString HTMLHelp::targetWithWindow() const
{
    return windowIsBlank() ? m_CHMFile : m_CHMFile + QLatin1Char('>') + m_HHWindow;
}

void HTMLHelp::callIgnoringFailure(QWidget* owner, const QString& target, quint32 command,
                                   const HtmlHelpData& data)
{
    const QByteArray ansiTarget = target.toLocal8Bit();
    try {
        m_platform.HtmlHelpA(owner, ansiTarget.constData(), command, data);
    } catch (const std::exception&) {
        // At worst no help window opens; the caller goes on.
    }
}

// Registry list of help files ------------------------------------------------------------

void HTMLHelp::HHRegister(QString& FileToRegister)
{
    if (FileToRegister.isEmpty())
        return;
    if (!IsValidCHMFile(FileToRegister))
        return;
    const QString shortName = FileToRegister;
    GetLongFileName(shortName, FileToRegister, LongPathBuffer);

    HHCheckRegistry(FileToRegister);
    if (!m_HHRegFileName.isEmpty()) {
        ShowInfoBox(QStringLiteral("The file ") + FileToRegister +
                    QStringLiteral(" is already registered.  ") +
                    QStringLiteral("HHRegister will not be run as no action need be taken."));
        return;
    }

    const QString supplied = FileToRegister;
    if (!IsValidCHMFile(FileToRegister))
        return;
    if (!EnsureFileExists(FileToRegister))
        return;
    const QChar separator = m_platform.separator();
    if (!supplied.contains(separator)) {
        ShowErrorBox(QStringLiteral("Cannot register ") + supplied +
                     QStringLiteral(" without having a supplied path.\""));
        return;
    }

    FileToRegister = FileToRegister.mid(FileToRegister.lastIndexOf(separator) + 1);
    const QString folder = supplied.left(supplied.size() - FileToRegister.size());

    std::unique_ptr<RegistryKey> key =
        m_platform.regCreateKey(RegistryRoot::LocalMachine, HelpFileList,
                                RegistryAccess::SetValue | RegistryAccess::CreateSubKey);
    if (!key) {
        ShowErrorBox(QStringLiteral("HTML Help Class: HHRegister Error"));
        return;
    }
    const bool written = key->setValue(FileToRegister, RegistryType::String, folder);
    key->close();
    if (!written)
        HHCheckRegistry(FileToRegister);
}

void HTMLHelp::HHUnRegister(QString& FileToUnRegister)
{
    if (FileToUnRegister.isEmpty())
        return;
    if (!IsValidCHMFile(FileToUnRegister))
        return;
    const QString shortName = FileToUnRegister;
    GetLongFileName(shortName, FileToUnRegister, LongPathBuffer);
    HHCheckRegistry(FileToUnRegister);
    if (m_HHRegFileName.isEmpty()) {
        ShowInfoBox(QStringLiteral("The file ") + FileToUnRegister +
                    QStringLiteral(" is not registered.  ") +
                    QStringLiteral("HHUnRegister will not be run as no action need be taken."));
        return;
    }

    FileToUnRegister =
        FileToUnRegister.mid(FileToUnRegister.lastIndexOf(m_platform.separator()) + 1);
    std::unique_ptr<RegistryKey> key =
        m_platform.regOpenKey(RegistryRoot::LocalMachine, HelpFileList, RegistryAccess::SetValue);
    if (key) {
        key->deleteValue(FileToUnRegister);
        key->close();
    }
    HHCheckRegistry(FileToUnRegister);
}

std::optional<bool> HTMLHelp::HHCheckRegistry(const QString& FileToCheck)
{
    QString name = FileToCheck;
    if (name.isEmpty())
        return std::nullopt;
    m_HHRegFileExists = false;
    if (!IsValidCHMFile(name))
        return false;
    const QChar separator = m_platform.separator();
    name = name.mid(name.lastIndexOf(separator) + 1);

    const RegistryEntry entry = GetRegistryValue(QStringLiteral("HKLM"), HelpFileList, name);
    if (entry.name.isEmpty()) {
        m_HHRegFileName.clear();
        m_HHRegFilePath.clear();
        return false;
    }
    m_HHRegFileName = name;
    QString folder = entry.data;
    GetLongFileName(entry.data, folder, LongPathBuffer);
    m_HHRegFilePath = folder;

    QString registered = m_HHRegFilePath + separator + m_HHRegFileName;
    if (EnsureFileExists(registered))
        m_HHRegFileExists = true;
    return false;
}

bool HTMLHelp::EnsureFileExists(QString& FileToFind)
{
    const QChar separator = m_platform.separator();
    if (!FileToFind.contains(separator)) {
        const QString name = FileToFind;
        HHCheckRegistry(name);
        // Only a listing found for this very name counts: a check that ended early (an
        // invalid name) leaves the findings of an earlier check behind.
        if (m_HHRegFileName.isEmpty() || m_HHRegFileName.compare(name, Qt::CaseInsensitive) != 0) {
            FileToFind = m_platform.applicationFolder() + separator + name;
        } else if (m_HHRegFilePath.endsWith(separator) || m_HHRegFilePath.isEmpty()) {
            FileToFind = m_HHRegFilePath + m_HHRegFileName;
        } else {
            // Folders written by other installers may lack the closing separator.
            FileToFind = m_HHRegFilePath + separator + m_HHRegFileName;
        }
    }
    return m_platform.findFirstFile(FileToFind).has_value();
}

// Other public members -------------------------------------------------------------------

void HTMLHelp::HHClose()
{
    try {
        const QByteArray target = m_CHMFile.toLocal8Bit();
        m_platform.HtmlHelpA(nullptr, target.constData(), HH_CLOSE_ALL, std::monostate());
    } catch (const std::exception&) {
        // Closing is best effort.
    }
}

QString HTMLHelp::HHSetHelpFile(qint16 intSelHelpFile)
{
    switch (intSelHelpFile) {
    case 1:
        return m_platform.applicationFolder() + m_platform.separator() +
               QStringLiteral("Library.chm");
    case 2:
        return QStringLiteral("Library.txt");
    default:
        return QString();
    }
}

void HTMLHelp::HHDisplayPopup(QWidget* CallingForm)
{
    if (m_HHPopupType == PopupNone)
        return;
    if (m_HHPopupType == PopupFromFile) {
        if (!IsValidCHMFile(m_CHMFile))
            return;
        if (!EnsureFileExists(m_CHMFile))
            return;
    }

    const QPoint cursor = m_platform.cursorPos();
    HH_POPUP popup;
    popup.cbStruct = PopupSize;
    popup.hinst = 0;
    popup.pt = {cursor.x(), cursor.y()};
    popup.rcMargins = {-1, -1, -1, -1};

    QByteArray text;
    if (m_HHPopupType == PopupFromStringTable) {
        const std::optional<QString> resource = m_platform.loadString(quint32(m_HHPopupID));
        if (!resource) {
            throw HelpError(
                QStringLiteral("Resource with identifier '%1' not found").arg(m_HHPopupID));
        }
        text = resource->toLocal8Bit();
        popup.idString = 0;
        popup.pszText = text.constData();
    } else if (m_HHPopupType == PopupText) {
        if (m_HHPopupText.isEmpty())
            return;
        text = m_HHPopupText.toLocal8Bit();
        popup.idString = 0;
        popup.pszText = text.constData();
    } else {
        popup.idString = quint32(m_HHPopupID);
        popup.pszText = nullptr;
    }

    if (m_HHPopupCustomColors) {
        popup.clrForeground = m_HHPopupCustomTextColor;
        popup.clrBackground = m_HHPopupCustomBackColor;
    } else {
        popup.clrForeground = m_HHPopupTextColor;
        popup.clrBackground = m_HHPopupBackColor;
    }

    if (m_HHPopupTextFont.isEmpty())
        m_HHPopupTextFont = QStringLiteral("Arial");
    if (m_HHPopupTextSize.isEmpty())
        m_HHPopupTextSize = QStringLiteral("10");
    QString font =
        m_HHPopupTextFont + QStringLiteral(", ") + m_HHPopupTextSize + QStringLiteral(", ascii, ");
    if (m_HHPopupTextBold)
        font += QStringLiteral("Bold ");
    if (m_HHPopupTextItalic)
        font += QStringLiteral("Italic ");
    if (m_HHPopupTextUnderline)
        font += QStringLiteral("Underline");
    const QByteArray ansiFont = font.toLocal8Bit();
    popup.pszFont = ansiFont.constData();

    if (m_HHPopupType == PopupFromFile) {
        if (!IsValidPopupFile(m_HHPopupFile))
            return;
        const QByteArray target = (m_CHMFile + QStringLiteral("::/") + m_HHPopupFile).toLocal8Bit();
        m_platform.HtmlHelpA(CallingForm, target.constData(), HH_DISPLAY_TEXT_POPUP, &popup);
    } else if (m_HHPopupType == PopupFromStringTable || m_HHPopupType == PopupText) {
        m_platform.HtmlHelpA(CallingForm, nullptr, HH_DISPLAY_TEXT_POPUP, &popup);
    } else {
        return;
    }
    resetPopupStyle();
}

void HTMLHelp::resetPopupStyle()
{
    m_HHPopupTextColor = 0;
    m_HHPopupBackColor = 0;
    m_HHPopupCustomTextColor = 0;
    m_HHPopupCustomBackColor = 0;
    m_HHPopupTextFont = QStringLiteral("Arial");
    m_HHPopupTextSize = QStringLiteral("10");
    m_HHPopupTextBold = false;
    m_HHPopupTextItalic = false;
    m_HHPopupTextUnderline = false;
}

void HTMLHelp::HHInvokeWhatsThisHelp(QWidget* CallingForm)
{
    m_platform.enterContextHelpMode(CallingForm);
}

bool HTMLHelp::HHVerifyMinConfig(qint32 MinHHVersion, qint32 MinIEVersion)
{
    CheckHHControl();
    CheckWebBrowser();

    bool hhHolds = false;
    const qint32 hhIndex = MinHHVersion - FirstHHCode;
    if (hhIndex >= 0 && hhIndex < qint32(MinHHVersions.size())) {
        hhHolds = m_HHVersion.compare(QLatin1String(MinHHVersions[std::size_t(hhIndex)]),
                                      Qt::CaseInsensitive) >= 0;
    } else {
        m_HHVersion = QStringLiteral("unknown");
    }

    bool ieHolds = false;
    const qint32 ieIndex = MinIEVersion - FirstIECode;
    if (ieIndex >= 0 && ieIndex < qint32(MinIEVersions.size())) {
        ieHolds = m_IEVersion.compare(QLatin1String(MinIEVersions[std::size_t(ieIndex)]),
                                      Qt::CaseInsensitive) >= 0;
    } else {
        m_IEVersion = QStringLiteral("unknown");
    }

    GetHHFriendlyName();
    GetIEFriendlyName();
    return hhHolds && ieHolds;
}

bool HTMLHelp::GetKeyInfo(const QString& key_name, qint16 /*indent*/)
{
    std::unique_ptr<RegistryKey> key =
        m_platform.regOpenKey(RegistryRoot::LocalMachine, key_name, RegistryAccess::AllAccess);
    if (!key)
        return false;
    return key->close();
}

qint32 HTMLHelp::GetWindowsVersion()
{
    OsVersionInfo info;
    info.dwOSVersionInfoSize = VersionInfoSize;
    if (!m_platform.versionEx(info))
        return 0;
    if (info.dwPlatformId == 1) {
        if (info.dwMinorVersion == 0)
            return 2;
        if (info.dwMinorVersion == 10)
            return 4;
        return 0;
    }
    if (info.dwPlatformId == 2) {
        switch (info.dwMajorVersion) {
        case 3:
            return 1;
        case 4:
            return 3;
        case 5:
            return 5;
        default:
            return 0;
        }
    }
    return 0;
}

// Installation facts ---------------------------------------------------------------------

bool HTMLHelp::HHInstalled()
{
    m_installed = GetKeyInfo(HHTypeLibKey, 0);
    return m_installed;
}

QString HTMLHelp::HHVersion()
{
    CheckHHControl();
    return m_HHVersion;
}

QString HTMLHelp::IEVersion()
{
    CheckWebBrowser();
    return m_IEVersion;
}

QString HTMLHelp::HHFriendlyName()
{
    GetHHFriendlyName();
    return m_HHFriendlyName;
}

QString HTMLHelp::IEFriendlyName()
{
    GetIEFriendlyName();
    return m_IEFriendlyName;
}

// Private members ------------------------------------------------------------------------

bool HTMLHelp::IsValidCHMFile(const QString& name)
{
    if (!endsWithIgnoringCase(name, QStringLiteral("chm"))) {
        ShowErrorBox(name + QStringLiteral(" is not a valid HTML Help file."));
        return false;
    }
    return true;
}

bool HTMLHelp::IsValidPopupFile(const QString& name)
{
    if (!endsWithIgnoringCase(name, QStringLiteral("txt"))) {
        ShowErrorBox(QStringLiteral("The file specified as the text popup source, '") + name +
                     QStringLiteral("', is not a valid popup file."));
        return false;
    }
    return true;
}

int HTMLHelp::ShowErrorBox(const QString& text)
{
    MessageBoxParams params;
    params.cbSize = MessageBoxParamsSize;
    params.lpszText = text;
    params.lpszCaption = BoxCaption;
    params.dwStyle = MessageBoxStyle::IconHand;
    return m_platform.messageBoxIndirect(params);
}

int HTMLHelp::ShowInfoBox(const QString& text)
{
    MessageBoxParams params;
    params.cbSize = MessageBoxParamsSize;
    params.lpszText = text;
    params.lpszCaption = BoxCaption;
    params.dwStyle = MessageBoxStyle::IconAsterisk;
    return m_platform.messageBoxIndirect(params);
}

RegistryRoot HTMLHelp::GetRootKey(const QString& abbreviation)
{
    const QString key = abbreviation.toUpper();
    if (key == QLatin1String("HKCU"))
        return RegistryRoot::CurrentUser;
    if (key == QLatin1String("HKLM"))
        return RegistryRoot::LocalMachine;
    if (key == QLatin1String("HKU"))
        return RegistryRoot::Users;
    if (key == QLatin1String("HKDD"))
        return RegistryRoot::DynData;
    if (key == QLatin1String("HKCC"))
        return RegistryRoot::CurrentConfig;
    if (key == QLatin1String("HKCR"))
        return RegistryRoot::ClassesRoot;
    return RegistryRoot::None;
}

HTMLHelp::RegistryEntry HTMLHelp::GetRegistryValue(const QString& root, const QString& keyPath,
                                                   const QString& valueName)
{
    const RegistryRoot rootKey = GetRootKey(root);
    if (rootKey == RegistryRoot::None)
        return {};
    std::unique_ptr<RegistryKey> key =
        m_platform.regOpenKey(rootKey, keyPath, RegistryAccess::QueryValue);
    if (!key)
        return {};

    for (quint32 index = 0;; ++index) {
        const std::optional<RegistryValueInfo> info = key->enumValue(index);
        if (!info)
            return {};
        if (info->type != RegistryType::String && info->type != RegistryType::ExpandString)
            continue;
        if (info->name.compare(valueName, Qt::CaseInsensitive) != 0)
            continue;

        std::optional<QString> data = key->queryValue(info->name);
        if (!data)
            return {};
        QString text = *data;
        StripAtNull(text);
        if (info->type == RegistryType::ExpandString) {
            const std::optional<QString> expanded = m_platform.expandEnvironmentStrings(text);
            // A text that does not fit the expansion buffer is treated as unreadable.
            if (!expanded || expanded->size() >= ExpandBuffer)
                return {};
            text = *expanded;
        }
        return {valueName, text};
    }
}

QString& HTMLHelp::StripAtNull(QString& text)
{
    const qsizetype zero = text.indexOf(QChar(0));
    if (zero >= 0)
        text.truncate(zero);
    return text;
}

qint32 HTMLHelp::GetLongFileName(const QString& shortPath, QString& longPath, qint32 bufferSize)
{
    // The walk by hand is for systems without a long-path call, and only knows paths that
    // begin at a drive's root; the system's own call handles every other path.
    const QString unquoted = [&] {
        QString path = shortPath;
        if (path.startsWith(QLatin1Char('"')))
            path.remove(0, 1);
        if (path.endsWith(QLatin1Char('"')))
            path.chop(1);
        return path;
    }();
    const bool driveRooted = unquoted.size() >= 3 && unquoted.at(0).isLetter() &&
                             unquoted.at(1) == QLatin1Char(':') &&
                             unquoted.at(2) == m_platform.separator();
    if (GetWindowsVersion() >= 4 || !driveRooted) {
        const std::optional<QString> result = m_platform.longPathName(shortPath);
        if (!result || result->isEmpty() || result->size() >= bufferSize)
            return 0;
        longPath = *result;
        return qint32(longPath.size());
    }
    if (!walkLongFileName(unquoted, longPath))
        return 0;
    return qint32(longPath.size());
}

bool HTMLHelp::walkLongFileName(const QString& path, QString& longPath)
{
    const QChar separator = m_platform.separator();
    QString built = path.left(2);
    QString rest = path.mid(3);
    qsizetype next = rest.indexOf(separator);
    while (next >= 0) {
        const QString part = rest.left(next);
        std::optional<QString> found = m_platform.findFirstFile(built + separator + part);
        if (!found) {
            // A folder that is not there: the path cannot be made long, and a partial path
            // would name a different file.
            return false;
        }
        StripAtNull(*found);
        built += separator + *found;
        rest = rest.mid(next + 1);
        next = rest.indexOf(separator);
    }
    longPath = built + separator + rest;
    return true;
}

QString HTMLHelp::GetFileVersionString(const QString& fileName)
{
    const std::optional<FixedFileInfo> info = m_platform.fileVersionInfo(fileName);
    if (!info)
        return QString();
    const auto major = qint16(quint16(info->dwFileVersionMS >> 16));
    const auto minor = qint16(quint16(info->dwFileVersionMS & 0xFFFF));
    const auto build = qint16(quint16(info->dwFileVersionLS >> 16));
    const auto revision = qint16(quint16(info->dwFileVersionLS & 0xFFFF));
    QString text = QString::number(major) + QLatin1Char('.') + padded(minor, 2) + QLatin1Char('.');
    if (build > 0)
        text += padded(build, 2) + QLatin1Char('.') + padded(revision, 2);
    else
        text += padded(revision, 4);
    return text;
}

void HTMLHelp::checkComponent(const QString& classKey, const QString& notRegistered,
                              const QString& notAtPath, QString& version)
{
    const RegistryEntry entry = GetRegistryValue(QStringLiteral("HKCR"), classKey, QString());
    if (entry.data.isEmpty()) {
        ShowErrorBox(notRegistered);
        return;
    }
    QString registered = entry.data;
    StripAtNull(registered);
    QString path = registered;
    GetLongFileName(registered, path, LongPathBuffer);
    if (!m_platform.findFirstFile(path)) {
        ShowErrorBox(notAtPath);
        return;
    }
    version = GetFileVersionString(path);
}

void HTMLHelp::CheckHHControl()
{
    checkComponent(HHControlClass,
                   QStringLiteral("Hhctrl.ocx is not registered.  ") +
                       QStringLiteral("Please install HTML Help."),
                   QStringLiteral("Hhctrl.ocx is not in its registered location.  ") +
                       QStringLiteral("Please reinstall HTML Help."),
                   m_HHVersion);
}

void HTMLHelp::CheckWebBrowser()
{
    checkComponent(WebBrowserClass,
                   QStringLiteral("Shdocvw.dll is not registered.  ") +
                       QStringLiteral("Please install Internet Explorer."),
                   QStringLiteral("Internet Explorer is not in its registered location.  ") +
                       QStringLiteral("Please reinstall Internet Explorer."),
                   m_IEVersion);
}

void HTMLHelp::GetHHFriendlyName()
{
    if (m_HHVersion.isEmpty())
        CheckHHControl();
    m_HHFriendlyName = releaseName(HHReleaseNames, m_HHVersion);
}

void HTMLHelp::GetIEFriendlyName()
{
    if (m_IEVersion.isEmpty())
        CheckWebBrowser();
    m_IEFriendlyName = releaseName(IEReleaseNames, m_IEVersion);
}

} // namespace tessary
