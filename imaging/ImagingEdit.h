#pragma once

#include "FileStamp.h"

#include <QAbstractScrollArea>
#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>

namespace tessary {

struct UndoKeeping;

// The Imaging edit control: a viewer for one TIFF file at a time, showing one page.
// The numbers in brackets are the control's dispatch ids, by which the program's routines
// were first written; the methods keep their meaning.
//
// Call pattern: after the image or the page changes, fitTo(FitWholePage) and display();
// to empty the viewer, clearDisplay() and setImage("").
// Failures are thrown as ImagingError.
class ImagingEdit : public QAbstractScrollArea
{
    Q_OBJECT

public:
    enum FitOption : std::int16_t
    {
        FitWholePage = 1, // the whole page visible, aspect kept
    };
    enum ScrollDirection : std::int16_t
    {
        ScrollDown = 0,
        ScrollUp = 1,
        ScrollRight = 2,
        ScrollLeft = 3,
    };

    using QAbstractScrollArea::QAbstractScrollArea;

    // [1] The loaded file's name exactly as it was set; "" when none is loaded.
    virtual QString image() const = 0;
    // [1] Loads fileName (shown by the next display()); "" unloads. Never throws: a file
    // that cannot be opened counts 0 pages, and display() shows the reason in the viewer.
    // Setting the same name again reads the file afresh.
    virtual void setImage(const QString& fileName) = 0;

    // [5] The zoom in percent: 100 shows one image pixel on one screen pixel.
    virtual float zoom() const = 0;
    // [5] Sets the zoom and redraws at once, keeping the point in the middle of the view.
    // Throws InvalidArgument for a zoom not above 0 or above maxZoom.
    virtual void setZoom(float percent) = 0;

    // [6] The current page, from 1; 0 when no page can be shown.
    virtual std::int32_t page() const = 0;
    // [6] Makes page current; it is shown by the next display(). A page outside
    // 1..pageCount() leaves the current page as it is and makes the next display() throw
    // CannotShowPage (1019). Ignored when the file has no pages.
    virtual void setPage(std::int32_t page) = 0;
    // [6] As above, for the text of a page box: a number with blanks around it, rounded to
    // a whole page (ties to even). Throws InvalidArgument when the text is not a number.
    virtual void setPage(const QString& text) = 0;

    // [25] The number of pages of the loaded file; 0 when none or when it cannot be read.
    virtual std::int32_t pageCount() const = 0;

    // The loaded file's identity and version as they were when it was loaded (the file the
    // viewer shows); nothing when no file is loaded or it could not be opened. Page
    // operations pass it on, so that they refuse a file changed on disk since it was shown.
    virtual std::optional<FileStamp> stamp() const = 0;

    // [-515] The window that dialogs opened for this viewer belong to.
    virtual QWidget* ownerWidget() = 0;

    // [301] Shows the current page at the current fit or zoom, decoding only that page.
    // A page that cannot be decoded shows why in the viewer and becomes the current page.
    // Throws CannotShowPage (1019) after setPage() asked for a page the file does not have.
    virtual void display() = 0;
    // [305] Empties the view; the file stays loaded.
    virtual void clearDisplay() = 0;
    // [319] and [322] Redraw the view; nothing is read back.
    virtual void refresh() = 0;
    virtual void redraw() = 0;

    // [323] Scrolls the view by amount screen pixels. Throws InvalidArgument for an unknown
    // direction.
    virtual void scroll(std::int16_t direction, std::int32_t amount) = 0;

    // [346] Sets the selection rectangle in image pixels; all zeros remove it.
    virtual void setSelectionRect(std::int32_t left, std::int32_t top, std::int32_t width,
                                  std::int32_t height) = 0;
    virtual QRect selectionRect() const = 0;
    // [330] Zooms so that the selection rectangle fills the view; nothing without one.
    virtual void zoomToSelection() = 0;

    // [352] Fits the current page into the view (FitWholePage) and, when redraw is true,
    // redraws. The fit holds until the zoom is set: the next display() fits its page.
    // Throws InvalidArgument for any other option.
    virtual void fitTo(std::int16_t option, bool redraw = true) = 0;

    // [343] Writes the whole loaded file, every page as stored, to a new file fileName
    // (an existing one is replaced). Throws NoFile when nothing is loaded, and the
    // engine's failure (EngineFailure + kind) otherwise, also when the loaded file changed
    // on disk since it was loaded; on failure fileName is as it was. A save that runs long
    // shows that it is going on and may be stopped by the user (EngineFailure + Cancelled).
    // With keep, the save keeps there what it needs to be undone (OperationOptions::keep).
    virtual void saveAs(const QString& fileName, UndoKeeping* keep = nullptr) = 0;
    // [399] Writes count pages, from the current page on, to a new file fileName, as
    // saveAs().
    virtual void saveImage(const QString& fileName, std::int32_t count) = 0;

    // What the view shows in words: why no page is shown, or a remark on the page shown
    // (a damaged part); "" when there is nothing to say.
    virtual QString notice() const = 0;

    static constexpr float maxZoom = 65535.0f;

signals:
    // What the viewer holds or shows changed: another file was set (also the same one read
    // afresh) or a page was displayed. Views that follow the viewer read it again.
    void viewChanged();
    // The user drew a selection rectangle with the mouse (image pixels).
    void selectionRectDrawn(std::int32_t left, std::int32_t top, std::int32_t width,
                            std::int32_t height);
};

} // namespace tessary
