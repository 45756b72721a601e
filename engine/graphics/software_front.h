// The software-rendering front-screen pair: the front screen is a memory
// image (FrontMemImg) while the display shows the window. ShowSoftwareFrontRect
// puts a rectangle of the image on the display after a draw on the front
// screen; ReadBackSoftwareFront brings what the display shows back into the
// image before the next draw on, or read of, the front screen, but only when
// a software present put the back screen on the display since
// (ReadBackPending). Both work one to one on the client area, in screen
// pixels; with the hardware banned through the window's device context, else
// through a lock of the primary surface.
#pragma once

#include <cstdint>

#include "engine/core/base/rect_helpers.h"

// 0, or -1 when the primary surface cannot be locked.
int ShowSoftwareFrontRect(const IntRect& rect);
// 0, or -1 when the primary surface cannot be locked (still pending then).
int ReadBackSoftwareFront();

int GetReadBackPending();
// Presentation marks a software present here.
void SetReadBackPending(int flag);
int GetPresentCount();
void SetPresentCount(int count);
