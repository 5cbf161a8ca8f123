#include "FakeHelpPlatform.h"

#include "HelpError.h"

namespace tessary {

namespace {

using RegistryValue = FakeHelpPlatform::RegistryValue;

std::optional<QString> copyText(const char* text)
{
    return text ? std::optional<QString>(QString::fromLocal8Bit(text)) : std::nullopt;
}

// A record's text field as the call records show it.
QByteArray field(const char* text)
{
    return text ? '"' + QByteArray(text) + '"' : QByteArray("null");
}

using Values = QMap<QString, RegistryValue>;

// A registry key handed out by the fake, working on the values of its key.
class Key : public RegistryKey
{
public:
    explicit Key(Values& values)
        : m_values(values)
    {}

    std::optional<RegistryValueInfo> enumValue(quint32 index) override
    {
        if (index >= quint32(m_values.size()))
            return std::nullopt;
        const RegistryValue& value = *std::next(m_values.cbegin(), index);
        return RegistryValueInfo{value.name, value.type,
                                 quint32(value.data.toLocal8Bit().size() + 1)};
    }
    std::optional<QString> queryValue(const QString& name) override
    {
        // Stored text keeps its terminating zero, as the registry gives it.
        const auto value = m_values.constFind(name.toLower());
        return value == m_values.cend() ? std::nullopt : std::optional(value->data + QChar(0));
    }
    bool setValue(const QString& name, quint32 type, const QString& data) override
    {
        m_values.insert(name.toLower(), {name, type, data});
        return true;
    }
    bool deleteValue(const QString& name) override { return m_values.remove(name.toLower()) > 0; }
    bool close() override { return true; }

private:
    Values& m_values;
};

} // namespace

void FakeHelpPlatform::addFile(const QString& longPath, const QString& shortPath)
{
    const QStringList longParts = longPath.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    QStringList shortParts = shortPath.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (shortParts.size() != longParts.size())
        shortParts = longParts;
    for (qsizetype count = 1; count <= longParts.size(); ++count)
        m_entries.append({longParts.first(count), shortParts.first(count)});
}

void FakeHelpPlatform::setFileVersion(const QString& path, quint32 ms, quint32 ls)
{
    m_versions.insert(path.toLower(), FixedFileInfo{ms, ls, ms, ls});
}

void FakeHelpPlatform::setWindowsVersion(quint32 platformId, quint32 major, quint32 minor)
{
    m_windowsVersion = OsVersionInfo{0, major, minor, 0, platformId, QString()};
}

QStringList FakeHelpPlatform::boxTexts() const
{
    QStringList texts;
    for (const MessageBoxParams& box : m_boxes)
        texts.append(box.lpszText);
    return texts;
}

quintptr FakeHelpPlatform::HtmlHelpA(QWidget* owner, const char* target, quint32 command,
                                     const HtmlHelpData& data)
{
    HelpCall call{owner, copyText(target), command, 0, std::nullopt, QString()};
    if (const auto* number = std::get_if<qint32>(&data)) {
        call.number = *number;
    } else if (const auto* text = std::get_if<const char*>(&data)) {
        call.text = copyText(*text);
    } else if (const auto* link = std::get_if<const HH_AKLINK*>(&data)) {
        const HH_AKLINK& l = **link;
        call.record = QString::asprintf(
            "%d %d %s %s %s %s %s %d", l.cbStruct, l.fReserved, field(l.pszKeywords).constData(),
            field(l.pszUrl).constData(), field(l.pszMsgText).constData(),
            field(l.pszMsgTitle).constData(), field(l.pszWindow).constData(), l.fIndexOnFail);
    } else if (const auto* popup = std::get_if<const HH_POPUP*>(&data)) {
        const HH_POPUP& p = **popup;
        call.record = QString::asprintf(
            "%d %llu %u %s (%d,%d) %06x %06x (%d,%d,%d,%d) %s", p.cbStruct, quint64(p.hinst),
            p.idString, field(p.pszText).constData(), p.pt.x, p.pt.y, p.clrForeground,
            p.clrBackground, p.rcMargins.left, p.rcMargins.top, p.rcMargins.right,
            p.rcMargins.bottom, field(p.pszFont).constData());
    }
    m_helpCalls.append(call);
    if (helpControlMissing)
        throw HelpError(QStringLiteral("File not found: hhctrl.ocx"));
    return 0x1000 + quintptr(m_helpCalls.size());
}

int FakeHelpPlatform::messageBoxIndirect(const MessageBoxParams& params)
{
    m_boxes.append(params);
    return 1; // OK
}

const FakeHelpPlatform::Entry* FakeHelpPlatform::find(const QString& path) const
{
    const QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (const Entry& entry : m_entries) {
        bool same = entry.longParts.size() == parts.size();
        for (qsizetype i = 0; same && i < parts.size(); ++i) {
            same = parts.at(i).compare(entry.longParts.at(i), Qt::CaseInsensitive) == 0 ||
                   parts.at(i).compare(entry.shortParts.at(i), Qt::CaseInsensitive) == 0;
        }
        if (same)
            return &entry;
    }
    return nullptr;
}

std::optional<QString> FakeHelpPlatform::findFirstFile(const QString& pattern)
{
    m_searches.append(pattern);
    const Entry* entry = find(pattern);
    return entry ? std::optional<QString>(entry->longParts.last()) : std::nullopt;
}

std::unique_ptr<RegistryKey> FakeHelpPlatform::regOpenKey(RegistryRoot root, const QString& subKey,
                                                          quint32)
{
    const auto values = m_registry.find(keyId(root, subKey));
    return values == m_registry.end() ? nullptr : std::make_unique<Key>(*values);
}

std::unique_ptr<RegistryKey> FakeHelpPlatform::regCreateKey(RegistryRoot root,
                                                            const QString& subKey, quint32)
{
    return createKeyFails ? nullptr : std::make_unique<Key>(m_registry[keyId(root, subKey)]);
}

bool FakeHelpPlatform::versionEx(OsVersionInfo& info)
{
    if (!m_windowsVersion || info.dwOSVersionInfoSize != 148)
        return false;
    info = *m_windowsVersion;
    info.dwOSVersionInfoSize = 148;
    return true;
}

std::optional<FixedFileInfo> FakeHelpPlatform::fileVersionInfo(const QString& fileName)
{
    const Entry* entry = find(fileName);
    const auto version = m_versions.constFind(
        entry ? entry->longParts.join(QLatin1Char('\\')).toLower() : QString());
    return version == m_versions.constEnd() ? std::nullopt : std::optional(*version);
}

std::optional<QString> FakeHelpPlatform::expandEnvironmentStrings(const QString& text)
{
    QString result = text;
    for (auto it = environment.cbegin(); it != environment.cend(); ++it)
        result.replace(QLatin1Char('%') + it.key() + QLatin1Char('%'), *it, Qt::CaseInsensitive);
    return result;
}

std::optional<QString> FakeHelpPlatform::longPathName(const QString& path)
{
    const Entry* entry = find(path);
    if (!entry)
        return std::nullopt;
    const QString trailing = path.endsWith(QLatin1Char('\\')) ? QStringLiteral("\\") : QString();
    return entry->longParts.join(QLatin1Char('\\')) + trailing;
}

std::optional<QString> FakeHelpPlatform::loadString(quint32 id)
{
    return strings.contains(id) ? std::optional<QString>(strings.value(id)) : std::nullopt;
}

} // namespace tessary
