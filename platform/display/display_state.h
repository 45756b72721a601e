// Internal to the display stand-in: the state the display has once per
// process, shared by devices, surfaces, device contexts and the presenter.
//
// - The display mode in force: the desktop (SDL's size at 32 bits, or what a
//   test set), or a mode that a device in the exclusive level or the
//   settings call set. Nothing here changes the real display.
// - The window image: the pixels of the main window's client area in the
//   display's format. In a window it is sized to the client area; while a
//   full-screen primary exists, its front buffer is the window image.
// - The live surfaces, the exclusive device, the counters and the test
//   controls.
//
// Every function here expects DisplayMutex() to be held by the caller.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/display/display_types.h"
#include "platform/display/pixel_plane.h"

namespace platform::display {

class Surface;

// One lock for all display state; recursive, since releasing the last
// reference to a surface inside a call runs its destructor.
std::recursive_mutex& DisplayMutex();
using DisplayLock = std::lock_guard<std::recursive_mutex>;

struct ModeState {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bits = 32;
  bool changed = false;  // a mode other than the desktop is in force
};

ModeState DesktopMode();
ModeState CurrentMode();
// Puts a mode in force; surfaces made for the previous mode are lost when
// the size or depth differs.
void SetModeInForce(int32_t width, int32_t height, int32_t bits);
void RestoreDesktopMode();

// The display's pixel format at a depth of 8, 16 or 32 bits.
PixelFormat DisplayFormatForBits(int32_t bits);
PixelFormat CurrentDisplayFormat();

// The client area of the main window in desktop coordinates; in full screen
// (the exclusive level, or a changed mode) the whole display. False when
// there is no window.
bool ClientArea(Rect* out);

// The device holding the exclusive level, or null.
const void* ExclusiveOwner();
void SetExclusiveOwner(const void* device);

// The live primary surface (at most one).
std::shared_ptr<Surface> LivePrimary();
void SetLivePrimary(const std::shared_ptr<Surface>& primary);

// The palette that indexed display pixels are shown with: the primary's,
// else a fixed 3-3-2 palette.
const PaletteEntry* DisplayPalette();
const PaletteEntry* DefaultPalette();

// The window image as a plane (bounds = backed = the image), brought to the
// client area's size and the display's format first unless a full-screen
// primary pins it or a lock on it is out. Invalid without a window.
PixelPlane WindowImagePlane();
void PinWindowImage(const std::shared_ptr<PixelStore>& store, const FormatInfo& format,
                    const void* owner);
void UnpinWindowImage(const void* owner);
// Locks and device contexts on the window image keep it from being resized.
void AddWindowImageUse(int32_t delta);
void MarkWindowImageDirty();
bool TakeWindowImageDirty();
// The window went: its image goes with it (a new window starts black).
void DropWindowImage();
// Restores the window image's pixels to the pattern a restored surface has.
void FillWindowImagePattern();

// Live surfaces, for the lost-surface controls and mode changes.
void RegisterSurface(Surface* surface);
void UnregisterSurface(Surface* surface);
std::vector<Surface*> LiveSurfaces();

// Bytes of surfaces in (simulated) video memory.
uint64_t VideoMemoryUsed();
void AddVideoMemoryUsed(int64_t delta);
inline constexpr uint64_t kVideoMemoryTotal = uint64_t{256} << 20;

struct Counters {
  uint64_t locks = 0;
  uint64_t blts = 0;
  uint64_t blt_fasts = 0;
};
Counters& MutableCounters();

struct ModeKey {
  int32_t width, height, bits;
};

struct Controls {
  int32_t fail_device_creation = 0;  // calls left to fail; -1: every call
  uint32_t fail_surface_caps = 0;    // a request asking any of these caps fails
  Result fail_surface_result = Result::kGeneric;
  bool video_memory_exhausted = false;
  std::vector<ModeKey> failing_modes;
  int32_t fail_locks = 0;
  Result lock_result = Result::kGeneric;
  int32_t fail_get_dc = 0;
  int32_t fail_blt_fasts = 0;
  Result blt_fast_result = Result::kGeneric;
  bool sixteen_bit_555 = false;
  bool desktop_set = false;
  ModeState desktop;
  uint64_t raster_phase_us = 0;
};
Controls& MutableControls();
// Counts down a "calls left to fail" control; true when this call fails.
bool TakeFailure(int32_t* calls_left);
bool ModeFails(int32_t width, int32_t height, int32_t bits);

// Main thread: puts the presenter's hooks into the window layer (once).
void EnsurePresenterHooks();

}  // namespace platform::display
