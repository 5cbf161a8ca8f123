#pragma once

#include "HelpPlatform.h"

#include <QString>
#include <optional>

class QWidget;

namespace tessary {

// A general-purpose wrapper of the HTML Help control. A caller sets the properties (help
// file, window type, topic, keyword or pop-up text) and calls one display member. The class
// also reads and edits the system's list of registered help files and reports the installed
// HTML Help and web-browser versions.
//
// Every property starts empty, 0 or false; setting one stores the value as given. Message
// boxes are captioned "HTML Help Class" and have no owner window. A calling window is shown
// as the owner of the help window only while HHShowOnTop is true.
class HTMLHelp
{
public:
    // Pop-up text sources of HHPopupType.
    enum PopupType : qint32
    {
        PopupNone = 0,
        PopupFromFile = 1,        // topic HHPopupID of the text file HHPopupFile in CHMFile
        PopupFromStringTable = 2, // string HHPopupID of the program's string table
        PopupText = 4,            // HHPopupText
    };

    explicit HTMLHelp(HelpPlatform& platform);

    void HHDisplayTopicURL(QWidget* CallingForm = nullptr);
    void HHDisplayTopicID(QWidget* CallingForm = nullptr);
    void HHDisplaySearch(QWidget* CallingForm = nullptr);
    void HHDisplayKeyword(QWidget* CallingForm = nullptr);
    void HHDisplayIndex(QWidget* CallingForm = nullptr);
    void HHDisplayContents(QWidget* CallingForm = nullptr);
    void HHDisplayALink(QWidget* CallingForm = nullptr);
    // Adds the file's folder to the registry list under the file's name. The caller's string
    // ends up as the long form of the name, or as the bare file name once it is registered.
    void HHRegister(QString& FileToRegister);
    // Removes the file from the registry list; the caller's string ends up as the bare name.
    void HHUnRegister(QString& FileToUnRegister);
    // Looks the file up in the registry list and sets HHRegFileName, HHRegFilePath and
    // HHRegFileExists. Returns no value for an empty name and false otherwise.
    std::optional<bool> HHCheckRegistry(const QString& FileToCheck);
    // Closes every help window the program opened.
    void HHClose();
    // 1: the program folder's Library.chm; 2: "Library.txt"; else empty. Sets nothing.
    QString HHSetHelpFile(qint16 intSelHelpFile);
    // Shows the text pop-up chosen by HHPopupType at the mouse cursor. Throws HelpError when
    // the text cannot be had or the help control cannot be used.
    void HHDisplayPopup(QWidget* CallingForm);
    void HHInvokeWhatsThisHelp(QWidget* CallingForm);
    // True when the installed HTML Help and browser versions reach the minimums chosen by the
    // codes 16..23 and 256..270.
    bool HHVerifyMinConfig(qint32 MinHHVersion, qint32 MinIEVersion);
    // Completes a bare file name (through the registry list, else the program folder) in
    // the caller's string and tells whether a file matches it.
    bool EnsureFileExists(QString& FileToFind);
    // True when the key under HKEY_LOCAL_MACHINE opens with full access and closes again.
    bool GetKeyInfo(const QString& key_name, qint16 indent);
    // 2 Windows 95, 4 Windows 98, 1 NT 3, 3 NT 4, 5 Windows 2000, 0 any other system.
    qint32 GetWindowsVersion();

