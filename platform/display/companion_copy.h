// An optional side of a surface companion: one that holds pixels newer than
// the surface's memory can hand a rectangle of them straight to a copy out
// of the surface (Surface::BltFast), so the copy need not bring the whole
// surface's memory up to date first.
#pragma once

#include <cstdint>

#include "platform/display/surface.h"

namespace platform::display {

class CompanionCopyOut {
 public:
  // When the companion holds newer pixels: copies `area` (surface pixels)
  // of them into `out` (rows `pitch` bytes apart, in the surface's own
  // layout), leaves the surface's memory as it is and returns true. False
  // when the memory is current: the caller copies from there.
  virtual bool CopyNewerOut(Surface& surface, const Rect& area, uint8_t* out, int32_t pitch) = 0;

 protected:
  ~CompanionCopyOut() = default;
};

}  // namespace platform::display
