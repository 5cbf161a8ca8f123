#include "HelpWindow.h"

#include "ChmSiteMap.h"
#include "HelpBrowser.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QStringDecoder>
#include <QTabWidget>
#include <QTextDocumentFragment>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tessary {

namespace {

constexpr int TopicsRole = Qt::UserRole;

QString decoded(const QByteArray& data)
{
    QStringDecoder decoder(
        QStringConverter::encodingForHtml(data).value_or(QStringConverter::Latin1));
    return decoder.decode(data);
}

QString normalised(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const qsizetype inFile = path.indexOf(QLatin1String("::"));
    if (inFile >= 0)
        path = path.mid(inFile + 2);
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    const qsizetype hash = path.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        path.truncate(hash);
    return path.toLower();
}

void addContents(QTreeWidgetItem* parent, QTreeWidget* tree,
                 const QList<ChmSiteMap::Entry>& entries, QHash<QString, QString>& titles)
{
    for (const ChmSiteMap::Entry& entry : entries) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, entry.name);
        item->setData(0, TopicsRole, entry.locals);
        for (const QString& local : entry.locals)
            titles.insert(normalised(local), entry.name);
        addContents(item, tree, entry.children, titles);
    }
}

void addIndex(QListWidget* list, const QList<ChmSiteMap::Entry>& entries, int depth)
{
    for (const ChmSiteMap::Entry& entry : entries) {
        auto* item = new QListWidgetItem(QString(depth * 4, QLatin1Char(' ')) + entry.name, list);
        item->setData(TopicsRole, entry.locals);
        addIndex(list, entry.children, depth + 1);
    }
}

QList<ChmSiteMap::Entry> siteMap(const ChmFile& file, const QString& name)
{
    if (name.isEmpty())
        return {};
    const std::optional<QByteArray> data = file.read(name);
    return data ? ChmSiteMap::parse(decoded(*data)) : QList<ChmSiteMap::Entry>();
}

} // namespace

HelpWindow::HelpWindow(std::shared_ptr<ChmFile> file, const ChmWindowType& type, QWidget* owner)
    : QWidget(owner, Qt::Window)
    , m_file(std::move(file))
    , m_type(type)
    , m_tabs(new QTabWidget(this))
    , m_browser(new HelpBrowser(m_file, this))
{
    setObjectName(QStringLiteral("helpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    if (m_type.contentsFile.isEmpty())
        m_type.contentsFile = m_file->contentsFile();
    if (m_type.indexFile.isEmpty())
        m_type.indexFile = m_file->indexFile();
    if (m_type.defaultTopic.isEmpty())
        m_type.defaultTopic = m_file->defaultTopic();
    setWindowTitle(!m_type.title.isEmpty()      ? m_type.title
                   : !m_file->title().isEmpty() ? m_file->title()
                                                : QStringLiteral("HTML Help"));
    m_browser->setObjectName(QStringLiteral("topic"));
    m_tabs->setObjectName(QStringLiteral("navigation"));

    auto* toolBar = new QToolBar(this);
    QAction* back = toolBar->addAction(tr("Back"), m_browser, &QTextBrowser::backward);
    QAction* forward = toolBar->addAction(tr("Forward"), m_browser, &QTextBrowser::forward);
    toolBar->addAction(tr("Home"), this, [this] {
        showTopic(m_type.homeTopic.isEmpty() ? m_type.defaultTopic : m_type.homeTopic);
    });
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, &HelpWindow::syncContents);

    buildContents();
    buildIndex();
    const bool searchable = (m_type.properties & ChmWindowType::SearchTab) ||
                            (m_type.name.isEmpty() && m_file->hasFullTextIndex());
    if (searchable) {
        auto* page = new QWidget;
        auto* layout = new QVBoxLayout(page);
        auto* row = new QHBoxLayout;
        m_searchText = new QLineEdit(page);
        m_searchText->setObjectName(QStringLiteral("searchText"));
        m_searchButton = new QPushButton(tr("List Topics"), page);
        m_searchButton->setObjectName(QStringLiteral("searchButton"));
        row->addWidget(m_searchText);
        row->addWidget(m_searchButton);
        m_searchResults = new QListWidget(page);
        m_searchResults->setObjectName(QStringLiteral("searchResults"));
        layout->addLayout(row);
        layout->addWidget(m_searchResults);
        m_tabs->addTab(page, tr("Search"));
        connect(m_searchButton, &QPushButton::clicked, this, &HelpWindow::runSearch);
        connect(m_searchText, &QLineEdit::returnPressed, this, &HelpWindow::runSearch);
        connect(m_searchResults, &QListWidget::itemActivated, this, &HelpWindow::openIndexItem);
        connect(m_searchResults, &QListWidget::itemClicked, this, &HelpWindow::openIndexItem);
    }
    if (m_type.navigationTab >= 0 && m_type.navigationTab < m_tabs->count())
        m_tabs->setCurrentIndex(m_type.navigationTab);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(m_tabs);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 3);
    m_tabs->setVisible(m_tabs->count() > 0);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(toolBar);
    layout->addWidget(splitter);

    if (m_type.geometry.isValid())
        setGeometry(m_type.geometry);
    else
        resize(800, 600);
}