    void setHHWindow(const QString& value) { m_HHWindow = value; }
    QString HHWindow() const { return m_HHWindow; }
    void setHHTopicURL(const QString& value) { m_HHTopicURL = value; }
    QString HHTopicURL() const { return m_HHTopicURL; }
    void setHHTopicID(qint32 value) { m_HHTopicID = value; }
    qint32 HHTopicID() const { return m_HHTopicID; }
    void setHHMsgTitle(const QString& value) { m_HHMsgTitle = value; }
    QString HHMsgTitle() const { return m_HHMsgTitle; }
    void setHHMsgText(const QString& value) { m_HHMsgText = value; }
    QString HHMsgText() const { return m_HHMsgText; }
    void setHHKeyword(const QString& value) { m_HHKeyword = value; }
    QString HHKeyword() const { return m_HHKeyword; }
    void setHHDefaultURL(const QString& value) { m_HHDefaultURL = value; }
    QString HHDefaultURL() const { return m_HHDefaultURL; }
    void setHHALink(const QString& value) { m_HHALink = value; }
    QString HHALink() const { return m_HHALink; }
    void setCHMFile(const QString& value) { m_CHMFile = value; }
    QString CHMFile() const { return m_CHMFile; }
    void setHHShowOnTop(bool value) { m_HHShowOnTop = value; }
    bool HHShowOnTop() const { return m_HHShowOnTop; }
    QString HHRegFileName() const { return m_HHRegFileName; }
    QString HHRegFilePath() const { return m_HHRegFilePath; }
    bool HHRegFileExists() const { return m_HHRegFileExists; }
    void setHHPopupFile(const QString& value) { m_HHPopupFile = value; }
    void setHHPopupID(qint32 value) { m_HHPopupID = value; }
    void setHHPopupText(const QString& value) { m_HHPopupText = value; }
    void setHHPopupType(qint32 value) { m_HHPopupType = value; }
    void setHHPopupTextColor(quint32 value) { m_HHPopupTextColor = value; }
    void setHHPopupBackColor(quint32 value) { m_HHPopupBackColor = value; }
    void setHHPopupCustomTextColor(quint32 value) { m_HHPopupCustomTextColor = value; }
    void setHHPopupCustomBackColor(quint32 value) { m_HHPopupCustomBackColor = value; }
    void setHHPopupCustomColors(bool value) { m_HHPopupCustomColors = value; }
    bool HHPopupCustomColors() const { return m_HHPopupCustomColors; }
    void setHHPopupTextFont(const QString& value) { m_HHPopupTextFont = value; }
    void setHHPopupTextSize(const QString& value) { m_HHPopupTextSize = value; }
    void setHHPopupTextBold(bool value) { m_HHPopupTextBold = value; }
    void setHHPopupTextItalic(bool value) { m_HHPopupTextItalic = value; }
    void setHHPopupTextUnderline(bool value) { m_HHPopupTextUnderline = value; }
    // The installation facts are looked up afresh at each read and may show error boxes.
    bool HHInstalled();
    QString HHVersion();
    QString IEVersion();
    QString HHFriendlyName();
    QString IEFriendlyName();

private:
    struct RegistryEntry
    {
        QString name;
        QString data;
    };

    bool IsValidCHMFile(const QString& name);
    bool IsValidPopupFile(const QString& name);
    int ShowErrorBox(const QString& text);
    int ShowInfoBox(const QString& text);
    RegistryRoot GetRootKey(const QString& abbreviation);
    RegistryEntry GetRegistryValue(const QString& root, const QString& keyPath,
                                   const QString& valueName);
    QString& StripAtNull(QString& text);
    qint32 GetLongFileName(const QString& shortPath, QString& longPath, qint32 bufferSize);
    QString GetFileVersionString(const QString& fileName);
    void CheckHHControl();
    void CheckWebBrowser();
    void GetHHFriendlyName();
    void GetIEFriendlyName();

    // The shared opening of the seven display members: the help file's checks and the owner
    // rule. False when the member must end.
    bool prepareDisplay(QWidget* CallingForm, QWidget*& owner);
    // CHMFile, with ">" and HHWindow when HHWindow is not blank.
    QString targetWithWindow() const;
    bool windowIsBlank() const;
    // A keyword or associative-link lookup (command) of names, with the fall-backs set.
    void lookUp(QWidget* owner, const QString& names, quint32 command);
    // One call of the help control whose failures the display members pass over.
    void callIgnoringFailure(QWidget* owner, const QString& target, quint32 command,
                             const HtmlHelpData& data);
    bool walkLongFileName(const QString& shortPath, QString& longPath);
    void checkComponent(const QString& classKey, const QString& notRegistered,
                        const QString& notAtPath, QString& version);
    void resetPopupStyle();

    HelpPlatform& m_platform;

    QString m_CHMFile;
    QString m_HHALink;
    QString m_HHDefaultURL;
    bool m_installed = false;
    QString m_HHKeyword;
    QString m_HHMsgText;
    QString m_HHMsgTitle;
    bool m_HHShowOnTop = false;
    qint32 m_HHTopicID = 0;
    QString m_HHTopicURL;
    QString m_HHWindow;
    QString m_HHRegFileName;
    QString m_HHRegFilePath;
    bool m_HHRegFileExists = false;
    QString m_HHPopupFile;
    qint32 m_HHPopupType = 0;
    QString m_HHPopupText;
    qint32 m_HHPopupID = 0;
    quint32 m_HHPopupTextColor = 0;
    quint32 m_HHPopupBackColor = 0;
    quint32 m_HHPopupCustomTextColor = 0;
    quint32 m_HHPopupCustomBackColor = 0;
    bool m_HHPopupCustomColors = false;
    QString m_HHPopupTextFont;
    QString m_HHPopupTextSize;
    bool m_HHPopupTextBold = false;
    bool m_HHPopupTextItalic = false;
    bool m_HHPopupTextUnderline = false;
    QString m_HHVersion;
    QString m_IEVersion;
    QString m_HHFriendlyName;
    QString m_IEFriendlyName;
};

} // namespace tessary
