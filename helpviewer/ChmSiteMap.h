#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tessary {

// The entries of a help file's table of contents (.hhc) or index (.hhk): HTML lists of
// <OBJECT type="text/sitemap"> items with Name and Local parameters, nested by <UL>.
class ChmSiteMap
{
public:
    struct Entry
    {
        QString name;
        QStringList locals; // the pages the entry leads to, in order
        QList<Entry> children;
    };

    static QList<Entry> parse(const QString& html);
};

} // namespace tessary
