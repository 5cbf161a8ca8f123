#pragma once

#include "ImagingEdit.h"

#include <QImage>
#include <QPoint>
#include <memory>
#include <optional>

class QLabel;

namespace tessary {

class ProgressService;
class TiffDocument;

// The viewer on the page engine. It keeps the loaded file open and decodes only the page
// it shows. Pages are drawn with smooth scaling: shrinking averages the pixels a screen
// pixel covers, so thin lines of black-and-white scans stay visible as grey; a page whose
// horizontal and vertical resolutions differ (fax) is drawn in its true proportions. Saves
// run through the progress service when one is given, else on the calling thread.
class ImagingEditControl : public ImagingEdit
{
    Q_OBJECT

public:
    explicit ImagingEditControl(QWidget* parent = nullptr, ProgressService* progress = nullptr);
    ~ImagingEditControl() override;

    QString image() const override { return m_fileName; }
    void setImage(const QString& fileName) override;
    float zoom() const override { return m_zoom; }
    void setZoom(float percent) override;
    std::int32_t page() const override { return m_page; }
    void setPage(std::int32_t page) override;
    void setPage(const QString& text) override;
    std::int32_t pageCount() const override;
    std::optional<FileStamp> stamp() const override;
    QWidget* ownerWidget() override { return this; }
    void display() override;
    void clearDisplay() override;
    void refresh() override;
    void redraw() override;
    void scroll(std::int16_t direction, std::int32_t amount) override;
    void setSelectionRect(std::int32_t left, std::int32_t top, std::int32_t width,
                          std::int32_t height) override;
    QRect selectionRect() const override { return m_selection; }
    void zoomToSelection() override;
    void fitTo(std::int16_t option, bool redraw = true) override;
    void saveAs(const QString& fileName, UndoKeeping* keep = nullptr) override;
    void saveImage(const QString& fileName, std::int32_t count) override;
    QString notice() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct PageShape
    {
        double width = 0;  // page pixels
        double height = 0; // page pixels
        double aspect = 1; // screen height of a page pixel over its width
    };

    std::optional<PageShape> currentShape() const;
    double scaleX() const { return m_zoom / 100.0; }
    double scaleY() const { return m_zoom / 100.0 * m_shape.aspect; }
    QSizeF pageSizeInView() const;
    QPointF pageOrigin() const; // top left corner of the page in the viewport
    void applyFit(const PageShape& shape);
    void zoomAround(double percent, QPointF imagePoint);
    void updateScrollBars();
    void showNotice();
    void placeNoteBar();
    QPointF toImage(QPointF viewportPoint) const;
    QRectF toViewport(const QRectF& imageRect) const;
    void drawPage(QPainter& painter);

    ProgressService* m_progress;
    QString m_fileName;
    std::unique_ptr<TiffDocument> m_document;
    QString m_openProblem;   // why the file could not be opened
    QString m_pageListNote;  // why the file's list of pages breaks off
    std::int32_t m_page = 0; // current page; 0 when none
    std::optional<std::int32_t> m_refusedPage;

    // The decoded page. m_decodedPage is the page it belongs to (0 when none).
    QImage m_image;
    // Page pixels to an m_image pixel: above 1 for a page too large to decode in full,
    // which is decoded shrunk by that whole factor.
    std::uint32_t m_imageScale = 1;
    std::int32_t m_decodedPage = 0;
    PageShape m_shape;
    QString m_pageProblem; // why the shown page could not be decoded
    QString m_damageNote;  // what part of the shown page could not be decoded
    bool m_displayed = false;

    QLabel* m_noteBar = nullptr;
    QImage m_scaled; // the page scaled for the current zoom when shrunk, in device pixels
    float m_zoom = 100.0f;
    bool m_fitted = false;

    QRect m_selection; // image pixels
    std::optional<QPoint> m_dragStart;
    QPoint m_dragEnd;
};

} // namespace tessary
