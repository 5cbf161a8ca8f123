#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tessary {

class Tessary;

// "Reorder Pages": moves page P of the destination file before its page I, or with
// "Copy Page?" puts a copy of it there. A failed check or a No leaves it open; a done
// reorder closes it.
class frmReorder : public QDialog
{
    Q_OBJECT

public:
    // Modal over the main window; Form_Load has run. Without a destination it has said so
    // and closed, and exec() returns at once.
    explicit frmReorder(Tessary& window);

    int exec() override;

    QLabel* lblTitle = nullptr;
    QLineEdit* txtPage = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtInsert = nullptr;
    QCheckBox* chkCopy = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    static inline const QString noDestinationText =
        QStringLiteral("You must choose a Destination image.");
    static inline const QString invalidChoicesText =
        QStringLiteral("Invalid choices, you must select a page from 1 to ");
    static inline const QString samePageText =
        QStringLiteral("You cannot reorder the same page within the file.");
    static inline const QString reorderQuestion =
        QStringLiteral("Do you really wish to reorder these pages?");

public slots:
    void Form_Load();
    void cmdOK_Click();
    void cmdCancel_Click();

private:
    Tessary& m_window;
    bool m_unloaded = false;
};

} // namespace tessary