void HelpWindow::buildContents()
{
    const QList<ChmSiteMap::Entry> entries = siteMap(*m_file, m_type.contentsFile);
    if (entries.isEmpty())
        return;
    m_contents = new QTreeWidget;
    m_contents->setObjectName(QStringLiteral("contents"));
    m_contents->setHeaderHidden(true);
    addContents(nullptr, m_contents, entries, m_contentsTitles);
    m_contents->expandAll();
    m_tabs->addTab(m_contents, tr("Contents"));
    const auto open = [this](QTreeWidgetItem* item) {
        const QStringList topics = item->data(0, TopicsRole).toStringList();
        if (!topics.isEmpty())
            showTopic(topics.first());
    };
    connect(m_contents, &QTreeWidget::itemActivated, this, open);
    connect(m_contents, &QTreeWidget::itemClicked, this, open);
}

void HelpWindow::buildIndex()
{
    const QList<ChmSiteMap::Entry> entries = siteMap(*m_file, m_type.indexFile);
    if (entries.isEmpty())
        return;
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    m_indexFilter = new QLineEdit(page);
    m_indexFilter->setObjectName(QStringLiteral("indexFilter"));
    m_index = new QListWidget(page);
    m_index->setObjectName(QStringLiteral("index"));
    addIndex(m_index, entries, 0);
    layout->addWidget(m_indexFilter);
    layout->addWidget(m_index);
    m_tabs->addTab(page, tr("Index"));
    connect(m_indexFilter, &QLineEdit::textEdited, this, &HelpWindow::selectIndexEntry);
    connect(m_indexFilter, &QLineEdit::returnPressed, this,
            [this] { openIndexItem(m_index->currentItem()); });
    connect(m_index, &QListWidget::itemActivated, this, &HelpWindow::openIndexItem);
}

bool HelpWindow::showTopic(const QString& path)
{
    const QUrl url = HelpBrowser::topicUrl(path);
    if (path.isEmpty() || !m_file->read(url.path()))
        return false;
    m_browser->setSource(url);
    return true;
}

void HelpWindow::showStartTopic()
{
    if (!m_browser->source().isEmpty())
        return;
    if (showTopic(m_type.defaultTopic) || showTopic(m_type.homeTopic))
        return;
    if (!m_file->topics().isEmpty())
        showTopic(m_file->topics().first());
}

void HelpWindow::showContents()
{
    if (m_contents)
        m_tabs->setCurrentWidget(m_contents);
}

void HelpWindow::showIndex(const QString& keyword)
{
    if (!m_index)
        return;
    m_tabs->setCurrentWidget(m_index->parentWidget());
    if (!keyword.isEmpty()) {
        m_indexFilter->setText(keyword);
        selectIndexEntry(keyword);
    }
    m_indexFilter->setFocus();
}

void HelpWindow::showSearch(const QString& query, bool execute)
{
    if (!m_searchText)
        return;
    m_tabs->setCurrentWidget(m_searchText->parentWidget());
    m_searchText->setText(query);
    m_searchText->setFocus();
    if (execute && !query.trimmed().isEmpty())
        runSearch();
}

QString HelpWindow::currentTopic() const
{
    return HelpBrowser::topicPath(m_browser->source());
}

void HelpWindow::selectIndexEntry(const QString& text)
{
    const QString wanted = text.trimmed();
    for (int row = 0; row < m_index->count(); ++row) {
        if (m_index->item(row)->text().trimmed().startsWith(wanted, Qt::CaseInsensitive)) {
            m_index->setCurrentRow(row);
            m_index->scrollToItem(m_index->item(row));
            return;
        }
    }
}

void HelpWindow::openIndexItem(QListWidgetItem* item)
{
    if (!item)
        return;
    const QStringList topics = item->data(TopicsRole).toStringList();
    if (!topics.isEmpty())
        showTopic(topics.first());
}

void HelpWindow::runSearch()
{
    m_searchResults->clear();
    const QStringList words =
        m_searchText->text().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return;
    for (const QString& topic : m_file->topics()) {
        const std::optional<QByteArray> data = m_file->read(topic);
        if (!data)
            continue;
        const QString html = decoded(*data);
        const QString text = QTextDocumentFragment::fromHtml(html).toPlainText();
        bool all = true;
        for (const QString& word : words)
            all = all && text.contains(word, Qt::CaseInsensitive);
        if (!all)
            continue;
        auto* item = new QListWidgetItem(topicTitle(topic, html), m_searchResults);
        item->setData(TopicsRole, QStringList{topic});
    }
    if (m_searchResults->count() == 0)
        new QListWidgetItem(tr("No topics found."), m_searchResults);
}

QString HelpWindow::topicTitle(const QString& path, const QString& html) const
{
    static const QRegularExpression title(QStringLiteral("<title[^>]*>([^<]*)</title>"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QString found = title.match(html).captured(1).simplified();
    if (!found.isEmpty())
        return found;
    return m_contentsTitles.value(normalised(path), path);
}

void HelpWindow::setOwner(QWidget* owner)
{
    if (parentWidget() == owner)
        return;
    const QRect placed = geometry();
    setParent(owner, Qt::Window);
    setGeometry(placed);
}

void HelpWindow::syncContents(const QUrl& shown)
{
    if (!m_contents)
        return;
    const QString current = normalised(HelpBrowser::topicPath(shown));
    for (QTreeWidgetItemIterator it(m_contents); *it; ++it) {
        for (const QString& local : (*it)->data(0, TopicsRole).toStringList()) {
            if (normalised(local) == current) {
                m_contents->setCurrentItem(*it);
                return;
            }
        }
    }
}

} // namespace tessary
