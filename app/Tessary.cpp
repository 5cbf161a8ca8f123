#include "Tessary.h"

#include "DisplaySettingsTool.h"
#include "EventBoundary.h"
#include "FileDrop.h"
#include "FileListBox.h"
#include "ImagingAdminControl.h"
#include "ImagingEditControl.h"
#include "ImagingError.h"
#include "KeyUpWatcher.h"
#include "Launcher.h"
#include "MessageBoxService.h"
#include "NumericText.h"
#include "PageBox.h"
#include "PaneStrips.h"
#include "ProgramFolder.h"
#include "ScreenSize.h"
#include "SettingsStore.h"
#include "ShortcutGuard.h"
#include "ShowHelpTopic.h"
#include "UndoHistory.h"
#include "VirtualKey.h"
#include "frmAbout.h"
#include "frmSettings.h"
#include "mdlBrowse.h"
#include "mdlFunctions.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QScreen>
#include <cmath>

namespace tessary {

namespace {

// The character code of Enter in a page box.
constexpr std::int16_t enterKey = 13;

const QString lowResolutionText =
    QStringLiteral("The minimal screen resolution to use Tessary is 800 by 600");
const QString cannotOpenDisplaySettingsText =
    QStringLiteral("The display settings could not be opened (%1).");

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

// A file named from outside the window, absolute and without "." or ".." steps, so that
// messages and captions name the file itself.
QString wholePath(const QString& fileName)
{
    return QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(fileName).absoluteFilePath()));
}

// The file at path with every link followed, as the undo history names the files it
// changed; also for a file that no longer exists.
QString realFile(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    return QDir(QFileInfo(info.absolutePath()).canonicalFilePath()).filePath(info.fileName());
}

// A menu item's text that shows every "&" of a caption, which would otherwise mark a key.
QString menuText(QString caption)
{
    return caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

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

    buildMenus();
    buildControls();
    acceptFileDrops();
    connectHandlers();

    m_designedSize = QSize(m_client->width(), m_client->height() + menuBar()->sizeHint().height());
    setFixedSize(m_designedSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));

    m_keyUp = std::make_unique<KeyUpWatcher>(*this, [this](std::int16_t code, std::int16_t shift) {
        EventBoundary::run(messageBoxes(), this, [=, this] { Form_KeyUp(code, shift); });
    });
    m_shortcuts = std::make_unique<ShortcutGuard>(*this, &Tessary::isKeyShortcut);

    Form_Load();
}

Tessary::~Tessary() = default;

