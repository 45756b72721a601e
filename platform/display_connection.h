// For other platform modules only (window, events): the connection to the
// desktop's display. When the display goes away (its server ends, the user
// logs out), the X library would end the process from inside whichever call
// noticed it, with the program's threads still running. Instead the loss is
// noted, the window's events report it once as a close request, and the
// program leaves by its ordinary road; calls that would talk to the lost
// display do nothing from then on.
#pragma once

namespace platform {

// Watches the connection the main window lives on (nothing to do for
// drivers without one). Called once the window exists; main thread.
void WatchMainWindowDisplay();

// True once the display connection was lost. Any thread.
bool DisplayConnectionLost();

// True the first time it is asked after the loss (the close request is
// reported once).
bool TakeDisplayLossReport();

}  // namespace platform
