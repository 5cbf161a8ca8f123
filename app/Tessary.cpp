#include "Tessary.h"

#include "DisplaySettingsTool.h"
#include "EventBoundary.h"
#include "FileListBox.h"
#include "ImagingAdminControl.h"
#include "ImagingEditControl.h"
#include "Launcher.h"
#include "MessageBoxService.h"
#include "ProgramFolder.h"
#include "ScreenSize.h"
#include "SettingsStore.h"
#include "ShowHelpTopic.h"
#include "frmAbout.h"
#include "frmSettings.h"
#include "mdlBrowse.h"
#include "mdlFunctions.h"

#include <QAction>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <cmath>

namespace tessary {

namespace {

const QString lowResolutionText =
    QStringLiteral("The minimal screen resolution to use Tessary is 800 by 600");
const QString cannotOpenDisplaySettingsText =
    QStringLiteral("The display settings could not be opened (%1).");

constexpr int twipsPerPixel = 15;
// The window's client area, in twips.
constexpr int clientWidth = 11025;
constexpr int clientHeight = 8220;
// Option buttons take one line of text; their height is not part of the layout.
constexpr int optionHeight = 255;

const QString textFont = QStringLiteral("Times New Roman");
const QString symbolFont = QStringLiteral("Symbol");
const QString transferFont = QStringLiteral("MS Sans Serif");
constexpr int textPoints = 9;
constexpr int symbolPoints = 10;
constexpr int transferPoints = 8;

// A checkable menu item changes its check mark only when its handler says so, as the
// Copy and Move items rely on; Qt would otherwise flip it before any handler runs.
void keepCheckForHandler(QAction* item)
{
    QObject::connect(item, &QAction::triggered, item,
                     [item](bool checked) { item->setChecked(!checked); });
}

} // namespace

Tessary::Tessary(const TessaryServices& services, QWidget* parent)
    : QMainWindow(parent)
    , m_services(services)
{
    setObjectName(QStringLiteral("Tessary"));
    setWindowTitle(QStringLiteral("Brovane's Tessary"));
    QIcon icon;
    for (const int size : {16, 32, 48, 128, 256})
        icon.addFile(QStringLiteral(":/icons/tessary-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    // A fixed border: minimise and close, no maximise and no resizing.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    const QScreen* screen = QGuiApplication::primaryScreen();
    const double logicalDpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    m_pixelsPerTwip = logicalDpi / 96.0 / twipsPerPixel;

    buildMenus();
    buildControls();
    connectHandlers();

    m_designedSize = QSize(m_client->width(), m_client->height() + menuBar()->sizeHint().height());
    setFixedSize(m_designedSize);
    if (screen)
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));

    Form_Load();
}

Tessary::~Tessary() = default;

QRect Tessary::twips(int left, int top, int width, int height) const
{
    const auto px = [this](int value) {
        return int(std::lround(value * m_pixelsPerTwip));
    };
    return QRect(px(left), px(top), px(width), px(height));
}

QRadioButton* Tessary::optMode(int index) const
{
    return index >= 1 && index <= int(m_optMode.size()) ? m_optMode[std::size_t(index - 1)]
                                                        : nullptr;
}

void Tessary::buildControls()
{
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    m_client->setFixedSize(twips(0, 0, clientWidth, clientHeight).size());
    m_client->setMouseTracking(true);
    m_client->installEventFilter(this);
    setCentralWidget(m_client);

    const QFont text(textFont, textPoints);
    const QFont symbol(symbolFont, symbolPoints);
    const QFont transfer(transferFont, transferPoints);

    const auto place = [](QWidget* control, const char* name, const QRect& where,
                          const QFont& font) {
        control->setObjectName(QString::fromLatin1(name));
        control->setGeometry(where);
        control->setFont(font);
    };
    const auto button = [&](const char* name, const QString& caption, const QRect& where,
                            const QFont& font, QWidget* parent) {
        auto* made = new QPushButton(caption, parent);
        place(made, name, where, font);
        made->setAutoDefault(false);
        return made;
    };

    // Source pane.
    lblSource = new QLabel(QStringLiteral("Source Image"), m_client);
    place(lblSource, "lblSource", twips(120, 60, 4455, 255), text);

    auto* sourceViewer = new ImagingEditControl(m_client);
    imgSrc = sourceViewer;
    place(imgSrc, "imgSrc", twips(120, 300, 4455, 5655), text);
    imgSrc->setAccessibleName(QStringLiteral("Source image"));

    const QStringList navigation = {QStringLiteral("<<"), QStringLiteral("<"), QStringLiteral(">"),
                                    QStringLiteral(">>")};
    const QStringList navigationRoles = {QStringLiteral("first page"),
                                         QStringLiteral("previous page"),
                                         QStringLiteral("next page"), QStringLiteral("last page")};
    const int sourceLefts[] = {120, 540, 960, 1380};
    const int destinationLefts[] = {6480, 6900, 7320, 7740};
    for (std::size_t i = 0; i < cmdSrc.size(); ++i) {
        cmdSrc[i] = button("cmdSrc", navigation[qsizetype(i)],
                           twips(sourceLefts[i], 6000, 375, 315), text, m_client);
        cmdSrc[i]->setProperty("index", int(i));
        cmdSrc[i]->setAccessibleName(QStringLiteral("Source ") + navigationRoles[qsizetype(i)]);
    }

    txtPageSrc = new QLineEdit(m_client);
    place(txtPageSrc, "txtPageSrc", twips(1800, 6000, 735, 315), text);
    txtPageSrc->setAccessibleName(QStringLiteral("Source page number"));

    cmdZoomIn =
        button("cmdZoomIn", QStringLiteral("+"), twips(2640, 6000, 375, 315), symbol, m_client);
    cmdZoomIn->setAccessibleName(QStringLiteral("Source zoom in"));
    cmdZoomOut =
        button("cmdZoomOut", QStringLiteral("-"), twips(3060, 6000, 375, 315), symbol, m_client);
    cmdZoomOut->setAccessibleName(QStringLiteral("Source zoom out"));
    cmdReset =
        button("cmdReset", QStringLiteral("&Reset"), twips(3780, 6000, 795, 315), text, m_client);
    cmdReset->setAccessibleName(QStringLiteral("Reset source view"));

    TiffFileList = new FileListBox(m_client);
    place(TiffFileList, "TiffFileList", twips(120, 6360, 4455, 1455), text);
    TiffFileList->setPattern(QStringLiteral("*.tif"));
    TiffFileList->setAccessibleName(QStringLiteral("Source files"));
    // Hovering over the list shows its folder (TiffFileList_MouseMove).
    TiffFileList->viewport()->setMouseTracking(true);
    TiffFileList->viewport()->installEventFilter(this);

    cmdBrowseSrc = button("cmdBrowseSrc", QStringLiteral("&Browse"), twips(120, 7860, 4455, 315),
                          text, m_client);

    // Page mode and transfers.
    fraMode = new QGroupBox(QStringLiteral("&Page Mode"), m_client);
    place(fraMode, "fraMode", twips(4740, 180, 1575, 2835), text);
    const QStringList modes = {QStringLiteral("Append"), QStringLiteral("Insert"),
                               QStringLiteral("Replace"), QStringLiteral("New File")};
    const int modeTops[] = {540, 1080, 1680, 2280};
    for (std::size_t i = 0; i < m_optMode.size(); ++i) {
        m_optMode[i] = new QRadioButton(modes[qsizetype(i)], fraMode);
        place(m_optMode[i], "optMode", twips(300, modeTops[i], 1035, optionHeight), text);
        m_optMode[i]->setProperty("index", int(i + 1));
    }

    cmdSwap =
        button("cmdSwap", QStringLiteral("--->"), twips(5100, 3420, 975, 435), transfer, m_client);
    cmdSwap->setToolTip(QStringLiteral("Append, Insert, Replace or Create a New File"));
    cmdSwap->setAccessibleName(QStringLiteral("Transfer page"));
    cmdSwap->setAccessibleDescription(cmdSwap->toolTip());
    cmdRange = button("cmdRange", QStringLiteral("-->->"), twips(5100, 4020, 975, 435), transfer,
                      m_client);
    cmdRange->setToolTip(QStringLiteral("Append, Insert Replace Multiple Pages"));
    cmdRange->setAccessibleName(QStringLiteral("Transfer range of pages"));
    cmdRange->setAccessibleDescription(cmdRange->toolTip());

    Picture1 = new QLabel(m_client);
    place(Picture1, "Picture1", twips(4920, 4860, 1455, 855), text);
    Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture1->setAlignment(Qt::AlignCenter);
    Picture1->setPixmap(QPixmap(QStringLiteral(":/logo.png")));
    Picture1->setCursor(QCursor(QPixmap(QStringLiteral(":/logo-cursor.png")), 1, 1));
    Picture1->setAccessibleName(QStringLiteral("Tessary logo"));
    Picture1->setAccessibleDescription(QStringLiteral("Shows the version of Tessary"));
    Picture1->installEventFilter(this);

    // Destination pane.
    lblDestination = new QLabel(QStringLiteral("Destination Image"), m_client);
    place(lblDestination, "lblDestination", twips(6480, 60, 4455, 255), text);

    imgDes = new ImagingEditControl(m_client);
    place(imgDes, "imgDes", twips(6480, 300, 4455, 5655), text);
    imgDes->setAccessibleName(QStringLiteral("Destination image"));

    for (std::size_t i = 0; i < cmdDes.size(); ++i) {
        cmdDes[i] = button("cmdDes", navigation[qsizetype(i)],
                           twips(destinationLefts[i], 6000, 375, 315), text, m_client);
        cmdDes[i]->setProperty("index", int(i));
        cmdDes[i]->setAccessibleName(QStringLiteral("Destination ") +
                                     navigationRoles[qsizetype(i)]);
    }

    txtPageDes = new QLineEdit(m_client);
    place(txtPageDes, "txtPageDes", twips(8160, 6000, 735, 315), text);
    txtPageDes->setAccessibleName(QStringLiteral("Destination page number"));

    cmdZoomIn_ImgDes = button("cmdZoomIn_ImgDes", QStringLiteral("+"), twips(9000, 6000, 375, 315),
                              symbol, m_client);
    cmdZoomIn_ImgDes->setAccessibleName(QStringLiteral("Destination zoom in"));
    cmdZoomOut_ImgDes = button("cmdZoomOut_ImgDes", QStringLiteral("-"),
                               twips(9420, 6000, 375, 315), symbol, m_client);
    cmdZoomOut_ImgDes->setAccessibleName(QStringLiteral("Destination zoom out"));
    cmdReset_ImgDes = button("cmdReset_ImgDes", QStringLiteral("Re&set"),
                             twips(10140, 6000, 795, 315), text, m_client);
    cmdReset_ImgDes->setAccessibleName(QStringLiteral("Reset destination view"));

    cmdOpenDes = button("cmdOpenDes", QStringLiteral("&Open..."), twips(6480, 6420, 975, 435), text,
                        m_client);
    cmdCloseDes = button("cmdCloseDes", QStringLiteral("&Close"), twips(7560, 6420, 975, 435), text,
                         m_client);
    cmdReorder = button("cmdReorder", QStringLiteral("R&eorder"), twips(8640, 6420, 975, 435), text,
                        m_client);
    cmdDelPage = button("cmdDelPage", QStringLiteral("&Delete Page"), twips(9720, 6420, 1215, 435),
                        text, m_client);

    imgAdmSrc = std::make_unique<ImagingAdminControl>(m_services.fileDialogs);

    // Tab order follows the panes from left to right, top to bottom.
    QWidget* order[] = {
        imgSrc,          cmdSrc[0],    cmdSrc[1],    cmdSrc[2],        cmdSrc[3],
        txtPageSrc,      cmdZoomIn,    cmdZoomOut,   cmdReset,         TiffFileList,
        cmdBrowseSrc,    m_optMode[0], m_optMode[1], m_optMode[2],     m_optMode[3],
        cmdSwap,         cmdRange,     imgDes,       cmdDes[0],        cmdDes[1],
        cmdDes[2],       cmdDes[3],    txtPageDes,   cmdZoomIn_ImgDes, cmdZoomOut_ImgDes,
        cmdReset_ImgDes, cmdOpenDes,   cmdCloseDes,  cmdReorder,       cmdDelPage};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void Tessary::buildMenus()
{
    const auto item = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* made = menu->addAction(caption);
        made->setObjectName(QString::fromLatin1(name));
        return made;
    };
    const auto submenu = [](QWidget* parent, const char* name, const QString& caption) {
        auto* made = new QMenu(caption, parent);
        made->setObjectName(QString::fromLatin1(name));
        return made;
    };

    mnuFile = submenu(this, "mnuFile", QStringLiteral("&File"));
    mnuOpen = submenu(mnuFile, "mnuOpen", QStringLiteral("Open"));
    mnuOpenSrc = item(mnuOpen, "mnuOpenSrc", QStringLiteral("Source with Imaging"));
    mnuOpenDes = item(mnuOpen, "mnuOpenDes", QStringLiteral("Destination with Imaging"));
    mnuFile->addMenu(mnuOpen);
    mnuExit = item(mnuFile, "mnuExit", QStringLiteral("Exit"));
    connect(mnuExit, &QAction::triggered, this, &Tessary::mnuExit_Click);

    mnuEdit = submenu(this, "mnuEdit", QStringLiteral("Edi&t"));
    mnuMode = submenu(mnuEdit, "mnuMode", QStringLiteral("Mode"));
    mnuCopy = item(mnuMode, "mnuCopy", QStringLiteral("Copy"));
    mnuCopy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    mnuCopy->setCheckable(true);
    keepCheckForHandler(mnuCopy);
    mnuMove = item(mnuMode, "mnuMove", QStringLiteral("Move"));
    mnuMove->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    mnuMove->setCheckable(true);
    keepCheckForHandler(mnuMove);
    mnuEdit->addMenu(mnuMode);
    mnuSettings = item(mnuEdit, "mnuSettings", QStringLiteral("Settings"));
    mnuSettings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));

    mnuHelp = submenu(this, "mnuHelp", QStringLiteral("&Help"));
    mnuContents = item(mnuHelp, "mnuContents", QStringLiteral("Contents"));
    menuAbout = item(mnuHelp, "menuAbout", QStringLiteral("About"));
    mnuVersion = item(mnuHelp, "mnuVersion", QStringLiteral("Version"));

    menuBar()->addMenu(mnuFile);
    menuBar()->addMenu(mnuEdit);
    menuBar()->addMenu(mnuHelp);
    // The shortcuts work while any control of the window has the focus.
    for (QAction* shortcut : {mnuCopy, mnuMove, mnuSettings})
        shortcut->setShortcutContext(Qt::WindowShortcut);
}

