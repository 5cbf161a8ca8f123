#include "frmSettings.h"

#include "FormLayout.h"
#include "MessageBoxService.h"
#include "ProgramFolder.h"
#include "SettingsStore.h"
#include "mdlBrowse.h"

#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <cmath>

namespace tessary {

namespace {

const QString AppTitle = QStringLiteral("Tessary");
const QString Copy = QStringLiteral("Copy");
const QString Move = QStringLiteral("Move");
const QString Yes = QStringLiteral("Yes");
const QString No = QStringLiteral("No");

constexpr int clientWidth = 5190;
constexpr int clientHeight = 4605;

// The text boxes of all the program's forms: dark blue on pale yellow.
const QColor boxText = FormLayout::fromBgr(0xC00000);
const QColor boxBackground = FormLayout::fromBgr(0xCFFEFC);

QFont fontOf(double points, bool bold)
{
    return FormLayout::timesNewRoman(points, bold);
}

} // namespace

frmSettings::frmSettings(QWidget* mainWindow, SettingsDialogServices services)
    : QDialog(mainWindow)
    , m_services(std::move(services))
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    // Modal to the main window only, so that a help page opened from the dialog can be
    // read and scrolled while the dialog waits.
    setWindowModality(Qt::WindowModal);
    setFixedSize(twips(0, 0, clientWidth, clientHeight).size());

    buildControls();
    m_services.browse.txtSrcDir = txtSrcDir;
    m_services.browse.txtDesDir = txtDesDir;

    Form_Load();
}

QRect frmSettings::twips(int left, int top, int width, int height) const
{
    return m_layout.twips(left, top, width, height);
}

