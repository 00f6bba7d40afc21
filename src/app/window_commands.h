#pragma once
// The main window's own commands that act on the state without computing a
// spectrum: "Expand" and "Reset" of the plot view and "Set number of
// threads".

#include "app/ceprwindow.h"

namespace quorra {

// Command 2400: shows the grid points between the cursors. Only with a trace
// present; true when the view changed.
bool ExpandView(CEprWindow& w);

// Command 2500: shows the whole grid at unit scale and zero offset again.
// Only with a trace present.
void ResetView(CEprWindow& w);

// Command 32767: asks for the worker count in the input box ("Zero = Max").
// A text that does not start with a whole number from 0 up keeps the old
// count; Cancel changes nothing. True when the count was taken.
bool SetNumberOfThreads(CEprWindow& w);

}  // namespace quorra
