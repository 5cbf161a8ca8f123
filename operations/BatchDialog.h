#pragma once

#include "PageEngine.h"

#include <QDialog>
#include <functional>

class QFormLayout;
class QLineEdit;
class QPushButton;

namespace tessary {

class Tessary;

// What the dialogs of the Tools menu share: rows of a file name and its Browse button, OK
// and Cancel, and the work of OK: one step of the undo history, shown while it runs and
// stoppable, whose result opens as the destination. A failure is said in a box and leaves
// the dialog open, every file as it was.
class BatchDialog : public QDialog
{
    Q_OBJECT

public:
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    BatchDialog(Tessary& window, const QString& title);

    // A row "label [name] [Browse...]" holding text; save: Browse chooses a new file's name.
    QLineEdit* fileRow(const QString& label, const QString& text, bool save);
    QFormLayout* form() const { return m_form; }
    // Adds OK (the default button, running cmdOK_Click) and Cancel below the rows.
    void addButtons();
    virtual void cmdOK_Click() = 0;

    // The file a box names, when it names an existing file; otherwise says so and gives "".
    QString existing(const QLineEdit* box);
    // The new file a box names, when it may be written: a name, not a working file of the
    // program, and an existing file only when the user agrees to replace it; otherwise "".
    QString newFile(const QLineEdit* box);
    // Whether the files may be written: each not a working file of the program, and the
    // existing ones only when the user agrees to replace them.
    bool mayWrite(const QStringList& paths);
    // Runs work, given the options that keep the undo step called caption, with label
    // shown meanwhile; then closes the dialog and shows opened as the destination. False,
    // said in a box, when it failed.
    bool run(const QString& caption, const QString& label, const QString& opened,
             const std::function<void(const OperationOptions& options)>& work);

    Tessary& m_window;

private:
    QFormLayout* m_form;
};

} // namespace tessary
