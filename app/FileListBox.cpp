#include "FileListBox.h"

#include "HiddenFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QKeyEvent>
#include <QRegularExpression>
#include <algorithm>

namespace tessary {

FileListBox::FileListBox(QWidget* parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &FileListBox::refresh);
    connect(this, &QListWidget::itemClicked, this, &FileListBox::entryPicked);
}

void FileListBox::setPath(const QString& folder)
{
    m_path = QDir::toNativeSeparators(QDir(folder).absolutePath());
    clear();
    watch();
    refresh();
}

void FileListBox::watch()
{
    if (const QStringList watched = m_watcher->directories(); !watched.isEmpty())
        m_watcher->removePaths(watched);
    // A folder that is not there cannot be watched; it lists nothing anyway.
    if (QFileInfo(m_path).isDir())
        m_watcher->addPath(m_path);
}

void FileListBox::keyPressEvent(QKeyEvent* event)
{
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before && currentRow() >= 0)
        emit entryPicked();
}

void FileListBox::setPattern(const QString& pattern)
{
    m_pattern = pattern;
    refresh();
}

QString FileListBox::entry(int index) const
{
    const QListWidgetItem* found = item(index);
    return found ? found->text() : QString();
}

void FileListBox::refresh()
{
    // Rebuilding the list is no choice of the user's: no signal of the selection leaves.
    const QSignalBlocker quiet(this);
    const QListWidgetItem* selected = currentItem();
    const QString kept = selected && selected->isSelected() ? selected->text() : QString();
    clear();
    if (m_path.isEmpty())
        return;
    const QDir folder(m_path);
    const QRegularExpression match =
        QRegularExpression::fromWildcard(m_pattern, Qt::CaseInsensitive);
    const QSet<QString> listedHidden = HiddenFiles::listedIn(m_path);
    QStringList names;
    // Without QDir::Hidden, dot-files (and on Windows files with the hidden attribute) are
    // left out already.
    for (const QFileInfo& info : folder.entryInfoList(QDir::Files | QDir::NoDotAndDotDot)) {
        const QString name = info.fileName();
        if (match.match(name).hasMatch() && !listedHidden.contains(name))
            names.append(name);
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int byLetters = a.compare(b, Qt::CaseInsensitive);
        return byLetters != 0 ? byLetters < 0 : a < b;
    });
    addItems(names);
    if (!kept.isEmpty()) {
        // Names that differ only in letter case are distinct files; the exact one is kept.
        const qsizetype row = names.indexOf(kept);
        if (row >= 0)
            setCurrentRow(int(row));
    }
}

} // namespace tessary