void frmSettings::buildControls()
{
    const QFont buttonFont = fontOf(8.25, false);
    const QFont captionFont = fontOf(9.75, true);
    const QFont boxFont = fontOf(8.25, true);

    const auto place = [](QWidget* control, const char* name, const QRect& where,
                          const QFont& font) {
        control->setObjectName(QString::fromLatin1(name));
        control->setGeometry(where);
        control->setFont(font);
    };
    const auto label = [&](const char* name, const QString& caption, const QRect& where,
                           QWidget* parent) {
        auto* made = new QLabel(caption, parent);
        place(made, name, where, captionFont);
        return made;
    };
    const auto folderBox = [&](const char* name, const QRect& where, const QString& role) {
        auto* made = new QLineEdit(this);
        place(made, name, where, boxFont);
        // Set only by the opening and the Browse buttons, never by typing.
        made->setReadOnly(true);
        QPalette colours = made->palette();
        colours.setColor(QPalette::Text, boxText);
        colours.setColor(QPalette::Base, boxBackground);
        made->setPalette(colours);
        made->setAccessibleName(role);
        made->setMouseTracking(true);
        made->installEventFilter(this);
        return made;
    };
    const auto button = [&](const char* name, const QString& caption, const QRect& where,
                            const QFont& font) {
        auto* made = new QPushButton(caption, this);
        place(made, name, where, font);
        return made;
    };
    const auto frame = [&](const char* name, const QString& caption, const QRect& where,
                           QWidget* parent) {
        auto* made = new QGroupBox(caption, parent);
        place(made, name, where, captionFont);
        return made;
    };
    const auto option = [&](const char* name, const QString& caption, const QRect& where,
                            QWidget* parent) {
        auto* made = new QRadioButton(caption, parent);
        place(made, name, where, captionFont);
        return made;
    };

    lblSrcDir = label("lblSrcDir", QStringLiteral("Default Source Directory"),
                      twips(60, 60, 3135, 255), this);
    txtSrcDir = folderBox("txtSrcDir", twips(60, 300, 4635, 330),
                          QStringLiteral("Default source directory"));
    cmdBrowseSrc =
        button("cmdBrowseSrc", QStringLiteral("..."), twips(4740, 300, 375, 375), captionFont);
    cmdBrowseSrc->setAccessibleName(QStringLiteral("Browse for the default source directory"));

    lblDesDir = label("lblDesDir", QStringLiteral("Default Destination Directory"),
                      twips(60, 660, 3795, 255), this);
    txtDesDir = folderBox("txtDesDir", twips(60, 900, 4635, 330),
                          QStringLiteral("Default destination directory"));
    cmdBrowseDes =
        button("cmdBrowseDes", QStringLiteral("..."), twips(4740, 900, 375, 375), captionFont);
    cmdBrowseDes->setAccessibleName(QStringLiteral("Browse for the default destination directory"));

    fraSettings =
        frame("fraSettings", QStringLiteral("Other Settings"), twips(60, 1440, 4995, 2415), this);
    fraCopyMove = frame("fraCopyMove", QString(), twips(240, 420, 4575, 675), fraSettings);
    lblCopyMove = label("lblCopyMove", QStringLiteral("Default Page Mode is:"),
                        twips(120, 240, 1935, 315), fraCopyMove);
    optModeSettings[0] = option("optModeSettings", Copy, twips(2040, 240, 915, 255), fraCopyMove);
    optModeSettings[1] = option("optModeSettings", Move, twips(3180, 240, 915, 315), fraCopyMove);

    // Drawn over the lower part of fraSettings, as a frame of the dialog itself.
    fraPrompt = frame("fraPrompt", QString(), twips(300, 2700, 4575, 675), this);
    fraPrompt->raise();
    lblPrompt = label("lblPrompt", QStringLiteral("Prompt actions?"), twips(120, 240, 1935, 315),
                      fraPrompt);
    optPromptSettings[0] = option("optPromptSettings", Yes, twips(2040, 240, 915, 255), fraPrompt);
    optPromptSettings[1] = option("optPromptSettings", No, twips(3180, 240, 915, 315), fraPrompt);
    for (int i = 0; i < 2; ++i) {
        optModeSettings[std::size_t(i)]->setProperty("index", i);
        optPromptSettings[std::size_t(i)]->setProperty("index", i);
    }

    cmdSaveSettings =
        button("cmdSaveSettings", QStringLiteral("Save"), twips(60, 4080, 1155, 435), buttonFont);
    cmdHelpSettings =
        button("cmdHelpSettings", QStringLiteral("Help"), twips(2040, 4080, 1155, 435), buttonFont);
    cmdCancelSettings = button("cmdCancelSettings", QStringLiteral("Cancel"),
                               twips(3960, 4080, 1155, 435), buttonFont);

    QWidget* order[] = {cmdBrowseSrc,
                        cmdBrowseDes,
                        optModeSettings[0],
                        optModeSettings[1],
                        optPromptSettings[0],
                        optPromptSettings[1],
                        cmdSaveSettings,
                        cmdHelpSettings,
                        cmdCancelSettings,
                        txtSrcDir,
                        txtDesDir};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    cmdBrowseSrc->setFocus();
    // Enter saves (Escape asks the Cancel question); it never opens a folder browser,
    // whichever control has the focus.
    cmdSaveSettings->setDefault(true);
    cmdBrowseSrc->setAutoDefault(false);
    cmdBrowseDes->setAutoDefault(false);

    connect(cmdBrowseSrc, &QPushButton::clicked, this, &frmSettings::cmdBrowseSrc_Click);
    connect(cmdBrowseDes, &QPushButton::clicked, this, &frmSettings::cmdBrowseDes_Click);
    connect(cmdSaveSettings, &QPushButton::clicked, this, &frmSettings::cmdSaveSettings_Click);
    connect(cmdHelpSettings, &QPushButton::clicked, this, &frmSettings::cmdHelpSettings_Click);
    connect(cmdCancelSettings, &QPushButton::clicked, this, &frmSettings::cmdCancelSettings_Click);
}

