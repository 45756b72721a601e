// The display device's state (DisplayState): the display object and its
// clipper and palette, the screen mode, the switches between hardware
// drawing and software rendering, and the presentation timing values.
//
// The colour half of the state (ScreenBits, RequestedScreenBits,
// SoftwareRendering, HardwareBanned, the screen's colour format and format
// class, the 8-bit palette) lives in ScreenColorState of the image layer,
// which the image code reads; the getters below read both. Sizes are pixels
// (0 = unset, read as 640 x 480), depths bits (0 = unset, read as 16), times
// milliseconds of the clock interface. One process-wide record, all zero at
// process start, used under the library lock.
#pragma once

#include <cstdint>

#include "engine/graphics/image/screen_color.h"
#include "platform/display/display_device.h"

struct DisplayState {
  platform::display::DevicePtr DirectDrawObject;
  platform::display::ClipperPtr Clipper;
  platform::display::PalettePtr Palette;
  platform::display::DeviceCaps DriverCaps;
  int32_t ScreenWidth;
  int32_t ScreenHeight;
  int32_t RefreshRate;         // Hz, 0 = the default
  uint32_t CooperativeLevel;   // last level set
  int32_t DisplayModeChanged;  // a full-screen mode of ours is in force
  int32_t NotUseDirect3D;
  int32_t VSyncFlag;
  int32_t TempPrimaryMode;
  int32_t GdiVisibleRequest;
  int32_t GdiVisibleApplied;
  int32_t UseBitBltForCopies;
  int32_t DirectDrawStarted;
  int32_t DisplayLayerReady;
  uint32_t LastModeChangeTime;  // 0 = none yet
  int32_t MinFlipInterval;      // -1: no frame time found
  uint32_t LastPresentTime;
  int32_t OverlayFormatIndex;
  int32_t GraphicsLost;  // the display was lost and the graphics are not rebuilt yet
};

DisplayState& GetDisplayState();
// Everything back to its process-start value (tests), the object released.
void ResetDisplayState();

// Switches and getters every drawing path reads.
inline int IsHardwareBanned() { return GetScreenColorState().HardwareBanned; }
inline int IsSoftwareRendering() { return GetScreenColorState().SoftwareRendering; }
// 1 when hardware drawing is allowed (IsDirectDrawUsed of the device layer).
inline int IsDirectDrawUsed() { return IsHardwareBanned() == 0 ? 1 : 0; }
inline bool HasDirectDraw() { return GetDisplayState().DirectDrawObject != nullptr; }
// Hardware drawing allowed but no display object: most operations refuse.
inline bool DirectDrawMissing() { return IsHardwareBanned() == 0 && !HasDirectDraw(); }
// The screens are memory images: software rendering at a depth other than 8.
inline bool ScreensInMemory() {
  return IsSoftwareRendering() != 0 && GetScreenColorState().ScreenBits != 8;
}
// The colour depth graphics are made at (GetScreenColorBits): the depth the
// screen mode asked for, which the memory screens follow; 16 while unset.
inline int ScreenDepth() {
  const int bits = GetScreenColorState().RequestedScreenBits;
  return bits == 0 ? 16 : bits;
}
int GetScreenSize(int* width, int* height);
inline int IsGraphicsLost() { return GetDisplayState().GraphicsLost; }

// NotUseDirect3D = 1 while hardware drawing is banned, else flag (the
// setting as asked, which start-up reads). Returns 0.
int SetNotUseDirect3D(int flag);
// The setting in effect: always 1 in a build without the 3D back end.
int GetNotUseDirect3D();
