#include "PageDrag.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>

namespace tessary {

namespace {

// The stamp's numbers as text: nanosecond times pass what a JSON number holds exactly.
const char* const stampFields[] = {"volume", "inode", "size", "modified", "changed"};

} // namespace

QMimeData* PageDrag::toMimeData() const
{
    QJsonObject object;
    object.insert(QStringLiteral("file"), file);
    const std::uint64_t values[] = {stamp.volume, stamp.inode, stamp.size,
                                    std::uint64_t(stamp.modifiedNs),
                                    std::uint64_t(stamp.changedNs)};
    for (std::size_t i = 0; i < std::size(values); ++i)
        object.insert(QLatin1String(stampFields[i]), QString::number(values[i]));
    QJsonArray listed;
    for (const std::int32_t page : pages)
        listed.append(page);
    object.insert(QStringLiteral("pages"), listed);
    auto* data = new QMimeData;
    data->setData(mimeType, QJsonDocument(object).toJson(QJsonDocument::Compact));
    return data;
}

std::optional<PageDrag> PageDrag::from(const QMimeData& data)
{
    if (!data.hasFormat(mimeType))
        return std::nullopt;
    const QJsonObject object = QJsonDocument::fromJson(data.data(mimeType)).object();
    PageDrag drag;
    drag.file = object.value(QStringLiteral("file")).toString();
    std::uint64_t values[std::size(stampFields)] = {};
    for (std::size_t i = 0; i < std::size(stampFields); ++i) {
        bool ok = false;
        values[i] = object.value(QLatin1String(stampFields[i])).toString().toULongLong(&ok);
        if (!ok)
            return std::nullopt;
    }
    drag.stamp = {values[0], values[1], values[2], std::int64_t(values[3]),
                  std::int64_t(values[4])};
    for (const QJsonValue page : object.value(QStringLiteral("pages")).toArray()) {
        if (!page.isDouble() || page.toInt() < 1)
            return std::nullopt;
        drag.pages.append(page.toInt());
    }
    if (drag.file.isEmpty() || drag.pages.isEmpty())
        return std::nullopt;
    return drag;
}

} // namespace tessary
