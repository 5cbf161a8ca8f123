#include "IniRegistry.h"

#include <QSettings>
#include <QStringList>

namespace tessary {

namespace {

// Marks a key that holds no values, so that it is kept in the file.
const QString KeyMarker = QStringLiteral("%");
// Stands for the key's default value, whose name is empty.
const QString DefaultValue = QStringLiteral("@");

// QSettings treats "/" and "\" as group separators: names keep them escaped.
QString encode(const QString& name)
{
    QString result;
    for (const QChar c : name) {
        if (c == QLatin1Char('%') || c == QLatin1Char('/') || c == QLatin1Char('\\') ||
            c == QLatin1Char('@'))
            result += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            result += c;
    }
    return result.isEmpty() ? DefaultValue : result;
}

QString decode(const QString& stored)
{
    if (stored == DefaultValue)
        return QString();
    QString result;
    for (qsizetype i = 0; i < stored.size(); ++i) {
        bool ok = false;
        const ushort code =
            stored.at(i) == QLatin1Char('%') ? stored.mid(i + 1, 2).toUShort(&ok, 16) : 0;
        if (ok) {
            result += QChar(code);
            i += 2;
        } else {
            result += stored.at(i);
        }
    }
    return result;
}

QString rootName(RegistryRoot root)
{
    switch (root) {
    case RegistryRoot::ClassesRoot:
        return QStringLiteral("HKEY_CLASSES_ROOT");
    case RegistryRoot::CurrentUser:
        return QStringLiteral("HKEY_CURRENT_USER");
    case RegistryRoot::LocalMachine:
        return QStringLiteral("HKEY_LOCAL_MACHINE");
    case RegistryRoot::Users:
        return QStringLiteral("HKEY_USERS");
    case RegistryRoot::CurrentConfig:
        return QStringLiteral("HKEY_CURRENT_CONFIG");
    case RegistryRoot::DynData:
        return QStringLiteral("HKEY_DYN_DATA");
    case RegistryRoot::None:
        break;
    }
    return QString();
}

// The stored spelling of a child name, or an empty string.
QString storedName(const QStringList& stored, const QString& name)
{
    for (const QString& candidate : stored) {
        if (decode(candidate).compare(name, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return QString();
}

// The group path of a key as stored, made when create is true; empty when missing.
QString groupOf(QSettings& settings, RegistryRoot root, const QString& subKey, bool create)
{
    QString group = rootName(root);
    if (group.isEmpty())
        return QString();
    const QStringList parts = subKey.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        settings.beginGroup(group);
        const QString found = storedName(settings.childGroups(), part);
        settings.endGroup();
        if (found.isEmpty() && !create)
            return QString();
        group += QLatin1Char('/') + (found.isEmpty() ? encode(part) : found);
    }
    if (parts.isEmpty() && !create) {
        // A root exists once anything is stored below it.
        if (!settings.childGroups().contains(group))
            return QString();
    }
    return group;
}

} // namespace

class IniRegistry::Key : public RegistryKey
{
public:
    Key(QString fileName, QString group)
        : m_fileName(std::move(fileName))
        , m_group(std::move(group))
    {}

    std::optional<RegistryValueInfo> enumValue(quint32 index) override
    {
        QSettings settings(m_fileName, QSettings::IniFormat);
        settings.beginGroup(m_group);
        QStringList names = settings.childKeys();
        names.removeAll(KeyMarker);
        if (index >= quint32(names.size()))
            return std::nullopt;
        const QString stored = names.at(index);
        const auto [type, data] = valueOf(settings.value(stored));
        return RegistryValueInfo{decode(stored), type, quint32(data.toLocal8Bit().size() + 1)};
    }

    std::optional<QString> queryValue(const QString& name) override
    {
        QSettings settings(m_fileName, QSettings::IniFormat);
        settings.beginGroup(m_group);
        const QString stored = storedName(valueNames(settings), name);
        if (stored.isEmpty())
            return std::nullopt;
        return valueOf(settings.value(stored)).second;
    }

    bool setValue(const QString& name, quint32 type, const QString& data) override
    {
        QSettings settings(m_fileName, QSettings::IniFormat);
        settings.beginGroup(m_group);
        QString stored = storedName(valueNames(settings), name);
        if (stored.isEmpty())
            stored = encode(name);
        if (type == RegistryType::String)
            settings.setValue(stored, data);
        else
            settings.setValue(stored, QStringList{QString::number(type), data});
        settings.remove(KeyMarker);
        settings.endGroup();
        settings.sync();
        return settings.status() == QSettings::NoError;
    }

    bool deleteValue(const QString& name) override
    {
        QSettings settings(m_fileName, QSettings::IniFormat);
        settings.beginGroup(m_group);
        const QString stored = storedName(valueNames(settings), name);
        if (stored.isEmpty())
            return false;
        settings.remove(stored);
        if (settings.childKeys().isEmpty() && settings.childGroups().isEmpty())
            settings.setValue(KeyMarker, 1); // the key itself stays
        settings.endGroup();
        settings.sync();
        return settings.status() == QSettings::NoError;
    }

    bool close() override { return true; }

private:
    static QStringList valueNames(QSettings& settings)
    {
        QStringList names = settings.childKeys();
        names.removeAll(KeyMarker);
        return names;
    }

    // Texts are stored as they are; other types as their type number and the text.
    static std::pair<quint32, QString> valueOf(const QVariant& stored)
    {
        if (stored.typeId() == QMetaType::QStringList) {
            const QStringList parts = stored.toStringList();
            if (parts.size() == 2)
                return {parts.at(0).toUInt(), parts.at(1)};
        }
        return {RegistryType::String, stored.toString()};
    }

    QString m_fileName;
    QString m_group;
};

IniRegistry::IniRegistry(QString fileName)
    : m_fileName(std::move(fileName))
{}

std::unique_ptr<RegistryKey> IniRegistry::openKey(RegistryRoot root, const QString& subKey) const
{
    QSettings settings(m_fileName, QSettings::IniFormat);
    const QString group = groupOf(settings, root, subKey, false);
    if (group.isEmpty())
        return nullptr;
    return std::make_unique<Key>(m_fileName, group);
}

std::unique_ptr<RegistryKey> IniRegistry::createKey(RegistryRoot root, const QString& subKey) const
{
    QSettings settings(m_fileName, QSettings::IniFormat);
    const QString group = groupOf(settings, root, subKey, true);
    if (group.isEmpty())
        return nullptr;
    settings.beginGroup(group);
    if (settings.childKeys().isEmpty() && settings.childGroups().isEmpty())
        settings.setValue(KeyMarker, 1);
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return nullptr;
    return std::make_unique<Key>(m_fileName, group);
}

} // namespace tessary
