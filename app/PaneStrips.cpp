#include "PaneStrips.h"

#include "EventBoundary.h"
#include "ImagingEdit.h"
#include "ImagingError.h"
#include "PageStrip.h"
#include "Tessary.h"
#include "ThumbnailProvider.h"

#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <cstdlib>

namespace tessary {

namespace {

// The room between the controls above and the strips, and below the strips.
constexpr int gapAbove = 4;
constexpr int gapBelow = 8;

const Qt::WindowFlags resizable = Qt::WindowMaximizeButtonHint;

} // namespace

PaneStrips::PaneStrips(Tessary& window, QWidget& client, const PageOperationHandlers& handlers,
                       Run run)
    : m_window(window)
    , m_client(client)
    , m_handlers(handlers)
    , m_run(std::move(run))
    , m_provider(std::make_unique<ThumbnailProvider>())
{
    m_source = makeStrip(true);
    m_destination = makeStrip(false);
    m_destination->takeDeletes(true);
    m_destination->takeDrops([this](const PageDrag& drag) { return takes(drag); });
    connect(m_destination, &PageStrip::deleteRequested, this,
            [this](const QList<std::int32_t>& pages) {
                if (m_handlers.deleteStripPages)
                    m_run([handler = m_handlers.deleteStripPages, pages](Tessary& window) {
                        handler(window, pages);
                    });
            });
    connect(m_destination, &PageStrip::pagesDropped, this, &PaneStrips::dropped);
    QWidget::setTabOrder(window.cmdBrowseSrc, m_source);
    QWidget::setTabOrder(window.cmdDelPage, m_destination);
    m_client.installEventFilter(this);
}

PaneStrips::~PaneStrips()
{
    // The strips' models leave the provider before it goes.
    delete m_source;
    delete m_destination;
}

PageStrip* PaneStrips::makeStrip(bool source)
{
    auto* strip = new PageStrip(*m_provider, &m_client);
    strip->setObjectName(source ? QStringLiteral("stripSrc") : QStringLiteral("stripDes"));
    strip->setAccessibleName(source ? QStringLiteral("Source pages")
                                    : QStringLiteral("Destination pages"));
    strip->hide();
    ImagingEdit* viewer = source ? m_window.imgSrc : m_window.imgDes;
    connect(viewer, &ImagingEdit::viewChanged, this, [this, source] {
        if (m_shown)
            follow(source);
    });
    connect(strip, &PageStrip::pageChosen, this,
            [this, source](std::int32_t page) { showPage(source, page); });
    return strip;
}

void PaneStrips::follow(bool source)
{
    const ImagingEdit& viewer = source ? *m_window.imgSrc : *m_window.imgDes;
    (source ? m_source : m_destination)
        ->showFile(viewer.image(), viewer.stamp(), viewer.pageCount(), viewer.page());
}

void PaneStrips::showPage(bool source, std::int32_t page)
{
    ImagingEdit& viewer = source ? *m_window.imgSrc : *m_window.imgDes;
    QLineEdit& pageBox = source ? *m_window.txtPageSrc : *m_window.txtPageDes;
    // As a page number typed into the page box: a page the viewer cannot show puts the
    // box back to the page it shows.
    EventBoundary::run(m_window.messageBoxes(), &m_window, [&] {
        try {
            viewer.setPage(page);
            viewer.fitTo(ImagingEdit::FitWholePage);
            viewer.display();
        } catch (const ImagingError& error) {
            if (error.number != ImagingError::CannotShowPage)
                throw;
        }
        pageBox.setText(QString::number(viewer.page()));
        follow(source);
    });
}

bool PaneStrips::takes(const PageDrag& drag) const
{
    const std::optional<FileStamp> destination = m_window.imgDes->stamp();
    const std::optional<FileStamp> source = m_window.imgSrc->stamp();
    return m_window.takesFiles() && destination &&
           (drag.stamp == *destination || (source && drag.stamp == *source));
}

void PaneStrips::dropped(const PageDrag& drag, std::int32_t before, bool copy)
{
    if (!m_handlers.dropStripPages || !takes(drag))
        return;
    StripDrop drop;
    drop.fromSource = !(drag.stamp == *m_window.imgDes->stamp());
    drop.pages = drag.pages;
    drop.before = before;
    drop.copy = copy;
    m_run([handler = m_handlers.dropStripPages, drop](Tessary& window) { handler(window, drop); });
}

void PaneStrips::remember()
{
    if (!m_designed.empty())
        return;
    m_designedClient = m_client.size();
    for (QWidget* control : m_client.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control != m_source && control != m_destination)
            m_designed.emplace_back(control, control->geometry());
    }
}