QRect Tessary::twips(int left, int top, int width, int height) const
{
    return m_layout.twips(left, top, width, height);
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

    auto* sourceViewer = new ImagingEditControl(m_client, &m_services.progress);
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

    txtPageSrc = new PageBox(m_client);
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

    imgDes = new ImagingEditControl(m_client, &m_services.progress);
    place(imgDes, "imgDes", twips(6480, 300, 4455, 5655), text);
    imgDes->setAccessibleName(QStringLiteral("Destination image"));

    for (std::size_t i = 0; i < cmdDes.size(); ++i) {
        cmdDes[i] = button("cmdDes", navigation[qsizetype(i)],
                           twips(destinationLefts[i], 6000, 375, 315), text, m_client);
        cmdDes[i]->setProperty("index", int(i));
        cmdDes[i]->setAccessibleName(QStringLiteral("Destination ") +
                                     navigationRoles[qsizetype(i)]);
    }

    txtPageDes = new PageBox(m_client);
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

    imgAdmSrc = std::make_unique<ImagingAdminControl>(m_services.fileDialogs, &m_services.progress);

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

void Tessary::acceptFileDrops()
{
    // A file dropped on either pane opens there; the page mode and transfer column between
    // them takes none. The page boxes pass drops on to their pane.
    txtPageSrc->setAcceptDrops(false);
    txtPageDes->setAcceptDrops(false);
    auto* drop = new FileDrop(*m_client, [this] { return takesFiles(); });
    const auto opening = [this](void (Tessary::*open)(const QString&)) {
        return [this, open](const QString& file) {
            EventBoundary::run(messageBoxes(), this, [&] { (this->*open)(file); });
        };
    };
    // The zones follow the middle column where the window's layout moves it.
    drop->addZone([this] { return QRect(0, 0, fraMode->x(), m_client->height()); },
                  opening(&Tessary::openSource));
    drop->addZone(
        [this] {
            const QRect middle = fraMode->geometry();
            return QRect(middle.right() + 1, 0, m_client->width() - middle.right() - 1,
                         m_client->height());
        },
        opening(&Tessary::openDestination));
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
    mnuEdit->addSeparator();
    // Turns of the page the destination pane shows, as it is seen.
    mnuRotate = submenu(mnuEdit, "mnuRotate", QStringLiteral("Rotate Page"));
    mnuRotateRight = item(mnuRotate, "mnuRotateRight", QStringLiteral("Right (90° clockwise)"));
    mnuRotateRight->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    mnuRotateLeft = item(mnuRotate, "mnuRotateLeft", QStringLiteral("Left (90° anticlockwise)"));
    mnuRotateLeft->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    mnuRotate180 = item(mnuRotate, "mnuRotate180", QStringLiteral("180°"));
    mnuRotate180->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    mnuEdit->addMenu(mnuRotate);
    mnuRotatePages = item(mnuEdit, "mnuRotatePages", QStringLiteral("Rotate Pages..."));
    mnuEdit->addSeparator();
    mnuUndo = item(mnuEdit, "mnuUndo", QStringLiteral("Undo"));
    mnuUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    mnuRedo = item(mnuEdit, "mnuRedo", QStringLiteral("Redo"));
#ifdef Q_OS_WIN
    mnuRedo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
#else
    mnuRedo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
#endif
    // Why a step cannot be undone shows over its item.
    mnuEdit->setToolTipsVisible(true);

    mnuView = submenu(this, "mnuView", QStringLiteral("&View"));
    mnuPageStrips = item(mnuView, "mnuPageStrips", QStringLiteral("Page Strips"));
    mnuPageStrips->setCheckable(true);

    mnuTools = submenu(this, "mnuTools", QStringLiteral("Too&ls"));
    mnuInterleave = item(mnuTools, "mnuInterleave", QStringLiteral("Interleave Two-Sided Scan..."));
    mnuSplit = item(mnuTools, "mnuSplit", QStringLiteral("Split into Files..."));
    mnuMerge = item(mnuTools, "mnuMerge", QStringLiteral("Merge Files..."));

    mnuHelp = submenu(this, "mnuHelp", QStringLiteral("&Help"));
    mnuContents = item(mnuHelp, "mnuContents", QStringLiteral("Contents"));
    menuAbout = item(mnuHelp, "menuAbout", QStringLiteral("About"));
    mnuVersion = item(mnuHelp, "mnuVersion", QStringLiteral("Version"));

    menuBar()->addMenu(mnuFile);
    menuBar()->addMenu(mnuEdit);
    menuBar()->addMenu(mnuView);
    menuBar()->addMenu(mnuTools);
    menuBar()->addMenu(mnuHelp);
    // The shortcuts work while any control of the window has the focus.
    for (QAction* shortcut : {mnuCopy, mnuMove, mnuSettings, mnuRotateRight, mnuRotateLeft,
                              mnuRotate180, mnuUndo, mnuRedo})
        shortcut->setShortcutContext(Qt::WindowShortcut);
    updateHistoryItems();
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
    handle(cmdSwap, &QPushButton::clicked, [this] { cmdSwap_Click(); });
    handle(cmdRange, &QPushButton::clicked, [this] { cmdRange_Click(); });
    handle(cmdDelPage, &QPushButton::clicked, [this] { cmdDelPage_Click(); });
    handle(cmdReorder, &QPushButton::clicked, [this] { cmdReorder_Click(); });
    // A click of the user's, also on the option already selected; selections made by the
    // program raise the handler through selectPageMode.
    for (int index = 1; index <= int(m_optMode.size()); ++index)
        handle(optMode(index), &QRadioButton::clicked, [this, index] { optMode_Click(index); });
    handle(mnuCopy, &QAction::triggered, [this] { mnuCopy_Click(); });
    handle(mnuMove, &QAction::triggered, [this] { mnuMove_Click(); });
    handle(mnuOpenSrc, &QAction::triggered, [this] { mnuOpenSrc_Click(); });
    handle(mnuOpenDes, &QAction::triggered, [this] { mnuOpenDes_Click(); });
    handle(mnuSettings, &QAction::triggered, [this] { mnuSettings_Click(); });
    handle(mnuPageStrips, &QAction::triggered, [this] { mnuPageStrips_Click(); });
    handle(mnuRotateRight, &QAction::triggered, [this] { mnuRotateRight_Click(); });
    handle(mnuRotateLeft, &QAction::triggered, [this] { mnuRotateLeft_Click(); });
    handle(mnuRotate180, &QAction::triggered, [this] { mnuRotate180_Click(); });
    handle(mnuRotatePages, &QAction::triggered, [this] { mnuRotatePages_Click(); });
    handle(mnuUndo, &QAction::triggered, [this] { mnuUndo_Click(); });
    handle(mnuRedo, &QAction::triggered, [this] { mnuRedo_Click(); });
    handle(mnuInterleave, &QAction::triggered, [this] { mnuInterleave_Click(); });
    handle(mnuSplit, &QAction::triggered, [this] { mnuSplit_Click(); });
    handle(mnuMerge, &QAction::triggered, [this] { mnuMerge_Click(); });
    if (history()) {
        connect(history(), &UndoHistory::changed, this, &Tessary::updateHistoryItems);
        // The captions say what can be undone now: steps whose files are gone drop out.
        handle(mnuEdit, &QMenu::aboutToShow, [this] { history()->dropGone(); });
    }
    handle(mnuContents, &QAction::triggered, [this] { mnuContents_Click(); });
    handle(menuAbout, &QAction::triggered, [this] { menuAbout_Click(); });
    handle(mnuVersion, &QAction::triggered, [this] { mnuVersion_Click(); });
    connectViewing();
}

void Tessary::connectViewing()
{
    for (int index = 0; index < int(cmdSrc.size()); ++index) {
        handle(cmdSrc[std::size_t(index)], &QPushButton::clicked,
               [this, index] { cmdSrc_Click(index); });
        handle(cmdDes[std::size_t(index)], &QPushButton::clicked,
               [this, index] { cmdDes_Click(index); });
    }
    auto* sourceBox = qobject_cast<PageBox*>(txtPageSrc);
    auto* destinationBox = qobject_cast<PageBox*>(txtPageDes);
    handle(sourceBox, &PageBox::gotFocus, [this] { txtPageSrc_GotFocus(); });
    handle(destinationBox, &PageBox::gotFocus, [this] { txtPageDes_GotFocus(); });
    connect(sourceBox, &PageBox::keyPress, this, [this](std::int16_t key) {
        EventBoundary::run(messageBoxes(), this, [this, key] { txtPageSrc_KeyPress(key); });
    });
    connect(destinationBox, &PageBox::keyPress, this, [this](std::int16_t key) {
        EventBoundary::run(messageBoxes(), this, [this, key] { txtPageDes_KeyPress(key); });
    });
    handle(cmdZoomIn, &QPushButton::clicked, [this] { cmdZoomIn_Click(); });
    handle(cmdZoomIn_ImgDes, &QPushButton::clicked, [this] { cmdZoomIn_ImgDes_Click(); });
    handle(cmdZoomOut, &QPushButton::clicked, [this] { cmdZoomOut_Click(); });
    handle(cmdZoomOut_ImgDes, &QPushButton::clicked, [this] { cmdZoomOut_ImgDes_Click(); });
    handle(cmdReset, &QPushButton::clicked, [this] { cmdReset_Click(); });
    handle(cmdReset_ImgDes, &QPushButton::clicked, [this] { cmdReset_ImgDes_Click(); });
    connect(imgSrc, &ImagingEdit::selectionRectDrawn, this,
            [this](std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
                EventBoundary::run(messageBoxes(), this, [=, this] {
                    imgSrc_SelectionRectDrawn(left, top, width, height);
                });
            });
    connect(imgDes, &ImagingEdit::selectionRectDrawn, this,
            [this](std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
                EventBoundary::run(messageBoxes(), this, [=, this] {
                    imgDes_SelectionRectDrawn(left, top, width, height);
                });
            });
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

    if (store.read(SettingsStore::PageStrips) == QStringLiteral("Yes")) {
        mnuPageStrips->setChecked(true);
        showStrips(true);
    }

    if (store.read(SettingsStore::DefaultMode).isEmpty())
        store.write(SettingsStore::DefaultMode, QStringLiteral("Copy"));
    if (store.read(SettingsStore::PromptActions).isEmpty())
        store.write(SettingsStore::PromptActions, QStringLiteral("Yes"));

    // Read after the first-run default is stored, so that a first run prompts as the
    // Settings dialog shows it does.
    flags.PromptBeforeAction = store.read(SettingsStore::PromptActions) == QStringLiteral("Yes");
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

void Tessary::openSource(const QString& fileName)
{
    const QString path = wholePath(fileName);
    mdlFunctions::CheckTiffFile(path);
    const QFileInfo file(path);
    TiffFileList->setPath(file.path());
    const QList<QListWidgetItem*> listed =
        TiffFileList->findItems(file.fileName(), Qt::MatchExactly);
    if (listed.isEmpty()) {
        mdlFunctions::LoadSourceFile(*this, path);
        showSourcePage();
        return;
    }
    TiffFileList->setCurrentItem(listed.first());
    TiffFileList->scrollToItem(listed.first());
    TiffFileList_Click();
}

void Tessary::openDestination(const QString& fileName)
{
    const QString path = wholePath(fileName);
    mdlFunctions::CheckTiffFile(path);
    mdlFunctions::LoadDestinationFile(*this, path);
}

void Tessary::openFiles(const QStringList& fileNames)
{
    const auto open = [this](const QString& file, void (Tessary::*how)(const QString&)) {
        if (!file.isEmpty())
            EventBoundary::run(messageBoxes(), this, [&] { (this->*how)(file); });
    };
    open(fileNames.value(0), &Tessary::openSource);
    open(fileNames.value(1), &Tessary::openDestination);
}

bool Tessary::takesFiles() const
{
    return !m_pageOperationRunning && !QApplication::activeModalWidget();
}

void Tessary::TiffFileList_Click()
{
    mdlFunctions::LoadSourceImage(*this, TiffFileList->currentRow());
    showSourcePage();
}

void Tessary::showSourcePage()
{
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
                              : programFolder().startFolder();
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

void Tessary::navigate(ImagingEdit& viewer, QLineEdit& pageBox, int index)
{
    // The viewer's errors are passed over without a word; a page it cannot show puts the
    // box back to the page it shows.
    try {
        if (viewer.image().isEmpty() || index < 0 || index > 3)
            return;
        switch (index) {
        case 0:
            viewer.setPage(1);
            break;
        case 1:
            if (viewer.page() >= 2)
                viewer.setPage(viewer.page() - 1);
            break;
        case 2:
            if (viewer.page() < viewer.pageCount())
                viewer.setPage(viewer.page() + 1);
            break;
        default:
            viewer.setPage(viewer.pageCount());
            break;
        }
        pageBox.setText(QString::number(viewer.page()));
        viewer.fitTo(ImagingEdit::FitWholePage);
        viewer.display();
    } catch (const ImagingError& error) {
        if (error.number == ImagingError::CannotShowPage)
            pageBox.setText(QString::number(viewer.page()));
    }
}

void Tessary::cmdSrc_Click(int index)
{
    navigate(*imgSrc, *txtPageSrc, index);
}

void Tessary::cmdDes_Click(int index)
{
    navigate(*imgDes, *txtPageDes, index);
}

void Tessary::selectPageText(QLineEdit& pageBox)
{
    const int start =
        pageBox.hasSelectedText() ? pageBox.selectionStart() : pageBox.cursorPosition();
    pageBox.setSelection(start, int(pageBox.text().size()));
}

void Tessary::txtPageSrc_GotFocus()
{
    selectPageText(*txtPageSrc);
}

void Tessary::txtPageDes_GotFocus()
{
    selectPageText(*txtPageDes);
}

void Tessary::typePage(ImagingEdit& viewer, QLineEdit& pageBox, std::int16_t key)
{
    // The text as it stands before the key, which goes into the box afterwards whatever
    // happens here. The viewer's errors are passed over without a word.
    const QString text = pageBox.text();
    if (NumericText::isNumber(text)) {
        if (key != enterKey || viewer.image().isEmpty())
            return;
        try {
            viewer.setPage(text);
            viewer.fitTo(ImagingEdit::FitWholePage);
            viewer.display();
        } catch (const ImagingError& error) {
            // A page the viewer cannot show puts the box back to the page it shows.
            if (error.number == ImagingError::CannotShowPage && !pageBox.text().isEmpty())
                pageBox.setText(QString::number(viewer.page()));
        }
    } else if (!text.isEmpty()) {
        pageBox.setText(viewer.image().isEmpty() ? QString() : QString::number(viewer.page()));
    }
}

void Tessary::txtPageSrc_KeyPress(std::int16_t key)
{
    typePage(*imgSrc, *txtPageSrc, key);
}

void Tessary::txtPageDes_KeyPress(std::int16_t key)
{
    typePage(*imgDes, *txtPageDes, key);
}

void Tessary::cmdZoomIn_Click()
{
    mdlFunctions::ZoomIn(*imgSrc);
}

void Tessary::cmdZoomIn_ImgDes_Click()
{
    mdlFunctions::ZoomIn(*imgDes);
}

void Tessary::cmdZoomOut_Click()
{
    mdlFunctions::ZoomOut(*imgSrc);
}

void Tessary::cmdZoomOut_ImgDes_Click()
{
    mdlFunctions::ZoomOut(*imgDes);
}

void Tessary::cmdReset_Click()
{
    mdlFunctions::ResetView(*imgSrc);
}

void Tessary::cmdReset_ImgDes_Click()
{
    mdlFunctions::ResetView(*imgDes);
}

void Tessary::imgSrc_SelectionRectDrawn(std::int32_t left, std::int32_t top, std::int32_t width,
                                        std::int32_t height)
{
    if (std::int64_t(left) + top + width + height != 0)
        mdlFunctions::ZoomToSelection(*imgSrc);
}

void Tessary::imgDes_SelectionRectDrawn(std::int32_t left, std::int32_t top, std::int32_t width,
                                        std::int32_t height)
{
    if (std::int64_t(left) + top + width + height != 0)
        mdlFunctions::ZoomToSelection(*imgDes);
}

bool Tessary::isKeyShortcut(std::int16_t keyCode, std::int16_t shift)
{
    if (shift != VirtualKey::CtrlMask && shift != VirtualKey::AltMask)
        return false;
    switch (keyCode) {
    case VirtualKey::Add:
    case VirtualKey::Subtract:
    case VirtualKey::Multiply:
    case VirtualKey::Divide:
    case VirtualKey::Numpad2:
    case VirtualKey::Numpad4:
    case VirtualKey::Numpad6:
    case VirtualKey::Numpad8:
    case VirtualKey::Insert:
        return true;
    default:
        return false;
    }
}

void Tessary::Form_KeyUp(std::int16_t keyCode, std::int16_t shift)
{
    // Ctrl alone acts on the source pane, Alt alone on the destination pane.
    const bool source = shift == VirtualKey::CtrlMask;
    if (!source && shift != VirtualKey::AltMask)
        return;
    ImagingEdit& viewer = source ? *imgSrc : *imgDes;
    switch (keyCode) {
    case VirtualKey::Add:
        mdlFunctions::ZoomIn(viewer);
        break;
    case VirtualKey::Subtract:
        mdlFunctions::ZoomOut(viewer);
        break;
    case VirtualKey::Numpad2:
        mdlFunctions::ScrollView(viewer, ImagingEdit::ScrollDown, mdlFunctions::ScrollStep);
        break;
    case VirtualKey::Numpad8:
        mdlFunctions::ScrollView(viewer, ImagingEdit::ScrollUp, mdlFunctions::ScrollStep);
        break;
    case VirtualKey::Numpad6:
        mdlFunctions::ScrollView(viewer, ImagingEdit::ScrollRight, mdlFunctions::ScrollStep);
        break;
    case VirtualKey::Numpad4:
        mdlFunctions::ScrollView(viewer, ImagingEdit::ScrollLeft, mdlFunctions::ScrollStep);
        break;
    case VirtualKey::Divide:
        if (source)
            mdlFunctions::ResetView(viewer);
        break;
    case VirtualKey::Multiply:
        if (!source)
            mdlFunctions::ResetView(viewer);
        break;
    case VirtualKey::Insert:
        if (source)
            cmdSwap_Click();
        else
            cmdRange_Click();
        break;
    default:
        break;
    }
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

void Tessary::runPageOperation(Slot slot, const std::function<void(Tessary&)>& operation)
{
    if (m_pageOperationRunning) {
        m_waitingOperations.append(slot);
        return;
    }
    {
        const QScopedValueRollback running(m_pageOperationRunning, true);
        const auto startWaiting = qScopeGuard([this] {
            // A close asked for meanwhile comes first: the window closes as soon as this
            // operation has ended, and the operations still waiting are not started.
            if (m_closeRequested) {
                m_waitingOperations.clear();
                QMetaObject::invokeMethod(
                    this, [this] { close(); }, Qt::QueuedConnection);
                return;
            }
            // Each in an event of its own, after this one has ended.
            for (const Slot waiting : std::exchange(m_waitingOperations, {}))
                QMetaObject::invokeMethod(
                    this,
                    [this, waiting] {
                        EventBoundary::run(messageBoxes(), this,
                                           [this, waiting] { (this->*waiting)(); });
                    },
                    Qt::QueuedConnection);
        });
        // Whatever the operation left in them, the page boxes show the pages the panes show;
        // a pane that was empty before keeps its box as it was.
        const bool wereShown[] = {!imgSrc->image().isEmpty(), !imgDes->image().isEmpty()};
        const auto mirrorPages = qScopeGuard([this, wereShown] {
            const std::pair<ImagingEdit*, QLineEdit*> panes[] = {{imgSrc, txtPageSrc},
                                                                 {imgDes, txtPageDes}};
            for (std::size_t i = 0; i < 2; ++i) {
                const auto [viewer, box] = panes[i];
                const QString page =
                    viewer->image().isEmpty() ? QString() : QString::number(viewer->page());
                if ((wereShown[i] || !page.isEmpty()) && box->text() != page)
                    box->setText(page);
            }
        });
        if (operation)
            operation(*this);
    }
}

void Tessary::cmdSwap_Click()
{
    runPageOperation(&Tessary::cmdSwap_Click, m_services.pageOperations.cmdSwap_Click);
}

void Tessary::cmdRange_Click()
{
    runPageOperation(&Tessary::cmdRange_Click, m_services.pageOperations.cmdRange_Click);
}

void Tessary::cmdDelPage_Click()
{
    runPageOperation(&Tessary::cmdDelPage_Click, m_services.pageOperations.cmdDelPage_Click);
}

void Tessary::cmdReorder_Click()
{
    runPageOperation(&Tessary::cmdReorder_Click, m_services.pageOperations.cmdReorder_Click);
}

void Tessary::mnuRotateRight_Click()
{
    runPageOperation(&Tessary::mnuRotateRight_Click, [](Tessary& window) {
        if (const auto& rotate = window.m_services.pageOperations.mnuRotate_Click)
            rotate(window, 1);
    });
}

void Tessary::mnuRotateLeft_Click()
{
    runPageOperation(&Tessary::mnuRotateLeft_Click, [](Tessary& window) {
        if (const auto& rotate = window.m_services.pageOperations.mnuRotate_Click)
            rotate(window, 3);
    });
}

void Tessary::mnuRotate180_Click()
{
    runPageOperation(&Tessary::mnuRotate180_Click, [](Tessary& window) {
        if (const auto& rotate = window.m_services.pageOperations.mnuRotate_Click)
            rotate(window, 2);
    });
}

void Tessary::mnuRotatePages_Click()
{
    runPageOperation(&Tessary::mnuRotatePages_Click,
                     m_services.pageOperations.mnuRotatePages_Click);
}

void Tessary::mnuUndo_Click()
{
    runPageOperation(&Tessary::mnuUndo_Click,
                     [](Tessary& window) { window.takeHistoryStep(true); });
}

void Tessary::mnuRedo_Click()
{
    runPageOperation(&Tessary::mnuRedo_Click,
                     [](Tessary& window) { window.takeHistoryStep(false); });
}

void Tessary::mnuInterleave_Click()
{
    runPageOperation(&Tessary::mnuInterleave_Click, m_services.pageOperations.mnuInterleave_Click);
}

void Tessary::mnuSplit_Click()
{
    runPageOperation(&Tessary::mnuSplit_Click, m_services.pageOperations.mnuSplit_Click);
}

void Tessary::mnuMerge_Click()
{
    runPageOperation(&Tessary::mnuMerge_Click, m_services.pageOperations.mnuMerge_Click);
}

void Tessary::takeHistoryStep(bool undo)
{
    if (!history())
        return;
    QList<UndoHistory::File> files;
    try {
        files =
            undo ? history()->undo(&m_services.progress) : history()->redo(&m_services.progress);
    } catch (const ImagingError& error) {
        messageBoxes().show(this, error.message, AppTitle, MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    // Each file changed is shown again: read afresh in the pane that shows it, at the page
    // it showed while there is one; opened in the pane it was changed in when neither shows
    // it; a file taken away leaves its pane empty.
    for (const UndoHistory::File& file : files) {
        const auto shows = [&](const ImagingEdit* viewer) {
            return !viewer->image().isEmpty() && realFile(viewer->image()) == file.path;
        };
        const bool inSource = shows(imgSrc);
        const bool source = inSource || (!shows(imgDes) && file.pane == mdlFunctions::PaneSrc);
        ImagingEdit& viewer = source ? *imgSrc : *imgDes;
        QLineEdit& pageBox = source ? *txtPageSrc : *txtPageDes;
        const QString& pane = source ? mdlFunctions::PaneSrc : mdlFunctions::PaneDes;
        if (!shows(&viewer)) {
            if (file.exists)
                EventBoundary::run(messageBoxes(), this, [&] {
                    source ? openSource(file.path) : openDestination(file.path);
                });
            continue;
        }
        const std::int32_t page = viewer.page();
        viewer.clearDisplay();
        viewer.setImage(file.exists ? viewer.image() : QString());
        if (file.exists) {
            if (page >= 1 && page <= viewer.pageCount())
                viewer.setPage(page);
            viewer.fitTo(ImagingEdit::FitWholePage);
            viewer.display();
        }
        pageBox.setText(file.exists ? QString::number(viewer.page()) : QString());
        mdlFunctions::UpdatePaneCaption(*this, pane);
    }
    TiffFileList->refresh();
}

void Tessary::updateHistoryItems()
{
    const UndoHistory* kept = history();
    mnuUndo->setText(menuText(kept ? kept->undoText() : QStringLiteral("Undo")));
    mnuUndo->setEnabled(kept && kept->canUndo());
    mnuUndo->setToolTip(kept ? kept->problem() : QString());
    mnuRedo->setText(menuText(kept ? kept->redoText() : QStringLiteral("Redo")));
    mnuRedo->setEnabled(kept && kept->canRedo());
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
    // A page operation may be writing a file or using the working files that unloading
    // tidies away: the window waits for it and closes when it has ended.
    if (m_pageOperationRunning) {
        m_closeRequested = true;
        event->ignore();
        return;
    }
    m_closeRequested = false;
    if (!m_unloaded) {
        m_unloaded = true;
        Form_Unload();
    }
    event->accept();
}

void Tessary::Form_MouseMove()
{
    // With the page strips the window may take any size.
    if (mnuPageStrips->isChecked())
        return;
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

void Tessary::mnuPageStrips_Click()
{
    const bool shown = mnuPageStrips->isChecked();
    settings().write(SettingsStore::PageStrips,
                     shown ? QStringLiteral("Yes") : QStringLiteral("No"));
    showStrips(shown);
}

void Tessary::showStrips(bool shown)
{
    if (!m_strips && shown)
        m_strips = std::make_unique<PaneStrips>(
            *this, *m_client, m_services.pageOperations,
            [this](const std::function<void(Tessary&)>& gesture) { runStripOperation(gesture); });
    if (m_strips)
        m_strips->setShown(shown);
}

void Tessary::runStripOperation(const std::function<void(Tessary&)>& gesture)
{
    if (!m_pageOperationRunning)
        runPageOperation(nullptr, gesture);
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
