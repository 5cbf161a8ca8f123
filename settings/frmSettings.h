#pragma once

#include "SettingsDialogServices.h"

#include <QDialog>
#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tessary {

// The settings dialog: the default source and destination folders, the default transfer
// mode and whether page operations ask first. It is made for one showing: the constructor
// runs Form_Load, which repairs a stored folder that is missing or gone (saying so) before
// the dialog is first drawn. Save stores all four values and applies the mode and the
// prompt flag to the main window; Cancel, after its question, and every other way of
// closing store nothing.
class frmSettings : public QDialog
{
    Q_OBJECT

public:
    // mainWindow owns the dialog; the dialog is modal to it.
    frmSettings(QWidget* mainWindow, SettingsDialogServices services);

    static inline const QString SourceRepairedText =
        QStringLiteral("Registry settings lost or Source Directory is invalid or no longer "
                       "exists, setting\r\n path to application's default directory");
    static inline const QString DestinationRepairedText =
        QStringLiteral("Registry settings lost or Destination Directory is invalid or no "
                       "longer exists, setting\r\n path to application's default directory");
    static inline const QString CancelQuestion =
        QStringLiteral("Do you really want to cancel without saving changes?");
    static inline const QString CancelCaption = QStringLiteral("Cancel");
    static inline const QString NotSavedText =
        QStringLiteral("The settings could not be saved. They apply until Tessary is closed.");

    QLabel* lblSrcDir = nullptr;
    QLineEdit* txtSrcDir = nullptr;
    QPushButton* cmdBrowseSrc = nullptr;
    QLabel* lblDesDir = nullptr;
    QLineEdit* txtDesDir = nullptr;
    QPushButton* cmdBrowseDes = nullptr;
    QGroupBox* fraSettings = nullptr;
    QGroupBox* fraCopyMove = nullptr;
    QLabel* lblCopyMove = nullptr;
    std::array<QRadioButton*, 2> optModeSettings{}; // 0 Copy, 1 Move
    QGroupBox* fraPrompt = nullptr;
    QLabel* lblPrompt = nullptr;
    std::array<QRadioButton*, 2> optPromptSettings{}; // 0 Yes, 1 No
    QPushButton* cmdSaveSettings = nullptr;
    QPushButton* cmdHelpSettings = nullptr;
    QPushButton* cmdCancelSettings = nullptr;

public slots:
    void Form_Load();
    void cmdBrowseSrc_Click();
    void cmdBrowseDes_Click();
    void cmdSaveSettings_Click();
    void cmdHelpSettings_Click();
    void cmdCancelSettings_Click();
    void txtSrcDir_MouseMove();
    void txtDesDir_MouseMove();

    // Escape and the close box mean Cancel: they ask its question too.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    // Shows the stored folder named in the box, first storing the program folder (and
    // saying so with repairedText) when the stored text names no existing folder.
    void loadFolder(const QString& name, QLineEdit* box, const QString& repairedText);
    QRect twips(int left, int top, int width, int height) const;

    SettingsDialogServices m_services;
    double m_pixelsPerTwip = 1.0 / 15.0;
};

} // namespace tessary
