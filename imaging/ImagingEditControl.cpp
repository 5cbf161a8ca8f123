#include "ImagingEditControl.h"

#include "EngineCall.h"
#include "EngineError.h"
#include "ImagingError.h"
#include "NumericText.h"
#include "PageEngine.h"
#include "TiffDocument.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace tessary {

namespace {

// Scroll ranges and page sizes stay well inside int.
constexpr double largestExtent = 1 << 30;
// A page shrunk for the view is kept scaled while it stays below this many pixels.
constexpr double largestScaledPixels = 64.0 * 1024 * 1024;
constexpr int scrollStep = 20;

// The decoded page as a QImage. Its pixels are taken over rather than copied when their
// rows suit QImage (each a whole number of 32-bit words), which spares a large page a
// second buffer.
QImage toQImage(PageImage&& page)
{
    const bool grey = page.format == PageImage::Format::Grey8;
    const QImage::Format format =
        grey ? QImage::Format_Grayscale8 : QImage::Format_RGBA8888_Premultiplied;
    const std::size_t stride = page.stride();
    if (stride % 4 == 0 && stride <= std::size_t(std::numeric_limits<int>::max())) {
        auto* pixels = new std::vector<std::uint8_t>(std::move(page.pixels));
        QImage image(
            pixels->data(), int(page.width), int(page.height), qsizetype(stride), format,
            [](void* held) { delete static_cast<std::vector<std::uint8_t>*>(held); }, pixels);
        if (image.isNull()) {
            delete pixels;
            throw std::bad_alloc();
        }
        return image;
    }
    QImage image(int(page.width), int(page.height), format);
    if (image.isNull())
        throw std::bad_alloc();
    for (std::uint32_t y = 0; y < page.height; ++y)
        std::memcpy(image.scanLine(int(y)), page.row(y), stride);
    return image;
}

// The image shrunk to size by area averaging. The whole factors are taken first by
// averaging blocks of pixels (fast, and exact for a scan's black and white), the small
// rest by Qt's smooth scaling.
QImage shrunkForView(const QImage& image, QSize size)
{
    const int width = image.width();
    const int height = image.height();
    const int kx = std::max(1, width / size.width());
    const int ky = std::max(1, height / size.height());
    const bool averaged = image.format() == QImage::Format_Grayscale8 ||
                          image.format() == QImage::Format_RGBA8888_Premultiplied;
    if (!averaged || kx * std::int64_t(ky) < 4)
        return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const int channels = image.format() == QImage::Format_Grayscale8 ? 1 : 4;
    const int outWidth = (width + kx - 1) / kx;
    const int outHeight = (height + ky - 1) / ky;
    QImage blocks(outWidth, outHeight, image.format());
    if (blocks.isNull())
        return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    std::vector<std::uint64_t> sums(std::size_t(outWidth) * std::size_t(channels));
    for (int oy = 0; oy < outHeight; ++oy) {
        std::fill(sums.begin(), sums.end(), 0);
        const int top = oy * ky;
        const int bottom = std::min(height, top + ky);
        for (int y = top; y < bottom; ++y) {
            const uchar* row = image.constScanLine(y);
            for (int ox = 0; ox < outWidth; ++ox) {
                const int left = ox * kx;
                const int right = std::min(width, left + kx);
                for (int c = 0; c < channels; ++c) {
                    std::uint64_t sum = 0;
                    for (int x = left; x < right; ++x)
                        sum += row[std::size_t(x) * channels + c];
                    sums[std::size_t(ox) * channels + c] += sum;
                }
            }
        }
        uchar* out = blocks.scanLine(oy);
        for (int ox = 0; ox < outWidth; ++ox) {
            const std::uint64_t count = std::uint64_t(std::min(width, ox * kx + kx) - ox * kx) *
                                        std::uint64_t(bottom - top);
            for (int c = 0; c < channels; ++c) {
                const std::size_t at = std::size_t(ox) * channels + c;
                out[at] = uchar((sums[at] + count / 2) / count);
            }
        }
    }
    if (blocks.size() == size)
        return blocks;
    return blocks.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Screen height of an image pixel over its width, from the page's resolutions.
double aspectOf(double xDpi, double yDpi)
{
    if (!(xDpi > 0) || !(yDpi > 0))
        return 1.0;
    return std::clamp(xDpi / yDpi, 0.1, 10.0);
}

QString noPageText(const QString& fileName, std::int32_t page, std::int32_t count)
{
    return QStringLiteral("Page %1 of %2 cannot be shown: the file has %3 page(s).")
        .arg(page)
        .arg(fileName)
        .arg(count);
}

} // namespace

ImagingEditControl::ImagingEditControl(QWidget* parent, ProgressService* progress)
    : ImagingEdit(parent)
    , m_progress(progress)
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::ClickFocus);
    viewport()->setCursor(Qt::CrossCursor);
    viewport()->setBackgroundRole(QPalette::Mid);
    viewport()->setAutoFillBackground(true);
    // Remarks on the page shown (a reduced size, damage) stand in a bar above the view,
    // where they cover none of the page.
    m_noteBar = new QLabel(this);
    m_noteBar->setWordWrap(true);
    m_noteBar->setIndent(4);
    m_noteBar->setAutoFillBackground(true);
    m_noteBar->setBackgroundRole(QPalette::ToolTipBase);
    m_noteBar->setForegroundRole(QPalette::ToolTipText);
    m_noteBar->hide();
}

