// Public entry points of presentation and screen saves: each takes ApiLock
// around one inner operation and returns its result unchanged.
#pragma once

// The frame flip (a page flip in full screen with hardware drawing, else a
// present of the back screen).
int PresentFrame();
// Shows the back screen; the back screen keeps the frame.
int PresentBackScreen();
// Saves (x1, y1)-(x2, y2) of the draw target as a PNG file at the zlib
// level given. 0, or -1 (see SaveScreenArea).
int SaveScreenAreaAsPng(int x1, int y1, int x2, int y2, const char* name, int level);