void frmSettings::Form_Load()
{
    // Both repairs, with their messages, come before the dialog is first drawn and stay
    // stored however it is closed.
    loadFolder(SettingsStore::SrcDir, txtSrcDir, SourceRepairedText);
    loadFolder(SettingsStore::DesDir, txtDesDir, DestinationRepairedText);
    // Only the exact words select Move and No.
    SettingsStore& store = m_services.store;
    optModeSettings[store.read(SettingsStore::DefaultMode) == Move ? 1 : 0]->setChecked(true);
    optPromptSettings[store.read(SettingsStore::PromptActions) == No ? 1 : 0]->setChecked(true);
}

void frmSettings::loadFolder(const QString& name, QLineEdit* box, const QString& repairedText)
{
    SettingsStore& store = m_services.store;
    if (!m_services.folderExists(store.read(name))) {
        m_services.messageBoxes.show(parentWidget(), repairedText, AppTitle, MsgButtons::Ok,
                                     MsgIcon::None);
        store.write(name, m_services.programFolder.startFolder());
    }
    box->setText(store.read(name));
}

void frmSettings::cmdBrowseSrc_Click()
{
    // Always at the program's start folder, whatever the box shows.
    mdlBrowse::BrowseForFolder(m_services.browse, m_services.programFolder.startFolder(),
                               mdlBrowse::TagSettingsSrc);
}

void frmSettings::cmdBrowseDes_Click()
{
    mdlBrowse::BrowseForFolder(m_services.browse, m_services.programFolder.startFolder(),
                               mdlBrowse::TagSettingsDes);
}

void frmSettings::cmdSaveSettings_Click()
{
    SettingsStore& store = m_services.store;
    const QString start = m_services.programFolder.startFolder();
    // The folders are stored as shown, without a test; the readers fall back themselves.
    const QString source = txtSrcDir->text().isEmpty() ? start : txtSrcDir->text();
    const QString destination = txtDesDir->text().isEmpty() ? start : txtDesDir->text();
    bool stored = store.write(SettingsStore::SrcDir, source);
    stored = store.write(SettingsStore::DesDir, destination) && stored;

    const bool move = optModeSettings[1]->isChecked();
    const bool prompt = optPromptSettings[0]->isChecked();
    m_services.applyPromptBeforeAction(prompt);

    // Stored before the Move warning: a No to it changes this run only, and the next start
    // is in Move.
    stored = store.write(SettingsStore::DefaultMode, move ? Move : Copy) && stored;
    stored = store.write(SettingsStore::PromptActions, prompt ? Yes : No) && stored;
    if (!stored)
        m_services.messageBoxes.show(this, NotSavedText, AppTitle, MsgButtons::Ok,
                                     MsgIcon::Exclamation);

    m_services.applyTransferMode(move);
    accept();
}

void frmSettings::cmdHelpSettings_Click()
{
    // The dialog stays open beside the help page.
    m_services.showHelpTopic(QStringLiteral("Settings"));
}

void frmSettings::cmdCancelSettings_Click()
{
    if (m_services.messageBoxes.show(this, CancelQuestion, CancelCaption, MsgButtons::YesNo,
                                     MsgIcon::None) == MsgYes)
        QDialog::reject();
}

void frmSettings::reject()
{
    cmdCancelSettings_Click();
}

void frmSettings::txtSrcDir_MouseMove()
{
    // So that a long path can be read in full.
    if (!txtSrcDir->text().isEmpty())
        txtSrcDir->setToolTip(txtSrcDir->text());
}

void frmSettings::txtDesDir_MouseMove()
{
    if (!txtDesDir->text().isEmpty())
        txtDesDir->setToolTip(txtDesDir->text());
}

bool frmSettings::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove) {
        if (watched == txtSrcDir)
            txtSrcDir_MouseMove();
        else if (watched == txtDesDir)
            txtDesDir_MouseMove();
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tessary