ImagingEditControl::~ImagingEditControl() = default;

void ImagingEditControl::setImage(const QString& fileName)
{
    m_document.reset();
    m_fileName = fileName;
    m_openProblem.clear();
    m_pageListNote.clear();
    m_page = 0;
    m_refusedPage.reset();
    m_image = QImage();
    m_scaled = QImage();
    m_decodedPage = 0;
    m_shape = {};
    m_pageProblem.clear();
    m_damageNote.clear();
    m_displayed = false;
    m_selection = QRect();
    m_dragStart.reset();
    if (!fileName.isEmpty()) {
        try {
            m_document = TiffDocument::open(EngineCall::toPath(fileName));
            m_page = m_document->pageCount() > 0 ? 1 : 0;
            m_pageListNote = QString::fromStdString(m_document->pageListProblem());
        } catch (const EngineError& error) {
            m_document.reset();
            m_openProblem = QString::fromStdString(error.what());
        } catch (const std::bad_alloc&) {
            m_document.reset();
            m_openProblem = QStringLiteral("There is not enough memory to open %1.").arg(fileName);
        } catch (const std::exception&) {
            m_document.reset();
            m_openProblem = QStringLiteral("%1 cannot be read.").arg(fileName);
        }
    }
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    updateScrollBars();
    showNotice();
    viewport()->update();
    emit viewChanged();
}

std::int32_t ImagingEditControl::pageCount() const
{
    return m_document ? m_document->pageCount() : 0;
}

std::optional<FileStamp> ImagingEditControl::stamp() const
{
    if (!m_document)
        return std::nullopt;
    return m_document->stamp();
}

void ImagingEditControl::setPage(std::int32_t page)
{
    if (pageCount() == 0)
        return;
    if (page < 1 || page > pageCount()) {
        m_refusedPage = page;
        return;
    }
    m_refusedPage.reset();
    m_page = page;
}

void ImagingEditControl::setPage(const QString& text)
{
    const std::optional<std::int32_t> page = NumericText::readWhole(text);
    if (!page)
        throw ImagingError(ImagingError::InvalidArgument,
                           QStringLiteral("\"%1\" is not a page number.").arg(text));
    // Numbers past the range of pages stay out of range after the conversion.
    setPage(*page);
}