template <typename Sender, typename Signal>
void Tessary::handle(Sender* sender, Signal signal, std::function<void()> handler)
{
    connect(sender, signal, this, [this, handler = std::move(handler)] {
        EventBoundary::run(messageBoxes(), this, handler);
    });
}

void Tessary::connectHandlers()
{
    handle(TiffFileList, &FileListBox::entryPicked, [this] { TiffFileList_Click(); });
    handle(cmdBrowseSrc, &QPushButton::clicked, [this] { cmdBrowseSrc_Click(); });
    handle(cmdOpenDes, &QPushButton::clicked, [this] { cmdOpenDes_Click(); });
    handle(cmdCloseDes, &QPushButton::clicked, [this] { cmdCloseDes_Click(); });
    // A click of the user's, also on the option already selected; selections made by the
    // program raise the handler through selectPageMode.
    for (int index = 1; index <= int(m_optMode.size()); ++index)
        handle(optMode(index), &QRadioButton::clicked, [this, index] { optMode_Click(index); });
    handle(mnuCopy, &QAction::triggered, [this] { mnuCopy_Click(); });
    handle(mnuMove, &QAction::triggered, [this] { mnuMove_Click(); });
    handle(mnuOpenSrc, &QAction::triggered, [this] { mnuOpenSrc_Click(); });
    handle(mnuOpenDes, &QAction::triggered, [this] { mnuOpenDes_Click(); });
    handle(mnuSettings, &QAction::triggered, [this] { mnuSettings_Click(); });
    handle(mnuContents, &QAction::triggered, [this] { mnuContents_Click(); });
    handle(menuAbout, &QAction::triggered, [this] { menuAbout_Click(); });
    handle(mnuVersion, &QAction::triggered, [this] { mnuVersion_Click(); });
}

