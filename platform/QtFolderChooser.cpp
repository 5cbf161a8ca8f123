#include "QtFolderChooser.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>

namespace tessary {

std::optional<QString> QtFolderChooser::chooseFolder(QWidget* owner, const QString& title,
                                                     const QString& start)
{
    // The static call owns its dialog for the length of the call and runs it modally.
    const QString chosen = QFileDialog::getExistingDirectory(
        owner ? owner : QApplication::activeWindow(), title, start, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(chosen);
}

} // namespace tessary
