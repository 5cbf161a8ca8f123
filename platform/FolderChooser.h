#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace tessary {

// The folder chooser. Tests replace the real one with a scripted one.
class FolderChooser
{
public:
    virtual ~FolderChooser() = default;

    // Shows a modal folder chooser over owner, titled title and opened at start (a start
    // folder that does not exist opens it at its usual place). Returns the folder chosen,
    // with native separators, or nothing when the user cancelled or chose nothing that is
    // a folder on disk.
    virtual std::optional<QString> chooseFolder(QWidget* owner, const QString& title,
                                                const QString& start) = 0;
};

} // namespace tessary
