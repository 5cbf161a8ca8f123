#include "QtFileDialogService.h"

#include "HiddenFiles.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHash>
#include <QPointer>
#include <QRegularExpression>
#include <QSortFilterProxyModel>

namespace tessary {

namespace {

// Leaves out of the dialog's list the files a folder's ".hidden" file names, as the
// desktop's file managers and the program's own file list do (the dialog itself leaves
// out only names that start with a dot).
class HiddenFilesFilter : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        const QModelIndex index = sourceModel()->index(row, 0, parent);
        const QFileInfo file(index.data(QFileSystemModel::FilePathRole).toString());
        if (file.fileName().isEmpty() || file.isDir())
            return true;
        const QString folder = file.absolutePath();
        auto listed = m_listed.find(folder);
        if (listed == m_listed.end())
            listed = m_listed.insert(folder, HiddenFiles::listedIn(folder));
        return !listed->contains(file.fileName());
    }

private:
    mutable QHash<QString, QSet<QString>> m_listed;
};

} // namespace

QString QtFileDialogService::caseless(const QString& nameFilter)
{
    static const QRegularExpression patterns(QStringLiteral("^(.*)\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch match = patterns.match(nameFilter);
    if (!match.hasMatch())
        return nameFilter;
    QStringList converted;
    for (const QString& pattern : match.captured(2).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        QString out;
        for (const QChar c : pattern) {
            if (c.isLetter() && c.toLower() != c.toUpper())
                out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
            else
                out += c;
        }
        converted.append(out);
    }
    return match.captured(1) + QLatin1Char('(') + converted.join(QLatin1Char(' ')) +
           QLatin1Char(')');
}

std::optional<QString> QtFileDialogService::choose(QWidget* owner, const Request& request)
{
    QPointer<QFileDialog> dialog = new QFileDialog(owner ? owner : QApplication::activeWindow(),
                                                   request.caption, request.folder);
    QStringList filters;
    for (const QString& filter : request.nameFilters)
        filters.append(caseless(filter));
    if (!filters.isEmpty()) {
        dialog->setNameFilters(filters);
        // The patterns themselves are shown by their descriptions only ("TIFF Image").
        dialog->setOption(QFileDialog::HideNameFilterDetails);
    }
    if (request.mode == Mode::Open) {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        // Replacing an existing file is confirmed by the dialog (Qt asks by default);
        // a name typed without an extension gets the one of the first pattern.
        static const QRegularExpression extension(QStringLiteral("\\(\\*\\.(\\w+)"));
        if (!request.nameFilters.isEmpty()) {
            const QRegularExpressionMatch match = extension.match(request.nameFilters.first());
            if (match.hasMatch())
                dialog->setDefaultSuffix(match.captured(1));
        }
    }
    dialog->setProxyModel(new HiddenFilesFilter(dialog));
    dialog->setWindowModality(Qt::ApplicationModal);
    const int result = dialog->exec();
    std::optional<QString> chosen;
    if (dialog && result == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
        chosen = QDir::toNativeSeparators(dialog->selectedFiles().first());
    delete dialog;
    return chosen;
}

} // namespace tessary
