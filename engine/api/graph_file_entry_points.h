// Public entry points of graphic creation from image files and memory,
// cutting, and restoring after a lost display: each takes ApiLock around
// one inner operation and returns its result unchanged. Names are
// Shift-JIS; sizes in bytes, positions and sizes of graphics in pixels.
#pragma once

#include <cstdint>

// A graphic in the blend-graphic format from an image file; handle or -1.
int ImportGraphFileWithAlpha(const char* name);
// A graphic from an image in memory (and its alpha image, or null); flag 1
// asks for a texture graphic, reverse 1 mirrors it left-right. Handle or -1.
int ImportGraphFromMemory(const void* data, int32_t size, const void* alphaData,
                          int32_t alphaSize, int flag, int reverse);
// A graphic sharing a rectangle of source; handle or -1.
int CutGraph(int x, int y, int width, int height, int source);
// Reloads the flagged graphics that came from files; 0.
int RestoreGraphsFromFiles();
// The function called after a lost display (null: the library's own
// reload from files); 0.
int RegisterRestoreHandler(void (*handler)());
