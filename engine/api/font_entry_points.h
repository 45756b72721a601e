// Public entry points of the font handles and the default font: each takes
// ApiLock around one inner operation (engine/graphics/font_handles.h) and
// returns its result unchanged. Names are Shift-JIS; -1 arguments take the
// defaults.
#pragma once

int CollectFontNames(char* buffer, int maximum, int filter);
int ResetAllFonts();
int NewFont(const char* face, int size, int thickness, int type, int kind, int edge, int italic,
            int slot, int check);
int ChangeDefaultFontSize(int size);
int ChangeDefaultFontThickness(int thickness);
int ChangeDefaultFontName(const char* face, int kind);
int ChangeDefaultFontType(int type);
