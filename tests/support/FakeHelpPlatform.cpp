#include "FakeHelpPlatform.h"

#include "HelpError.h"

namespace tessary {

namespace {

std::optional<QString> copyText(const char* text)
{
    return text ? std::optional(QString::fromLocal8Bit(text)) : std::nullopt;
}

// A record's text field as the call records show it.
QByteArray field(const char* text)
{
    return text ? '"' + QByteArray(text) + '"' : QByteArray("null");
}

// A registry key handed out by the fake, working on the values of its key.
class Key : public RegistryKey
{
public:
    explicit Key(FakeHelpPlatform::RegistryValues& values)
        : m_values(values)
    {}

    std::optional<RegistryValueInfo> enumValue(quint32 index) override
    {
        if (index >= quint32(m_values.size()))
            return std::nullopt;
        const FakeHelpPlatform::RegistryValue& value = *std::next(m_values.cbegin(), index);
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
    FakeHelpPlatform::RegistryValues& m_values;
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

const FakeHelpPlatform::Entry* FakeHelpPlatform::find(const QString& path) const
{
    const QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (const Entry& entry : m_entries) {
        bool same = entry.first.size() == parts.size();
        for (qsizetype i = 0; same && i < parts.size(); ++i) {
            same = parts.at(i).compare(entry.first.at(i), Qt::CaseInsensitive) == 0 ||
                   parts.at(i).compare(entry.second.at(i), Qt::CaseInsensitive) == 0;
        }
        if (same)
            return &entry;
    }
    return nullptr;
}

std::unique_ptr<RegistryKey> FakeHelpPlatform::makeKey(RegistryValues& values)
{
    return std::make_unique<Key>(values);
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
    HelpCall call{owner, copyText(target), command, std::nullopt, QString()};
    if (const auto* text = std::get_if<const char*>(&data)) {
        call.text = copyText(*text);
    } else if (const auto* link = std::get_if<const HH_AKLINK*>(&data)) {
        const HH_AKLINK& l = **link;
        call.record = QString::asprintf(
            "%d %d %s %s %s %s %s %d", l.cbStruct, l.fReserved, field(l.pszKeywords).constData(),
            field(l.pszUrl).constData(), field(l.pszMsgText).constData(),
            field(l.pszMsgTitle).constData(), field(l.pszWindow).constData(), l.fIndexOnFail);
    } else if (const auto* popup = std::get_if<const HH_POPUP*>(&data)) {
        call.record = QString::fromLocal8Bit(field((*popup)->pszFont));
    }
    m_helpCalls.append(call);
    if (helpControlMissing)
        throw HelpError(QStringLiteral("File not found: hhctrl.ocx"));
    return 0x1000 + quintptr(m_helpCalls.size());
}

} // namespace tessary