void ImagingEditControl::display()
{
    if (m_refusedPage) {
        const std::int32_t refused = *m_refusedPage;
        m_refusedPage.reset();
        throw ImagingError(ImagingError::CannotShowPage,
                           noPageText(m_fileName, refused, pageCount()));
    }
    if (m_document && m_page >= 1 && (m_decodedPage != m_page || m_image.isNull())) {
        m_image = QImage();
        m_scaled = QImage();
        m_pageProblem.clear();
        m_damageNote.clear();
        try {
            std::string damage;
            // A page too large to hold in full is decoded shrunk rather than refused.
            DecodeLimits limits;
            limits.scaleToFit = true;
            PageImage page = m_document->decode(m_page, limits, &damage);
            m_image = toQImage(std::move(page));
            m_imageScale = std::max<std::uint32_t>(page.scale, 1);
            m_shape = {double(page.width) * m_imageScale, double(page.height) * m_imageScale,
                       aspectOf(page.xDpi, page.yDpi)};
            m_damageNote = QString::fromStdString(damage);
            if (m_imageScale > 1) {
                const QString shrunk =
                    QStringLiteral("Page %1 is too large to show in full; it is shown at 1/%2 "
                                   "of its size.")
                        .arg(m_page)
                        .arg(m_imageScale);
                m_damageNote = m_damageNote.isEmpty() ? shrunk : shrunk + u'\n' + m_damageNote;
            }
        } catch (const EngineError& error) {
            m_pageProblem = QString::fromStdString(error.what());
        } catch (const std::bad_alloc&) {
            m_image = QImage();
            m_pageProblem =
                QStringLiteral("There is not enough memory to show page %1.").arg(m_page);
        } catch (const std::exception&) {
            m_image = QImage();
            m_pageProblem = QStringLiteral("Page %1 cannot be read.").arg(m_page);
        }
        m_decodedPage = m_page;
        m_selection = QRect();
    }
    m_displayed = true;
    showNotice();
    if (m_fitted && !m_image.isNull())
        applyFit(m_shape);
    updateScrollBars();
    viewport()->update();
    emit viewChanged();
}

void ImagingEditControl::clearDisplay()
{
    m_displayed = false;
    showNotice();
    viewport()->update();
}

void ImagingEditControl::refresh()
{
    viewport()->update();
}

void ImagingEditControl::redraw()
{
    viewport()->update();
}

std::optional<ImagingEditControl::PageShape> ImagingEditControl::currentShape() const
{
    if (!m_image.isNull() && m_decodedPage == m_page)
        return m_shape;
    if (!m_document || m_page < 1)
        return std::nullopt;
    try {
        const PageInfo info = m_document->pageInfo(m_page);
        const bool transposed = info.orientation >= 5 && info.orientation <= 8;
        PageShape shape;
        shape.width = transposed ? info.height : info.width;
        shape.height = transposed ? info.width : info.height;
        shape.aspect = transposed ? aspectOf(info.yResolution, info.xResolution)
                                  : aspectOf(info.xResolution, info.yResolution);
        if (shape.width < 1 || shape.height < 1)
            return std::nullopt;
        return shape;
    } catch (const EngineError&) {
        return std::nullopt;
    }
}

void ImagingEditControl::applyFit(const PageShape& shape)
{
    const QSize room = maximumViewportSize();
    if (room.width() < 1 || room.height() < 1)
        return;
    const double byWidth = room.width() / shape.width;
    const double byHeight = room.height() / (shape.height * shape.aspect);
    const double percent = std::min(byWidth, byHeight) * 100.0;
    m_zoom = float(std::clamp(percent, 1e-6, double(maxZoom)));
    m_scaled = QImage();
}

void ImagingEditControl::fitTo(std::int16_t option, bool redraw)
{
    if (option != FitWholePage)
        throw ImagingError(ImagingError::InvalidArgument,
                           QStringLiteral("The viewer has no fit option %1.").arg(option));
    m_fitted = true;
    if (const std::optional<PageShape> shape = currentShape())
        applyFit(*shape);
    if (redraw) {
        updateScrollBars();
        viewport()->update();
    }
}

void ImagingEditControl::setZoom(float percent)
{
    if (!(percent > 0.0f) || percent > maxZoom)
        throw ImagingError(ImagingError::InvalidArgument,
                           QStringLiteral("%1 is not a zoom the viewer can show.").arg(percent));
    m_fitted = false;
    const QPointF centre(viewport()->width() / 2.0, viewport()->height() / 2.0);
    zoomAround(percent, toImage(centre));
}

