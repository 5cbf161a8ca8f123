#include "QtFileDialogService.h"

#include "HiddenFiles.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QPointer>
#include <QRegularExpression>
#include <QTreeView>

namespace tessary {

namespace {

// Leaves out of the dialog's views the files a folder's ".hidden" file names, as the
// desktop's file managers and the program's own file list do (the dialog itself leaves out
// only names that start with a dot). The rows are hidden in the views, over the dialog's
// own model: a filtering model put between them is asked by the views and by screen
// readers for rows it no longer maps, and Qt does not survive that.
void hideListedFiles(QFileDialog& dialog)
{
    auto* model = dialog.findChild<QFileSystemModel*>();
    if (!model)
        return;
    const auto hide = [&dialog, model] {
        for (QAbstractItemView* view : dialog.findChildren<QAbstractItemView*>()) {
            const QModelIndex folder = view->rootIndex();
            if (view->model() != model || !folder.isValid())
                continue;
            // Each file found by its name, as the model keeps it, rather than by going through
            // rows that the model may be rebuilding.
            const QDir files(model->filePath(folder));
            for (const QString& name : HiddenFiles::listedIn(files.path())) {
                const QModelIndex file = model->index(files.filePath(name));
                if (!file.isValid() || file.parent() != folder || model->isDir(file))
                    continue;
                if (auto* tree = qobject_cast<QTreeView*>(view))
                    tree->setRowHidden(file.row(), folder, true);
                else if (auto* list = qobject_cast<QListView*>(view))
                    list->setRowHidden(file.row(), true);
            }
        }
    };
    // Again after each change of the folder or of its rows, once the views have taken it in.
    const auto later = Qt::QueuedConnection;
    QObject::connect(model, &QFileSystemModel::rootPathChanged, &dialog, hide, later);
    QObject::connect(model, &QFileSystemModel::directoryLoaded, &dialog, hide, later);
    QObject::connect(model, &QAbstractItemModel::rowsInserted, &dialog, hide, later);
    QObject::connect(model, &QAbstractItemModel::layoutChanged, &dialog, hide, later);
    QObject::connect(model, &QAbstractItemModel::modelReset, &dialog, hide, later);
    hide();
}

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
    hideListedFiles(*dialog);
    dialog->setWindowModality(Qt::ApplicationModal);
    const int result = dialog->exec();
    std::optional<QString> chosen;
    if (dialog && result == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
        chosen = QDir::toNativeSeparators(dialog->selectedFiles().first());
    delete dialog;
    return chosen;
}

} // namespace tessary
