#include "PortableHtmlHelp.h"

#include "ChmFile.h"
#include "HelpBrowser.h"
#include "HelpPopup.h"
#include "HelpWindow.h"
#include "MessageBoxService.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace tessary {

namespace {

QString textOf(const char* text)
{
    return text ? QString::fromLocal8Bit(text) : QString();
}

// True when the file holds a readable page at this address.
bool hasTopic(const ChmFile& file, const QString& topic)
{
    return file.read(HelpBrowser::topicUrl(topic).path()).has_value();
}

QStringList names(const char* list)
{
    QStringList result;
    for (const QString& name : textOf(list).split(QLatin1Char(';'))) {
        if (!name.trimmed().isEmpty())
            result.append(name.trimmed());
    }
    return result;
}

// The text of topic `id` in a pop-up text file: ".topic N" lines open each topic.
QString popupTopic(const QString& source, quint32 id)
{
    static const QRegularExpression heading(QStringLiteral("^\\.topic\\s+(\\S+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    QStringList lines;
    bool inTopic = false;
    for (const QString& line : source.split(QRegularExpression(QStringLiteral("\\r?\\n")))) {
        const QRegularExpressionMatch match = heading.match(line);
        if (match.hasMatch()) {
            if (inTopic)
                break;
            bool ok = false;
            inTopic = match.captured(1).toUInt(&ok) == id && ok;
            continue;
        }
        if (inTopic)
            lines.append(line);
    }
    return lines.join(QLatin1Char('\n')).trimmed();
}

} // namespace

PortableHtmlHelp::PortableHtmlHelp(MessageBoxService& boxes)
    : m_boxes(boxes)
{}

PortableHtmlHelp::~PortableHtmlHelp()
{
    for (const QPointer<HelpPopup>& popup : std::as_const(m_popups))
        delete popup.data();
    for (const QPointer<HelpWindow>& window : std::as_const(m_windows))
        delete window.data();
}

QList<HelpWindow*> PortableHtmlHelp::windows() const
{
    QList<HelpWindow*> result;
    for (const QPointer<HelpWindow>& window : m_windows) {
        if (window)
            result.append(window);
    }
    return result;
}

QList<HelpPopup*> PortableHtmlHelp::popups() const
{
    QList<HelpPopup*> result;
    for (const QPointer<HelpPopup>& popup : m_popups) {
        if (popup)
            result.append(popup);
    }
    return result;
}

PortableHtmlHelp::Target PortableHtmlHelp::parseTarget(const QString& text)
{
    Target target;
    QString rest = text;
    const qsizetype window = rest.lastIndexOf(QLatin1Char('>'));
    if (window >= 0) {
        target.window = rest.mid(window + 1);
        rest.truncate(window);
    }
    const qsizetype inFile = rest.indexOf(QLatin1String("::"));
    if (inFile >= 0) {
        target.topic = rest.mid(inFile + 2);
        rest.truncate(inFile);
    }
    target.file = rest;
    return target;
}

std::shared_ptr<ChmFile> PortableHtmlHelp::openFile(QWidget* owner, const QString& path)
{
    // Windows showing the same file share one reader.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty())
        return nullptr;
    if (std::shared_ptr<ChmFile> open = m_files.value(canonical).lock())
        return open;
    std::shared_ptr<ChmFile> file = ChmFile::open(canonical);
    if (!file) {
        m_boxes.show(
            owner,
            QStringLiteral("Cannot open the file: %1").arg(QDir::toNativeSeparators(canonical)),
            QStringLiteral("HTML Help"), MsgButtons::Ok, MsgIcon::Exclamation);
        return nullptr;
    }
    m_files.insert(canonical, file);
    return file;
}

HelpWindow* PortableHtmlHelp::window(const std::shared_ptr<ChmFile>& file, const QString& name,
                                     QWidget* owner)
{
    const QString typeName = name.isEmpty() ? file->defaultWindow() : name;
    const QString key = file->path() + QLatin1Char('>') + typeName.toLower();
    QPointer<HelpWindow>& window = m_windows[key];
    if (!window) {
        ChmWindowType type = file->windowType(typeName).value_or(ChmWindowType());
        type.name = typeName;
        window = new HelpWindow(file, type, owner);
    } else {
        window->setOwner(owner);
    }
    return window;
}

quintptr PortableHtmlHelp::present(HelpWindow* window)
{
    window->showStartTopic();
    window->show();
    window->raise();
    window->activateWindow();
    return quintptr(window->winId());
}

quintptr PortableHtmlHelp::run(QWidget* owner, const char* targetText, quint32 command,
                               const HtmlHelpData& data)
{
    if (command == HH_CLOSE_ALL) {
        closeAll();
        return 0;
    }
    const Target target = parseTarget(textOf(targetText));
    if (command == HH_DISPLAY_TEXT_POPUP) {
        const auto* record = std::get_if<const HH_POPUP*>(&data);
        return record && *record ? popup(owner, target, **record) : 0;
    }

    const std::shared_ptr<ChmFile> file = openFile(owner, target.file);
    if (!file)
        return 0;
    switch (command) {
    case HH_DISPLAY_TOPIC: {
        QString topic = target.topic;
        if (const auto* text = std::get_if<const char*>(&data); text && *text)
            topic = textOf(*text);
        if (!topic.isEmpty() && !hasTopic(*file, topic))
            return 0;
        HelpWindow* shown = window(file, target.window, owner);
        if (!topic.isEmpty())
            shown->showTopic(topic);
        return present(shown);
    }
    case HH_DISPLAY_TOC: {
        HelpWindow* shown = window(file, target.window, owner);
        shown->showContents();
        return present(shown);
    }
    case HH_DISPLAY_INDEX: {
        HelpWindow* shown = window(file, target.window, owner);
        const auto* keyword = std::get_if<const char*>(&data);
        shown->showIndex(keyword ? textOf(*keyword) : QString());
        return present(shown);
    }
    case HH_DISPLAY_SEARCH: {
        HelpWindow* shown = window(file, target.window, owner);
        const auto* query = std::get_if<const HH_FTS_QUERY*>(&data);
        if (query && *query)
            shown->showSearch(textOf((*query)->pszSearchQuery), (*query)->fExecute != 0);
        else
            shown->showSearch(QString(), false);
        return present(shown);
    }
    case HH_HELP_CONTEXT: {
        const auto* number = std::get_if<qint32>(&data);
        const std::optional<QString> topic =
            number ? file->contextTopic(quint32(*number)) : std::nullopt;
        if (!topic || !hasTopic(*file, *topic))
            return 0;
        HelpWindow* shown = window(file, target.window, owner);
        shown->showTopic(*topic);
        return present(shown);
    }
    case HH_KEYWORD_LOOKUP:
    case HH_ALINK_LOOKUP: {
        const auto* link = std::get_if<const HH_AKLINK*>(&data);
        if (!link || !*link)
            return 0;
        return lookup(owner, target, **link, command == HH_KEYWORD_LOOKUP);
    }
    default:
        return 0;
    }
}

quintptr PortableHtmlHelp::lookup(QWidget* owner, const Target& target, const HH_AKLINK& link,
                                  bool keywords)
{
    const std::shared_ptr<ChmFile> file = openFile(owner, target.file);
    if (!file)
        return 0;
    const QString windowName = link.pszWindow ? textOf(link.pszWindow) : target.window;
    const QStringList wanted = names(link.pszKeywords);

    // A window is only opened when there is something to show in it.
    const QString typeName = windowName.isEmpty() ? file->defaultWindow() : windowName;
    QString indexFile = file->windowType(typeName).value_or(ChmWindowType()).indexFile;
    if (indexFile.isEmpty())
        indexFile = file->indexFile();
    const QStringList topics =
        keywords ? file->keywordTopics(indexFile, wanted) : file->associativeLinkTopics(wanted);

    // Not found: the default topic, else the message, else the index when asked for.
    QString topic = topics.value(0);
    if (topic.isEmpty() && link.pszUrl)
        topic = textOf(link.pszUrl);
    if (!topic.isEmpty() && hasTopic(*file, topic)) {
        HelpWindow* shown = window(file, windowName, owner);
        shown->showTopic(topic);
        return present(shown);
    }
    if (link.fIndexOnFail) {
        HelpWindow* shown = window(file, windowName, owner);
        shown->showIndex(wanted.value(0));
        return present(shown);
    }
    if (link.pszMsgText) {
        const QString title = link.pszMsgTitle ? textOf(link.pszMsgTitle) : file->title();
        m_boxes.show(owner, textOf(link.pszMsgText), title, MsgButtons::Ok, MsgIcon::None);
    }
    return 0;
}

quintptr PortableHtmlHelp::popup(QWidget* owner, const Target& target, const HH_POPUP& record)
{
    QString text = textOf(record.pszText);
    if (!record.pszText) {
        if (target.file.isEmpty() || target.topic.isEmpty())
            return 0;
        const std::shared_ptr<ChmFile> file = openFile(owner, target.file);
        const std::optional<QByteArray> source = file ? file->read(target.topic) : std::nullopt;
        if (!source)
            return 0;
        text = popupTopic(QString::fromLocal8Bit(*source), record.idString);
    }
    if (text.isEmpty())
        return 0;
    auto* shown = new HelpPopup(text, textOf(record.pszFont), record.clrForeground,
                                record.clrBackground, record.rcMargins.left, owner);
    m_popups.removeAll(nullptr);
    m_popups.append(shown);
    shown->showAt(QPoint(record.pt.x, record.pt.y));
    return quintptr(shown->winId());
}

void PortableHtmlHelp::closeAll()
{
    for (const QPointer<HelpPopup>& popup : std::as_const(m_popups)) {
        if (popup)
            popup->close();
    }
    m_popups.clear();
    for (const QPointer<HelpWindow>& window : std::as_const(m_windows)) {
        if (window)
            window->close();
    }
    m_windows.clear();
}

} // namespace tessary