void ImagingEditControl::zoomAround(double percent, QPointF imagePoint)
{
    if (float(percent) != m_zoom)
        m_scaled = QImage();
    m_zoom = float(percent);
    updateScrollBars();
    // The image point goes to the middle of the view, as far as the scroll bars allow.
    horizontalScrollBar()->setValue(
        int(std::lround(imagePoint.x() * scaleX() - viewport()->width() / 2.0)));
    verticalScrollBar()->setValue(
        int(std::lround(imagePoint.y() * scaleY() - viewport()->height() / 2.0)));
    viewport()->update();
}

void ImagingEditControl::scroll(std::int16_t direction, std::int32_t amount)
{
    QScrollBar* bar = nullptr;
    int sign = 1;
    switch (direction) {
    case ScrollDown:
        bar = verticalScrollBar();
        break;
    case ScrollUp:
        bar = verticalScrollBar();
        sign = -1;
        break;
    case ScrollRight:
        bar = horizontalScrollBar();
        break;
    case ScrollLeft:
        bar = horizontalScrollBar();
        sign = -1;
        break;
    default:
        throw ImagingError(
            ImagingError::InvalidArgument,
            QStringLiteral("The viewer cannot scroll in direction %1.").arg(direction));
    }
    const qint64 target = qint64(bar->value()) + qint64(sign) * amount;
    bar->setValue(int(std::clamp<qint64>(target, bar->minimum(), bar->maximum())));
}

void ImagingEditControl::setSelectionRect(std::int32_t left, std::int32_t top, std::int32_t width,
                                          std::int32_t height)
{
    if (left == 0 && top == 0 && width == 0 && height == 0)
        m_selection = QRect();
    else
        m_selection = QRect(left, top, width, height).normalized();
    viewport()->update();
}

void ImagingEditControl::zoomToSelection()
{
    if (m_selection.isEmpty() || m_image.isNull())
        return;
    // Zoomed in, both scroll bars may show; the rectangle must fit beside them.
    QSize room = maximumViewportSize();
    room -=
        QSize(verticalScrollBar()->sizeHint().width(), horizontalScrollBar()->sizeHint().height());
    if (room.width() < 1 || room.height() < 1)
        return;
    const double byWidth = room.width() / double(m_selection.width());
    const double byHeight = room.height() / (m_selection.height() * m_shape.aspect);
    const double percent = std::clamp(std::min(byWidth, byHeight) * 100.0, 1e-6, double(maxZoom));
    m_fitted = false;
    zoomAround(percent, QRectF(m_selection).center());
}

QSizeF ImagingEditControl::pageSizeInView() const
{
    return QSizeF(std::min(m_shape.width * scaleX(), largestExtent),
                  std::min(m_shape.height * scaleY(), largestExtent));
}

QPointF ImagingEditControl::pageOrigin() const
{
    const QSizeF size = pageSizeInView();
    const QSize view = viewport()->size();
    const double x = size.width() < view.width() ? (view.width() - size.width()) / 2.0
                                                 : -horizontalScrollBar()->value();
    const double y = size.height() < view.height() ? (view.height() - size.height()) / 2.0
                                                   : -verticalScrollBar()->value();
    return {std::floor(x), std::floor(y)};
}

QPointF ImagingEditControl::toImage(QPointF viewportPoint) const
{
    const QPointF origin = pageOrigin();
    return {(viewportPoint.x() - origin.x()) / scaleX(),
            (viewportPoint.y() - origin.y()) / scaleY()};
}

QRectF ImagingEditControl::toViewport(const QRectF& imageRect) const
{
    const QPointF origin = pageOrigin();
    return {origin.x() + imageRect.x() * scaleX(), origin.y() + imageRect.y() * scaleY(),
            imageRect.width() * scaleX(), imageRect.height() * scaleY()};
}

