#include "FakeHelpPlatform.h"

#include "HelpError.h"

#include <QRegularExpression>

namespace tessary {

namespace {

QStringList pathParts(const QString& path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

bool sameName(const QString& a, const QString& b)
{
    return !b.isEmpty() && a.compare(b, Qt::CaseInsensitive) == 0;
}

std::optional<QString> copyText(const char* text)
{
    if (!text)
        return std::nullopt;
    return QString::fromLocal8Bit(text);
}

} // namespace

// A registry key handed out by the fake; it counts itself while open.
class FakeHelpPlatform::Key : public RegistryKey
{
public:
    Key(FakeHelpPlatform& platform, QString id)
        : m_platform(platform)
        , m_id(std::move(id))
    {
        ++m_platform.m_openKeys;
    }
    ~Key() override { close(); }

    std::optional<RegistryValueInfo> enumValue(quint32 index) override
    {
        const QList<RegistryValue>& values = m_platform.m_registry[m_id];
        if (index >= quint32(values.size()))
            return std::nullopt;
        const RegistryValue& value = values.at(index);
        return RegistryValueInfo{value.name, value.type,
                                 quint32(value.data.toLocal8Bit().size() + 1)};
    }

    std::optional<QString> queryValue(const QString& name) override
    {
        for (const RegistryValue& value : m_platform.m_registry[m_id]) {
            // Stored text keeps its terminating zero, as the registry gives it.
            if (sameName(value.name, name) || (name.isEmpty() && value.name.isEmpty()))
                return value.data + QChar(0);
        }
        return std::nullopt;
    }

    bool setValue(const QString& name, quint32 type, const QString& data) override
    {
        QList<RegistryValue>& values = m_platform.m_registry[m_id];
        for (RegistryValue& value : values) {
            if (value.name.compare(name, Qt::CaseInsensitive) == 0) {
                value = {name, type, data};
                return true;
            }
        }
        values.append({name, type, data});
        return true;
    }

    bool deleteValue(const QString& name) override
    {
        QList<RegistryValue>& values = m_platform.m_registry[m_id];
        for (qsizetype i = 0; i < values.size(); ++i) {
            if (values.at(i).name.compare(name, Qt::CaseInsensitive) == 0) {
                values.removeAt(i);
                return true;
            }
        }
        return false;
    }

