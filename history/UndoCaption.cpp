#include "UndoCaption.h"

#include <QFileInfo>

namespace tessary::UndoCaption {

namespace {

QString nameOf(const QString& path)
{
    return QFileInfo(path).fileName();
}

} // namespace

QString deletePage(std::int32_t page, const QString& file)
{
    return QStringLiteral("Delete Page %1 of %2").arg(QString::number(page), nameOf(file));
}

QString deletePages(const QList<std::int32_t>& pages, const QString& file)
{
    if (pages.size() == 1)
        return deletePage(pages.first(), file);
    return QStringLiteral("Delete %1 Pages of %2").arg(QString::number(pages.size()), nameOf(file));
}

QString arrange(bool copy, std::int32_t first, std::int32_t count, const QString& file)
{
    const QString pages =
        count == 1 ? QStringLiteral("Page %1").arg(first) : QStringLiteral("%1 Pages").arg(count);
    return QStringLiteral("%1 %2 of %3")
        .arg(copy ? QStringLiteral("Copy") : QStringLiteral("Move"), pages, nameOf(file));
}

QString bring(bool move, std::int32_t first, std::int32_t count, const QString& source,
              const QString& destination)
{
    return QStringLiteral("%1 to %2")
        .arg(arrange(!move, first, count, source), nameOf(destination));
}

QString transfer(Transfer kind, std::int32_t first, std::int32_t count, const QString& source,
                 const QString& destination)
{
    const QString pages =
        count == 1 ? QStringLiteral("Page %1 of %2").arg(QString::number(first), nameOf(source))
                   : QStringLiteral("%1 Pages").arg(QString::number(count));
    const QString into = nameOf(destination);
    switch (kind) {
    case Transfer::Append:
        return QStringLiteral("Append %1 to %2").arg(pages, into);
    case Transfer::Insert:
        return QStringLiteral("Insert %1 into %2").arg(pages, into);
    case Transfer::Replace:
        return QStringLiteral("Replace with %1 in %2").arg(pages, into);
    case Transfer::NewFile:
        return QStringLiteral("Extract %1 to %2").arg(pages, into);
    case Transfer::Move:
        break;
    }
    return QStringLiteral("Move %1 to %2").arg(pages, into);
}

QString rotate(std::int32_t first, std::int32_t count, const QString& file)
{
    if (count == 1)
        return QStringLiteral("Rotate Page %1 of %2").arg(QString::number(first), nameOf(file));
    return QStringLiteral("Rotate Pages %1 to %2 of %3")
        .arg(QString::number(first), QString::number(first + count - 1), nameOf(file));
}

QString reorder(bool copy, std::int32_t page, std::int32_t before, const QString& file)
{
    return QStringLiteral("%1 Page %2 of %3 before Page %4")
        .arg(copy ? QStringLiteral("Copy") : QStringLiteral("Move"), QString::number(page),
             nameOf(file), QString::number(before));
}

} // namespace tessary::UndoCaption
