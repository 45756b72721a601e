// The library's one text log, "Log.txt" in the start directory. Every text
// written begins, when the previous text ended a line, with the milliseconds
// since the log was created, a colon and one tab per indent level; lone line
// feeds become CR LF. Each write opens, appends and closes the file, so the
// log is complete at every moment. Nothing is written while the log is off
// or before the start directory is known. Texts are Shift-JIS.
//
// The on-screen log is inert in this player: nothing switches its display on
// or writes lines into it; it only owns a font, made through a hook that the
// graphics engine registers.
#pragma once

#include <cstdint>

// Creates the log file anew (empty) in the start directory and restarts the
// time stamps and the indent. Returns 1.
int CreateLogFile();
// Writes text as described above. Always -1.
int WriteLog(const char* text);
// Formats into a 1024-byte buffer (longer texts are cut), appends a line
// feed and writes it. Always -1.
int WriteLogF(const char* format, ...) __attribute__((format(printf, 1, 2)));
// flag 0 switches the log off, any other value on. Returns 0.
int EnableLogFile(int flag);
int IncreaseLogIndent();  // returns 0
int DecreaseLogIndent();  // never below 0; returns 0
int GetLogIndent();

// The debugger-output echo of the log: written to stderr (as UTF-8) only
// when the environment variable VESK_DEBUG_OUTPUT is 1.
void WriteDebugOutput(const char* text);

// On-screen log, drawn through the graphics seam.
// 0, or -1 without graphics or window. The first successful call clears the
// lines and the display flag and creates the font.
int InitScreenLog();
int RefreshScreenLogFont();  // returns 0
int DrawScreenLog();         // returns 0
int IsScreenLogEnabled();    // the display flag
// The on-screen log's font handle (-1 when none); shutdown deletes it and
// then calls ResetScreenLog.
int GetScreenLogFont();
void ResetScreenLog();
