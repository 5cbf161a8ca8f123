#pragma once

#include "FolderChooser.h"

namespace tessary {

// The folder chooser shown with QFileDialog.
class QtFolderChooser : public FolderChooser
{
public:
    std::optional<QString> chooseFolder(QWidget* owner, const QString& title,
                                        const QString& start) override;
};

} // namespace tessary
