#pragma once

#include <QTextBrowser>
#include <memory>

namespace tessary {

class ChmFile;

// Shows the pages of a compiled help file: links and images inside the file are read from
// it; links to the web and to mail open in the desktop's own programs.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    explicit HelpBrowser(std::shared_ptr<ChmFile> file, QWidget* parent = nullptr);

    // The address of a page inside the help file ("settings.html", "sub/page.htm#part").
    static QUrl topicUrl(const QString& path);
    // The page inside the help file that an address names, without its fragment.
    static QString topicPath(const QUrl& url);

    QVariant loadResource(int type, const QUrl& name) override;

protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

private:
    std::shared_ptr<ChmFile> m_file;
};

} // namespace tessary
