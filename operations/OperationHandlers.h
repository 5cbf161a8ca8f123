#pragma once

#include "TessaryServices.h"

namespace tessary {

class Tessary;

// What the main window's page-operation buttons do. The window's handlers of the same
// names call them.
namespace operations {

// The transfer button: the page the source pane shows goes into the destination as the
// page mode says (appended, inserted before the destination's page, written over it, or
// saved as a new file), and with Move it then leaves the source, only when it was written.
void cmdSwap_Click(Tessary& window);

// The range button: the range dialog, after its own checks (blank.tif, a source, a
// destination); afterwards the destination's page box, the file list and its caption are
// brought up to date.
void cmdRange_Click(Tessary& window);

// Deletes the page the destination pane shows, after asking when prompting is on.
void cmdDelPage_Click(Tessary& window);

// The reorder dialog, for the destination pane's file; with none open, the user chooses
// one first.
void cmdReorder_Click(Tessary& window);

// Edit > Rotate Page: turns the page the destination pane shows by quarter turns clockwise
// (1 right, 2 half round, 3 left), after asking when prompting is on; the pane shows it at
// once, turned, at the same page. Nothing without a destination.
void mnuRotate_Click(Tessary& window, int quarters);

// Edit > Rotate Pages...: the rotate dialog, for the destination pane's file; with none
// open, the user chooses one first.
void mnuRotatePages_Click(Tessary& window);

// All of them, and the Tools menu's dialogs of scanned batches (interleave, split, merge),
// for the window's services.
PageOperationHandlers handlers();

} // namespace operations
} // namespace tessary
