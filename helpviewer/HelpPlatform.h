#pragma once

#include "HtmlHelpApi.h"
#include "PeVersionReader.h"
#include "RegistryKey.h"

#include <QChar>
#include <QPoint>
#include <QString>
#include <memory>
#include <optional>

class QWidget;

namespace tessary {

// Styles of the help class's message boxes.
namespace MessageBoxStyle {
inline constexpr quint32 IconHand = 0x10;     // stop icon, OK button
inline constexpr quint32 IconAsterisk = 0x40; // information icon, OK button
} // namespace MessageBoxStyle

// Parameter record of a message box shown by the help class.
struct MessageBoxParams
{
    quint32 cbSize = 0;
    QWidget* hwndOwner = nullptr;
    quintptr hInstance = 0;
    QString lpszText;
    QString lpszCaption;
    quint32 dwStyle = 0;
    quintptr lpszIcon = 0;
    quint32 dwContextHelpId = 0;
    quintptr lpfnMsgBoxCallback = 0;
    quint32 dwLanguageId = 0;
};

// The system's version record.
struct OsVersionInfo
{
    quint32 dwOSVersionInfoSize = 0;
    quint32 dwMajorVersion = 0;
    quint32 dwMinorVersion = 0;
    quint32 dwBuildNumber = 0;
    quint32 dwPlatformId = 0; // 1: Windows 95 family, 2: Windows NT family
    QString szCSDVersion;
};

// Everything the HTMLHelp class asks of the system: the HTML Help control, message boxes,
// the context-help mode, the cursor, file search, the registry, version facts, environment
// expansion, long path names, the program's string table and folder. Every search handle
// and registry key an implementation opens is closed again before the call returns, except
// the keys it hands out, which close themselves.
class HelpPlatform
{
public:
    virtual ~HelpPlatform() = default;

    // Runs an HTML Help command. Returns the help window's handle, 0 when nothing was shown.
    // Throws HelpError when the help control itself cannot be used.
    virtual quintptr HtmlHelpA(QWidget* owner, const char* target, quint32 command,
                               const HtmlHelpData& data) = 0;
    // Shows a modal box and returns the number of the button pressed.
    virtual int messageBoxIndirect(const MessageBoxParams& params) = 0;
    // Sends window into context-help mode: the next click on a control asks for its help.
    virtual void enterContextHelpMode(QWidget* window) = 0;
    // The mouse cursor's position on the screen.
    virtual QPoint cursorPos() = 0;
    // The long name of the first entry that matches pattern (wildcards * and ? in its last
    // part), or nothing when none matches.
    virtual std::optional<QString> findFirstFile(const QString& pattern) = 0;
    // An open key, or null when it cannot be opened (or created) with that access.
    virtual std::unique_ptr<RegistryKey> regOpenKey(RegistryRoot root, const QString& subKey,
                                                    quint32 access) = 0;
    virtual std::unique_ptr<RegistryKey> regCreateKey(RegistryRoot root, const QString& subKey,
                                                      quint32 access) = 0;
    // Fills the system's version record; false when the system gives none.
    virtual bool versionEx(OsVersionInfo& info) = 0;
    // The fixed version record of a file, or nothing when it has none.
    virtual std::optional<FixedFileInfo> fileVersionInfo(const QString& fileName) = 0;
    // The text with its %VARIABLES% expanded, or nothing on failure.
    virtual std::optional<QString> expandEnvironmentStrings(const QString& text) = 0;
    // The long form of an existing path (a trailing separator kept), or nothing.
    virtual std::optional<QString> longPathName(const QString& path) = 0;
    // The string numbered id in the program's string table, or nothing.
    virtual std::optional<QString> loadString(quint32 id) = 0;
    // The folder of the program's executable, without a trailing separator except at a root.
    virtual QString applicationFolder() = 0;
    // The separator between the parts of a path.
    virtual QChar separator() = 0;
};

} // namespace tessary
