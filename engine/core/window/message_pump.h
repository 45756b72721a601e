// The message pass (ProcessMessage), the library's heartbeat: it pumps the
// main window's messages on the main thread, holds the main thread while the
// window is inactive (unless running in the background), and runs the
// library's per-pass work. Also the wait of the drawing operations while the
// window is inactive, and the window's shutdown. Times are milliseconds of
// the platform clock. Everything runs under ApiLock.
#pragma once

// 0 while the program goes on, -1 once the quit flag is set (for ever after).
int ProcessMessage();
// Holds drawing while the window is inactive, then refreshes every graphic.
int WaitWhileInactive();
int RefreshAllGraphs();
// Window shutdown: closes the window, waits for the message thread to end.
int DestroyMainWindow();

// Messages handled by the current call of ProcessMessage so far, per drain
// sweep (tests and diagnostics): how many sweeps the last call ran and how
// many messages each handled.
struct MessagePassTrace {
  int sweeps = 0;
  int messages[16] = {};
};
const MessagePassTrace& GetLastMessagePassTrace();
