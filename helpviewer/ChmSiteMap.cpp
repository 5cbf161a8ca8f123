#include "ChmSiteMap.h"

#include <QRegularExpression>

namespace tessary {

namespace {

QString attribute(const QString& attributes, const QString& name)
{
    const QRegularExpression pattern(
        QStringLiteral("\\b%1\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))").arg(name),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(attributes);
    if (!match.hasMatch())
        return QString();
    for (int group = 1; group <= 3; ++group) {
        if (match.capturedStart(group) >= 0)
            return match.captured(group);
    }
    return QString();
}

QString decodeEntities(QString text)
{
    static const QRegularExpression numeric(QStringLiteral("&#(x?)([0-9a-fA-F]+);"));
    QRegularExpressionMatch match;
    qsizetype from = 0;
    while ((match = numeric.match(text, from)).hasMatch()) {
        bool ok = false;
        const uint code = match.captured(2).toUInt(&ok, match.captured(1).isEmpty() ? 10 : 16);
        const char32_t character = ok && code <= 0x10FFFF ? char32_t(code) : 0;
        const QString replacement = character ? QString::fromUcs4(&character, 1) : QString();
        text.replace(match.capturedStart(), match.capturedLength(), replacement);
        from = match.capturedStart() + replacement.size();
    }
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&nbsp;"), QLatin1String(" "));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

} // namespace

QList<ChmSiteMap::Entry> ChmSiteMap::parse(const QString& html)
{
    static const QRegularExpression tag(QStringLiteral("<\\s*(/?)\\s*([a-zA-Z]+)([^>]*)>"));

    QList<Entry> top;
    // The lists being filled, innermost last; nested lists hang below the last entry.
    QList<QList<Entry>*> lists{&top};
    bool inObject = false;
    Entry current;
    for (QRegularExpressionMatchIterator it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const bool closing = !match.captured(1).isEmpty();
        const QString name = match.captured(2).toLower();
        const QString attributes = match.captured(3);
        if (name == QLatin1String("ul")) {
            if (!closing) {
                QList<Entry>* list = lists.last();
                // A nested list without an entry to hang from stays at the same level.
                lists.append(list->isEmpty() ? list : &list->last().children);
            } else if (lists.size() > 1) {
                lists.removeLast();
            }
        } else if (name == QLatin1String("object")) {
            if (!closing &&
                attribute(attributes, QStringLiteral("type"))
                        .compare(QLatin1String("text/sitemap"), Qt::CaseInsensitive) == 0) {
                inObject = true;
                current = Entry();
            } else if (closing && inObject) {
                inObject = false;
                if (!current.name.isEmpty() || !current.locals.isEmpty())
                    lists.last()->append(current);
            }
        } else if (name == QLatin1String("param") && inObject) {
            const QString param = attribute(attributes, QStringLiteral("name")).toLower();
            const QString value = decodeEntities(attribute(attributes, QStringLiteral("value")));
            if (param == QLatin1String("name") && current.name.isEmpty())
                current.name = value;
            else if (param == QLatin1String("local") && !value.isEmpty())
                current.locals.append(value);
        }
    }
    return top;
}

} // namespace tessary
