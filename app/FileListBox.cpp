#include "FileListBox.h"

#include "HiddenFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace tessary {

FileListBox::FileListBox(QWidget* parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void FileListBox::setPath(const QString& folder)
{
    m_path = QDir::toNativeSeparators(QDir(folder).absolutePath());
    refresh();
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
}

} // namespace tessary
