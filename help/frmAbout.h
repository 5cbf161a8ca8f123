#pragma once

#include <QDialog>
#include <array>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tessary {

class Launcher;
class MessageBoxService;
class ProgramFolder;

// The About box: the program's title and version, the description from about.txt beside
// the program (read at every showing), and the contact address, which opens a new mail.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    // versionRecord is the program's version record, major.minor.build.revision.
    frmAbout(QWidget* mainWindow, const ProgramFolder& programFolder, Launcher& launcher,
             MessageBoxService& messageBoxes, const QString& versionRecord);

    // The address shown and written to.
    static inline const QString ContactAddress = QStringLiteral("tessary@example.org");

    QLabel* pboxBrovane = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QPlainTextEdit* txtDescription = nullptr;
    std::array<QFrame*, 2> Line1{};
    QLabel* lblYouCan = nullptr;
    QLabel* lblEmail = nullptr;
    QPushButton* cmdOK = nullptr;

    // "Version major.minor.revision" of a version record; "" when it is not one.
    static QString versionLine(const QString& versionRecord);

public slots:
    void Form_Load();
    void cmdOK_Click();
    void lblEmail_Click();
    void lblEmail_MouseMove();
    void Form_MouseMove();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QRect twips(int left, int top, int width, int height) const;
    void setEmailLook(bool hovered);

    QWidget* m_mainWindow;
    const ProgramFolder& m_programFolder;
    Launcher& m_launcher;
    MessageBoxService& m_messageBoxes;
    QString m_versionRecord;
    double m_pixelsPerTwip = 1.0 / 15.0;
};

} // namespace tessary
