#pragma once

#include "HelpPlatform.h"
#include "IniRegistry.h"
#include "PortableHtmlHelp.h"

#include <QHash>

namespace tessary {

class MessageBoxService;

// The help platform on systems without the HTML Help control: our own help windows on
// chmlib, message boxes through the message-box service, a registry kept in an INI file in
// the user's configuration folder, versions read from PE files. It reports no Windows
// version and uses the system's path separator.
class PortableHelpPlatform : public HelpPlatform
{
public:
    // registryFile: the INI file that holds the registry (see defaultRegistryFile);
    // strings: the program's string table.
    PortableHelpPlatform(MessageBoxService& boxes, const QString& registryFile,
                         QHash<quint32, QString> strings = {});

    // "Tessary/registry.ini" in the user's configuration folder.
    static QString defaultRegistryFile();

    PortableHtmlHelp& helpControl() { return m_help; }
    // The program folder is the executable's unless set here.
    void setApplicationFolder(const QString& folder) { m_applicationFolder = folder; }

    quintptr HtmlHelpA(QWidget* owner, const char* target, quint32 command,
                       const HtmlHelpData& data) override;
    int messageBoxIndirect(const MessageBoxParams& params) override;
    void enterContextHelpMode(QWidget* window) override;
    QPoint cursorPos() override;
    std::optional<QString> findFirstFile(const QString& pattern) override;
    std::unique_ptr<RegistryKey> regOpenKey(RegistryRoot root, const QString& subKey,
                                            quint32 access) override;
    std::unique_ptr<RegistryKey> regCreateKey(RegistryRoot root, const QString& subKey,
                                              quint32 access) override;
    bool versionEx(OsVersionInfo& info) override;
    std::optional<FixedFileInfo> fileVersionInfo(const QString& fileName) override;
    std::optional<QString> expandEnvironmentStrings(const QString& text) override;
    std::optional<QString> longPathName(const QString& path) override;
    std::optional<QString> loadString(quint32 id) override;
    QString applicationFolder() override;
    QChar separator() override;

private:
    MessageBoxService& m_boxes;
    PortableHtmlHelp m_help;
    IniRegistry m_registry;
    QHash<quint32, QString> m_strings;
    QString m_applicationFolder;
};

} // namespace tessary
