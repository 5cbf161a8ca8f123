#include "HelpBrowser.h"

#include "ChmFile.h"

#include <QDesktopServices>
#include <QStringConverter>
#include <QStringDecoder>

namespace tessary {

namespace {

const QString Scheme = QStringLiteral("chm");

QString decodeText(const QByteArray& data)
{
    const std::optional<QStringConverter::Encoding> encoding =
        QStringConverter::encodingForHtml(data);
    QStringDecoder decoder(encoding.value_or(QStringConverter::Latin1));
    return decoder.decode(data);
}

} // namespace

HelpBrowser::HelpBrowser(std::shared_ptr<ChmFile> file, QWidget* parent)
    : QTextBrowser(parent)
    , m_file(std::move(file))
{
    setOpenLinks(true);
    setOpenExternalLinks(false);
}

QUrl HelpBrowser::topicUrl(const QString& path)
{
    QString topic = path;
    // Addresses in the long form "file.chm::/page.htm" keep only the page.
    const qsizetype inFile = topic.indexOf(QLatin1String("::"));
    if (inFile >= 0)
        topic = topic.mid(inFile + 2);
    topic.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!topic.startsWith(QLatin1Char('/')))
        topic.prepend(QLatin1Char('/'));
    QUrl url;
    url.setScheme(Scheme);
    const qsizetype hash = topic.indexOf(QLatin1Char('#'));
    url.setPath(hash >= 0 ? topic.left(hash) : topic);
    if (hash >= 0)
        url.setFragment(topic.mid(hash + 1));
    return url;
}

QString HelpBrowser::topicPath(const QUrl& url)
{
    QString path = url.path();
    if (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    return path;
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name)
{
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    if (url.scheme() != Scheme)
        return QTextBrowser::loadResource(type, name);
    const std::optional<QByteArray> data = m_file->read(url.path());
    if (!data)
        return QVariant();
    if (type == QTextDocument::ImageResource)
        return *data;
    return decodeText(*data);
}

void HelpBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type)
{
    const QUrl url = name.isRelative() ? source().resolved(name) : name;
    const QString text = url.toString();
    if (url.scheme() != Scheme && text.contains(QLatin1String("::"))) {
        // ms-its: and mk:@MSITStore: addresses of pages in this file.
        QTextBrowser::doSetSource(topicUrl(text), type);
        return;
    }
    if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https") ||
        url.scheme() == QLatin1String("mailto") || url.scheme() == QLatin1String("ftp")) {
        QDesktopServices::openUrl(url);
        return;
    }
    QTextBrowser::doSetSource(url, type);
}

} // namespace tessary
