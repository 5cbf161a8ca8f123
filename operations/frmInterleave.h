#pragma once

#include "BatchDialog.h"

class QCheckBox;

namespace tessary {

// "Interleave Two-Sided Scan...": the fronts and the backs of a document scanned on a
// feeder that scans one side only, made into one new file of front 1, back 1, front 2, ...
class frmInterleave : public BatchDialog
{
    Q_OBJECT

public:
    // Modal over the main window; the fronts start as the source pane's file.
    explicit frmInterleave(Tessary& window);

    QLineEdit* txtFronts = nullptr;
    QLineEdit* txtBacks = nullptr;
    QCheckBox* chkReversed = nullptr;
    QCheckBox* chkUneven = nullptr;
    QLineEdit* txtResult = nullptr;

protected:
    void cmdOK_Click() override;
};

} // namespace tessary
