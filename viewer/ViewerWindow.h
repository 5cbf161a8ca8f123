#pragma once

#include <QMainWindow>
#include <cstdint>

class QLabel;
class QLineEdit;
class QToolButton;

namespace tessary {

class ImagingEdit;

// The stand-alone image viewer: one TIFF file, one page at a time, with buttons for the
// first, previous, next and last page, a page box, fitting and zooming. A file it cannot
// open is explained in its view.
class ViewerWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit ViewerWindow(QWidget* parent = nullptr);

    // Loads fileName and shows page, fitted into the window; a page the file does not
    // have shows page 1 instead.
    void openFile(const QString& fileName, std::int32_t page);
    // Shows page, keeping the fit or the zoom; a page the file does not have changes
    // nothing.
    void showPage(std::int32_t page);

    ImagingEdit* view = nullptr;
    QToolButton* firstPage = nullptr;
    QToolButton* previousPage = nullptr;
    QToolButton* nextPage = nullptr;
    QToolButton* lastPage = nullptr;
    QLineEdit* pageBox = nullptr;
    QLabel* pageCount = nullptr;
    QToolButton* fitPage = nullptr;
    QToolButton* zoomIn = nullptr;
    QToolButton* zoomOut = nullptr;

    // Each zoom step multiplies or divides the zoom by this.
    static constexpr float zoomStep = 1.25f;

private:
    void goToTypedPage();
    void zoomBy(float factor);
    void fit();
    void updateControls();
};

} // namespace tessary
