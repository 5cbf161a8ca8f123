#pragma once

#include "HelpPlatform.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

namespace tessary {

// A help platform for tests that behaves like a Windows machine: paths with backslashes,
// names compared without regard to case, a registry with any content, any file versions and
// any Windows version. It records every help call, box and search, and answers every box
// with OK.
class FakeHelpPlatform : public HelpPlatform
{
public:
    // An HTML Help call with copies of everything its records pointed to.
    struct HelpCall
    {
        enum class Data
        {
            None,
            Number,
            Text,
            FtsQuery,
            AkLink,
            Popup
        };
        QWidget* owner = nullptr;
        std::optional<QString> target;
        quint32 command = 0;
        Data data = Data::None;
        qint32 number = 0;
        std::optional<QString> text;
        // HH_FTS_QUERY
        QList<qint32> queryNumbers; // cbStruct, fUniCodeStrings, iProximity, fStemmedSearch,
                                    // fTitleOnly, fExecute
        std::optional<QString> searchQuery;
        std::optional<QString> queryWindow;
        // HH_AKLINK
        qint32 linkSize = 0;
        qint32 linkReserved = 0;
        std::optional<QString> keywords;
        std::optional<QString> url;
        std::optional<QString> msgText;
        std::optional<QString> msgTitle;
        std::optional<QString> linkWindow;
        qint32 indexOnFail = 0;
        // HH_POPUP
        HH_POPUP popup; // its text pointers are cleared; see popupText and popupFont
        std::optional<QString> popupText;
        std::optional<QString> popupFont;
    };

    struct RegistryValue
    {
        QString name;
        quint32 type = RegistryType::String;
        QString data;
    };

    FakeHelpPlatform();
    ~FakeHelpPlatform() override;

    // --- set-up ---
    // Adds a file and the folders above it. shortPath, when given, spells the same path in
    // short (8.3) parts, part for part.
    void addFile(const QString& longPath, const QString& shortPath = QString());
    void setRegistryValue(RegistryRoot root, const QString& key, const QString& name,
                          const QString& data, quint32 type = RegistryType::String);
    void setFileVersion(const QString& path, quint32 versionMS, quint32 versionLS);
    // Without a call the system gives no version record.
    void setWindowsVersion(quint32 platformId, quint32 major, quint32 minor);
    void setEnvironment(const QString& name, const QString& value);
    void setString(quint32 id, const QString& text) { m_strings.insert(id, text); }
    void setApplicationFolder(const QString& folder) { m_applicationFolder = folder; }
    void setCursorPos(QPoint pos) { m_cursor = pos; }
    // Failures to simulate.
    void setHelpControlMissing(bool missing) { m_helpControlMissing = missing; }
    void setCreateKeyFails(bool fails) { m_createKeyFails = fails; }

    // --- what happened ---
    const QList<HelpCall>& helpCalls() const { return m_helpCalls; }
    const QList<MessageBoxParams>& boxes() const { return m_boxes; }
    QStringList boxTexts() const;
    const QStringList& searches() const { return m_searches; }
    const QList<QWidget*>& contextHelpWindows() const { return m_contextHelpWindows; }
    std::optional<RegistryValue> registryValue(RegistryRoot root, const QString& key,
                                               const QString& name) const;
    int openKeys() const { return m_openKeys; }
    void clearRecords();

    // --- HelpPlatform ---
    quintptr HtmlHelpA(QWidget* owner, const char* target, quint32 command,
                       const HtmlHelpData& data) override;
    int messageBoxIndirect(const MessageBoxParams& params) override;
    void enterContextHelpMode(QWidget* window) override;
    QPoint cursorPos() override { return m_cursor; }
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
    QString applicationFolder() override { return m_applicationFolder; }
    QChar separator() override { return m_separator; }
    // Paths of this machine rather than a Windows machine's, for tests of the program's
    // own folders.
    void setSeparator(QChar separator) { m_separator = separator; }

private:
    class Key;
    friend class Key;

    struct Entry
    {
        QStringList longParts;
        QStringList shortParts;
    };
    // The entries whose parts match pattern's parts (the last one may hold wildcards).
    QList<const Entry*> match(const QString& pattern) const;
    static QString keyId(RegistryRoot root, const QString& key);

    QList<Entry> m_entries;
    QMap<QString, QList<RegistryValue>> m_registry;
    QHash<QString, FixedFileInfo> m_versions;
    std::optional<OsVersionInfo> m_windowsVersion;
    QHash<QString, QString> m_environment;
    QHash<quint32, QString> m_strings;
    QString m_applicationFolder = QStringLiteral("C:\\Program Files\\Tessary");
    QPoint m_cursor;
    bool m_helpControlMissing = false;
    bool m_createKeyFails = false;

    QList<HelpCall> m_helpCalls;
    QList<MessageBoxParams> m_boxes;
    QStringList m_searches;
    QList<QWidget*> m_contextHelpWindows;
    int m_openKeys = 0;
    QChar m_separator = QLatin1Char('\\');
};

} // namespace tessary
