// Presentation: moving the finished back screen to the display.
//
// PresentScreen shows the back screen: a stretched blit into the window's
// client area in window mode (scaled by the window scale), a flip (Windows
// Vista) or a copy in full screen, or, in software rendering, a transfer of
// the back memory image through the window's device context (hardware
// banned) or a blit of the back surface holding it (hardware allowed).
// After it the back screen still holds the presented frame.
//
// FlipBackScreen is the frame flip: a real page flip in full screen with
// hardware drawing (afterwards the back buffer holds the frame shown before),
// PresentScreen in every other case.
//
// Both count presents (GetPresentCount, reset by every screen-mode change)
// and draw the on-screen log first when it is enabled. With the front screen
// as draw target they only wait for one vertical blank. Results of the
// display's blits and flips are not examined: a lost surface is found and
// restored before the next draw.
#pragma once

// 0; -1 when hardware drawing is allowed and no display object exists; the
// result of WaitVSync(1) when the draw target is the front screen.
int PresentScreen();
// 0, -1 as above, or the result of PresentScreen or WaitVSync.
int FlipBackScreen();
