// Public entry points of text input: each takes ApiLock around one inner
// operation of the text-input layer and returns its result unchanged. Texts
// are Shift-JIS.
#pragma once

#include <cstdint>

struct LibraryServices;

// Twelve colours (see ConfigureKeyInputColors). 0.
int SetTextInputColors(const int64_t colors[12]);
// A text-input handle, -1 when all slots are used.
int OpenTextInput(int maximum_bytes, int esc_cancels, int single_byte_only, int digits_only);
int CloseTextInput(int handle);
int FocusTextInput(int handle);
// 0 editing, 1 ended, 2 cancelled, -1 bad handle.
int GetTextInputStatus(int handle);
// Draws the field at (x, y): 0, or -1 for a bad handle or an ended input.
int PutTextInput(int x, int y, int handle);
// Copies the text into buffer (buffer_size bytes with the NUL, never
// splitting a double-byte character). 0, or -1.
int ReadTextInputString(char* buffer, int buffer_size, int handle);

// Installs the text-input layer: start-up's text-input hook, and the
// window procedure's and message pass's text-input hooks (the ring, the
// editing step, IME messages, activation and shutdown).
void RegisterTextInputServices(LibraryServices& services);
