// Public entry points of the window, the message pass and the mouse cursor:
// each takes ApiLock around one inner operation of the main window and
// returns its result unchanged. Texts are Shift-JIS; mouse positions are
// screen pixels.
#pragma once


// 0 while the program goes on, -1 once the library quits.
int PumpMessages();
// 1 while the main window is the active application.
int IsWindowActive();
int SetWindowedMode(int flag);
int SetWindowTitle(const char* text);
int SetRunWhileInactive(int flag);
int SetWindowIconResource(int resource_number);
int SetWindowZoom(double scale);
int IsMouseCursorVisible();
int SetMouseCursorVisible(int flag);
int ReadMousePosition(int* x, int* y);
int MoveMouseCursor(int x, int y);
int GetMouseWheelDelta();
