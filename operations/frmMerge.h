#pragma once

#include "BatchDialog.h"

class QListWidget;

namespace tessary {

// "Merge Files...": every page of every file listed, in the order listed, in one new file.
class frmMerge : public BatchDialog
{
    Q_OBJECT

public:
    // Modal over the main window; the list starts with the files the panes show.
    explicit frmMerge(Tessary& window);

    QListWidget* lstFiles = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdUp = nullptr;
    QPushButton* cmdDown = nullptr;
    QLineEdit* txtResult = nullptr;

protected:
    void cmdOK_Click() override;

private:
    void moveSelected(int by);
};

} // namespace tessary
