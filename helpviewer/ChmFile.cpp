#include "ChmFile.h"

#include "ChmSiteMap.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QtEndian>
#include <algorithm>
#include <chm_lib.h>

namespace tessary {

namespace {

constexpr qint64 MaxObjectSize = 64 * 1024 * 1024;

QByteArray objectName(const QString& objectPath)
{
    QString path = objectPath;
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    return path.toUtf8();
}

quint32 dwordAt(const QByteArray& data, qsizetype offset)
{
    if (offset < 0 || offset + 4 > data.size())
        return 0;
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

quint16 wordAt(const QByteArray& data, qsizetype offset)
{
    if (offset < 0 || offset + 2 > data.size())
        return 0;
    return qFromLittleEndian<quint16>(data.constData() + offset);
}

QString zeroTerminated(const QByteArray& data, qsizetype offset, qsizetype length)
{
    if (offset < 0 || offset >= data.size())
        return QString();
    QByteArray text = data.mid(offset, length);
    const qsizetype zero = text.indexOf('\0');
    if (zero >= 0)
        text.truncate(zero);
    return QString::fromLocal8Bit(text);
}

QString decoded(const QByteArray& data)
{
    QStringDecoder decoder(
        QStringConverter::encodingForHtml(data).value_or(QStringConverter::Latin1));
    return decoder.decode(data);
}

void collectKeywordTopics(const QList<ChmSiteMap::Entry>& entries, const QStringList& keywords,
                          QStringList& topics)
{
    for (const ChmSiteMap::Entry& entry : entries) {
        for (const QString& keyword : keywords) {
            if (entry.name.compare(keyword, Qt::CaseInsensitive) != 0)
                continue;
            for (const QString& local : entry.locals) {
                if (!topics.contains(local))
                    topics.append(local);
            }
        }
        collectKeywordTopics(entry.children, keywords, topics);
    }
}

int collectTopic(chmFile*, chmUnitInfo* info, void* context)
{
    const QString path = QString::fromUtf8(info->path);
    if (path.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) ||
        path.endsWith(QLatin1String(".html"), Qt::CaseInsensitive))
        static_cast<QStringList*>(context)->append(path);
    return CHM_ENUMERATOR_CONTINUE;
}

} // namespace

std::unique_ptr<ChmFile> ChmFile::open(const QString& path)
{
    chmFile* handle = chm_open(QFile::encodeName(path).constData());
    if (!handle)
        return nullptr;
    std::unique_ptr<ChmFile> file(new ChmFile(handle, path));
    chm_enumerate(handle, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, collectTopic,
                  &file->m_topics);
    file->m_strings = file->read(QStringLiteral("/#STRINGS")).value_or(QByteArray());
    file->m_fullTextIndex = file->contains(QStringLiteral("/$FIftiMain"));
    file->readSystem();
    file->readWindows();
    // A damaged file may still list its topics; one that cannot give any of them back has
    // nothing to show.
    const bool readable =
        std::any_of(file->m_topics.cbegin(), file->m_topics.cend(),
                    [&](const QString& topic) { return file->read(topic).has_value(); });
    if (!readable)
        return nullptr;
    return file;
}

ChmFile::ChmFile(chmFile* handle, QString path)
    : m_handle(handle)
    , m_path(std::move(path))
{}

ChmFile::~ChmFile()
{
    chm_close(m_handle);
}

bool ChmFile::contains(const QString& objectPath) const
{
    chmUnitInfo info;
    return chm_resolve_object(m_handle, objectName(objectPath).constData(), &info) ==
           CHM_RESOLVE_SUCCESS;
}

std::optional<QByteArray> ChmFile::read(const QString& objectPath) const
{
    chmUnitInfo info;
    if (chm_resolve_object(m_handle, objectName(objectPath).constData(), &info) !=
        CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    if (info.length > quint64(MaxObjectSize))
        return std::nullopt;
    QByteArray data(qsizetype(info.length), Qt::Uninitialized);
    if (info.length == 0)
        return data;
    const LONGINT64 got = chm_retrieve_object(
        m_handle, &info, reinterpret_cast<unsigned char*>(data.data()), 0, LONGINT64(info.length));
    if (got != LONGINT64(info.length))
        return std::nullopt;
    return data;
}

void ChmFile::readSystem()
{
    // #SYSTEM: a version, then records of a 16-bit code, a 16-bit length and the data.
    const QByteArray system = read(QStringLiteral("/#SYSTEM")).value_or(QByteArray());
    qsizetype offset = 4;
    while (offset + 4 <= system.size()) {
        const quint16 code = wordAt(system, offset);
        const quint16 length = wordAt(system, offset + 2);
        const qsizetype data = offset + 4;
        if (data + length > system.size())
            break;
        switch (code) {
        case 0:
            m_contentsFile = zeroTerminated(system, data, length);
            break;
        case 1:
            m_indexFile = zeroTerminated(system, data, length);
            break;
        case 2:
            m_defaultTopic = zeroTerminated(system, data, length);
            break;
        case 3:
            m_title = zeroTerminated(system, data, length);
            break;
        case 5:
            m_defaultWindow = zeroTerminated(system, data, length);
            break;
        default:
            break;
        }
        offset = data + length;
    }
}

QString ChmFile::stringAt(quint32 offset) const
{
    if (offset == 0)
        return QString();
    return zeroTerminated(m_strings, qsizetype(offset), m_strings.size());
}

void ChmFile::readWindows()
{
    // #WINDOWS: a count and an entry size, then one fixed-size entry per window type whose
    // texts are offsets into #STRINGS.
    const QByteArray windows = read(QStringLiteral("/#WINDOWS")).value_or(QByteArray());
    const quint32 count = dwordAt(windows, 0);
    const quint32 entrySize = dwordAt(windows, 4);
    if (entrySize < 0x70)
        return;
    for (quint32 i = 0; i < count && i < 256; ++i) {
        const qsizetype entry = 8 + qsizetype(i) * entrySize;
        if (entry + qsizetype(entrySize) > windows.size())
            break;
        ChmWindowType type;
        type.name = stringAt(dwordAt(windows, entry + 0x08));
        const quint32 valid = dwordAt(windows, entry + 0x0C);
        type.properties = dwordAt(windows, entry + 0x10);
        type.title = stringAt(dwordAt(windows, entry + 0x14));
        if (valid & 0x10) {
            const auto left = qint32(dwordAt(windows, entry + 0x20));
            const auto top = qint32(dwordAt(windows, entry + 0x24));
            const auto right = qint32(dwordAt(windows, entry + 0x28));
            const auto bottom = qint32(dwordAt(windows, entry + 0x2C));
            if (right > left && bottom > top)
                type.geometry = QRect(left, top, right - left, bottom - top);
        }
        type.contentsFile = stringAt(dwordAt(windows, entry + 0x60));
        type.indexFile = stringAt(dwordAt(windows, entry + 0x64));
        type.defaultTopic = stringAt(dwordAt(windows, entry + 0x68));
        type.homeTopic = stringAt(dwordAt(windows, entry + 0x6C));
        if (entrySize >= 0x7C && (valid & 0x2000))
            type.navigationTab = int(dwordAt(windows, entry + 0x78));
        if (!type.name.isEmpty())
            m_windowTypes.append(type);
    }
}

std::optional<ChmWindowType> ChmFile::windowType(const QString& name) const
{
    for (const ChmWindowType& type : m_windowTypes) {
        if (type.name.compare(name, Qt::CaseInsensitive) == 0)
            return type;
    }
    return std::nullopt;
}

QString ChmFile::resolveFileName(const QString& name) const
{
    QString path = name;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (contains(path))
        return path.startsWith(QLatin1Char('/')) ? path.mid(1) : path;
    // Some compilers store the source file's full path: take the part found in the file.
    QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    while (!parts.isEmpty()) {
        parts.removeFirst();
        const QString rest = parts.join(QLatin1Char('/'));
        if (!rest.isEmpty() && contains(rest))
            return rest;
    }
    return QString();
}

std::optional<QString> ChmFile::contextTopic(quint32 id) const
{
    // #IVB: a byte length, then pairs of a context number and a #STRINGS offset.
    const QByteArray map = read(QStringLiteral("/#IVB")).value_or(QByteArray());
    const qsizetype end = qMin(map.size(), qsizetype(dwordAt(map, 0)) + 4);
    for (qsizetype offset = 4; offset + 8 <= end; offset += 8) {
        if (dwordAt(map, offset) != id)
            continue;
        const QString topic = resolveFileName(stringAt(dwordAt(map, offset + 4)));
        if (!topic.isEmpty())
            return topic;
    }
    return std::nullopt;
}

QStringList ChmFile::keywordTopics(const QString& indexFile, const QStringList& keywords) const
{
    QStringList topics;
    const std::optional<QByteArray> index = indexFile.isEmpty() ? std::nullopt : read(indexFile);
    if (index)
        collectKeywordTopics(ChmSiteMap::parse(decoded(*index)), keywords, topics);
    return topics;
}

QStringList ChmFile::associativeLinkTopics(const QStringList& names) const
{
    if (!m_associativeLinks) {
        // Pages name their links in <param name="ALink Name" value="a;b"> elements.
        static const QRegularExpression param(
            QStringLiteral("<param\\s+name\\s*=\\s*\"ALink Name\"\\s+value\\s*=\\s*\"([^\"]*)\""),
            QRegularExpression::CaseInsensitiveOption);
        QHash<QString, QStringList> links;
        for (const QString& topic : m_topics) {
            const std::optional<QByteArray> data = read(topic);
            if (!data)
                continue;
            for (QRegularExpressionMatchIterator it = param.globalMatch(decoded(*data));
                 it.hasNext();) {
                for (const QString& name : it.next().captured(1).split(QLatin1Char(';'))) {
                    QStringList& topics = links[name.trimmed().toLower()];
                    if (!topics.contains(topic))
                        topics.append(topic);
                }
            }
        }
        m_associativeLinks = links;
    }
    QStringList topics;
    for (const QString& name : names) {
        for (const QString& topic : m_associativeLinks->value(name.trimmed().toLower())) {
            if (!topics.contains(topic))
                topics.append(topic);
        }
    }
    return topics;
}

} // namespace tessary
