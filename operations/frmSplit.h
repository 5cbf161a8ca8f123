#pragma once

#include "BatchDialog.h"

class QDoubleSpinBox;
class QRadioButton;
class QSpinBox;

namespace tessary {

// "Split into Files...": a batch of documents scanned in one go, split into one new file per
// document, every so many pages or at the blank separator sheets (which are left out). The
// files are named by a pattern whose %d or %03d stands for the document's number.
class frmSplit : public BatchDialog
{
    Q_OBJECT

public:
    // Modal over the main window; the file starts as the source pane's file.
    explicit frmSplit(Tessary& window);

    QLineEdit* txtFile = nullptr;
    QRadioButton* optEvery = nullptr;
    QSpinBox* spnEvery = nullptr;
    QRadioButton* optBlank = nullptr;
    QDoubleSpinBox* spnThreshold = nullptr;
    QLineEdit* txtNames = nullptr;

protected:
    void cmdOK_Click() override;
};

} // namespace tessary
