#pragma once

#include "HelpPlatform.h"

namespace tessary {

// The help platform on Windows: every call goes to the system (hhctrl.ocx, loaded when
// first needed; user32, advapi32, version.dll and kernel32).
class WindowsHelpPlatform : public HelpPlatform
{
public:
    WindowsHelpPlatform();
    ~WindowsHelpPlatform() override;
    WindowsHelpPlatform(const WindowsHelpPlatform&) = delete;
    WindowsHelpPlatform& operator=(const WindowsHelpPlatform&) = delete;

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
    QChar separator() override { return QLatin1Char('\\'); }

private:
    void* m_control = nullptr;  // the hhctrl.ocx module, once loaded
    void* m_htmlHelp = nullptr; // its HtmlHelpA entry
};

} // namespace tessary
