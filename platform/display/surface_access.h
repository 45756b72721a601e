// Internal to the display stand-in: what the device, the device contexts and
// the display state reach inside a surface. Every function expects the
// display lock.
#pragma once

#include <memory>

#include "platform/display/surface.h"

namespace platform::display {

struct SurfaceAccess {
  struct NewSurface {
    uint32_t caps = 0;
    FormatInfo format;
    int32_t width = 0;
    int32_t height = 0;
    bool window_backed = false;       // a primary in a window
    std::shared_ptr<PixelStore> store;  // null for a window-backed primary
    bool video_memory = false;
    bool has_key = false;
    ColorKey key;
  };
  static SurfacePtr Make(const NewSurface& spec);
  // A flip chain's front takes its back buffers.
  static void LinkChain(const SurfacePtr& front, const std::vector<SurfacePtr>& backs);
  static void PinAsWindowImage(const SurfacePtr& primary);
  // Flips a chain's front (without waiting) until it shows the buffer it
  // started with.
  static Result FlipToFirstBuffer(Surface& front);

  static PixelPlane Plane(const Surface& s) { return s.PlaneLocked(); }
  static bool IsPrimary(const Surface& s) { return (s.caps_ & kCapsPrimary) != 0; }
  static bool InVideoMemory(const Surface& s) { return (s.caps_ & kCapsVideoMemory) != 0; }
  static const PaletteEntry* PaletteEntries(const Surface& s);
  static void MarkLost(Surface& s) { s.lost_ = true; }
  static bool IsLostFlag(const Surface& s) { return s.lost_; }
  static void EndDc(Surface& s, bool wrote) { s.EndDcLocked(wrote); }
  static void NoteRead(Surface& s) { s.NoteReadLocked(); }
};

}  // namespace platform::display