void ImagingEditControl::updateScrollBars()
{
    const bool page = m_displayed && !m_image.isNull();
    const QSizeF size = page ? pageSizeInView() : QSizeF();
    const QSize view = viewport()->size();
    // A page that fills the view exactly needs no scrolling, whatever the rounding.
    const auto extent = [](double length) {
        return int(std::ceil(length - 0.01));
    };
    // A page that fits the view without scroll bars gets none, also while bars shown for a
    // larger zoom still take room from the view.
    const QSize room = maximumViewportSize();
    const bool fits =
        extent(size.width()) <= room.width() && extent(size.height()) <= room.height();
    horizontalScrollBar()->setRange(0, fits ? 0 : std::max(0, extent(size.width()) - view.width()));
    verticalScrollBar()->setRange(0, fits ? 0 : std::max(0, extent(size.height()) - view.height()));
    horizontalScrollBar()->setPageStep(std::max(1, view.width()));
    verticalScrollBar()->setPageStep(std::max(1, view.height()));
    horizontalScrollBar()->setSingleStep(scrollStep);
    verticalScrollBar()->setSingleStep(scrollStep);
}

QString ImagingEditControl::notice() const
{
    if (!m_displayed)
        return {};
    if (!m_openProblem.isEmpty())
        return m_openProblem;
    if (!m_pageProblem.isEmpty() && m_decodedPage == m_page)
        return m_pageProblem;
    QStringList notes;
    if (!m_damageNote.isEmpty())
        notes.append(m_damageNote);
    if (!m_pageListNote.isEmpty())
        notes.append(m_pageListNote);
    return notes.join(QLatin1Char(' '));
}

void ImagingEditControl::showNotice()
{
    const QString text = notice();
    // Screen readers read what the view says in words.
    setAccessibleDescription(text);
    const bool bar = !text.isEmpty() && !m_image.isNull();
    m_noteBar->setText(bar ? text : QString());
    m_noteBar->setVisible(bar);
    setViewportMargins(0, bar ? fontMetrics().height() * 2 + 8 : 0, 0, 0);
    placeNoteBar();
}

void ImagingEditControl::placeNoteBar()
{
    const QRect inside = contentsRect();
    m_noteBar->setGeometry(inside.left(), inside.top(), inside.width(), viewportMargins().top());
}

void ImagingEditControl::resizeEvent(QResizeEvent* event)
{
    ImagingEdit::resizeEvent(event);
    placeNoteBar();
    if (m_fitted && !m_image.isNull())
        applyFit(m_shape);
    updateScrollBars();
}

void ImagingEditControl::scrollContentsBy(int, int)
{
    viewport()->update();
}

void ImagingEditControl::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    if (!m_displayed)
        return;
    if (!m_image.isNull()) {
        drawPage(painter);
    }
    const QString text = notice();
    if (!text.isEmpty() && m_image.isNull()) {
        // In place of the page: the reason, in the middle of the view, in the colour the
        // palette gives text on the window, light and dark themes alike.
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(viewport()->rect().adjusted(8, 8, -8, -8),
                         Qt::AlignCenter | Qt::TextWordWrap, text);
    }
}

void ImagingEditControl::drawPage(QPainter& painter)
{
    const QRectF target(pageOrigin(), pageSizeInView());
    const QRectF visible = target.intersected(QRectF(viewport()->rect()));
    if (visible.isEmpty())
        return;
    painter.fillRect(visible, Qt::white);
    // The page is made for the screen's own pixels, which a fine screen has more of than
    // the window has pixels.
    const double ratio = viewport()->devicePixelRatioF();
    const QSize scaledSize(int(std::lround(target.width() * ratio)),
                           int(std::lround(target.height() * ratio)));
    const bool shrinking = scaleX() * ratio < 1.0 || scaleY() * ratio < 1.0;
    if (shrinking && double(scaledSize.width()) * scaledSize.height() <= largestScaledPixels &&
        !scaledSize.isEmpty()) {
        // Area averaging: every screen pixel takes the mean of the image pixels it covers.
        if (m_scaled.size() != scaledSize) {
            m_scaled = shrunkForView(m_image, scaledSize);
            m_scaled.setDevicePixelRatio(ratio);
        }
        const QRectF source((visible.topLeft() - target.topLeft()) * ratio, visible.size() * ratio);
        painter.drawImage(visible, m_scaled, source);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        // In image pixels: page pixels over the factor the page was decoded shrunk by.
        const double shrink = double(m_imageScale);
        const QRectF source((visible.x() - target.x()) / scaleX() / shrink,
                            (visible.y() - target.y()) / scaleY() / shrink,
                            visible.width() / scaleX() / shrink,
                            visible.height() / scaleY() / shrink);
        painter.drawImage(visible, m_image, source);
    }

    QRectF selection;
    if (m_dragStart)
        selection = QRectF(QPointF(*m_dragStart), QPointF(m_dragEnd)).normalized();
    else if (!m_selection.isEmpty())
        selection = toViewport(QRectF(m_selection));
    if (!selection.isEmpty()) {
        const QRectF outline = selection.adjusted(0.5, 0.5, -0.5, -0.5);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(Qt::white, 1));
        painter.drawRect(outline);
        painter.setPen(QPen(Qt::black, 1, Qt::DashLine));
        painter.drawRect(outline);
    }
}

