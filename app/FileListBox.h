#pragma once

#include <QListWidget>

class QFileSystemWatcher;

namespace tessary {

// A list of the files of one folder whose names match a pattern, like the platform's file
// list box: letter case is ignored in the match, hidden files (dot-files, names in the
// folder's ".hidden" file, the hidden attribute on Windows) and folders are left out, and
// the names are sorted without regard to letter case. The list follows its folder: files
// added, removed or renamed there show up without being asked for.
class FileListBox : public QListWidget
{
    Q_OBJECT

public:
    explicit FileListBox(QWidget* parent = nullptr);

    // The folder listed, with native separators; "" before one is set.
    QString path() const { return m_path; }
    // Lists folder (made absolute), with no entry selected. A folder that does not exist
    // lists nothing.
    void setPath(const QString& folder);
    QString pattern() const { return m_pattern; }
    void setPattern(const QString& pattern);
    // Reads the folder again. The selected entry stays selected while its file is there.
    void refresh();

    // The name of entry index; "" outside the list.
    QString entry(int index) const;

signals:
    // The user picked an entry: clicked one (also the one already selected) or moved the
    // selection with the keyboard. Selections made by the program do not count.
    void entryPicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void watch();

    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
    QFileSystemWatcher* m_watcher = nullptr;
};

} // namespace tessary
