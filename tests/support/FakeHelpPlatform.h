#pragma once

#include "HelpPlatform.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QStringList>

namespace tessary {

// A help platform for tests that behaves like a Windows machine: paths with backslashes,
// names compared without regard to case, a registry with any content, any file versions and
// any Windows version. It records every help call, box and file search, and answers every
// box with OK. The public fields set the machine up.
class FakeHelpPlatform : public HelpPlatform
{
public:
    // An HTML Help call with copies of everything its data pointed to.
    struct HelpCall
    {
        QWidget* owner = nullptr;
        std::optional<QString> target;
        quint32 command = 0;
        qint32 number = 0;
        std::optional<QString> text;
        // A lookup's or pop-up's record, field by field in declaration order, texts quoted and
        // null pointers as null: 32 0 "folders" null null null "Main" 0
        QString record;
    };
    struct RegistryValue
    {
        QString name;
        quint32 type = RegistryType::String;
        QString data;
    };

    // Adds a file and the folders above it. shortPath, when given, spells the same path in
    // short (8.3) parts, part for part.
    void addFile(const QString& longPath, const QString& shortPath = QString());
    void setRegistryValue(RegistryRoot root, const QString& key, const QString& name,
                          const QString& data, quint32 type = RegistryType::String)
    {
        m_registry[keyId(root, key)].insert(name.toLower(), {name, type, data});
    }
    // The value, or one without a name when there is none.
    RegistryValue registryValue(RegistryRoot root, const QString& key, const QString& name)
    {
        return m_registry[keyId(root, key)].value(name.toLower());
    }
    void setFileVersion(const QString& path, quint32 ms, quint32 ls);
    // Paths of this machine rather than a Windows machine's, for tests of the program's
    // own folders.
    void setSeparator(QChar separator) { m_separator = separator; }

    // Without a call the system gives no version record.
    void setWindowsVersion(quint32 platformId, quint32 major, quint32 minor);

    QHash<QString, QString> environment;
    QHash<quint32, QString> strings;
    QPoint cursor;
    bool helpControlMissing = false;
    bool createKeyFails = false;

    const QList<HelpCall>& helpCalls() const { return m_helpCalls; }
    const QList<MessageBoxParams>& boxes() const { return m_boxes; }
    QStringList boxTexts() const;
    const QStringList& searches() const { return m_searches; }

    quintptr HtmlHelpA(QWidget* owner, const char* target, quint32 command,
                       const HtmlHelpData& data) override;
    int messageBoxIndirect(const MessageBoxParams& params) override;
    void enterContextHelpMode(QWidget*) override {}
    QPoint cursorPos() override { return cursor; }
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
    QString applicationFolder() override { return QStringLiteral("C:\\Program Files\\Tessary"); }
    QChar separator() override { return m_separator; }

private:
    struct Entry
    {
        QStringList longParts;
        QStringList shortParts;
    };
    // The file or folder whose parts match the path's, each in its long or short spelling.
    const Entry* find(const QString& path) const;
    static QString keyId(RegistryRoot root, const QString& key)
    {
        return QString::number(quint32(root), 16) + QLatin1Char(':') + key.toLower();
    }

    QList<Entry> m_entries;
    // Values by key and by name, both in lower case.
    QMap<QString, QMap<QString, RegistryValue>> m_registry;
    QHash<QString, FixedFileInfo> m_versions;
    std::optional<OsVersionInfo> m_windowsVersion;
    QList<HelpCall> m_helpCalls;
    QList<MessageBoxParams> m_boxes;
    QStringList m_searches;
    QChar m_separator = QLatin1Char('\\');
};

} // namespace tessary
