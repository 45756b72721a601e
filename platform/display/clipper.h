// A clipper bound to the main window: blits onto a surface that has it are
// clipped to the window's client area, in desktop coordinates (the primary
// surface's coordinates). In full screen the client area is the display.
#pragma once

#include "platform/display/display_types.h"

namespace platform::display {

class Clipper {
 public:
  struct Passkey {};
  explicit Clipper(Passkey) {}
  Clipper(const Clipper&) = delete;
  Clipper& operator=(const Clipper&) = delete;

  // Binds to the main window (there is only one); it may open later.
  Result SetWindow();
  Result ClearWindow();
  bool bound_to_window() const { return bound_; }
  // kNoClipList when bound to no window; an empty rectangle while the window
  // does not exist.
  Result GetClipRect(Rect* out) const;

 private:
  bool bound_ = false;
};

}  // namespace platform::display
