#include "ViewerWindow.h"

#include "ImagingEditControl.h"
#include "ImagingError.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

namespace tessary {

namespace {

const QString title = QStringLiteral("Tessary Viewer");

} // namespace

ViewerWindow::ViewerWindow(QWidget* parent)
    : QMainWindow(parent)
{
    setWindowTitle(title);
    auto* control = new ImagingEditControl(this);
    view = control;
    view->setObjectName(QStringLiteral("view"));
    view->setAccessibleName(QStringLiteral("Page"));
    setCentralWidget(view);

    auto* bar = new QToolBar(QStringLiteral("Pages"), this);
    bar->setMovable(false);
    addToolBar(Qt::TopToolBarArea, bar);
    const auto button = [bar](const QString& caption, const QString& name,
                              const QKeySequence& key) {
        auto* made = new QToolButton(bar);
        made->setText(caption);
        made->setAccessibleName(name);
        made->setToolTip(name + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) +
                         QLatin1Char(')'));
        made->setShortcut(key);
        bar->addWidget(made);
        return made;
    };
    firstPage = button(QStringLiteral("<<"), QStringLiteral("First page"),
                       QKeySequence(Qt::CTRL | Qt::Key_Home));
    previousPage =
        button(QStringLiteral("<"), QStringLiteral("Previous page"), QKeySequence(Qt::Key_PageUp));
    pageBox = new QLineEdit(bar);
    pageBox->setAccessibleName(QStringLiteral("Page number"));
    pageBox->setMaximumWidth(pageBox->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
    bar->addWidget(pageBox);
    pageCount = new QLabel(bar);
    bar->addWidget(pageCount);
    nextPage =
        button(QStringLiteral(">"), QStringLiteral("Next page"), QKeySequence(Qt::Key_PageDown));
    lastPage = button(QStringLiteral(">>"), QStringLiteral("Last page"),
                      QKeySequence(Qt::CTRL | Qt::Key_End));
    bar->addSeparator();
    fitPage = button(QStringLiteral("Fit"), QStringLiteral("Fit the page into the window"),
                     QKeySequence(Qt::CTRL | Qt::Key_0));
    zoomIn =
        button(QStringLiteral("+"), QStringLiteral("Zoom in"), QKeySequence(QKeySequence::ZoomIn));
    zoomOut = button(QStringLiteral("-"), QStringLiteral("Zoom out"),
                     QKeySequence(QKeySequence::ZoomOut));

    connect(firstPage, &QToolButton::clicked, this, [this] { showPage(1); });
    connect(previousPage, &QToolButton::clicked, this, [this] { showPage(view->page() - 1); });
    connect(nextPage, &QToolButton::clicked, this, [this] { showPage(view->page() + 1); });
    connect(lastPage, &QToolButton::clicked, this, [this] { showPage(view->pageCount()); });
    connect(pageBox, &QLineEdit::returnPressed, this, &ViewerWindow::goToTypedPage);
    connect(fitPage, &QToolButton::clicked, this, &ViewerWindow::fit);
    connect(zoomIn, &QToolButton::clicked, this, [this] { zoomBy(zoomStep); });
    connect(zoomOut, &QToolButton::clicked, this, [this] { zoomBy(1.0f / zoomStep); });

    // A page in portrait, as tall as the screen allows.
    QSize size(640, 860);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size);
    updateControls();
}

void ViewerWindow::openFile(const QString& fileName, std::int32_t page)
{
    view->setImage(fileName);
    setWindowTitle(QFileInfo(fileName).fileName() + QStringLiteral(" - ") + title);
    view->fitTo(ImagingEdit::FitWholePage);
    view->setPage(page >= 1 && page <= view->pageCount() ? page : 1);
    view->display();
    updateControls();
}

void ViewerWindow::showPage(std::int32_t page)
{
    if (page >= 1 && page <= view->pageCount() && page != view->page()) {
        view->setPage(page);
        view->display();
    }
    updateControls();
}

void ViewerWindow::goToTypedPage()
{
    bool ok = false;
    const int typed = pageBox->text().toInt(&ok);
    // A page the file does not have puts the box back to the page shown.
    showPage(ok ? typed : 0);
}

void ViewerWindow::fit()
{
    view->fitTo(ImagingEdit::FitWholePage);
}

void ViewerWindow::zoomBy(float factor)
{
    if (view->pageCount() == 0)
        return;
    view->setZoom(std::clamp(view->zoom() * factor, 1.0f, ImagingEdit::maxZoom));
}

void ViewerWindow::updateControls()
{
    const std::int32_t count = view->pageCount();
    const std::int32_t page = view->page();
    pageBox->setText(count > 0 ? QString::number(page) : QString());
    pageBox->setEnabled(count > 0);
    pageCount->setText(QStringLiteral(" of %1 ").arg(count));
    firstPage->setEnabled(page > 1);
    previousPage->setEnabled(page > 1);
    nextPage->setEnabled(page < count);
    lastPage->setEnabled(page < count);
    fitPage->setEnabled(count > 0);
    zoomIn->setEnabled(count > 0);
    zoomOut->setEnabled(count > 0);
}

} // namespace tessary
