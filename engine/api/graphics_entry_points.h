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

// Screens and the render mode.
int ChangeScreenMode(int width, int height, int bits, int refresh);
int SetHardwareRendering(int flag);
// Unlocked, the display layer's own operation (display_layer.h): callable
// before the library starts.
int AllowHardwareRendering(int flag);
const void* QueryScreenPixelFormat();
int EraseScreen();
int SetTargetScreen(int target);
int CaptureScreenToGraph(int x1, int y1, int x2, int y2, int graph, int flag);
int SetInertRenderOption(int value);

struct LibraryServices;
// Installs the graphics engine's operations as start-up's graphics hooks and
// the window layer's graphics hooks (graphics_services.cpp).
void RegisterGraphicsServices(LibraryServices& services);
