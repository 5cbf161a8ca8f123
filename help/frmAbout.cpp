#include "frmAbout.h"

#include "FormLayout.h"
#include "Launcher.h"
#include "MessageBoxService.h"
#include "ProgramFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <cmath>

namespace tessary {

namespace {

const QString missingDescription = QStringLiteral("About file missing, reinstall.");

// Colours are kept as the 0x00BBGGRR values the layout was drawn with.
QColor fromBgr(unsigned value)
{
    return FormLayout::fromBgr(value);
}

QFont textFontOf(double points, bool bold, bool italic = false)
{
    QFont f = FormLayout::timesNewRoman(points, bold);
    f.setItalic(italic);
    return f;
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

} // namespace

frmAbout::frmAbout(QWidget* mainWindow, const ProgramFolder& programFolder, Launcher& launcher,
                   MessageBoxService& messageBoxes, const QString& versionRecord)
    : QDialog(mainWindow)
    , m_mainWindow(mainWindow)
    , m_programFolder(programFolder)
    , m_launcher(launcher)
    , m_messageBoxes(messageBoxes)
    , m_versionRecord(versionRecord)
{
    setWindowTitle(QStringLiteral("Tessary"));
    setModal(true);
    setFixedSize(twips(0, 0, 5730, 3555).size());
    setMouseTracking(true);

    pboxBrovane = new QLabel(this);
    pboxBrovane->setGeometry(twips(120, 120, 1305, 780));
    pboxBrovane->setPixmap(QPixmap(QStringLiteral(":/logo.png")));
    pboxBrovane->setAccessibleName(QStringLiteral("Tessary logo"));

    // Labels that show information have no accessible name of their own: a screen reader
    // reads their text.
    lblTitle = new QLabel(this);
    lblTitle->setGeometry(twips(2250, 240, 3225, 360));
    lblTitle->setFont(textFontOf(12, true));
    setTextColour(lblTitle, fromBgr(0xFF0000));

    lblVersion = new QLabel(this);
    lblVersion->setGeometry(twips(2250, 660, 3225, 225));
    lblVersion->setFont(textFontOf(9.75, true, true));
    setTextColour(lblVersion, fromBgr(0x0000FF));

    txtDescription = new QPlainTextEdit(this);
    txtDescription->setGeometry(twips(2280, 1080, 3255, 1215));
    txtDescription->setReadOnly(true);
    txtDescription->setFont(textFontOf(9, true));
    txtDescription->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtDescription->setAccessibleName(QStringLiteral("Description"));

    // The separator: a grey line with a white one of two pixels beneath it.
    const QRect grey = twips(90, 2445, 5654 - 90, 0);
    const QRect white = twips(105, 2460, 5654 - 105, 0);
    Line1[1] = new QFrame(this);
    Line1[1]->setGeometry(grey.x(), grey.y(), grey.width(), 1);
    Line1[0] = new QFrame(this);
    Line1[0]->setGeometry(white.x(), white.y(), white.width(), 2);
    for (int i = 0; i < 2; ++i) {
        Line1[std::size_t(i)]->setAutoFillBackground(true);
        QPalette palette = Line1[std::size_t(i)]->palette();
        palette.setColor(QPalette::Window, fromBgr(i == 1 ? 0x808080 : 0xFFFFFF));
        Line1[std::size_t(i)]->setPalette(palette);
    }

    lblYouCan = new QLabel(QStringLiteral("You can e-mail me at:"), this);
    lblYouCan->setGeometry(twips(180, 2640, 1815, 255));
    lblYouCan->setFont(textFontOf(9, true));

    lblEmail = new QLabel(ContactAddress, this);
    lblEmail->setGeometry(twips(1020, 3120, 1935, 255));
    lblEmail->setFont(textFontOf(9, true));
    lblEmail->setCursor(QCursor(QPixmap(QStringLiteral(":/hand-cursor.png")), 13, 9));
    lblEmail->setMouseTracking(true);
    lblEmail->installEventFilter(this);
    lblEmail->setAccessibleDescription(QStringLiteral("Writes a new e-mail to this address"));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setGeometry(twips(4245, 2625, 1260, 405));
    cmdOK->setFont(textFontOf(9.75, true));
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    Form_Load();
}

QRect frmAbout::twips(int left, int top, int width, int height) const
{
    return m_layout.twips(left, top, width, height);
}

QString frmAbout::versionLine(const QString& versionRecord)
{
    const QStringList parts = versionRecord.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return {};
    QList<unsigned> numbers;
    for (const QString& part : parts) {
        bool ok = false;
        numbers.append(part.toUInt(&ok));
        if (!ok)
            return {};
    }
    return QStringLiteral("Version %1.%2.%3").arg(numbers[0]).arg(numbers[1]).arg(numbers[3]);
}

void frmAbout::Form_Load()
{
    // The logo sits on the box's own background.
    QPalette logo = pboxBrovane->palette();
    logo.setColor(QPalette::Window, palette().color(QPalette::Window));
    pboxBrovane->setPalette(logo);
    if (m_mainWindow) {
        move((m_mainWindow->frameGeometry().width() - frameGeometry().width()) / 2,
             (m_mainWindow->frameGeometry().height() - frameGeometry().height()) / 2);
    }
    lblVersion->setText(versionLine(m_versionRecord));
    lblTitle->setText(QStringLiteral("Tessary"));
    const QString about = m_programFolder.filePath(QStringLiteral("about.txt"));
    QFile file(about);
    if (QFileInfo(about).isFile() && file.open(QIODevice::ReadOnly))
        txtDescription->setPlainText(QString::fromUtf8(file.readAll()));
    else
        txtDescription->setPlainText(missingDescription);
    setEmailLook(false);
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::lblEmail_Click()
{
    if (!m_launcher.openUrl(QUrl(QStringLiteral("mailto:") + ContactAddress))) {
        m_messageBoxes.show(this,
                            QStringLiteral("No mail program could be started to write to ") +
                                ContactAddress + QStringLiteral("."),
                            QStringLiteral("Tessary"), MsgButtons::Ok, MsgIcon::Exclamation);
    }
}

void frmAbout::lblEmail_MouseMove()
{
    setEmailLook(true);
}

void frmAbout::Form_MouseMove()
{
    setEmailLook(false);
}

void frmAbout::setEmailLook(bool hovered)
{
    QFont f = lblEmail->font();
    f.setItalic(hovered);
    lblEmail->setFont(f);
    setTextColour(lblEmail, hovered ? fromBgr(0xFF0000) : fromBgr(0));
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lblEmail) {
        if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
            lblEmail_MouseMove();
            return event->type() == QEvent::MouseMove; // not on to the box's background
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
                   lblEmail->rect().contains(
                       static_cast<QMouseEvent*>(event)->position().toPoint()))
            lblEmail_Click();
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::mouseMoveEvent(QMouseEvent* event)
{
    // Moves over child controls the controls leave unhandled arrive here too; only the box's
    // own background (and the separator lines drawn on it) resets the address, so moving
    // onto the description or the OK button leaves it as it is.
    QWidget* child = childAt(event->position().toPoint());
    if (!child || child == Line1[0] || child == Line1[1])
        Form_MouseMove();
    QDialog::mouseMoveEvent(event);
}

} // namespace tessary
