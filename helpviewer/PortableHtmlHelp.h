#pragma once

#include "HtmlHelpApi.h"

#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <memory>

class QWidget;

namespace tessary {

class ChmFile;
class HelpPopup;
class HelpWindow;
class MessageBoxService;

// The HTML Help control where the system has none: it reads compiled help files with
// chmlib and shows them in our own help windows, one per help file and window type, reused
// by later calls. Targets take the forms "file.chm", "file.chm>Window" and
// "file.chm::/page.htm".
class PortableHtmlHelp
{
public:
    explicit PortableHtmlHelp(MessageBoxService& boxes);
    ~PortableHtmlHelp();
    PortableHtmlHelp(const PortableHtmlHelp&) = delete;
    PortableHtmlHelp& operator=(const PortableHtmlHelp&) = delete;

    // Runs one command; returns the window's handle, 0 when nothing was shown.
    quintptr run(QWidget* owner, const char* target, quint32 command, const HtmlHelpData& data);

    // The open help windows and pop-ups.
    QList<HelpWindow*> windows() const;
    QList<HelpPopup*> popups() const;

private:
    struct Target
    {
        QString file;
        QString topic;
        QString window;
    };
    static Target parseTarget(const QString& target);
    // The reader of path, shared by the windows that show it; null when there is no such
    // file or it cannot be read (a damaged file is reported to the user over owner).
    std::shared_ptr<ChmFile> openFile(QWidget* owner, const QString& path);
    HelpWindow* window(const std::shared_ptr<ChmFile>& file, const QString& name, QWidget* owner);
    quintptr present(HelpWindow* window);
    quintptr lookup(QWidget* owner, const Target& target, const HH_AKLINK& link, bool keywords);
    quintptr popup(QWidget* owner, const Target& target, const HH_POPUP& record);
    void closeAll();

    MessageBoxService& m_boxes;
    QMap<QString, QPointer<HelpWindow>> m_windows;
    QList<QPointer<HelpPopup>> m_popups;
    QMap<QString, std::weak_ptr<ChmFile>> m_files;
};

} // namespace tessary
