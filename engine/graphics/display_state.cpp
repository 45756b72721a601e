#include "engine/graphics/display_state.h"


namespace {
DisplayState g_display;
}

DisplayState& GetDisplayState() { return g_display; }

void ResetDisplayState() { g_display = DisplayState{}; }

int GetScreenSize(int* width, int* height) {
  if (width != nullptr) *width = g_display.ScreenWidth == 0 ? 640 : g_display.ScreenWidth;
  if (height != nullptr) *height = g_display.ScreenHeight == 0 ? 480 : g_display.ScreenHeight;
  return 0;
}

int SetNotUseDirect3D(int flag) {
  g_display.NotUseDirect3D = IsHardwareBanned() != 0 ? 1 : flag;
  return 0;
}

int GetNotUseDirect3D() { return g_display.NotUseDirect3D; }
