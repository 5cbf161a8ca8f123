#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace tessary {

// The Open and Save file dialogs. Tests replace the real one with a scripted one.
class FileDialogService
{
public:
    enum class Mode
    {
        Open, // choose an existing file
        Save, // choose a name for a new file; an existing file is only taken after the
              // user agreed to replace it
    };

    struct Request
    {
        Mode mode = Mode::Open;
        QString caption;
        QString folder;          // where the dialog starts; "" for the current folder
        QStringList nameFilters; // Qt name filters, e.g. "TIFF Image (*.tif)"
    };

    virtual ~FileDialogService() = default;

    // Shows a modal dialog over owner and returns the full path chosen, or nothing when
    // the user cancelled.
    virtual std::optional<QString> choose(QWidget* owner, const Request& request) = 0;
};

} // namespace tessary