void ImagingEditControl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_displayed || m_image.isNull()) {
        ImagingEdit::mousePressEvent(event);
        return;
    }
    m_dragStart = event->position().toPoint();
    m_dragEnd = *m_dragStart;
    viewport()->update();
}

void ImagingEditControl::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragStart) {
        ImagingEdit::mouseMoveEvent(event);
        return;
    }
    m_dragEnd = event->position().toPoint();
    viewport()->update();
}

void ImagingEditControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragStart || event->button() != Qt::LeftButton) {
        ImagingEdit::mouseReleaseEvent(event);
        return;
    }
    m_dragEnd = event->position().toPoint();
    const QRectF drawn = QRectF(QPointF(*m_dragStart), QPointF(m_dragEnd)).normalized();
    m_dragStart.reset();
    // In image pixels, every pixel the rectangle touches, within the page.
    const QPointF topLeft = toImage(drawn.topLeft());
    const QPointF bottomRight = toImage(drawn.bottomRight());
    const int left = std::clamp(int(std::floor(topLeft.x())), 0, int(m_shape.width));
    const int top = std::clamp(int(std::floor(topLeft.y())), 0, int(m_shape.height));
    const int right = std::clamp(int(std::ceil(bottomRight.x())), 0, int(m_shape.width));
    const int bottom = std::clamp(int(std::ceil(bottomRight.y())), 0, int(m_shape.height));
    if (drawn.width() < 2 || drawn.height() < 2 || right <= left || bottom <= top) {
        // A click without a drag removes the rectangle.
        m_selection = QRect();
        viewport()->update();
        return;
    }
    m_selection = QRect(left, top, right - left, bottom - top);
    viewport()->update();
    emit selectionRectDrawn(m_selection.left(), m_selection.top(), m_selection.width(),
                            m_selection.height());
}

void ImagingEditControl::saveAs(const QString& fileName, UndoKeeping* keep)
{
    if (!m_document)
        throw ImagingError(ImagingError::NoFile, QStringLiteral("No file is loaded to save."));
    const std::int32_t count = m_document->pageCount();
    OperationOptions expected;
    expected.expectSource = m_document->stamp();
    expected.keep = keep;
    const std::filesystem::path source = m_document->path();
    EngineCall::run(
        [&](const OperationOptions& options) {
            PageEngine().extractPages(source, 1, count, EngineCall::toPath(fileName), options);
        },
        expected, m_progress, EngineCall::writingLabel(fileName));
}

void ImagingEditControl::saveImage(const QString& fileName, std::int32_t count)
{
    if (!m_document || m_page < 1)
        throw ImagingError(ImagingError::NoFile, QStringLiteral("No page is loaded to save."));
    OperationOptions expected;
    expected.expectSource = m_document->stamp();
    const std::filesystem::path source = m_document->path();
    const std::int32_t first = m_page;
    EngineCall::run(
        [&](const OperationOptions& options) {
            PageEngine().extractPages(source, first, count, EngineCall::toPath(fileName), options);
        },
        expected, m_progress, EngineCall::writingLabel(fileName));
}

} // namespace tessary