void Tessary::selectPageMode(int index)
{
    if (QRadioButton* option = optMode(index)) {
        option->setChecked(true);
        optMode_Click(index);
    }
}

BrowseTargets Tessary::browseTargets()
{
    return BrowseTargets{folderChooser(), this, [list = TiffFileList](const QString& folder) {
                             list->setPath(folder);
                         }};
}

void Tessary::Form_Load()
{
    // The logo stands on the window's own background.
    QPalette logo = Picture1->palette();
    logo.setColor(QPalette::Window, palette().color(QPalette::Window));
    Picture1->setPalette(logo);
    Picture1->setAutoFillBackground(true);

    const QSize screen = m_services.screen.pixels();
    if (screen.width() < 800 && screen.height() < 600) {
        messageBoxes().show(this, lowResolutionText, AppTitle, MsgButtons::Ok);
        openDisplaySettings();
    }

    mdlFunctions::CheckWorkingFiles(*this);

    SettingsStore& store = settings();
    if (mdlFunctions::FolderExists(store.read(SettingsStore::SrcDir)))
        TiffFileList->setPath(store.read(SettingsStore::SrcDir));
    else
        TiffFileList->setPath(programFolder().path());

    // The stored mode is restored silently; only the exact word "Move" selects it.
    const bool move = store.read(SettingsStore::DefaultMode) == QStringLiteral("Move");
    mnuMove->setChecked(move);
    mnuCopy->setChecked(!move);

    selectPageMode(mdlFunctions::ModeNewFile);

    // Prompting follows the stored word as read before the first-run default below is
    // written, so a first run does not prompt until the next start.
    flags.PromptBeforeAction = store.read(SettingsStore::PromptActions) == QStringLiteral("Yes");

    if (store.read(SettingsStore::DefaultMode).isEmpty())
        store.write(SettingsStore::DefaultMode, QStringLiteral("Copy"));
    if (store.read(SettingsStore::PromptActions).isEmpty())
        store.write(SettingsStore::PromptActions, QStringLiteral("Yes"));
}