void PaneStrips::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    remember();
    m_shown = shown;
    const bool visible = m_window.isVisible();
    if (!shown && m_window.isMaximized())
        m_window.showNormal();
    const int band = gapAbove + m_source->stripHeight() + gapBelow;
    const QSize window = m_window.designedSize() + QSize(0, shown ? band : 0);
    m_window.setWindowFlags(
        shown ? (m_window.windowFlags() | resizable) & ~Qt::MSWindowsFixedSizeDialogHint
              : (m_window.windowFlags() & ~resizable) | Qt::MSWindowsFixedSizeDialogHint);
    if (shown) {
        m_client.setMinimumSize(m_designedClient + QSize(0, band));
        m_client.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        m_window.setMinimumSize(window);
        m_window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        m_window.resize(window);
        m_client.resize(m_designedClient + QSize(0, band));
        // The taller window stays on the screen.
        if (const QScreen* screen = m_window.screen()) {
            const QRect room = screen->availableGeometry();
            if (!room.contains(m_window.frameGeometry()))
                m_window.move(room.center() - QPoint(window.width() / 2, window.height() / 2));
        }
        follow(true);
        follow(false);
    } else {
        for (const auto& [control, place] : m_designed) {
            if (control)
                control->setGeometry(place);
        }
        m_client.setFixedSize(m_designedClient);
        m_window.setFixedSize(window);
    }
    m_source->setVisible(shown);
    m_destination->setVisible(shown);
    layOut();
    if (visible)
        m_window.show();
}

bool PaneStrips::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_client && event->type() == QEvent::Resize && m_shown)
        layOut();
    return QObject::eventFilter(watched, event);
}

void PaneStrips::layOut()
{
    if (!m_shown)
        return;
    const int band = gapAbove + m_source->stripHeight() + gapBelow;
    const int wider = std::max(0, m_client.width() - m_designedClient.width());
    const int taller = std::max(0, m_client.height() - m_designedClient.height() - band);
    const int leftWider = wider / 2;
    const int rightWider = wider - leftWider;

    // The columns as designed: the source pane, the controls between the panes (those
    // centred over the page-mode frame), the destination pane; and the viewers' foot.
    QRect middle;
    QRect viewers;
    for (const auto& [control, place] : m_designed) {
        if (control == m_window.fraMode)
            middle = place;
        if (control == m_window.imgSrc || control == m_window.imgDes)
            viewers |= place;
    }
    QRect left;
    QRect right;
    for (const auto& [control, place] : m_designed) {
        if (place.right() < middle.left())
            left |= place;
        else if (place.left() > middle.right())
            right |= place;
    }
    for (const auto& [control, place] : m_designed) {
        if (!control)
            continue;
        QRect moved = place;
        const bool inMiddle = place.right() >= middle.left() && place.left() <= middle.right();
        if (inMiddle) {
            moved.translate(leftWider, taller / 2);
        } else {
            const bool inLeft = place.right() < middle.left();
            const QRect& pane = inLeft ? left : right;
            const int grow = inLeft ? leftWider : rightWider;
            if (!inLeft)
                moved.translate(leftWider, 0);
            // Controls as wide as the pane grow with it; those at its right edge move along.
            const auto near = [](int a, int b) {
                return std::abs(a - b) <= 1;
            };
            if (near(place.left(), pane.left()) && near(place.right(), pane.right()))
                moved.setWidth(place.width() + grow);
            else if (near(place.right(), pane.right()))
                moved.translate(grow, 0);
            if (place.top() >= viewers.bottom())
                moved.translate(0, taller);
            else if (place.bottom() == viewers.bottom())
                moved.setHeight(place.height() + taller);
        }
        control->setGeometry(moved);
    }
    const int top = m_designedClient.height() + taller + gapAbove;
    const int height = m_source->stripHeight();
    m_source->setGeometry(left.left(), top, left.width() + leftWider, height);
    m_destination->setGeometry(right.left() + leftWider, top, right.width() + rightWider, height);
}

} // namespace tessary