    bool close() override
    {
        if (!m_open)
            return true;
        m_open = false;
        --m_platform.m_openKeys;
        return true;
    }

private:
    FakeHelpPlatform& m_platform;
    QString m_id;
    bool m_open = true;
};

FakeHelpPlatform::FakeHelpPlatform() = default;
FakeHelpPlatform::~FakeHelpPlatform() = default;

void FakeHelpPlatform::addFile(const QString& longPath, const QString& shortPath)
{
    const QStringList longParts = pathParts(longPath);
    QStringList shortParts = pathParts(shortPath);
    if (shortParts.size() != longParts.size())
        shortParts = longParts;
    for (qsizetype count = 1; count <= longParts.size(); ++count) {
        Entry entry{longParts.mid(0, count), shortParts.mid(0, count)};
        bool known = false;
        for (const Entry& existing : m_entries) {
            if (existing.longParts.join('\\').compare(entry.longParts.join('\\'),
                                                      Qt::CaseInsensitive) == 0)
                known = true;
        }
        if (!known)
            m_entries.append(entry);
    }
}

QString FakeHelpPlatform::keyId(RegistryRoot root, const QString& key)
{
    return QString::number(quint32(root), 16) + QLatin1Char(':') +
           pathParts(key).join(QLatin1Char('\\')).toLower();
}

void FakeHelpPlatform::setRegistryValue(RegistryRoot root, const QString& key, const QString& name,
                                        const QString& data, quint32 type)
{
    QList<RegistryValue>& values = m_registry[keyId(root, key)];
    for (RegistryValue& value : values) {
        if (value.name.compare(name, Qt::CaseInsensitive) == 0) {
            value = {name, type, data};
            return;
        }
    }
    values.append({name, type, data});
}

std::optional<FakeHelpPlatform::RegistryValue>
FakeHelpPlatform::registryValue(RegistryRoot root, const QString& key, const QString& name) const
{
    const auto values = m_registry.constFind(keyId(root, key));
    if (values == m_registry.constEnd())
        return std::nullopt;
    for (const RegistryValue& value : *values) {
        if (value.name.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

void FakeHelpPlatform::setFileVersion(const QString& path, quint32 versionMS, quint32 versionLS)
{
    m_versions.insert(path.toLower(), FixedFileInfo{versionMS, versionLS, versionMS, versionLS});
}

void FakeHelpPlatform::setWindowsVersion(quint32 platformId, quint32 major, quint32 minor)
{
    OsVersionInfo info;
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.dwPlatformId = platformId;
    m_windowsVersion = info;
}

void FakeHelpPlatform::setEnvironment(const QString& name, const QString& value)
{
    m_environment.insert(name.toUpper(), value);
}

QStringList FakeHelpPlatform::boxTexts() const
{
    QStringList texts;
    for (const MessageBoxParams& box : m_boxes)
        texts.append(box.lpszText);
    return texts;
}

void FakeHelpPlatform::clearRecords()
{
    m_helpCalls.clear();
    m_boxes.clear();
    m_searches.clear();
    m_contextHelpWindows.clear();
}

quintptr FakeHelpPlatform::HtmlHelpA(QWidget* owner, const char* target, quint32 command,
                                     const HtmlHelpData& data)
{
    HelpCall call;
    call.owner = owner;
    call.target = copyText(target);
    call.command = command;
    if (const auto* number = std::get_if<qint32>(&data)) {
        call.data = HelpCall::Data::Number;
        call.number = *number;
    } else if (const auto* text = std::get_if<const char*>(&data)) {
        call.data = HelpCall::Data::Text;
        call.text = copyText(*text);
    } else if (const auto* query = std::get_if<const HH_FTS_QUERY*>(&data)) {
        const HH_FTS_QUERY& q = **query;
        call.data = HelpCall::Data::FtsQuery;
        call.queryNumbers = {q.cbStruct,       q.fUniCodeStrings, q.iProximity,
                             q.fStemmedSearch, q.fTitleOnly,      q.fExecute};
        call.searchQuery = copyText(q.pszSearchQuery);
        call.queryWindow = copyText(q.pszWindow);
    } else if (const auto* link = std::get_if<const HH_AKLINK*>(&data)) {
        const HH_AKLINK& l = **link;
        call.data = HelpCall::Data::AkLink;
        call.linkSize = l.cbStruct;
        call.linkReserved = l.fReserved;
        call.keywords = copyText(l.pszKeywords);
        call.url = copyText(l.pszUrl);
        call.msgText = copyText(l.pszMsgText);
        call.msgTitle = copyText(l.pszMsgTitle);
        call.linkWindow = copyText(l.pszWindow);
        call.indexOnFail = l.fIndexOnFail;
    } else if (const auto* popup = std::get_if<const HH_POPUP*>(&data)) {
        call.data = HelpCall::Data::Popup;
        call.popup = **popup;
        call.popupText = copyText(call.popup.pszText);
        call.popupFont = copyText(call.popup.pszFont);
        call.popup.pszText = nullptr;
        call.popup.pszFont = nullptr;
    }
    m_helpCalls.append(call);
    if (m_helpControlMissing)
        throw HelpError(QStringLiteral("File not found: hhctrl.ocx"));
    return 0x1000 + quintptr(m_helpCalls.size());
}

int FakeHelpPlatform::messageBoxIndirect(const MessageBoxParams& params)
{
    m_boxes.append(params);
    return 1; // OK
}

void FakeHelpPlatform::enterContextHelpMode(QWidget* window)
{
    m_contextHelpWindows.append(window);
}

QList<const FakeHelpPlatform::Entry*> FakeHelpPlatform::match(const QString& pattern) const
{
    QList<const Entry*> found;
    if (pattern.endsWith(QLatin1Char('\\')) || pattern.startsWith(QLatin1Char('"')))
        return found;
    const QStringList parts = pathParts(pattern);
    if (parts.isEmpty())
        return found;
    const QRegularExpression last(
        QRegularExpression::wildcardToRegularExpression(
            parts.last(), QRegularExpression::UnanchoredWildcardConversion),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpression anchored(QRegularExpression::anchoredPattern(last.pattern()),
                                      QRegularExpression::CaseInsensitiveOption);
    for (const Entry& entry : m_entries) {
        if (entry.longParts.size() != parts.size())
            continue;
        bool matches = true;
        for (qsizetype i = 0; i + 1 < parts.size() && matches; ++i) {
            matches = sameName(entry.longParts.at(i), parts.at(i)) ||
                      sameName(entry.shortParts.at(i), parts.at(i));
        }
        if (matches && (anchored.match(entry.longParts.last()).hasMatch() ||
                        anchored.match(entry.shortParts.last()).hasMatch()))
            found.append(&entry);
    }
    return found;
}

std::optional<QString> FakeHelpPlatform::findFirstFile(const QString& pattern)
{
    m_searches.append(pattern);
    const QList<const Entry*> found = match(pattern);
    if (found.isEmpty())
        return std::nullopt;
    return found.first()->longParts.last();
}

std::unique_ptr<RegistryKey> FakeHelpPlatform::regOpenKey(RegistryRoot root, const QString& subKey,
                                                          quint32)
{
    const QString id = keyId(root, subKey);
    if (!m_registry.contains(id))
        return nullptr;
    return std::make_unique<Key>(*this, id);
}

std::unique_ptr<RegistryKey> FakeHelpPlatform::regCreateKey(RegistryRoot root,
                                                            const QString& subKey, quint32)
{
    if (m_createKeyFails)
        return nullptr;
    const QString id = keyId(root, subKey);
    m_registry[id];
    return std::make_unique<Key>(*this, id);
}

bool FakeHelpPlatform::versionEx(OsVersionInfo& info)
{
    if (!m_windowsVersion || info.dwOSVersionInfoSize != 148)
        return false;
    const quint32 size = info.dwOSVersionInfoSize;
    info = *m_windowsVersion;
    info.dwOSVersionInfoSize = size;
    return true;
}

std::optional<FixedFileInfo> FakeHelpPlatform::fileVersionInfo(const QString& fileName)
{
    const QList<const Entry*> found = match(fileName);
    if (found.isEmpty())
        return std::nullopt;
    const auto version = m_versions.constFind(found.first()->longParts.join('\\').toLower());
    if (version == m_versions.constEnd())
        return std::nullopt;
    return *version;
}

std::optional<QString> FakeHelpPlatform::expandEnvironmentStrings(const QString& text)
{
    static const QRegularExpression variable(QStringLiteral("%([^%]+)%"));
    QString result;
    qsizetype from = 0;
    for (QRegularExpressionMatchIterator it = variable.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        result += text.mid(from, m.capturedStart() - from);
        const auto value = m_environment.constFind(m.captured(1).toUpper());
        result += value == m_environment.constEnd() ? m.captured(0) : *value;
        from = m.capturedEnd();
    }
    return result + text.mid(from);
}

std::optional<QString> FakeHelpPlatform::longPathName(const QString& path)
{
    const QStringList parts = pathParts(path);
    if (parts.isEmpty() || path.contains(QLatin1Char('"')) || path.contains(QLatin1Char('*')) ||
        path.contains(QLatin1Char('?')))
        return std::nullopt;
    const QList<const Entry*> found = match(parts.join(QLatin1Char('\\')));
    if (found.isEmpty())
        return std::nullopt;
    QString result = found.first()->longParts.join(QLatin1Char('\\'));
    if (path.endsWith(QLatin1Char('\\')))
        result += QLatin1Char('\\');
    return result;
}

std::optional<QString> FakeHelpPlatform::loadString(quint32 id)
{
    const auto text = m_strings.constFind(id);
    if (text == m_strings.constEnd())
        return std::nullopt;
    return *text;
}

} // namespace tessary