void Tessary::openDisplaySettings()
{
    const std::optional<DisplaySettingsTool::Command> tool = DisplaySettingsTool::find(launcher());
    if (!tool)
        return;
    if (!launcher().startDetached(tool->program, tool->arguments))
        messageBoxes().show(this, cannotOpenDisplaySettingsText.arg(tool->program), AppTitle,
                            MsgButtons::Ok, MsgIcon::Exclamation);
}

void Tessary::TiffFileList_Click()
{
    mdlFunctions::LoadSourceImage(*this, TiffFileList->currentRow());
    // The page box is left empty when the guard refused the file.
    txtPageSrc->setText(imgSrc->image().isEmpty() ? QString() : QString::number(imgSrc->page()));
    mdlFunctions::UpdatePaneCaption(*this, mdlFunctions::PaneSrc);
}

void Tessary::TiffFileList_MouseMove()
{
    if (!TiffFileList->path().isEmpty())
        TiffFileList->setToolTip(TiffFileList->path());
}

void Tessary::cmdBrowseSrc_Click()
{
    SettingsStore& store = settings();
    const QString start = mdlFunctions::FolderExists(store.read(SettingsStore::SrcDir))
                              ? store.read(SettingsStore::SrcDir)
                              : programFolder().path();
    // Only the list changes; the source pane keeps the file it shows.
    mdlBrowse::BrowseForFolder(browseTargets(), start, mdlBrowse::TagTessary);
}

