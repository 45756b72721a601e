// The any-input check behind the wait for input: the first held key (lock
// keys skipped), a pad button or direction, or a mouse button.
#pragma once

// flags: 1 keyboard and pads, 4 mouse (2 reads nothing). Returns the lowest
// held DIK code, -1 for a pad or mouse button, 0 for nothing.
int CheckAnyInput(int flags);
