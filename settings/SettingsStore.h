#pragma once

#include <QString>
#include <functional>

namespace tessary {

// The program's user defaults (SrcDir, DesDir, DefaultMode, PromptActions, and PageStrips
// for the View menu's Page Strips), kept as text values in the section "DefaultSettings" under the
// application's name:
//  - on Windows in the registry key
//    HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application name>\DefaultSettings
//    as REG_SZ values, where earlier installations left them;
//  - elsewhere in the INI file "VB and VBA Program Settings/<application name>.ini" of the
//    user's configuration folder, group [DefaultSettings].
// The application name is the running executable's file name without its extension, asked
// for at every call: a copy started under another name has settings of its own.
// Nothing is cached; every read sees what was last written.
class SettingsStore
{
public:
    using NameSource = std::function<QString()>;

    // The current user's store.
    SettingsStore();
    // A store kept in INI files under folder instead (tests point it at a temporary
    // folder). applicationName, when given, replaces the executable's name.
    explicit SettingsStore(const QString& folder, NameSource applicationName = {});

    // The stored text, or "" when the value, its section or its key is missing or cannot
    // be read. Never fails.
    QString read(const QString& name) const;
    // Stores text, creating what is missing and replacing an existing value. False when it
    // could not be stored.
    bool write(const QString& name, const QString& text);

    QString applicationName() const;
    // The running executable's file name without its extension ("Tessary" for
    // Tessary.exe).
    static QString executableName();

    // The names of the values.
    static inline const QString SrcDir = QStringLiteral("SrcDir");
    static inline const QString DesDir = QStringLiteral("DesDir");
    static inline const QString DefaultMode = QStringLiteral("DefaultMode");
    static inline const QString PromptActions = QStringLiteral("PromptActions");
    // "Yes" while the panes show their page strips.
    static inline const QString PageStrips = QStringLiteral("PageStrips");

    static inline const QString organisation = QStringLiteral("VB and VBA Program Settings");
    static inline const QString section = QStringLiteral("DefaultSettings");

private:
    QString m_folder; // "" for the user's own store
    NameSource m_applicationName;
};

} // namespace tessary