void Tessary::cmdOpenDes_Click()
{
    mdlFunctions::OpenDestinationFile(*this);
}

void Tessary::cmdCloseDes_Click()
{
    if (imgDes->image().isEmpty())
        return;
    imgDes->clearDisplay();
    imgDes->setImage(QString());
    mdlFunctions::UpdatePaneCaption(*this, mdlFunctions::PaneDes);
    txtPageDes->clear();
}

void Tessary::optMode_Click(int index)
{
    // Append, Insert and Replace write into a destination: with none open, the user
    // chooses it at once. New File writes a new file and needs none.
    if (index >= mdlFunctions::ModeAppend && index <= mdlFunctions::ModeReplace &&
        imgDes->image().isEmpty())
        mdlFunctions::OpenDestinationFile(*this);
}

void Tessary::mnuCopy_Click()
{
    if (!mnuCopy->isChecked()) {
        mnuCopy->setChecked(true);
        mnuMove->setChecked(false);
    }
}

void Tessary::mnuMove_Click()
{
    mdlFunctions::ConfirmMoveMode(*this);
}

void Tessary::mnuOpenSrc_Click()
{
    mdlFunctions::OpenInImagingApplication(*this, *imgSrc);
}

void Tessary::mnuOpenDes_Click()
{
    if (!imgDes->image().isEmpty())
        mdlFunctions::OpenInImagingApplication(*this, *imgDes);
}

