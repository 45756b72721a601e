// Public entry points of the graphics engine: each takes ApiLock around one
// inner operation and returns its result unchanged. Sizes in pixels, colours
// 0-255 per channel, graph handles or the draw targets -2 (back screen) and
// -4 (front screen) where a size is asked.
#pragma once

int NewGraph(int width, int height, int flag);
int FreeGraphHandle(int graph, int logFlag);
int CountGraphHandles();
int FreeAllGraphHandles(int logFlag);
int QueryGraphSize(int graph, int* width, int* height);
int SetFilterMode(int mode);
int SetBlendMode(int mode, int value);
int SetDrawTint(int r, int g, int b);
int SetTransparentColor(int r, int g, int b);
int Enable3DGraphs(int flag);
