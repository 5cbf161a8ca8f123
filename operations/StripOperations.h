#pragma once

#include "TessaryServices.h"

#include <QList>
#include <cstdint>

namespace tessary {

class Tessary;

// The page strips' gestures on the destination's file, each one rewrite of each file it
// changes and one step to undo. A failure is said in a box naming the file and the reason;
// the files are as they were and the panes show them again.
namespace operations {

// Delete in the destination's strip: the pages selected leave the destination's file, after
// one question when prompting is on. Deleting every page is refused with the box that
// refuses deleting a file's last page. The pane then shows the page that followed the first
// one deleted.
void deleteStripPages(Tessary& window, const QList<std::int32_t>& pages);

// Pages dropped on the destination's strip. Its own pages move there (copy: are copied
// there). The source's pages are inserted there, or appended when dropped behind the last
// page, as the transfer buttons do, after the same question when prompting is on; with the
// transfer mode Move they then leave the source, which must keep a page: a Move of all its
// pages is refused before anything changes. The pane then shows the first page dropped.
void dropStripPages(Tessary& window, const StripDrop& drop);

} // namespace operations
} // namespace tessary