void Tessary::Form_Unload()
{
    mdlFunctions::CheckWorkingFiles(*this);
}

void Tessary::mnuExit_Click()
{
    close();
}

void Tessary::closeEvent(QCloseEvent* event)
{
    if (!m_unloaded) {
        m_unloaded = true;
        Form_Unload();
    }
    event->accept();
}

void Tessary::Form_MouseMove()
{
    // Only a window changed in both directions is put back to its designed size.
    if (height() != m_designedSize.height() && width() != m_designedSize.width()) {
        resize(width(), m_designedSize.height());
        resize(m_designedSize.width(), height());
        setFixedSize(m_designedSize);
    }
}

void Tessary::mnuSettings_Click()
{
    const auto applyTransferMode = [this](bool move) {
        if (move) {
            mdlFunctions::ConfirmMoveMode(*this);
        } else {
            mnuCopy->setChecked(true);
            mnuMove->setChecked(false);
        }
    };
    const auto applyPrompt = [this](bool prompt) {
        flags.PromptBeforeAction = prompt;
    };
    const auto showHelp = [this](const QString& topic) {
        ShowHelpTopic(topic, m_services.help, messageBoxes(), programFolder());
    };
    frmSettings dialog(this,
                       {settings(), programFolder(), messageBoxes(), browseTargets(),
                        mdlFunctions::FolderExists, applyTransferMode, applyPrompt, showHelp});
    dialog.exec();
}

void Tessary::mnuContents_Click()
{
    ShowHelpTopic(QStringLiteral("Contents"), m_services.help, messageBoxes(), programFolder());
}

void Tessary::menuAbout_Click()
{
    // The About page of the help file; the version is in the About box.
    ShowHelpTopic(QStringLiteral("About"), m_services.help, messageBoxes(), programFolder());
}

void Tessary::mnuVersion_Click()
{
    showAboutBox();
}

void Tessary::Picture1_Click()
{
    showAboutBox();
}

void Tessary::showAboutBox()
{
    frmAbout box(this, programFolder(), launcher(), messageBoxes(),
                 QStringLiteral(TESSARY_VERSION));
    box.exec();
}

bool Tessary::eventFilter(QObject* watched, QEvent* event)
{
    if (TiffFileList && watched == TiffFileList->viewport() && event->type() == QEvent::MouseMove)
        TiffFileList_MouseMove();
    if (Picture1 && watched == Picture1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        Picture1->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint()))
        EventBoundary::run(messageBoxes(), this, [this] { Picture1_Click(); });
    // Moves over the window's own background, not over one of its controls.
    if (watched == m_client && event->type() == QEvent::MouseMove) {
        const auto* move = static_cast<QMouseEvent*>(event);
        if (!m_client->childAt(move->position().toPoint()))
            Form_MouseMove();
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace tessary
