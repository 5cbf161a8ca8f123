#pragma once

#include "TessaryServices.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace tessary {

class ImagingEdit;
class PageStrip;
class Tessary;
class ThumbnailProvider;
struct PageDrag;

// The page strips of the two panes, and the window's layout while they show. Each strip
// follows its pane's viewer (the file it holds, through every change, and the page it
// shows) and a click in it shows that page there. The destination's strip takes the Delete
// key and drops of pages, from itself or from the source's strip, and hands them to the
// page operations as one gesture each.
//
// While the strips show, they stand below the panes and the window may be resized and
// maximised: the viewers and the strips grow with it, the controls below the viewers keep
// their place below them, those between the panes stay in the middle. Hidden again, every
// control is back where the window was designed to have it, at its fixed size.
class PaneStrips : public QObject
{
public:
    // Runs a gesture as a page operation of the window.
    using Run = std::function<void(const std::function<void(Tessary&)>& gesture)>;

    PaneStrips(Tessary& window, QWidget& client, const PageOperationHandlers& handlers, Run run);
    ~PaneStrips() override;

    void setShown(bool shown);
    bool isShown() const { return m_shown; }
    PageStrip* source() const { return m_source; }
    PageStrip* destination() const { return m_destination; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PageStrip* makeStrip(bool source);
    void remember();
    void layOut();
    void follow(bool source);
    void showPage(bool source, std::int32_t page);
    bool takes(const PageDrag& drag) const;
    void dropped(const PageDrag& drag, std::int32_t before, bool copy);

    Tessary& m_window;
    QWidget& m_client;
    PageOperationHandlers m_handlers;
    Run m_run;
    std::unique_ptr<ThumbnailProvider> m_provider;
    PageStrip* m_source = nullptr;
    PageStrip* m_destination = nullptr;
    bool m_shown = false;
    // Every control's place as the window was designed, and the client area's size.
    std::vector<std::pair<QPointer<QWidget>, QRect>> m_designed;
    QSize m_designedClient;
};

} // namespace tessary
