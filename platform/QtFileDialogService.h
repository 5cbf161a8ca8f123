#pragma once

#include "FileDialogService.h"

namespace tessary {

// File dialogs shown with QFileDialog. Name patterns match without regard to letter case
// on every platform, so that scan.TIF is offered beside scan.tif.
class QtFileDialogService : public FileDialogService
{
public:
    std::optional<QString> choose(QWidget* owner, const Request& request) override;

    // The filter as the dialog is given it: each pattern made to ignore letter case
    // ("*.tif" becomes "*.[tT][iI][fF]").
    static QString caseless(const QString& nameFilter);
};

} // namespace tessary
