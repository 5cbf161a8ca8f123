#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tessary {

class Tessary;

// "Rotate Pages...": the first and last page of the destination file to turn, and which
// way. OK checks the numbers as the range dialog does, against the destination, asks for
// confirmation when prompting is on, turns the pages as one step to undo and closes; a
// failed check or a No leaves the dialog open.
class frmRotate : public QDialog
{
    Q_OBJECT

public:
    // Modal over the main window, proposing every page of the destination, turned right.
    explicit frmRotate(Tessary& window);

    QLabel* lblTitle = nullptr;
    QLineEdit* txtFrom = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtTo = nullptr;
    // Right (90° clockwise), Left (90° anticlockwise), 180°.
    std::array<QRadioButton*, 3> optTurn{};
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

public slots:
    void cmdOK_Click();

private:
    Tessary& m_window;
};

} // namespace tessary
