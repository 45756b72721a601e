// The launcher's request for tests to save one presented frame as a PNG
// file (platform::GetFrameSaveRequest): presents are counted from the start
// of the process, and just before the requested one goes out the back
// screen (the current draw target) is saved whole through the screen-save
// path.
#pragma once

// Called by every present before it shows the frame; counts it and saves it
// when it is the requested one. The save's result, or 0.
int SaveFrameIfRequested();
// The presents counted so far (tests).
int CountedPresents();
void ResetCountedPresents();
