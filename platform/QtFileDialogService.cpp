#include "QtFileDialogService.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QPointer>
#include <QRegularExpression>

namespace tessary {

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
    dialog->setWindowModality(Qt::ApplicationModal);
    const int result = dialog->exec();
    std::optional<QString> chosen;
    if (dialog && result == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
        chosen = QDir::toNativeSeparators(dialog->selectedFiles().first());
    delete dialog;
    return chosen;
}

} // namespace tessary
