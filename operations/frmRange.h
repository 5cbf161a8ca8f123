#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>
#include <utility>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tessary {

class Tessary;

// "Select Range...": the first and last source page of a range transfer. OK checks the
// numbers against the source and destination, asks for confirmation, transfers the range
// in the selected page mode (a new file in New File mode) and, with Move, removes it from
// the source; then the dialog closes. A failed check or a No leaves it open.
class frmRange : public QDialog
{
    Q_OBJECT

public:
    // Modal over the main window; Form_Load has run.
    explicit frmRange(Tessary& window);

    QLabel* lblTitle = nullptr;
    QLineEdit* txtFrom = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* txtTo = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    // Set at load: whether a page mode other than New File is selected, and its index
    // (1 Append, 2 Insert, 3 Replace).
    bool PageModeFound = false;
    std::int16_t PageModeIndex = 0;

    static inline const QString invalidRangeText =
        QStringLiteral("Invalid range selected, valid choices are between 1 and ");
    static inline const QString orderText =
        QStringLiteral("Invalid range selected, 'From' value is greater than the 'To value");
    static inline const QString maximumText =
        QStringLiteral("Invalid range selected, maximum is: ");
    static inline const QString moveAllText =
        QStringLiteral("You cannot move all the pages out of a file.");
    static inline const QString replaceFitText =
        QStringLiteral("You can only replace existing pages");

    // The range typed as from and to, checked against a file of pages pages as OK checks it:
    // both numbers, in order, within the file. The first check that fails says so in a box
    // and gives nothing; else the first and last page, rounded to whole pages.
    static std::optional<std::pair<std::int32_t, std::int32_t>>
    checkRange(Tessary& window, const QString& from, const QString& to, std::int32_t pages);

public slots:
    void Form_Load();
    void txtFrom_Change();
    void txtTo_Change();
    void cmdOK_Click();
    void cmdCancel_Click();

private:
    Tessary& m_window;
};

} // namespace tessary
