#pragma once

#include "ChmFile.h"

#include <QHash>
#include <QWidget>
#include <memory>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace tessary {

class HelpBrowser;

// The help window of one window type of a compiled help file: Contents, Index and Search
// tabs beside the page. With an owner it stays above the owner.
class HelpWindow : public QWidget
{
    Q_OBJECT

public:
    HelpWindow(std::shared_ptr<ChmFile> file, const ChmWindowType& type, QWidget* owner);

    const ChmFile& file() const { return *m_file; }
    // Shows a page of the file ("settings.html", "page.htm#part"); false when the file has no
    // such page.
    bool showTopic(const QString& path);
    // Shows the window type's default page unless a page is shown already.
    void showStartTopic();
    void showContents();
    void showIndex(const QString& keyword = QString());
    void showSearch(const QString& query, bool execute);
    QString currentTopic() const;
    // The index this window shows.
    QString indexFile() const { return m_type.indexFile; }
    void setOwner(QWidget* owner);

private:
    void buildContents();
    void buildIndex();
    void runSearch();
    void selectIndexEntry(const QString& text);
    void openIndexItem(QListWidgetItem* item);
    void syncContents(const QUrl& shown);
    QString topicTitle(const QString& path, const QString& html) const;

    std::shared_ptr<ChmFile> m_file;
    ChmWindowType m_type;
    QTabWidget* m_tabs;
    QTreeWidget* m_contents = nullptr;
    QLineEdit* m_indexFilter = nullptr;
    QListWidget* m_index = nullptr;
    QLineEdit* m_searchText = nullptr;
    QPushButton* m_searchButton = nullptr;
    QListWidget* m_searchResults = nullptr;
    HelpBrowser* m_browser;
    QHash<QString, QString> m_contentsTitles; // page (lower case) -> title in the contents
};

} // namespace tessary
