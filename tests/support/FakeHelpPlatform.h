#pragma once

#include "HelpPlatform.h"

#include <QHash>
#include <QMap>
#include <QStringList>

namespace tessary {

// A help platform for tests that behaves like a Windows machine: paths with backslashes,
// names compared without regard to case, a registry with any content, any file versions and
// any Windows version, and no string table. It records every help call, box and file search,
// and answers every box with OK. The public fields set the machine up.
class FakeHelpPlatform : public HelpPlatform
{
public:
    // An HTML Help call with copies of the texts and records its data pointed to.
    struct HelpCall
    {
        QWidget* owner = nullptr;
        std::optional<QString> target;
        quint32 command = 0;
        std::optional<QString> text;
        // A lookup's record, field by field in declaration order, texts quoted and null
        // pointers as null: 32 0 "folders" null null null "Main" 0; a pop-up's font, quoted.
        QString record;
    };
    struct RegistryValue
    {
        QString name;
        quint32 type = RegistryType::String;
        QString data;
    };
    using RegistryValues = QMap<QString, RegistryValue>; // by name in lower case

    QHash<QString, QString> environment;
    bool helpControlMissing = false;
    bool createKeyFails = false;

    // Adds a file and the folders above it. shortPath, when given, spells the same path in
    // short (8.3) parts, part for part.
    void addFile(const QString& longPath, const QString& shortPath = QString());
    void setFileVersion(const QString& path, quint32 ms, quint32 ls)
    {
        m_versions.insert(path.toLower(), FixedFileInfo{ms, ls, ms, ls});
    }
    // Without a call the system gives no version record.
    void setWindowsVersion(quint32 platformId, quint32 major, quint32 minor)
    {
        m_windowsVersion = OsVersionInfo{148, major, minor, 0, platformId, QString()};
    }
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
    // Paths of this machine rather than a Windows machine's, for tests of the program's
    // own folders.
    void setSeparator(QChar separator) { m_separator = separator; }

    const QList<HelpCall>& helpCalls() const { return m_helpCalls; }
    const QList<MessageBoxParams>& boxes() const { return m_boxes; }
    QStringList boxTexts() const;
    const QStringList& searches() const { return m_searches; }

    quintptr HtmlHelpA(QWidget* owner, const char* target, quint32 command,
                       const HtmlHelpData& data) override;
    int messageBoxIndirect(const MessageBoxParams& params) override
    {
        m_boxes.append(params);
        return 1; // OK
    }
    void enterContextHelpMode(QWidget*) override {}
    QPoint cursorPos() override { return {}; }
    std::optional<QString> findFirstFile(const QString& pattern) override
    {
        m_searches.append(pattern);
        const Entry* entry = find(pattern);
        return entry ? std::optional(entry->first.last()) : std::nullopt;
    }
    std::unique_ptr<RegistryKey> regOpenKey(RegistryRoot root, const QString& subKey,
                                            quint32) override
    {
        const auto values = m_registry.find(keyId(root, subKey));
        return values == m_registry.end() ? nullptr : makeKey(*values);
    }
    std::unique_ptr<RegistryKey> regCreateKey(RegistryRoot root, const QString& subKey,
                                              quint32) override
    {
        return createKeyFails ? nullptr : makeKey(m_registry[keyId(root, subKey)]);
    }
    bool versionEx(OsVersionInfo& info) override
    {
        const bool known = m_windowsVersion && info.dwOSVersionInfoSize == 148;
        if (known)
            info = *m_windowsVersion;
        return known;
    }
    std::optional<FixedFileInfo> fileVersionInfo(const QString& fileName) override
    {
        const Entry* entry = find(fileName);
        const QString path = entry ? entry->first.join(QLatin1Char('\\')).toLower() : QString();
        return m_versions.contains(path) ? std::optional(m_versions.value(path)) : std::nullopt;
    }
    std::optional<QString> expandEnvironmentStrings(const QString& text) override
    {
        QString result = text;
        for (auto it = environment.cbegin(); it != environment.cend(); ++it)
            result.replace(u'%' + it.key() + u'%', it.value(), Qt::CaseInsensitive);
        return result;
    }
    std::optional<QString> longPathName(const QString& path) override
    {
        const Entry* entry = find(path);
        const QString trailing = path.endsWith(QLatin1Char('\\')) ? path.right(1) : QString();
        return entry ? std::optional(entry->first.join(QLatin1Char('\\')) + trailing)
                     : std::nullopt;
    }
    std::optional<QString> loadString(quint32) override { return std::nullopt; }
    QString applicationFolder() override { return QStringLiteral("C:\\Program Files\\Tessary"); }
    QChar separator() override { return m_separator; }

private:
    using Entry = std::pair<QStringList, QStringList>; // long and short parts
    // The file or folder whose parts match the path's, each in its long or short spelling.
    const Entry* find(const QString& path) const;
    static std::unique_ptr<RegistryKey> makeKey(RegistryValues& values);
    static QString keyId(RegistryRoot root, const QString& key)
    {
        return QString::number(quint32(root), 16) + QLatin1Char(':') + key.toLower();
    }

    QList<Entry> m_entries;
    QMap<QString, RegistryValues> m_registry; // by key in lower case
    QHash<QString, FixedFileInfo> m_versions;
    std::optional<OsVersionInfo> m_windowsVersion;
    QList<HelpCall> m_helpCalls;
    QList<MessageBoxParams> m_boxes;
    QStringList m_searches;
    QChar m_separator = QLatin1Char('\\');
};

} // namespace tessary
